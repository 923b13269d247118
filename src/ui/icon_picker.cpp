#include "ui/icon_picker.h"

#include <commctrl.h>
#include <commdlg.h>
#include <shlwapi.h>

#include <cwchar>

#include "app/context.h"
#include "files/paths.h"
#include "app/texts.h"
#include "catalogue/icons.h"
#include "resource.h"
#include "ui/dialog_helpers.h"
#include "ui/dpi.h"

namespace {

constexpr int kTitleChars = 512;

// One picker is open at a time. The last browse folder lasts as long as
// the process, so that the next browse starts where the user left off.
wchar_t inputPath[kPathChars];
int inputId = 0;
wchar_t workingPath[kPathChars];
int workingId = 0;
wchar_t lastBrowseFolder[kPathChars];

// The balloon that says why a file from Browse was refused, while it shows.
HWND refusalTip = nullptr;

HWND IconList(HWND dialog) { return GetDlgItem(dialog, IDC_PICKER_LIST); }

void HideRefusal()
{
    if (refusalTip) DestroyWindow(refusalTip);
    refusalTip = nullptr;
}

// A balloon at the Browse button saying why the file was not taken.
void ShowRefusal(HWND dialog)
{
    HideRefusal();
    const std::wstring why = LoadModuleString(IDS_ICON_NOT_LOCAL, kPathChars);
    HWND button = GetDlgItem(dialog, IDC_PICKER_BROWSE);
    refusalTip = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_BALLOON | TTS_NOPREFIX | TTS_ALWAYSTIP,
                                 CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, dialog, nullptr, nullptr, nullptr);
    if (!refusalTip) return;
    TOOLINFOW tool{};
    tool.cbSize = TTTOOLINFOW_V2_SIZE;
    tool.uFlags = TTF_IDISHWND | TTF_TRACK | TTF_ABSOLUTE;
    tool.hwnd = dialog;
    tool.uId = reinterpret_cast<UINT_PTR>(button);
    tool.lpszText = const_cast<wchar_t*>(why.c_str());
    SendMessageW(refusalTip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
    SendMessageW(refusalTip, TTM_SETMAXTIPWIDTH, 0, ScaleToWindow(dialog, 300));
    RECT place{};
    GetWindowRect(button, &place);
    SendMessageW(refusalTip, TTM_TRACKPOSITION, 0, MAKELPARAM((place.left + place.right) / 2, place.bottom));
    SendMessageW(refusalTip, TTM_TRACKACTIVATE, TRUE, reinterpret_cast<LPARAM>(&tool));
}

void DestroyListImages(HWND list)
{
    HIMAGELIST images = ListView_GetImageList(list, LVSIL_NORMAL);
    if (images) ImageList_Destroy(images);
}

void InsertIconItem(HWND list, int index, int32_t iconId)
{
    LVITEMW item{};
    item.mask = LVIF_IMAGE | LVIF_PARAM;
    item.iItem = index;
    item.iImage = index;
    item.lParam = static_cast<LPARAM>(iconId);
    ListView_InsertItem(list, &item);
}

void FillFromIcoFile(HWND list, const wchar_t* path, int size)
{
    UniqueIcon icon(LoadIcoFile(path, size));
    if (!icon) return;
    HIMAGELIST images = ImageList_Create(size, size, ILC_COLOR32 | ILC_MASK, 1, 0);
    if (!images) return;
    ImageList_ReplaceIcon(images, -1, icon.get());
    ListView_SetImageList(list, images, LVSIL_NORMAL);
    InsertIconItem(list, 0, 0);
}

void SelectItem(HWND list, int index)
{
    ListView_SetItemState(list, index, LVIS_FOCUSED | LVIS_SELECTED, LVIS_FOCUSED | LVIS_SELECTED);
    ListView_RedrawItems(list, index, index);
    ListView_EnsureVisible(list, index, FALSE);
}

int FindItemById(HWND list, int32_t iconId)
{
    LVFINDINFOW find{};
    find.flags = LVFI_PARAM;
    find.lParam = static_cast<LPARAM>(iconId);
    return ListView_FindItem(list, -1, &find);
}

void SelectById(HWND list, int32_t iconId)
{
    const int found = FindItemById(list, iconId);
    SelectItem(list, found >= 0 ? found : 0);
}

// Room around each icon: 8 pixels at 100 %, more at higher DPIs.
void SetIconSpacing(HWND list)
{
    const int cell = LargeIconSize(list) + ScaleToWindow(list, 8);
    ListView_SetIconSpacing(list, cell, cell);
}

void FocusList(HWND dialog)
{
    SendMessageW(IconList(dialog), WM_SETFOCUS, reinterpret_cast<WPARAM>(GetFocus()), 0);
}

void ShowWorkingFile(HWND dialog)
{
    SetDlgItemTextW(dialog, IDC_PICKER_PATH, workingPath);
    FillIconListView(IconList(dialog), workingPath);
}

void OnInitDialog(HWND dialog)
{
    wmemcpy(workingPath, inputPath, kPathChars);
    workingId = inputId;
    HWND list = IconList(dialog);
    SetIconSpacing(list);
    ShowWorkingFile(dialog);
    if (workingId < 0) {
        SelectById(list, workingId);
    } else {
        SelectItem(list, workingId < ListView_GetItemCount(list) ? workingId : 0);
    }
    FocusList(dialog);
    ShowWindow(dialog, SW_SHOW);
    SetFocus(GetDlgItem(dialog, IDOK));
}

void OnDpiChanged(HWND dialog)
{
    HWND list = IconList(dialog);
    const int selected = ListView_GetNextItem(list, -1, LVNI_SELECTED);
    SetIconSpacing(list);
    FillIconListView(list, workingPath);
    if (selected >= 0) SelectItem(list, selected);
}

void OnBrowse(HWND dialog)
{
    wchar_t savedDirectory[kPathChars];
    GetCurrentDirectoryW(kPathChars, savedDirectory);

    const std::wstring filter = LoadModuleStringList(IDS_ICON_FILTER);
    const std::wstring title = LoadModuleString(IDS_ICON_BROWSE_TITLE, kTitleChars);
    wchar_t file[kPathChars] = L"";
    OPENFILENAMEW open{};
    open.lStructSize = sizeof(open);
    open.hwndOwner = dialog;
    open.lpstrFilter = filter.empty() ? nullptr : filter.c_str();
    open.nFilterIndex = 1;
    open.lpstrFile = file;
    open.nMaxFile = kPathChars;
    open.lpstrInitialDir = lastBrowseFolder[0] ? lastBrowseFolder : nullptr;
    open.lpstrTitle = title.c_str();
    open.Flags = OFN_EXPLORER | OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY;
    HideRefusal();
    const bool chosen = GetOpenFileNameW(&open) != FALSE;
    if (chosen && !OpensAsLocalFile(file)) {
        // The elevated tool opens no icon from the network or a removable
        // drive, nor through a link to one: it would hand the
        // administrator's credentials to a server, and every user's
        // Explorer would fetch the file.
        OutputDebugStringW(L"Korvane: the icon picker refused a file that is not an ordinary local file\n");
        ShowRefusal(dialog);
    } else if (chosen) {
        wcscpy_s(workingPath, kPathChars, file);
        workingId = -1;
        ShowWorkingFile(dialog);
        SelectById(IconList(dialog), workingId);
        FocusList(dialog);
        // The next browse starts in the folder of this file. It is taken
        // from the file's own path: not every open-file dialog moves the
        // current directory there (a typed full path does not).
        wcscpy_s(lastBrowseFolder, kPathChars, file);
        PathRemoveFileSpecW(lastBrowseFolder);
    }
    SetCurrentDirectoryW(savedDirectory);
}

int SelectedPosition(HWND list)
{
    const int count = ListView_GetItemCount(list);
    for (int i = 0; i < count; ++i)
        if (ListView_GetItemState(list, i, LVIS_SELECTED) & LVIS_SELECTED) return i;
    return 0;
}

void OnConfirm(HWND dialog)
{
    HWND list = IconList(dialog);
    workingId = ResolveIconIndex(workingPath, SelectedPosition(list));
    const bool changed = _wcsicmp(inputPath, workingPath) != 0 || inputId != workingId;
    wmemcpy(inputPath, workingPath, kPathChars);
    inputId = workingId;
    DestroyListImages(list);
    EndDialog(dialog, changed ? 1 : 0);
}

void OnCancel(HWND dialog)
{
    DestroyListImages(IconList(dialog));
    EndDialog(dialog, -1);
}

} // namespace

