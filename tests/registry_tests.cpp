// Registry primitives and the file type class writer, against Wine's real
// registry with its 64-bit and 32-bit views.
#include <gtest/gtest.h>

#include "registry/file_type_class.h"
#include "registry/primitives.h"
#include "support.h"

namespace {

const std::wstring kScratch = L"Software\\KorvaneTests\\Primitives";
const wchar_t kBackup[] = L"Before Korvane";

class Primitives : public testing::Test {
protected:
    void SetUp() override
    {
        StartUpLikeTheTool();
        ASSERT_EQ(registryViewFlag, static_cast<DWORD>(KEY_WOW64_64KEY));
    }
    ProcessStateGuard guard_;
    ScopedTree tree64_{HKEY_LOCAL_MACHINE, kScratch, KEY_WOW64_64KEY};
    ScopedTree tree32_{HKEY_LOCAL_MACHINE, kScratch, KEY_WOW64_32KEY};
};

TEST_F(Primitives, AllViewsWritesAndDeletesInBothViews)
{
    ASSERT_EQ(SetStringValueAllViews(HKEY_LOCAL_MACHINE, kScratch.c_str(), L".mp3", L"Korvane mp3 File"), 0);
    EXPECT_EQ(GetString(HKEY_LOCAL_MACHINE, kScratch, L".mp3", KEY_WOW64_64KEY), L"Korvane mp3 File");
    EXPECT_EQ(GetString(HKEY_LOCAL_MACHINE, kScratch, L".mp3", KEY_WOW64_32KEY), L"Korvane mp3 File");

    PutString(HKEY_LOCAL_MACHINE, kScratch, L".keep", L"x", KEY_WOW64_32KEY);
    EXPECT_EQ(DeleteValueAllViews(HKEY_LOCAL_MACHINE, kScratch.c_str(), L".mp3"), 0);
    EXPECT_EQ(GetString(HKEY_LOCAL_MACHINE, kScratch, L".mp3", KEY_WOW64_64KEY), kMissing);
    EXPECT_EQ(GetString(HKEY_LOCAL_MACHINE, kScratch, L".mp3", KEY_WOW64_32KEY), kMissing);
    EXPECT_EQ(GetString(HKEY_LOCAL_MACHINE, kScratch, L".keep", KEY_WOW64_32KEY), L"x");
    // Nothing there to delete is no error.
    EXPECT_EQ(DeleteValueAllViews(HKEY_LOCAL_MACHINE, L"Software\\KorvaneTests\\Nowhere", L".mp3"), 0);
}

TEST_F(Primitives, WithoutTheViewFlagOneWriteInTheDefaultView)
{
    registryViewFlag = 0;
    ASSERT_EQ(SetStringValueAllViews(HKEY_LOCAL_MACHINE, kScratch.c_str(), L"v", L"d"), 0);
    EXPECT_EQ(GetString(HKEY_LOCAL_MACHINE, kScratch, L"v", KEY_WOW64_64KEY), L"d");
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kScratch, KEY_WOW64_32KEY));
}

TEST_F(Primitives, SetStringValueStoresTheTerminatorAndNullDataOnlyCreatesTheKey)
{
    ASSERT_EQ(SetStringValue(HKEY_LOCAL_MACHINE, (kScratch + L"\\a\\b").c_str(), nullptr, nullptr), 0);
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, kScratch + L"\\a\\b"));
    EXPECT_EQ(GetString(HKEY_LOCAL_MACHINE, kScratch + L"\\a\\b", nullptr), kMissing);

    ASSERT_EQ(SetStringValue(HKEY_LOCAL_MACHINE, kScratch.c_str(), L"n", L"abc"), 0);
    DWORD type = 0;
    std::vector<BYTE> bytes;
    ASSERT_TRUE(GetRaw(HKEY_LOCAL_MACHINE, kScratch, L"n", type, bytes));
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(bytes.size(), 8u);
    EXPECT_EQ(bytes[6], 0);
    EXPECT_EQ(bytes[7], 0);
}

