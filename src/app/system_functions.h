// Functions of the system that older Windows versions lack, looked up at
// run time: an import the loader cannot find would stop the program before
// it could answer the player with an exit code.
#ifndef KORVANE_APP_SYSTEM_FUNCTIONS_H
#define KORVANE_APP_SYSTEM_FUNCTIONS_H

#include <windows.h>

// The function, or null where the library is not loaded or lacks it.
template <typename Function>
Function SystemFunction(const wchar_t* library, const char* name)
{
    HMODULE module = GetModuleHandleW(library);
    return module ? reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name))) : nullptr;
}

// True when the system says it is at least Windows major.minor, as it
// reports itself to this program: its manifest names every version up to
// Windows 10, so Windows 8.1 and later tell the truth.
inline bool WindowsIsAtLeast(DWORD major, DWORD minor)
{
    OSVERSIONINFOEXW version{};
    version.dwOSVersionInfoSize = sizeof(version);
    version.dwMajorVersion = major;
    version.dwMinorVersion = minor;
    const DWORDLONG mask =
        VerSetConditionMask(VerSetConditionMask(0, VER_MAJORVERSION, VER_GREATER_EQUAL), VER_MINORVERSION, VER_GREATER_EQUAL);
    return VerifyVersionInfoW(&version, VER_MAJORVERSION | VER_MINORVERSION, mask) != FALSE;
}

#endif
