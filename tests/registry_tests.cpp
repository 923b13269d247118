// Registry primitives and the file type class writer, against Wine's real
// registry with its 64-bit and 32-bit views.
#include <gtest/gtest.h>

#include "registry/file_type_class.h"
#include "registry/primitives.h"
#include "support.h"

namespace {

const std::wstring kScratch = L"Software\\KorvaneTests\\Primitives";
const wchar_t kBackup[] = L"Before Korvane";

std::vector<BYTE> Bytes(const std::wstring& text, size_t extraBytes)
{
    std::vector<BYTE> bytes(reinterpret_cast<const BYTE*>(text.data()),
                            reinterpret_cast<const BYTE*>(text.data() + text.size()));
    bytes.resize(bytes.size() + extraBytes, 0);
    return bytes;
}

class Primitives : public testing::Test {
protected:
    void SetUp() override
    {
        StartUpLikeTheTool();
        trees_.Add(HKEY_LOCAL_MACHINE, kScratch, KEY_WOW64_64KEY);
        trees_.Add(HKEY_LOCAL_MACHINE, kScratch, KEY_WOW64_32KEY);
    }
    ProcessStateGuard guard_;
    PreservedTrees trees_;
};

TEST_F(Primitives, QueryStringValueAcceptsOnlyRegSzWhateverItsBytes)
{
    const std::wstring longText(100000, L'z');
    const struct { const wchar_t* name; DWORD type; std::vector<BYTE> data; bool found; std::wstring text; } cases[] = {
        {L"plain", REG_SZ, Bytes(L"hello", 2), true, L"hello"},
        {L"noNul", REG_SZ, Bytes(L"hello", 0), true, L"hello"},
        {L"odd", REG_SZ, Bytes(L"hi", 1), true, L"hi"},
        {L"oddNoNul", REG_SZ, {'h', 0, 'i'}, true, L"h"},
        {L"empty", REG_SZ, {}, true, L""},
        {L"embedded", REG_SZ, Bytes(std::wstring(L"a\0b", 3), 2), true, L"a"},
        {L"long", REG_SZ, Bytes(longText, 2), true, longText},
        {L"expand", REG_EXPAND_SZ, Bytes(L"%x%", 2), false, L"sentinel"},
        {L"dword", REG_DWORD, {1, 0, 0, 0}, false, L"sentinel"},
        {L"absent", REG_NONE, {}, false, L"sentinel"},
    };
    for (const auto& c : cases)
        if (c.type != REG_NONE)
            PutValue(HKEY_LOCAL_MACHINE, kScratch, c.name, c.type, c.data.data(), static_cast<DWORD>(c.data.size()));
    for (const auto& c : cases) {
        std::wstring text = L"sentinel";
        EXPECT_EQ(QueryStringValue(HKEY_LOCAL_MACHINE, kScratch.c_str(), c.name, text), c.found) << c.name;
        EXPECT_EQ(text, c.text) << c.name;
    }
}

TEST_F(Primitives, DeleteKeyIfEmptyKeepsEveryKeyThatHoldsAnything)
{
    using Fill = void (*)(const std::wstring&);
    const struct { const wchar_t* key; Fill fill; int result; } cases[] = {
        {L"empty", [](const std::wstring& k) { SetStringValue(HKEY_LOCAL_MACHINE, k.c_str(), nullptr, nullptr); }, 0},
        {L"emptyDefault", [](const std::wstring& k) { PutString(HKEY_LOCAL_MACHINE, k, nullptr, L""); }, -1},
        {L"zeroSizeDefault", [](const std::wstring& k) { PutValue(HKEY_LOCAL_MACHINE, k, nullptr, REG_NONE, nullptr, 0); }, -1},
        {L"named", [](const std::wstring& k) { PutString(HKEY_LOCAL_MACHINE, k, L"Content Type", L"audio/x"); }, -1},
        {L"longName", [](const std::wstring& k) { PutString(HKEY_LOCAL_MACHINE, k, std::wstring(2000, L'n').c_str(), L"x"); }, -1},
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
        for (const wchar_t* key : {L"Korvane kvtest File", L".kvtest", L"Korvane kv"}) trees_.Add(HKEY_CLASSES_ROOT, key);
        wcscpy_s(clientExePathBuffer, kPathChars, L"C:\\Program Files\\Korvane Player\\Tovrix.exe");
    }
    const std::wstring progId_ = L"Korvane kvtest File";
    TempFolder folder_;
};

TEST_F(FileTypeClass, VerbsShareOneClassWithAShortIconPathAndNoDde)
{
    const std::wstring icon = folder_.File(L"A Rather Long Icon Library Name.dll");
    WriteTextFile(icon, L"x");
    wchar_t shortIcon[kPathChars];
    ASSERT_GT(GetShortPathNameW(icon.c_str(), shortIcon, kPathChars), 0u);
    PutString(HKEY_CLASSES_ROOT, progId_ + L"\\shell\\Play\\ddeexec\\Topic\\Deep", nullptr, L"x");

    WriteFileTypeClass(L"Open", L"\"/open\" \"%1\"", L"&Open", L"Test Sound", L"kvtest", -109, icon);
    WriteFileTypeClass(L"Play", L"\"/play\" \"%1\"", nullptr, L"Test Sound", L"kvtest", -109, icon);

    EXPECT_EQ(GetString(HKEY_CLASSES_ROOT, progId_, nullptr), L"Test Sound");
    EXPECT_EQ(GetString(HKEY_CLASSES_ROOT, progId_ + L"\\DefaultIcon", nullptr), std::wstring(shortIcon) + L",-109");
    EXPECT_EQ(GetString(HKEY_CLASSES_ROOT, progId_ + L"\\shell", nullptr), kMissing);
    EXPECT_EQ(SubKeys(HKEY_CLASSES_ROOT, progId_ + L"\\shell"), (std::vector<std::wstring>{L"Open", L"Play"}));
    EXPECT_EQ(GetString(HKEY_CLASSES_ROOT, progId_ + L"\\shell\\Open", nullptr), L"&Open");
    EXPECT_EQ(GetString(HKEY_CLASSES_ROOT, progId_ + L"\\shell\\Play", nullptr), kMissing);
    EXPECT_EQ(SubKeys(HKEY_CLASSES_ROOT, progId_ + L"\\shell\\Play"), std::vector<std::wstring>{L"Command"});
    EXPECT_EQ(GetString(HKEY_CLASSES_ROOT, progId_ + L"\\shell\\Open\\Command", nullptr),
              L"\"C:\\Program Files\\Korvane Player\\Tovrix.exe\" \"/open\" \"%1\"");
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, L".kvtest")) << "the extension key is never claimed";

    WriteFileTypeClass(L"Open", L"t", nullptr, nullptr, L"kvtest", 3, L"C:\\No Such Folder\\icons.dll");
    EXPECT_EQ(GetString(HKEY_CLASSES_ROOT, progId_ + L"\\DefaultIcon", nullptr), L"C:\\No Such Folder\\icons.dll,3");

    DeleteFileTypeClass(L"KVTEST");
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, progId_));
    DeleteFileTypeClass(L"kvtest");  // nothing there: no failure
}

