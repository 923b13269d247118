// Choosing the icon of a file type among the icons of a module or an
// ".ico" file, with browsing for another file.
#ifndef KORVANE_UI_ICON_PICKER_H
#define KORVANE_UI_ICON_PICKER_H

#include <windows.h>

#include <string>

// True when the user confirmed an icon other than the one handed in; path
// and id then hold the choice. On false both are left untouched.
bool OpenIconPicker(HWND owner, std::wstring& iconPath, int& iconId);

INT_PTR CALLBACK IconPickerDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// Empties the list view and fills it with the file's icons (item parameter
// = icon id). 0, or -1 when the file is a module that does not load.
int FillIconListView(HWND list, const wchar_t* path);

#endif
