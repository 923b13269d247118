// The installed tool as the player starts it: a separate process whose exit
// code is the answer, answered through its dialogs where it shows them.
#include <gtest/gtest.h>

#include <algorithm>

#include "driver/dialog_driver.h"
#include "support.h"

namespace {

const std::wstring kCapability = L"Software\\Ostrafen\\Korvane Player\\Capabilities\\FileAssociations";
const std::wstring kAudioCommand = L"AudioCD\\shell\\play\\command";

std::wstring Tool() { return InstallDir() + L"\\KorvaneAssoc.exe"; }
std::wstring Quoted(const std::wstring& path) { return L"\"" + path + L"\""; }

// Every key a run of the tool may touch, kept aside and put back.
class InstalledTool : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_FALSE(InstallDir().empty()) << "KORVANE_INSTALL_DIR is not set";
        for (REGSAM view : {KEY_WOW64_64KEY, KEY_WOW64_32KEY}) {
            trees_.Add(HKEY_LOCAL_MACHINE, L"Software\\Ostrafen", view);
            trees_.Add(HKEY_LOCAL_MACHINE, L"Software\\RegisteredApplications", view);
        }
        for (const wchar_t* key : {L"AudioCD", L"Folder\\shell\\KorvaneOpen", L".mp3", L".wav",
                                   L"Korvane mp3 File", L"Korvane wav File"})
            trees_.Add(HKEY_CLASSES_ROOT, key);
    }
    std::wstring Ini() const { return folder_.File(L"Korvane.ini"); }
    PreservedTrees trees_;
    TempFolder folder_;
};

TEST_F(InstalledTool, ExitCodesWithoutDialogs)
{
    const struct { std::wstring arguments; DWORD exitCode; } cases[] = {
        {L"", static_cast<DWORD>(-1)}, {L"/TopMost", static_cast<DWORD>(-1)}, {Quoted(Ini()), static_cast<DWORD>(-1)},
        {L"/unregister " + Quoted(Ini()), 1}, {L"/Register /Unregister /TopMost " + Quoted(Ini()), 1},
    };
    auto state = [] {
        return Snapshot(HKEY_LOCAL_MACHINE, L"Software\\Ostrafen") + Snapshot(HKEY_LOCAL_MACHINE, L"Software\\RegisteredApplications") +
               Snapshot(HKEY_CLASSES_ROOT, L"AudioCD") + Snapshot(HKEY_CLASSES_ROOT, L".mp3");
    };
    const std::wstring before = state();
    for (const auto& c : cases) EXPECT_EQ(RunAndWait(Tool(), c.arguments), c.exitCode) << testing::PrintToString(c.arguments);
    EXPECT_EQ(state(), before);
    EXPECT_EQ(GetFileAttributesW(Ini().c_str()), INVALID_FILE_ATTRIBUTES) << "no settings written";
}

