// The installed report, KorvaneAssocCheck.exe, over registry states seeded
// through the real registry: what it finds, what it answers, and that it
// never writes.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <functional>
#include <memory>

#include "app/settings.h"
#include "associate/applier.h"
#include "associate/registration.h"
#include "associate/verbs.h"
#include "registry/primitives.h"
#include "support.h"

namespace {

const wchar_t kFileExts[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts";
const std::wstring kUserChoice = std::wstring(kFileExts) + L"\\.kvr";

std::wstring Report() { return InstallDir() + L"\\KorvaneAssocCheck.exe"; }

// The keys the report reads. (Wine's own processes write elsewhere below
// HKCU\Software now and then, so the whole of it is not watched.)
const std::vector<std::pair<HKEY, std::wstring>> kReportedKeys = {
    {HKEY_LOCAL_MACHINE, L"Software\\Ostrafen"}, {HKEY_LOCAL_MACHINE, L"Software\\Classes"},
    {HKEY_LOCAL_MACHINE, L"Software\\RegisteredApplications"}, {HKEY_CURRENT_USER, kFileExts}};

class AssociationReportRun : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_FALSE(InstallDir().empty()) << "KORVANE_INSTALL_DIR is not set";
        StartUpLikeTheTool();
        LoadVerbDisplayNames();
        associationContext.openCommand = OpenCommandForExecMethod(2);
        keys_.AddPlayersKeys({L"kvr", L"kvs"});
        keys_.Add(HKEY_CURRENT_USER, kFileExts, 0, true);  // the watch may create it
        keys_.Add(HKEY_CURRENT_USER, kUserChoice);
        // Classes of the player that an earlier run left in the prefix.
        for (const std::wstring& name : SubKeys(HKEY_CLASSES_ROOT, L""))
            if (name.rfind(L"Korvane ", 0) == 0) keys_.Add(HKEY_CLASSES_ROOT, name);
        RegisterCleanly();
    }
    // A clean registration of one type, as a "/Register" run leaves it.
    static void RegisterCleanly()
    {
        WriteDefaultProgramsRecord();
        FileTypeEntry kvr(L"kvr", L"Korvane kvr sound", resourceModulePath, -107, FT_ASSOCIATED);
        ApplyAssociations({}, {kvr}, &associationContext);
    }
    ProcessStateGuard guard_;
    PreservedKeys keys_;
    TempFolder folder_;
};

