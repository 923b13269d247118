// The player's settings file (INI) as far as the association tool reads and
// writes it, and the localized texts from the resource module.
#ifndef KORVANE_APP_SETTINGS_H
#define KORVANE_APP_SETTINGS_H

#include <windows.h>

#include <string>

// True for "TRUE", "ENABLE" and "On" in any letter case, or a number that
// reads as 1; everything else is false.
bool ReadBoolSetting(const wchar_t* text);

// Reads "ExecMethod" and the four "Association" keys from settingsPath into
// associationContext; missing keys give the defaults.
void ReadSettings();

// Writes the four "Association" keys and "ExecMethod" from associationContext.
void SaveSettings();

// The whole value of a key of a settings file, however long: read again
// with a larger buffer while a read fills the buffer. complete is false
// when even the largest buffer the program allows was filled: the text is
// then cut short.
std::wstring ReadWholeSetting(const wchar_t* path, const wchar_t* section, const wchar_t* key, bool& complete);

// WritePrivateProfileStringW, except that a text the file's encoding cannot
// hold first turns the file into UTF-16 with a byte-order mark, keeping
// every section, key and value in it: a file without the mark is written in
// the ANSI code page, and what that lacks would come back as "?". A file
// that only ever receives text of its code page keeps its form.
BOOL WriteSetting(const wchar_t* path, const wchar_t* section, const wchar_t* key, const wchar_t* value);

// A string of the resource module, cut to capacity - 1 characters.
std::wstring LoadModuleString(UINT id, int capacity);

// A string of the resource module that holds several texts, each ended by
// a NUL (an open-file dialog's filter list): kept whole, with its embedded
// NULs, and ended by two NULs. Empty when the module has no such string.
std::wstring LoadModuleStringList(UINT id);

// Replaces each built-in description by its localized string when that is
// not empty.
void LoadBuiltinDescriptions();

// Loads the five verb display names into associationContext, whatever the
// resource module holds for them.
void LoadVerbDisplayNames();

#endif
