// The second dialog of a registration run: every file type with its icon
// and a check box; add, edit and remove.
#ifndef KORVANE_UI_FILE_TYPES_DIALOG_H
#define KORVANE_UI_FILE_TYPES_DIALOG_H

#include <windows.h>

// Ends with 1 (OK) or 2 (Back), g_fileTypes then holding the list as shown,
// or 0 (cancel confirmed), g_fileTypes untouched.
INT_PTR CALLBACK FileTypesDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

#endif
