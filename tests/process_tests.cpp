// The installed tool as the player starts it: a separate process whose exit
// code is the answer, answered through its dialogs where it shows them.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include <shlobj.h>

#include "associate/default_apps.h"
#include "driver/dialog_driver.h"
#include "resource.h"
#include "support.h"

namespace {

std::wstring Tool() { return InstallDir() + L"\\KorvaneAssoc.exe"; }
std::wstring PlayersState() { return Snapshot(HKEY_LOCAL_MACHINE, L"Software\\Ostrafen") + Snapshot(HKEY_CLASSES_ROOT, L"AudioCD"); }

std::string Narrow(const std::wstring& text) { return std::string(text.begin(), text.end()); }  // ASCII paths

std::vector<std::string> LinesOf(const std::wstring& path)
{
    std::ifstream file{std::filesystem::path(path)};
    std::vector<std::string> lines;
    for (std::string line; std::getline(file, line);) lines.push_back(line.substr(0, line.find('\r')));
    return lines;
}

// What a stand-in program wrote down, a line per start: the desktop's shell
// starts it a moment after the tool asked it to.
std::vector<std::string> Launched(const std::wstring& log, size_t expected)
{
    for (int wait = 0; wait < 50 && LinesOf(log).size() < expected; ++wait) Sleep(100);
    Sleep(300);
    return LinesOf(log);
}

// The prefix's control.exe replaced by the stand-in for a test (Wine runs it
// through DllOverrides, which the fixture keeps aside).
struct ControlPanelStandIn {
    const std::wstring system = [] {
        wchar_t folder[MAX_PATH] = L"";
        GetSystemDirectoryW(folder, MAX_PATH);
        return std::wstring(folder);
    }();
    const std::wstring control = system + L"\\control.exe", kept = system + L"\\control.kept", log = system + L"\\Tovrix.log",
                       folders = system + L"\\Tovrix.folder.log";
    ControlPanelStandIn()
    {
        CopyFileW(control.c_str(), kept.c_str(), FALSE);
        CopyFileW((InstallDir() + L"\\Tovrix.exe").c_str(), control.c_str(), FALSE);
        PutString(HKEY_CURRENT_USER, L"Software\\Wine\\DllOverrides", L"control.exe", L"native");
        DeleteFileW(log.c_str());
        DeleteFileW(folders.c_str());
    }
    ~ControlPanelStandIn()
    {
        CopyFileW(kept.c_str(), control.c_str(), FALSE);
        for (const std::wstring& file : {kept, log, folders}) DeleteFileW(file.c_str());
    }
};

class InstalledTool : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_FALSE(InstallDir().empty()) << "KORVANE_INSTALL_DIR is not set";
        keys_.AddPlayersKeys({L"mp3", L"wav"});
        // Windows 10, as Wine tells a program whose manifest names it, and a
        // stand-in for the Settings app that writes down the link it gets.
        keys_.Add(HKEY_CURRENT_USER, L"Software\\Wine", 0, true);
        PutString(HKEY_CURRENT_USER, L"Software\\Wine", L"Version", L"win10");
        keys_.Add(HKEY_CLASSES_ROOT, L"ms-settings");
        CreateDirectoryW(folder_.File(L"settings").c_str(), nullptr);
        CopyFileW((InstallDir() + L"\\Tovrix.exe").c_str(), settingsApp_.c_str(), FALSE);
        PutString(HKEY_CLASSES_ROOT, L"ms-settings", L"URL Protocol", L"");
        PutString(HKEY_CLASSES_ROOT, L"ms-settings\\shell\\open\\command", nullptr, L"\"" + settingsApp_ + L"\" \"%1\"");
    }
    std::vector<std::string> SettingsAppLaunched(size_t expected) { return Launched(folder_.File(L"settings\\Tovrix.log"), expected); }
    // Starts "/Register" and waits for its main dialog.
    HWND Start(PROCESS_INFORMATION& tool)
    {
        tool = StartProcess(Tool(), L"/Register " + ini_);
        return WaitForDialog(tool.dwProcessId, kMainDialogMark);
    }
    PreservedKeys keys_;
    TempFolder folder_;
    const std::wstring ini_ = L"\"" + folder_.File(L"Korvane.ini") + L"\"";
    const std::wstring settingsApp_ = folder_.File(L"settings\\Tovrix.exe");
};

