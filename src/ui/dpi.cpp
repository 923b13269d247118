#include "ui/dpi.h"

#include "app/system_functions.h"

namespace {

int MetricAtDpi(int index, UINT dpi)
{
    using GetSystemMetricsForDpiFn = int(WINAPI*)(int, UINT);
    static const auto forDpi = SystemFunction<GetSystemMetricsForDpiFn>(L"User32.dll", "GetSystemMetricsForDpi");
    // Without it the process is aware of the system DPI only, which is then
    // every window's DPI too.
    return forDpi ? forDpi(index, dpi) : GetSystemMetrics(index);
}

} // namespace

UINT WindowDpi(HWND window)
{
    using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
    static const auto forWindow = SystemFunction<GetDpiForWindowFn>(L"User32.dll", "GetDpiForWindow");
    if (forWindow && window) {
        const UINT dpi = forWindow(window);
        if (dpi) return dpi;
    }
    HDC screen = GetDC(nullptr);
    const int dpi = screen ? GetDeviceCaps(screen, LOGPIXELSX) : 0;
    if (screen) ReleaseDC(nullptr, screen);
    return dpi > 0 ? static_cast<UINT>(dpi) : USER_DEFAULT_SCREEN_DPI;
}

int SmallIconSize(HWND window) { return MetricAtDpi(SM_CXSMICON, WindowDpi(window)); }

int LargeIconSize(HWND window) { return MetricAtDpi(SM_CXICON, WindowDpi(window)); }

int ScaleToWindow(HWND window, int pixelsAt96)
{
    return MulDiv(pixelsAt96, static_cast<int>(WindowDpi(window)), USER_DEFAULT_SCREEN_DPI);
}
