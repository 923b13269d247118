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

std::wstring SystemFolder()
{
    wchar_t system[kPathChars] = L"";
    const UINT length = GetSystemDirectoryW(system, kPathChars);
    return length && length < static_cast<UINT>(kPathChars) ? std::wstring(system, length) : std::wstring();
}

} // namespace

// The shell of the desktop runs as the user who is signed in, unelevated,
// whoever this elevated process runs as: the Shell.Application object of
// its desktop window does the launch, so the page and the choice made on it
// are that user's.
bool LaunchFromDesktop(const std::wstring& file, const std::wstring& parameters, const std::wstring& folder)
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
    UniqueBstr folderText(SysAllocString(folder.c_str()));
    UniqueBstr open(SysAllocString(L"open"));
    VARIANT show;
    VariantInit(&show);
    show.vt = VT_I4;
    show.lVal = SW_SHOWNORMAL;
    const VARIANT directory = folder.empty() ? none : Text(folderText.get());
    return fileText && SUCCEEDED(shell.get()->ShellExecute(fileText.get(), Text(parameterText.get()), directory,
                                                           Text(open.get()), show));
}

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

void OpenDefaultAppsPage(DesktopLaunchFn launch)
{
    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    const std::wstring name = PercentEscaped(kApplicationName);
    // Never from this elevated process itself: a link or a program started
    // here would be resolved through this user's own registry (which any
    // of their unelevated programs may change) and would run elevated, and
    // the choice made on the page would land in the elevating user's
    // profile. Without a desktop shell nothing opens.
    const std::wstring system = SystemFolder();
    const bool opened = WindowsIsAtLeast(10, 0) ? launch(kSettingsPage + name, L"", L"")
                                                : !system.empty() && launch(system + L"\\control.exe", kDefaultProgramsPage + name, system);
    OutputDebugStringW(opened ? L"Korvane: Windows' default apps opened through the desktop's shell\n"
                              : L"Korvane: no desktop shell answered; Windows' default apps were not opened\n");
    if (SUCCEEDED(com)) CoUninitialize();
}
