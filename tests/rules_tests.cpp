// The rules that the end-to-end tests cannot reach case by case, as tables and properties: the host library's
// tokenizer, the DLL search path, the command line, the settings file, discovery with the icons it names, and the
// stored types.
#include <gtest/gtest.h>

#include <aclapi.h>
#include <sddl.h>
#include <shlwapi.h>

#include <algorithm>
#include <functional>
#include <random>

#include <windows.h>

#include "app/context.h"
#include "app/startup.h"
#include "catalogue/discovery.h"
#include "catalogue/icons.h"
#include "command_line/command_line.h"
#include "files/paths.h"
#include "files/writing.h"
#include "host/zeltrane.h"
#include "registry/executable_types.h"
#include "registry/file_type_class.h"
#include "resource.h"
#include "settings/ini_text.h"
#include "settings/preferences.h"
#include "settings/settings_file.h"
#include "settings/type_store.h"
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

// A command line as what the tool takes from it: "bad", or the switches (R, U, S) and the two paths.
std::wstring Taken(const std::wstring& arguments)
{
    const CommandLine line = ReadCommandLine((L"KorvaneAssoc.exe " + arguments).c_str());
    if (line.Bad()) return L"bad";
    return std::wstring(line.registerRun ? L"R" : L"") + (line.unregisterRun ? L"U" : L"") + (line.silent ? L"S" : L"") + L"|" +
           line.settingsPath + L"|" + line.logPath;
}

// The elevated tool takes a settings file and a log only as local files of
// their kind, and nothing it does not understand: it never guesses.
TEST(CommandLine, TakesOnlyWhatItUnderstandsAndOnlyLocalFilesOfTheirKind)
{
    TempFolder folder;
    SetCurrentDirectoryW(folder.path().c_str());
    const std::wstring ini = folder.File(L"k.ini"), log = folder.File(L"run.log");
    const struct { std::wstring arguments, taken; } cases[] = {
        {L"/Register \"" + ini + L"\"", L"R|" + ini + L"|"},
        {L"/register /TopMost k.ini", L"R|" + ini + L"|"},  // bare: in the current folder
        {L"/REGISTER /silent /log run.log \"" + ini + L"\"", L"RS|" + ini + L"|" + log},
        {L"/Unregister", L"U||"}, {L"", L"||"},
        {L"/Register -Silent k.ini", L"bad"}, {L"/Register /Slient k.ini", L"bad"}, {L"/Register k.ini extra.ini", L"bad"},
        {L"/Register /Silent /Log", L"bad"}, {L"/Register /Log run.log k.ini", L"bad"}, {L"/Register /Silent /Log run.txt k.ini", L"bad"},
        {L"/Register /Silent /Log R:\\run.log k.ini", L"bad"},
        {L"/Register \"C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs\\StartUp\\korvane.cmd\"", L"bad"},
        {L"/Register \\\\192.0.2.1\\share\\k.ini", L"bad"}, {L"/Register R:\\k.ini", L"bad"}, {L"/Register \\\\?\\C:\\k.ini", L"bad"},
        {L"/Register \\\\.\\C:\\k.ini", L"bad"}, {L"/Register k.ini:hidden.ini", L"bad"}, {L"/Register nul.ini", L"bad"},
        {L"/Register \"COM1 .ini\"", L"bad"}, {L"/Register C:\\windows\\win.ini", L"bad"},
        {L"/Register /Silent /Log a.log /Log b.log k.ini", L"bad"}, {L"/Register /Silent /Log C:\\Windows\\Temp\\k.log k.ini", L"bad"}, {L"/Register C:\\" + std::wstring(1100, L'p') + L".ini", L"bad"},
    };
    for (const auto& c : cases) EXPECT_EQ(Taken(c.arguments), c.taken) << testing::PrintToString(c.arguments.substr(0, 80));
    SetCurrentDirectoryW(BesideTests(L"").c_str());
}

