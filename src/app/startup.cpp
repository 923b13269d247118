#include "app/startup.h"

#include <shlobj.h>
#include <shlwapi.h>

#include "app/context.h"
#include "app/texts.h"
#include "app/system_functions.h"
#include "associate/applier.h"
#include "associate/registration.h"
#include "catalogue/discovery.h"
#include "command_line/command_line.h"
#include "deploy/silent_registration.h"
#include "host/zeltrane.h"
#include "settings/settings_file.h"

bool RestrictDllSearch()
{
    using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);
    const auto restrict = SystemFunction<SetDefaultDllDirectoriesFn>(L"Kernel32.dll", "SetDefaultDllDirectories");
    if (restrict && restrict(LOAD_LIBRARY_SEARCH_SYSTEM32)) return true;
    SetDllDirectoryW(L"");
    return false;
}

DWORD DetectRegistryView()
{
    HMODULE kernel = GetModuleHandleW(L"Kernel32.dll");
    return kernel && GetProcAddress(kernel, "IsWow64Process") ? KEY_WOW64_64KEY : 0;
}

void InitializePaths(HINSTANCE instance)
{
    associationContext.clientExePath = clientExePathBuffer;
    associationContext.resourceModule = HostResourceModule();
    // Without a resource module the name stays empty rather than naming the
    // tool itself: GetModuleFileNameW(NULL) would give the program's file.
    if (associationContext.resourceModule)
        GetModuleFileNameW(associationContext.resourceModule, resourceModulePath, kPathChars);
    GetModuleFileNameW(instance, clientExePathBuffer, kPathChars);
    PathRemoveFileSpecW(clientExePathBuffer);
    PathAppendW(clientExePathBuffer, L"Tovrix.exe");
}

int Dispatch(const CommandLine& line)
{
    if (line.silent) return RunSilentRegistration(line);
    if (line.Bad()) return -1;
    if (line.unregisterRun) return RunUnregistration();
    if (!line.registerRun || line.settingsPath.empty()) return -1;
    return RunRegistration(ReadSettingsFile(line.settingsPath));
}

int RunUnregistration()
{
    FileTypeList current;
    FileTypeList nothing;
    DiscoverAssociatedTypes(current);
    ApplyAssociations(current, nothing, &associationContext);
    // The applier has notified the shell already; the run says it once more
    // on its own account, as the player has always seen it.
    SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_IDLIST, nullptr, nullptr);
    return 1;
}

int RunAssociationTool(HINSTANCE instance)
{
    const CommandLine line = ReadCommandLine(GetCommandLineW());
    wcscpy_s(settingsPath, kPathChars, line.settingsPath.c_str());
    registryViewFlag = DetectRegistryView();
    InitializePaths(instance);
    LoadBuiltinDescriptions();
    return Dispatch(line);
}
