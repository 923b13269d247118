// The catalogue: discovery of what the registry holds now with the icons
// it names, merging, and the store in the settings file.
#include <gtest/gtest.h>

#include <algorithm>

#include "catalogue/discovery.h"
#include "catalogue/merge.h"
#include "support.h"
#include "ui/type_store.h"

namespace {

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
    const std::wstring longIcon = folder.File(L"A Long Named Icon File.ico");
    WriteTextFile(longIcon, L"not really an icon");
    wchar_t shortIcon[kPathChars];
    ASSERT_GT(GetShortPathNameW(longIcon.c_str(), shortIcon, kPathChars), 0u);
    const std::wstring module = resourceModulePath;
    const struct { const wchar_t* extension; std::wstring iconText; std::wstring path; int id; } icons[] = {
        {L"kvi1", module + L",-105", module, -105}, {L"kvi2", module + L",2", module, -103},
        {L"kvi3", module + L",7,3", module, -109}, {L"kvi4", module + L",abc", module, -101},
        {L"kvi5", module + L",  -7x", module, -7}, {L"kvi6", shortIcon, longIcon, 0},
        {L"kvi7", std::wstring(shortIcon) + L",4", longIcon, 0},
        {L"kvi8", L"C:\\gone\\icons.dll,3", L"C:\\gone\\icons.dll", 0}, {L"kvi9", L",-5", L"", -5}, {L"kvj", L"", L"", 0},
        {L"kvia", module + L",8", module, -110}, {L"kvib", module + L",9", module, 0},  // the last group; none beyond
        {L"kvic", BesideTests(L"icon_fixture.dll") + L",1", BesideTests(L"icon_fixture.dll"), -7},  // "NAMED" not counted
    };
    for (const auto& c : icons) {
        Declare(std::wstring(L".") + c.extension);
        MakeClass(c.extension, c.iconText.empty() ? nullptr : c.iconText.c_str());
    }
    for (const wchar_t* value : {L".kva", L".kvnoclass", L"kvb", L".kvb", L"KVA", L".KVC", L".kva\\x"}) Declare(value);
    Seed({{HKEY_LOCAL_MACHINE, kCapability, L".kvdword", REG_DWORD, {1, 0, 0, 0}, KEY_WOW64_64KEY}});
    Declare(L"kvm");  // without its dotted value: not declared
    for (const wchar_t* e : {L"kva", L"kvb", L"kvc", L"kvdword", L"kva\\x", L"kvm"}) MakeClass(e);
    DiscoverAssociatedTypes(list);
    // kva overwrites the entry that was there; kvb (with and without its
    // dot) gives one entry; KVA is another entry (letter case counts);
    // .KVC keeps its capitals; a backslash names keys outside the type; a
    // value of another type still declares its type.
    std::vector<std::wstring> found = Extensions(list);
    std::sort(found.begin(), found.end());
    EXPECT_EQ(found, (std::vector<std::wstring>{L"KVA", L"KVC", L"kva", L"kvb", L"kvdword", L"kvi1", L"kvi2", L"kvi3",
                                                L"kvi4", L"kvi5", L"kvi6", L"kvi7", L"kvi8", L"kvi9", L"kvia",
                                                L"kvib", L"kvic", L"kvj"}));
    EXPECT_EQ(list[0].description, L"D kva");
    for (const auto& e : list) EXPECT_EQ(e.flags, FT_ASSOCIATED);
    // A value name of 256 characters, one more than the buffer holds with
    // its NUL, ends the walk: what comes after it (Wine lists values by
    // name) is not seen.
    Declare(L".kvz" + std::wstring(252, L'n'));
    Declare(L".kvzz");
    MakeClass(L"kvzz");
    FileTypeList cut;
    DiscoverAssociatedTypes(cut);
    EXPECT_TRUE(std::none_of(cut.begin(), cut.end(), [](const FileTypeEntry& e) { return e.extension == L"kvzz"; }));
    for (const auto& c : icons) {
        auto e = std::find_if(list.begin(), list.end(), [&](const FileTypeEntry& x) { return x.extension == c.extension; });
        ASSERT_NE(e, list.end()) << testing::PrintToString(c.iconText);
        EXPECT_EQ(e->iconPath, c.path) << testing::PrintToString(c.iconText);
        EXPECT_EQ(e->iconId, c.id) << testing::PrintToString(c.iconText);
    }
}