TEST_F(InstalledTool, RegisterRunAnsweredThroughItsDialogs)
{
    const std::wstring otherCd = L"\"C:\\Other\\cd.exe\" \"%L\"";
    PutString(HKEY_CLASSES_ROOT, kAudioCommand, nullptr, otherCd);
    PROCESS_INFORMATION tool = StartProcess(Tool(), L"/Register /TopMost " + Quoted(Ini()));
    RegistrationScript script;
    script.tick = {L"mp", L"wa"};
    script.audioCd = true;
    script.folder = true;
    EXPECT_TRUE(DriveRegistration(tool.dwProcessId, script));
    ASSERT_EQ(WaitExit(tool), 1u);

    const std::wstring client = L"\"" + InstallDir() + L"\\Tovrix.exe\" ";
    for (REGSAM view : {KEY_WOW64_64KEY, KEY_WOW64_32KEY}) {
        EXPECT_EQ(Snapshot(HKEY_LOCAL_MACHINE, kCapability, view),
                  Snapshot(HKEY_LOCAL_MACHINE, kCapability, KEY_WOW64_64KEY));
        EXPECT_EQ(GetString(HKEY_LOCAL_MACHINE, kCapability, L".mp3", view), L"Korvane mp3 File");
        EXPECT_EQ(GetString(HKEY_LOCAL_MACHINE, kCapability, L".wav", view), L"Korvane wav File");
        EXPECT_EQ(GetString(HKEY_LOCAL_MACHINE, L"Software\\RegisteredApplications", L"Korvane Player", view),
                  L"Software\\Ostrafen\\Korvane Player\\Capabilities");
        EXPECT_EQ(GetString(HKEY_LOCAL_MACHINE, L"Software\\Ostrafen\\Korvane Player", L"LocalizedString", view), L"Korvane Player");
        for (const wchar_t* name : {L"ApplicationDescription", L"ApplicationName"})
            EXPECT_EQ(GetString(HKEY_LOCAL_MACHINE, L"Software\\Ostrafen\\Korvane Player\\Capabilities", name, view), L"Korvane Player");
    }
    const std::wstring record = Snapshot(HKEY_LOCAL_MACHINE, kCapability);  // the key and the two ticked types
    EXPECT_EQ(std::count(record.begin(), record.end(), L'\n'), 3);
    // The shell shows the names in the user's interface language (this test
    // runs once in English and once with a Japanese interface).
    const struct { const wchar_t* description; const wchar_t* open; const wchar_t* folder; } names[] = {
        {L"Korvane MPEG Layer-3 Sound", L"&Open with Korvane Player", L"Play in &Korvane Player"},
        {L"Korvane MPEG Layer-3 サウンド", L"Korvane Player で開く(&O)", L"Korvane Player で再生(&K)"},
    };
    const auto& shown = names[PRIMARYLANGID(GetUserDefaultUILanguage()) == LANG_JAPANESE ? 1 : 0];
    EXPECT_EQ(GetString(HKEY_CLASSES_ROOT, L"Korvane mp3 File", nullptr), shown.description);
    EXPECT_EQ(GetString(HKEY_CLASSES_ROOT, L"Korvane mp3 File\\shell\\Open", nullptr), shown.open);
    EXPECT_EQ(GetString(HKEY_CLASSES_ROOT, L"Folder\\shell\\KorvaneOpen", nullptr), shown.folder);
    EXPECT_EQ(GetString(HKEY_CLASSES_ROOT, L"Korvane wav File\\shell\\Open\\Command", nullptr),
              client + L"\"/addopen\" \"%1\" \"/play\"");
    EXPECT_EQ(GetString(HKEY_CLASSES_ROOT, kAudioCommand, nullptr), client + L"\"/open\" \"%L\" \"/play\"");
    EXPECT_EQ(GetString(HKEY_CLASSES_ROOT, kAudioCommand, L"Before Korvane"), otherCd);
    // Every type of the dialog is stored, in the order the dialog showed them.
    EXPECT_EQ(IniString(Ini(), L"RegisterdExtensions", L"Extensions"), L"ape;cda;flac;m3u;m3u16;m3u8;mp3;ogg;wav;wma;");
    const std::pair<const wchar_t*, const wchar_t*> builtInIcons[] = {
        {L"wav", L"-109"}, {L"mp3", L"-107"}, {L"ogg", L"-108"}, {L"wma", L"-110"}, {L"ape", L"-102"},
        {L"flac", L"-104"}, {L"cda", L"-103"}, {L"m3u", L"-105"}, {L"m3u16", L"-105"}, {L"m3u8", L"-105"},
    };
    for (auto [type, id] : builtInIcons) EXPECT_EQ(IniString(Ini(), type, L"IconId"), id) << type;

    // "/Unregister" removes the types, in both views, and leaves the
    // audio-CD handler; a second run finds nothing more to do.
    EXPECT_EQ(RunAndWait(Tool(), L"/Unregister " + Quoted(Ini())), 1u);
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, L"Korvane mp3 File"));
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, L"Korvane wav File"));
    for (REGSAM view : {KEY_WOW64_64KEY, KEY_WOW64_32KEY})
        EXPECT_EQ(Snapshot(HKEY_LOCAL_MACHINE, kCapability, view), L"[" + kCapability + L"]\n");
    EXPECT_EQ(GetString(HKEY_CLASSES_ROOT, kAudioCommand, L"Before Korvane"), otherCd);
    const std::wstring after = Snapshot(HKEY_LOCAL_MACHINE, L"Software\\Ostrafen") + Snapshot(HKEY_CLASSES_ROOT, L"AudioCD");
    EXPECT_EQ(RunAndWait(Tool(), L"/Unregister"), 1u);
    EXPECT_EQ(Snapshot(HKEY_LOCAL_MACHINE, L"Software\\Ostrafen") + Snapshot(HKEY_CLASSES_ROOT, L"AudioCD"), after);
}

