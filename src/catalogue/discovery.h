// Finding out which of the player's file types are associated now, and
// whether the audio-CD handler and the folder verb run the player.
#ifndef KORVANE_CATALOGUE_DISCOVERY_H
#define KORVANE_CATALOGUE_DISCOVERY_H

#include <string>
#include <vector>

#include "catalogue/file_types.h"

// Adds one entry per type that the capability record lists (a value of any
// type) and whose class key exists, in registry order; an extension
// already in the list (same letter case) is overwritten instead of
// appended. A value name too long for any type is passed over.
void DiscoverAssociatedTypes(FileTypeList& list);

// On true sets FT_ASSOCIATED (and, for an ordinary type, the registry's
// description and icon); on false the entry is unchanged.
bool IsTypeAssociated(FileTypeEntry& entry);

// The class's description (empty unless its default value is REG_SZ) and
// DefaultIcon (long path, id as a resource id). False, the outputs then
// unchanged, only when the class key does not exist.
bool ReadTypeClassInfo(const std::wstring& extension, std::wstring& description, std::wstring& iconPath,
                       int32_t& iconId);

// True when a command names the client executable (any folder, any letter
// case): the mark of the player's own commands.
bool NamesClient(const std::wstring& command);

// True when the default value of HKEY_LOCAL_MACHINE\commandKey is the
// player's by the rule its backups are judged by (HolderOf): text of
// either string type that names the client executable.
bool CommandRunsClient(const wchar_t* commandKey);

// The registrations (".<ext>", "AudioCD", "Folder") a run was changing
// when it was stopped, from the player's key: one name (REG_SZ, as earlier
// versions kept it) or a list; none where the value is damaged.
std::vector<std::wstring> UnfinishedNames();

#endif
