// Small helpers shared by the dialogs.
#ifndef KORVANE_UI_DIALOG_HELPERS_H
#define KORVANE_UI_DIALOG_HELPERS_H

#include <windows.h>

#include <string>

// The cancel question (strings 10422 and 10420); true only for Yes.
bool ConfirmCancel(HWND dialog);

void SetCheck(HWND dialog, int id, bool checked);
// Only BST_CHECKED counts; an indeterminate box is off.
bool IsChecked(HWND dialog, int id);

// The text of a control, read into a buffer of capacity characters.
std::wstring GetItemText(HWND dialog, int id, int capacity);

// Runs a dialog procedure body and keeps any C++ exception from unwinding
// through user32; a failure is logged and the message counts as unhandled.
template <typename Body>
INT_PTR Guarded(Body&& body)
{
    try {
        return body();
    } catch (...) {
        OutputDebugStringW(L"Korvane: a dialog message failed and was ignored\n");
        return FALSE;
    }
}

#endif
