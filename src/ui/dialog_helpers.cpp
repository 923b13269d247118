#include "ui/dialog_helpers.h"

#include <vector>

#include "app/context.h"
#include "app/texts.h"
#include "resource.h"

bool ConfirmCancel(HWND dialog)
{
    const std::wstring question = LoadModuleString(IDS_CANCEL_QUESTION, kShortTextChars);
    const std::wstring caption = LoadModuleString(IDS_CANCEL_CAPTION, kShortTextChars);
    return MessageBoxW(dialog, question.c_str(), caption.c_str(), MB_YESNO | MB_ICONQUESTION | MB_TOPMOST) == IDYES;
}

void SetCheck(HWND dialog, int id, bool checked)
{
    SendDlgItemMessageW(dialog, id, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

bool IsChecked(HWND dialog, int id)
{
    return SendDlgItemMessageW(dialog, id, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

std::wstring GetItemText(HWND dialog, int id, int capacity)
{
    std::vector<wchar_t> buffer(capacity, L'\0');
    GetDlgItemTextW(dialog, id, buffer.data(), capacity);
    return buffer.data();
}
