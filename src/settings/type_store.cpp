#include "settings/type_store.h"

#include <windows.h>

#include <cwchar>
#include <string>
#include <vector>

#include "app/context.h"
#include "registry/file_type_class.h"
#include "settings/settings_file.h"

namespace {

const wchar_t kListSection[] = L"RegisterdExtensions";  // spelled as the player has always spelled it
const wchar_t kListKey[] = L"Extensions";

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

std::vector<SettingValue> StoredTypeValues(const FileTypeList& list)
{
    std::vector<SettingValue> values;
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
        values.push_back({name, L"Description", entry.description});
        values.push_back({name, L"IconPath", entry.iconPath});
        values.push_back({name, L"IconId", std::to_wstring(entry.iconId)});
    }
    values.push_back({kListSection, kListKey, extensions});
    return values;
}

} // namespace

void LoadStoredTypes(const wchar_t* path, FileTypeList& list)
{
    for (const std::wstring& name : StoredNames(path)) {
        wchar_t description[kPathChars];
        wchar_t iconPath[kPathChars];
        GetPrivateProfileStringW(name.c_str(), L"Description", L"", description, kPathChars, path);
        GetPrivateProfileStringW(name.c_str(), L"IconPath", resourceModulePath, iconPath, kPathChars, path);
        // Without an icon of its own, the resource module's icon for the type.
        const int iconId = static_cast<int>(GetPrivateProfileIntW(name.c_str(), L"IconId", DefaultIconIdOf(name), path));
        list.emplace_back(name, description, iconPath, iconId, 0u);
        UseLocalIconOnly(list.back());  // the file is any user's to edit
    }
}

bool HasStoredTypeList(const wchar_t* path)
{
    wchar_t probe[4];
    return GetPrivateProfileStringW(kListSection, kListKey, L"", probe, 4, path) > 0;
}

void SaveStoredTypes(const wchar_t* path, const FileTypeList& list)
{
    WriteSettingValues(path, StoredTypeValues(list));
}
