// Laying one list of file types over another by extension.
#ifndef KORVANE_CATALOGUE_MERGE_H
#define KORVANE_CATALOGUE_MERGE_H

#include "catalogue/file_types.h"

// For each source entry in order: overwrite the first target entry whose
// extension matches ignoring letter case (all five fields, in place), or
// append it.
void MergeFileTypes(FileTypeList& target, const FileTypeList& source);

#endif
