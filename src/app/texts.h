// Localized texts from the resource module: the dialogs' strings, the
// built-in types' descriptions and the verbs' display names.
#ifndef KORVANE_APP_TEXTS_H
#define KORVANE_APP_TEXTS_H

#include <windows.h>

#include <string>

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
