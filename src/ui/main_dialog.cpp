#include "ui/main_dialog.h"

#include "app/context.h"
#include "settings/preferences.h"
#include "resource.h"
#include "ui/dialog_helpers.h"

namespace {

// The radio buttons in the order the procedure sets them, with the
// execution method each stands for.
struct MethodButton {
    int id;
    int method;
};
const MethodButton kMethodButtons[] = {
    {IDC_EXEC_DOPEN, 0},
    {IDC_EXEC_OPEN, 3},
    {IDC_EXEC_ADD, 1},
    {IDC_EXEC_ADDOPEN, 2},
    {IDC_EXEC_ADDOPENPARENT, 4},
};

struct VerbBox {
    int id;
    int AssociationContext::*field;
};
const VerbBox kVerbBoxes[] = {
    {IDC_VERB_PLAY, &AssociationContext::addPlayChecked},
    {IDC_VERB_ADD, &AssociationContext::addOnlyChecked},
    {IDC_VERB_OPENNEW, &AssociationContext::newPlayChecked},
    {IDC_VERB_OPENPARENT, &AssociationContext::openParentChecked},
};

int ButtonForMethod(int method)
{
    for (const MethodButton& b : kMethodButtons)
        if (b.method == method) return b.id;
    return IDC_EXEC_ADDOPEN;  // every unknown method shows as the default one
}

// The five buttons are one group that the dialog keeps itself.
void SelectMethodButton(HWND dialog, int chosen)
{
    for (const MethodButton& b : kMethodButtons) SetCheck(dialog, b.id, b.id == chosen);
}

int CheckedMethod(HWND dialog)
{
    for (const MethodButton& b : kMethodButtons)
        if (b.method != 2 && IsChecked(dialog, b.id)) return b.method;
    return 2;
}

void OnInitDialog(HWND dialog)
{
    const AssociationContext& c = associationContext;
    for (const VerbBox& box : kVerbBoxes) SetCheck(dialog, box.id, c.*box.field != 0);
    SelectMethodButton(dialog, ButtonForMethod(c.execMethod));
    SetCheck(dialog, IDC_FOLDER_VERB, c.folderSelected != 0);
    SetCheck(dialog, IDC_AUDIOCD, c.audioCdSelected != 0);
    ShowWindow(dialog, SW_SHOWNORMAL);
    // The procedure answers FALSE, so it places the keyboard focus itself:
    // on the chosen method, where the arrow keys move the choice and Enter
    // still presses the default button.
    SetFocus(GetDlgItem(dialog, ButtonForMethod(c.execMethod)));
}

void OnConfirm(HWND dialog, int command)
{
    AssociationContext& c = associationContext;
    for (const VerbBox& box : kVerbBoxes) c.*box.field = IsChecked(dialog, box.id) ? 1 : 0;
    c.execMethod = CheckedMethod(dialog);
    SaveSettings();
    c.folderSelected = IsChecked(dialog, IDC_FOLDER_VERB) ? 1 : 0;
    c.audioCdSelected = IsChecked(dialog, IDC_AUDIOCD) ? 1 : 0;
    EndDialog(dialog, command == IDOK ? 1 : 2);
}

INT_PTR OnCommand(HWND dialog, int id)
{
    switch (id) {
    case IDC_EXEC_DOPEN:
    case IDC_EXEC_ADDOPEN:
    case IDC_EXEC_OPEN:
    case IDC_EXEC_ADD:
    case IDC_EXEC_ADDOPENPARENT:
        SelectMethodButton(dialog, id);
        return TRUE;
    case IDCANCEL:
        if (ConfirmCancel(dialog)) EndDialog(dialog, 0);
        return FALSE;
    case IDOK:
    case IDC_OK_AND_LEAVE:
        OnConfirm(dialog, id);
        return FALSE;
    default:
        return FALSE;
    }
}

} // namespace

INT_PTR CALLBACK MainDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    return Guarded([&]() -> INT_PTR {
        switch (message) {
        case WM_INITDIALOG:
            OnInitDialog(dialog);
            return FALSE;
        case WM_COMMAND:
            return OnCommand(dialog, LOWORD(wParam));
        default:
            return FALSE;
        }
    });
}