TEST_F(Primitives, QueryStringValueAcceptsOnlyRegSzAndAnyByteCount)
{
    struct Case {
        const wchar_t* name;
        DWORD type;
        std::vector<BYTE> data;
        bool found;
        std::wstring text;
    };
    auto bytesOf = [](const std::wstring& s, size_t extra) {
        std::vector<BYTE> b(reinterpret_cast<const BYTE*>(s.data()),
                            reinterpret_cast<const BYTE*>(s.data()) + s.size() * 2);
        b.resize(b.size() + extra, 0);
        return b;
    };
    const std::wstring longText(100000, L'z');
    const Case cases[] = {
        {L"plain", REG_SZ, bytesOf(L"hello", 2), true, L"hello"},
        {L"noNul", REG_SZ, bytesOf(L"hello", 0), true, L"hello"},
        {L"odd", REG_SZ, bytesOf(L"hi", 1), true, L"hi"},
        {L"oddNoNul", REG_SZ, {'h', 0, 'i'}, true, L"h"},
        {L"empty", REG_SZ, {}, true, L""},
        {L"embedded", REG_SZ, bytesOf(std::wstring(L"a\0b", 3), 2), true, L"a"},
        {L"long", REG_SZ, bytesOf(longText, 2), true, longText},
        {L"expand", REG_EXPAND_SZ, bytesOf(L"%x%", 2), false, L"sentinel"},
        {L"dword", REG_DWORD, {1, 0, 0, 0}, false, L"sentinel"},
        {L"multi", REG_MULTI_SZ, bytesOf(L"a", 4), false, L"sentinel"},
    };
    for (const auto& c : cases)
        PutValue(HKEY_LOCAL_MACHINE, kScratch, c.name, c.type, c.data.data(), static_cast<DWORD>(c.data.size()));
    for (const auto& c : cases) {
        std::wstring text = L"sentinel";
        EXPECT_EQ(QueryStringValue(HKEY_LOCAL_MACHINE, kScratch.c_str(), c.name, text), c.found) << c.name;
        EXPECT_EQ(text, c.text) << c.name;
    }
    std::wstring text = L"sentinel";
    EXPECT_FALSE(QueryStringValue(HKEY_LOCAL_MACHINE, kScratch.c_str(), L"absent", text));
    EXPECT_FALSE(QueryStringValue(HKEY_LOCAL_MACHINE, L"Software\\KorvaneTests\\Nowhere", nullptr, text));
    EXPECT_EQ(text, L"sentinel");
}

TEST_F(Primitives, BackupKeepsTheOldestState)
{
    PutString(HKEY_LOCAL_MACHINE, kScratch, nullptr, L"Other.Player");
    EXPECT_EQ(SaveValueBackup(HKEY_LOCAL_MACHINE, kScratch.c_str(), nullptr), 0);
    PutString(HKEY_LOCAL_MACHINE, kScratch, nullptr, L"Third.Player");
    EXPECT_EQ(SaveValueBackup(HKEY_LOCAL_MACHINE, kScratch.c_str(), nullptr), 0);
    EXPECT_EQ(GetString(HKEY_LOCAL_MACHINE, kScratch, kBackup), L"Other.Player");
    EXPECT_EQ(SaveValueBackup(HKEY_LOCAL_MACHINE, L"Software\\KorvaneTests\\Nowhere", nullptr), -1);
}

TEST_F(Primitives, BackupKeepsTypeAndBytesAndRemembersAMissingValueAsEmpty)
{
    const BYTE odd[] = {'%', 0, 'x', 0, '%'};
    PutValue(HKEY_LOCAL_MACHINE, kScratch + L"\\odd", nullptr, REG_EXPAND_SZ, odd, sizeof(odd));
    EXPECT_EQ(SaveValueBackup(HKEY_LOCAL_MACHINE, (kScratch + L"\\odd").c_str(), nullptr), 0);
    DWORD type = 0;
    std::vector<BYTE> bytes;
    ASSERT_TRUE(GetRaw(HKEY_LOCAL_MACHINE, kScratch + L"\\odd", kBackup, type, bytes));
    EXPECT_EQ(type, static_cast<DWORD>(REG_EXPAND_SZ));
    EXPECT_EQ(bytes, std::vector<BYTE>(odd, odd + sizeof(odd)));

    SetStringValue(HKEY_LOCAL_MACHINE, (kScratch + L"\\none").c_str(), nullptr, nullptr);
    EXPECT_EQ(SaveValueBackup(HKEY_LOCAL_MACHINE, (kScratch + L"\\none").c_str(), nullptr), 0);
    ASSERT_TRUE(GetRaw(HKEY_LOCAL_MACHINE, kScratch + L"\\none", kBackup, type, bytes));
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(bytes, std::vector<BYTE>({0, 0}));
}

