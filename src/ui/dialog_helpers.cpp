#include "ui/dialog_helpers.h"

#include <vector>

#include "app/context.h"
#include "host/zeltrane.h"
#include "resource.h"

std::wstring LoadModuleString(UINT id, int capacity)
{
    std::vector<wchar_t> buffer(capacity, L'\0');
    HostLoadString(GetResourceModule(), id, buffer.data(), capacity);
    return buffer.data();
}

std::wstring LoadModuleStringList(UINT id)
{
    // With no buffer, LoadStringW hands out the resource's own text and its
    // whole length; the text is not terminated there.
    const wchar_t* text = nullptr;
    const int length = LoadStringW(GetResourceModule(), id, reinterpret_cast<LPWSTR>(&text), 0);
    if (length <= 0 || !text) return std::wstring();
    std::wstring list(text, static_cast<size_t>(length));
    while (!list.empty() && list.back() == L'\0') list.pop_back();
    list.append(2, L'\0');  // the last text's end and the list's end
    return list;
}

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
