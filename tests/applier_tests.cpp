// The applier against the real registry: what it writes, what it gives back,
// and that the verbs it writes really start the client in a shell.
#include <gtest/gtest.h>

#include <windows.h>
#include <shellapi.h>

#include <algorithm>

#include "app/settings.h"
#include "associate/applier.h"
#include "associate/verbs.h"
#include "catalogue/discovery.h"
#include "support.h"

namespace {

const std::wstring kCapability = L"Software\\Ostrafen\\Korvane Player\\Capabilities\\FileAssociations";
const std::wstring kAudioCommand = L"AudioCD\\shell\\play\\command";
const std::wstring kClient = L"\"C:\\Program Files\\Korvane Player\\Tovrix.exe\" ";
const wchar_t kBackup[] = L"Before Korvane";
const FileTypeEntry kAudioCd(L"AudioCD", L"", L"", 0, FT_AUDIOCD | FT_ASSOCIATED);
const FileTypeEntry kFolder(L"Folder", L"", L"", 0, FT_FOLDER | FT_ASSOCIATED);

FileTypeEntry Ticked(const wchar_t* extension)
{
    return FileTypeEntry(extension, std::wstring(L"Korvane ") + extension + L" sound", resourceModulePath, -109,
                         FT_ASSOCIATED);
}

class Applier : public testing::Test {
protected:
    void SetUp() override
    {
        StartUpLikeTheTool();
        wcscpy_s(clientExePathBuffer, kPathChars, L"C:\\Program Files\\Korvane Player\\Tovrix.exe");
        LoadVerbDisplayNames();
        associationContext.openCommand = OpenCommandForExecMethod(associationContext.execMethod);
        for (REGSAM view : {KEY_WOW64_64KEY, KEY_WOW64_32KEY}) trees_.Add(HKEY_LOCAL_MACHINE, L"Software\\Ostrafen", view);
        trees_.Add(HKEY_CLASSES_ROOT, L"AudioCD");
        trees_.Add(HKEY_CLASSES_ROOT, L"Folder\\shell\\KorvaneOpen");
        trees_.Add(HKEY_CLASSES_ROOT, L"Folder\\shell\\KvOtherVerb");
    }
    void OwnType(const std::wstring& extension)
    {
        trees_.Add(HKEY_CLASSES_ROOT, L"." + extension);
        trees_.Add(HKEY_CLASSES_ROOT, L"Korvane " + extension + L" File");
    }
    void Apply(const FileTypeList& remove, const FileTypeList& write) { ApplyAssociations(remove, write, &associationContext); }
    ProcessStateGuard guard_;
    PreservedTrees trees_;
};

TEST_F(Applier, VerbSwitchesAndExecutionMethodChooseTheVerbs)
{
    OwnType(L"kvv");
    // An older registration that claimed the extension key: writing gives
    // the owner in its backup back.
    PutString(HKEY_CLASSES_ROOT, L".kvv", nullptr, L"Korvane kvv File");
    PutString(HKEY_CLASSES_ROOT, L".kvv", kBackup, L"Older.Player");
    const struct { int switches; int method; std::vector<std::wstring> verbs; const wchar_t* openTail; } cases[] = {
        {0, 2, {L"Open"}, L"\"/addopen\" \"%1\" \"/play\""},
        {0xF, 4, {L"Add", L"Open", L"OpenCurrentFolder", L"OpenNew", L"Play"}, L"\"/addopenparent\" \"%1\" \"/play\""},
        {0x2, 0, {L"Add", L"Open"}, L"\"/dopen\" \"%1\" \"/play\""},
        {0x8, 3, {L"Open", L"OpenCurrentFolder"}, L"\"/open\" \"%1\" \"/play\""},
        {0x4, 1, {L"Open", L"OpenNew"}, L"\"/add\" \"%1\""},
        {0x1, 9, {L"Open", L"Play"}, L"\"/addopen\" \"%1\" \"/play\""},
    };
    for (const auto& c : cases) {
        AssociationContext& a = associationContext;
        a.addPlayChecked = c.switches & 1;
        a.addOnlyChecked = (c.switches >> 1) & 1;
        a.newPlayChecked = (c.switches >> 2) & 1;
        a.openParentChecked = (c.switches >> 3) & 1;
        a.openCommand = OpenCommandForExecMethod(c.method);
        // Removed and written again, as a registration run does: verbs
        // switched off since the previous round disappear.
        Apply({Ticked(L"kvv")}, {Ticked(L"kvv")});
        EXPECT_EQ(SubKeys(HKEY_CLASSES_ROOT, L"Korvane kvv File\\shell"), c.verbs) << "switches " << c.switches;
        EXPECT_EQ(GetString(HKEY_CLASSES_ROOT, L"Korvane kvv File\\shell\\Open\\Command", nullptr), kClient + c.openTail);
        for (REGSAM view : {KEY_WOW64_64KEY, KEY_WOW64_32KEY})
            EXPECT_EQ(GetString(HKEY_LOCAL_MACHINE, kCapability, L".kvv", view), L"Korvane kvv File");
    }
    EXPECT_EQ(GetString(HKEY_CLASSES_ROOT, L"Korvane kvv File\\shell\\Play", nullptr), L"&Play in Korvane Player");
    EXPECT_EQ(GetString(HKEY_CLASSES_ROOT, L".kvv", nullptr), L"Older.Player");
    EXPECT_EQ(GetString(HKEY_CLASSES_ROOT, L".kvv", kBackup), kMissing);
    // Removing does the same.
    PutString(HKEY_CLASSES_ROOT, L".kvv", nullptr, L"Korvane kvv File");
    PutString(HKEY_CLASSES_ROOT, L".kvv", kBackup, L"Oldest.Player");
    Apply({Ticked(L"kvv")}, {});
    EXPECT_EQ(GetString(HKEY_CLASSES_ROOT, L".kvv", nullptr), L"Oldest.Player");
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, L"Korvane kvv File"));
}