// The truth rule, and the settings read with their defaults; the main dialog's test sees them saved.
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
    const std::wstring ini = folder.File(L"settings.ini");
    AssociationContext& c = associationContext;
    c.execMethod = c.addPlayChecked = c.addOnlyChecked = c.newPlayChecked = c.openParentChecked = 0;
    ReadSettings(ReadSettingsFile(ini));  // no file at all
    EXPECT_EQ(c.execMethod, 2);
    EXPECT_EQ(c.addPlayChecked + c.addOnlyChecked + c.newPlayChecked + c.openParentChecked, 4);
    for (auto [value, method] : {std::pair{L"0", 0}, {L"3", 3}, {L"4", 4}, {L"5", 2}, {L"9", 2}, {L"-1", 2}, {L"abc", 0}, {L"0x4", 4}, {L"\"3\"", 3}}) {
        WriteTextFile(ini, std::wstring(L"[Preference]\r\nExecMethod=") + value + L"\r\n");
        ReadSettings(ReadSettingsFile(ini));
        EXPECT_EQ(c.execMethod, method) << testing::PrintToString(std::wstring(value));
    }
    WriteTextFile(ini, L"[Association]\r\nAddPlayChecked=enable\r\nNewPlayChecked=1" + std::wstring(400, L'0') +
                           L"\r\nAddOnlyChecked=\r\nOpenParentChecked=On\r\n");
    ReadSettings(ReadSettingsFile(ini));
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
        // Not an ordinary local file, though Wine finds an icon there: a share, a network drive, a drive's folder, a
        // link to the share; the type's own icon. The resource module in an old install folder is the module.
        {L"kvid", kNetworkIcon + std::wstring(L",0"), module, -101}, {L"kvie", kNetworkDriveIcon + std::wstring(L",-2"), module, -101},
        {L"kvif", L"C:gone.dll,3", module, -101}, {L"kvig", kLinkedIcon + std::wstring(L",0"), module, -101},
        {L"kvih", L"C:\\Program Files\\Old Place\\KorvaneRes.dll,-104", module, -104},
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
                                                L"kvi4", L"kvi5", L"kvi6", L"kvi7", L"kvi8", L"kvi9", L"kvia", L"kvib",
                                                L"kvic", L"kvid", L"kvie", L"kvif", L"kvig", L"kvih", L"kvj"}));
    EXPECT_EQ(list[0].description, L"D kva");
    for (const auto& e : list) EXPECT_EQ(e.flags, FT_ASSOCIATED);
    EXPECT_TRUE(LoadIconOf(BesideTests(kLongNamedIcon).c_str(), 0));
    for (const wchar_t* elsewhere : {kNetworkIcon, kNetworkDriveIcon, kLinkedIcon}) EXPECT_FALSE(LoadIconOf(elsewhere, 0)) << elsewhere;
    for (const auto& c : icons) {
        auto e = std::find_if(list.begin(), list.end(), [&](const FileTypeEntry& x) { return x.extension == c.extension; });
        ASSERT_NE(e, list.end()) << testing::PrintToString(c.iconText);
        EXPECT_EQ(e->iconPath + L"," + std::to_wstring(e->iconId), c.path + L"," + std::to_wstring(c.id)) << testing::PrintToString(c.iconText);
    }
}

