// What the tool is told to do: its command line, read once at start-up.
//
//   KorvaneAssoc.exe /Register [/TopMost] "<settings file>.ini"
//   KorvaneAssoc.exe /Unregister ["<settings file>.ini"]
//   KorvaneAssoc.exe /Register /Silent [/Log "<log file>.log"] "<settings file>.ini"
//
// The tool runs elevated on arguments that whoever starts the player
// chooses, so it takes nothing it does not understand: a word that looks
// like a switch and is none, a second path, a path cut short, and a file
// of the tool's own that is not a local file of its kind (files/paths.h)
// each make the whole command line bad, before anything is read or shown.
#ifndef KORVANE_COMMAND_LINE_COMMAND_LINE_H
#define KORVANE_COMMAND_LINE_COMMAND_LINE_H

#include <string>

struct CommandLine {
    bool registerRun = false;
    bool unregisterRun = false;
    bool silent = false;         // "/Silent": a registration without a window, for deployment tools
    std::wstring settingsPath;   // full and checked; empty where none was given
    std::wstring logPath;        // "/Log": full and checked; empty where none was given
    std::wstring fault;          // why the command line is bad (English, for the log); empty when it is not
    bool Bad() const { return !fault.empty(); }
};

// Reads a full command line (program name first) with the host tokenizer.
// Switches are found in any letter case; "/TopMost" is taken and changes
// nothing (the dialogs are modal anyway). "/Log" takes the next word as
// the log file and goes with "/Silent" only.
CommandLine ReadCommandLine(const wchar_t* commandLine);

#endif
