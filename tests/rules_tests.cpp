// The rules that the end-to-end tests cannot reach case by case, as tables:
// the host library's tokenizer and strings, the DLL search path, the
// settings file, discovery with the icons it names, and the stored types.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include <windows.h>

#include "app/context.h"
#include "app/startup.h"
#include "catalogue/discovery.h"
#include "catalogue/icons.h"
#include "host/zeltrane.h"
#include "registry/file_type_class.h"
#include "registry/primitives.h"
#include "resource.h"
#include "support.h"
#include "settings/preferences.h"
#include "settings/settings_file.h"
#include "settings/ini_text.h"
#include "settings/type_store.h"

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
    wchar_t text[8];
    wmemset(text, L'\xbdbd', 8);
    HostLoadString(HostResourceModule(), IDS_COLUMN_DESCRIPTION, text, 5);
    EXPECT_STREQ(text, L"Desc");
    EXPECT_EQ(text[5], L'\xbdbd');
    HostLoadString(HostResourceModule(), 4242, text, 8);
    EXPECT_STREQ(text, L"");
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

// The truth rule, and the settings read with their defaults; the main
// dialog's test sees them saved.
TEST(SettingsFile, ReadWithTheTruthRuleDefaultsAndCut)
{
    const struct { const wchar_t* text; bool value; } truths[] = {
        {L"TRUE", true}, {L"true", true}, {L"ENABLE", true}, {L"enable", true}, {L"On", true}, {L"ON", true},
        {L"1", true}, {L" 1", true}, {L"01", true}, {L"1abc", true}, {L"FALSE", false}, {L"yes", false},
        {L"2", false}, {L"11", false}, {L"-1", false}, {L"", false}, {L"TRUE ", false},
    };
    for (const auto& t : truths) EXPECT_EQ(ReadBoolSetting(t.text), t.value) << testing::PrintToString(std::wstring(t.text));
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
                                    L"\r\nAddOnlyChecked=\r\nOpenParentChecked=On\r\n");
    ReadSettings();
    EXPECT_EQ(c.addPlayChecked + 2 * c.newPlayChecked + 4 * c.addOnlyChecked + 8 * c.openParentChecked, 1 + 8)
        << "255 characters reach the rule; they do not spell 1";
}

std::vector<std::wstring> Extensions(const FileTypeList& list)
{
    std::vector<std::wstring> names;
    for (const auto& e : list) names.push_back(e.extension);
    return names;
}

class Catalogue : public testing::Test {
protected:
    void SetUp() override
    {
        StartUpLikeTheTool();
        for (REGSAM view : kBothViews) keys_.Add(HKEY_LOCAL_MACHINE, L"Software\\Ostrafen", view);
    }
    void Declare(const std::wstring& valueName) { PutString(HKEY_LOCAL_MACHINE, kCapability, valueName.c_str(), L"x", KEY_WOW64_64KEY); }
    void MakeClass(const std::wstring& extension, const wchar_t* icon = nullptr)
    {
        keys_.Add(HKEY_CLASSES_ROOT, ProgId(extension));
        PutString(HKEY_CLASSES_ROOT, ProgId(extension), nullptr, L"D " + extension);
        if (icon) PutString(HKEY_CLASSES_ROOT, ProgId(extension) + L"\\DefaultIcon", nullptr, icon);
    }
    ProcessStateGuard guard_;
    PreservedKeys keys_;
};

