// The host library's tokenizer and string loader, called through their
// ordinal imports exactly as the tool calls them.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host/zeltrane.h"
#include "resource.h"

namespace {

std::vector<std::wstring> Split(const wchar_t* commandLine, int capacity = 1024)
{
    std::vector<std::wstring> tokens;
    std::vector<wchar_t> buffer(capacity + 8, L'\xbdbd');
    for (const wchar_t* p = HostNextToken(commandLine, buffer.data(), capacity); p;
         p = HostNextToken(p, buffer.data(), capacity)) {
        EXPECT_EQ(buffer[capacity + 1], L'\xbdbd') << "wrote past the capacity";
        tokens.push_back(buffer.data());
    }
    return tokens;
}

struct TokenCase {
    const wchar_t* commandLine;
    std::vector<std::wstring> expected;
};

TEST(HostNextToken, SplitsByTheWindowsRules)
{
    const TokenCase cases[] = {
        {L"tool.exe", {L"tool.exe"}},
        {L"tool.exe   ", {L"tool.exe"}},
        {L"", {}},
        {L"  \t ", {}},
        {L"tool.exe /Register C:\\p\\s.ini", {L"tool.exe", L"/Register", L"C:\\p\\s.ini"}},
        {L"\"C:\\Program Files\\K\\KorvaneAssoc.exe\" /Register \"C:\\My Settings\\k.ini\"",
         {L"C:\\Program Files\\K\\KorvaneAssoc.exe", L"/Register", L"C:\\My Settings\\k.ini"}},
        {L"a \"b c\"d e", {L"a", L"b cd", L"e"}},
        {L"a \\\\\"b c\"", {L"a", L"\\b c"}},            // 2 backslashes + quote: one backslash, quoting
        {L"a \\\"b", {L"a", L"\"b"}},                    // 1 backslash + quote: literal quote
        {L"a C:\\dir\\ x", {L"a", L"C:\\dir\\", L"x"}},  // backslashes without a quote stay
        {L"a \"\" b", {L"a", L"", L"b"}},                // an empty quoted argument is an argument
        {L"a \"x\"\"y\"", {L"a", L"x\"y"}},              // "" inside quotes is a literal quote
        {L"a\tb", {L"a", L"b"}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Split(c.commandLine), c.expected) << "command line: " << testing::PrintToString(std::wstring(c.commandLine));
    }
}

TEST(HostNextToken, CutsOverlongArgumentsToTheCapacity)
{
    std::wstring longArgument(3000, L'x');
    std::wstring commandLine = L"tool.exe " + longArgument + L" /Register";
    auto tokens = Split(commandLine.c_str(), 1024);
    ASSERT_EQ(tokens.size(), 3u);
    EXPECT_EQ(tokens[1], std::wstring(1023, L'x'));
    EXPECT_EQ(tokens[2], L"/Register");

    tokens = Split(L"tool.exe abcdef", 4);
    ASSERT_EQ(tokens.size(), 2u);
    EXPECT_EQ(tokens[1], L"abc");
}

TEST(HostNextToken, ReadsTheProcessProgramNameByItsOwnRules)
{
    // Handed the real command line, the first token is this program's name.
    wchar_t token[1024];
    ASSERT_NE(HostNextToken(GetCommandLineW(), token, 1024), nullptr);
    std::wstring name = token;
    EXPECT_NE(name.find(L"korvane_tests"), std::wstring::npos) << testing::PrintToString(name);
}

TEST(HostLoadString, LoadsTextAndLeavesEmptyStringForMissingIds)
{
    HMODULE module = HostResourceModule();
    ASSERT_NE(module, nullptr);
    EXPECT_EQ(module, HostResourceModule()) << "loaded once";

    wchar_t text[256];
    HostLoadString(module, IDS_COLUMN_EXTENSION, text, 256);
    EXPECT_STREQ(text, L"Extension");

    wmemset(text, L'\xbdbd', 256);
    HostLoadString(module, 4242, text, 256);
    EXPECT_STREQ(text, L"");

    wchar_t small[6];
    wmemset(small, L'\xbdbd', 6);
    HostLoadString(module, IDS_COLUMN_DESCRIPTION, small, 5);
    EXPECT_STREQ(small, L"Desc");
    EXPECT_EQ(small[5], L'\xbdbd');
}

TEST(HostLoadString, FilterHoldsPairsEndedByTwoNuls)
{
    wchar_t filter[1024];
    HostLoadString(HostResourceModule(), IDS_ICON_FILTER, filter, 1024);
    std::vector<std::wstring> parts;
    for (const wchar_t* p = filter; *p; p += wcslen(p) + 1) parts.push_back(p);
    ASSERT_GE(parts.size(), 2u);
    EXPECT_EQ(parts.size() % 2, 0u);
    EXPECT_NE(parts[1].find(L"*.ico"), std::wstring::npos);
    EXPECT_NE(parts[1].find(L"*.dll"), std::wstring::npos);
    EXPECT_NE(parts[1].find(L"*.exe"), std::wstring::npos);
}

TEST(ResourceModule, HoldsEveryIconGroupAsItsOwnPicture)
{
    HMODULE module = HostResourceModule();
    std::vector<std::vector<BYTE>> pictures;
    for (int id : {101, 102, 103, 104, 105, 107, 108, 109, 110}) {
        HRSRC group = FindResourceW(module, MAKEINTRESOURCEW(id), RT_GROUP_ICON);
        ASSERT_NE(group, nullptr) << "icon group " << id;
        auto* dir = static_cast<const BYTE*>(LockResource(LoadResource(module, group)));
        const WORD count = *reinterpret_cast<const WORD*>(dir + 4);
        EXPECT_EQ(count, 3) << "16, 32 and 48 pixels in group " << id;
        HICON icon = static_cast<HICON>(LoadImageW(module, MAKEINTRESOURCEW(id), IMAGE_ICON, 32, 32, 0));
        ASSERT_NE(icon, nullptr);
        DestroyIcon(icon);
        // The 32-pixel image's bytes, to show that the pictures differ.
        const WORD imageId = *reinterpret_cast<const WORD*>(dir + 6 + 14 + 12);
        HRSRC image = FindResourceW(module, MAKEINTRESOURCEW(imageId), RT_ICON);
        auto* bytes = static_cast<const BYTE*>(LockResource(LoadResource(module, image)));
        pictures.emplace_back(bytes, bytes + SizeofResource(module, image));
    }
    for (size_t i = 0; i < pictures.size(); ++i)
        for (size_t j = i + 1; j < pictures.size(); ++j) EXPECT_NE(pictures[i], pictures[j]) << i << " and " << j;
}

} // namespace
