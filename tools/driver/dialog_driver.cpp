#include "dialog_driver.h"

#include <commctrl.h>

#include <vector>

namespace {

struct Search {
    DWORD processId;
    int mark;
    HWND found;
};

BOOL CALLBACK FindTopDialog(HWND window, LPARAM lParam)
{
    auto* search = reinterpret_cast<Search*>(lParam);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner != search->processId || !IsWindowVisible(window)) return TRUE;
    wchar_t className[16];
    if (!GetClassNameW(window, className, 16) || wcscmp(className, L"#32770") != 0) return TRUE;
    if (!GetDlgItem(window, search->mark)) return TRUE;
    search->found = window;  // windows come in Z order: the first is the newest
    return FALSE;
}

} // namespace

HWND WaitForDialog(DWORD processId, int mark, DWORD timeoutMs)
{
    const DWORD start = GetTickCount();
    do {
        Search search{processId, mark, nullptr};
        EnumWindows(FindTopDialog, reinterpret_cast<LPARAM>(&search));
        if (search.found) {
            Sleep(50);  // let WM_INITDIALOG and the first paint finish
            return search.found;
        }
        Sleep(20);
    } while (GetTickCount() - start < timeoutMs);
    return nullptr;
}

bool WaitGone(HWND window, DWORD timeoutMs)
{
    const DWORD start = GetTickCount();
    while (IsWindow(window) && IsWindowVisible(window)) {
        if (GetTickCount() - start > timeoutMs) return false;
        Sleep(20);
    }
    return true;
}

void Press(HWND dialog, int id)
{
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

void SetBox(HWND dialog, int id, bool checked)
{
    SendDlgItemMessageW(dialog, id, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

bool BoxChecked(HWND dialog, int id)
{
    return SendDlgItemMessageW(dialog, id, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void SetText(HWND dialog, int id, const std::wstring& text)
{
    // WM_SETTEXT carries a string, which the system copies across processes.
    SendDlgItemMessageW(dialog, id, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

bool Enabled(HWND dialog, int id) { return IsWindowEnabled(GetDlgItem(dialog, id)) != FALSE; }

HWND FocusOf(HWND window)
{
    GUITHREADINFO info{};
    info.cbSize = sizeof(info);
    return GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info) ? info.hwndFocus : nullptr;
}

void Key(HWND control, UINT virtualKey)
{
    const UINT scan = MapVirtualKeyW(virtualKey, MAPVK_VK_TO_VSC);
    SendMessageW(control, WM_KEYDOWN, virtualKey, 1 | (scan << 16));
    SendMessageW(control, WM_KEYUP, virtualKey, 1 | (scan << 16) | (3u << 30));
}

void Type(HWND control, const std::wstring& text)
{
    for (wchar_t c : text) SendMessageW(control, WM_CHAR, c, 1);
}

int ItemCount(HWND list) { return static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0)); }

int SelectedItem(HWND list) { return static_cast<int>(SendMessageW(list, LVM_GETNEXTITEM, -1, LVNI_SELECTED)); }

bool ItemChecked(HWND list, int index)
{
    return (SendMessageW(list, LVM_GETITEMSTATE, index, LVIS_STATEIMAGEMASK) & LVIS_STATEIMAGEMASK) ==
           INDEXTOSTATEIMAGEMASK(2);
}

int SelectByTyping(HWND dialog, HWND list, const std::wstring& prefix)
{
    SendMessageW(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(list), TRUE);
    Key(list, VK_HOME);
    Sleep(1100);  // a pause ends any earlier type-ahead search
    Type(list, prefix);
    return SelectedItem(list);
}

bool CaptureWindow(HWND window, const std::wstring& bmpPath)
{
    RECT r{};
    if (!GetWindowRect(window, &r)) return false;
    const int width = r.right - r.left, height = r.bottom - r.top;
    if (width <= 0 || height <= 0) return false;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, screen, r.left, r.top, SRCCOPY);
    SelectObject(memory, old);
    const DWORD stride = ((width * 3 + 3) & ~3u);
    const DWORD imageSize = stride * height;
    BITMAPFILEHEADER file{};
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof(file) + sizeof(info.bmiHeader);
    file.bfSize = file.bfOffBits + imageSize;
    info.bmiHeader.biSizeImage = imageSize;
    bool ok = false;
    HANDLE out = CreateFileW(bmpPath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (out != INVALID_HANDLE_VALUE) {
        DWORD written = 0;
        ok = WriteFile(out, &file, sizeof(file), &written, nullptr) &&
             WriteFile(out, &info.bmiHeader, sizeof(info.bmiHeader), &written, nullptr) &&
             WriteFile(out, bits, imageSize, &written, nullptr);
        CloseHandle(out);
    }
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return ok;
}

namespace {

void Shoot(const RegistrationScript& script, HWND window, const wchar_t* name)
{
    if (script.screenshots.empty()) return;
    Sleep(300);  // let it paint
    CaptureWindow(window, script.screenshots + L"\\" + name + L".bmp");
}

bool TourEditDialogAndPicker(const RegistrationScript& script, DWORD processId, HWND types)
{
    Press(types, 1347);  // Edit... on the selected type
    HWND edit = WaitForDialog(processId, kEditDialogMark);
    if (!edit) return false;
    Shoot(script, edit, L"3-file-type-edit");
    Press(edit, 1348);  // Change Icon...
    HWND picker = WaitForDialog(processId, kPickerDialogMark);
    if (!picker) return false;
    Shoot(script, picker, L"4-icon-picker");
    Press(picker, IDCANCEL);
    WaitGone(picker);
    Press(edit, IDCANCEL);
    return WaitGone(edit);
}

} // namespace

bool DriveRegistration(DWORD processId, const RegistrationScript& script)
{
    HWND main = WaitForDialog(processId, kMainDialogMark);
    if (!main) return false;
    SetBox(main, 1350, script.audioCd);
    SetBox(main, 1329, script.folder);
    Shoot(script, main, L"1-main");
    Press(main, IDOK);

    HWND types = WaitForDialog(processId, kFileTypesDialogMark);
    if (!types) return false;
    HWND list = GetDlgItem(types, kFileTypesDialogMark);
    for (bool ticked : {true, false}) {
        for (const std::wstring& prefix : ticked ? script.tick : script.untick) {
            const int index = SelectByTyping(types, list, prefix);
            if (index >= 0 && ItemChecked(list, index) != ticked) Key(list, VK_SPACE);
        }
    }
    if (!script.tick.empty()) SelectByTyping(types, list, script.tick.front());
    if (!script.description.empty()) {
        Press(types, 1347);  // Edit... on the selected type
        HWND edit = WaitForDialog(processId, kEditDialogMark);
        if (!edit) return false;
        SetText(edit, 1331, script.description);
        Press(edit, IDOK);
        if (!WaitGone(edit)) return false;
    }
    Shoot(script, types, L"2-file-types");
    if (!script.screenshots.empty() && !TourEditDialogAndPicker(script, processId, types)) return false;
    Press(types, IDOK);
    return WaitGone(types);
}
