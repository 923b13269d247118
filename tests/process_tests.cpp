// The installed tool as the player starts it: a separate process whose exit
// code is the answer, answered through its dialogs where it shows them.
#include <gtest/gtest.h>

#include <algorithm>

#include "driver/dialog_driver.h"
#include "resource.h"
#include "support.h"

namespace {

std::wstring Tool() { return InstallDir() + L"\\KorvaneAssoc.exe"; }
std::wstring PlayersState() { return Snapshot(HKEY_LOCAL_MACHINE, L"Software\\Ostrafen") + Snapshot(HKEY_CLASSES_ROOT, L"AudioCD"); }

class InstalledTool : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_FALSE(InstallDir().empty()) << "KORVANE_INSTALL_DIR is not set";
        keys_.AddPlayersKeys({L"mp3", L"wav"});
    }
    // Starts "/Register" and waits for its main dialog.
    HWND Start(PROCESS_INFORMATION& tool)
    {
        tool = StartProcess(Tool(), L"/Register " + ini_);
        return WaitForDialog(tool.dwProcessId, kMainDialogMark);
    }
    PreservedKeys keys_;
    TempFolder folder_;
    const std::wstring ini_ = L"\"" + folder_.File(L"Korvane.ini") + L"\"";
};

TEST_F(InstalledTool, ExitCodesWithoutDialogs)
{
    const struct { std::wstring arguments; DWORD exitCode; } cases[] = {
        {L"", static_cast<DWORD>(-1)}, {L"/TopMost", static_cast<DWORD>(-1)}, {ini_, static_cast<DWORD>(-1)},
        {L"/unregister " + ini_, 1}, {L"/Register /Unregister /TopMost " + ini_, 1},
    };
    const std::wstring before = PlayersState() + Snapshot(HKEY_CLASSES_ROOT, L".mp3");
    for (const auto& c : cases) EXPECT_EQ(RunAndWait(Tool(), c.arguments), c.exitCode) << testing::PrintToString(c.arguments);
    EXPECT_EQ(PlayersState() + Snapshot(HKEY_CLASSES_ROOT, L".mp3"), before);
    EXPECT_EQ(IniString(folder_.File(L"Korvane.ini"), L"Preference", L"ExecMethod"), kMissing) << "no settings written";
}

