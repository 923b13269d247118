#include "app/settings.h"

#include <cwchar>
#include <cstdlib>
#include <initializer_list>

#include "app/context.h"
#include "host/zeltrane.h"
#include "resource.h"

namespace {

const wchar_t kPreference[] = L"Preference";
const wchar_t kAssociation[] = L"Association";

struct BoolSetting {
    const wchar_t* key;
    int AssociationContext::*field;
};

// Read and saved in this order.
const BoolSetting kBoolSettings[] = {
    {L"AddPlayChecked", &AssociationContext::addPlayChecked},
    {L"NewPlayChecked", &AssociationContext::newPlayChecked},
    {L"AddOnlyChecked", &AssociationContext::addOnlyChecked},
    {L"OpenParentChecked", &AssociationContext::openParentChecked},
};

} // namespace

bool ReadBoolSetting(const wchar_t* text)
{
    if (!text) return false;
    for (const wchar_t* word : {L"TRUE", L"ENABLE", L"On"}) {
        if (_wcsicmp(text, word) == 0) return true;
    }
    return _wtoi(text) == 1;
}

void ReadSettings()
{
    UINT method = GetPrivateProfileIntW(kPreference, L"ExecMethod", 2, settingsPath);
    associationContext.execMethod = method >= 5 ? 2 : static_cast<int>(method);

    for (const BoolSetting& setting : kBoolSettings) {
        wchar_t value[kShortTextChars];
        GetPrivateProfileStringW(kAssociation, setting.key, L"TRUE", value, kShortTextChars, settingsPath);
        associationContext.*setting.field = ReadBoolSetting(value) ? 1 : 0;
    }
}

void SaveSettings()
{
    // A file that cannot be written leaves the run going on with the values
    // in memory; nothing is reported.
    for (const BoolSetting& setting : kBoolSettings) {
        const wchar_t* value = associationContext.*setting.field ? L"TRUE" : L"FALSE";
        WritePrivateProfileStringW(kAssociation, setting.key, value, settingsPath);
    }
    wchar_t method[kShortTextChars];
    swprintf(method, kShortTextChars, L"%d", associationContext.execMethod);
    WritePrivateProfileStringW(kPreference, L"ExecMethod", method, settingsPath);
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
