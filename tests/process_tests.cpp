// The installed tool as the player starts it: a separate process whose exit
// code is the answer.
#include <gtest/gtest.h>

#include <memory>

#include "app/settings.h"
#include "associate/applier.h"
#include "associate/verbs.h"
#include "driver/dialog_driver.h"
#include "support.h"

namespace {

const std::wstring kCapabilityKey = L"Software\\Ostrafen\\Korvane Player\\Capabilities\\FileAssociations";

std::wstring Tool() { return InstallDir() + L"\\KorvaneAssoc.exe"; }

TEST(InstalledTool, FourFilesLieSideBySide)
{
    ASSERT_FALSE(InstallDir().empty()) << "KORVANE_INSTALL_DIR is not set";
    for (const wchar_t* name : {L"KorvaneAssoc.exe", L"Zeltrane.dll", L"KorvaneRes.dll", L"Tovrix.exe"})
        EXPECT_NE(GetFileAttributesW((InstallDir() + L"\\" + name).c_str()), INVALID_FILE_ATTRIBUTES) << name;
}

TEST(InstalledTool, ExitCodesOfTheSwitches)
{
    TempFolder folder;
    const std::wstring ini = L"\"" + folder.File(L"settings.ini") + L"\"";
    PreservedTree player(HKEY_LOCAL_MACHINE, L"Software\\Ostrafen", KEY_WOW64_64KEY);
    struct { std::wstring arguments; DWORD exitCode; } cases[] = {
        {L"", static_cast<DWORD>(-1)},
        {L"/TopMost", static_cast<DWORD>(-1)},
        {ini, static_cast<DWORD>(-1)},
        {L"/unregister " + ini, 1},
        {L"/Register /Unregister /TopMost " + ini, 1},
    };
    for (const auto& c : cases)
        EXPECT_EQ(RunAndWait(Tool(), c.arguments), c.exitCode) << testing::PrintToString(c.arguments);
    // No run without "/Register" writes the settings file.
    EXPECT_EQ(GetFileAttributesW(folder.File(L"settings.ini").c_str()), INVALID_FILE_ATTRIBUTES);
}

// What a previous registration left, and what "/Unregister" must give back.
TEST(InstalledTool, UnregisterRemovesAPreviousRegistration)
{
    ProcessStateGuard guard;
    StartUpLikeTheTool();
    wcscpy_s(clientExePathBuffer, kPathChars, (InstallDir() + L"\\Tovrix.exe").c_str());
    LoadVerbDisplayNames();
    associationContext.openCommand = OpenCommandForExecMethod(2);
    PreservedTree player64(HKEY_LOCAL_MACHINE, L"Software\\Ostrafen", KEY_WOW64_64KEY);
    PreservedTree player32(HKEY_LOCAL_MACHINE, L"Software\\Ostrafen", KEY_WOW64_32KEY);
    PreservedTree audioCd(HKEY_CLASSES_ROOT, L"AudioCD");
    std::vector<std::unique_ptr<PreservedTree>> types;
    for (const wchar_t* e : {L"kvp1", L"kvp2"}) {
        types.push_back(std::make_unique<PreservedTree>(HKEY_CLASSES_ROOT, std::wstring(L".") + e));
        types.push_back(std::make_unique<PreservedTree>(HKEY_CLASSES_ROOT, std::wstring(L"Korvane ") + e + L" File"));
    }
    PutString(HKEY_CLASSES_ROOT, L".kvp1", nullptr, L"Other.Sound");
    PutString(HKEY_CLASSES_ROOT, L".kvp2", nullptr, L"Korvane kvp2 File");
    PutString(HKEY_CLASSES_ROOT, L".kvp2", L"Before Korvane", L"Older.Player");
    const FileTypeEntry audio(L"AudioCD", L"", L"", 0, FT_AUDIOCD | FT_ASSOCIATED);
    ApplyAssociations({}, {FileTypeEntry(L"kvp1", L"One", resourceModulePath, -109, FT_ASSOCIATED),
                           FileTypeEntry(L"kvp2", L"Two", resourceModulePath, -107, FT_ASSOCIATED), audio},
                      &associationContext);
    ASSERT_TRUE(KeyExists(HKEY_CLASSES_ROOT, L"Korvane kvp1 File"));
    const std::wstring audioBefore = Snapshot(HKEY_CLASSES_ROOT, L"AudioCD");

    TempFolder folder;
    EXPECT_EQ(RunAndWait(Tool(), L"/Unregister \"" + folder.File(L"settings.ini") + L"\""), 1u);

    for (REGSAM view : {KEY_WOW64_64KEY, KEY_WOW64_32KEY}) {
        EXPECT_EQ(GetString(HKEY_LOCAL_MACHINE, kCapabilityKey, L".kvp1", view), kMissing);
        EXPECT_EQ(GetString(HKEY_LOCAL_MACHINE, kCapabilityKey, L".kvp2", view), kMissing);
    }
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, L"Korvane kvp1 File"));
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, L"Korvane kvp2 File"));
    EXPECT_EQ(GetString(HKEY_CLASSES_ROOT, L".kvp1", nullptr), L"Other.Sound");
    EXPECT_EQ(GetString(HKEY_CLASSES_ROOT, L".kvp2", nullptr), L"Older.Player");
    // The audio-CD handler is not the unregister run's business.
    EXPECT_EQ(Snapshot(HKEY_CLASSES_ROOT, L"AudioCD"), audioBefore);

    // A second run finds nothing and changes nothing.
    const std::wstring after = Snapshot(HKEY_CLASSES_ROOT, L".kvp1") + Snapshot(HKEY_CLASSES_ROOT, L".kvp2") +
                               Snapshot(HKEY_LOCAL_MACHINE, L"Software\\Ostrafen");
    EXPECT_EQ(RunAndWait(Tool(), L"/Unregister"), 1u);
    EXPECT_EQ(Snapshot(HKEY_CLASSES_ROOT, L".kvp1") + Snapshot(HKEY_CLASSES_ROOT, L".kvp2") +
                  Snapshot(HKEY_LOCAL_MACHINE, L"Software\\Ostrafen"),
              after);
}

