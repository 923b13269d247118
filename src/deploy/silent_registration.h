// "/Register /Silent": the registration a deployment tool (Intune,
// Configuration Manager, a Group Policy startup script) runs on many
// machines at once, as SYSTEM, where no one answers a dialog and only the
// exit code, a log file and the event log tell what happened.
#ifndef KORVANE_DEPLOY_SILENT_REGISTRATION_H
#define KORVANE_DEPLOY_SILENT_REGISTRATION_H

struct CommandLine;

// Exit codes a deployment tool understands (its success codes are 0, 1707,
// 3010 and 1641; 1 is a failure to it). The player never passes /Silent
// and keeps the codes it reads.
constexpr int kSilentDone = 0;            // every type the run was to register is registered
constexpr int kSilentNoSettings = 2;      // the settings file is not there, or cannot be read
constexpr int kSilentAccessDenied = 5;    // the registry refused a write for lack of rights (not elevated)
constexpr int kSilentBadCommandLine = 87; // nothing read, nothing written
constexpr int kSilentFailed = 1603;       // any other failure that left a type unregistered

// What pressing Register in both dialogs would do with nothing changed
// there, except which types are ticked: those the last confirmed dialog
// run left ticked (every listed type in a file no dialog run has written)
// and every type registered now. The execution method and verbs as the
// settings file has them, the audio-CD handler and the folder verb as the
// registry has them; no window, no settings written, Windows' default apps
// not opened. Every failure is found out from what the registry answered.
// Returns one of the exit codes above.
int RunSilentRegistration(const CommandLine& line);

#endif
