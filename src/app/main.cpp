// Entry point of KorvaneAssoc.exe.
#include <windows.h>

#include "app/startup.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int)
{
    // The tool runs elevated: from here on, libraries load from System32 or
    // by full path only, never from the current or the program's folder.
    SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
    return RunAssociationTool(instance);
}
