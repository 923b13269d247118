// Localized texts from the resource module: the dialogs' strings, the
// built-in types' descriptions and the verbs' display names.
#ifndef KORVANE_APP_TEXTS_H
#define KORVANE_APP_TEXTS_H

#include <windows.h>

#include <string>
#include <vector>

// A string of the resource module, cut to capacity - 1 characters.
std::wstring LoadModuleString(UINT id, int capacity);

// A string of the resource module that holds several texts, each ended by
// a NUL (an open-file dialog's filter list): kept whole, with its embedded
// NULs, and ended by two NULs. Empty when the module has no such string.
std::wstring LoadModuleStringList(UINT id);

// The text of string id in every language the resource module holds it in.
std::vector<std::wstring> ModuleStringInEveryLanguage(UINT id);

// Replaces each built-in description by its localized string when that is
// not empty.
void LoadBuiltinDescriptions();

// Loads the five verb display names into associationContext, whatever the
// resource module holds for them.
void LoadVerbDisplayNames();

// Text from the registry, a settings file or a user as one line of a report
// or a log can show it: a line break, another control character or a mark
// that turns the direction of text, written as it is, would break a table
// or forge a line, so each is shown by a visible mark instead ("<CR>",
// "<LF>", "<TAB>", "<U+202E>").
std::wstring Visible(const std::wstring& text);

// Names compared as the registry and the file system compare them: in any
// letter case, of any script (".MÜ" and ".mü" name one key).
bool SameName(const std::wstring& a, const std::wstring& b);

#endif
