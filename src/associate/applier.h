// Carries out in the registry what a run has decided: removes the player's
// registrations of one list, then writes those of another.
#ifndef KORVANE_ASSOCIATE_APPLIER_H
#define KORVANE_ASSOCIATE_APPLIER_H

#include "app/context.h"
#include "catalogue/file_types.h"

// First finishes a change that an earlier run was stopped in. Then removes
// every entry of removeList that writeList does not write again (those are
// written over, never removed first), writes every entry of writeList that
// carries FT_ASSOCIATED, and tells the shell. Every step leaves a state from
// which the same call, made again, ends where one whole call ends.
void ApplyAssociations(const FileTypeList& removeList, const FileTypeList& writeList,
                       const AssociationContext* context);

#endif