TEST_F(Catalogue, StoreReadsListsAsPeopleWriteThemAndKeepsWhatFollowsTheModuleAndTheLanguage)
{
    TempFolder folder;
    const std::wstring ini = folder.File(L"settings.ini");
    const std::wstring sections = L"\r\n[wav]\r\nDescription=" + std::wstring(5000, L'd') + L"\r\nIconPath=C:\\w.ico\r\nIconId=0\r\n"
                                  L"[mp3]\r\nIconPath=" + kNetworkIcon + L"\r\nIconId=-7\r\n[ogg]\r\nDescription=Korvane Ogg Vorbis \u30b5\u30a6\u30f3\u30c9\r\n"
                                  L"IconPath=C:\\Old Install\\KorvaneRes.dll\r\n";
    const struct { std::wstring list; std::vector<std::wstring> names, skipped; } lists[] = {
        {L".wav;;mp3; bare ;" + std::wstring(3000, L'e') + L";a\\b;.;exe;LNK;", {L"wav", L"mp3", L"bare"},
         {std::wstring(3000, L'e'), L"a\\b", L"exe", L"LNK"}},  // a lone "." names nothing
        {L"wav; mp3;\togg", {L"wav", L"mp3", L"ogg"}, {}},  // written by hand: blanks, no last ";"
    };
    for (const auto& l : lists) {
        WriteTextFile(ini, L"[RegisterdExtensions]\r\nExtensions=" + l.list + sections);
        const StoredTypes stored = LoadStoredTypes(ReadSettingsFile(ini));
        EXPECT_EQ(Extensions(stored.types), l.names) << testing::PrintToString(l.list.substr(0, 30));
        std::vector<std::wstring> skipped;
        for (const SkippedType& s : stored.skipped) skipped.push_back(s.name);
        EXPECT_EQ(skipped, l.skipped);
        EXPECT_FALSE(stored.choiceKept);
    }
    FileTypeList list = LoadStoredTypes(ReadSettingsFile(ini)).types;
    EXPECT_EQ(list[0].description.size(), 1023u);
    EXPECT_EQ(list[0].iconPath, L"C:\\w.ico");
    EXPECT_EQ(list[1].iconPath + L"," + std::to_wstring(list[1].iconId), resourceModulePath + std::wstring(L",-107"))
        << "a stored icon on a share is no icon: the built-in type's own";
    EXPECT_EQ(list[2].iconPath + L"|" + list[2].description, resourceModulePath + std::wstring(L"|Korvane Ogg Vorbis Sound"))
        << "the module in an old install folder is the module; a built-in description in another language is this run's";

    // A type Windows runs is never registered, whoever asks: the list above, the class writer, Windows itself.
    FileTypeClass refused;
    for (const wchar_t* bad : {L"semi;colon", L"", L"a\\b", L".", L"exe", L"Bat", L"url. ", L"kvdanger"}) {
        g_assocIsDangerous = [](PCWSTR type) -> BOOL { return _wcsicmp(type, L".kvdanger") == 0; };
        EXPECT_FALSE(MakeFileTypeClass(bad, L"", 0, L"", {}, refused, nullptr)) << bad;
    }
    g_assocIsDangerous = AssocIsDangerous;

    const std::wstring module = PathFindFileNameW(resourceModulePath);
    FileTypeList saved{
        {L"wav", L"Korvane WAVE Sound", L"C:\\Old Install\\KorvaneRes.dll", -109, FT_ASSOCIATED},
        {L".abc", L" Hi-Res ", L"C:\\a.ico", 0, 0u}, {L"xq", L"\"Live\"", resourceModulePath, -104, FT_ASSOCIATED},
        {L"AudioCD", L"", L"", 0, FT_AUDIOCD | FT_ASSOCIATED}, {L"Folder", L"", L"", 0, FT_FOLDER | FT_ASSOCIATED},
        {L"semi;colon", L"", L"", 0, 0u}, {L"", L"", L"", 0, 0u},
    };
    for (int i = 0; i < 300; ++i) saved.emplace_back(L"t" + std::to_wstring(i), L"", L"", 0, 0u);
    saved.emplace_back(std::wstring(kMaxExtensionChars, L'z'), L"", L"", 0, 0u);
    SaveStoredTypes(ini.c_str(), saved);
    EXPECT_EQ(IniString(ini, L"AudioCD", L"Description"), kMissing);
    EXPECT_EQ(IniString(ini, L"wav", L"Description") + L"|" + IniString(ini, L"wav", L"IconPath") + L"|" + IniString(ini, L"xq", L"IconPath"),
              L"|" + module + L"|" + module) << "the default description in no language; the module by its name";
    EXPECT_EQ(IniString(ini, L"RegisterdExtensions", L"Ticked"), L"wav;xq;");
    const StoredTypes back = LoadStoredTypes(ReadSettingsFile(ini));
    ASSERT_EQ(back.types.size(), 3u + 301u) << "the list is read back whole, far beyond 2,048 characters";
    EXPECT_EQ(Extensions(back.types)[1], L"abc");
    EXPECT_EQ(back.types[1].description + L"|" + back.types[2].description, L" Hi-Res |\"Live\"") << "read back as typed";
    EXPECT_EQ(back.types.back().extension, std::wstring(kMaxExtensionChars, L'z'));
    EXPECT_EQ(back.types[0].iconPath + L"," + std::to_wstring(back.types[0].iconId), resourceModulePath + std::wstring(L",-109"));
    EXPECT_EQ(back.ticked, (std::vector<std::wstring>{L"wav", L"xq"}));
    EXPECT_TRUE(back.choiceKept && back.types[0].flags == 0u);
    SaveStoredTypes(ini.c_str(), {saved[3], saved[4]});  // nothing that is a file type
    EXPECT_EQ(IniString(ini, L"RegisterdExtensions", L"Extensions") + IniString(ini, L"RegisterdExtensions", L"Ticked"), L"");
    EXPECT_EQ(IniString(ini, L"t0", L"IconId"), L"0") << "old sections stay";
    std::ofstream(std::filesystem::path(ini), std::ios::binary) << std::string(64 << 20, ';');  // too large for settings
    SaveStoredTypes(ini.c_str(), saved);
    EXPECT_EQ(std::filesystem::file_size(ini), 64u << 20) << "left as it is";
    EXPECT_EQ(ReadSettingsFile(ini).state, SettingsState::Unreadable);
}

