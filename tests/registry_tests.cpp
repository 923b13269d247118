// Registry primitives and the file type class writer, against Wine's real
// registry with its 64-bit and 32-bit views.
#include <gtest/gtest.h>

#include <functional>

#include "registry/file_type_class.h"
#include "registry/primitives.h"
#include "support.h"

namespace {

const std::wstring kScratch = L"Software\\KorvaneTests\\Primitives";

std::vector<BYTE> Bytes(const std::wstring& text, size_t extraBytes)
{
    std::vector<BYTE> bytes(reinterpret_cast<const BYTE*>(text.data()), reinterpret_cast<const BYTE*>(text.data() + text.size()));
    bytes.resize(bytes.size() + extraBytes, 0);
    return bytes;
}

class Primitives : public testing::Test {
protected:
    void SetUp() override
    {
        StartUpLikeTheTool();
        for (REGSAM view : kBothViews) keys_.Add(HKEY_LOCAL_MACHINE, kScratch, view);
    }
    ProcessStateGuard guard_;
    PreservedKeys keys_;
};

TEST_F(Primitives, QueryStringValueAcceptsOnlyRegSzWhateverItsBytes)
{
    const std::wstring longText(100000, L'z');
    const struct { const wchar_t* name; DWORD type; std::vector<BYTE> data; bool found; std::wstring text; } cases[] = {
        {L"plain", REG_SZ, Bytes(L"hello", 2), true, L"hello"}, {L"noNul", REG_SZ, Bytes(L"hello", 0), true, L"hello"},
        {L"odd", REG_SZ, Bytes(L"hi", 1), true, L"hi"}, {L"oddNoNul", REG_SZ, {'h', 0, 'i'}, true, L"h"},
        {L"empty", REG_SZ, {}, true, L""}, {L"embedded", REG_SZ, Bytes(std::wstring(L"a\0b", 3), 2), true, L"a"},
        {L"long", REG_SZ, Bytes(longText, 2), true, longText}, {L"expand", REG_EXPAND_SZ, Bytes(L"%x%", 2), false, L"sentinel"},
        {L"dword", REG_DWORD, {1, 0, 0, 0}, false, L"sentinel"}, {L"absent", REG_NONE, {}, false, L"sentinel"},
    };
    for (const auto& c : cases)
        if (c.type != REG_NONE) Seed({{HKEY_LOCAL_MACHINE, kScratch, c.name, c.type, c.data}});
    for (const auto& c : cases) {
        std::wstring text = L"sentinel";
        EXPECT_EQ(QueryStringValue(HKEY_LOCAL_MACHINE, kScratch.c_str(), c.name, text), c.found) << c.name;
        EXPECT_EQ(text, c.text) << c.name;
    }
}

TEST_F(Primitives, DeleteKeyIfEmptyKeepsEveryKeyThatHoldsAnything)
{
    auto value = [](const std::wstring& name, DWORD type, std::vector<BYTE> data) {
        return [=](const std::wstring& k) { Seed({{HKEY_LOCAL_MACHINE, k, name, type, data}}); };
    };
    const struct { const wchar_t* key; std::function<void(const std::wstring&)> fill; int result; } cases[] = {
        {L"empty", [](const std::wstring& k) { SetStringValue(HKEY_LOCAL_MACHINE, k.c_str(), nullptr, nullptr); }, 0},
        {L"emptyDefault", value(L"", REG_SZ, Sz(L"")), -1}, {L"zeroSizeDefault", value(L"", REG_NONE, {}), -1},
        {L"named", value(L"Content Type", REG_SZ, Sz(L"audio/x")), -1},
        {L"longName", value(std::wstring(2000, L'n'), REG_SZ, Sz(L"x")), -1},
        {L"sub", [](const std::wstring& k) { SetStringValue(HKEY_LOCAL_MACHINE, (k + L"\\x").c_str(), nullptr, nullptr); }, -1},
        {L"absent", [](const std::wstring&) {}, 0},
    };
    for (const auto& c : cases) {
        const std::wstring key = kScratch + L"\\" + c.key;
        c.fill(key);
        EXPECT_EQ(DeleteKeyIfEmpty(HKEY_LOCAL_MACHINE, key.c_str()), c.result) << c.key;
        EXPECT_EQ(KeyExists(HKEY_LOCAL_MACHINE, key), c.result != 0) << c.key;
    }
}

// --- File type classes, below HKEY_CLASSES_ROOT ------------------------------

class FileTypeClass : public Primitives {
protected:
    void SetUp() override
    {
        Primitives::SetUp();
        for (const wchar_t* key : {L"Korvane kvtest File", L".kvtest", L"Korvane kv", L"Korvane kv;test File",
                                   L"Korvane ... File"})
            keys_.Add(HKEY_CLASSES_ROOT, key);
        wcscpy_s(clientExePathBuffer, kPathChars, L"C:\\Program Files\\Korvane Player\\Tovrix.exe");
    }
    const std::wstring progId_ = ProgId(L"kvtest");
};

TEST_F(FileTypeClass, UnusableInputIsRefusedBeforeAnyRegistryCall)
{
    const std::wstring longPath = L"C:\\" + std::wstring(1100, L'p') + L".dll";
    const struct { std::wstring extension; std::wstring icon; } cases[] = {
        {L"kv\\test", L"C:\\i.dll"},              // would name Korvane kv\test File
        {L"", L"C:\\i.dll"}, {L"...", L"C:\\i.dll"},  // no file name ends in a dot
        {std::wstring(243, L'e'), L"C:\\i.dll"},  // class name longer than a key name
        {L"kvtest", longPath},                    // DefaultIcon would not fit
        {L"kv;test", L"C:\\i.dll"},               // ";" separates the stored list
    };
    for (const auto& c : cases) {
        WriteFileTypeClass(L"Open", L"t", nullptr, L"d", c.extension, -1, c.icon);
        DeleteFileTypeClass(c.extension);
        RestoreExtensionKey(c.extension);
    }
    for (const wchar_t* key : {L"Korvane kv", L"Korvane kvtest File", L"Korvane kv;test File", L"Korvane ... File"})
        EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, key)) << key;

    const std::wstring longest(kMaxExtensionChars, L'e');  // the class name is 255 characters, a key name's most
    PreservedKeys longestClass;
    longestClass.Add(HKEY_CLASSES_ROOT, MakeProgId(longest));
    WriteFileTypeClass(L"OpenCurrentFolder", L"t", nullptr, L"d", longest, -1, L"C:\\i.dll");
    EXPECT_EQ(GetString(HKEY_CLASSES_ROOT, MakeProgId(longest) + L"\\shell\\OpenCurrentFolder\\Command", nullptr),
              L"\"" + std::wstring(GetClientExePath()) + L"\" t");
    DeleteFileTypeClass(longest);
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, MakeProgId(longest)));

    wcscpy_s(clientExePathBuffer, kPathChars, (L"C:\\" + std::wstring(1010, L'c')).c_str());
    WriteFileTypeClass(L"Open", L"\"/open\" \"%1\"", nullptr, L"d", L"kvtest", -1, L"C:\\i.dll");
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, progId_)) << "the command would not fit";
}

} // namespace