// The player's keys and the shell keys a registration run may touch, kept
// aside for a test and put back afterwards.
struct RegistrationSandbox {
    std::vector<std::unique_ptr<PreservedTree>> trees;
    RegistrationSandbox()
    {
        for (REGSAM view : {KEY_WOW64_64KEY, KEY_WOW64_32KEY}) {
            Keep(HKEY_LOCAL_MACHINE, L"Software\\Ostrafen", view);
            Keep(HKEY_LOCAL_MACHINE, L"Software\\RegisteredApplications", view);
        }
        for (const wchar_t* key : {L"AudioCD", L"Folder\\shell\\KorvaneOpen", L".mp3", L".wav", L"Korvane mp3 File",
                                   L"Korvane wav File"})
            Keep(HKEY_CLASSES_ROOT, key, 0);
    }
    void Keep(HKEY root, const wchar_t* key, REGSAM view)
    {
        trees.push_back(std::make_unique<PreservedTree>(root, key, view));
    }
};

TEST(InstalledTool, RegisterRunDrivenThroughItsDialogsAndUndone)
{
    RegistrationSandbox sandbox;
    const std::wstring otherCd = L"\"C:\\Other\\cd.exe\" \"%L\"";
    PutString(HKEY_CLASSES_ROOT, L"AudioCD\\shell\\play\\command", nullptr, otherCd);
    TempFolder folder;
    const std::wstring ini = folder.File(L"Korvane.ini");

    PROCESS_INFORMATION tool = StartProcess(Tool(), L"/Register /TopMost \"" + ini + L"\"");
    RegistrationScript script;
    script.tick = {L"mp", L"wa"};
    script.audioCd = true;
    const bool driven = DriveRegistration(tool.dwProcessId, script);
    EXPECT_EQ(WaitExit(tool), 1u);
    ASSERT_TRUE(driven);

    const std::wstring client = InstallDir() + L"\\Tovrix.exe";
    for (REGSAM view : {KEY_WOW64_64KEY, KEY_WOW64_32KEY}) {
        EXPECT_EQ(GetString(HKEY_LOCAL_MACHINE, kCapabilityKey, L".mp3", view), L"Korvane mp3 File");
        EXPECT_EQ(GetString(HKEY_LOCAL_MACHINE, kCapabilityKey, L".wav", view), L"Korvane wav File");
        EXPECT_EQ(GetString(HKEY_LOCAL_MACHINE, kCapabilityKey, L".ogg", view), kMissing);
        EXPECT_EQ(GetString(HKEY_LOCAL_MACHINE, L"Software\\RegisteredApplications", L"Korvane Player", view),
                  L"Software\\Ostrafen\\Korvane Player\\Capabilities");
        EXPECT_EQ(GetString(HKEY_LOCAL_MACHINE, L"Software\\Ostrafen\\Korvane Player", L"LocalizedString", view),
                  L"Korvane Player");
        for (const wchar_t* name : {L"ApplicationDescription", L"ApplicationName"})
            EXPECT_EQ(GetString(HKEY_LOCAL_MACHINE, L"Software\\Ostrafen\\Korvane Player\\Capabilities", name, view),
                      L"Korvane Player");
    }
    EXPECT_EQ(GetString(HKEY_CLASSES_ROOT, L"Korvane mp3 File", nullptr), L"Korvane MPEG Layer-3 Sound");
    EXPECT_EQ(GetString(HKEY_CLASSES_ROOT, L"Korvane wav File\\shell\\Open\\Command", nullptr),
              L"\"" + client + L"\" \"/addopen\" \"%1\" \"/play\"");
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, L"Korvane ogg File"));
    EXPECT_EQ(GetString(HKEY_CLASSES_ROOT, L"AudioCD\\shell\\play\\command", nullptr),
              L"\"" + client + L"\" \"/open\" \"%L\" \"/play\"");
    EXPECT_EQ(GetString(HKEY_CLASSES_ROOT, L"AudioCD\\shell\\play\\command", L"Before Korvane"), otherCd);
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, L"Folder\\shell\\KorvaneOpen"));
    // Every type of the dialog is stored, in the order the dialog showed them.
    EXPECT_EQ(IniString(ini, L"RegisterdExtensions", L"Extensions"),
              L"ape;cda;flac;m3u;m3u16;m3u8;mp3;ogg;wav;wma;");
    EXPECT_EQ(IniString(ini, L"mp3", L"IconId"), L"-107");
    EXPECT_EQ(IniString(ini, L"Preference", L"ExecMethod"), L"2");

    // Unregistering gives the types back and leaves the audio-CD handler.
    EXPECT_EQ(RunAndWait(Tool(), L"/Unregister \"" + ini + L"\""), 1u);
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, L"Korvane mp3 File"));
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, L"Korvane wav File"));
    EXPECT_EQ(GetString(HKEY_LOCAL_MACHINE, kCapabilityKey, L".mp3", KEY_WOW64_32KEY), kMissing);
    EXPECT_EQ(GetString(HKEY_CLASSES_ROOT, L"AudioCD\\shell\\play\\command", L"Before Korvane"), otherCd);
}

