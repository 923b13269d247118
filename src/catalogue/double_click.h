// What a double-click on a file opens. Windows lets only the user choose
// the owner of an extension (through Default Programs); the tool and the
// report both ask here which class that choice lands on.
#ifndef KORVANE_CATALOGUE_DOUBLE_CLICK_H
#define KORVANE_CATALOGUE_DOUBLE_CLICK_H

#include <string>

#include "catalogue/file_types.h"

// What a double-click on a file of an extension opens for this user, and
// the choice the user recorded: the one answer the dialogs and the report
// both give. The class is the user's choice where that class exists, else
// the extension key's default value where that class exists; empty where
// Windows would ask. On Windows 8 and later Windows' own answer
// (AssocQueryStringW) comes first, as it also knows where newer builds
// keep the choice.
struct DoubleClick {
    std::wstring userChoice;        // UserChoice's ProgId as recorded; empty: none
    bool userChoiceExists = false;  // and a class of that name exists
    std::wstring progId;            // the class a double-click opens; empty: Windows asks
    bool byUserChoice = false;      // that class is the one the user chose
};
DoubleClick ResolveDoubleClick(const std::wstring& extension);

// True when that class is the player's own for the extension.
bool OpensWithPlayer(const std::wstring& extension);

// True when at least one type of the list is ticked and every ticked type
// opens with the player already: then there is nothing left for the user
// to choose in Windows' default apps.
bool EveryTickedTypeOpensWithPlayer(const FileTypeList& list);

#endif