TEST_F(Catalogue, DiscoveryTakesDeclaredTypesWhoseClassExistsAndReadsTheirIcons)
{
    FileTypeList list{FileTypeEntry(L"kva", L"old", L"", 0, 0)};
    DiscoverAssociatedTypes(list);  // no capability record: nothing
    ASSERT_EQ(list.size(), 1u);
    TempFolder folder;
    const std::wstring longIcon = folder.File(L"A Long, Named Icon File.ico");
    WriteTextFile(longIcon, L"not really an icon");
    wchar_t shortIcon[kPathChars];
    ASSERT_GT(GetShortPathNameW(longIcon.c_str(), shortIcon, kPathChars), 0u);
    const std::wstring module = resourceModulePath;
    const struct { const wchar_t* extension; std::wstring iconText; std::wstring path; int id; } icons[] = {
        {L"kvi1", module + L",-105", module, -105}, {L"kvi2", module + L",2", module, -103},
        {L"kvi3", module + L",7,3", module + L",7", 0}, {L"kvi4", module + L",abc", module, -101},
        {L"kvi5", module + L",  -7x", module, -7}, {L"kvi6", shortIcon, longIcon, 0},
        {L"kvi7", L"\"" + longIcon + L"\",4", longIcon, 0},  // at the last comma, unquoted
        {L"kvi8", L"C:\\gone\\icons.dll,3", L"C:\\gone\\icons.dll", 0}, {L"kvi9", L",-5", module, -101}, {L"kvj", L"", module, -101},  // no path: the type's own
        {L"kvia", module + L",8", module, -110}, {L"kvib", module + L",9", module, 0},  // the last group; none beyond
        {L"kvic", BesideTests(L"icon_fixture.dll") + L",1", BesideTests(L"icon_fixture.dll"), -7},  // "NAMED" not counted
        // Not on a local fixed drive, though Wine finds an icon there (or relative to a drive's folder): the type's own icon.
        {L"kvid", kNetworkIcon + std::wstring(L",0"), module, -101}, {L"kvie", kNetworkDriveIcon + std::wstring(L",-2"), module, -101},
        {L"kvif", L"C:gone.dll,3", module, -101},
    };
    // A value name of 300 characters, beyond the name buffer, first: passed over, it hides nothing.
    Declare(L".0" + std::wstring(298, L'n'));
    for (const auto& c : icons) {
        Declare(std::wstring(L".") + c.extension);
        MakeClass(c.extension, c.iconText.empty() ? nullptr : c.iconText.c_str());
    }
    for (const wchar_t* value : {L".kva", L".kvnoclass", L"kvb", L".kvb", L"KVA", L".KVC", L".kva\\x"}) Declare(value);
    Seed({{HKEY_LOCAL_MACHINE, kCapability, L".kvdword", REG_DWORD, {1, 0, 0, 0}, KEY_WOW64_64KEY}});
    Declare(L"kvm");  // without its dotted value: not declared
    for (const wchar_t* e : {L"kva", L"kvb", L"kvc", L"kvdword", L"kva\\x", L"kvm"}) MakeClass(e);
    DiscoverAssociatedTypes(list);
    // kva overwrites the entry that was there; kvb (with and without its dot) gives one entry; KVA is another
    // (letter case counts); .KVC keeps its capitals; a backslash names keys outside the type; a value of another
    // type still declares its type.
    std::vector<std::wstring> found = Extensions(list);
    std::sort(found.begin(), found.end());
    EXPECT_EQ(found, (std::vector<std::wstring>{L"KVA", L"KVC", L"kva", L"kvb", L"kvdword", L"kvi1", L"kvi2", L"kvi3",
                                                L"kvi4", L"kvi5", L"kvi6", L"kvi7", L"kvi8", L"kvi9", L"kvia",
                                                L"kvib", L"kvic", L"kvid", L"kvie", L"kvif", L"kvj"}));
    EXPECT_EQ(list[0].description, L"D kva");
    for (const auto& e : list) EXPECT_EQ(e.flags, FT_ASSOCIATED);
    EXPECT_TRUE(LoadIconOf(BesideTests(kLongNamedIcon).c_str(), 0));
    for (const wchar_t* elsewhere : {kNetworkIcon, kNetworkDriveIcon}) EXPECT_FALSE(LoadIconOf(elsewhere, 0)) << elsewhere;
    for (const auto& c : icons) {
        auto e = std::find_if(list.begin(), list.end(), [&](const FileTypeEntry& x) { return x.extension == c.extension; });
        ASSERT_NE(e, list.end()) << testing::PrintToString(c.iconText);
        EXPECT_EQ(e->iconPath, c.path) << testing::PrintToString(c.iconText);
        EXPECT_EQ(e->iconId, c.id) << testing::PrintToString(c.iconText);
    }
}

