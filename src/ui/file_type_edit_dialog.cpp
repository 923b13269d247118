#include "ui/file_type_edit_dialog.h"

#include <commctrl.h>

#include <string>

#include "app/context.h"
#include "app/texts.h"
#include "catalogue/file_types.h"
#include "catalogue/icons.h"
#include "registry/file_type_class.h"
#include "resource.h"
#include "ui/dialog_helpers.h"
#include "ui/dpi.h"
#include "ui/icon_picker.h"

namespace {

const wchar_t kTargetEntry[] = L"TargetEntry";
constexpr int kExtensionCheckChars = 32;

// The icon the dialog shows now. It is kept as path and id rather than read
// back from the location field, which shows the short form and could not
// hold an over-long path whole.
struct IconChoice {
    std::wstring path;
    int id = 0;
};

FileTypeEntry* Target(HWND dialog) { return static_cast<FileTypeEntry*>(GetPropW(dialog, kTargetEntry)); }
IconChoice* Choice(HWND dialog) { return reinterpret_cast<IconChoice*>(GetWindowLongPtrW(dialog, DWLP_USER)); }

void SetOkEnabled(HWND dialog, bool enabled) { EnableWindow(GetDlgItem(dialog, IDOK), enabled); }

// Shows the chosen icon: the location text and the icon itself. The static
// control does not own its icons, so the one it showed before is destroyed.
void ShowIcon(HWND dialog, const IconChoice& choice)
{
    SetDlgItemTextW(dialog, IDC_EDIT_ICON_LOCATION, DefaultIconText(choice.path, choice.id).c_str());
    UniqueIcon icon = LoadTypeIcon(choice.path.c_str(), choice.id, nullptr, LargeIconSize(dialog));
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
    FileTypeEntry shown = *entry;
    UseLocalIconOnly(shown);  // no icon path or one the tool does not open: the type's own icon
    auto* choice = new IconChoice{shown.iconPath, shown.iconId};
    SetWindowLongPtrW(dialog, DWLP_USER, reinterpret_cast<LONG_PTR>(choice));
    // Room for one leading dot; what is longer could never be registered.
    SendDlgItemMessageW(dialog, IDC_EDIT_EXTENSION, EM_LIMITTEXT, kMaxExtensionChars + 1, 0);
    SendDlgItemMessageW(dialog, IDC_EDIT_DESCRIPTION, EM_LIMITTEXT, kPathChars - 1, 0);
    SetDlgItemTextW(dialog, IDC_EDIT_EXTENSION, entry->extension.c_str());
    if (entry->extension.empty()) SetOkEnabled(dialog, false);
    SetDlgItemTextW(dialog, IDC_EDIT_DESCRIPTION, entry->description.c_str());
    ShowIcon(dialog, *choice);
    SetFocus(GetDlgItem(dialog, IDC_EDIT_EXTENSION));
}

void OnChangeIcon(HWND dialog)
{
    IconChoice* choice = Choice(dialog);
    if (!choice) return;
    OpenIconPicker(dialog, choice->path, choice->id);  // leaves both alone unless the user chose another icon
    ShowIcon(dialog, *choice);
}

UINT ReasonText(ExtensionFault fault)
{
    switch (fault) {
    case ExtensionFault::TooLong: return IDS_EXTENSION_TOO_LONG;
    case ExtensionFault::BadCharacter: return IDS_EXTENSION_BAD_CHAR;
    case ExtensionFault::Executable: return IDS_EXTENSION_RUNS;
    default: return IDS_EXTENSION_ONLY_DOTS;  // a lone "." leaves nothing but dots behind
    }
}

// The dialog stays open with the whole extension selected, and the field
// says why in a balloon tip.
void RefuseExtension(HWND dialog, ExtensionFault fault)
{
    HWND field = GetDlgItem(dialog, IDC_EDIT_EXTENSION);
    SendMessageW(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(field), TRUE);
    SendMessageW(field, EM_SETSEL, 0, -1);
    const std::wstring why = LoadModuleString(ReasonText(fault), kShortTextChars);
    EDITBALLOONTIP tip{sizeof(tip), L"", why.c_str(), TTI_NONE};
    SendMessageW(field, EM_SHOWBALLOONTIP, 0, reinterpret_cast<LPARAM>(&tip));
    OutputDebugStringW((L"Korvane: the edit dialog refused an extension: " + why + L"\n").c_str());
}

void OnConfirm(HWND dialog)
{
    FileTypeEntry* entry = Target(dialog);
    const IconChoice* choice = Choice(dialog);
    if (entry && choice) {
        std::wstring extension = GetItemText(dialog, IDC_EDIT_EXTENSION, kPathChars);
        if (!extension.empty() && extension[0] == L'.') extension.erase(0, 1);
        const ExtensionFault fault = CheckExtension(extension);
        if (fault != ExtensionFault::None) return RefuseExtension(dialog, fault);
        entry->extension = extension;
        entry->description = GetItemText(dialog, IDC_EDIT_DESCRIPTION, kPathChars);
        entry->iconPath = choice->path;
        entry->iconId = choice->id;
    }
    EndDialog(dialog, 1);
}

void OnDestroy(HWND dialog)
{
    auto icon = reinterpret_cast<HICON>(SendDlgItemMessageW(dialog, IDC_EDIT_ICON, STM_SETICON, 0, 0));
    if (icon) DestroyIcon(icon);
    delete Choice(dialog);
    SetWindowLongPtrW(dialog, DWLP_USER, 0);
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
        // The icon follows the dialog to a monitor of another DPI, once the
        // system has laid the dialog out there.
        case WM_DPICHANGED: PostMessageW(dialog, kRescaleMessage, 0, 0); break;
        case kRescaleMessage:
            if (const IconChoice* choice = Choice(dialog)) ShowIcon(dialog, *choice);
            break;
        default: break;
        }
        return FALSE;
    });
}
