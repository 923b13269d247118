// The user's file types kept in the player's settings file between runs.
#ifndef KORVANE_SETTINGS_TYPE_STORE_H
#define KORVANE_SETTINGS_TYPE_STORE_H

#include "catalogue/file_types.h"

// Appends one entry (flags 0) per extension listed under
// "RegisterdExtensions" "Extensions", in that order, the list read whole
// however long it is. A name that cannot be registered, and a last name
// cut short, are skipped.
void LoadStoredTypes(const wchar_t* path, FileTypeList& list);

// True when the file lists any stored type at all.
bool HasStoredTypeList(const wchar_t* path);

// Writes every entry but the pseudo types, in one write of the file: its
// section and the "Extensions" list. Old sections are never deleted. Text
// that the file's code page cannot hold turns the file into UTF-16 first.
void SaveStoredTypes(const wchar_t* path, const FileTypeList& list);

#endif
