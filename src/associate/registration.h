// The "/Register" run: catalogue, the two dialogs, applying, storing; and
// the pieces of it that the silent registration shares.
#ifndef KORVANE_ASSOCIATE_REGISTRATION_H
#define KORVANE_ASSOCIATE_REGISTRATION_H

#include <vector>

#include "associate/applier.h"
#include "catalogue/file_types.h"
#include "settings/settings_file.h"
#include "settings/type_store.h"

// Returns the exit code: 1 applied, 0 cancel confirmed, 2 main dialog left
// with its "OK and leave" button, -1 a dialog could not be shown (also
// where this window station is one nobody sees: a service, session 0).
int RunRegistration(const SettingsText& settings);

// Fills g_fileTypes with the catalogue the dialogs offer (the built-in
// types, the stored types and the types that are the player's now, each
// type that can be registered once), and the context with whether the
// audio-CD handler and the folder verb are the player's. Returns what is
// the player's now: what applying may remove.
FileTypeList BuildCatalogue(const StoredTypes& stored);

// The registry work of a registration: the Default Programs record, then
// g_fileTypes as ticked and the handlers as chosen over current; empties
// g_fileTypes and tells the shell. The record's outcome comes first
// (named "Default Programs"), then one per registration written.
std::vector<WriteOutcome> ApplyRegistration(const FileTypeList& current);

// Adds the handlers a registration run may remove: the audio-CD handler
// where it runs the player or a backup of the player's is left beside it,
// and the folder verb where it runs the player.
void AddCurrentHandlers(FileTypeList& current);

// The player as a registered application of Default Programs: its name and
// the place of its capability record, in both views. The first error the
// registry gave, or 0.
LSTATUS WriteDefaultProgramsRecord();

#endif
