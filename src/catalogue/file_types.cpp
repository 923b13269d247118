#include "catalogue/file_types.h"

#include <windows.h>
#include <shlwapi.h>

#include <algorithm>
#include <cwchar>

#include "app/context.h"
#include "app/texts.h"
#include "files/paths.h"
#include "resource.h"

FileTypeList g_fileTypes;

const wchar_t* const kBuiltinExtensions[kBuiltinTypeCount] = {
    L"wav", L"mp3", L"ogg", L"wma", L"ape", L"flac", L"cda", L"m3u", L"m3u16", L"m3u8",
};

int32_t DefaultIconIdOf(const std::wstring& extension)
{
    const int row = BuiltinRow(extension);
    return row >= 0 ? associationContext.builtinIconIds[row] : -IDI_DEFAULT_TYPE;
}

namespace {

// The module's short path, as the classes name it (looked up once: a file
// call on every type would cost more than reading the type).
bool IsModulesShortPath(const std::wstring& path)
{
    static std::wstring module, shortPath;
    if (module != resourceModulePath) {
        module = resourceModulePath;
        wchar_t text[kPathChars] = L"";
        const DWORD length = GetShortPathNameW(module.c_str(), text, kPathChars);
        shortPath = length && length < static_cast<DWORD>(kPathChars) ? text : L"";
    }
    return !shortPath.empty() && _wcsicmp(path.c_str(), shortPath.c_str()) == 0;
}

} // namespace

bool NamesResourceModule(const std::wstring& path)
{
    const std::wstring module = resourceModulePath;
    if (module.empty() || path.empty()) return false;
    if (IsModulesShortPath(path)) return true;
    const wchar_t* name = PathFindFileNameW(path.c_str());
    return _wcsicmp(name, PathFindFileNameW(module.c_str())) == 0 && (name == path.c_str() || name[-1] == L'\\' || name[-1] == L'/');
}

void UseLocalIconOnly(FileTypeEntry& entry)
{
    if (NamesResourceModule(entry.iconPath)) {
        entry.iconPath = resourceModulePath;
        return;
    }
    if (!entry.iconPath.empty() && CheckLocalFile(entry.iconPath) != LocalFile::Refused) return;
    OutputDebugStringW(L"Korvane: an icon path that reaches no local file was not used\n");
    entry.iconPath = resourceModulePath;
    entry.iconId = DefaultIconIdOf(entry.extension);
}

int BuiltinRow(const std::wstring& extension)
{
    for (int row = 0; row < kBuiltinTypeCount; ++row)
        if (_wcsicmp(kBuiltinExtensions[row], extension.c_str()) == 0) return row;
    return -1;
}

namespace {

bool IsDefaultDescription(int row, const std::wstring& text)
{
    if (text.empty() || text == builtinDescriptions[row]) return true;
    const std::vector<std::wstring> defaults = ModuleStringInEveryLanguage(IDS_DESC_FIRST + static_cast<UINT>(row));
    return std::find(defaults.begin(), defaults.end(), text) != defaults.end();
}

} // namespace

void UseRunLanguage(FileTypeEntry& entry)
{
    const int row = BuiltinRow(entry.extension);
    if (row >= 0 && IsDefaultDescription(row, entry.description)) entry.description = builtinDescriptions[row];
}

std::wstring StoredDescription(const FileTypeEntry& entry)
{
    const int row = BuiltinRow(entry.extension);
    return row >= 0 && IsDefaultDescription(row, entry.description) ? std::wstring() : entry.description;
}

void AppendBuiltInTypes(FileTypeList& list)
{
    for (int row = 0; row < kBuiltinTypeCount; ++row) {
        list.emplace_back(kBuiltinExtensions[row], builtinDescriptions[row], resourceModulePath,
                          associationContext.builtinIconIds[row], 0u);
    }
}