TEST_F(Catalogue, StoreReadsWhatItWroteWholeInAnyScriptAndSkipsWhatCannotBeAType)
{
    TempFolder folder;
    const std::wstring ini = folder.File(L"settings.ini");
    const std::wstring sections = L"\r\n[wav]\r\nDescription=" + std::wstring(5000, L'd') +
                                  L"\r\nIconPath=C:\\w.ico\r\nIconId=0\r\n[mp3]\r\nIconPath=" + kNetworkIcon +
                                  L"\r\nIconId=-7\r\n[gone]\r\nDescription=Old\r\n";
    const struct { std::wstring list; std::vector<std::wstring> names; } lists[] = {
        {L".wav;;mp3;bare;" + std::wstring(3000, L'e') + L";a\\b;.;", {L"wav", L"mp3", L"bare"}},
        {L"wav;;mp3", {L"wav", L"mp3"}},    // written by hand: mp3 has a section of its own
        {L"wav;mp3;fl", {L"wav", L"mp3"}},  // cut short: no ";" after fl and no section
    };
    for (const auto& l : lists) {
        WriteTextFile(ini, L"[RegisterdExtensions]\r\nExtensions=" + l.list + sections);
        FileTypeList list;
        LoadStoredTypes(ini.c_str(), list);
        EXPECT_EQ(Extensions(list), l.names) << testing::PrintToString(l.list.substr(0, 30));
    }
    FileTypeList list;
    LoadStoredTypes(ini.c_str(), list);
    EXPECT_EQ(list[0].description.size(), 1023u);
    EXPECT_EQ(list[0].iconPath, L"C:\\w.ico");
    EXPECT_EQ(list[1].iconPath + L"," + std::to_wstring(list[1].iconId), resourceModulePath + std::wstring(L",-107"))
        << "a stored icon on a share is no icon: the built-in type's own";
    WriteTextFile(ini, L"[RegisterdExtensions]\r\nExtensions=bare;mp3;\r\n");  // no icon of their own: the type's
    LoadStoredTypes(ini.c_str(), list);
    EXPECT_EQ(list[2].iconPath + L"," + std::to_wstring(list[2].iconId) + L" " + std::to_wstring(list[3].iconId),
              resourceModulePath + std::wstring(L",-101 -107"));

    FileTypeList saved{
        {L"wav", L"Korvane WAVE サウンド 中文 Ελληνικά 😀", L"C:\\Program Files\\K\\KorvaneRes.dll", -109, FT_ASSOCIATED},
        {L".abc", L"Dotted", L"C:\\a.ico", 0, 0u},
        {L"AudioCD", L"", L"", 0, FT_AUDIOCD | FT_ASSOCIATED}, {L"Folder", L"", L"", 0, FT_FOLDER | FT_ASSOCIATED},
        {L"semi;colon", L"", L"", 0, 0u}, {L"", L"", L"", 0, 0u},
    };
    for (int i = 0; i < 300; ++i) saved.emplace_back(L"t" + std::to_wstring(i), L"", L"", 0, 0u);
    for (wchar_t c : {L'x', L'y', L'z'}) saved.emplace_back(std::wstring(kMaxExtensionChars, c), L"", L"", 0, 0u);
    SaveStoredTypes(ini.c_str(), saved);
    FileTypeClass refused;  // nor does the class writer make a class of one, whatever list reaches it
    for (const wchar_t* bad : {L"semi;colon", L"", L"a\\b", L"."}) EXPECT_FALSE(MakeFileTypeClass(bad, L"", 0, L"", {}, refused, nullptr)) << bad;
    EXPECT_EQ(IniString(ini, L"AudioCD", L"Description"), kMissing);
    FileTypeList back;
    LoadStoredTypes(ini.c_str(), back);
    ASSERT_EQ(back.size(), 2u + 303u) << "the list is read back whole, far beyond 2,048 characters";
    EXPECT_EQ(Extensions(back)[1], L"abc");
    EXPECT_EQ(Extensions(back).back(), std::wstring(kMaxExtensionChars, L'z'));
    EXPECT_EQ(back[0].description, saved[0].description);
    EXPECT_EQ(back[1].iconPath, L"C:\\a.ico");
    EXPECT_EQ(back[0].iconId, -109);
    EXPECT_EQ(back[0].flags, 0u);
    SaveStoredTypes(ini.c_str(), {saved[2], saved[3]});  // nothing that is a file type
    EXPECT_EQ(IniString(ini, L"RegisterdExtensions", L"Extensions"), L"");
    EXPECT_EQ(IniString(ini, L"t0", L"IconId"), L"0") << "old sections stay";
    std::ofstream(std::filesystem::path(ini), std::ios::binary) << std::string(64 << 20, ';');  // too large for settings
    SaveStoredTypes(ini.c_str(), saved);
    EXPECT_EQ(std::filesystem::file_size(ini), 64u << 20) << "left as it is";
}

// The settings file in every form the profile functions read and every
// state a Windows file can be in: a save keeps every other line, or leaves
// the file as it was where it must not be written, and nothing beside it.
enum class FileState { Plain, AnsiText, ReadOnly, HeldOpen, LeftoverNew, Linked, Aliased, BareName, Refused, Gone, Renamed };

