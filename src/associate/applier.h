// Carries out in the registry what a run has decided: removes the player's
// registrations of one list, then writes those of another.
#ifndef KORVANE_ASSOCIATE_APPLIER_H
#define KORVANE_ASSOCIATE_APPLIER_H

#include <windows.h>

#include <string>
#include <vector>

#include "app/context.h"
#include "catalogue/file_types.h"

// What became of one registration the run was to write: its name (".mp3",
// "AudioCD", "Folder") and the first error the registry gave, or 0 when
// every value of it was written. A type refused before anything was written
// (an icon path or a command too long for its buffers) has
// ERROR_FILENAME_EXCED_RANGE.
struct WriteOutcome {
    std::wstring name;
    LSTATUS error = ERROR_SUCCESS;
};

// First finishes a change that an earlier run was stopped in. Then removes
// every entry of removeList that writeList does not write again (those are
// written over, never removed first), writes every entry of writeList that
// carries FT_ASSOCIATED, and tells the shell. Every step leaves a state from
// which the same call, made again, ends where one whole call ends. Gives
// one outcome per entry written, in the order of writeList.
std::vector<WriteOutcome> ApplyAssociations(const FileTypeList& removeList, const FileTypeList& writeList,
                                            const AssociationContext* context);

#endif
