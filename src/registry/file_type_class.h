// The player's file type class (ProgID) of one extension: written one verb
// at a time, deleted, and the extension key given back to its previous
// owner.
#ifndef KORVANE_REGISTRY_FILE_TYPE_CLASS_H
#define KORVANE_REGISTRY_FILE_TYPE_CLASS_H

#include <string>

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

// The icon location as DefaultIcon holds it: the short (8.3) form of the
// path, a comma and the id. A file that does not exist (or has no short form
// within 1024 characters) keeps its path as given.
std::wstring DefaultIconText(const std::wstring& iconPath, int iconId);

// Splits an icon location at its last comma, as the shell does; the id is
// read with _wtoi (0 without a comma), quotes around the path go, and the
// path is turned into its long form when it names an existing file and is
// kept as written otherwise.
void SplitIconLocation(const std::wstring& text, std::wstring& iconPath, int& iconId);

// True when the extension is registrable and the class's icon text, command and
// verb key fit the 1024-character buffers they are made in.
bool FileTypeClassFits(const wchar_t* verbKey, const wchar_t* commandTail, const std::wstring& extension, int iconId,
                       const std::wstring& iconPath);

// Writes the class's description (when given), DefaultIcon (short icon
// path, comma, id), an empty "shell" key, and one verb with its display
// name (when given) and command line `"<client>" <commandTail>`; removes a
// "ddeexec" below the verb. An extension that is not registrable, or texts
// that do not fit, are refused before any registry call. Always 0.
int WriteFileTypeClass(const wchar_t* verbKey, const wchar_t* commandTail, const wchar_t* verbDisplayName,
                       const wchar_t* description, const std::wstring& extension, int iconId,
                       const std::wstring& iconPath);

// Readies the class for its verbs to be written afresh while it stays a
// class of the player's: the key is kept, its description and DefaultIcon
// are written in place first, and then everything else in it goes (verbs
// switched off since, what older versions left). Refused like
// WriteFileTypeClass. Always 0.
int PrepareFileTypeClass(const wchar_t* description, const std::wstring& extension, int iconId,
                         const std::wstring& iconPath);

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
