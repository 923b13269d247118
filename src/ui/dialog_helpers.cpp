#include "ui/dialog_helpers.h"

#include <cstdlib>
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

std::wstring IconLocationText(const std::wstring& iconPath, int iconId)
{
    wchar_t shortPath[kPathChars];
    DWORD n = GetShortPathNameW(iconPath.c_str(), shortPath, kPathChars);
    std::wstring text = (n > 0 && n < static_cast<DWORD>(kPathChars)) ? std::wstring(shortPath, n) : iconPath;
    return text + L"," + std::to_wstring(iconId);
}

void ParseIconLocation(const std::wstring& text, std::wstring& iconPath, int& iconId)
{
    const size_t comma = text.find(L',');
    iconPath = text.substr(0, comma);
    iconId = comma == std::wstring::npos ? 0 : _wtoi(text.c_str() + comma + 1);
    wchar_t longPath[kPathChars];
    DWORD n = GetLongPathNameW(iconPath.c_str(), longPath, kPathChars);
    if (n > 0 && n < static_cast<DWORD>(kPathChars)) iconPath.assign(longPath, n);
}