// The same file through Wine's drive Z:, the Linux root: a path that
// reaches it through a link (as a junction or a subst drive would).
std::wstring ThroughZ(const std::wstring& path)
{
    using UnixName = char*(CDECL*)(const wchar_t*);
    const auto unixName = reinterpret_cast<UnixName>(reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32"), "wine_get_unix_file_name")));
    char* name = unixName ? unixName(path.c_str()) : nullptr;
    std::wstring z = name ? L"Z:" + std::wstring(name, name + strlen(name)) : L"";
    if (name) HeapFree(GetProcessHeap(), 0, name);
    std::replace(z.begin(), z.end(), L'/', L'\\');
    return z;
}

std::vector<BYTE> Encoded(const std::wstring& text, TextForm form)
{
    std::vector<BYTE> bytes;
    if (form == TextForm::Ansi || form == TextForm::Utf8) {
        const UINT codePage = form == TextForm::Ansi ? CP_ACP : CP_UTF8;
        std::string narrow(WideCharToMultiByte(codePage, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr) - 1, '\0');
        WideCharToMultiByte(codePage, 0, text.c_str(), -1, &narrow[0], static_cast<int>(narrow.size()) + 1, nullptr, nullptr);
        if (form == TextForm::Utf8) bytes = {0xEF, 0xBB, 0xBF};
        bytes.insert(bytes.end(), narrow.begin(), narrow.end());
        return bytes;
    }
    const bool big = form == TextForm::Utf16Be;
    for (wchar_t c : L"\xFEFF" + text) bytes.insert(bytes.end(), {BYTE(big ? c >> 8 : c & 0xFF), BYTE(big ? c & 0xFF : c >> 8)});
    return bytes;
}

std::vector<std::wstring> FilesIn(const std::wstring& folder)
{
    std::vector<std::wstring> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) names.push_back(entry.path().filename().wstring());
    std::sort(names.begin(), names.end());
    return names;
}

