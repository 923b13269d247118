#include "app/startup.h"

#include <shlobj.h>
#include <shlwapi.h>

#include "app/context.h"
#include "app/texts.h"
#include "app/system_functions.h"
#include "associate/applier.h"
#include "associate/registration.h"
#include "catalogue/discovery.h"
#include "host/zeltrane.h"
#include "settings/preferences.h"
#include "settings/settings_file.h"

bool RestrictDllSearch()
{
    using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);
    const auto restrict = SystemFunction<SetDefaultDllDirectoriesFn>(L"Kernel32.dll", "SetDefaultDllDirectories");
    if (restrict && restrict(LOAD_LIBRARY_SEARCH_SYSTEM32)) return true;
    SetDllDirectoryW(L"");
    return false;
}

CommandLineSwitches ParseCommandLine(const wchar_t* commandLine)
{
    CommandLineSwitches switches;
    wchar_t token[kPathChars];
    const wchar_t* position = HostNextToken(commandLine, token, kPathChars); // the program's own name
    if (position) position = HostNextToken(position, token, kPathChars);
    while (position) {
        if (_wcsicmp(token, L"/Register") == 0) {
            switches.registerRun = true;
        } else if (_wcsicmp(token, L"/Unregister") == 0) {
            switches.unregisterRun = true;
        } else if (_wcsicmp(token, L"/TopMost") == 0) {
            // Accepted for the player's sake; the dialogs are modal anyway.
        } else if (_wcsicmp(token, L"/Silent") == 0) {
            switches.silent = true;
        } else {
            // A path of the player's never starts with "/"; the player's own
            // command lines keep taking any other word for the path, as they
            // always have.
            if (token[0] == L'/') switches.unknownSwitch = true;
            // Made full once, before any use: the profile functions would
            // take a bare name for one in the Windows folder, every other
            // file call for one in the current folder. A token that filled
            // its buffer was cut, and names another file.
            const std::wstring full = FullSettingsPath(token);
            switches.pathTooLong = wcslen(token) >= static_cast<size_t>(kPathChars - 1) || (token[0] && full.empty());
            wcscpy_s(settingsPath, kPathChars, full.c_str());
        }
        position = HostNextToken(position, token, kPathChars);
    }
    return switches;
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

int Dispatch(const CommandLineSwitches& switches)
{
    if (switches.pathTooLong || (switches.silent && switches.unknownSwitch)) return -1;
    if (switches.unregisterRun) return RunUnregistration();
    if (!switches.registerRun) return -1;
    if (!switches.silent) return RunRegistration();
    return settingsPath[0] ? RunSilentRegistration() : -1;  // a deployment names the settings file it deploys
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
    const CommandLineSwitches switches = ParseCommandLine(GetCommandLineW());
    registryViewFlag = DetectRegistryView();
    InitializePaths(instance);
    ReadSettings();
    LoadBuiltinDescriptions();
    return Dispatch(switches);
}
