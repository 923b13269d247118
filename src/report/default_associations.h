// The default associations configuration file that Windows reads from
// Group Policy ("Set a default associations configuration file") and from
// "Dism /Online /Import-DefaultAppAssociations": the player's registered
// types as the defaults an administrator hands to every user.
#ifndef KORVANE_REPORT_DEFAULT_ASSOCIATIONS_H
#define KORVANE_REPORT_DEFAULT_ASSOCIATIONS_H

#include <string>
#include <vector>

#include "report/association_state.h"

// The attributes Windows 11 22H2 and later read: Version on the root (when
// it is raised, associations marked Suggested are applied once more),
// Suggested on each association (applied once per user, whose later choice
// then lasts; without it, at every sign-in). Earlier Windows ignores both.
struct PolicyAttributes {
    bool suggested = false;
    unsigned version = 0;  // 0: no Version attribute
};

// The XML document: a DefaultAssociations root and one Association element
// per type the report calls registered (or chosen for another program: the
// registration is whole), in the report's order, by extension; CRLF line
// ends. A type that is not registered, or whose name XML cannot carry (a
// control character), is left out and named in leftOut (".ext").
std::wstring DefaultAssociationsXml(const AssociationReport& report, std::vector<std::wstring>& leftOut,
                                    const PolicyAttributes& attributes = PolicyAttributes());

#endif