// Command lines the tool must not act on, each answered with its exit code and without a window (a dialog would keep it
// open until WaitExit gives up): nothing is read, made or written. The player may be anyone's, and the prompt that
// elevates it looks the same whatever it passes.
TEST_F(InstalledTool, ExitCodesWithoutDialogs)
{
    const DWORD bad = static_cast<DWORD>(-1), silentBad = 87;
    wchar_t startUp[MAX_PATH] = L"";
    SHGetFolderPathW(nullptr, CSIDL_COMMON_STARTUP | CSIDL_FLAG_CREATE, nullptr, SHGFP_TYPE_CURRENT, startUp);
    const std::wstring script = std::wstring(startUp) + L"\\korvane.cmd", ini = folder_.File(L"Korvane.ini");
    // On the test share, a settings file that would register a type of its own if it were read.
    const std::wstring shared = BesideTests(L"testdata-remote\\Korvane.ini");
    WriteTextFile(shared, L"[RegisterdExtensions]\r\nExtensions=kvshare;\r\n");
    const struct { std::wstring arguments; DWORD exitCode; } cases[] = {
        {L"", bad}, {L"/TopMost", bad}, {ini_, bad},
        // A word that looks like a switch and is none, a second path: never a dialog nobody can answer.
        {L"/Register -Silent " + ini_, bad}, {L"/Register /Slient " + ini_, bad}, {L"/Register " + ini_ + L" extra", bad},
        {L"/Register /Silent /Quiet " + ini_, silentBad}, {L"/Silent " + ini_, silentBad},
        // Settings files that are not the player's: a script every user runs at sign-in, a share (asked
        // for the machine's credentials), a stream.
        {L"/Register \"" + script + L"\"", bad}, {L"/Unregister \"" + script + L"\"", bad},
        {L"/Register /Silent \\\\192.0.2.1\\share\\Korvane.ini", silentBad}, {L"/Register \"" + ini + L":hidden.ini\"", bad},
        {L"/unregister " + ini_, 1}, {L"/Register /Unregister /TopMost " + ini_, 1},
    };
    const std::wstring before = PlayersState() + Snapshot(HKEY_CLASSES_ROOT, L".mp3");  // a bad command line changes nothing
    for (const auto& c : cases) EXPECT_EQ(WaitExit(StartProcess(Tool(), c.arguments)), c.exitCode) << testing::PrintToString(c.arguments);
    EXPECT_EQ(PlayersState() + Snapshot(HKEY_CLASSES_ROOT, L".mp3"), before);
    for (const std::wstring& file : {ini, script, ini + L":hidden.ini"})
        EXPECT_EQ(GetFileAttributesW(file.c_str()), INVALID_FILE_ATTRIBUTES) << testing::PrintToString(file) << " made";
    EXPECT_TRUE(SettingsAppLaunched(0).empty()) << "/Unregister never opens Windows' default apps";
    DeleteFileW(shared.c_str());
}

// A dialog run where nobody sees its windows (a service's window station,
// session 0) ends at once, as a bad command line does.
TEST_F(InstalledTool, NoDialogWhereNobodySeesIt)
{
    HWINSTA own = GetProcessWindowStation(), hidden = CreateWindowStationW(L"KorvaneHidden", 0, WINSTA_ALL_ACCESS, nullptr);
    ASSERT_NE(hidden, nullptr);
    SetProcessWindowStation(hidden);
    HDESK desktop = CreateDesktopW(L"Default", nullptr, nullptr, 0, GENERIC_ALL, nullptr);
    SetProcessWindowStation(own);
    ASSERT_NE(desktop, nullptr);
    STARTUPINFOW startup{sizeof(startup)};
    startup.lpDesktop = const_cast<wchar_t*>(L"KorvaneHidden\\Default");
    std::wstring commandLine = L"\"" + Tool() + L"\" /Register " + ini_;
    PROCESS_INFORMATION tool{};
    ASSERT_TRUE(CreateProcessW(Tool().c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &tool));
    EXPECT_EQ(WaitExit(tool), static_cast<DWORD>(-1));
    EXPECT_EQ(GetFileAttributesW(folder_.File(L"Korvane.ini").c_str()), INVALID_FILE_ATTRIBUTES) << "nothing saved";
    CloseDesktop(desktop);
    CloseWindowStation(hidden);
}