// Settings files as people and programs leave them: every form, every line
// end, blanks, quotes, duplicate sections and keys, lines that are no key.
std::wstring RandomSettingsText(std::mt19937& random, TextForm form)
{
    const wchar_t* const names[] = {L"Player", L"pLAYER", L" Player ", L"wav", L"RegisterdExtensions", L"caf\u00e9"};
    const wchar_t* const keys[] = {L"Skin", L"skin ", L"Description", L"Extensions", L"IconId", L"Caf\u00c9"};
    // The code page holds the first seven; a NUL only a file with a mark can hold.
    const std::wstring values[] = {L"Dark", L" padded ", L"\"quoted\"", L"'single'", L"", L"a=b", L"caf\u00e9",
                                   L"\u30b5\u30a6\u30f3\u30c9 \U0001F600", L"\"open", L"\t1", std::wstring(L"cut\0here", 8)};
    const size_t valueKinds = form == TextForm::Ansi ? 7 : form == TextForm::Utf8Bare ? 10 : 11;
    const wchar_t* const junk[] = {L"; comment", L"no equals here", L"[unclosed", L"=lonely", L"", L"\f\v", L"\u00a0[NotASection]"};
    const wchar_t* const ends[] = {L"\r\n", L"\n", L"\r", L"\r\n\r\n"};
    std::wstring text;
    for (int line = static_cast<int>(random() % 24); line > 0; --line) {
        switch (random() % 4) {
        case 0: text += L"[" + std::wstring(names[random() % 6]) + L"]"; break;
        case 1: text += junk[random() % 7]; break;
        default: text += keys[random() % 6] + std::wstring(random() % 2 ? L"=" : L" = ") + values[random() % valueKinds]; break;
        }
        text += ends[random() % 4];
    }
    return text;
}

std::vector<BYTE> InForm(const std::wstring& text, TextForm form)
{
    std::vector<BYTE> bytes;
    if (form == TextForm::Ansi || form == TextForm::Utf8 || form == TextForm::Utf8Bare) {
        const UINT codePage = form == TextForm::Ansi ? CP_ACP : CP_UTF8;
        const int length = static_cast<int>(text.size());
        std::string narrow(static_cast<size_t>(WideCharToMultiByte(codePage, 0, text.data(), length, nullptr, 0, nullptr, nullptr)), '\0');
        WideCharToMultiByte(codePage, 0, text.data(), length, &narrow[0], static_cast<int>(narrow.size()), nullptr, nullptr);
        if (form == TextForm::Utf8) bytes = {0xEF, 0xBB, 0xBF};
        bytes.insert(bytes.end(), narrow.begin(), narrow.end());
        return bytes;
    }
    const bool big = form == TextForm::Utf16Be;
    for (wchar_t c : L"\xFEFF" + text) bytes.insert(bytes.end(), {BYTE(big ? c >> 8 : c & 0xFF), BYTE(big ? c & 0xFF : c >> 8)});
    return bytes;
}

std::wstring Trimmed(const std::wstring& name) { return name.substr(name.find_first_not_of(L' ')); }