TEST_F(InstalledTool, RegisterRunEndedEarlyChangesNoAssociation)
{
    const std::wstring before = Snapshot(HKEY_LOCAL_MACHINE, L"Software\\Ostrafen") + Snapshot(HKEY_CLASSES_ROOT, L"AudioCD");
    PROCESS_INFORMATION tool = StartProcess(Tool(), L"/Register " + Quoted(Ini()));
    HWND main = WaitForDialog(tool.dwProcessId, kMainDialogMark);
    ASSERT_NE(main, nullptr);
    Press(main, 1016);  // "replace the playlist" method
    Press(main, 1348);  // save and close
    EXPECT_EQ(WaitExit(tool), 2u);
    EXPECT_EQ(IniString(Ini(), L"Preference", L"ExecMethod"), L"3");

    tool = StartProcess(Tool(), L"/Register " + Quoted(Ini()));
    main = WaitForDialog(tool.dwProcessId, kMainDialogMark);
    ASSERT_NE(main, nullptr);
    Press(main, IDOK);
    HWND types = WaitForDialog(tool.dwProcessId, kFileTypesDialogMark);
    ASSERT_NE(types, nullptr);
    // Back to the main dialog and on again: the file types dialog returns.
    Press(types, 1348);
    main = WaitForDialog(tool.dwProcessId, kMainDialogMark);
    ASSERT_NE(main, nullptr);
    Press(main, IDOK);
    types = WaitForDialog(tool.dwProcessId, kFileTypesDialogMark);
    ASSERT_NE(types, nullptr);
    Press(types, IDCANCEL);
    HWND question = WaitForDialog(tool.dwProcessId, kMessageBoxMark);
    ASSERT_NE(question, nullptr);
    Press(question, IDYES);
    EXPECT_EQ(WaitExit(tool), 0u);
    EXPECT_EQ(IniString(Ini(), L"RegisterdExtensions", L"Extensions"), kMissing) << "types not stored";
    EXPECT_EQ(Snapshot(HKEY_LOCAL_MACHINE, L"Software\\Ostrafen") + Snapshot(HKEY_CLASSES_ROOT, L"AudioCD"), before);
}

// A type of the player as an earlier run leaves it: declared in both views,
// its class with an Open verb, its extension key taken over from "Other".
void SeedRegisteredType(const std::wstring& extension)
{
    const std::wstring progId = L"Korvane " + extension + L" File";
    for (REGSAM view : {KEY_WOW64_64KEY, KEY_WOW64_32KEY}) PutString(HKEY_LOCAL_MACHINE, kCapability, (L"." + extension).c_str(), progId, view);
    PutString(HKEY_CLASSES_ROOT, progId, nullptr, L"Healthy " + extension);
    PutString(HKEY_CLASSES_ROOT, progId + L"\\shell\\Open\\Command", nullptr, L"\"C:\\Old\\Tovrix.exe\" \"%1\"");
    PutString(HKEY_CLASSES_ROOT, L"." + extension, nullptr, progId);
    PutString(HKEY_CLASSES_ROOT, L"." + extension, L"Before Korvane", L"Other." + extension);
}

// Class data that older or damaged installations leave behind.
const struct {
    const wchar_t* extension;
    const wchar_t* value;  // below the class
    DWORD type;
    std::wstring data;
} kDamagedClasses[] = {
    {L"kvd1", L"DefaultIcon", REG_SZ, L"C:\\" + std::wstring(3000, L'i') + L",7"},
    {L"kvd2", nullptr, REG_SZ, std::wstring(5000, L'd')},
    {L"kvd3", L"DefaultIcon", REG_SZ, L",,,,"},
    {L"kvd4", nullptr, REG_DWORD, std::wstring(2, L'\x7')},
    {L"kvd5", nullptr, REG_SZ, L""},
};

