// The catalogue: discovery of what the registry holds now, icon ids, merging
// and the store in the settings file.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

#include "catalogue/discovery.h"
#include "catalogue/icons.h"
#include "catalogue/merge.h"
#include "ui/type_store.h"
#include "support.h"

namespace {

const std::wstring kCapability = L"Software\\Ostrafen\\Korvane Player\\Capabilities\\FileAssociations";

std::vector<std::wstring> Extensions(const FileTypeList& list)
{
    std::vector<std::wstring> names;
    for (const auto& e : list) names.push_back(e.extension);
    return names;
}

// --- Icons -------------------------------------------------------------------

class Icons : public testing::Test {
protected:
    void SetUp() override { StartUpLikeTheTool(); }
    ProcessStateGuard guard_;
};

TEST_F(Icons, PositionsBecomeResourceIds)
{
    const std::wstring fixture = BesideTests(L"icon_fixture.dll");
    const std::wstring ico = BesideTests(L"testdata\\wav.ico");
    struct { std::wstring path; int index; int expected; } cases[] = {
        {resourceModulePath, 0, -101},
        {resourceModulePath, 2, -103},
        {resourceModulePath, 5, -107},
        {resourceModulePath, 8, -110},
        {resourceModulePath, 9, 0},                 // beyond the groups
        {resourceModulePath, -105, -105},           // negative ids are left alone
        {L"C:\\missing.dll", -7, -7},
        {L"C:\\missing.dll", 1, 0},                 // does not load
        {ico, 3, 0},
        {BesideTests(L"testdata\\WAV.ICO"), 3, 0},  // the extension test ignores case
        {fixture, 0, -3},                           // the string-named group is not counted
        {fixture, 1, -7},
        {fixture, 2, 0},
        {BesideTests(L"testdata"), 0, 0},           // a folder, no extension: tried as a module
    };
    for (const auto& c : cases)
        EXPECT_EQ(ResolveIconIndex(c.path.c_str(), c.index), c.expected) << testing::PrintToString(c.path) << " " << c.index;
}

TEST_F(Icons, EnumerationSkipsNamedGroupsAndOwnsItsIcons)
{
    IconGroups icons = EnumerateIconGroups(BesideTests(L"icon_fixture.dll").c_str());
    ASSERT_TRUE(icons.module);
    ASSERT_EQ(icons.groups.size(), 2u);
    EXPECT_EQ(icons.groups[0].iconId, -3);
    EXPECT_EQ(icons.groups[1].iconId, -7);
    for (const auto& g : icons.groups) EXPECT_TRUE(g.icon);
    EXPECT_FALSE(EnumerateIconGroups(L"C:\\missing.dll").module);
}

TEST_F(Icons, LoadTypeIconFallsBackToTheDefaultIcon)
{
    const std::wstring fixture = BesideTests(L"icon_fixture.dll");
    struct { std::wstring path; int id; } cases[] = {
        {fixture, -7}, {resourceModulePath, -109}, {BesideTests(L"testdata\\wav.ico"), -5},
        {fixture, -101}, {fixture, 0}, {L"C:\\missing.dll", -7}, {L"C:\\missing.ico", 0}, {L"", 0},
    };
    for (const auto& c : cases) {
        UniqueIcon icon = LoadTypeIcon(c.path.c_str(), c.id);
        EXPECT_TRUE(icon) << testing::PrintToString(c.path) << " " << c.id;
        ICONINFO info{};
        ASSERT_TRUE(GetIconInfo(icon.get(), &info));
        BITMAP bitmap{};
        GetObjectW(info.hbmColor ? info.hbmColor : info.hbmMask, sizeof(bitmap), &bitmap);
        EXPECT_EQ(bitmap.bmWidth, 32);
        if (info.hbmColor) DeleteObject(info.hbmColor);
        DeleteObject(info.hbmMask);
    }
    // Without a resource module there is nothing to fall back on.
    associationContext.resourceModule = nullptr;
    EXPECT_FALSE(LoadTypeIcon(L"C:\\missing.dll", -7));
}

// --- Discovery ---------------------------------------------------------------

class Discovery : public testing::Test {
protected:
    void SetUp() override { StartUpLikeTheTool(); }
    void Declare(const std::wstring& valueName, const std::wstring& data = L"x")
    {
        PutString(HKEY_LOCAL_MACHINE, kCapability, valueName.c_str(), data, KEY_WOW64_64KEY);
    }
    void MakeClass(const std::wstring& extension, const std::wstring& description, const wchar_t* icon)
    {
        const std::wstring progId = L"Korvane " + extension + L" File";
        classes_.push_back(std::make_unique<ScopedTree>(HKEY_CLASSES_ROOT, progId));
        PutString(HKEY_CLASSES_ROOT, progId, nullptr, description);
        if (icon) PutString(HKEY_CLASSES_ROOT, progId + L"\\DefaultIcon", nullptr, icon);
    }
    ProcessStateGuard guard_;
    PreservedTree player64_{HKEY_LOCAL_MACHINE, L"Software\\Ostrafen", KEY_WOW64_64KEY};
    PreservedTree player32_{HKEY_LOCAL_MACHINE, L"Software\\Ostrafen", KEY_WOW64_32KEY};
    std::vector<std::unique_ptr<ScopedTree>> classes_;
};

TEST_F(Discovery, NoCapabilityRecordFindsNothing)
{
    MakeClass(L"kva", L"A", nullptr);
    FileTypeList list;
    DiscoverAssociatedTypes(list);
    EXPECT_TRUE(list.empty());
}

TEST_F(Discovery, OnlyDeclaredTypesWithAClassCount)
{
    Declare(L".kva");                   // class exists
    Declare(L".kvnoclass");             // no class
    Declare(L"kvb");                    // no dot: looked up as .kvb, which is declared too
    Declare(L".kvb");
    Declare(L".KVC");                   // keeps its capitals
    Declare(L".kva\\x");                // names keys outside the type: never ours
    const DWORD one = 1;
    PutValue(HKEY_LOCAL_MACHINE, kCapability, L".kvdword", REG_DWORD, &one, sizeof(one), KEY_WOW64_64KEY);
    PutString(HKEY_LOCAL_MACHINE, kCapability, L"kvnodot", L"x", KEY_WOW64_64KEY);  // .kvnodot is not declared
    for (const wchar_t* e : {L"kva", L"kvb", L"kvc", L"kvdword", L"kvnodot"}) MakeClass(e, std::wstring(L"D ") + e, nullptr);
    MakeClass(L"kva\\x", L"outside", nullptr);

    FileTypeList list;
    DiscoverAssociatedTypes(list);
    EXPECT_EQ(Extensions(list), (std::vector<std::wstring>{L"kva", L"kvb", L"KVC"}));
    for (const auto& e : list) EXPECT_EQ(e.flags, FT_ASSOCIATED) << testing::PrintToString(e.extension);
    EXPECT_EQ(list[2].description, L"D kvc");
}

TEST_F(Discovery, DuplicatesFoldWithLetterCaseSignificant)
{
    // Value names ignore case in the registry, so .kvd and KVD (no dot) are
    // two values that both find .kvd and the class; they stay two entries.
    Declare(L".kvd");
    Declare(L"KVD");
    MakeClass(L"kvd", L"D", nullptr);
    FileTypeList list{FileTypeEntry(L"kvd", L"old", L"", 0, 0)};
    DiscoverAssociatedTypes(list);
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[0].extension, L"kvd");
    EXPECT_EQ(list[0].description, L"D");
    EXPECT_EQ(list[0].flags, FT_ASSOCIATED);
    EXPECT_EQ(list[1].extension, L"KVD");
}

