// The player's settings file: the player's whole configuration, of which
// the association tool reads some values and writes a few. Every read and
// write of it by the tool, the dialogs and the report goes through here.
//
// Writing never loses the file. The whole new text is written into a file
// of a name no one can guess, made new beside it, and then takes the
// file's name in one step (the file's security and attributes copied to it
// first): a run stopped at any moment leaves the old file or the new one,
// whole. Where the file cannot be replaced so (another program holds it
// open), it is written again in place. A file the tool cannot or must not
// write (read-only, not an ordinary file, reached through a link) is left
// as it is, and nothing is left beside it.
#ifndef KORVANE_SETTINGS_SETTINGS_FILE_H
#define KORVANE_SETTINGS_SETTINGS_FILE_H

#include <windows.h>

#include <string>
#include <vector>

// The path as every later use means it: made full once (GetFullPathNameW),
// so that a bare name is the file in the current folder for the profile
// functions, the file operations and the report alike. Empty for an empty
// path, or one whose full form would not fit 1024 characters.
std::wstring FullSettingsPath(const std::wstring& given);

// The whole value of a key, however long: read again with a larger buffer
// while a read fills the buffer. complete is false when even the largest
// buffer the program allows was filled: the text is then cut short.
std::wstring ReadWholeSetting(const wchar_t* path, const wchar_t* section, const wchar_t* key, bool& complete);

struct SettingValue {
    std::wstring section;
    std::wstring key;
    std::wstring value;
};

// Sets every value given in the file at path (a full path) in one write;
// every other line of the file stays as it was. The file keeps its form
// (ANSI, UTF-16 either way round, UTF-8 with its mark) unless it is in the
// ANSI code page and a text does not fit it: then it becomes UTF-16 with
// its mark. A file that does not exist yet is made. False when the file
// was left as it is (why goes to the debugger).
bool WriteSettingValues(const std::wstring& path, const std::vector<SettingValue>& values);

// The step that puts the written copy in the file's place. It is the one
// step whose failures the system cannot be made to show at will, so a test
// may put another in its place. On failure it says why with SetLastError;
// the copy is then still open at its own name, and the file at path may be
// there unchanged, gone, or renamed.
using MoveIntoPlaceFn = bool (*)(HANDLE copy, const std::wstring& path, bool replace);
bool MoveIntoPlace(HANDLE copy, const std::wstring& path, bool replace);
extern MoveIntoPlaceFn g_moveIntoPlace;

#endif
