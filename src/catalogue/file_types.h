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

// An icon path that is not on a local fixed drive (IsLocalFixedPath), or
// none at all, is no stored icon: the entry gets the resource module's
// icon for its type instead, before any file call is made on the path.
void UseLocalIconOnly(FileTypeEntry& entry);

// Appends the ten built-in types, with the current localized descriptions,
// the resource module as icon file and the built-in icon ids.
void AppendBuiltInTypes(FileTypeList& list);

#endif
