// Start-up of the association tool: command line, process-wide state and
// the dispatch to the "/Register" or "/Unregister" run.
#ifndef KORVANE_APP_STARTUP_H
#define KORVANE_APP_STARTUP_H

#include <windows.h>

struct CommandLineSwitches {
    bool registerRun = false;
    bool unregisterRun = false;
    bool silent = false;          // "/Silent": a registration without a window, for deployment tools
    bool unknownSwitch = false;   // a "/" word the tool does not know
    bool pathTooLong = false;     // a settings path that would arrive cut short
};

// The tool runs elevated: from here on, libraries load from System32 or by
// full path only, never from the current or the program's folder. Where
// kernel32 lacks SetDefaultDllDirectories (Windows 7 without its update),
// at least the current folder leaves the search. True when the search was
// restricted to System32.
bool RestrictDllSearch();

// Splits a full command line (program name first) with the host tokenizer;
// remembers the switches and copies the last other argument into
// settingsPath.
CommandLineSwitches ParseCommandLine(const wchar_t* commandLine);

// 0x100 when kernel32 exports IsWow64Process, else 0. Only the presence of
// the function is tested; it is never called.
DWORD DetectRegistryView();

// Resource module, its file name and the path of Tovrix.exe beside the
// program's own file.
void InitializePaths(HINSTANCE instance);

// "/Unregister" wins over "/Register"; neither gives -1, and so does a
// settings path too long for the program's buffers (it would name another
// file cut short). "/Silent" makes "/Register" run without a window and
// changes nothing for "/Unregister"; without either, beside a switch the
// tool does not know, or without a settings file, it is a bad command line
// (-1) too.
int Dispatch(const CommandLineSwitches& switches);

// Removes every association that the capability record lists and that is
// still the player's; always 1.
int RunUnregistration();

// The whole program after the DLL search path is locked down.
int RunAssociationTool(HINSTANCE instance);

#endif
