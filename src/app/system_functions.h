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

#endif
