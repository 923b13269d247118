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

// Opens the page for the player: the Settings page of default apps on
// Windows 10 and 11, the "Set program associations" page of Default
// Programs on Vista to 8.1. It opens in the desktop user's own, unelevated
// session through the desktop's shell where that can be had. A launch that
// fails changes nothing and is told to the debugger only.
void OpenDefaultAppsPage();

#endif
