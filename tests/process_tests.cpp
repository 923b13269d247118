// The installed tool as the player starts it: a separate process whose exit
// code is the answer.
#include <gtest/gtest.h>

#include <memory>

#include "app/settings.h"
#include "associate/applier.h"
#include "associate/verbs.h"
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

} // namespace