TEST_F(FileTypeClass, UnusableInputIsRefusedBeforeAnyRegistryCall)
{
    const std::wstring longPath = L"C:\\" + std::wstring(1100, L'p') + L".dll";
    for (const wchar_t* key : {L"Korvane kv;test File", L"Korvane ... File"}) trees_.Add(HKEY_CLASSES_ROOT, key);
    const struct { std::wstring extension; std::wstring icon; } cases[] = {
        {L"kv\\test", L"C:\\i.dll"},              // would name Korvane kv\test File
        {L"", L"C:\\i.dll"},
        {std::wstring(243, L'e'), L"C:\\i.dll"},  // class name longer than a key name
        {L"kvtest", longPath},                    // DefaultIcon would not fit
        {L"kv;test", L"C:\\i.dll"},              // ";" separates the stored list
        {L"...", L"C:\\i.dll"},                  // no file name ends in a dot
    };
    for (const auto& c : cases) {
        WriteFileTypeClass(L"Open", L"t", nullptr, L"d", c.extension, -1, c.icon);
        DeleteFileTypeClass(c.extension);
        RestoreExtensionKey(c.extension);
    }
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, L"Korvane kv"));
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, progId_));
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, L"Korvane kv;test File"));
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, L"Korvane ... File"));

    const std::wstring longest(kMaxExtensionChars, L'e');  // the class name is 255 characters, a key name's most
    PreservedTree longestClass(HKEY_CLASSES_ROOT, MakeProgId(longest));
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