TEST_F(Primitives, RestoreGivesBackOrDeletesOwnData)
{
    struct Case {
        const wchar_t* key;
        const wchar_t* backup;      // null: no backup
        DWORD backupType;
        const wchar_t* ownData;
        int result;
        std::wstring valueAfter;
        DWORD typeAfter;
    };
    const Case cases[] = {
        {L"noBackup", nullptr, REG_SZ, L"own", -1, L"current", REG_SZ},
        {L"sameButCase", L"KORVANE WAV FILE", REG_SZ, L"Korvane wav File", 0, kMissing, 0},
        {L"other", L"Other.File", REG_SZ, L"Korvane wav File", 0, L"Other.File", REG_SZ},
        {L"expand", L"%ProgramFiles%\\x.exe", REG_EXPAND_SZ, L"", 0, L"%ProgramFiles%\\x.exe", REG_EXPAND_SZ},
        {L"emptyBackup", L"", REG_SZ, L"", 0, kMissing, 0},
        {L"emptyBackupOwnText", L"", REG_SZ, L"own", 0, L"", REG_SZ},
    };
    for (const auto& c : cases) {
        const std::wstring key = kScratch + L"\\" + c.key;
        PutString(HKEY_LOCAL_MACHINE, key, nullptr, L"current");
        if (c.backup)
            PutValue(HKEY_LOCAL_MACHINE, key, kBackup, c.backupType, c.backup,
                     static_cast<DWORD>((wcslen(c.backup) + 1) * 2));
        EXPECT_EQ(RestoreValueBackup(HKEY_LOCAL_MACHINE, key.c_str(), nullptr, c.ownData), c.result) << c.key;
        EXPECT_EQ(GetString(HKEY_LOCAL_MACHINE, key, nullptr), c.valueAfter) << c.key;
        DWORD type = 0;
        std::vector<BYTE> bytes;
        if (c.typeAfter) {
            ASSERT_TRUE(GetRaw(HKEY_LOCAL_MACHINE, key, nullptr, type, bytes));
            EXPECT_EQ(type, c.typeAfter) << c.key;
        }
        EXPECT_EQ(GetString(HKEY_LOCAL_MACHINE, key, kBackup), kMissing) << c.key;
    }
    EXPECT_EQ(RestoreValueBackup(HKEY_LOCAL_MACHINE, L"Software\\KorvaneTests\\Nowhere", nullptr, L""), -1);
}

TEST_F(Primitives, RestoreReadsAnUnterminatedBackupOnlyAsFarAsItsData)
{
    const BYTE raw[] = {'K', 0, 'o', 0, 'r'};  // "Ko" and half a character
    PutString(HKEY_LOCAL_MACHINE, kScratch, nullptr, L"current");
    PutValue(HKEY_LOCAL_MACHINE, kScratch, kBackup, REG_SZ, raw, sizeof(raw));
    EXPECT_EQ(RestoreValueBackup(HKEY_LOCAL_MACHINE, kScratch.c_str(), nullptr, L"ko"), 0);
    EXPECT_EQ(GetString(HKEY_LOCAL_MACHINE, kScratch, nullptr), kMissing);
}

TEST_F(Primitives, DeleteKeyTreeRemovesEverythingBelow)
{
    EXPECT_EQ(DeleteKeyTree(HKEY_LOCAL_MACHINE, (kScratch + L"\\absent").c_str()), -1);
    for (const wchar_t* path : {L"\\t\\a\\b\\c", L"\\t\\a\\d", L"\\t\\e", L"\\keep"})
        PutString(HKEY_LOCAL_MACHINE, kScratch + path, L"v", L"x");
    EXPECT_EQ(DeleteKeyTree(HKEY_LOCAL_MACHINE, (kScratch + L"\\t").c_str()), 0);
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kScratch + L"\\t"));
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, kScratch + L"\\keep"));
}

