// "/Register /Silent" in this process, as a deployment tool runs it: the exit code it answers, the log and the event it
// leaves, and which types it registers, from settings files as administrators and dialog runs write them.
#include <gtest/gtest.h>

#include <windows.h>
#include <sddl.h>

#include <memory>

#include "app/texts.h"
#include "associate/applier.h"
#include "associate/verbs.h"
#include "catalogue/discovery.h"
#include "command_line/command_line.h"
#include "deploy/run_log.h"
#include "deploy/silent_registration.h"
#include "support.h"

namespace {

const wchar_t* const kTypes[] = {L"kvd1", L"kvd2", L"kvd3"};

std::vector<std::wstring> Events;

// A key no one may write values or keys into, as the registry of a run without administrator rights is; writable again
// when it goes.
struct UnwritableKey {
    std::wstring key;
    explicit UnwritableKey(const std::wstring& name) : key(name) { Protect(L"D:(D;;0x6;;;WD)(A;;KA;;;WD)"); }
    ~UnwritableKey() { Protect(L"D:(A;;KA;;;WD)"); }
    void Protect(const wchar_t* sddl)
    {
        PSECURITY_DESCRIPTOR security = nullptr;
        ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl, SDDL_REVISION_1, &security, nullptr);
        TestKey handle{HKEY_CLASSES_ROOT, key, WRITE_DAC, true};
        EXPECT_EQ(RegSetKeySecurity(handle.handle, DACL_SECURITY_INFORMATION, security), ERROR_SUCCESS);
        LocalFree(security);
    }
};

class Deployment : public testing::Test {
protected:
    void SetUp() override
    {
        StartUpLikeTheTool();
        keys_.AddPlayersKeys({std::begin(kTypes), std::end(kTypes)});
        g_reportEvent = [](WORD type, DWORD id, const std::wstring& text) {
            Events.push_back(std::to_wstring(type) + L" " + std::to_wstring(id) + L" " + text);
            return true;
        };
        Events.clear();
    }
    void TearDown() override { g_reportEvent = ReportToEventLog; }
    // The run's exit code, and the log it leaves.
    int Run(const std::wstring& arguments, std::wstring& log)
    {
        DeleteFileW(log_.c_str());
        const int exitCode = RunSilentRegistration(ReadCommandLine((L"KorvaneAssoc.exe " + arguments).c_str()));
        const std::vector<BYTE> bytes = FileBytes(log_);
        EXPECT_TRUE(bytes.size() > 3 && bytes[0] == 0xEF && bytes[1] == 0xBB && bytes[2] == 0xBF) << "UTF-8 with its mark";
        log = bytes.size() > 3 ? std::wstring(bytes.begin() + 3, bytes.end()) : L"";  // ASCII in these cases
        return exitCode;
    }
    ProcessStateGuard guard_;
    PreservedKeys keys_;
    TempFolder folder_;
    const std::wstring ini_ = folder_.File(L"Korvane.ini"), log_ = folder_.File(L"deploy.log");
};

std::wstring Registered()
{
    std::wstring names;
    for (const wchar_t* type : kTypes) {
        FileTypeEntry entry(type);
        if (IsTypeAssociated(entry)) names += std::wstring(type) + L";";
    }
    return names;
}

