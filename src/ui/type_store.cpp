#include "ui/type_store.h"

#include <windows.h>

#include <cwchar>
#include <string>
#include <vector>

#include "app/context.h"
#include "app/settings.h"
#include "registry/file_type_class.h"

namespace {

const wchar_t kListSection[] = L"RegisterdExtensions";  // spelled as the player has always spelled it
const wchar_t kListKey[] = L"Extensions";
constexpr int kIconIdChars = 256;

const wchar_t* WithoutLeadingDot(const wchar_t* name) { return name[0] == L'.' ? name + 1 : name; }

bool HasSection(const wchar_t* path, const wchar_t* name)
{
    wchar_t keys[4];
    return GetPrivateProfileStringW(name, nullptr, L"", keys, 4, path) > 0;
}

// The names of the list. Every writer ends each name with ";", so a last
// name without it was cut short (by a writer with a limit, or a file cut
// off); it is not taken unless a section of its own says the name is
// whole, as in a list written by hand.
std::vector<std::wstring> StoredNames(const wchar_t* path)
{
    bool complete = false;
    const std::wstring list = ReadWholeSetting(path, kListSection, kListKey, complete);
    std::vector<std::wstring> names;
    size_t start = 0;
    while (start < list.size()) {
        const size_t end = list.find(L';', start);
        std::wstring name = list.substr(start, end == std::wstring::npos ? std::wstring::npos : end - start);
        start = end == std::wstring::npos ? list.size() : end + 1;
        name = WithoutLeadingDot(name.c_str());
        if (name.empty()) continue;
        const bool cut = end == std::wstring::npos && (!complete || !HasSection(path, name.c_str()));
        if (cut || !IsRegistrableExtension(name)) {
            // A name cut short is a type the user never had; one that can
            // never be registered could not be stored back either.
            OutputDebugStringW(L"Korvane: a stored type whose name is cut short or cannot be registered was skipped\n");
            continue;
        }
        names.push_back(std::move(name));
    }
    return names;
}

void WriteStoredTypes(const wchar_t* path, const FileTypeList& list)
{
    std::wstring extensions;
    for (const FileTypeEntry& entry : list) {
        if (entry.IsPseudoType()) continue;
        const wchar_t* name = WithoutLeadingDot(entry.extension.c_str());
        if (!IsRegistrableExtension(name)) {
            // It could never be registered, nor read back as itself (";"
            // separates the list).
            OutputDebugStringW(L"Korvane: a type without a storable name was not stored\n");
            continue;
        }
        extensions += name;
        extensions += L';';
        wchar_t iconId[kIconIdChars];
        swprintf(iconId, kIconIdChars, L"%d", entry.iconId);
        WriteSetting(path, name, L"Description", entry.description.c_str());
        WriteSetting(path, name, L"IconPath", entry.iconPath.c_str());
        WriteSetting(path, name, L"IconId", iconId);
    }
    WriteSetting(path, kListSection, kListKey, extensions.c_str());
    WritePrivateProfileStringW(nullptr, nullptr, nullptr, path);  // out of any cache, onto the disk
}

} // namespace

void LoadStoredTypes(const wchar_t* path, FileTypeList& list)
{
    for (const std::wstring& name : StoredNames(path)) {
        wchar_t description[kPathChars];
        wchar_t iconPath[kPathChars];
        GetPrivateProfileStringW(name.c_str(), L"Description", L"", description, kPathChars, path);
        GetPrivateProfileStringW(name.c_str(), L"IconPath", resourceModulePath, iconPath, kPathChars, path);
        const int iconId = static_cast<int>(GetPrivateProfileIntW(name.c_str(), L"IconId", -101, path));
        list.emplace_back(name, description, iconPath, iconId, 0u);
    }
}

void SaveStoredTypes(const wchar_t* path, const FileTypeList& list)
{
    // Written into a copy that then takes the file's place (ReplaceFileW
    // keeps its security and attributes): a run stopped half way leaves the
    // old file whole. A file that is not there yet has nothing to lose.
    const std::wstring copy = std::wstring(path) + L".new";
    if (CopyFileW(path, copy.c_str(), FALSE)) {
        WriteStoredTypes(copy.c_str(), list);
        if (ReplaceFileW(path, copy.c_str(), nullptr, REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr)) return;
        DeleteFileW(copy.c_str());
    }
    WriteStoredTypes(path, list);
}