TEST_F(Applier, UntickedEntriesAreLeftAloneAndUnusableOnesRefused)
{
    OwnType(L"kvu");
    OwnType(L"kvu2");
    trees_.Add(HKEY_CLASSES_ROOT, L"Korvane kvu");
    Apply({}, {Ticked(L"kvu")});
    const std::wstring before = Snapshot(HKEY_CLASSES_ROOT, L"Korvane kvu File");
    FileTypeEntry unticked = Ticked(L"kvu");
    unticked.flags = 0;
    unticked.description = L"changed";
    FileTypeEntry longIcon = Ticked(L"kvu2");  // its DefaultIcon would not fit: no part of it is written
    longIcon.iconPath = L"C:\\" + std::wstring(1100, L'p') + L".dll";
    Apply({Ticked(L"kvu\\x")}, {unticked, Ticked(L"kvu\\x"), Ticked(L""), longIcon});
    EXPECT_EQ(Snapshot(HKEY_CLASSES_ROOT, L"Korvane kvu File"), before);
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, L"Korvane kvu"));
    EXPECT_EQ(GetString(HKEY_LOCAL_MACHINE, kCapability, L".kvu\\x"), kMissing);
    EXPECT_EQ(GetString(HKEY_LOCAL_MACHINE, kCapability, L".kvu2"), kMissing);
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, L"Korvane kvu2 File"));
}

TEST_F(Applier, AudioCdCommandOfAnotherProgramStaysInTheBackup)
{
    const wchar_t other[] = L"%ProgramFiles%\\Other\\cd.exe \"%L\"";
    PutValue(HKEY_CLASSES_ROOT, kAudioCommand, nullptr, REG_EXPAND_SZ, other, sizeof(other));
    Apply({}, {kAudioCd});
    EXPECT_EQ(GetString(HKEY_CLASSES_ROOT, kAudioCommand, nullptr), kClient + L"\"/open\" \"%L\" \"/play\"");
    Apply({kAudioCd}, {kAudioCd});  // a second registration run: still the other program's command
    EXPECT_EQ(GetString(HKEY_CLASSES_ROOT, kAudioCommand, kBackup), other);
    Apply({kAudioCd}, {});
    DWORD type = 0;
    std::vector<BYTE> bytes;
    ASSERT_TRUE(GetRaw(HKEY_CLASSES_ROOT, kAudioCommand, nullptr, type, bytes));
    EXPECT_EQ(type, static_cast<DWORD>(REG_EXPAND_SZ));
    EXPECT_EQ(GetString(HKEY_CLASSES_ROOT, kAudioCommand, nullptr), other);
    EXPECT_EQ(GetString(HKEY_CLASSES_ROOT, kAudioCommand, kBackup), kMissing);
}

TEST_F(Applier, AudioCdWithoutAnEarlierCommandIsTakenAwayAgain)
{
    Apply({}, {kAudioCd});  // nothing there before
    Apply({kAudioCd}, {});
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, kAudioCommand));
    EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, L"AudioCD\\shell\\play")) << "parent keys stay";

    PutString(HKEY_CLASSES_ROOT, kAudioCommand, L"Other", L"kept");  // a key without a command
    Apply({}, {kAudioCd});
    EXPECT_EQ(GetString(HKEY_CLASSES_ROOT, kAudioCommand, kBackup), L"");
    Apply({kAudioCd}, {});
    EXPECT_EQ(Snapshot(HKEY_CLASSES_ROOT, kAudioCommand),
              L"[AudioCD\\shell\\play\\command]\n  \"Other\" 1 107.0.101.0.112.0.116.0.0.0.\n");
}

