// The "/Register" run: catalogue, the two dialogs, applying, storing.
#ifndef KORVANE_ASSOCIATE_REGISTRATION_H
#define KORVANE_ASSOCIATE_REGISTRATION_H

#include "catalogue/file_types.h"

// Returns the exit code: 1 applied, 0 cancel confirmed, 2 main dialog left
// with its "OK and leave" button, -1 a dialog could not be shown.
int RunRegistration();

// "/Register /Silent": what Register in both dialogs would do with nothing
// changed there, except that every type the settings file stores is
// ticked: the stored types and the types registered now are written, the
// execution method and verbs as the settings file has them, the audio-CD
// handler and the folder verb as the registry has them. No window, no
// settings written, Windows' default apps not opened. Returns 1.
int RunSilentRegistration();

// Adds the handlers a registration run may remove: the audio-CD handler
// where it runs the player or a backup of the player's is left beside it,
// and the folder verb where it runs the player.
void AddCurrentHandlers(FileTypeList& current);

// The player as a registered application of Default Programs: its name and
// the place of its capability record, in both views.
void WriteDefaultProgramsRecord();

#endif
