#include "ui/dpi.h"

namespace {

template <typename Function>
Function User32Function(const char* name)
{
    HMODULE user32 = GetModuleHandleW(L"User32.dll");
    return user32 ? reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(user32, name))) : nullptr;
}

int MetricAtDpi(int index, UINT dpi)
{
    using GetSystemMetricsForDpiFn = int(WINAPI*)(int, UINT);
    static const auto forDpi = User32Function<GetSystemMetricsForDpiFn>("GetSystemMetricsForDpi");
    // Without it the process is aware of the system DPI only, which is then
    // every window's DPI too.
    return forDpi ? forDpi(index, dpi) : GetSystemMetrics(index);
}

} // namespace

UINT WindowDpi(HWND window)
{
    using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
    static const auto forWindow = User32Function<GetDpiForWindowFn>("GetDpiForWindow");
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