TEST_F(Primitives, DeleteKeyIfEmptyOnlyDeletesEmptyKeys)
{
    struct Case {
        const wchar_t* key;
        void (*fill)(const std::wstring&);
        int result;
        bool remains;
    };
    const Case cases[] = {
        {L"empty", [](const std::wstring& k) { SetStringValue(HKEY_LOCAL_MACHINE, k.c_str(), nullptr, nullptr); }, 0, false},
        {L"emptyDefault", [](const std::wstring& k) { PutString(HKEY_LOCAL_MACHINE, k, nullptr, L""); }, -1, true},
        {L"named", [](const std::wstring& k) { PutString(HKEY_LOCAL_MACHINE, k, L"Content Type", L"audio/x"); }, -1, true},
        {L"longName", [](const std::wstring& k) { PutString(HKEY_LOCAL_MACHINE, k, std::wstring(2000, L'n').c_str(), L"x"); }, -1, true},
        {L"zeroDefault", [](const std::wstring& k) { PutValue(HKEY_LOCAL_MACHINE, k, nullptr, REG_NONE, nullptr, 0); }, -1, true},
        {L"sub", [](const std::wstring& k) { SetStringValue(HKEY_LOCAL_MACHINE, (k + L"\\x").c_str(), nullptr, nullptr); }, -1, true},
    };
    for (const auto& c : cases) {
        const std::wstring key = kScratch + L"\\" + c.key;
        c.fill(key);
        EXPECT_EQ(DeleteKeyIfEmpty(HKEY_LOCAL_MACHINE, key.c_str()), c.result) << c.key;
        EXPECT_EQ(KeyExists(HKEY_LOCAL_MACHINE, key), c.remains) << c.key;
    }
    EXPECT_EQ(DeleteKeyIfEmpty(HKEY_LOCAL_MACHINE, (kScratch + L"\\absent").c_str()), 0);
}

// --- File type classes, below HKEY_CLASSES_ROOT ------------------------------

class FileTypeClass : public Primitives {
protected:
    void SetUp() override
    {
        Primitives::SetUp();
        wcscpy_s(clientExePathBuffer, kPathChars, L"C:\\Program Files\\Korvane Player\\Tovrix.exe");
    }
    ScopedTree class_{HKEY_CLASSES_ROOT, L"Korvane kvtest File"};
    ScopedTree extension_{HKEY_CLASSES_ROOT, L".kvtest"};
    TempFolder folder_;
};

TEST_F(FileTypeClass, TwoVerbsShareOneClass)
{
    const std::wstring icon = folder_.File(L"A Rather Long Icon Library Name.dll");
    WriteTextFile(icon, L"x");
    wchar_t shortIcon[kPathChars];
    ASSERT_GT(GetShortPathNameW(icon.c_str(), shortIcon, kPathChars), 0u);
    ASSERT_NE(std::wstring(shortIcon), icon);

    WriteFileTypeClass(L"Open", L"\"/open\" \"%1\"", L"&Open", L"Test Sound", L"kvtest", -109, icon);
    WriteFileTypeClass(L"Play", L"\"/play\" \"%1\"", nullptr, L"Test Sound", L"kvtest", -109, icon);

    const std::wstring progId = L"Korvane kvtest File";
    EXPECT_EQ(GetString(HKEY_CLASSES_ROOT, progId, nullptr), L"Test Sound");
    EXPECT_EQ(GetString(HKEY_CLASSES_ROOT, progId + L"\\DefaultIcon", nullptr), std::wstring(shortIcon) + L",-109");
    EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, progId + L"\\shell"));
    EXPECT_EQ(GetString(HKEY_CLASSES_ROOT, progId + L"\\shell", nullptr), kMissing);
    EXPECT_EQ(SubKeys(HKEY_CLASSES_ROOT, progId + L"\\shell"), (std::vector<std::wstring>{L"Open", L"Play"}));
    EXPECT_EQ(GetString(HKEY_CLASSES_ROOT, progId + L"\\shell\\Open", nullptr), L"&Open");
    EXPECT_EQ(GetString(HKEY_CLASSES_ROOT, progId + L"\\shell\\Play", nullptr), kMissing);
    EXPECT_EQ(GetString(HKEY_CLASSES_ROOT, progId + L"\\shell\\Open\\Command", nullptr),
              L"\"C:\\Program Files\\Korvane Player\\Tovrix.exe\" \"/open\" \"%1\"");
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, L".kvtest")) << "the extension key is never claimed";
}

TEST_F(FileTypeClass, MissingIconFileIsWrittenAsGivenAndDdeIsRemoved)
{
    PutString(HKEY_CLASSES_ROOT, L"Korvane kvtest File\\shell\\Open\\ddeexec\\Application", nullptr, L"Other");
    PutString(HKEY_CLASSES_ROOT, L"Korvane kvtest File\\shell\\Open\\ddeexec\\Topic\\Deep", nullptr, L"x");
    WriteFileTypeClass(L"Open", L"t", nullptr, nullptr, L"kvtest", 3, L"C:\\No Such Folder\\icons.dll");
    EXPECT_EQ(GetString(HKEY_CLASSES_ROOT, L"Korvane kvtest File\\DefaultIcon", nullptr),
              L"C:\\No Such Folder\\icons.dll,3");
    EXPECT_EQ(GetString(HKEY_CLASSES_ROOT, L"Korvane kvtest File", nullptr), kMissing);
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, L"Korvane kvtest File\\shell\\Open\\ddeexec"));
    EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, L"Korvane kvtest File\\shell\\Open\\Command"));
}

