// The three operations of the player's core library Zeltrane.dll that the
// association tool uses. The DLL exports them by ordinal only (46, 80, 81);
// the import library made from zeltrane.def binds them by those ordinals.
#ifndef KORVANE_ZELTRANE_H
#define KORVANE_ZELTRANE_H

#include <windows.h>

extern "C" {

// Copies the next argument of a command line into token (terminated, cut to
// capacity - 1 characters) and returns the position to continue from, or
// NULL when no further argument is there (token is then left alone).
// Handed the process's own command line from its start, the first argument
// is read by the program-name rules (quoted or up to the first blank).
__declspec(dllimport) const wchar_t* HostNextToken(const wchar_t* position, wchar_t* token, int capacity);

// The player's resource module, loaded once from the folder of Zeltrane.dll;
// NULL when it cannot be loaded.
__declspec(dllimport) HMODULE HostResourceModule(void);

// Loads string id of module into buffer, always terminated within capacity;
// an id without text leaves an empty string.
__declspec(dllimport) void HostLoadString(HMODULE module, UINT id, wchar_t* buffer, int capacity);

}

#endif
