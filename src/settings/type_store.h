// The user's file types kept in the player's settings file between runs,
// and which of them the last confirmed dialog run left ticked.
//
//   [RegisterdExtensions]
//   Extensions=wav;mp3;opus;     every type of the file types dialog
//   Ticked=mp3;opus;             the tool's own key: the types left ticked
//   [opus]
//   Description=Korvane Opus Sound
//   IconPath=KorvaneRes.dll      the resource module, wherever it is
//   IconId=-101
#ifndef KORVANE_SETTINGS_TYPE_STORE_H
#define KORVANE_SETTINGS_TYPE_STORE_H

#include <string>
#include <vector>

#include "catalogue/file_types.h"
#include "registry/file_type_class.h"
#include "settings/settings_file.h"

struct SkippedType {
    std::wstring name;     // as listed, blanks and leading dot dropped
    ExtensionFault fault;  // why it can be no type of the player's
};

struct StoredTypes {
    bool listed = false;             // the file has a list of types at all
    FileTypeList types;              // in the order of the list, flags 0
    bool choiceKept = false;         // the file says which types a confirmed dialog run left ticked
    std::vector<std::wstring> ticked;  // those types
    std::vector<SkippedType> skipped;
};

// The types listed under "RegisterdExtensions" "Extensions", as a person
// may also write the list: names part at ";", blanks around a name and
// one leading dot go, the last name counts without its ";" unless the
// list is longer than the tool reads (then the last name may be cut
// short). A name that can be no type of the player's (registry/
// file_type_class.h: empty aside, which is skipped silently) is skipped
// and named in skipped. A type's description and icon come from its own
// section: a built-in type's unedited description in this run's language,
// the player's own icons from the resource module where it is now.
StoredTypes LoadStoredTypes(const SettingsText& settings);

// Writes every entry but the pseudo types, in one write of the file: its
// section, the "Extensions" list and the "Ticked" list of the entries
// that carry FT_ASSOCIATED. Old sections are never deleted.
void SaveStoredTypes(const wchar_t* path, const FileTypeList& list);

// The types "/Register /Silent" registers: those the last confirmed dialog
// run left ticked (every listed type where no dialog run has written the
// file: an administrator's own), and every type registered now but one
// the file lists unticked that a stopped run was changing (unfinished:
// ".<ext>" names), on its way out. Names in any letter case, each once.
std::vector<std::wstring> TypesToDeploy(const StoredTypes& stored, const FileTypeList& registeredNow,
                                        const std::vector<std::wstring>& unfinished);

#endif
