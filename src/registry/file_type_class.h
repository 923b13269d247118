// The player's file type class (ProgID) of one extension: written one verb
// at a time, deleted, and the extension key given back to its previous
// owner.
#ifndef KORVANE_REGISTRY_FILE_TYPE_CLASS_H
#define KORVANE_REGISTRY_FILE_TYPE_CLASS_H

#include <windows.h>

#include <map>
#include <string>
#include <vector>

// The longest extension whose class name ("Korvane <ext> File") is still a
// valid registry key name.
constexpr size_t kMaxExtensionChars = 255 - 13;

// An extension that names keys of its own type only: not empty, no
// backslash (it would name a key below another one), no NUL, and short
// enough for a registry key name. Such a type can be found and removed.
bool IsUsableExtension(const std::wstring& extension);

// Why an extension cannot be registered and stored, if it cannot.
enum class ExtensionFault {
    None,
    Empty,
    TooLong,       // more than kMaxExtensionChars
    BadCharacter,  // a backslash or NUL (keys of another type) or ";" (separates the stored list)
    OnlyDots,      // no file name ends in a dot, so it would never match a file
    Executable,    // Windows runs files of the type (registry/executable_types.h)
};

// The one rule for new registrations: the class writer, the settings file
// store and the edit dialog all refuse what this refuses.
ExtensionFault CheckExtension(const std::wstring& extension);
inline bool IsRegistrableExtension(const std::wstring& extension)
{
    return CheckExtension(extension) == ExtensionFault::None;
}

// "Korvane <extension> File".
std::wstring MakeProgId(const std::wstring& extension);

// Short forms of paths already asked for, by path: the file system is slow
// to answer (about a millisecond a path under Wine), and a run asks for the
// same icon module type after type.
using ShortPathCache = std::map<std::wstring, std::wstring>;

// The icon location as DefaultIcon holds it: the short (8.3) form of the
// path, a comma and the id. A file that does not exist (or has no short form
// within 1024 characters) keeps its path as given.
std::wstring DefaultIconText(const std::wstring& iconPath, int iconId, ShortPathCache* cache = nullptr);

// Splits an icon location at its last comma, as the shell does; the id is
// read with _wtoi (0 without a comma), quotes around the path go, and the
// path is turned into its long form when it names an existing file and is
// kept as written otherwise.
void SplitIconLocation(const std::wstring& text, std::wstring& iconPath, int& iconId);

// One verb of a class: its key below "shell", the name the menu shows
// (null: none) and its command line after the client's quoted path.
struct ClassVerb {
    const wchar_t* key;
    const wchar_t* commandTail;
    const wchar_t* displayName;
};

// Everything one class of the player's holds, made once per type.
struct FileTypeClass {
    std::wstring key;          // "Software\Classes\Korvane <ext> File"
    std::wstring description;
    std::wstring icon;         // DefaultIcon: short icon path, comma, id
    struct Verb {
        std::wstring key;
        const wchar_t* displayName;
        std::wstring command;  // `"<client>" <tail>`
    };
    std::vector<Verb> verbs;
};

// The class of a type with the verbs given. False, nothing made, when the
// extension cannot be registered or the icon text, a command or a verb's
// key path does not fit the 1024-character buffers they are made in: such
// a type is refused before any registry call.
bool MakeFileTypeClass(const std::wstring& extension, const std::wstring& description, int iconId,
                       const std::wstring& iconPath, const std::vector<ClassVerb>& verbs, FileTypeClass& made,
                       ShortPathCache* cache = nullptr);

// Writes the class below HKEY_LOCAL_MACHINE in place of what its key holds,
// the key kept so that it stays a class of the player's throughout: the
// description and DefaultIcon first, then everything else in it goes
// (verbs switched off since, a DDE conversation, what older versions
// left), then each verb with its display name and command. The first
// error the registry gave, or 0 when every value was written.
LSTATUS WriteFileTypeClass(const FileTypeClass& made);

// Deletes the class with everything below it; a missing class is no
// failure. Always 0.
int DeleteFileTypeClass(const std::wstring& extension);

// Gives the extension key back its previous default value from the backup
// (or deletes the default value when the backup names the player's own
// class) where the key still names the player's class or nothing; where
// another program has taken the key since, it keeps it and the stale
// backup goes. Then deletes the key if nothing is left in it. Always 0.
int RestoreExtensionKey(const std::wstring& extension);

#endif
