// The first dialog of a registration run: execution method, extra verbs,
// audio-CD and folder handlers.
#ifndef KORVANE_UI_MAIN_DIALOG_H
#define KORVANE_UI_MAIN_DIALOG_H

#include <windows.h>

// Ends with 1 (OK: go on), 2 (control 1348: save and leave) or 0 (cancel
// confirmed). Confirming copies the choices into the context and saves them.
INT_PTR CALLBACK MainDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

#endif