TEST(InstalledTool, RegisterRunEndsEarlyWithoutTouchingTheRegistry)
{
    RegistrationSandbox sandbox;
    TempFolder folder;
    const std::wstring ini = folder.File(L"Korvane.ini");
    const std::wstring before = Snapshot(HKEY_LOCAL_MACHINE, L"Software\\Ostrafen") +
                                Snapshot(HKEY_CLASSES_ROOT, L"Korvane mp3 File");

    // The main dialog's "save and close": settings saved, exit code 2.
    PROCESS_INFORMATION tool = StartProcess(Tool(), L"/Register \"" + ini + L"\"");
    HWND main = WaitForDialog(tool.dwProcessId, kMainDialogMark);
    ASSERT_NE(main, nullptr);
    Press(main, 1016);
    Press(main, 1348);
    EXPECT_EQ(WaitExit(tool), 2u);
    EXPECT_EQ(IniString(ini, L"Preference", L"ExecMethod"), L"3");

    // Cancel confirmed in the file types dialog: exit code 0, types not stored.
    tool = StartProcess(Tool(), L"/Register \"" + ini + L"\"");
    main = WaitForDialog(tool.dwProcessId, kMainDialogMark);
    ASSERT_NE(main, nullptr);
    Press(main, IDOK);
    HWND types = WaitForDialog(tool.dwProcessId, kFileTypesDialogMark);
    ASSERT_NE(types, nullptr);
    Press(types, IDCANCEL);
    HWND question = WaitForDialog(tool.dwProcessId, kMessageBoxMark);
    ASSERT_NE(question, nullptr);
    Press(question, IDYES);
    EXPECT_EQ(WaitExit(tool), 0u);
    EXPECT_EQ(IniString(ini, L"RegisterdExtensions", L"Extensions"), kMissing);
    EXPECT_EQ(Snapshot(HKEY_LOCAL_MACHINE, L"Software\\Ostrafen") + Snapshot(HKEY_CLASSES_ROOT, L"Korvane mp3 File"),
              before);
}

} // namespace
