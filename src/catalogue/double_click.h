// What a double-click on a file opens. Windows lets only the user choose
// the owner of an extension (through Default Programs); the tool and the
// report both ask here which class that choice lands on.
#ifndef KORVANE_CATALOGUE_DOUBLE_CLICK_H
#define KORVANE_CATALOGUE_DOUBLE_CLICK_H

#include <string>

#include "catalogue/file_types.h"

// The class Windows opens a file of this extension with for this user: the
// user's choice where that class exists, else the extension key's default
// value where that class exists; empty where Windows would ask. On
// Windows 8 and later Windows' own answer (AssocQueryStringW) comes first,
// as it also knows where newer builds keep the choice.
std::wstring DoubleClickProgId(const std::wstring& extension);

// True when that class is the player's own for the extension.
bool OpensWithPlayer(const std::wstring& extension);

// True when at least one type of the list is ticked and every ticked type
// opens with the player already: then there is nothing left for the user
// to choose in Windows' default apps.
bool EveryTickedTypeOpensWithPlayer(const FileTypeList& list);

#endif
