// The applier against the real registry: what it writes, what it gives back,
// and that the verbs it writes really start the client in a shell.
#include <gtest/gtest.h>

#include <windows.h>
#include <shellapi.h>

#include <memory>

#include "app/settings.h"
#include "associate/applier.h"
#include "associate/verbs.h"
#include "catalogue/discovery.h"
#include "support.h"

namespace {

const std::wstring kCapability = L"Software\\Ostrafen\\Korvane Player\\Capabilities\\FileAssociations";
const std::wstring kAudioCommand = L"AudioCD\\shell\\play\\command";
const wchar_t kBackup[] = L"Before Korvane";

FileTypeEntry Ticked(const wchar_t* extension)
{
    return FileTypeEntry(extension, std::wstring(L"Korvane ") + extension + L" sound", resourceModulePath, -109,
                         FT_ASSOCIATED);
}

const FileTypeEntry kAudioCd(L"AudioCD", L"", L"", 0, FT_AUDIOCD | FT_ASSOCIATED);
const FileTypeEntry kFolder(L"Folder", L"", L"", 0, FT_FOLDER | FT_ASSOCIATED);

class Applier : public testing::Test {
protected:
    void SetUp() override
    {
        StartUpLikeTheTool();
        wcscpy_s(clientExePathBuffer, kPathChars, L"C:\\Program Files\\Korvane Player\\Tovrix.exe");
        LoadVerbDisplayNames();
        associationContext.openCommand = OpenCommandForExecMethod(associationContext.execMethod);
    }
    // Every key these tests may touch, kept aside and put back afterwards.
    void Own(HKEY root, const std::wstring& key, REGSAM view = 0)
    {
        owned_.push_back(std::make_unique<PreservedTree>(root, key, view));
    }
    void OwnType(const std::wstring& extension)
    {
        Own(HKEY_CLASSES_ROOT, L"." + extension);
        Own(HKEY_CLASSES_ROOT, L"Korvane " + extension + L" File");
    }
    ProcessStateGuard guard_;
    PreservedTree player64_{HKEY_LOCAL_MACHINE, L"Software\\Ostrafen", KEY_WOW64_64KEY};
    PreservedTree player32_{HKEY_LOCAL_MACHINE, L"Software\\Ostrafen", KEY_WOW64_32KEY};
    PreservedTree audioCd_{HKEY_CLASSES_ROOT, L"AudioCD"};
    PreservedTree folderVerb_{HKEY_CLASSES_ROOT, L"Folder\\shell\\KorvaneOpen"};
    std::vector<std::unique_ptr<PreservedTree>> owned_;
};

TEST_F(Applier, WritesCapabilityValueInBothViewsAndTheClass)
{
    OwnType(L"kvw");
    ApplyAssociations({}, {Ticked(L"kvw")}, &associationContext);
    EXPECT_EQ(GetString(HKEY_LOCAL_MACHINE, kCapability, L".kvw", KEY_WOW64_64KEY), L"Korvane kvw File");
    EXPECT_EQ(GetString(HKEY_LOCAL_MACHINE, kCapability, L".kvw", KEY_WOW64_32KEY), L"Korvane kvw File");
    EXPECT_EQ(GetString(HKEY_CLASSES_ROOT, L"Korvane kvw File", nullptr), L"Korvane kvw sound");
    EXPECT_EQ(GetString(HKEY_CLASSES_ROOT, L"Korvane kvw File\\shell\\Open\\Command", nullptr),
              L"\"C:\\Program Files\\Korvane Player\\Tovrix.exe\" \"/addopen\" \"%1\" \"/play\"");
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, L".kvw"));

    ApplyAssociations({Ticked(L"kvw")}, {}, &associationContext);
    EXPECT_EQ(GetString(HKEY_LOCAL_MACHINE, kCapability, L".kvw", KEY_WOW64_64KEY), kMissing);
    EXPECT_EQ(GetString(HKEY_LOCAL_MACHINE, kCapability, L".kvw", KEY_WOW64_32KEY), kMissing);
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, L"Korvane kvw File"));
}