TEST_F(InstalledTool, RegisterRunAnsweredThroughItsDialogs)
{
    const std::wstring otherCd = L"\"C:\\Other\\cd.exe\" \"%L\"", ini = folder_.File(L"Korvane.ini");
    PutString(HKEY_CLASSES_ROOT, kAudioCommand, nullptr, otherCd);
    PROCESS_INFORMATION tool = StartProcess(Tool(), L"/Register /TopMost " + ini_);
    RegistrationScript script;
    script.tick = {L"mp", L"wa"};
    script.audioCd = script.folder = true;
    EXPECT_TRUE(DriveRegistration(tool.dwProcessId, script));
    ASSERT_EQ(WaitExit(tool), 1u);

    const std::wstring player = L"Software\\Ostrafen\\Korvane Player", client = L"\"" + InstallDir() + L"\\Tovrix.exe\" ";
    for (REGSAM view : kBothViews) {
        const struct { std::wstring key; const wchar_t* name; std::wstring value; } values[] = {
            {kCapability, L".mp3", L"Korvane mp3 File"}, {kCapability, L".wav", L"Korvane wav File"},
            {L"Software\\RegisteredApplications", L"Korvane Player", player + L"\\Capabilities"},
            {player, L"LocalizedString", L"Korvane Player"}, {player + L"\\Capabilities", L"ApplicationName", L"Korvane Player"},
            {player + L"\\Capabilities", L"ApplicationDescription", L"Korvane Player"},
        };
        for (const auto& v : values) EXPECT_EQ(GetString(HKEY_LOCAL_MACHINE, v.key, v.name, view), v.value) << v.name << view;
        EXPECT_EQ(Snapshot(HKEY_LOCAL_MACHINE, kCapability, view), Snapshot(HKEY_LOCAL_MACHINE, kCapability, KEY_WOW64_64KEY));
    }
    const std::wstring record = Snapshot(HKEY_LOCAL_MACHINE, kCapability);  // the key and the two ticked types
    EXPECT_EQ(std::count(record.begin(), record.end(), L'\n'), 3);
    // The shell shows the names in the user's interface language (this test
    // runs once in English and once with a Japanese interface).
    const bool japanese = PRIMARYLANGID(GetUserDefaultUILanguage()) == LANG_JAPANESE;
    const struct { std::wstring key; std::wstring value; } classes[] = {
        {L"Korvane mp3 File", japanese ? L"Korvane MPEG Layer-3 サウンド" : L"Korvane MPEG Layer-3 Sound"},
        {L"Korvane mp3 File\\shell\\Open", japanese ? L"Korvane Player で開く(&O)" : L"&Open with Korvane Player"},
        {L"Folder\\shell\\KorvaneOpen", japanese ? L"Korvane Player で再生(&K)" : L"Play in &Korvane Player"},
        {L"Korvane wav File\\shell\\Open\\Command", client + L"\"/addopen\" \"%1\" \"/play\""},
        {kAudioCommand, client + L"\"/open\" \"%L\" \"/play\""},
    };
    for (const auto& c : classes) EXPECT_EQ(GetString(HKEY_CLASSES_ROOT, c.key, nullptr), c.value) << c.key;
    EXPECT_EQ(GetString(HKEY_CLASSES_ROOT, kAudioCommand, L"Before Korvane"), otherCd);
    // Every type of the dialog is stored, in the order the dialog showed them.
    EXPECT_EQ(IniString(ini, L"RegisterdExtensions", L"Extensions"), L"ape;cda;flac;m3u;m3u16;m3u8;mp3;ogg;wav;wma;");
    const std::pair<const wchar_t*, const wchar_t*> builtInIcons[] = {
        {L"wav", L"-109"}, {L"mp3", L"-107"}, {L"ogg", L"-108"}, {L"wma", L"-110"}, {L"ape", L"-102"},
        {L"flac", L"-104"}, {L"cda", L"-103"}, {L"m3u", L"-105"}, {L"m3u16", L"-105"}, {L"m3u8", L"-105"},
    };
    for (auto [type, id] : builtInIcons) EXPECT_EQ(IniString(ini, type, L"IconId"), id) << type;

    // "/Unregister" removes the types, in both views, and leaves the
    // audio-CD handler; a second run finds nothing more to do.
    EXPECT_EQ(RunAndWait(Tool(), L"/Unregister " + ini_), 1u);
    for (const wchar_t* key : {L"Korvane mp3 File", L"Korvane wav File"}) EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, key));
    for (REGSAM view : kBothViews) EXPECT_EQ(Snapshot(HKEY_LOCAL_MACHINE, kCapability, view), L"[" + kCapability + L"]\n");
    EXPECT_EQ(GetString(HKEY_CLASSES_ROOT, kAudioCommand, L"Before Korvane"), otherCd);
    const std::wstring after = PlayersState();
    EXPECT_EQ(RunAndWait(Tool(), L"/Unregister"), 1u);
    EXPECT_EQ(PlayersState(), after);
}

TEST_F(InstalledTool, RegisterRunEndedEarlyChangesNoAssociation)
{
    const std::wstring before = PlayersState();
    PROCESS_INFORMATION tool;
    HWND main = Start(tool);
    ASSERT_NE(main, nullptr);
    Press(main, IDC_EXEC_OPEN);
    Press(main, IDC_OK_AND_LEAVE);  // save and close
    EXPECT_EQ(WaitExit(tool), 2u);
    EXPECT_EQ(IniString(folder_.File(L"Korvane.ini"), L"Preference", L"ExecMethod"), L"3");

    // Back to the main dialog and on again: the file types dialog returns;
    // cancelled there, nothing is stored.
    auto answer = [&](HWND dialog, int button, int next) {
        Press(dialog, button);
        return WaitForDialog(tool.dwProcessId, next);
    };
    ASSERT_NE(main = Start(tool), nullptr);
    HWND types = answer(main, IDOK, kFileTypesDialogMark);
    ASSERT_NE(types, nullptr);
    ASSERT_NE(main = answer(types, IDC_TYPES_BACK, kMainDialogMark), nullptr);
    ASSERT_NE(types = answer(main, IDOK, kFileTypesDialogMark), nullptr);
    HWND question = answer(types, IDCANCEL, kMessageBoxMark);
    ASSERT_NE(question, nullptr);
    Press(question, IDYES);
    EXPECT_EQ(WaitExit(tool), 0u);
    EXPECT_EQ(IniString(folder_.File(L"Korvane.ini"), L"RegisterdExtensions", L"Extensions"), kMissing) << "types not stored";
    EXPECT_EQ(PlayersState(), before);
}

} // namespace