TEST_F(Deployment, AnswersWithCodesADeploymentToolKnowsAndLogsEveryTypeItReadsSkipsWritesOrFails)
{
    const std::wstring logged = L"/Log \"" + log_ + L"\" ";
    const struct {
        const char* name;
        std::wstring settings;  // empty: no settings file
        std::wstring arguments;
        int exitCode;
        std::wstring registered;
        std::vector<std::wstring> lines;  // the start of lines of the log
    } cases[] = {
        {"a switch mistyped", L"[RegisterdExtensions]\r\nExtensions=kvd1;\r\n", L"/Register /Silent /Slient " + logged + L"Korvane.ini", 87, L"",
         {L"Bad command line: a switch the tool does not know: /Slient"}},
        {"no registration asked for", L"[RegisterdExtensions]\r\nExtensions=kvd1;\r\n", L"/Silent /Unregister " + logged + L"Korvane.ini", 87, L"",
         {L"Exit code: 87 (a bad command line)"}},
        {"no settings file", L"", L"/Register /Silent " + logged + L"Korvane.ini", 2, L"",
         {L"Exit code: 2 (the settings file is not there or cannot be read)"}},
        {"a list as a person writes it: blanks, a type Windows runs, no last \";\", a control character",
         L"[RegisterdExtensions]\r\nExtensions= kvd1 ;exe;\tkvd3\r\n[kvd1]\r\nDescription=two\x1bparts\r\n",
         L"/Register /Silent " + logged + L"Korvane.ini", 0, L"kvd1;kvd3;",
         {L"Listed: .kvd1 \"two<U+001B>parts\"", L"Skipped: .exe (Windows runs files of this type)",
          L"Registered: every listed type (no dialog run has written this file), and those registered now",
          L"Exit code: 0 (every type the run was to register is registered)"}},
        {"a type the user left unticked in the dialogs", L"[RegisterdExtensions]\r\nExtensions=kvd1;kvd2;\r\nTicked=kvd2;kvd9;\r\n",
         L"/Register /Silent " + logged + L"Korvane.ini", 0, L"kvd2;",
         {L"Skipped: .kvd9 (ticked, but described nowhere: not listed, not built in)"}},
        {"a dialog run stopped while it took an unticked type away", L"[RegisterdExtensions]\r\nExtensions=kvd1;kvd2;\r\nTicked=kvd2;\r\n",
         L"/Register /Silent " + logged + L"Korvane.ini", 0, L"kvd2;", {}},
        {"a run stopped while it added a type this file does not list", L"[RegisterdExtensions]\r\nExtensions=kvd2;\r\nTicked=kvd2;\r\n",
         L"/Register /Silent " + logged + L"Korvane.ini", 0, L"kvd1;kvd2;", {}},
        {"the registry refuses a write", L"[RegisterdExtensions]\r\nExtensions=kvd1;kvd2;\r\n", L"/Register /Silent " + logged + L"Korvane.ini", 5,
         L"kvd2;", {L"Failed: .kvd1 (error 5: "}},
        {"a client path no command holds", L"[RegisterdExtensions]\r\nExtensions=kvd1;\r\n", L"/Register /Silent " + logged + L"Korvane.ini", 1603,
         L"", {L"Failed: .kvd1 (error 206: "}},
    };
    SetCurrentDirectoryW(folder_.path().c_str());
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        DeleteFileW(ini_.c_str());
        if (!c.settings.empty()) WriteTextFile(ini_, c.settings);
        std::unique_ptr<UnwritableKey> unwritable;
        if (c.exitCode == 5) unwritable = std::make_unique<UnwritableKey>(ProgId(L"kvd1"));
        const std::wstring client = clientExePathBuffer;
        if (c.exitCode == 1603) wcscpy_s(clientExePathBuffer, kPathChars, (L"C:\\" + std::wstring(1015, L'c')).c_str());
        if (std::string(c.name).find("stopped") != std::string::npos) {  // both whole, .kvd1 named as on its way out
            associationContext.openCommand = OpenCommandForExecMethod(associationContext.execMethod);
            const FileTypeList both{FileTypeEntry(L"kvd1", L"", L"", 0, FT_ASSOCIATED), FileTypeEntry(L"kvd2", L"", L"", 0, FT_ASSOCIATED)};
            ApplyAssociations({}, both, &associationContext);
            ASSERT_EQ(RegSetKeyValueW(HKEY_LOCAL_MACHINE, L"Software\\Ostrafen\\Korvane Player", L"Unfinished", REG_SZ, L".kvd1", 12), ERROR_SUCCESS);
        }
        Events.clear();
        const std::vector<BYTE> settings = FileBytes(ini_);
        std::wstring log;
        EXPECT_EQ(Run(c.arguments, log), c.exitCode);
        EXPECT_EQ(FileBytes(ini_), settings) << "a silent run never writes the settings file";
        unwritable.reset();
        wcscpy_s(clientExePathBuffer, kPathChars, client.c_str());
        EXPECT_EQ(Registered(), c.registered);
        for (const std::wstring& line : c.lines) EXPECT_NE(log.find(L"\r\n" + line), std::wstring::npos) << line << "\n" << testing::PrintToString(log);
        EXPECT_EQ(log.rfind(L"==== ", 0), 0u);
        ASSERT_EQ(Events.size(), 1u) << "one event a run";
        EXPECT_EQ(Events[0].rfind(std::to_wstring(c.exitCode ? EVENTLOG_ERROR_TYPE : EVENTLOG_INFORMATION_TYPE) + L" " +
                                  std::to_wstring(c.exitCode ? kEventRunFailed : kEventRunSucceeded), 0), 0u) << Events[0];
        EXPECT_NE(Events[0].find(L"Exit code " + std::to_wstring(c.exitCode)), std::wstring::npos) << Events[0];
        // The log tells what the registry shows: a "Written" line for every type registered now and for no other, the
        // settings file as found, as many lines as the event counts; the exit code closes it.
        std::wstring written;
        for (const wchar_t* type : kTypes)
            if (log.find(L"\r\nWritten: ." + std::wstring(type) + L"\r\n") != std::wstring::npos) written += std::wstring(type) + L";";
        EXPECT_EQ(written, c.registered) << testing::PrintToString(log);
        const auto count = [&](const std::wstring& start, size_t n = 0, size_t at = 0) {
            for (; (at = log.find(L"\r\n" + start, at) + 1) != 0; ++n) {}
            return std::to_wstring(n);
        };
        const std::wstring counts = L" " + count(L"Written: ") + L" written, " + count(L"Failed: ") + L" failed, ";
        EXPECT_EQ(Events[0].find(counts) != std::wstring::npos, c.exitCode != 87 && c.exitCode != 2) << Events[0];
        EXPECT_EQ(count(L"Settings file: " + ini_ + (c.settings.empty() ? L" (missing)\r\n" : L" (found)\r\n")), c.exitCode == 87 ? L"0" : L"1");
        const size_t end = log.rfind(L"\r\nExit code: " + std::to_wstring(c.exitCode) + L" (");
        EXPECT_EQ(end == std::wstring::npos ? end : log.find(L"\r\n", end + 2), log.size() - 4) << testing::PrintToString(log);
        FileTypeList current;  // the next case starts with nothing of the player's
        DiscoverAssociatedTypes(current);
        ApplyAssociations(current, {}, &associationContext);
    }
    SetCurrentDirectoryW(BesideTests(L"").c_str());
}

} // namespace
