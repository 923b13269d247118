// Edits one file type in place: extension, description and icon.
#ifndef KORVANE_UI_FILE_TYPE_EDIT_DIALOG_H
#define KORVANE_UI_FILE_TYPE_EDIT_DIALOG_H

#include <windows.h>

// The creation parameter is the address of the FileTypeEntry. Ends with 1
// when confirmed (the entry updated, its flags untouched) or -1 (unchanged).
INT_PTR CALLBACK FileTypeEditDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

#endif
