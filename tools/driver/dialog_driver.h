// Drives the tool's dialogs as a user would, from another thread of the
// same process or from another process: finds a dialog by a control that
// only it has, clicks buttons, sets boxes and sends keys. Every message used
// carries no pointer, so it works across processes too.
#ifndef KORVANE_TESTS_DIALOG_DRIVER_H
#define KORVANE_TESTS_DIALOG_DRIVER_H

#include <windows.h>

#include <string>
#include <vector>

// Control ids that tell the dialogs apart.
constexpr int kMainDialogMark = 1350;       // audio-CD box
constexpr int kFileTypesDialogMark = 1343;  // type list
constexpr int kEditDialogMark = 1330;       // extension field
constexpr int kPickerDialogMark = 1001;     // path of the picker
constexpr int kMessageBoxMark = IDYES;
constexpr int kOpenFileDialogMark = 0x47c;  // file name box of the open-file dialog

// The newest visible dialog of the process that has control `mark`, or
// null when none shows up within timeoutMs.
HWND WaitForDialog(DWORD processId, int mark, DWORD timeoutMs = 15000);
// True once the window is gone (or hidden) within timeoutMs.
bool WaitGone(HWND window, DWORD timeoutMs = 15000);

// A button click as the dialog sees it: WM_COMMAND with BN_CLICKED.
void Press(HWND dialog, int id);
void SetBox(HWND dialog, int id, bool checked);
bool BoxChecked(HWND dialog, int id);
void SetText(HWND dialog, int id, const std::wstring& text);  // also notifies EN_CHANGE
bool Enabled(HWND dialog, int id);
// The control with the keyboard focus on the window's thread.
HWND FocusOf(HWND window);
// A key pressed and released on a control, and typed characters.
void Key(HWND control, UINT virtualKey);
void Type(HWND control, const std::wstring& text);

// List view state through pointer-free messages.
int ItemCount(HWND list);
int SelectedItem(HWND list);
bool ItemChecked(HWND list, int index);
// Focuses the first item whose text starts with prefix (type-ahead), -1 if
// the selection did not move there.
int SelectByTyping(HWND dialog, HWND list, const std::wstring& prefix);

// Copies what the screen shows of a window into a 24-bit BMP file.
bool CaptureWindow(HWND window, const std::wstring& bmpPath);

// A whole "/Register" run as a user goes through it: in the main dialog
// the audio-CD and folder boxes as given, Next; in the file types dialog the
// types whose extensions start with the given prefixes are ticked (by
// type-ahead and the space bar), and the first of them gets the description
// given (typed into its edit dialog), then Register. With a folder for
// screenshots it also opens the edit dialog and the icon picker of the first
// ticked type and captures every dialog as <folder>\<name>.bmp; both are
// then cancelled. Returns false when a dialog did not appear.
struct RegistrationScript {
    std::vector<std::wstring> tick;
    std::vector<std::wstring> untick;
    bool audioCd = false;
    bool folder = false;
    std::wstring description;  // empty: the descriptions stay as they are
    std::wstring screenshots;
};
bool DriveRegistration(DWORD processId, const RegistrationScript& script);

#endif
