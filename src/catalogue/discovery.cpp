#include "catalogue/discovery.h"

#include <windows.h>
#include <shlwapi.h>

#include <algorithm>

#include "app/context.h"
#include "catalogue/icons.h"
#include "registry/file_type_class.h"
#include "registry/player_keys.h"
#include "registry/primitives.h"

namespace {

void AddOrOverwrite(FileTypeList& list, FileTypeEntry&& entry)
{
    auto same = std::find_if(list.begin(), list.end(),
                             [&](const FileTypeEntry& e) { return e.extension == entry.extension; });
    if (same != list.end()) {
        *same = std::move(entry);
    } else {
        list.push_back(std::move(entry));
    }
}

} // namespace

bool NamesClient(const std::wstring& command)
{
    return StrStrIW(command.c_str(), kClientExeName) != nullptr;
}

bool CommandRunsClient(const wchar_t* commandKey)
{
    return HolderOf(HKEY_LOCAL_MACHINE, commandKey, nullptr, NamesClient) == ValueHolder::Own;
}

bool ReadTypeClassInfo(const std::wstring& extension, std::wstring& description, std::wstring& iconPath,
                       int32_t& iconId)
{
    const std::wstring progId = ClassesKey(MakeProgId(extension));
    if (!KeyExists(HKEY_LOCAL_MACHINE, progId.c_str())) return false;
    // A default value of another type (or none) still leaves the class the
    // player's: it is shown without a description and removed like any.
    std::wstring text;
    QueryStringValue(HKEY_LOCAL_MACHINE, progId.c_str(), nullptr, text);

    std::wstring iconSpec;
    QueryStringValue(HKEY_LOCAL_MACHINE, (progId + L"\\DefaultIcon").c_str(), nullptr, iconSpec);
    std::wstring path;
    int index = 0;
    SplitIconLocation(iconSpec, path, index);  // DefaultIcon holds the short form; the entry keeps the long one

    description = text;
    iconPath = path;
    iconId = ResolveIconIndex(iconPath.c_str(), index);
    return true;
}

bool IsTypeAssociated(FileTypeEntry& entry)
{
    if (entry.flags & FT_AUDIOCD) {
        if (!CommandRunsClient(kAudioCdCommandKey)) return false;
    } else if (entry.flags & FT_FOLDER) {
        if (!CommandRunsClient(kFolderCommandKey)) return false;
    } else {
        // An extension that could only name keys outside its own type was
        // never written by the player.
        if (!IsUsableExtension(entry.extension)) return false;
        // The record's data is never examined: a value of any type declares
        // the type, so that damaged data does not keep it registered.
        const std::wstring valueName = L"." + entry.extension;
        if (!ValueExists(HKEY_LOCAL_MACHINE, kFileAssociationsKey, valueName.c_str())) return false;
        if (!ReadTypeClassInfo(entry.extension, entry.description, entry.iconPath, entry.iconId)) return false;
        UseLocalIconOnly(entry);
    }
    entry.flags |= FT_ASSOCIATED;
    return true;
}

void DiscoverAssociatedTypes(FileTypeList& list)
{
    for (const std::wstring& name : ValueNames(HKEY_LOCAL_MACHINE, kFileAssociationsKey)) {
        FileTypeEntry entry(name[0] == L'.' ? name.substr(1) : name);
        if (IsTypeAssociated(entry)) AddOrOverwrite(list, std::move(entry));
    }
}

std::vector<std::wstring> UnfinishedNames()
{
    RegistryValue value;
    if (!ReadValue(HKEY_LOCAL_MACHINE, kPlayerKey, kUnfinishedValue, value)) return {};
    if (value.type == REG_MULTI_SZ) return value.AsTexts();
    if (value.type == REG_SZ && !value.AsText().empty()) return {value.AsText()};
    return {};  // damaged: it names nothing
}