TEST(MergeFileTypes, OverlaysByExtensionIgnoringCaseInPlace)
{
    FileTypeList target;
    for (const wchar_t* e : {L"wav", L"mp3", L"ogg"}) target.emplace_back(e, L"builtin", L"res.dll", -1, 0u);
    MergeFileTypes(target, {});
    EXPECT_EQ(Extensions(target), (std::vector<std::wstring>{L"wav", L"mp3", L"ogg"}));
    const FileTypeList stored{{L"WAV", L"mine", L"my.ico", 0, 0u}, {L"ogg2", L"o2", L"r", -1, 0u},
                              {L"mp3", L"stored mp3", L"r", -1, 0u}, {L"OGG2", L"last", L"r", -1, 0u}};
    const FileTypeList current{{L"mp3", L"registry mp3", L"reg.dll", -3, FT_ASSOCIATED},
                               {L"ape2", L"a2", L"r", -1, FT_ASSOCIATED}};
    MergeFileTypes(target, stored);
    MergeFileTypes(target, current);
    EXPECT_EQ(Extensions(target), (std::vector<std::wstring>{L"WAV", L"mp3", L"ogg", L"OGG2", L"ape2"}));
    EXPECT_EQ(target[0].iconPath, L"my.ico");
    EXPECT_EQ(target[1].description, L"registry mp3");
    EXPECT_EQ(target[1].flags, FT_ASSOCIATED);
    EXPECT_EQ(target[3].description, L"last");
    MergeFileTypes(target, stored);  // stored after current would clear the tick
    EXPECT_EQ(target[1].flags, 0u);
}

TEST_F(Catalogue, StoreLoadsWithDefaultsAndSavesEverythingButPseudoTypes)
{
    TempFolder folder;
    const std::wstring ini = folder.File(L"settings.ini");
    WriteTextFile(ini, L"[RegisterdExtensions]\r\nExtensions=.wav;;mp3;bare;" + std::wstring(3000, L'e') +
                           L";\r\n[wav]\r\nDescription=" + std::wstring(5000, L'd') +
                           L"\r\nIconPath=C:\\w.ico\r\nIconId=0\r\n[mp3]\r\nIconId=-7\r\n[gone]\r\nDescription=Old\r\n");
    FileTypeList list;
    LoadStoredTypes(ini.c_str(), list);
    ASSERT_EQ(list.size(), 4u);
    EXPECT_EQ(Extensions(list)[2], L"bare");
    EXPECT_EQ(list[3].extension.size(), 2047u - 15) << "the list is cut at 2,047 characters";
    EXPECT_EQ(list[0].description.size(), 1023u);
    EXPECT_EQ(list[0].iconPath, L"C:\\w.ico");
    EXPECT_EQ(list[1].iconId, -7);
    EXPECT_EQ(list[2].iconPath, resourceModulePath);
    EXPECT_EQ(list[2].iconId, -101);

    const FileTypeList saved{
        {L"wav", L"Wave サウンド", L"C:\\Program Files\\K\\KorvaneRes.dll", -109, FT_ASSOCIATED},
        {L".abc", L"Dotted", L"C:\\a.ico", 0, 0u},
        {L"AudioCD", L"", L"", 0, FT_AUDIOCD | FT_ASSOCIATED}, {L"Folder", L"", L"", 0, FT_FOLDER | FT_ASSOCIATED},
        {L"semi;colon", L"", L"", 0, 0u}, {L"", L"", L"", 0, 0u},
    };
    SaveStoredTypes(ini.c_str(), saved);
    EXPECT_EQ(IniString(ini, L"RegisterdExtensions", L"Extensions"), L"wav;abc;");
    EXPECT_EQ(IniString(ini, L"AudioCD", L"Description"), kMissing);
    EXPECT_EQ(IniString(ini, L"gone", L"Description"), L"Old") << "old sections stay";
    FileTypeList back;
    LoadStoredTypes(ini.c_str(), back);
    ASSERT_EQ(Extensions(back), (std::vector<std::wstring>{L"wav", L"abc"}));
    EXPECT_EQ(back[0].description, L"Wave サウンド");
    EXPECT_EQ(back[0].iconId, -109);
    EXPECT_EQ(back[0].flags, 0u);

    SaveStoredTypes(ini.c_str(), {saved[2], saved[3]});
    EXPECT_EQ(IniString(ini, L"RegisterdExtensions", L"Extensions"), L"");
}

} // namespace
