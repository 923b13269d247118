// Sizes in pixels for the DPI of the monitor a window is on. The functions
// that know a window's own DPI exist from Windows 10 (1607) on and are
// looked up at run time; before them every window has the system's DPI.
#ifndef KORVANE_UI_DPI_H
#define KORVANE_UI_DPI_H

#include <windows.h>

// Posted by a dialog to itself on WM_DPICHANGED, so that its pictures are
// redone after the system has laid the dialog out at the new DPI.
constexpr UINT kRescaleMessage = WM_APP + 1;

UINT WindowDpi(HWND window);

// The system's small (SM_CXSMICON) and large (SM_CXICON) icon sizes at
// the window's DPI: 16 and 32 pixels at 100 %, 24 and 48 at 150 %.
int SmallIconSize(HWND window);
int LargeIconSize(HWND window);

// A length given for 96 DPI, at the window's DPI.
int ScaleToWindow(HWND window, int pixelsAt96);

#endif
