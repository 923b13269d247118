// Start-up: switches, the settings file with its truth rule, the localized
// texts and the built-in table.
#include <gtest/gtest.h>

#include "app/context.h"
#include "app/settings.h"
#include "app/startup.h"
#include "catalogue/file_types.h"
#include "host/zeltrane.h"
#include "support.h"

namespace {

struct SwitchCase {
    const wchar_t* commandLine;
    bool registerRun;
    bool unregisterRun;
    const wchar_t* settings;
};

TEST(ParseCommandLine, ClassifiesSwitchesAndTakesTheLastPath)
{
    ProcessStateGuard guard;
    const SwitchCase cases[] = {
        {L"tool.exe", false, false, L""},
        {L"tool.exe /register s.ini", true, false, L"s.ini"},
        {L"tool.exe /REGISTER", true, false, L""},
        {L"tool.exe /UnRegister x.ini", false, true, L"x.ini"},
        {L"tool.exe /Register /Unregister s.ini", true, true, L"s.ini"},
        {L"tool.exe /TopMost", false, false, L""},
        {L"tool.exe /topmost /Register a.ini b.ini", true, false, L"b.ini"},
        {L"tool.exe \"C:\\My Files\\k.ini\" /Register", true, false, L"C:\\My Files\\k.ini"},
        {L"tool.exe /Registers", false, false, L"/Registers"},
    };
    for (const auto& c : cases) {
        settingsPath[0] = L'\0';
        CommandLineSwitches s = ParseCommandLine(c.commandLine);
        SCOPED_TRACE(testing::PrintToString(std::wstring(c.commandLine)));
        EXPECT_EQ(s.registerRun, c.registerRun);
        EXPECT_EQ(s.unregisterRun, c.unregisterRun);
        EXPECT_STREQ(settingsPath, c.settings);
    }
}

TEST(ParseCommandLine, CutsAnOverlongPathWithinTheBuffer)
{
    ProcessStateGuard guard;
    std::wstring line = L"tool.exe " + std::wstring(5000, L'p');
    ParseCommandLine(line.c_str());
    EXPECT_EQ(std::wstring(settingsPath), std::wstring(1023, L'p'));
}

TEST(Dispatch, NeitherSwitchGivesMinusOneAndUnregisterWins)
{
    ProcessStateGuard guard;
    StartUpLikeTheTool();
    EXPECT_EQ(Dispatch(CommandLineSwitches{}), -1);
    // With no capability record of ours, unregistering finds nothing to do
    // and still reports 1.
    PreservedTree player(HKEY_LOCAL_MACHINE, L"Software\\Ostrafen", KEY_WOW64_64KEY);
    EXPECT_EQ(Dispatch(CommandLineSwitches{true, true}), 1);
}

TEST(DetectRegistryView, SixtyFourBitWindowsUsesTheSixtyFourBitView)
{
    EXPECT_EQ(DetectRegistryView(), static_cast<DWORD>(KEY_WOW64_64KEY));
}

TEST(InitializePaths, ClientBesideTheToolAndResourceModuleByName)
{
    ProcessStateGuard guard;
    StartUpLikeTheTool();
    wchar_t self[kPathChars];
    GetModuleFileNameW(nullptr, self, kPathChars);
    std::wstring expected(self);
    expected = expected.substr(0, expected.find_last_of(L'\\')) + L"\\Tovrix.exe";
    EXPECT_STREQ(GetClientExePath(), expected.c_str());
    EXPECT_EQ(associationContext.clientExePath, clientExePathBuffer);
    EXPECT_EQ(GetResourceModule(), HostResourceModule());
    std::wstring module(resourceModulePath);
    EXPECT_EQ(module.substr(module.find_last_of(L'\\') + 1), L"KorvaneRes.dll");
}

TEST(ReadBoolSetting, TruthRule)
{
    struct { const wchar_t* text; bool expected; } cases[] = {
        {L"TRUE", true}, {L"true", true}, {L"True", true}, {L"ENABLE", true}, {L"enable", true},
        {L"On", true}, {L"on", true}, {L"ON", true}, {L"1", true}, {L" 1", true}, {L"1abc", true},
        {L"01", true}, {L"FALSE", false}, {L"off", false}, {L"yes", false}, {L"2", false},
        {L"", false}, {L"-1", false}, {L"TRUE ", false}, {L"11", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ReadBoolSetting(c.text), c.expected) << testing::PrintToString(std::wstring(c.text));
}

class SettingsFile : public testing::Test {
protected:
    void SetUp() override { wcscpy_s(settingsPath, kPathChars, folder_.File(L"settings.ini").c_str()); }
    void Write(const std::wstring& text) { WriteTextFile(settingsPath, text); }
    ProcessStateGuard guard_;
    TempFolder folder_;
};

TEST_F(SettingsFile, MissingFileGivesDefaults)
{
    associationContext.execMethod = 0;
    associationContext.addPlayChecked = associationContext.addOnlyChecked = 0;
    associationContext.newPlayChecked = associationContext.openParentChecked = 0;
    ReadSettings();
    EXPECT_EQ(associationContext.execMethod, 2);
    EXPECT_EQ(associationContext.addPlayChecked, 1);
    EXPECT_EQ(associationContext.addOnlyChecked, 1);
    EXPECT_EQ(associationContext.newPlayChecked, 1);
    EXPECT_EQ(associationContext.openParentChecked, 1);
}

TEST_F(SettingsFile, ExecMethodOutOfRangeFallsBackToTwo)
{
    struct { const wchar_t* value; int expected; } cases[] = {
        {L"0", 0}, {L"1", 1}, {L"3", 3}, {L"4", 4}, {L"5", 2}, {L"9", 2}, {L"-1", 2}, {L"abc", 0},
    };
    for (const auto& c : cases) {
        Write(std::wstring(L"[Preference]\r\nExecMethod=") + c.value + L"\r\n");
        ReadSettings();
        EXPECT_EQ(associationContext.execMethod, c.expected) << testing::PrintToString(std::wstring(c.value));
    }
}

TEST_F(SettingsFile, ReadsEachTruthValueIntoItsOwnField)
{
    Write(L"[Association]\r\nAddPlayChecked=enable\r\nNewPlayChecked=yes\r\nAddOnlyChecked=\r\n"
          L"OpenParentChecked=On\r\n");
    ReadSettings();
    EXPECT_EQ(associationContext.addPlayChecked, 1);
    EXPECT_EQ(associationContext.newPlayChecked, 0);
    EXPECT_EQ(associationContext.addOnlyChecked, 0);
    EXPECT_EQ(associationContext.openParentChecked, 1);
}

TEST_F(SettingsFile, OverlongTruthValueIsCutBeforeComparing)
{
    // 255 characters reach the comparison; the number they spell is not 1.
    Write(L"[Association]\r\nAddPlayChecked=1" + std::wstring(400, L'0') + L"\r\nNewPlayChecked=" +
          std::wstring(300, L'x') + L"\r\n");
    ReadSettings();
    EXPECT_EQ(associationContext.addPlayChecked, 0);
    EXPECT_EQ(associationContext.newPlayChecked, 0);
    EXPECT_EQ(associationContext.addOnlyChecked, 1);
}

TEST_F(SettingsFile, SavesCanonicalTextsAndReadsThemBack)
{
    Write(L"[Association]\r\nAddPlayChecked=On\r\nNewPlayChecked=1\r\nAddOnlyChecked=off\r\n"
          L"OpenParentChecked=enable\r\n[Preference]\r\nExecMethod=4\r\n[Other]\r\nKeep=me\r\n");
    ReadSettings();
    SaveSettings();
    EXPECT_EQ(IniString(settingsPath, L"Association", L"AddPlayChecked"), L"TRUE");
    EXPECT_EQ(IniString(settingsPath, L"Association", L"NewPlayChecked"), L"TRUE");
    EXPECT_EQ(IniString(settingsPath, L"Association", L"AddOnlyChecked"), L"FALSE");
    EXPECT_EQ(IniString(settingsPath, L"Association", L"OpenParentChecked"), L"TRUE");
    EXPECT_EQ(IniString(settingsPath, L"Preference", L"ExecMethod"), L"4");
    EXPECT_EQ(IniString(settingsPath, L"Other", L"Keep"), L"me");

    AssociationContext saved = associationContext;
    associationContext = InitialAssociationContext();
    ReadSettings();
    EXPECT_EQ(associationContext.addPlayChecked, saved.addPlayChecked);
    EXPECT_EQ(associationContext.addOnlyChecked, saved.addOnlyChecked);
    EXPECT_EQ(associationContext.execMethod, 4);
}

TEST_F(SettingsFile, UnwritableFileKeepsTheValuesInMemory)
{
    wcscpy_s(settingsPath, kPathChars, L"Q:\\no such drive\\settings.ini");
    associationContext.execMethod = 3;
    SaveSettings();
    EXPECT_EQ(associationContext.execMethod, 3);
}

TEST(LocalizedTexts, DescriptionsComeFromTheResourceModuleUnlessEmpty)
{
    ProcessStateGuard guard;
    StartUpLikeTheTool();
    LoadBuiltinDescriptions();
    EXPECT_STREQ(builtinDescriptions[0], L"Korvane WAVE Sound");
    EXPECT_STREQ(builtinDescriptions[9], L"Korvane UTF-8 Playlist");
}

TEST(LocalizedTexts, ModuleWithoutStringsKeepsTheDefaults)
{
    ProcessStateGuard guard;
    // The host library holds no string table: every string comes back empty.
    associationContext.resourceModule = GetModuleHandleW(L"Zeltrane.dll");
    ASSERT_NE(associationContext.resourceModule, nullptr);
    LoadBuiltinDescriptions();
    EXPECT_STREQ(builtinDescriptions[2], L"Korvane Ogg Vorbis サウンド");
    EXPECT_STREQ(builtinDescriptions[6], L"CD Digital Audio");
    // The verb names take whatever the module gives, even nothing.
    LoadVerbDisplayNames();
    EXPECT_STREQ(associationContext.openVerbName, L"");
}

TEST(LocalizedTexts, VerbDisplayNamesReplaceTheInitialTexts)
{
    ProcessStateGuard guard;
    StartUpLikeTheTool();
    EXPECT_STREQ(associationContext.openParentVerbName, L"OpenParent");
    LoadVerbDisplayNames();
    EXPECT_STREQ(associationContext.openVerbName, L"&Open with Korvane Player");
    EXPECT_STREQ(associationContext.openParentVerbName, L"Play the &folder in Korvane Player");
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

TEST(FileTypeEntry, ConstructionAndCopyKeepEveryField)
{
    FileTypeEntry bare(L"xyz");
    EXPECT_EQ(bare.description, L"");
    EXPECT_EQ(bare.iconPath, L"");
    EXPECT_EQ(bare.iconId, 0);
    EXPECT_EQ(bare.flags, 0u);

    FileTypeEntry full(L"mp3", L"d", L"C:\\i.dll", -3, FT_ASSOCIATED);
    FileTypeEntry copy = full;
    EXPECT_EQ(copy.flags, FT_ASSOCIATED);
    EXPECT_EQ(copy.iconId, -3);
    // A typed "Folder" is an ordinary type: pseudo types go by their flag.
    EXPECT_FALSE(FileTypeEntry(L"Folder").IsPseudoType());
}

} // namespace
