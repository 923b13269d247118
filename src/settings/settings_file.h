// The player's settings file: the player's whole configuration, of which
// the association tool reads some values and writes a few. Every read and
// write of it by the tool, the dialogs and the report goes through here.
//
// It is read once, whole, by the tool's own reader, which reads each form
// as its author meant it and each key as Windows' profile functions read
// it. Writing sets the values given, keeps every other line, and writes the
// file in one of the two forms Windows reads (files/writing.h says how it
// is replaced). A file the tool cannot or must not write (read-only, not
// an ordinary file, reached through a link) is left as it is.
#ifndef KORVANE_SETTINGS_SETTINGS_FILE_H
#define KORVANE_SETTINGS_SETTINGS_FILE_H

#include <windows.h>

#include <string>
#include <vector>

#include "settings/ini_text.h"

// The path as the report takes it from its command line: made full once
// (GetFullPathNameW), so that a bare name is the file in the current
// folder. Empty for an empty path, or one whose full form would not fit
// 1024 characters.
std::wstring FullSettingsPath(const std::wstring& given);

enum class SettingsState {
    Missing,     // no file of that name: every value takes its default
    Read,
    Unreadable,  // there, but not an ordinary file reached by its own path, too large, or not text
};

// The settings file as read once.
class SettingsText {
public:
    SettingsState state = SettingsState::Missing;

    // A value as GetPrivateProfileStringW gives it into a buffer of capacity
    // characters: fallback where the key is missing, one pair of matching
    // quotes around it taken away, cut to capacity - 1 characters.
    std::wstring String(const wchar_t* section, const wchar_t* key, const std::wstring& fallback, size_t capacity) const;

    // A value as GetPrivateProfileIntW reads it: a number in decimal (or
    // with 0x, 0o or 0b), its sign, the digits it starts with; fallback for
    // a missing or empty value.
    UINT Int(const wchar_t* section, const wchar_t* key, int fallback) const;

    // True when the key is there with a value, empty or not.
    bool Has(const wchar_t* section, const wchar_t* key) const;

    IniText ini;
};

// Reads the file at path (a full path) once: an ordinary file with one
// name, reached through no link, of less than 64 MiB, in a form the tool
// reads.
SettingsText ReadSettingsFile(const std::wstring& path);

struct SettingValue {
    std::wstring section;
    std::wstring key;
    std::wstring value;
};

// Sets every value given in the file at path (a full path) in one write;
// every other line of the file stays as it was. A file in the ANSI code
// page stays so, byte for byte, unless a text does not fit the code page;
// every other file (or that one, then) is written in UTF-16LE with its
// mark, converted whole. A file that does not exist yet is made. False
// when the file was left as it is (why goes to the debugger).
bool WriteSettingValues(const std::wstring& path, const std::vector<SettingValue>& values);

#endif
