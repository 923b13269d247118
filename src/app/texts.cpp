#include "app/texts.h"

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