TEST(SettingsFile, EveryFormAndStateKeepsTheWholeFile)
{
    ProcessStateGuard guard;
    StartUpLikeTheTool();
    // A CR alone ends a line too; a no-break space is no blank to the
    // profile functions, so "[Later]" is a key of [Other] to them, while
    // the ASCII blanks before "[wav]" are.
    const std::wstring text = L"; the player's own\r\n[Player]\r\nVolume = 80\rSkin=Dark\r\n\r\n[Other]\r\nKeep=caf\u00e9\u0081\r\n"
                              L"\u00a0[Later]\r\n\f\v\t[wav]\r\nIconId=-109\r\n";
    const std::wstring japanese = L"Korvane WAVE \u30b5\u30a6\u30f3\u30c9 \U0001F600";
    auto saved = [&](const std::wstring& description) {
        return text + L"Description=" + description + L"\r\nIconPath=" + resourceModulePath +
               L"\r\n[RegisterdExtensions]\r\nExtensions=wav;\r\n";
    };
    // A move into place that fails the ways ReplaceFileW's callers meet:
    // refused with the file still there, or after it took the file away
    // (1176) or renamed it (1177); a second move then goes through.
    static FileState fault;
    static int moves;
    g_moveIntoPlace = [](HANDLE copy, const std::wstring& path, bool replace) {
        if (fault == FileState::Refused || (fault != FileState::Plain && moves++ == 0)) {
            if (fault == FileState::Gone) DeleteFileW(path.c_str());
            if (fault == FileState::Renamed) MoveFileW(path.c_str(), (path + L".old").c_str());
            SetLastError(fault == FileState::Gone ? ERROR_UNABLE_TO_MOVE_REPLACEMENT : ERROR_UNABLE_TO_MOVE_REPLACEMENT_2);
            return false;
        }
        return MoveIntoPlace(copy, path, replace);
    };
    struct RealMove { ~RealMove() { g_moveIntoPlace = MoveIntoPlace; } } realMoveAfterwards;
    const struct { FileState state; std::vector<TextForm> forms; std::vector<std::wstring> beside; } cases[] = {
        {FileState::Plain, {TextForm::Ansi, TextForm::Utf16Le, TextForm::Utf16Be, TextForm::Utf8}, {}},
        {FileState::AnsiText, {TextForm::Ansi}, {}},  // text of the code page only: the form stays
        {FileState::ReadOnly, {TextForm::Ansi, TextForm::Utf16Be}, {}},
        {FileState::HeldOpen, {TextForm::Ansi, TextForm::Utf16Be, TextForm::Utf8}, {}},
        {FileState::LeftoverNew, {TextForm::Ansi}, {L"Korvane.ini.new"}},  // read-only, a hard link to a file elsewhere
        {FileState::Linked, {TextForm::Utf16Le}, {}},                      // the file itself one
        {FileState::Aliased, {TextForm::Ansi}, {}},                      // reached through a link, there or missing
        {FileState::BareName, {TextForm::Ansi}, {}},
        {FileState::Refused, {TextForm::Utf16Le}, {}},
        {FileState::Gone, {TextForm::Ansi}, {}},
        {FileState::Renamed, {TextForm::Ansi}, {L"Korvane.ini.old"}},
    };
    for (const auto& c : cases) {
        for (TextForm form : c.forms) {
            SCOPED_TRACE(testing::Message() << "state " << static_cast<int>(c.state) << ", form " << static_cast<int>(form));
            TempFolder folder, elsewhere;
            const std::wstring ini = folder.File(L"Korvane.ini"), sentinel = elsewhere.File(L"sentinel.txt");
            const std::vector<BYTE> before = Encoded(text, form);
            std::ofstream(std::filesystem::path(c.state == FileState::Linked ? sentinel : ini), std::ios::binary)
                .write(reinterpret_cast<const char*>(before.data()), static_cast<std::streamsize>(before.size()));
            if (c.state != FileState::Linked) std::ofstream(std::filesystem::path(sentinel)) << "[Sentinel]";
            const std::vector<BYTE> sentinelBytes = FileBytes(sentinel);
            if (c.state == FileState::Linked) ASSERT_TRUE(CreateHardLinkW(ini.c_str(), sentinel.c_str(), nullptr));
            if (c.state == FileState::LeftoverNew) {
                ASSERT_TRUE(CreateHardLinkW((ini + L".new").c_str(), sentinel.c_str(), nullptr));
                SetFileAttributesW((ini + L".new").c_str(), FILE_ATTRIBUTE_READONLY);
            }
            SetFileAttributesW(ini.c_str(), c.state == FileState::ReadOnly ? FILE_ATTRIBUTE_READONLY : FILE_ATTRIBUTE_HIDDEN);
            HANDLE holder = c.state == FileState::HeldOpen ? CreateFileW(ini.c_str(), GENERIC_READ | GENERIC_WRITE,
                                                                         FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr)
                                                           : INVALID_HANDLE_VALUE;
            if (c.state == FileState::BareName) {  // the tool's own start-up makes the name full
                SetCurrentDirectoryW(folder.path().c_str());
                ParseCommandLine(L"KorvaneAssoc.exe /Register Korvane.ini");
                SetCurrentDirectoryW(BesideTests(L"").c_str());
            } else {
                wcscpy_s(settingsPath, kPathChars, c.state == FileState::Aliased ? ThroughZ(ini).c_str() : ini.c_str());
            }
            fault = c.state >= FileState::Refused ? c.state : FileState::Plain;
            moves = 0;
            const std::wstring description = c.state == FileState::AnsiText ? L"Wave" : japanese;
            SaveStoredTypes(settingsPath, {{L"wav", description, resourceModulePath, -109, FT_ASSOCIATED}});
            fault = FileState::Plain;
            if (holder != INVALID_HANDLE_VALUE) CloseHandle(holder);

            std::vector<std::wstring> expected = c.beside;
            expected.push_back(L"Korvane.ini");
            std::sort(expected.begin(), expected.end());
            EXPECT_EQ(FilesIn(folder.path()), expected) << "nothing is left beside the file";
            EXPECT_EQ(FileBytes(sentinel), sentinelBytes) << "a file elsewhere is never written";
            const DWORD attributes = GetFileAttributesW(ini.c_str());
            for (const std::wstring& name : FilesIn(folder.path()))
                SetFileAttributesW(folder.File(name.c_str()).c_str(), FILE_ATTRIBUTE_NORMAL);
            if (c.state == FileState::ReadOnly || c.state == FileState::Linked || c.state == FileState::Aliased) {
                EXPECT_EQ(FileBytes(ini), before) << "left as it was";
                if (c.state != FileState::Aliased) continue;
                DeleteFileW(ini.c_str());  // and where it is missing, not made through the link either
                SaveStoredTypes(settingsPath, {{L"wav", japanese, resourceModulePath, -109, FT_ASSOCIATED}});
                EXPECT_TRUE(FilesIn(folder.path()).empty());
                continue;
            }
            // Every other line byte for byte, in the file's own form; ANSI
            // turned into UTF-16 only for text it lacks.
            const bool converted = form == TextForm::Ansi && description == japanese;
            EXPECT_EQ(FileBytes(ini), Encoded(saved(description), converted ? TextForm::Utf16Le : form));
            EXPECT_EQ(IniString(ini, L"wav", L"Description"), description);
            EXPECT_EQ(IniString(ini, L"Player", L"Skin"), L"Dark");
            if (c.state == FileState::Plain) EXPECT_TRUE(attributes & FILE_ATTRIBUTE_HIDDEN) << "attributes kept";
        }
    }
}

} // namespace