TEST_F(Applier, VerbSwitchesAndExecutionMethodChooseTheVerbs)
{
    OwnType(L"kvv");
    struct Case {
        int switches;  // play, add, new, parent as bits 0..3
        int execMethod;
        std::vector<std::wstring> verbs;
        const wchar_t* openTail;
    };
    const Case cases[] = {
        {0, 2, {L"Open"}, L"\"/addopen\" \"%1\" \"/play\""},
        {0xF, 4, {L"Open", L"Play", L"Add", L"OpenNew", L"OpenCurrentFolder"}, L"\"/addopenparent\" \"%1\" \"/play\""},
        {0x2, 0, {L"Open", L"Add"}, L"\"/dopen\" \"%1\" \"/play\""},
        {0x8, 3, {L"Open", L"OpenCurrentFolder"}, L"\"/open\" \"%1\" \"/play\""},
        {0x4, 1, {L"Open", L"OpenNew"}, L"\"/add\" \"%1\""},
        {0x1, 9, {L"Open", L"Play"}, L"\"/addopen\" \"%1\" \"/play\""},
    };
    for (const auto& c : cases) {
        associationContext.addPlayChecked = c.switches & 1;
        associationContext.addOnlyChecked = (c.switches >> 1) & 1;
        associationContext.newPlayChecked = (c.switches >> 2) & 1;
        associationContext.openParentChecked = (c.switches >> 3) & 1;
        associationContext.openCommand = OpenCommandForExecMethod(c.execMethod);
        // Removed and written again, as a registration run does: switched-off
        // verbs of the previous round disappear.
        ApplyAssociations({Ticked(L"kvv")}, {Ticked(L"kvv")}, &associationContext);
        // Registry order of sub-keys is by name here; compare as sets.
        auto verbs = SubKeys(HKEY_CLASSES_ROOT, L"Korvane kvv File\\shell");
        std::sort(verbs.begin(), verbs.end());
        auto expected = c.verbs;
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(verbs, expected) << "switches " << c.switches;
        EXPECT_EQ(GetString(HKEY_CLASSES_ROOT, L"Korvane kvv File\\shell\\Open\\Command", nullptr),
                  L"\"C:\\Program Files\\Korvane Player\\Tovrix.exe\" " + std::wstring(c.openTail));
    }
    EXPECT_EQ(GetString(HKEY_CLASSES_ROOT, L"Korvane kvv File\\shell\\Play", nullptr), L"&Play in Korvane Player");
}

TEST_F(Applier, UntickedEntriesAreLeftAloneAndUnusableOnesRefused)
{
    OwnType(L"kvu");
    ApplyAssociations({}, {Ticked(L"kvu")}, &associationContext);
    const std::wstring before = Snapshot(HKEY_CLASSES_ROOT, L"Korvane kvu File");
    FileTypeEntry unticked = Ticked(L"kvu");
    unticked.flags = 0;
    unticked.description = L"changed";
    ApplyAssociations({}, {unticked}, &associationContext);
    EXPECT_EQ(Snapshot(HKEY_CLASSES_ROOT, L"Korvane kvu File"), before);

    Own(HKEY_CLASSES_ROOT, L"Korvane kvu");
    ApplyAssociations({Ticked(L"kvu\\x")}, {Ticked(L"kvu\\x"), Ticked(L"")}, &associationContext);
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, L"Korvane kvu"));
    EXPECT_EQ(GetString(HKEY_LOCAL_MACHINE, kCapability, L".kvu\\x"), kMissing);
    EXPECT_EQ(Snapshot(HKEY_CLASSES_ROOT, L"Korvane kvu File"), before);
}

