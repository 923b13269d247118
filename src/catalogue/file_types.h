// File type records, lists of them, the built-in types and the one
// process-wide list that a registration run edits.
#ifndef KORVANE_CATALOGUE_FILE_TYPES_H
#define KORVANE_CATALOGUE_FILE_TYPES_H

#include <cstdint>
#include <string>
#include <vector>

constexpr uint32_t FT_AUDIOCD = 0x2;     // the audio-CD autoplay pseudo type
constexpr uint32_t FT_FOLDER = 0x4;      // the folder verb pseudo type
constexpr uint32_t FT_ASSOCIATED = 0x8;  // associated now / ticked by the user

struct FileTypeEntry {
    std::wstring extension;     // without the leading dot; "AudioCD" / "Folder" for the pseudo types
    std::wstring description;
    std::wstring iconPath;
    int32_t iconId = 0;         // negative: -resource id; else a position among the icon groups
    uint32_t flags = 0;

    FileTypeEntry() = default;
    explicit FileTypeEntry(std::wstring ext) : extension(std::move(ext)) {}
    FileTypeEntry(std::wstring ext, std::wstring desc, std::wstring path, int32_t id, uint32_t fl)
        : extension(std::move(ext)), description(std::move(desc)), iconPath(std::move(path)), iconId(id), flags(fl) {}

    bool IsPseudoType() const { return (flags & (FT_AUDIOCD | FT_FOLDER)) != 0; }
};

// Insertion order, nothing sorts it; extensions are kept unique only by the
// find-or-append rules of discovery and merging.
using FileTypeList = std::vector<FileTypeEntry>;

extern FileTypeList g_fileTypes;

extern const wchar_t* const kBuiltinExtensions[];

// The resource module's icon for a type: its own for a built-in type, the
// default type icon for any other.
int32_t DefaultIconIdOf(const std::wstring& extension);

// True for a path to the resource module's file, in whatever folder: the
// player's own icons follow the module where a reinstall puts it.
bool NamesResourceModule(const std::wstring& path);

// The icon path as the tool uses it: a path to the resource module is the
// module where it is now; a path that reaches no ordinary local file (a
// share, a network drive, a link to either: files/paths.h), or none at
// all, is no icon: the entry gets the resource module's icon for its type
// instead, before anything is read from the path.
void UseLocalIconOnly(FileTypeEntry& entry);

// The row of a built-in type in kBuiltinExtensions, or -1.
int BuiltinRow(const std::wstring& extension);

// A built-in type's description as the user did not edit it (empty, or
// the default in any language the resource module holds) becomes the one
// of this run's language, so that it is shown and registered so.
void UseRunLanguage(FileTypeEntry& entry);

// The description a type is stored with: nothing for a built-in type's
// default, which then follows the language of every later run.
std::wstring StoredDescription(const FileTypeEntry& entry);

// Appends the ten built-in types, with the current localized descriptions,
// the resource module as icon file and the built-in icon ids.
void AppendBuiltInTypes(FileTypeList& list);

#endif
