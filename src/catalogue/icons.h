// Icon id convention and the icon operations shared by discovery and the
// dialogs. A negative id is minus an icon group's resource id; zero or more
// is a position among the groups that load; an ".ico" file has id 0.
#ifndef KORVANE_CATALOGUE_ICONS_H
#define KORVANE_CATALOGUE_ICONS_H

#include <windows.h>

#include <cstdint>
#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "registry/handles.h"

struct IconGroupEntry {
    UniqueIcon icon;      // owned: destroyed with the entry
    int32_t iconId;       // minus the group's resource id
};

using IconGroupList = std::vector<IconGroupEntry>;

// Icons are square; this many pixels unless a size is asked for (the large
// icon at 100 %).
constexpr int kDefaultIconSize = 32;

// A module loaded as a data file and its icon groups in enumeration order,
// each icon loaded at iconSize pixels. Groups named by a string have no id
// in the convention and are left out, so positions count integer-named
// groups only.
struct IconGroups {
    UniqueModule module;  // null when the file did not load
    IconGroupList groups;
    int iconSize = kDefaultIconSize;
};

IconGroups EnumerateIconGroups(const wchar_t* path, int iconSize = kDefaultIconSize);

// The EnumResourceNamesW callback; lParam is the IconGroups to fill.
BOOL CALLBACK CollectIconGroup(HMODULE module, LPCWSTR type, LPWSTR name, LONG_PTR lParam);

// Turns a position into minus the resource id of the group at that
// position; a negative index comes back unchanged; an ".ico" file, a file
// that does not load or a position beyond the groups give 0.
int32_t ResolveIconIndex(const wchar_t* path, int32_t index);

// The picture of an ".ico" file at size x size pixels; null when the file
// does not load, the path is too long for the program's buffers or does
// not reach an ordinary file on a local fixed drive (OpensAsLocalFile; the
// same holds for every module of icons loaded here).
HICON LoadIcoFile(const wchar_t* path, int size);

// True when the path's extension is ".ico" in any letter case.
bool IsIcoFile(const wchar_t* path);

// Modules loaded as data files for LoadTypeIcon, kept while a list of types
// is filled, so that a module shared by many types is loaded once; a file
// that does not load is remembered as such too. Freed with the cache.
class IconModuleCache {
public:
    HMODULE Get(const wchar_t* path);
    // The icon of a path and id as LoadTypeIcon gives it, loaded once per
    // size; the cache keeps ownership (callers copy it, into an image list
    // say).
    HICON Icon(const std::wstring& path, int32_t iconId, int size);

private:
    using IconKey = std::tuple<std::wstring, int32_t, int>;  // path in lower case, id, size
    std::map<std::wstring, UniqueModule> modules_;         // by path in lower case
    std::map<IconKey, UniqueIcon> icons_;
};

// The icon that a path and id name (size x size pixels), or null: an ".ico" file, else
// the group minus id of the module. Without a cache the module is loaded
// and freed again within the call.
UniqueIcon LoadIconOf(const wchar_t* iconPath, int32_t iconId, IconModuleCache* cache = nullptr,
                      int size = kDefaultIconSize);

// The icon of a type for display (size x size pixels): an ".ico" file, else the group
// minus id of the module; when neither gives an icon, the resource
// module's icon 101. The caller owns the result (it may be null). Without a
// cache the module is loaded and freed again within the call.
UniqueIcon LoadTypeIcon(const wchar_t* iconPath, int32_t iconId, IconModuleCache* cache = nullptr,
                        int size = kDefaultIconSize);

#endif