TEST_F(Applier, AudioCdCommandOfAnotherProgramIsKeptInTheBackup)
{
    const wchar_t other[] = L"%ProgramFiles%\\Other\\cd.exe \"%L\"";
    PutValue(HKEY_CLASSES_ROOT, kAudioCommand, nullptr, REG_EXPAND_SZ, other, sizeof(other));
    PutString(HKEY_CLASSES_ROOT, L"AudioCD\\shell\\play", nullptr, L"Play with Other");
    const std::wstring ours = L"\"C:\\Program Files\\Korvane Player\\Tovrix.exe\" \"/open\" \"%L\" \"/play\"";

    ApplyAssociations({}, {kAudioCd}, &associationContext);
    EXPECT_EQ(GetString(HKEY_CLASSES_ROOT, kAudioCommand, nullptr), ours);
    EXPECT_EQ(GetString(HKEY_CLASSES_ROOT, kAudioCommand, kBackup), other);

    // A second registration run removes and writes again: the other
    // program's command stays in the backup, never the player's own.
    ApplyAssociations({kAudioCd}, {kAudioCd}, &associationContext);
    EXPECT_EQ(GetString(HKEY_CLASSES_ROOT, kAudioCommand, kBackup), other);

    ApplyAssociations({kAudioCd}, {}, &associationContext);
    DWORD type = 0;
    std::vector<BYTE> bytes;
    ASSERT_TRUE(GetRaw(HKEY_CLASSES_ROOT, kAudioCommand, nullptr, type, bytes));
    EXPECT_EQ(type, static_cast<DWORD>(REG_EXPAND_SZ));
    EXPECT_EQ(GetString(HKEY_CLASSES_ROOT, kAudioCommand, nullptr), other);
    EXPECT_EQ(GetString(HKEY_CLASSES_ROOT, kAudioCommand, kBackup), kMissing);
    EXPECT_EQ(GetString(HKEY_CLASSES_ROOT, L"AudioCD\\shell\\play", nullptr), L"Play with Other");
}

TEST_F(Applier, AudioCdWithoutAPreviousCommandIsTakenAwayAgain)
{
    // Nothing there before: removing leaves no command of ours behind, and
    // the parent keys stay.
    ApplyAssociations({}, {kAudioCd}, &associationContext);
    EXPECT_NE(GetString(HKEY_CLASSES_ROOT, kAudioCommand, nullptr), kMissing);
    ApplyAssociations({kAudioCd}, {}, &associationContext);
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, kAudioCommand));
    EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, L"AudioCD\\shell\\play"));

    // An empty key there before: the backup remembers "nothing".
    PutString(HKEY_CLASSES_ROOT, kAudioCommand, L"Other", L"kept");
    ApplyAssociations({}, {kAudioCd}, &associationContext);
    EXPECT_EQ(GetString(HKEY_CLASSES_ROOT, kAudioCommand, kBackup), L"");
    ApplyAssociations({kAudioCd}, {}, &associationContext);
    EXPECT_EQ(GetString(HKEY_CLASSES_ROOT, kAudioCommand, nullptr), kMissing);
    EXPECT_EQ(GetString(HKEY_CLASSES_ROOT, kAudioCommand, L"Other"), L"kept");
}

TEST_F(Applier, FolderVerbLeavesOtherFolderVerbsAlone)
{
    Own(HKEY_CLASSES_ROOT, L"Folder\\shell\\KvOtherVerb");
    PutString(HKEY_CLASSES_ROOT, L"Folder\\shell\\KvOtherVerb\\command", nullptr, L"other.exe \"%1\"");
    const std::wstring before = Snapshot(HKEY_CLASSES_ROOT, L"Folder");

    ApplyAssociations({}, {kFolder}, &associationContext);
    EXPECT_EQ(GetString(HKEY_CLASSES_ROOT, L"Folder\\shell\\KorvaneOpen", nullptr), L"Play in &Korvane Player");
    EXPECT_EQ(GetString(HKEY_CLASSES_ROOT, L"Folder\\shell\\KorvaneOpen\\command", nullptr),
              L"\"C:\\Program Files\\Korvane Player\\Tovrix.exe\" \"/open\" \"%1\" \"/play\"");
    ApplyAssociations({kFolder}, {}, &associationContext);
    EXPECT_EQ(Snapshot(HKEY_CLASSES_ROOT, L"Folder"), before);
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
    Own(HKEY_CLASSES_ROOT, L"Folder\\shell\\KvOtherVerb");
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
        FileTypeEntry audio = kAudioCd, folder = kFolder;
        if (IsTypeAssociated(audio)) current.push_back(kAudioCd);
        if (IsTypeAssociated(folder)) current.push_back(kFolder);
        EXPECT_EQ(current.size(), run == 0 ? 0u : 5u);
        ApplyAssociations(current, wanted, &associationContext);
    }
    EXPECT_EQ(GetString(HKEY_CLASSES_ROOT, L".kvn1", nullptr), L"Other.Sound");
    EXPECT_EQ(GetString(HKEY_CLASSES_ROOT, kAudioCommand, kBackup), otherCd);

    ApplyAssociations(wanted, {}, &associationContext);
    EXPECT_EQ(snapshot(), before);
    // The capability record's keys are left, empty.
    for (REGSAM view : {KEY_WOW64_64KEY, KEY_WOW64_32KEY})
        EXPECT_EQ(Snapshot(HKEY_LOCAL_MACHINE, L"Software\\Ostrafen", view),
                  L"[Software\\Ostrafen]\n[Software\\Ostrafen\\Korvane Player]\n"
                  L"[Software\\Ostrafen\\Korvane Player\\Capabilities]\n"
                  L"[Software\\Ostrafen\\Korvane Player\\Capabilities\\FileAssociations]\n");
}

