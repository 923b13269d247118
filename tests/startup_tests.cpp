// Start-up: the host library's tokenizer and strings (through their ordinal
// imports), the command line, the DLL search path, the settings file with
// its truth rule.
#include <gtest/gtest.h>

#include "app/context.h"
#include "app/settings.h"
#include "app/startup.h"
#include "host/zeltrane.h"
#include "resource.h"
#include "support.h"

namespace {

std::vector<std::wstring> Split(const wchar_t* commandLine, int capacity = 1024)
{
    std::vector<std::wstring> tokens;
    std::vector<wchar_t> buffer(capacity + 2, L'\xbdbd');
    for (const wchar_t* p = HostNextToken(commandLine, buffer.data(), capacity); p;
         p = HostNextToken(p, buffer.data(), capacity)) {
        EXPECT_EQ(buffer[capacity], L'\xbdbd') << "wrote past the capacity";
        tokens.push_back(buffer.data());
    }
    return tokens;
}

TEST(HostNextToken, SplitsByTheWindowsRulesAndCutsToTheCapacity)
{
    const struct { const wchar_t* line; std::vector<std::wstring> tokens; int capacity; } cases[] = {
        {L"", {}, 1024},
        {L" \t ", {}, 1024},
        {L"tool.exe  /Register C:\\p\\s.ini ", {L"tool.exe", L"/Register", L"C:\\p\\s.ini"}, 1024},
        {L"\"C:\\Program Files\\K\\a.exe\" \"C:\\My Settings\\k.ini\"", {L"C:\\Program Files\\K\\a.exe", L"C:\\My Settings\\k.ini"}, 1024},
        {L"a \"b c\"d\te", {L"a", L"b cd", L"e"}, 1024},
        {L"a \\\\\"b c\"", {L"a", L"\\b c"}, 1024},            // 2n backslashes + quote: n backslashes, quoting
        {L"a \\\"b", {L"a", L"\"b"}, 1024},                    // 2n+1 backslashes + quote: a literal quote
        {L"a C:\\dir\\ x", {L"a", L"C:\\dir\\", L"x"}, 1024},  // backslashes before no quote stay
        {L"a \"\" \"x\"\"y\"", {L"a", L"", L"x\"y"}, 1024},    // empty argument; "" inside quotes
        {L"tool.exe abcdef", {L"too", L"abc"}, 4},
    };
    for (const auto& c : cases) EXPECT_EQ(Split(c.line, c.capacity), c.tokens) << testing::PrintToString(std::wstring(c.line));
    wchar_t token[1024];
    ASSERT_NE(HostNextToken(GetCommandLineW(), token, 1024), nullptr);  // the program name by its own rules
    EXPECT_NE(std::wstring(token).find(L"korvane_tests"), std::wstring::npos);

    wchar_t text[8];
    wmemset(text, L'\xbdbd', 8);
    HostLoadString(HostResourceModule(), IDS_COLUMN_DESCRIPTION, text, 5);
    EXPECT_STREQ(text, L"Desc");
    EXPECT_EQ(text[5], L'\xbdbd');
    HostLoadString(HostResourceModule(), 4242, text, 8);
    EXPECT_STREQ(text, L"");
}

TEST(ParseCommandLine, ClassifiesSwitchesInAnyCaseAndTakesTheLastPath)
{
    ProcessStateGuard guard;
    const struct { std::wstring line; bool reg; bool unreg; std::wstring settings; } cases[] = {
        {L"tool.exe", false, false, L""},
        {L"tool.exe /REGISTER /UnRegister s.ini", true, true, L"s.ini"},
        {L"tool.exe /TopMost", false, false, L""},
        {L"tool.exe /topmost /Register a.ini \"C:\\My Files\\b.ini\"", true, false, L"C:\\My Files\\b.ini"},
        {L"tool.exe /Registers", false, false, L"/Registers"},
        {L"tool.exe " + std::wstring(5000, L'p'), false, false, std::wstring(1023, L'p')},
    };
    for (const auto& c : cases) {
        settingsPath[0] = L'\0';
        const CommandLineSwitches s = ParseCommandLine(c.line.c_str());
        EXPECT_EQ(s.registerRun, c.reg) << c.line.substr(0, 60);
        EXPECT_EQ(s.unregisterRun, c.unreg) << c.line.substr(0, 60);
        EXPECT_EQ(settingsPath, c.settings);
    }
}

TEST(RestrictDllSearch, NoLibraryLoadsFromTheCurrentFolderAfterwards)
{
    TempFolder folder;
    ASSERT_TRUE(CopyFileW(BesideTests(L"icon_fixture.dll").c_str(), folder.File(L"kvprobe.dll").c_str(), FALSE));
    SetCurrentDirectoryW(folder.path().c_str());
    HMODULE before = LoadLibraryW(L"kvprobe.dll");
    EXPECT_NE(before, nullptr) << "the probe loads from the current folder by default";
    FreeLibrary(before);
    EXPECT_TRUE(RestrictDllSearch());
    EXPECT_EQ(LoadLibraryW(L"kvprobe.dll"), nullptr);
    SetCurrentDirectoryW(BesideTests(L"").c_str());
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

TEST(SettingsFile, ReadWithDefaultsCutAndSavedBackCanonically)
{
    ProcessStateGuard guard;
    TempFolder folder;
    wcscpy_s(settingsPath, kPathChars, folder.File(L"settings.ini").c_str());
    AssociationContext& c = associationContext;
    c.execMethod = c.addPlayChecked = c.addOnlyChecked = c.newPlayChecked = c.openParentChecked = 0;
    ReadSettings();  // no file at all
    EXPECT_EQ(c.execMethod, 2);
    EXPECT_EQ(c.addPlayChecked + c.addOnlyChecked + c.newPlayChecked + c.openParentChecked, 4);
    for (auto [value, method] : {std::pair{L"0", 0}, {L"3", 3}, {L"4", 4}, {L"5", 2}, {L"9", 2}, {L"-1", 2}, {L"abc", 0}}) {
        WriteTextFile(settingsPath, std::wstring(L"[Preference]\r\nExecMethod=") + value + L"\r\n");
        ReadSettings();
        EXPECT_EQ(c.execMethod, method) << testing::PrintToString(std::wstring(value));
    }

    WriteTextFile(settingsPath, L"[Association]\r\nAddPlayChecked=enable\r\nNewPlayChecked=1" + std::wstring(400, L'0') +
                                    L"\r\nAddOnlyChecked=\r\nOpenParentChecked=On\r\n[Preference]\r\nExecMethod=4\r\n"
                                    L"[Other]\r\nKeep=me\r\n");
    ReadSettings();
    EXPECT_EQ(c.addPlayChecked + 2 * c.newPlayChecked + 4 * c.addOnlyChecked + 8 * c.openParentChecked, 1 + 8)
        << "255 characters reach the rule; they do not spell 1";
    SaveSettings();
    const struct { const wchar_t* section; const wchar_t* key; const wchar_t* value; } saved[] = {
        {L"Association", L"AddPlayChecked", L"TRUE"}, {L"Association", L"NewPlayChecked", L"FALSE"},
        {L"Association", L"AddOnlyChecked", L"FALSE"}, {L"Association", L"OpenParentChecked", L"TRUE"},
        {L"Preference", L"ExecMethod", L"4"}, {L"Other", L"Keep", L"me"},
    };
    for (const auto& s : saved) EXPECT_EQ(IniString(settingsPath, s.section, s.key), s.value) << s.key;
}

} // namespace
