#include "ui/file_type_edit_dialog.h"

#include "app/context.h"
#include "catalogue/file_types.h"
#include "catalogue/icons.h"
#include "registry/file_type_class.h"
#include "resource.h"
#include "ui/dialog_helpers.h"
#include "ui/icon_picker.h"

namespace {

const wchar_t kTargetEntry[] = L"TargetEntry";
constexpr int kExtensionCheckChars = 32;

FileTypeEntry* Target(HWND dialog) { return static_cast<FileTypeEntry*>(GetPropW(dialog, kTargetEntry)); }

void SetOkEnabled(HWND dialog, bool enabled) { EnableWindow(GetDlgItem(dialog, IDOK), enabled); }

// Shows a path and id: the location text and the icon itself. The static
// control does not own its icons, so the one it showed before is destroyed.
void ShowIcon(HWND dialog, const std::wstring& iconPath, int iconId)
{
    SetDlgItemTextW(dialog, IDC_EDIT_ICON_LOCATION, DefaultIconText(iconPath, iconId).c_str());
    UniqueIcon icon = LoadTypeIcon(iconPath.c_str(), iconId);
    if (!icon) return;
    auto previous = reinterpret_cast<HICON>(
        SendDlgItemMessageW(dialog, IDC_EDIT_ICON, STM_SETICON, reinterpret_cast<WPARAM>(icon.release()), 0));
    if (previous) DestroyIcon(previous);
}

void OnInitDialog(HWND dialog, LPARAM entryAddress)
{
    SetPropW(dialog, kTargetEntry, reinterpret_cast<HANDLE>(entryAddress));
    const FileTypeEntry* entry = Target(dialog);
    if (!entry) return;
    // Longer texts could never be registered or stored.
    SendDlgItemMessageW(dialog, IDC_EDIT_EXTENSION, EM_LIMITTEXT, kMaxExtensionChars + 1, 0);
    SendDlgItemMessageW(dialog, IDC_EDIT_DESCRIPTION, EM_LIMITTEXT, kPathChars - 1, 0);
    SetDlgItemTextW(dialog, IDC_EDIT_EXTENSION, entry->extension.c_str());
    if (entry->extension.empty()) SetOkEnabled(dialog, false);
    SetDlgItemTextW(dialog, IDC_EDIT_DESCRIPTION, entry->description.c_str());
    if (entry->iconPath.empty()) {
        ShowIcon(dialog, resourceModulePath, -IDI_DEFAULT_TYPE);
    } else {
        ShowIcon(dialog, entry->iconPath, entry->iconId);
    }
    SetFocus(GetDlgItem(dialog, IDC_EDIT_EXTENSION));
}

void OnChangeIcon(HWND dialog)
{
    std::wstring iconPath;
    int iconId = 0;
    SplitIconLocation(GetItemText(dialog, IDC_EDIT_ICON_LOCATION, kPathChars), iconPath, iconId);
    OpenIconPicker(dialog, iconPath, iconId);  // leaves both alone unless the user chose another icon
    ShowIcon(dialog, iconPath, iconId);
}

void OnConfirm(HWND dialog)
{
    FileTypeEntry* entry = Target(dialog);
    if (entry) {
        std::wstring extension = GetItemText(dialog, IDC_EDIT_EXTENSION, kPathChars);
        if (!extension.empty() && extension[0] == L'.') extension.erase(0, 1);
        entry->extension = extension;
        entry->description = GetItemText(dialog, IDC_EDIT_DESCRIPTION, kPathChars);
        SplitIconLocation(GetItemText(dialog, IDC_EDIT_ICON_LOCATION, kPathChars), entry->iconPath, entry->iconId);
    }
    EndDialog(dialog, 1);
}

void OnDestroy(HWND dialog)
{
    auto icon = reinterpret_cast<HICON>(SendDlgItemMessageW(dialog, IDC_EDIT_ICON, STM_SETICON, 0, 0));
    if (icon) DestroyIcon(icon);
    RemovePropW(dialog, kTargetEntry);
}

void OnCommand(HWND dialog, WPARAM wParam)
{
    switch (LOWORD(wParam)) {
    case IDC_EDIT_EXTENSION:
        if (HIWORD(wParam) == EN_CHANGE)
            SetOkEnabled(dialog, !GetItemText(dialog, IDC_EDIT_EXTENSION, kExtensionCheckChars).empty());
        break;
    case IDC_EDIT_CHANGE_ICON: OnChangeIcon(dialog); break;
    case IDOK: OnConfirm(dialog); break;
    case IDCANCEL: EndDialog(dialog, -1); break;
    default: break;
    }
}

} // namespace

INT_PTR CALLBACK FileTypeEditDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    return Guarded([&]() -> INT_PTR {
        switch (message) {
        case WM_INITDIALOG: OnInitDialog(dialog, lParam); break;
        case WM_COMMAND: OnCommand(dialog, wParam); break;
        case WM_DESTROY: OnDestroy(dialog); break;
        default: break;
        }
        return FALSE;
    });
}