void WriteBytes(const std::wstring& path, const std::vector<BYTE>& bytes)
{
    std::ofstream(std::filesystem::path(path), std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

// Every section and key a file of RandomSettingsText may hold, and its
// value as read gives it, each as "section/key=value".
const std::vector<std::pair<const wchar_t*, const wchar_t*>> kProbes = [] {
    std::vector<std::pair<const wchar_t*, const wchar_t*>> probes;
    for (const wchar_t* section : {L"Player", L"wav", L"RegisterdExtensions", L"CAF\u00c9", L"NotASection", L"New"})
        for (const wchar_t* key : {L"Skin", L"Description", L"Extensions", L"IconId", L"caf\u00e9", L"no equals here", L"Added"})
            probes.emplace_back(section, key);
    return probes;
}();
std::vector<std::wstring> ReadEveryKey(const std::function<std::wstring(const wchar_t*, const wchar_t*)>& read)
{
    std::vector<std::wstring> values;
    for (auto [section, key] : kProbes) values.push_back(std::wstring(section) + L"/" + key + L"=" + read(section, key));
    return values;
}

bool SameName(const wchar_t* a, const wchar_t* b) { return CompareStringOrdinal(a, -1, b, -1, TRUE) == CSTR_EQUAL; }

// Any file, saved with any values: Windows' profile functions then read every key as its author meant it, but the keys
// set, which read as set; the file is in a form Windows reads; and the tool's own reader reads every key as the profile
// functions do.
TEST(SettingsFile, AnySaveKeepsEveryKeyItDoesNotSetAndIsReadAsWindowsReadsIt)
{
    TempFolder folder;
    const std::wstring ini = folder.File(L"k.ini"), meant = folder.File(L"meant.ini");
    const TextForm forms[] = {TextForm::Ansi, TextForm::Utf16Le, TextForm::Utf16Be, TextForm::Utf8, TextForm::Utf8Bare};
    const wchar_t* const setSections[] = {L"player", L"New", L" wav"};
    const wchar_t* const setValues[] = {L"Light", L" Hi-Res ", L"\"Live\"", L"line\r\nbreak", L"\u30b5\u30a6\u30f3\u30c9", L"'x'"};
    auto profile = [](const std::wstring& path) { return [path](const wchar_t* s, const wchar_t* k) { return IniString(path, s, k); }; };
    auto reader = [](const SettingsText& settings) {
        return [&settings](const wchar_t* s, const wchar_t* k) { return settings.String(s, k, kMissing, 4096); };
    };
    for (unsigned seed = 1; seed <= 100; ++seed) {
        std::mt19937 random(seed);
        const TextForm form = forms[random() % 5];
        const std::wstring text = RandomSettingsText(random, form);
        SCOPED_TRACE(testing::Message() << "seed " << seed << ", form " << static_cast<int>(form) << ": " << testing::PrintToString(text));
        WriteBytes(ini, InForm(text, form));
        WriteBytes(meant, InForm(text, TextForm::Utf16Le));  // what the author meant, in a form Windows reads as Wine does
        std::vector<std::wstring> expected = ReadEveryKey(profile(meant));
        const SettingsText before = ReadSettingsFile(ini);
        EXPECT_EQ(ReadEveryKey(reader(before)), expected);
        std::vector<SettingValue> values;
        for (int n = static_cast<int>(random() % 3); n >= 0; --n) {
            values.push_back({setSections[random() % 3], random() % 2 ? L"Skin" : L"Added", setValues[random() % 6]});
            std::wstring shown = values.back().value;
            std::replace_if(shown.begin(), shown.end(), [](wchar_t c) { return c == L'\r' || c == L'\n'; }, L' ');
            for (size_t i = 0; i < kProbes.size(); ++i)
                if (SameName(kProbes[i].first, Trimmed(values.back().section).c_str()) && SameName(kProbes[i].second, values.back().key.c_str()))
                    expected[i] = std::wstring(kProbes[i].first) + L"/" + kProbes[i].second + L"=" + shown;
        }
        ASSERT_TRUE(WriteSettingValues(ini, values));
        EXPECT_EQ(ReadEveryKey(profile(ini)), expected);
        const std::vector<BYTE> bytes = FileBytes(ini);
        EXPECT_TRUE(bytes.size() < 2 || (bytes[0] != 0xEF && bytes[0] != 0xFE) || (bytes[0] == 0xFF && bytes[1] == 0xFE))
            << "ANSI or UTF-16LE with its mark";
        const SettingsText after = ReadSettingsFile(ini);
        EXPECT_EQ(ReadEveryKey(reader(after)), expected);
    }
}

// Where Windows' "Use Unicode UTF-8" setting is on, a file without a mark
// is read in UTF-8 by the profile functions: it is ANSI, and keeps its form.
TEST(SettingsFile, OnAUtf8SystemAFileWithoutAMarkKeepsItsForm)
{
    TempFolder folder;
    const std::wstring ini = folder.File(L"k.ini");
    const std::vector<BYTE> before = InForm(L"[Player]\r\nFolder=C:\\\u97f3\u697d\r\n", TextForm::Utf8Bare);
    WriteBytes(ini, before);
    g_ansiCodePage = [] { return static_cast<UINT>(CP_UTF8); };
    ASSERT_TRUE(WriteSettingValues(ini, {{L"wav", L"Description", L"\u30b5\u30a6\u30f3\u30c9"}}));
    g_ansiCodePage = GetACP;
    std::vector<BYTE> expected = before;
    const std::vector<BYTE> added = InForm(L"[wav]\r\nDescription=\u30b5\u30a6\u30f3\u30c9\r\n", TextForm::Utf8Bare);
    expected.insert(expected.end(), added.begin(), added.end());
    EXPECT_EQ(FileBytes(ini), expected);
}

// Every state a Windows file can be in: a save writes the file whole, or leaves it as it was where it must not be
// written, and nothing beside it; the copy that takes its place takes its owner and DACL as they are.
enum class FileState { Plain, ReadOnly, HeldOpen, Linked, Aliased, BareName, Refused, Gone, Renamed };

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

std::vector<std::wstring> FilesIn(const std::wstring& folder)
{
    std::vector<std::wstring> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) names.push_back(entry.path().filename().wstring());
    std::sort(names.begin(), names.end());
    return names;
}

// The owner and DACL of a security descriptor, as text.
std::wstring OwnerAndDacl(PSECURITY_DESCRIPTOR security)
{
    LPWSTR text = nullptr;
    ConvertSecurityDescriptorToStringSecurityDescriptorW(security, SDDL_REVISION_1, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, &text, nullptr);
    std::wstring sddl = text ? text : L"";
    LocalFree(text);
    return sddl;
}

TEST(SettingsFile, EveryStateKeepsTheWholeFileAndTheCopyTakesTheOwnerAndDacl)
{
    ProcessStateGuard guard;
    StartUpLikeTheTool();
    const std::wstring text = L"; the player's own\r\n[Player]\r\nVolume = 80\r\nKeep=caf\u00e9\u0081\r\n";
    // A move into place that fails the ways ReplaceFileW's callers meet: refused with the file still there, or after it
    // took the file away (1176) or renamed it (1177); a second move then goes through.
    static FileState fault;
    static int moves;
    static std::wstring handedOver;  // what the copy was given, and what it must be given
    g_fileCalls.moveIntoPlace = [](HANDLE copy, HANDLE folder, const std::wstring& name, bool replace) {
        if (fault == FileState::Refused || (fault != FileState::Plain && moves++ == 0)) {
            const std::wstring path = FinalPath(folder) + L"\\" + name;
            if (fault == FileState::Gone) DeleteFileW(path.c_str());
            if (fault == FileState::Renamed) MoveFileW(path.c_str(), (path + L".old").c_str());
            SetLastError(fault == FileState::Gone ? ERROR_UNABLE_TO_MOVE_REPLACEMENT : ERROR_UNABLE_TO_MOVE_REPLACEMENT_2);
            return false;
        }
        return MoveIntoPlace(copy, folder, name, replace);
    };
    g_fileCalls.setSecurity = [](HANDLE copy, SECURITY_INFORMATION which, PSECURITY_DESCRIPTOR security) -> BOOL {
        handedOver = (which == (OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION) ? L"owner and DACL " : L"") + OwnerAndDacl(security);
        return SetKernelObjectSecurity(copy, which, security);
    };
    struct RealCalls { ~RealCalls() { g_fileCalls = kSystemFileCalls; } } realCallsAfterwards;
    const struct { FileState state; std::vector<std::wstring> beside; } cases[] = {
        {FileState::Plain, {}}, {FileState::ReadOnly, {}}, {FileState::HeldOpen, {}},
        {FileState::Linked, {}},                         // the file itself one
        {FileState::Aliased, {}},                        // reached through a link, there or missing
        {FileState::BareName, {}}, {FileState::Refused, {}}, {FileState::Gone, {}}, {FileState::Renamed, {L"Korvane.ini.old"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "state " << static_cast<int>(c.state));
        TempFolder folder, elsewhere;
        const std::wstring ini = folder.File(L"Korvane.ini"), sentinel = elsewhere.File(L"sentinel.txt");
        const std::vector<BYTE> before = InForm(text, TextForm::Ansi);
        WriteBytes(c.state == FileState::Linked ? sentinel : ini, before);
        if (c.state != FileState::Linked) std::ofstream(std::filesystem::path(sentinel)) << "[Sentinel]";
        const std::vector<BYTE> sentinelBytes = FileBytes(sentinel);
        if (c.state == FileState::Linked) { ASSERT_TRUE(CreateHardLinkW(ini.c_str(), sentinel.c_str(), nullptr)); }
        SetFileAttributesW(ini.c_str(), c.state == FileState::ReadOnly ? FILE_ATTRIBUTE_READONLY : FILE_ATTRIBUTE_HIDDEN);
        PSECURITY_DESCRIPTOR original = nullptr;
        GetNamedSecurityInfoW(ini.c_str(), SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, nullptr, nullptr,
                              nullptr, nullptr, &original);
        const std::wstring owned = L"owner and DACL " + OwnerAndDacl(original);
        LocalFree(original);
        HANDLE holder = c.state == FileState::HeldOpen ? CreateFileW(ini.c_str(), GENERIC_READ | GENERIC_WRITE,
                                                                     FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr)
                                                       : INVALID_HANDLE_VALUE;
        SetCurrentDirectoryW(folder.path().c_str());  // the tool's own start-up makes a bare name full
        const std::wstring path = c.state == FileState::BareName ? ReadCommandLine(L"KorvaneAssoc.exe /Register Korvane.ini").settingsPath
                                  : c.state == FileState::Aliased ? ThroughZ(ini) : ini;
        SetCurrentDirectoryW(BesideTests(L"").c_str());
        fault = c.state >= FileState::Refused ? c.state : FileState::Plain;
        moves = 0;
        handedOver.clear();
        WriteSettingValues(path, {{L"wav", L"Description", L"Wave"}});
        fault = FileState::Plain;
        if (holder != INVALID_HANDLE_VALUE) CloseHandle(holder);

        std::vector<std::wstring> expected = c.beside;
        expected.push_back(L"Korvane.ini");
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(FilesIn(folder.path()), expected) << "nothing is left beside the file";
        EXPECT_EQ(FileBytes(sentinel), sentinelBytes) << "a file elsewhere is never written";
        const DWORD attributes = GetFileAttributesW(ini.c_str());
        for (const std::wstring& name : FilesIn(folder.path())) SetFileAttributesW(folder.File(name.c_str()).c_str(), FILE_ATTRIBUTE_NORMAL);
        if (c.state == FileState::ReadOnly || c.state == FileState::Linked || c.state == FileState::Aliased) {
            EXPECT_EQ(FileBytes(ini), before) << "left as it was";
            if (c.state != FileState::Aliased) continue;
            DeleteFileW(ini.c_str());  // and where it is missing, not made through the link either
            WriteSettingValues(path, {{L"wav", L"Description", L"Wave"}});
            EXPECT_TRUE(FilesIn(folder.path()).empty());
            continue;
        }
        // Every other line byte for byte.
        EXPECT_EQ(FileBytes(ini), InForm(text + L"[wav]\r\nDescription=Wave\r\n", TextForm::Ansi));
        if (c.state == FileState::Plain) {
            EXPECT_TRUE(attributes & FILE_ATTRIBUTE_HIDDEN) << "attributes kept";
            EXPECT_EQ(handedOver, owned);
        }
    }
}

} // namespace