TEST_F(Discovery, DefaultIconIsParsedAtTheFirstComma)
{
    TempFolder folder;
    const std::wstring longIcon = folder.File(L"A Long Named Icon File.ico");
    WriteTextFile(longIcon, L"not really an icon");
    wchar_t shortIcon[kPathChars];
    ASSERT_GT(GetShortPathNameW(longIcon.c_str(), shortIcon, kPathChars), 0u);
    const std::wstring module = resourceModulePath;
    struct { const wchar_t* extension; std::wstring spec; std::wstring path; int id; } cases[] = {
        {L"kvi1", module + L",-105", module, -105},
        {L"kvi2", module + L",2", module, -103},
        {L"kvi3", module + L",7,3", module, -109},
        {L"kvi4", module + L",abc", module, -101},
        {L"kvi5", module + L",  -7x", module, -7},
        {L"kvi6", std::wstring(shortIcon), longIcon, 0},
        {L"kvi7", std::wstring(shortIcon) + L",4", longIcon, 0},
        {L"kvi8", L"C:\\gone\\icons.dll,3", L"C:\\gone\\icons.dll", 0},
        {L"kvi9", L",-5", L"", -5},
        {L"kvi10", L"", L"", 0},
    };
    for (const auto& c : cases) {
        Declare(std::wstring(L".") + c.extension);
        MakeClass(c.extension, L"D", c.spec.empty() ? nullptr : c.spec.c_str());
    }
    FileTypeList list;
    DiscoverAssociatedTypes(list);
    ASSERT_EQ(list.size(), std::size(cases));
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.spec));
        auto found = std::find_if(list.begin(), list.end(), [&](const FileTypeEntry& e) { return e.extension == c.extension; });
        ASSERT_NE(found, list.end());
        EXPECT_EQ(found->iconPath, c.path);
        EXPECT_EQ(found->iconId, c.id);
    }
}

