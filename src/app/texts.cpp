#include "app/texts.h"

#include <climits>
#include <cwchar>
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

std::vector<std::wstring> ModuleStringInEveryLanguage(UINT id)
{
    const HMODULE module = GetResourceModule();
    const LPCWSTR block = MAKEINTRESOURCEW(id / 16 + 1);  // strings come in blocks of sixteen
    std::vector<WORD> languages;
    EnumResourceLanguagesW(module, RT_STRING, block, [](HMODULE, LPCWSTR, LPCWSTR, WORD language, LONG_PTR found) -> BOOL {
        reinterpret_cast<std::vector<WORD>*>(found)->push_back(language);
        return TRUE;
    }, reinterpret_cast<LONG_PTR>(&languages));
    std::vector<std::wstring> texts;
    for (WORD language : languages) {
        const HRSRC resource = FindResourceExW(module, RT_STRING, block, language);
        const DWORD size = resource ? SizeofResource(module, resource) / sizeof(wchar_t) : 0;
        const auto* text = static_cast<const wchar_t*>(resource ? LockResource(LoadResource(module, resource)) : nullptr);
        if (!text) continue;
        // Each string of the block is its length and its characters.
        DWORD at = 0;
        for (UINT skip = id % 16; skip > 0 && at < size; --skip) at += 1 + text[at];
        if (at < size && at + 1 + text[at] <= size) texts.emplace_back(text + at + 1, text[at]);
    }
    return texts;
}

void LoadBuiltinDescriptions()
{
    for (int row = 0; row < kBuiltinTypeCount; ++row) {
        wchar_t text[kPathChars];
        HostLoadString(associationContext.resourceModule, IDS_DESC_FIRST + row, text, kPathChars);
        if (text[0] != L'\0') wcscpy_s(builtinDescriptions[row], kPathChars, text);
    }
}

void LoadVerbDisplayNames()
{
    AssociationContext& c = associationContext;
    HostLoadString(c.resourceModule, IDS_VERB_OPEN, c.openVerbName, kShortTextChars);
    HostLoadString(c.resourceModule, IDS_VERB_PLAY, c.playVerbName, kShortTextChars);
    HostLoadString(c.resourceModule, IDS_VERB_ADD, c.addVerbName, kShortTextChars);
    HostLoadString(c.resourceModule, IDS_VERB_OPENNEW, c.openNewVerbName, kShortTextChars);
    HostLoadString(c.resourceModule, IDS_VERB_OPENPARENT, c.openParentVerbName, kShortTextChars);
}

std::wstring Visible(const std::wstring& text)
{
    std::wstring shown;
    for (wchar_t c : text) {
        const bool control = c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == 0x2028 || c == 0x2029 || c == 0x200E || c == 0x200F ||
                             (c >= 0x202A && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069) || c == 0xFEFF;
        if (!control) {
            shown += c;
        } else if (c == L'\r' || c == L'\n' || c == L'\t') {
            shown += c == L'\r' ? L"<CR>" : c == L'\n' ? L"<LF>" : L"<TAB>";
        } else {
            wchar_t mark[12];
            swprintf(mark, 12, L"<U+%04X>", static_cast<unsigned>(c));
            shown += mark;
        }
    }
    return shown;
}

bool SameName(const std::wstring& a, const std::wstring& b)
{
    return a.size() < INT_MAX && b.size() < INT_MAX &&
           CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(), static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
}
