// Carries out in the registry what a run has decided: removes the player's
// registrations of one list, then writes those of another.
#ifndef KORVANE_ASSOCIATE_APPLIER_H
#define KORVANE_ASSOCIATE_APPLIER_H

#include "app/context.h"
#include "catalogue/file_types.h"

// Removes every entry of removeList, then writes every entry of writeList
// that carries FT_ASSOCIATED, then tells the shell.
void ApplyAssociations(const FileTypeList& removeList, const FileTypeList& writeList,
                       const AssociationContext* context);

// Takes away every registration the player holds for one entry.
void RemoveAssociation(const FileTypeEntry& entry);

#endif
