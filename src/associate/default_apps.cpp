#include "associate/default_apps.h"

#include <windows.h>
#include <exdisp.h>
#include <shellapi.h>
#include <shldisp.h>
#include <shlguid.h>
#include <shobjidl.h>

#include "app/context.h"
#include "app/system_functions.h"
#include "registry/handles.h"
#include "registry/player_keys.h"

namespace {

const wchar_t kSettingsPage[] = L"ms-settings:defaultapps?registeredAppMachine=";
const wchar_t kDefaultProgramsPage[] = L"/name Microsoft.DefaultPrograms /page pageDefaultProgram\\pageAdvancedSettings?pszAppName=";

VARIANT Text(BSTR text)
{
    VARIANT value;
    VariantInit(&value);
    value.vt = VT_BSTR;
    value.bstrVal = text;  // still owned by the caller
    return value;
}

// The shell of the desktop runs as the user who is signed in, unelevated,
// whoever this elevated process runs as: the Shell.Application object of
// its desktop window does the launch.
bool LaunchFromDesktop(const std::wstring& file, const std::wstring& parameters)
{
    ComPtr<IShellWindows> windows;
    if (FAILED(CoCreateInstance(CLSID_ShellWindows, nullptr, CLSCTX_LOCAL_SERVER, IID_IShellWindows,
                                reinterpret_cast<void**>(windows.put()))))
        return false;
    VARIANT none;
    VariantInit(&none);
    long window = 0;
    ComPtr<IDispatch> desktop;
    if (windows.get()->FindWindowSW(&none, &none, SWC_DESKTOP, &window, SWFO_NEEDDISPATCH, desktop.put()) != S_OK ||
        !desktop)
        return false;
    ComPtr<IServiceProvider> services;
    ComPtr<IShellBrowser> browser;
    ComPtr<IShellView> view;
    ComPtr<IDispatch> background;
    ComPtr<IShellFolderViewDual> folderView;
    ComPtr<IDispatch> application;
    ComPtr<IShellDispatch2> shell;
    if (FAILED(desktop.get()->QueryInterface(IID_IServiceProvider, reinterpret_cast<void**>(services.put()))) ||
        FAILED(services.get()->QueryService(SID_STopLevelBrowser, IID_IShellBrowser, reinterpret_cast<void**>(browser.put()))) ||
        FAILED(browser.get()->QueryActiveShellView(view.put())) ||
        FAILED(view.get()->GetItemObject(SVGIO_BACKGROUND, IID_IDispatch, reinterpret_cast<void**>(background.put()))) ||
        FAILED(background.get()->QueryInterface(IID_IShellFolderViewDual, reinterpret_cast<void**>(folderView.put()))) ||
        FAILED(folderView.get()->get_Application(application.put())) ||
        FAILED(application.get()->QueryInterface(IID_IShellDispatch2, reinterpret_cast<void**>(shell.put()))))
        return false;
    UniqueBstr fileText(SysAllocString(file.c_str()));
    UniqueBstr parameterText(SysAllocString(parameters.c_str()));
    UniqueBstr open(SysAllocString(L"open"));
    VARIANT show;
    VariantInit(&show);
    show.vt = VT_I4;
    show.lVal = SW_SHOWNORMAL;
    return fileText && SUCCEEDED(shell.get()->ShellExecute(fileText.get(), Text(parameterText.get()), none,
                                                           Text(open.get()), show));
}

// Where no desktop shell can be had (none running, another session): from
// this process, elevated.
bool LaunchFromHere(const std::wstring& file, const std::wstring& parameters)
{
    SHELLEXECUTEINFOW execute{};
    execute.cbSize = sizeof(execute);
    execute.fMask = SEE_MASK_FLAG_NO_UI;
    execute.lpFile = file.c_str();
    execute.lpParameters = parameters.empty() ? nullptr : parameters.c_str();
    execute.nShow = SW_SHOWNORMAL;
    return ShellExecuteExW(&execute) != FALSE;
}

bool Launch(const std::wstring& file, const std::wstring& parameters = std::wstring())
{
    if (LaunchFromDesktop(file, parameters)) {
        OutputDebugStringW(L"Korvane: Windows' default apps opened through the desktop's shell\n");
        return true;
    }
    if (LaunchFromHere(file, parameters)) {
        OutputDebugStringW(L"Korvane: Windows' default apps opened from this process\n");
        return true;
    }
    return false;
}

// Windows Vista to 8.1 show their own dialog of the player's types.
bool OpenAssociationDialog(const std::wstring& applicationName)
{
    ComPtr<IApplicationAssociationRegistrationUI> dialog;
    if (FAILED(CoCreateInstance(CLSID_ApplicationAssociationRegistrationUI, nullptr, CLSCTX_INPROC_SERVER,
                                IID_IApplicationAssociationRegistrationUI, reinterpret_cast<void**>(dialog.put()))))
        return false;
    return SUCCEEDED(dialog.get()->LaunchAdvancedAssociationUI(applicationName.c_str()));
}

std::wstring ControlPanel()
{
    wchar_t system[kPathChars] = L"";
    const UINT length = GetSystemDirectoryW(system, kPathChars);
    return length && length < static_cast<UINT>(kPathChars) ? std::wstring(system) + L"\\control.exe" : L"control.exe";
}

} // namespace

std::wstring PercentEscaped(const std::wstring& text)
{
    std::wstring escaped;
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    if (size <= 0) return escaped;
    std::string bytes(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &bytes[0], size, nullptr, nullptr);
    for (unsigned char b : bytes) {
        const bool unreserved = (b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z') || (b >= '0' && b <= '9') ||
                                b == '-' || b == '.' || b == '_' || b == '~';
        if (unreserved) {
            escaped += static_cast<wchar_t>(b);
        } else {
            wchar_t hex[4];
            swprintf(hex, 4, L"%%%02X", b);
            escaped += hex;
        }
    }
    return escaped;
}

void OpenDefaultAppsPage()
{
    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    const std::wstring name = PercentEscaped(kApplicationName);
    const bool opened = WindowsIsAtLeast(10, 0) ? Launch(kSettingsPage + name)
                                                : OpenAssociationDialog(kApplicationName) ||
                                                      Launch(ControlPanel(), kDefaultProgramsPage + name);
    if (!opened) OutputDebugStringW(L"Korvane: Windows' default apps could not be opened\n");
    if (SUCCEEDED(com)) CoUninitialize();
}