int FillIconListView(HWND list, const wchar_t* path)
{
    if (HIMAGELIST old = ListView_GetImageList(list, LVSIL_NORMAL)) {
        ListView_SetImageList(list, nullptr, LVSIL_NORMAL);
        ImageList_Destroy(old);
    }
    ListView_DeleteAllItems(list);
    // Large icons of the system's size at the list's DPI, each taken from
    // its group at the size nearest that.
    const int size = LargeIconSize(list);
    if (IsIcoFile(path)) {
        FillFromIcoFile(list, path, size);
        return 0;
    }
    IconGroups icons = EnumerateIconGroups(path, size);
    if (!icons.module) return -1;
    if (icons.groups.empty()) return 0;
    HIMAGELIST images = ImageList_Create(size, size, ILC_COLOR32 | ILC_MASK, static_cast<int>(icons.groups.size()), 0);
    if (!images) return 0;  // the collected icons go with icons.groups
    for (const IconGroupEntry& group : icons.groups) ImageList_ReplaceIcon(images, -1, group.icon.get());
    ListView_SetImageList(list, images, LVSIL_NORMAL);
    for (size_t i = 0; i < icons.groups.size(); ++i) InsertIconItem(list, static_cast<int>(i), icons.groups[i].iconId);
    return 0;
}

bool OpenIconPicker(HWND owner, std::wstring& iconPath, int& iconId)
{
    wcsncpy_s(inputPath, kPathChars, iconPath.c_str(), _TRUNCATE);
    inputId = iconId;
    if (DialogBoxParamW(GetResourceModule(), MAKEINTRESOURCEW(IDD_ICON_PICKER), owner, IconPickerDialogProc, 0) != 1)
        return false;
    iconPath = inputPath;
    iconId = inputId;
    return true;
}

INT_PTR CALLBACK IconPickerDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    return Guarded([&]() -> INT_PTR {
        switch (message) {
        case WM_INITDIALOG:
            OnInitDialog(dialog);
            return TRUE;
        case WM_COMMAND:
            switch (LOWORD(wParam)) {
            case IDC_PICKER_BROWSE: OnBrowse(dialog); break;
            case IDOK: OnConfirm(dialog); break;
            case IDCANCEL: OnCancel(dialog); break;
            default: break;
            }
            return TRUE;
        case WM_DPICHANGED:
            // After the system has laid the dialog out at the new DPI.
            PostMessageW(dialog, kRescaleMessage, 0, 0);
            return FALSE;
        case kRescaleMessage:
            OnDpiChanged(dialog);
            return TRUE;
        case WM_DESTROY:
            HideRefusal();
            return TRUE;
        default:
            return FALSE;
        }
    });
}