TEST_F(Discovery, AnOverlongValueNameEndsTheWalk)
{
    // Made in name order, so that the long name lies between the two
    // whether the registry lists values by age or by name.
    Declare(L".kve1");
    Declare(L".kvf" + std::wstring(300, L'n'));
    Declare(L".kvg2");
    MakeClass(L"kve1", L"1", nullptr);
    MakeClass(L"kvg2", L"2", nullptr);
    FileTypeList list;
    DiscoverAssociatedTypes(list);
    // The walk stops at the long name, so kvg2 is never looked at.
    EXPECT_EQ(Extensions(list), (std::vector<std::wstring>{L"kve1"}));
}

TEST_F(Discovery, PseudoTypesGoByTheClientInTheirCommands)
{
    PreservedTree audioCd(HKEY_CLASSES_ROOT, L"AudioCD");
    PreservedTree folderVerb(HKEY_CLASSES_ROOT, L"Folder\\shell\\KorvaneOpen");
    struct { const wchar_t* audioCommand; bool associated; } cases[] = {
        {L"\"D:\\Elsewhere\\TOVRIX.EXE\" \"/open\" \"%L\"", true},
        {L"\"C:\\Other\\player.exe\" \"%L\"", false},
        {nullptr, false},
    };
    for (const auto& c : cases) {
        if (c.audioCommand) PutString(HKEY_CLASSES_ROOT, L"AudioCD\\shell\\play\\command", nullptr, c.audioCommand);
        FileTypeEntry audio(L"AudioCD", L"", L"", 0, FT_AUDIOCD);
        EXPECT_EQ(IsTypeAssociated(audio), c.associated);
        EXPECT_EQ(audio.flags, c.associated ? (FT_AUDIOCD | FT_ASSOCIATED) : FT_AUDIOCD);
        EXPECT_EQ(audio.description, L"");
    }
    PutString(HKEY_CLASSES_ROOT, L"Folder\\shell\\KorvaneOpen\\command", nullptr, L"C:\\x\\Tovrix.exe /open");
    FileTypeEntry folder(L"Folder", L"", L"", 0, FT_FOLDER);
    EXPECT_TRUE(IsTypeAssociated(folder));
    // Both flags: the audio-CD test comes first.
    PutString(HKEY_CLASSES_ROOT, L"AudioCD\\shell\\play\\command", nullptr, L"other.exe");
    FileTypeEntry both(L"x", L"", L"", 0, FT_AUDIOCD | FT_FOLDER);
    EXPECT_FALSE(IsTypeAssociated(both));
}

// --- Merging -----------------------------------------------------------------

TEST(MergeFileTypes, OverlaysByExtensionIgnoringCase)
{
    FileTypeList builtins;
    for (const wchar_t* e : {L"wav", L"mp3", L"ogg"}) builtins.emplace_back(e, L"builtin", L"res.dll", -1, 0u);

    FileTypeList target = builtins;
    MergeFileTypes(target, {});
    EXPECT_EQ(Extensions(target), Extensions(builtins));

    const FileTypeList stored{{L"WAV", L"mine", L"my.ico", 0, 0u}, {L"ogg2", L"o2", L"r", -1, 0u},
                              {L"mp3", L"stored mp3", L"r", -1, 0u}};
    const FileTypeList current{{L"mp3", L"registry mp3", L"reg.dll", -3, FT_ASSOCIATED},
                               {L"ape2", L"a2", L"r", -1, FT_ASSOCIATED}};
    MergeFileTypes(target, stored);
    MergeFileTypes(target, current);
    EXPECT_EQ(Extensions(target), (std::vector<std::wstring>{L"WAV", L"mp3", L"ogg", L"ogg2", L"ape2"}));
    EXPECT_EQ(target[0].iconPath, L"my.ico");
    EXPECT_EQ(target[1].description, L"registry mp3");
    EXPECT_EQ(target[1].flags, FT_ASSOCIATED);
    EXPECT_EQ(target[2].flags, 0u);

    // Stored after current would clear the tick: the order of the merges matters.
    MergeFileTypes(target, stored);
    EXPECT_EQ(target[1].flags, 0u);
}

