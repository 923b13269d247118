// Windows' own page where the user makes Korvane Player the default
// program for its file types: only the user may make that choice (the hash
// on UserChoice is there to stop any program from writing it), so the tool
// takes the user there.
#ifndef KORVANE_ASSOCIATE_DEFAULT_APPS_H
#define KORVANE_ASSOCIATE_DEFAULT_APPS_H

#include <string>

// Text as a URI takes it: UTF-8, every byte but the unreserved ones
// (letters, digits, "-._~") written as %XX.
std::wstring PercentEscaped(const std::wstring& text);

// Asks the desktop's shell, which runs unelevated as the signed-in user, to
// open file with the parameters, in folder (empty: the shell's choice).
// False where no desktop shell answers.
bool LaunchFromDesktop(const std::wstring& file, const std::wstring& parameters, const std::wstring& folder);
using DesktopLaunchFn = bool (*)(const std::wstring& file, const std::wstring& parameters, const std::wstring& folder);

// Opens the page for the player, through the desktop's shell only: the
// Settings page of default apps on Windows 10 and 11; on Vista to 8.1 the
// "Set program associations" page of Default Programs, by control.exe of
// the system folder, started there. Where no desktop shell answers (none
// running, another session), nothing opens. A launch that fails changes
// nothing and is told to the debugger only. A test may hand in another
// launch.
void OpenDefaultAppsPage(DesktopLaunchFn launch = LaunchFromDesktop);

#endif