void SeedDamagedType(const std::wstring& extension, const wchar_t* value, DWORD type, const std::wstring& data)
{
    SeedRegisteredType(extension);
    const std::wstring progId = L"Korvane " + extension + L" File";
    const std::wstring key = value ? progId + L"\\" + value : progId;
    const DWORD size = static_cast<DWORD>(type == REG_SZ ? (data.size() + 1) * sizeof(wchar_t) : sizeof(DWORD));
    PutValue(HKEY_CLASSES_ROOT, key, nullptr, type, data.c_str(), size);
}

class DamagedState : public InstalledTool {
protected:
    void SetUp() override
    {
        InstalledTool::SetUp();
        for (const wchar_t* extension : {L"kvh", L"kvd1", L"kvd2", L"kvd3", L"kvd4", L"kvd5"}) {
            trees_.Add(HKEY_CLASSES_ROOT, std::wstring(L".") + extension);
            trees_.Add(HKEY_CLASSES_ROOT, std::wstring(L"Korvane ") + extension + L" File");
        }
    }
    void ExpectGivenBack(const std::wstring& extension)
    {
        for (REGSAM view : {KEY_WOW64_64KEY, KEY_WOW64_32KEY})
            EXPECT_EQ(GetString(HKEY_LOCAL_MACHINE, kCapability, (L"." + extension).c_str(), view), kMissing) << extension;
        EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, L"Korvane " + extension + L" File")) << extension;
        EXPECT_EQ(GetString(HKEY_CLASSES_ROOT, L"." + extension, nullptr), L"Other." + extension);
        EXPECT_EQ(GetString(HKEY_CLASSES_ROOT, L"." + extension, L"Before Korvane"), kMissing) << extension;
    }
};

TEST_F(DamagedState, UnregisterRemovesADamagedTypeAndGoesOn)
{
    for (const auto& damaged : kDamagedClasses) {
        SeedRegisteredType(L"kvh");
        SeedDamagedType(damaged.extension, damaged.value, damaged.type, damaged.data);
        EXPECT_EQ(RunAndWait(Tool(), L"/Unregister " + Quoted(Ini())), 1u) << damaged.extension;
        ExpectGivenBack(L"kvh");
        ExpectGivenBack(damaged.extension);
    }
}

TEST_F(DamagedState, RegisterListsDamagedTypesBesideAHealthyOne)
{
    SeedRegisteredType(L"kvh");
    for (const auto& damaged : kDamagedClasses) SeedDamagedType(damaged.extension, damaged.value, damaged.type, damaged.data);
    PROCESS_INFORMATION tool = StartProcess(Tool(), L"/Register " + Quoted(Ini()));
    HWND main = WaitForDialog(tool.dwProcessId, kMainDialogMark);
    ASSERT_NE(main, nullptr);
    Press(main, IDOK);
    HWND types = WaitForDialog(tool.dwProcessId, kFileTypesDialogMark);
    ASSERT_NE(types, nullptr);
    HWND list = GetDlgItem(types, kFileTypesDialogMark);
    EXPECT_EQ(ItemCount(list), 10 + 1 + static_cast<int>(std::size(kDamagedClasses)));
    const int healthy = SelectByTyping(types, list, L"kvh");
    EXPECT_GE(healthy, 0);
    EXPECT_TRUE(ItemChecked(list, healthy));
    Press(types, IDOK);
    EXPECT_EQ(WaitExit(tool), 1u);
    EXPECT_EQ(GetString(HKEY_CLASSES_ROOT, L"Korvane kvh File", nullptr), L"Healthy kvh");
    EXPECT_EQ(GetString(HKEY_CLASSES_ROOT, L".kvh", nullptr), L"Other.kvh") << "the extension key is given back";
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, L"Korvane kvd1 File")) << "an icon path that cannot be written is refused";
    EXPECT_EQ(GetString(HKEY_LOCAL_MACHINE, kCapability, L".kvd1"), kMissing);
    EXPECT_EQ(GetString(HKEY_LOCAL_MACHINE, kCapability, L".kvd3"), L"Korvane kvd3 File");
}

} // namespace
