// Which paths the elevated tool opens, reads or writes on another's say:
// the command line's files, icon files named in a user-writable settings
// file or registry. A standard user controls both, so every rule here is
// judged on what a path really reaches, not only on how it is written.
#ifndef KORVANE_FILES_PATHS_H
#define KORVANE_FILES_PATHS_H

#include <windows.h>

#include <string>

// True for an absolute path on a local fixed drive ("C:\..."): not a UNC
// path, not a "\\?\" or "\\.\" form, not relative, not on a mapped
// network or a removable drive. Judged from the text only; OpensAsLocalFile
// below also follows what the path reaches.
bool IsLocalFixedPath(const std::wstring& path);

// The name the system resolves an open handle to, as a DOS path: "\\?\C:\x"
// becomes "C:\x" and "\\?\UNC\server\x" becomes "\\server\x". Empty when
// it cannot be told.
std::wstring FinalPath(HANDLE file);

// The long form of a path that exists; the path as given otherwise.
std::wstring LongPath(const std::wstring& path);

// True when the open file is the one its full path names, reached through
// no link on the way (a linked folder, a junction, another drive letter).
bool ReachedByItsPath(HANDLE file, const std::wstring& path);

// What a path to a file the tool would open (an icon file) reaches:
// Local, an existing ordinary file on a local fixed drive reached through
// no link, the only kind the tool opens; Missing, no such file on a local
// fixed drive, which a class may still name; Refused, anything else. The
// look follows no reparse point, so a link to a share is refused without
// the share ever being asked.
enum class LocalFile { Local, Missing, Refused };
LocalFile CheckLocalFile(const std::wstring& path);
inline bool OpensAsLocalFile(const std::wstring& path) { return CheckLocalFile(path) == LocalFile::Local; }

// Why a path given on the command line for one of the tool's own files
// (the settings file, the deployment log) is refused.
enum class PathFault {
    None,
    Empty,
    TooLong,         // its full form would not fit 1024 characters
    NotLocal,        // a share, a "\\?\" or "\\.\" form, or not a local fixed drive
    Stream,          // "file:stream", an alternate data stream
    Device,          // CON, NUL, COM1 and the like, with any extension
    WrongExtension,  // not the extension the file must have
    SystemFolder,    // in the Windows folder, whose files are the system's (win.ini)
};

// The full path (GetFullPathNameW: a bare name is in the current folder)
// of a file of the tool's own whose extension must be extension (".ini",
// ".log"), or a fault. Judged on the text alone, before the file is
// opened: nothing is read from a path that fails.
PathFault CheckOwnFilePath(const std::wstring& given, const wchar_t* extension, std::wstring& full);

#endif
