#include "catalogue/icons.h"

#include <shlwapi.h>

#include "app/context.h"
#include "files/paths.h"
#include "resource.h"

namespace {

// Icons are loaded as owned copies (no LR_SHARED): the shared cache is
// keyed by module address, and a data-file module freed and another loaded
// at the same address could hand back the wrong picture.
// LoadImageW takes the image of the group nearest the size asked for, so a
// picture drawn for that size is used rather than another one stretched.
HICON LoadOwnedIcon(HMODULE module, int resourceId, int size)
{
    return static_cast<HICON>(LoadImageW(module, MAKEINTRESOURCEW(resourceId), IMAGE_ICON, size, size, 0));
}

// Only an ordinary file on a local fixed drive, reached through no link, is
// ever opened; a path too long for any buffer of the program names no file
// and is not tried either.
bool MayOpen(const wchar_t* path) { return FitsPathBuffer(path) && OpensAsLocalFile(path); }

// A module of icons, mapped as an image of resources: no code of it runs,
// and while it is mapped nobody may write the file (its owner is a user,
// the tool that parses it runs elevated).
HMODULE LoadIconModule(const wchar_t* path)
{
    return MayOpen(path) ? LoadLibraryExW(path, nullptr, LOAD_LIBRARY_AS_IMAGE_RESOURCE | LOAD_LIBRARY_AS_DATAFILE_EXCLUSIVE) : nullptr;
}

// Paths name the same file in any letter case.
std::wstring CacheKey(const std::wstring& path)
{
    std::wstring key = path;
    if (!key.empty()) CharLowerBuffW(&key[0], static_cast<DWORD>(key.size()));
    return key;
}

} // namespace

HICON LoadIcoFile(const wchar_t* path, int size)
{
    if (!MayOpen(path)) return nullptr;
    return static_cast<HICON>(LoadImageW(nullptr, path, IMAGE_ICON, size, size, LR_LOADFROMFILE));
}

bool IsIcoFile(const wchar_t* path)
{
    return _wcsicmp(PathFindExtensionW(path), L".ico") == 0;
}

BOOL CALLBACK CollectIconGroup(HMODULE module, LPCWSTR type, LPWSTR name, LONG_PTR lParam)
{
    if (type != RT_GROUP_ICON || !IS_INTRESOURCE(name)) return TRUE;
    auto* icons = reinterpret_cast<IconGroups*>(lParam);
    const int resourceId = static_cast<int>(reinterpret_cast<ULONG_PTR>(name));
    UniqueIcon icon(LoadOwnedIcon(module, resourceId, icons->iconSize));
    if (icon) {
        try {
            icons->groups.push_back(IconGroupEntry{std::move(icon), -resourceId});
        } catch (...) {
            // No room for one more icon: the list simply ends here.
        }
    }
    return TRUE;
}

IconGroups EnumerateIconGroups(const wchar_t* path, int iconSize)
{
    IconGroups result;
    result.iconSize = iconSize;
    result.module.reset(LoadIconModule(path));
    if (result.module)
        EnumResourceNamesW(result.module.get(), RT_GROUP_ICON, CollectIconGroup, reinterpret_cast<LONG_PTR>(&result));
    return result;
}

int32_t ResolveIconIndex(const wchar_t* path, int32_t index)
{
    if (index < 0) return index;
    if (IsIcoFile(path)) return 0;
    IconGroups icons = EnumerateIconGroups(path);
    if (!icons.module) return 0;
    icons.module.reset();
    if (static_cast<size_t>(index) >= icons.groups.size()) return 0;
    return icons.groups[index].iconId;
}

HMODULE IconModuleCache::Get(const wchar_t* path)
{
    std::wstring key = CacheKey(path);
    auto found = modules_.find(key);
    if (found != modules_.end()) return found->second.get();
    UniqueModule module(LoadIconModule(path));
    HMODULE handle = module.get();
    modules_.emplace(std::move(key), std::move(module));
    return handle;
}

HICON IconModuleCache::Icon(const std::wstring& path, int32_t iconId, int size)
{
    IconKey key{CacheKey(path), iconId, size};
    auto found = icons_.find(key);
    if (found != icons_.end()) return found->second.get();
    UniqueIcon icon = LoadTypeIcon(path.c_str(), iconId, this, size);
    HICON handle = icon.get();
    icons_.emplace(std::move(key), std::move(icon));
    return handle;
}

UniqueIcon LoadIconOf(const wchar_t* iconPath, int32_t iconId, IconModuleCache* cache, int size)
{
    UniqueIcon icon;
    if (IsIcoFile(iconPath)) {
        icon.reset(LoadIcoFile(iconPath, size));
    } else {
        UniqueModule ownModule;
        HMODULE module = cache ? cache->Get(iconPath) : (ownModule.reset(LoadIconModule(iconPath)), ownModule.get());
        // Only a negated resource id names a group here; a position finds no
        // icon.
        if (module && iconId < 0)
            icon.reset(LoadOwnedIcon(module, static_cast<int>((0u - static_cast<uint32_t>(iconId)) & 0xFFFF), size));
    }
    if (icon.get() == INVALID_HANDLE_VALUE) icon.release();
    return icon;
}

UniqueIcon LoadTypeIcon(const wchar_t* iconPath, int32_t iconId, IconModuleCache* cache, int size)
{
    UniqueIcon icon = LoadIconOf(iconPath, iconId, cache, size);
    if (!icon) icon.reset(LoadOwnedIcon(associationContext.resourceModule, IDI_DEFAULT_TYPE, size));
    return icon;
}
