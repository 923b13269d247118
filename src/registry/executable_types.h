// The file types Windows runs: programs, scripts, installers, shortcuts,
// links. A player registered for one of them would take over what opening
// it does, and on Windows 7 and 8 Default Programs' "Select all" would then
// hand every program or shortcut to the player. No run registers one,
// whatever the settings file or the dialogs ask for.
#ifndef KORVANE_REGISTRY_EXECUTABLE_TYPES_H
#define KORVANE_REGISTRY_EXECUTABLE_TYPES_H

#include <windows.h>

#include <string>

// True when Windows runs files of the extension (without its dot, in any
// letter case, trailing dots and blanks aside): where Windows itself says
// so (AssocIsDangerous), or where the program's own list names it, which
// stands in where the system has no answer.
bool WindowsRunsType(const std::wstring& extension);

// AssocIsDangerous, or what a test puts in its place.
using AssocIsDangerousFn = BOOL(WINAPI*)(PCWSTR dottedExtension);
extern AssocIsDangerousFn g_assocIsDangerous;

#endif
