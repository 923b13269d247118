// Start-up: switches, the settings file with its truth rule, the localized
// texts and the built-in table.
#include <gtest/gtest.h>

#include "app/context.h"
#include "app/settings.h"
#include "app/startup.h"
#include "catalogue/file_types.h"
#include "support.h"

namespace {

TEST(ParseCommandLine, ClassifiesSwitchesInAnyCaseAndTakesTheLastPath)
{
    ProcessStateGuard guard;
    const struct { const wchar_t* line; bool reg; bool unreg; const wchar_t* settings; } cases[] = {
        {L"tool.exe", false, false, L""},
        {L"tool.exe /register s.ini", true, false, L"s.ini"},
        {L"tool.exe /REGISTER /UnRegister s.ini", true, true, L"s.ini"},
        {L"tool.exe /TopMost", false, false, L""},
        {L"tool.exe /topmost /Register a.ini \"C:\\My Files\\b.ini\"", true, false, L"C:\\My Files\\b.ini"},
        {L"tool.exe /Registers", false, false, L"/Registers"},
    };
    for (const auto& c : cases) {
        settingsPath[0] = L'\0';
        const CommandLineSwitches s = ParseCommandLine(c.line);
        SCOPED_TRACE(testing::PrintToString(std::wstring(c.line)));
        EXPECT_EQ(s.registerRun, c.reg);
        EXPECT_EQ(s.unregisterRun, c.unreg);
        EXPECT_STREQ(settingsPath, c.settings);
    }
    ParseCommandLine((L"tool.exe " + std::wstring(5000, L'p')).c_str());
    EXPECT_EQ(std::wstring(settingsPath), std::wstring(1023, L'p'));
}

TEST(InitializePaths, ClientBesideTheToolAndTheResourceModuleByName)
{
    ProcessStateGuard guard;
    StartUpLikeTheTool();
    EXPECT_EQ(registryViewFlag, static_cast<DWORD>(KEY_WOW64_64KEY));
    EXPECT_EQ(std::wstring(GetClientExePath()), BesideTests(L"Tovrix.exe"));
    EXPECT_EQ(std::wstring(resourceModulePath), BesideTests(L"KorvaneRes.dll"));
    EXPECT_EQ(Dispatch(CommandLineSwitches{}), -1);
}

TEST(RestrictDllSearch, NoLibraryLoadsFromTheCurrentFolderAfterwards)
{
    TempFolder folder;
    ASSERT_TRUE(CopyFileW(BesideTests(L"icon_fixture.dll").c_str(), folder.File(L"kvprobe.dll").c_str(), FALSE));
    wchar_t saved[kPathChars];
    GetCurrentDirectoryW(kPathChars, saved);
    SetCurrentDirectoryW(folder.path().c_str());
    HMODULE before = LoadLibraryW(L"kvprobe.dll");
    EXPECT_NE(before, nullptr) << "the probe loads from the current folder by default";
    if (before) FreeLibrary(before);
    EXPECT_TRUE(RestrictDllSearch());
    HMODULE after = LoadLibraryW(L"kvprobe.dll");
    EXPECT_EQ(after, nullptr);
    if (after) FreeLibrary(after);
    SetCurrentDirectoryW(saved);
}

TEST(ReadBoolSetting, TruthRule)
{
    const struct { const wchar_t* text; bool value; } cases[] = {
        {L"TRUE", true}, {L"true", true}, {L"ENABLE", true}, {L"enable", true}, {L"On", true}, {L"ON", true},
        {L"1", true}, {L" 1", true}, {L"01", true}, {L"1abc", true}, {L"FALSE", false}, {L"yes", false},
        {L"2", false}, {L"11", false}, {L"-1", false}, {L"", false}, {L"TRUE ", false},
    };
    for (const auto& c : cases) EXPECT_EQ(ReadBoolSetting(c.text), c.value) << testing::PrintToString(std::wstring(c.text));
}

class SettingsFile : public testing::Test {
protected:
    void SetUp() override { wcscpy_s(settingsPath, kPathChars, folder_.File(L"settings.ini").c_str()); }
    ProcessStateGuard guard_;
    TempFolder folder_;
};

TEST_F(SettingsFile, MissingKeysGiveDefaultsAndOutOfRangeMethodsGiveTwo)
{
    AssociationContext& c = associationContext;
    c.execMethod = c.addPlayChecked = c.addOnlyChecked = c.newPlayChecked = c.openParentChecked = 0;
    ReadSettings();  // no file at all
    EXPECT_EQ(c.execMethod, 2);
    EXPECT_EQ(c.addPlayChecked + c.addOnlyChecked + c.newPlayChecked + c.openParentChecked, 4);

    const struct { const wchar_t* value; int method; } methods[] = {
        {L"0", 0}, {L"3", 3}, {L"4", 4}, {L"5", 2}, {L"9", 2}, {L"-1", 2}, {L"abc", 0},
    };
    for (const auto& m : methods) {
        WriteTextFile(settingsPath, std::wstring(L"[Preference]\r\nExecMethod=") + m.value + L"\r\n");
        ReadSettings();
        EXPECT_EQ(c.execMethod, m.method) << testing::PrintToString(std::wstring(m.value));
    }
}

TEST_F(SettingsFile, TruthValuesAreReadCutAndSavedBackCanonically)
{
    WriteTextFile(settingsPath, L"[Association]\r\nAddPlayChecked=enable\r\nNewPlayChecked=1" + std::wstring(400, L'0') +
                                    L"\r\nAddOnlyChecked=\r\nOpenParentChecked=On\r\n[Preference]\r\nExecMethod=4\r\n"
                                    L"[Other]\r\nKeep=me\r\n");
    ReadSettings();
    const AssociationContext& c = associationContext;
    EXPECT_EQ(c.addPlayChecked, 1);
    EXPECT_EQ(c.newPlayChecked, 0) << "255 characters reach the rule; they do not spell 1";
    EXPECT_EQ(c.addOnlyChecked, 0);
    EXPECT_EQ(c.openParentChecked, 1);

    SaveSettings();
    const struct { const wchar_t* section; const wchar_t* key; const wchar_t* value; } saved[] = {
        {L"Association", L"AddPlayChecked", L"TRUE"}, {L"Association", L"NewPlayChecked", L"FALSE"},
        {L"Association", L"AddOnlyChecked", L"FALSE"}, {L"Association", L"OpenParentChecked", L"TRUE"},
        {L"Preference", L"ExecMethod", L"4"}, {L"Other", L"Keep", L"me"},
    };
    for (const auto& s : saved) EXPECT_EQ(IniString(settingsPath, s.section, s.key), s.value) << s.key;

    wcscpy_s(settingsPath, kPathChars, L"Q:\\no such drive\\settings.ini");
    SaveSettings();  // cannot be written: the run goes on with the values in memory
    EXPECT_EQ(c.execMethod, 4);
}

TEST(LocalizedTexts, EmptyStringsKeepTheDefaults)
{
    ProcessStateGuard guard;
    StartUpLikeTheTool();
    LoadBuiltinDescriptions();
    LoadVerbDisplayNames();
    EXPECT_STREQ(builtinDescriptions[0], L"Korvane WAVE Sound");
    EXPECT_STREQ(associationContext.openParentVerbName, L"Play the &folder in Korvane Player");

    // The host library holds no strings at all: every one comes back empty.
    ProcessStateGuard again;
    wcscpy_s(builtinDescriptions[2], kPathChars, L"Korvane Ogg Vorbis サウンド");
    associationContext.resourceModule = GetModuleHandleW(L"Zeltrane.dll");
    LoadBuiltinDescriptions();
    LoadVerbDisplayNames();
    EXPECT_STREQ(builtinDescriptions[2], L"Korvane Ogg Vorbis サウンド");
    EXPECT_STREQ(associationContext.openVerbName, L"") << "verb names take whatever the module holds";
}

TEST(BuiltInTypes, TenTypesInTableOrderWithTheModuleIcons)
{
    ProcessStateGuard guard;
    StartUpLikeTheTool();
    FileTypeList list;
    AppendBuiltInTypes(list);
    const wchar_t* extensions[] = {L"wav", L"mp3", L"ogg", L"wma", L"ape", L"flac", L"cda", L"m3u", L"m3u16", L"m3u8"};
    const int ids[] = {-109, -107, -108, -110, -102, -104, -103, -105, -105, -105};
    ASSERT_EQ(list.size(), 10u);
    for (size_t i = 0; i < list.size(); ++i) {
        EXPECT_EQ(list[i].extension, extensions[i]);
        EXPECT_EQ(list[i].iconId, ids[i]);
        EXPECT_EQ(list[i].iconPath, resourceModulePath);
        EXPECT_EQ(list[i].description, builtinDescriptions[i]);
        EXPECT_EQ(list[i].flags, 0u);
    }
}

} // namespace
