#include "settings/preferences.h"

#include <cwchar>
#include <cstdlib>
#include <initializer_list>
#include <string>
#include <vector>

#include "app/context.h"
#include "settings/settings_file.h"

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

void ReadSettings(const SettingsText& settings)
{
    const UINT method = settings.Int(kPreference, L"ExecMethod", 2);
    associationContext.execMethod = method >= 5 ? 2 : static_cast<int>(method);
    for (const BoolSetting& setting : kBoolSettings) {
        const std::wstring value = settings.String(kAssociation, setting.key, L"TRUE", kShortTextChars);
        associationContext.*setting.field = ReadBoolSetting(value.c_str()) ? 1 : 0;
    }
}

void SaveSettings()
{
    // A file that cannot be written leaves the run going on with the values
    // in memory; nothing is reported.
    std::vector<SettingValue> values;
    for (const BoolSetting& setting : kBoolSettings)
        values.push_back({kAssociation, setting.key, associationContext.*setting.field ? L"TRUE" : L"FALSE"});
    values.push_back({kPreference, L"ExecMethod", std::to_wstring(associationContext.execMethod)});
    WriteSettingValues(settingsPath, values);
}