TEST_F(AssociationReportRun, FindsWhatIsStaleAndNeverWrites)
{
    const std::wstring settings = folder_.File(L"Korvane.ini");
    {
        ChangeWatch watch(kReportedKeys);  // the watch itself sees another process write
        EXPECT_EQ(RunAndWait(InstallDir() + L"\\KorvaneAssoc.exe", L"/Unregister"), 1u);
        EXPECT_TRUE(watch.Changed());
        RegisterCleanly();
    }
    const struct {
        const char* name;
        std::function<void()> seed;
        DWORD exitCode;
        const char* status;   // of .kvr, in the JSON
        const char* finding;  // of .kvr, in the JSON; null: none
        const char* line;     // in the readable report
    } cases[] = {
        {"clean", [] {}, 0, "registered", nullptr, "1 types: 1 registered"},
        {"views differ", [] { RegDeleteValueW(TestKey(HKEY_LOCAL_MACHINE, kCapability, KEY_ALL_ACCESS | KEY_WOW64_32KEY).handle, L".kvr"); },
         1, "stale", "capability-views-differ", "the 64-bit and 32-bit capability values differ"},
        {"no class", [] { DeleteKeyTree(HKEY_CLASSES_ROOT, L"Korvane kvr File"); },
         1, "stale", "capability-without-class", "a capability value without a class"},
        {"no capability", [] { DeleteValueAllViews(HKEY_LOCAL_MACHINE, kCapability.c_str(), L".kvr"); },
         1, "stale", "class-without-capability", "a class without a capability value"},
        {"backup left", [] { PutString(HKEY_CLASSES_ROOT, L".kvr", nullptr, L"Other.kvr");
                             PutString(HKEY_CLASSES_ROOT, L".kvr", L"Before Korvane", L"Older.kvr"); },
         1, "stale", "stale-backup", "a backup left on a key that the player no longer holds"},
        {"client gone", [] { PutString(HKEY_CLASSES_ROOT, L"Korvane kvr File\\shell\\Open\\Command", nullptr,
                                       L"\"C:\\Gone\\Tovrix.exe\" \"%1\""); },
         1, "stale", "client-missing", "(client missing)"},
        {"a folder where the client should be", [] { PutString(HKEY_CLASSES_ROOT, L"Korvane kvr File\\shell\\Open\\Command",
                                                               nullptr, L"\"C:\\windows\" \"%1\""); },
         1, "stale", "client-missing", "(client missing)"},
        {"capability values of another type", [] {
             for (REGSAM view : kBothViews)
                 Seed({{HKEY_LOCAL_MACHINE, kCapability, L".kvr", REG_EXPAND_SZ, Sz(L"Korvane kvr File"), view}}); },
         1, "stale", "capability-names-another-class", "the capability value names another class"},
        {"user chose another program", [] { PutString(HKEY_CURRENT_USER, kUserChoice + L"\\UserChoice", L"ProgId", L"Other.App"); },
         0, "chosen-for-other", nullptr, "1 types: 1 chosen by the user for another program"},
        {"settings file missing", [] {}, 0, "registered", nullptr, "(not found)"},
        {"settings file malformed", [&] { WriteTextFile(settings, L"\x1\x2[[[\n=\n[RegisterdExtensions\nExtensions"); },
         0, "registered", nullptr, "(holds no list of file types)"},
        {"audio CD ours, another program's command kept", [] {
             PutString(HKEY_CLASSES_ROOT, L"AudioCD\\shell\\play\\command", nullptr, L"other.exe \"%L\"");
             ApplyAssociations({}, {{L"AudioCD", L"", L"", 0, FT_AUDIOCD | FT_ASSOCIATED}}, &associationContext); },
         0, "registered", nullptr, "Audio CD: the player"},
        {"audio CD: a backup left beside another program's command", [] {
             PutString(HKEY_CLASSES_ROOT, L"AudioCD\\shell\\play\\command", nullptr, L"other.exe \"%L\"");
             PutString(HKEY_CLASSES_ROOT, L"AudioCD\\shell\\play\\command", L"Before Korvane", L"older.exe"); },
         1, "registered", nullptr, "a backup left on a key that the player no longer holds"},
        {"a backup left on a type nobody registered", [&] {
             WriteTextFile(settings, L"[RegisterdExtensions]\nExtensions=kvs;\n");
             PutString(HKEY_CLASSES_ROOT, L".kvs", nullptr, L"Other.kvs");
             PutString(HKEY_CLASSES_ROOT, L".kvs", L"Before Korvane", L"Older.kvs"); },
         1, "registered", nullptr, "a backup left on a key that the player no longer holds"},
        {"stored, not registered", [&] { WriteTextFile(settings, L"[RegisterdExtensions]\nExtensions=kvs;kvr;\n"); },
         0, "registered", nullptr, "2 types: 1 registered, 1 not registered"},
        {"a list of stored types far longer than 2,048 characters", [&] {
             std::wstring list;
             for (int i = 0; i < 400; ++i) list += L"kvt" + std::to_wstring(i) + L";";
             WriteTextFile(settings, L"[RegisterdExtensions]\nExtensions=" + list + L"kvr;\n"); },
         0, "registered", nullptr, "(401 stored file types)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        DeleteFileW(settings.c_str());
        PreservedKeys scratch;  // each case starts from the clean registration
        for (REGSAM view : kBothViews) scratch.Add(HKEY_LOCAL_MACHINE, L"Software\\Ostrafen", view, true);
        for (const wchar_t* key : {L".kvr", L"Korvane kvr File", L".kvs"}) scratch.Add(HKEY_CLASSES_ROOT, key, 0, true);
        scratch.Add(HKEY_CURRENT_USER, kUserChoice, 0, true);
        scratch.Add(HKEY_CLASSES_ROOT, L"AudioCD", 0, true);
        c.seed();

        std::string text, json, errors;
        {
            ChangeWatch watch(kReportedKeys);
            EXPECT_EQ(RunCapturing(Report(), L"\"" + settings + L"\"", text, errors), c.exitCode);
            EXPECT_EQ(RunCapturing(Report(), L"/JSON \"" + settings + L"\"", json, errors), c.exitCode);
            EXPECT_FALSE(watch.Changed()) << "the report wrote to the registry";
        }
        EXPECT_NE(text.find(c.line), std::string::npos) << text;
        EXPECT_EQ(text.rfind("Korvane Player file associations (read only)\n\nSettings file: ", 0), 0u) << text;
        EXPECT_NE(text.find("\n  Software\\Ostrafen\\Korvane Player\\Capabilities\n    ApplicationDescription, 64-bit "),
                  std::string::npos) << "each key of the Default Programs values is named once, above its values";

        const nlohmann::json document = nlohmann::json::parse(json, nullptr, false);
        ASSERT_FALSE(document.is_discarded()) << json;
        EXPECT_EQ(document["consistent"], c.exitCode == 0);
        const auto& types = document["types"];
        auto kvr = std::find_if(types.begin(), types.end(), [](const nlohmann::json& t) { return t["extension"] == "kvr"; });
        ASSERT_NE(kvr, types.end());
        EXPECT_EQ((*kvr)["status"], c.status);
        if (c.finding) EXPECT_EQ((*kvr)["findings"], nlohmann::json::array({c.finding}));
        else EXPECT_TRUE((*kvr)["findings"].empty());
    }
}

TEST_F(AssociationReportRun, CommandLinesItDoesNotUnderstandGetTheUsage)
{
    const std::wstring tooLong = std::wstring(1500, L'p');  // a path that would arrive cut short
    for (const std::wstring arguments : {L"/bogus", L"a.ini b.ini", L"/json /xml", tooLong.c_str()}) {
        std::string text, errors;
        EXPECT_EQ(RunCapturing(Report(), arguments, text, errors), 2u) << arguments.substr(0, 40);
        EXPECT_TRUE(text.empty());
        EXPECT_EQ(errors.rfind("usage: KorvaneAssocCheck.exe", 0), 0u) << errors;
    }
}

} // namespace
