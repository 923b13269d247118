#include "ui/type_store.h"

#include <windows.h>

#include <cwchar>
#include <string>

#include "app/context.h"
#include "registry/file_type_class.h"

namespace {

const wchar_t kListSection[] = L"RegisterdExtensions";  // spelled as the player has always spelled it
const wchar_t kListKey[] = L"Extensions";
constexpr int kListChars = 2048;
constexpr int kIconIdChars = 256;

const wchar_t* WithoutLeadingDot(const wchar_t* name) { return name[0] == L'.' ? name + 1 : name; }

} // namespace

void LoadStoredTypes(const wchar_t* path, FileTypeList& list)
{
    wchar_t extensions[kListChars];
    GetPrivateProfileStringW(kListSection, kListKey, L"", extensions, kListChars, path);
    wchar_t* context = nullptr;
    for (wchar_t* token = wcstok_s(extensions, L";", &context); token; token = wcstok_s(nullptr, L";", &context)) {
        const wchar_t* name = WithoutLeadingDot(token);
        wchar_t description[kPathChars];
        wchar_t iconPath[kPathChars];
        GetPrivateProfileStringW(name, L"Description", L"", description, kPathChars, path);
        GetPrivateProfileStringW(name, L"IconPath", resourceModulePath, iconPath, kPathChars, path);
        const int iconId = static_cast<int>(GetPrivateProfileIntW(name, L"IconId", -101, path));
        list.emplace_back(name, description, iconPath, iconId, 0u);
    }
}

void SaveStoredTypes(const wchar_t* path, const FileTypeList& list)
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
        WritePrivateProfileStringW(name, L"Description", entry.description.c_str(), path);
        WritePrivateProfileStringW(name, L"IconPath", entry.iconPath.c_str(), path);
        WritePrivateProfileStringW(name, L"IconId", iconId, path);
    }
    WritePrivateProfileStringW(kListSection, kListKey, extensions.c_str(), path);
}