TEST_F(Applier, NothingIsLostOverTwoRegistrationsAndARemoval)
{
    for (const wchar_t* e : {L"kvn1", L"kvn2", L"kvn3"}) OwnType(e);
    PutString(HKEY_CLASSES_ROOT, L".kvn1", nullptr, L"Other.Sound");
    PutString(HKEY_CLASSES_ROOT, L".kvn2", nullptr, L"Other.Music");
    PutString(HKEY_CLASSES_ROOT, L".kvn2", L"Content Type", L"audio/x-kvn2");
    PutString(HKEY_CLASSES_ROOT, L".kvn2\\OpenWithProgids", L"Other.Music", L"");
    const wchar_t otherCd[] = L"\"C:\\Other\\cd.exe\" \"%L\"";
    PutValue(HKEY_CLASSES_ROOT, kAudioCommand, nullptr, REG_EXPAND_SZ, otherCd, sizeof(otherCd));
    PutString(HKEY_CLASSES_ROOT, L"Folder\\shell\\KvOtherVerb\\command", nullptr, L"other.exe");
    auto snapshot = [] {
        std::wstring s;
        for (const wchar_t* key : {L".kvn1", L".kvn2", L".kvn3", L"Korvane kvn1 File", L"Korvane kvn2 File",
                                   L"Korvane kvn3 File", L"AudioCD", L"Folder"})
            s += Snapshot(HKEY_CLASSES_ROOT, key);
        return s;
    };
    const std::wstring before = snapshot();

    const FileTypeList wanted{Ticked(L"kvn1"), Ticked(L"kvn2"), Ticked(L"kvn3"), kAudioCd, kFolder};
    for (int run = 0; run < 2; ++run) {
        FileTypeList current;
        DiscoverAssociatedTypes(current);
        for (const FileTypeEntry& pseudo : {kAudioCd, kFolder}) {
            FileTypeEntry probe = pseudo;
            if (IsTypeAssociated(probe)) current.push_back(pseudo);
        }
        EXPECT_EQ(current.size(), run == 0 ? 0u : 5u);
        Apply(current, wanted);
    }
    EXPECT_EQ(GetString(HKEY_CLASSES_ROOT, L".kvn1", nullptr), L"Other.Sound");
    EXPECT_EQ(GetString(HKEY_CLASSES_ROOT, L"Folder\\shell\\KorvaneOpen", nullptr), L"Play in &Korvane Player");
    EXPECT_EQ(GetString(HKEY_CLASSES_ROOT, L"Folder\\shell\\KorvaneOpen\\command", nullptr),
              kClient + L"\"/open\" \"%1\" \"/play\"");

    Apply(wanted, {});
    EXPECT_EQ(snapshot(), before);
    for (REGSAM view : {KEY_WOW64_64KEY, KEY_WOW64_32KEY})  // the capability record's keys are left, empty
        EXPECT_EQ(Snapshot(HKEY_LOCAL_MACHINE, L"Software\\Ostrafen", view),
                  L"[Software\\Ostrafen]\n[Software\\Ostrafen\\Korvane Player]\n"
                  L"[Software\\Ostrafen\\Korvane Player\\Capabilities]\n"
                  L"[Software\\Ostrafen\\Korvane Player\\Capabilities\\FileAssociations]\n");
}

// The written verbs run the installed client with exactly their switches.
TEST_F(Applier, ShellRunsTheClientWithEachVerbsSwitches)
{
    OwnType(L"mp3");
    const std::wstring client = InstallDir() + L"\\Tovrix.exe";
    wcscpy_s(clientExePathBuffer, kPathChars, client.c_str());
    associationContext.openCommand = OpenCommandForExecMethod(0);
    Apply({}, {Ticked(L"mp3")});

    TempFolder folder;
    const std::wstring song = folder.File(L"My Song.mp3");
    WriteTextFile(song, L"not really music");
    const std::wstring log = InstallDir() + L"\\Tovrix.log";
    const struct { const wchar_t* verb; std::wstring switches; } cases[] = {
        {L"Open", L"\"/dopen\" \"" + song + L"\" \"/play\""},
        {L"Play", L"\"/addopen\" \"" + song + L"\" \"/play\""},
        {L"Add", L"\"/add\" \"" + song + L"\""},
        {L"OpenNew", L"\"/open\" \"" + song + L"\" \"/play\""},
        {L"OpenCurrentFolder", L"\"/addopenparent\" \"" + song + L"\" \"/play\""},
    };
    for (const auto& c : cases) {
        DeleteFileW(log.c_str());
        SHELLEXECUTEINFOW info{};
        info.cbSize = sizeof(info);
        info.fMask = SEE_MASK_CLASSNAME | SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI;
        info.lpClass = L"Korvane mp3 File";
        info.lpVerb = c.verb;
        info.lpFile = song.c_str();
        ASSERT_TRUE(ShellExecuteExW(&info) && info.hProcess) << testing::PrintToString(std::wstring(c.verb));
        WaitForSingleObject(info.hProcess, 30000);
        CloseHandle(info.hProcess);
        EXPECT_EQ(ReadTextFileUtf8(log), L"\"" + client + L"\" " + c.switches + L"\r\n");
    }
    DeleteFileW(log.c_str());
}

} // namespace