TEST_F(InstalledTool, RegisterRunAnsweredThroughItsDialogs)
{
    const std::wstring otherCd = L"\"C:\\Other\\cd.exe\" \"%L\"", ini = folder_.File(L"Korvane.ini");
    PutString(HKEY_CLASSES_ROOT, kAudioCommand, nullptr, otherCd);
    // What an older folder verb may have left: written over, neither stays
    // (one hides the verb from the menu, the other runs instead of the command).
    PutString(HKEY_CLASSES_ROOT, L"Folder\\shell\\KorvaneOpen", L"Extended", L"");
    PutString(HKEY_CLASSES_ROOT, L"Folder\\shell\\KorvaneOpen\\command", L"DelegateExecute", L"{00000000-0000-0000-0000-00000000000b}");
    PROCESS_INFORMATION tool = StartProcess(Tool(), L"/Register /TopMost " + ini_);
    RegistrationScript script;
    script.tick = {L"mp", L"wa"};
    script.audioCd = script.folder = true;
    // Beyond the ANSI code page of either language: the settings file turns into UTF-16 to hold it.
    script.description = L"Korvane MPEG サウンド 中文 Ελληνικά 😀";
    EXPECT_TRUE(DriveRegistration(tool.dwProcessId, script));
    ASSERT_EQ(WaitExit(tool), 1u);
    // Nothing was ticked yet, so the box to choose the player in Windows'
    // default apps was: the Settings app shows the player's own page.
    EXPECT_EQ(SettingsAppLaunched(1), std::vector<std::string>{"\"" + Narrow(settingsApp_) +
                                                               "\" \"ms-settings:defaultapps?registeredAppMachine=Korvane%20Player\""});
    EXPECT_EQ(IniString(ini, L"mp3", L"Description"), script.description);
    EXPECT_EQ(std::ifstream(std::filesystem::path(ini)).get(), 0xFF) << "a byte-order mark";

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
        {L"Korvane mp3 File", script.description},
        {L"Korvane wav File", japanese ? L"Korvane WAVE サウンド" : L"Korvane WAVE Sound"},
        {L"Korvane mp3 File\\shell\\Open", japanese ? L"Korvane Player で開く(&O)" : L"&Open with Korvane Player"},
        {L"Folder\\shell\\KorvaneOpen", japanese ? L"Korvane Player で再生(&K)" : L"Play in &Korvane Player"},
        {L"Korvane wav File\\shell\\Open\\Command", client + L"\"/addopen\" \"%1\" \"/play\""},
        {kAudioCommand, client + L"\"/open\" \"%L\" \"/play\""},
    };
    for (const auto& c : classes) EXPECT_EQ(GetString(HKEY_CLASSES_ROOT, c.key, nullptr), c.value) << c.key;
    EXPECT_EQ(GetString(HKEY_CLASSES_ROOT, kAudioCommand, L"Before Korvane"), otherCd);
    EXPECT_EQ(GetString(HKEY_CLASSES_ROOT, L"Folder\\shell\\KorvaneOpen", L"Extended") +
                  GetString(HKEY_CLASSES_ROOT, L"Folder\\shell\\KorvaneOpen\\command", L"DelegateExecute"),
              std::wstring(kMissing) + kMissing);
    // Every type of the dialog is stored, in the order the dialog showed them.
    EXPECT_EQ(IniString(ini, L"RegisterdExtensions", L"Extensions"), L"ape;cda;flac;m3u;m3u16;m3u8;mp3;ogg;wav;wma;");
    const std::pair<const wchar_t*, const wchar_t*> builtInIcons[] = {
        {L"wav", L"-109"}, {L"mp3", L"-107"}, {L"ogg", L"-108"}, {L"wma", L"-110"}, {L"ape", L"-102"},
        {L"flac", L"-104"}, {L"cda", L"-103"}, {L"m3u", L"-105"}, {L"m3u16", L"-105"}, {L"m3u8", L"-105"},
    };
    for (auto [type, id] : builtInIcons) EXPECT_EQ(IniString(ini, type, L"IconId"), id) << type;


    // Windows 7 (Wine's own default): its Default Programs page, by the system folder's control.exe started there,
    // through the desktop's shell. The user unticks wav there: a silent run later leaves it so, and registers what is
    // ticked.
    PutString(HKEY_CURRENT_USER, L"Software\\Wine", L"Version", L"win7");
    ControlPanelStandIn controlPanel;
    tool = StartProcess(Tool(), L"/Register " + ini_);
    RegistrationScript untickWav;
    untickWav.untick = {L"wa"};
    EXPECT_TRUE(DriveRegistration(tool.dwProcessId, untickWav));
    EXPECT_EQ(WaitExit(tool), 1u);
    DeleteTree(HKEY_CLASSES_ROOT, L"Korvane mp3 File", 0);
    EXPECT_EQ(WaitExit(StartProcess(Tool(), L"/Register /Silent " + ini_)), 0u);
    EXPECT_EQ(Snapshot(HKEY_LOCAL_MACHINE, kCapability), record.substr(0, record.find(L"  \".wav\""))) << "mp3 alone";
    const std::vector<std::string> page{"\"" + Narrow(controlPanel.system) + "\\control.exe\" /name Microsoft.DefaultPrograms "
                                        "/page pageDefaultProgram\\pageAdvancedSettings?pszAppName=Korvane%20Player"};
    EXPECT_EQ(Launched(controlPanel.log, 1), page);
    EXPECT_EQ(LinesOf(controlPanel.folders), std::vector<std::string>{Narrow(controlPanel.system)});
    // Where no desktop shell answers, nothing opens: nothing is launched from the elevated process itself.
    OpenDefaultAppsPage([](const std::wstring&, const std::wstring&, const std::wstring&) { return false; });
    EXPECT_EQ(Launched(controlPanel.log, 1), page);
    EXPECT_EQ(SettingsAppLaunched(1).size(), 1u);
}

