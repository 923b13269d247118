// The host library's tokenizer and string loader, called through their
// ordinal imports as the tool calls them.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host/zeltrane.h"
#include "resource.h"

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

TEST(HostNextToken, SplitsByTheWindowsRules)
{
    const struct { const wchar_t* line; std::vector<std::wstring> tokens; } cases[] = {
        {L"", {}},
        {L" \t ", {}},
        {L"tool.exe  /Register C:\\p\\s.ini ", {L"tool.exe", L"/Register", L"C:\\p\\s.ini"}},
        {L"\"C:\\Program Files\\K\\a.exe\" \"C:\\My Settings\\k.ini\"", {L"C:\\Program Files\\K\\a.exe", L"C:\\My Settings\\k.ini"}},
        {L"a \"b c\"d\te", {L"a", L"b cd", L"e"}},
        {L"a \\\\\"b c\"", {L"a", L"\\b c"}},            // 2n backslashes + quote: n backslashes, quoting
        {L"a \\\"b", {L"a", L"\"b"}},                    // 2n+1 backslashes + quote: a literal quote
        {L"a C:\\dir\\ x", {L"a", L"C:\\dir\\", L"x"}},  // backslashes before no quote stay
        {L"a \"\" \"x\"\"y\"", {L"a", L"", L"x\"y"}},    // empty argument; "" inside quotes
    };
    for (const auto& c : cases) EXPECT_EQ(Split(c.line), c.tokens) << testing::PrintToString(std::wstring(c.line));
}

TEST(HostNextToken, CutsOverlongArgumentsAndKnowsTheProgramName)
{
    const std::wstring line = L"tool.exe " + std::wstring(3000, L'x') + L" /Register";
    EXPECT_EQ(Split(line.c_str()), (std::vector<std::wstring>{L"tool.exe", std::wstring(1023, L'x'), L"/Register"}));
    EXPECT_EQ(Split(L"tool.exe abcdef", 4), (std::vector<std::wstring>{L"too", L"abc"}));

    wchar_t token[1024];
    ASSERT_NE(HostNextToken(GetCommandLineW(), token, 1024), nullptr);
    EXPECT_NE(std::wstring(token).find(L"korvane_tests"), std::wstring::npos);
}

TEST(HostLoadString, TerminatesWithinTheCapacityAndGivesEmptyForMissingIds)
{
    HMODULE module = HostResourceModule();
    ASSERT_NE(module, nullptr);
    EXPECT_EQ(module, HostResourceModule()) << "loaded once";
    wchar_t text[8];
    wmemset(text, L'\xbdbd', 8);
    HostLoadString(module, IDS_COLUMN_DESCRIPTION, text, 5);
    EXPECT_STREQ(text, L"Desc");
    EXPECT_EQ(text[5], L'\xbdbd');
    HostLoadString(module, 4242, text, 8);
    EXPECT_STREQ(text, L"");

    // The open-file filter: pairs of a description and a pattern, ended by two NULs.
    wchar_t filter[1024];
    HostLoadString(module, IDS_ICON_FILTER, filter, 1024);
    std::vector<std::wstring> parts;
    for (const wchar_t* p = filter; *p; p += wcslen(p) + 1) parts.push_back(p);
    ASSERT_GE(parts.size(), 2u);
    EXPECT_EQ(parts.size() % 2, 0u);
    EXPECT_EQ(parts[1], L"*.ico;*.dll;*.exe");
}

} // namespace
