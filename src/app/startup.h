// Start-up of the association tool: process-wide state and the dispatch to
// the "/Register" or "/Unregister" run.
#ifndef KORVANE_APP_STARTUP_H
#define KORVANE_APP_STARTUP_H

#include <windows.h>

struct CommandLine;

// The tool runs elevated: from here on, libraries load from System32 or by
// full path only, never from the current or the program's folder. Where
// kernel32 lacks SetDefaultDllDirectories (Windows 7 without its update),
// at least the current folder leaves the search. True when the search was
// restricted to System32.
bool RestrictDllSearch();

// 0x100 when kernel32 exports IsWow64Process, else 0. Only the presence of
// the function is tested; it is never called.
DWORD DetectRegistryView();

// Resource module, its file name and the path of Tovrix.exe beside the
// program's own file.
void InitializePaths(HINSTANCE instance);

// "/Silent" goes to the silent registration, which answers every command
// line itself. Otherwise a bad command line gives -1; "/Unregister" wins
// over "/Register"; "/Register" needs a settings file; neither gives -1.
// The settings file is read (once) only by a run that uses it.
int Dispatch(const CommandLine& line);

// Removes every association that the capability record lists and that is
// still the player's; always 1.
int RunUnregistration();

// The whole program after the DLL search path is locked down.
int RunAssociationTool(HINSTANCE instance);

#endif