TEST_F(FileTypeClass, UnusableInputIsRefusedBeforeAnyRegistryCall)
{
    ScopedTree outside(HKEY_CLASSES_ROOT, L"Korvane kv");
    const std::wstring longPath = L"C:\\" + std::wstring(1100, L'p') + L".dll";
    struct { std::wstring extension; std::wstring icon; } cases[] = {
        {L"kv\\test", L"C:\\i.dll"},                 // would name Korvane kv\test File
        {L"", L"C:\\i.dll"},
        {std::wstring(243, L'e'), L"C:\\i.dll"},     // class name longer than a key name
        {L"kvtest", longPath},                       // DefaultIcon would not fit
    };
    for (const auto& c : cases) {
        EXPECT_EQ(WriteFileTypeClass(L"Open", L"t", nullptr, L"d", c.extension, -1, c.icon), 0);
        EXPECT_EQ(DeleteFileTypeClass(c.extension), 0);
        EXPECT_EQ(RestoreExtensionKey(c.extension), 0);
    }
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, L"Korvane kv"));
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, L"Korvane kvtest File"));
    EXPECT_TRUE(IsUsableExtension(std::wstring(242, L'e')));
    EXPECT_TRUE(IsUsableExtension(L"tar.gz"));
    EXPECT_TRUE(IsUsableExtension(L"Folder"));

    wcscpy_s(clientExePathBuffer, kPathChars, (L"C:\\" + std::wstring(1010, L'c')).c_str());
    WriteFileTypeClass(L"Open", L"\"/open\" \"%1\"", nullptr, L"d", L"kvtest", -1, L"C:\\i.dll");
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, L"Korvane kvtest File")) << "command would not fit";
}

TEST_F(FileTypeClass, DeleteRemovesTheWholeClassAndToleratesAMissingOne)
{
    DeleteFileTypeClass(L"kvtest");
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, L"Korvane kvtest File"));
    PutString(HKEY_CLASSES_ROOT, L"Korvane kvtest File\\shell\\Open\\Command", nullptr, L"x");
    PutString(HKEY_CLASSES_ROOT, L"Korvane kvtest File\\DefaultIcon", nullptr, L"x");
    DeleteFileTypeClass(L"KVTEST");
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, L"Korvane kvtest File"));
}

TEST_F(FileTypeClass, RestoreExtensionKeyGivesThePreviousOwnerBack)
{
    struct Case {
        const wchar_t* name;
        const wchar_t* defaultValue;  // null: none
        const wchar_t* backup;        // null: none
        bool contentType;
        bool keyRemains;
        std::wstring defaultAfter;
    };
    const Case cases[] = {
        {L"own class in backup", L"Korvane kvtest File", L"KORVANE KVTEST FILE", false, false, kMissing},
        {L"other owner in backup", L"Korvane kvtest File", L"Other.Sound", false, true, L"Other.Sound"},
        {L"own backup, other values", L"x", L"Korvane kvtest File", true, true, kMissing},
        {L"no backup, other owner", L"Other.Sound", nullptr, false, true, L"Other.Sound"},
        {L"no backup, empty key", nullptr, nullptr, false, false, kMissing},
    };
    for (const auto& c : cases) {
        SetStringValue(HKEY_CLASSES_ROOT, L".kvtest", nullptr, c.defaultValue);
        if (c.backup) PutString(HKEY_CLASSES_ROOT, L".kvtest", kBackup, c.backup);
        if (c.contentType) PutString(HKEY_CLASSES_ROOT, L".kvtest", L"Content Type", L"audio/x-kv");
        RestoreExtensionKey(L"kvtest");
        EXPECT_EQ(KeyExists(HKEY_CLASSES_ROOT, L".kvtest"), c.keyRemains) << c.name;
        EXPECT_EQ(GetString(HKEY_CLASSES_ROOT, L".kvtest", nullptr), c.defaultAfter) << c.name;
        EXPECT_EQ(GetString(HKEY_CLASSES_ROOT, L".kvtest", kBackup), kMissing) << c.name;
        DeleteKeyTree(HKEY_CLASSES_ROOT, L".kvtest");
    }
}

} // namespace
