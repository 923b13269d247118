// The installed tool as the player starts it: a separate process whose exit
// code is the answer.
#include <gtest/gtest.h>

#include "support.h"

namespace {

const wchar_t kCapabilityKey[] = L"Software\\Ostrafen\\Korvane Player\\Capabilities\\FileAssociations";

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
    ScopedTree capability(HKEY_LOCAL_MACHINE, kCapabilityKey);
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

} // namespace