TEST_F(Applier, AnOlderBackupOnAnExtensionKeyGivesTheOwnerBack)
{
    OwnType(L"kvb");
    PutString(HKEY_CLASSES_ROOT, L".kvb", nullptr, L"Korvane kvb File");
    PutString(HKEY_CLASSES_ROOT, L".kvb", kBackup, L"Other.Old");
    ApplyAssociations({}, {Ticked(L"kvb")}, &associationContext);
    EXPECT_EQ(GetString(HKEY_CLASSES_ROOT, L".kvb", nullptr), L"Other.Old");
    EXPECT_EQ(GetString(HKEY_CLASSES_ROOT, L".kvb", kBackup), kMissing);
}

// The written verbs run the installed client with exactly their switches.
TEST_F(Applier, ShellRunsTheClientWithEachVerbsSwitches)
{
    OwnType(L"mp3");
    const std::wstring client = InstallDir() + L"\\Tovrix.exe";
    ASSERT_NE(GetFileAttributesW(client.c_str()), INVALID_FILE_ATTRIBUTES);
    wcscpy_s(clientExePathBuffer, kPathChars, client.c_str());
    associationContext.openCommand = OpenCommandForExecMethod(0);
    ApplyAssociations({}, {Ticked(L"mp3")}, &associationContext);

    TempFolder folder;
    const std::wstring song = folder.File(L"My Song.mp3");
    WriteTextFile(song, L"not really music");
    const std::wstring log = InstallDir() + L"\\Tovrix.log";
    struct { const wchar_t* verb; const wchar_t* switches; } cases[] = {
        {L"Open", L"\"/dopen\" \"%ls\" \"/play\""},
        {L"Play", L"\"/addopen\" \"%ls\" \"/play\""},
        {L"Add", L"\"/add\" \"%ls\""},
        {L"OpenNew", L"\"/open\" \"%ls\" \"/play\""},
        {L"OpenCurrentFolder", L"\"/addopenparent\" \"%ls\" \"/play\""},
    };
    for (const auto& c : cases) {
        DeleteFileW(log.c_str());
        SHELLEXECUTEINFOW info{};
        info.cbSize = sizeof(info);
        info.fMask = SEE_MASK_CLASSNAME | SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI;
        info.lpClass = L"Korvane mp3 File";
        info.lpVerb = c.verb;
        info.lpFile = song.c_str();
        info.nShow = SW_HIDE;
        ASSERT_TRUE(ShellExecuteExW(&info)) << "verb " << testing::PrintToString(std::wstring(c.verb));
        ASSERT_NE(info.hProcess, nullptr);
        WaitForSingleObject(info.hProcess, 30000);
        CloseHandle(info.hProcess);
        wchar_t expected[2048];
        swprintf(expected, 2048, (L"\"%ls\" " + std::wstring(c.switches)).c_str(), client.c_str(), song.c_str());
        std::wstring line = ReadTextFileUtf8(log);
        EXPECT_EQ(line, std::wstring(expected) + L"\r\n") << "verb " << testing::PrintToString(std::wstring(c.verb));
    }
    DeleteFileW(log.c_str());
}

} // namespace