TEST_F(InstalledTool, RegisterRunEndedEarlyChangesNoAssociation)
{
    const std::wstring before = PlayersState();
    // Named bare, the settings file is the one in the current folder, for
    // the profile functions (which would look in the Windows folder) too.
    PROCESS_INFORMATION tool = StartProcess(Tool(), L"/Register Korvane.ini", nullptr, nullptr, folder_.path().c_str());
    HWND main = WaitForDialog(tool.dwProcessId, kMainDialogMark);
    ASSERT_NE(main, nullptr);
    Press(main, IDC_EXEC_OPEN);
    Press(main, IDC_OK_AND_LEAVE);  // save and close
    EXPECT_EQ(WaitExit(tool), 2u);
    EXPECT_EQ(IniString(folder_.File(L"Korvane.ini"), L"Preference", L"ExecMethod"), L"3");
    wchar_t windows[MAX_PATH];
    GetWindowsDirectoryW(windows, MAX_PATH);
    EXPECT_EQ(GetFileAttributesW((windows + std::wstring(L"\\Korvane.ini")).c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(std::ifstream(std::filesystem::path(folder_.File(L"Korvane.ini"))).get(), '[') << "plain text stays in the code page";

    // Back to the main dialog and on again: the file types dialog returns; cancelled there, nothing is stored.
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
    EXPECT_TRUE(SettingsAppLaunched(0).empty()) << "Save and Close, Back and Cancel never open Windows' default apps";
}

} // namespace