TEST(MergeFileTypes, CaseVariantsInOneSourceCollapseAtTheFirstPosition)
{
    FileTypeList target;
    MergeFileTypes(target, {{L"abc", L"1", L"", 0, 0u}, {L"x", L"", L"", 0, 0u}, {L"ABC", L"2", L"", 0, 0u},
                            {L" abc", L"3", L"", 0, 0u}});
    EXPECT_EQ(Extensions(target), (std::vector<std::wstring>{L"ABC", L"x", L" abc"}));
    EXPECT_EQ(target[0].description, L"2");
}

// --- The store in the settings file ------------------------------------------

class Store : public testing::Test {
protected:
    void SetUp() override { StartUpLikeTheTool(); }
    std::wstring Ini() const { return folder_.File(L"settings.ini"); }
    ProcessStateGuard guard_;
    TempFolder folder_;
};

TEST_F(Store, LoadsInListOrderWithDefaults)
{
    WriteTextFile(Ini(), L"[RegisterdExtensions]\r\nExtensions=.wav;;mp3;bare;\r\n"
                         L"[wav]\r\nDescription=Wave\r\nIconPath=C:\\w.ico\r\nIconId=0\r\n"
                         L"[mp3]\r\nDescription=Mpeg\r\nIconPath=C:\\m.dll\r\nIconId=-7\r\n"
                         L"[bare]\r\n[odd]\r\nIconId=seven\r\n");
    FileTypeList list;
    LoadStoredTypes(Ini().c_str(), list);
    ASSERT_EQ(Extensions(list), (std::vector<std::wstring>{L"wav", L"mp3", L"bare"}));
    EXPECT_EQ(list[0].iconPath, L"C:\\w.ico");
    EXPECT_EQ(list[1].iconId, -7);
    EXPECT_EQ(list[2].description, L"");
    EXPECT_EQ(list[2].iconPath, resourceModulePath);
    EXPECT_EQ(list[2].iconId, -101);
    for (const auto& e : list) EXPECT_EQ(e.flags, 0u);

    FileTypeList none;
    LoadStoredTypes(folder_.File(L"missing.ini").c_str(), none);
    EXPECT_TRUE(none.empty());
}

TEST_F(Store, OverlongValuesAreCut)
{
    WriteTextFile(Ini(), L"[RegisterdExtensions]\r\nExtensions=" + std::wstring(3000, L'e') + L";\r\n[x]\r\n");
    FileTypeList list;
    LoadStoredTypes(Ini().c_str(), list);
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0].extension.size(), 2047u);

    WriteTextFile(Ini(), L"[RegisterdExtensions]\r\nExtensions=x;\r\n[x]\r\nDescription=" + std::wstring(5000, L'd') + L"\r\n");
    list.clear();
    LoadStoredTypes(Ini().c_str(), list);
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0].description.size(), 1023u);
}

TEST_F(Store, RoundTripSkipsPseudoTypesAndKeepsOldSections)
{
    WriteTextFile(Ini(), L"[gone]\r\nDescription=Old\r\n");
    const FileTypeList list{
        {L"wav", L"Wave サウンド", L"C:\\Program Files\\K\\KorvaneRes.dll", -109, FT_ASSOCIATED},
        {L".abc", L"Dotted", L"C:\\a.ico", 0, 0u},
        {L"AudioCD", L"", L"", 0, FT_AUDIOCD | FT_ASSOCIATED},
        {L"Folder", L"", L"", 0, FT_FOLDER | FT_ASSOCIATED},
        {L"semi;colon", L"", L"", 0, 0u},
        {L"", L"", L"", 0, 0u},
    };
    SaveStoredTypes(Ini().c_str(), list);
    EXPECT_EQ(IniString(Ini(), L"RegisterdExtensions", L"Extensions"), L"wav;abc;");
    EXPECT_EQ(IniString(Ini(), L"abc", L"Description"), L"Dotted");
    EXPECT_EQ(IniString(Ini(), L"AudioCD", L"Description"), kMissing);
    EXPECT_EQ(IniString(Ini(), L"gone", L"Description"), L"Old");

    FileTypeList back;
    LoadStoredTypes(Ini().c_str(), back);
    ASSERT_EQ(back.size(), 2u);
    EXPECT_EQ(back[0].description, L"Wave サウンド");
    EXPECT_EQ(back[0].iconPath, L"C:\\Program Files\\K\\KorvaneRes.dll");
    EXPECT_EQ(back[0].iconId, -109);
    EXPECT_EQ(back[0].flags, 0u);
    EXPECT_EQ(back[1].extension, L"abc");

    SaveStoredTypes(Ini().c_str(), {list[2], list[3]});
    EXPECT_EQ(IniString(Ini(), L"RegisterdExtensions", L"Extensions"), L"");
}

} // namespace
