// The report over registry states seeded through the real registry: what it finds and answers, read in this process for
// every state, and the installed KorvaneAssocCheck.exe writing it for every shell.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <codecvt>
#include <filesystem>
#include <fstream>
#include <functional>
#include <locale>
#include <map>
#include <memory>
#include <sstream>

#include "app/texts.h"
#include "associate/applier.h"
#include "associate/registration.h"
#include "associate/verbs.h"
#include "registry/primitives.h"
#include "report/association_state.h"
#include "report/default_associations.h"
#include "report/report_output.h"
#include "support.h"

namespace {

const wchar_t kFileExts[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts";
const std::wstring kUserChoice = std::wstring(kFileExts) + L"\\.kvr";

std::wstring Report() { return InstallDir() + L"\\KorvaneAssocCheck.exe"; }

std::wstring Wide(const std::string& utf8) { return std::wstring_convert<std::codecvt_utf8_utf16<wchar_t>>().from_bytes(utf8); }

// Keeps a document for the readers that check it after the tests, in the folder KORVANE_DOCUMENTS names (see
// tests/CMakeLists.txt).
void KeepDocument(const std::string& name, const std::string& bytes)
{
    wchar_t folder[MAX_PATH] = L"";
    if (!GetEnvironmentVariableW(L"KORVANE_DOCUMENTS", folder, MAX_PATH)) return;
    std::ofstream(std::filesystem::path(folder) / name, std::ios::binary) << bytes;
}

// The keys the report reads (Wine's own processes write elsewhere below HKCU\Software).
const std::vector<std::pair<HKEY, std::wstring>> kReportedKeys = {
    {HKEY_LOCAL_MACHINE, L"Software\\Ostrafen"}, {HKEY_LOCAL_MACHINE, L"Software\\Classes"},
    {HKEY_LOCAL_MACHINE, L"Software\\RegisteredApplications"}, {HKEY_CURRENT_USER, kFileExts}};

// Registry states seeded from one clean registration of .kvr.
class ReportState : public testing::Test {
protected:
    void SetUp() override
    {
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

// A section of the readable report, from its heading to the blank line: each row's value by its label, and under "!" a
// mark for each finding.
std::map<std::wstring, std::wstring> ReadSection(const std::wstring& text, const std::wstring& heading)
{
    std::map<std::wstring, std::wstring> rows;
    const size_t begin = text.find(L"\n" + heading + L"\n"), first = begin + heading.size() + 2;
    EXPECT_NE(begin, std::wstring::npos) << testing::PrintToString(heading);
    std::wistringstream lines(begin == std::wstring::npos ? L"" : text.substr(first, text.find(L"\n\n", begin + 1) - first));
    for (std::wstring line; std::getline(lines, line);) {
        const size_t label = line.find_first_not_of(L' '), gap = line.find(L"  ", label), value = line.find_first_not_of(L' ', gap);
        if (line[label] == L'!') rows[L"!"] += L"!";
        else if (gap != std::wstring::npos) rows[line.substr(label, gap - label)] = value == std::wstring::npos ? L"" : line.substr(value);
    }
    return rows;
}

// The readable report says what the JSON says: each type's status, every row's value, as many findings; the handlers;
// the counts.
void ExpectTextTellsTheJson(const std::wstring& text, const nlohmann::json& document)
{
    using Json = nlohmann::json;
    const auto shown = [](const Json& v) {
        return v.is_null() ? std::wstring(L"(missing)") : Visible((v["type"] == "REG_SZ" ? L"" : Wide(v["type"]) + L" ") + Wide(v["data"]));
    };
    const auto starts = [](const std::wstring& row, std::wstring start) {  // a row's leading blanks are the column's
        EXPECT_EQ(row.rfind(start.erase(0, start.find_first_not_of(L' ')), 0), 0u) << "\n" << row;
    };
    const std::vector<std::pair<std::string, std::wstring>> statuses{
        {"registered", L"registered"}, {"chosenForOther", L"chosen by the user for another program"}, {"stale", L"stale"}, {"notRegistered", L"not registered"}};
    for (const Json& t : document["types"]) {
        const std::wstring extension = Wide(t["extension"]);
        auto rows = ReadSection(text, L"." + Visible(extension) + L": " + std::map(statuses.begin(), statuses.end()).at(t["status"]));
        const Json &key = t["extensionKey"], &typeClass = t["class"], &capability = t["capability"], &opens = t["doubleClick"]["progId"];
        EXPECT_EQ(rows[L"!"] + rows[L"In settings file"], std::wstring(t["findings"].size(), L'!') + (t["stored"] ? L"yes" : L"no")) << extension;
        EXPECT_EQ(rows[L"Extension key owner"], key["ownerIs"] == "player" ? L"the player" : key["ownerIs"] == "none" ? L"none"
                                                : shown(key["owner"]) + L" (another program)");
        const bool ours = !capability["view64"].is_null() || !capability["view32"].is_null() || !typeClass.is_null();
        EXPECT_EQ(rows[L"Backup"], !ours && key["backup"].is_null() ? L"" : key["backup"].is_null() ? L"none" : shown(key["backup"]));
        if (!t["userChoice"].is_null()) starts(rows[L"User's choice"], Visible(Wide(t["userChoice"])));
        const std::wstring doubleClick = rows[L"Double-click"], other = doubleClick.substr(0, doubleClick.rfind(L" (")) + L" (" + (opens.is_null() ? L"" : Visible(Wide(opens))) + L")";
        EXPECT_EQ(doubleClick, t["doubleClick"]["opensPlayer"] ? L"opens Korvane Player" : opens.is_null() ? L"Windows asks which program to use" : other);
        ASSERT_EQ(rows.count(L"Capability, 64-bit") == 1, ours) << extension;
        if (!ours) continue;
        EXPECT_EQ(rows[L"Capability, 64-bit"] + L"|" + rows[L"Capability, 32-bit"], shown(capability["view64"]) + L"|" + shown(capability["view32"]));
        EXPECT_EQ(rows[L"Class"], Visible(ProgId(extension) + L": " + (typeClass.is_null() ? L"(missing)"
                                          : typeClass["description"].is_null() ? L"" : Wide(typeClass["description"]))));
        if (typeClass.is_null()) continue;
        starts(rows[L"Icon"], shown(typeClass["icon"]) + L" (");
        for (const Json& verb : typeClass["verbs"]) starts(rows[L"Verb " + Visible(Wide(verb["name"]))], Visible(Wide(verb["command"])) + L" (");
    }
    for (auto [name, heading] : {std::pair{"audioCd", L"Audio CD: "}, {"folderVerb", L"Folder verb: "}}) {
        const Json& handler = document[name];
        const bool audioCd = name == std::string("audioCd");
        auto rows = ReadSection(text, heading + std::wstring(handler["ours"] ? L"the player" : handler["command"].is_null() ? L"none" : L"another program"));
        EXPECT_EQ(rows[L"!"] + rows[audioCd ? L"Backup" : L"Name"],
                  std::wstring(handler["findings"].size(), L'!') + (audioCd && handler["backup"].is_null() ? L"none" : shown(handler[audioCd ? "backup" : "name"])));
        if (handler["clientExists"].is_null()) starts(rows[L"Command"], shown(handler["command"]));
    }
    auto programs = ReadSection(text, L"Default Programs");
    EXPECT_EQ(programs[L"!"], std::wstring(document["defaultPrograms"]["findings"].size(), L'!'));
    for (const Json& v : document["defaultPrograms"]["values"])
        EXPECT_EQ(programs[Visible(Wide(v["name"])) + L", 64-bit"] + L"|" + programs[Visible(Wide(v["name"])) + L", 32-bit"],
                  shown(v["value"]["view64"]) + L"|" + shown(v["value"]["view32"]));
    const auto count = [&](const char* name) { return std::to_wstring(document["summary"][name].get<int>()); };
    std::wstring summary = L"\n\nFile types: " + count("types");
    for (const auto& [name, words] : statuses) summary += (name == "registered" ? L" (" : L", ") + words + L": " + count(name.c_str());
    EXPECT_NE(text.find(summary + L"); opening with Korvane Player on a double-click: " + count("opensPlayer") + L"\n"), std::wstring::npos) << text;
}

} // namespace

void ExpectBothFormsTellTheSame(const AssociationReport& report)
{
    ExpectTextTellsTheJson(FormatReportText(report), nlohmann::json::parse(FormatReportJson(report)));
}

namespace {

using AssociationReportRun = ReportState;  // the same states, for the installed report

TEST_F(ReportState, FindsWhatIsStaleAndNeverWrites)
{
    const std::wstring settings = folder_.File(L"Korvane.ini");
    const std::wstring verb = L"Korvane kvr File\\shell\\Open\\Command", spaced = folder_.File(L"A Folder");
    CreateDirectoryW(spaced.c_str(), nullptr);
    CopyFileW(BesideTests(L"Tovrix.exe").c_str(), (spaced + L"\\Tovrix.exe").c_str(), FALSE);
    CopyFileW(BesideTests(kLongNamedIcon).c_str(), folder_.File(L"Sound, Icons.ico").c_str(), FALSE);
    const auto otherClass = [](const wchar_t* progId) { PutString(HKEY_CLASSES_ROOT, progId, nullptr, L"Other Player"); };
    keys_.Add(HKEY_CLASSES_ROOT, L"Other.App");
    keys_.Add(HKEY_CLASSES_ROOT, L"Other.kvr");
    const struct {
        const char* name;
        std::function<void()> seed;
        DWORD exitCode;
        const char* status;   // of .kvr, in the JSON
        nlohmann::json finding;  // of .kvr, in the JSON: one, several or none (null)
        std::wstring line;    // in the readable report
        const char* opens = nullptr;  // the class a double-click on a .kvr file opens; null: Windows asks
        const char* owner = "none";  // of the .kvr key, in the JSON
    } cases[] = {
        {"clean, no settings file", [] {}, 0, "registered", nullptr,  // each section, a blank line apart
         L"\n\nAudio CD: none\n  Command                           (missing)\n  Backup                            none\n\nFolder verb: none\n"},
        {"views differ", [] { RegDeleteValueW(TestKey(HKEY_LOCAL_MACHINE, kCapability, KEY_ALL_ACCESS | KEY_WOW64_32KEY).handle, L".kvr"); },
         1, "stale", "capabilityViewsDiffer", L"the 64-bit and 32-bit capability values differ"},
        {"no class", [] { DeleteKeyTree(HKEY_CLASSES_ROOT, L"Korvane kvr File"); },
         1, "stale", "capabilityWithoutClass", L"Korvane kvr File: (missing)"},
        {"a 32-bit capability value alone", [] {
             DeleteKeyTree(HKEY_CLASSES_ROOT, L"Korvane kvr File");
             RegDeleteValueW(TestKey(HKEY_LOCAL_MACHINE, kCapability, KEY_ALL_ACCESS | KEY_WOW64_64KEY).handle, L".kvr"); },
         1, "stale", {"capabilityViewsDiffer", "capabilityWithoutClass"}, L"Korvane kvr File: (missing)"},
        {"no capability", [] { DeleteValueAllViews(HKEY_LOCAL_MACHINE, kCapability.c_str(), L".kvr"); },
         1, "stale", "classWithoutCapability", L"Korvane kvr File: Korvane kvr sound"},
        {"backup left; another program owns the extension key", [&] {
             PutString(HKEY_CLASSES_ROOT, L".kvr", nullptr, L"Other.kvr");
             PutString(HKEY_CLASSES_ROOT, L".kvr", L"Before Korvane", L"Older.kvr");
             otherClass(L"Other.kvr"); },
         1, "stale", "staleBackup", L"a backup left on a key that the player no longer holds", "Other.kvr", "other"},
        {"an extension key naming nothing", [] { PutString(HKEY_CLASSES_ROOT, L".kvr", nullptr, L""); },
         0, "registered", nullptr, L"Extension key owner"},
        {"a folder where the client should be", [&] { PutString(HKEY_CLASSES_ROOT, verb, nullptr, L"\"C:\\windows\" \"%1\""); },
         1, "stale", "clientMissing", L"(client missing)"},
        {"an Open command of another type, which runs nothing", [&] { Seed({{HKEY_CLASSES_ROOT, verb, L"", REG_DWORD, {1, 0, 0, 0}}}); },
         1, "stale", "clientMissing", L"Verb Open                         01000000 (client missing)"},
        {"the extension key left naming the player's class, which is gone", [&] {
             DeleteKeyTree(HKEY_CLASSES_ROOT, L"Korvane kvr File");
             DeleteValueAllViews(HKEY_LOCAL_MACHINE, kCapability.c_str(), L".kvr");
             PutString(HKEY_CLASSES_ROOT, L".kvr", nullptr, L"Korvane kvr File");
             PutString(HKEY_CLASSES_ROOT, L".kvr", L"Before Korvane", L"Other.kvr"); },
         1, "stale", "ownerClassMissing", L"Backup                            Other.kvr", nullptr, "player"},
        {"the extension key naming the player's class as REG_EXPAND_SZ", [] {
             Seed({{HKEY_CLASSES_ROOT, L".kvr", L"", REG_EXPAND_SZ, Sz(L"Korvane kvr File")}}); },
         0, "registered", nullptr, L"opens Korvane Player", "Korvane kvr File", "player"},
        {"the Default Programs record naming another key", [] {
             PutString(HKEY_LOCAL_MACHINE, L"Software\\RegisteredApplications", L"Korvane Player", L"Software\\Nowhere", KEY_WOW64_64KEY); },
         1, "registered", nullptr, L"the player's Default Programs record is missing or incomplete"},
        {"a command to expand, unquoted", [&] {
             Seed({{HKEY_CLASSES_ROOT, verb, L"", REG_EXPAND_SZ, Sz(L"%SystemRoot%\\notepad.exe \"%1\"")}}); },
         0, "registered", nullptr, L"%SystemRoot%\\notepad.exe \"%1\" (client exists)"},
        {"unquoted, in a folder with a blank", [&] { PutString(HKEY_CLASSES_ROOT, verb, nullptr, spaced + L"\\Tovrix.exe /open %1"); },
         0, "registered", nullptr, L"A Folder\\Tovrix.exe /open %1 (client exists)"},
        {"a bare name the shell looks for itself", [&] { PutString(HKEY_CLASSES_ROOT, verb, nullptr, L"kvplayer.exe %1"); },
         0, "registered", nullptr, L"kvplayer.exe %1 (client not checked"},
        {"a comma in the icon's path", [&] {
             PutString(HKEY_CLASSES_ROOT, L"Korvane kvr File\\DefaultIcon", nullptr, folder_.File(L"Sound, Icons.ico") + L",0"); },
         0, "registered", nullptr, L"Sound, Icons.ico,0 (file exists, icon loads)"},
        {"a description beyond ASCII holding a line break, and a verb name of 255 characters", [&] {
             PutString(HKEY_CLASSES_ROOT, L"Korvane kvr File", nullptr, L"Caf\u00e9 \u30b5\u30a6\u30f3\u30c9\r\nlines\x1b");
             PutString(HKEY_CLASSES_ROOT, L"Korvane kvr File\\shell\\" + std::wstring(255, L'v') + L"\\command", nullptr, L"x.exe"); },
         0, "registered", nullptr, L"Korvane kvr File: Caf\u00e9 \u30b5\u30a6\u30f3\u30c9<CR><LF>lines<U+001B>\n"},
        {"capability values of another type", [] {
             for (REGSAM view : kBothViews)
                 Seed({{HKEY_LOCAL_MACHINE, kCapability, L".kvr", REG_EXPAND_SZ, Sz(L"Korvane kvr File"), view}}); },
         1, "stale", "capabilityNamesAnotherClass", L"the capability value names another class"},
        {"user chose another program", [&] {
             PutString(HKEY_CURRENT_USER, kUserChoice + L"\\UserChoice", L"ProgId", L"Other.App");
             otherClass(L"Other.App"); },
         0, "chosenForOther", nullptr, L"opens Other Player (Other.App)", "Other.App"},
        {"user chose the player", [] { PutString(HKEY_CURRENT_USER, kUserChoice + L"\\UserChoice", L"ProgId", L"Korvane kvr File"); },
         0, "registered", nullptr, L"\n\nFile types: 1 (registered: 1, chosen by the user for another program: 0, stale: 0, "
                                    L"not registered: 0); opening with Korvane Player on a double-click: 1", "Korvane kvr File"},
        {"user chose a class that is gone: Windows asks, and the type is registered", [] {
             PutString(HKEY_CURRENT_USER, kUserChoice + L"\\UserChoice", L"ProgId", L"Gone.App"); },
         0, "registered", nullptr, L"Gone.App (no such class)"},
        {"a class without verbs, as a run stopped half way leaves it", [] { DeleteKeyTree(HKEY_CLASSES_ROOT, L"Korvane kvr File\\shell"); },
         1, "stale", "noOpenVerb", L"the class has no Open verb with a command"},
        {"a run stopped while it changed two types and the audio CD handler", [] {
             Seed({{HKEY_LOCAL_MACHINE, L"Software\\Ostrafen\\Korvane Player", L"Unfinished", REG_MULTI_SZ, Sz(std::wstring(L".kvr\0.kvs\0AudioCD\0", 18))}}); },
         1, "registered", nullptr, L"(not found)\n! a run was stopped while it changed .kvr, .kvs, AudioCD; run the same command again\n\n"},
        {"a run stopped that named nothing", [] { PutString(HKEY_LOCAL_MACHINE, L"Software\\Ostrafen\\Korvane Player", L"Unfinished", L""); },
         1, "registered", nullptr, L"! a run was stopped while it changed "},
        {"a type Windows runs, registered by hand", [&] {
             for (REGSAM view : kBothViews) PutString(HKEY_LOCAL_MACHINE, kCapability, L".bat", L"Korvane bat File", view);
             PutString(HKEY_CLASSES_ROOT, L"Korvane bat File\\shell\\Open\\command", nullptr, L"\"" + spaced + L"\\Tovrix.exe\" \"%1\""); },
         1, "registered", nullptr, L"a type Windows runs: the tool never registers it"},
        {"settings file malformed", [&] { WriteTextFile(settings, L"\x1\x2[[[\n=\n[RegisterdExtensions\nExtensions"); },
         0, "registered", nullptr, L"(holds no list of file types)"},
        {"audio CD ours, another program's command kept", [] {
             PutString(HKEY_CLASSES_ROOT, L"AudioCD\\shell\\play\\command", nullptr, L"other.exe \"%L\"");
             ApplyAssociations({}, {{L"AudioCD", L"", L"", 0, FT_AUDIOCD | FT_ASSOCIATED}}, &associationContext); },
         0, "registered", nullptr, L"Audio CD: the player"},
        {"audio CD: a backup left beside another program's command", [] {
             PutString(HKEY_CLASSES_ROOT, L"AudioCD\\shell\\play\\command", nullptr, L"other.exe \"%L\"");
             PutString(HKEY_CLASSES_ROOT, L"AudioCD\\shell\\play\\command", L"Before Korvane", L"older.exe"); },
         1, "registered", nullptr, L"a backup left on a key that the player no longer holds"},
        {"a backup left on a type nobody registered", [&] {
             WriteTextFile(settings, L"[RegisterdExtensions]\nExtensions=kvs;\n");
             PutString(HKEY_CLASSES_ROOT, L".kvs", nullptr, L"Other.kvs");
             PutString(HKEY_CLASSES_ROOT, L".kvs", L"Before Korvane", L"Older.kvs"); },
         1, "registered", nullptr, L"a backup left on a key that the player no longer holds"},
    };
    for (size_t i = 0; i < std::size(cases); ++i) {
        const auto& c = cases[i];
        SCOPED_TRACE(c.name);
        DeleteFileW(settings.c_str());
        PreservedKeys scratch;  // each case starts from the clean registration
        for (REGSAM view : kBothViews)
            for (const wchar_t* key : {L"Software\\Ostrafen", L"Software\\RegisteredApplications"}) scratch.Add(HKEY_LOCAL_MACHINE, key, view, true);
        for (const wchar_t* key : {L".kvr", L"Korvane kvr File", L".kvs", L"Korvane bat File"}) scratch.Add(HKEY_CLASSES_ROOT, key, 0, true);
        scratch.Add(HKEY_CURRENT_USER, kUserChoice, 0, true);
        scratch.Add(HKEY_CLASSES_ROOT, L"AudioCD", 0, true);
        c.seed();

        AssociationReport report;
        {
            ChangeWatch watch(kReportedKeys);
            registryAccessRights = KEY_READ;  // as KorvaneAssocCheck.exe opens keys
            report = ReadAssociationReport(settings);
            registryAccessRights = KEY_ALL_ACCESS;
            EXPECT_FALSE(watch.Changed()) << "the report wrote to the registry";
        }
        EXPECT_EQ(report.Consistent() ? 0u : 1u, c.exitCode);
        const std::wstring text = FormatReportText(report);
        EXPECT_NE(text.find(c.line), std::wstring::npos) << text;
        EXPECT_EQ(text.rfind(L"Korvane Player file associations (read only)\n\nSettings file: ", 0), 0u) << text;
        EXPECT_NE(text.find(L"\n  Software\\Ostrafen\\Korvane Player\\Capabilities\n    ApplicationDescription, 64-bit "),
                  std::wstring::npos) << "each key of the Default Programs values is named once, above its values";
        const size_t row = text.find(L"\n  In settings file");
        EXPECT_LT(text.find_first_not_of(L' ', row + 19) - row, 64u) << "no label beyond 60 columns widens the column";

        const std::string json = FormatReportJson(report);
        const nlohmann::json document = nlohmann::json::parse(json, nullptr, false);
        ASSERT_FALSE(document.is_discarded()) << json;
        EXPECT_EQ(document["consistent"], c.exitCode == 0);
        const auto& types = document["types"];
        auto kvr = std::find_if(types.begin(), types.end(), [](const nlohmann::json& t) { return t["extension"] == "kvr"; });
        ASSERT_NE(kvr, types.end());
        EXPECT_EQ((*kvr)["status"], c.status);
        using Json = nlohmann::json;
        EXPECT_EQ((*kvr)["findings"], c.finding.is_string() ? Json::array({c.finding}) : c.finding.is_null() ? Json::array() : c.finding);
        EXPECT_EQ((*kvr)["doubleClick"], (Json{{"progId", c.opens ? Json(c.opens) : Json()}, {"opensPlayer", c.opens && c.opens == std::string("Korvane kvr File")}}));
        EXPECT_EQ((*kvr)["extensionKey"]["ownerIs"], c.owner);
        ExpectBothFormsTellTheSame(report);
        for (auto [view, name] : {std::pair{KEY_WOW64_64KEY, "view64"}, {KEY_WOW64_32KEY, "view32"}}) {  // each view's own value
            const auto& value = (*kvr)["capability"].at(name);
            EXPECT_EQ(value.is_null() ? kMissing : Wide(value["data"]), GetString(HKEY_LOCAL_MACHINE, kCapability, L".kvr", view)) << name;
        }

        // The default associations file: the registered types; every other one named as left out. Each case with other
        // attributes for Windows 11: none, Suggested, a Version.
        const PolicyAttributes attributes{i % 3 == 1, i % 3 == 2 ? static_cast<unsigned>(i) : 0u};
        std::wstring xml = L"<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<DefaultAssociations" +
                           (attributes.version ? L" Version=\"" + std::to_wstring(i) + L"\"" : L"") + L">\r\n";
        std::vector<std::wstring> notListed, leftOut;
        for (const auto& type : types) {
            const std::wstring extension = Wide(type["extension"].get<std::string>());
            if (type["status"] == "registered" || type["status"] == "chosenForOther")
                xml += L"  <Association Identifier=\"." + extension + L"\" ProgId=\"Korvane " + extension +
                       L" File\" ApplicationName=\"Korvane Player\"" + (attributes.suggested ? L" Suggested=\"true\"" : L"") + L" />\r\n";
            else
                notListed.push_back(L"." + extension);
        }
        const std::wstring policy = DefaultAssociationsXml(report, leftOut, attributes);
        EXPECT_EQ(policy, xml + L"</DefaultAssociations>\r\n");
        EXPECT_EQ(leftOut, notListed);
        KeepDocument("case" + std::to_string(i) + ".json", json);
        KeepDocument("case" + std::to_string(i) + ".xml", Utf8(policy));
    }
}

// What the installed report writes where cmd, PowerShell and Windows' policies read it: CRLF lines in the console's
// code page, or to a console in Unicode however long; JSON in ASCII; the default associations file in UTF-8. A bare
// settings name is in the current folder; it never writes.
TEST_F(AssociationReportRun, WritesForEveryShellNeverWritesAndRefusesWhatItDoesNotUnderstand)
{
    std::wstring list;
    for (int i = 0; i < 400; ++i) list += L"kvt" + std::to_wstring(i) + L";";
    WriteTextFile(folder_.File(L"Korvane.ini"), L"[RegisterdExtensions]\nExtensions=" + list + L"kvr;\n");
    keys_.Add(HKEY_CLASSES_ROOT, L".k&v<\"'>");
    keys_.Add(HKEY_CLASSES_ROOT, L"Korvane k&v<\"'> File");
    for (const wchar_t* key : {L".kv\u00e9", L"Korvane kv\u00e9 File"}) keys_.Add(HKEY_CLASSES_ROOT, key);
    std::string text, json, xml, errors, leftOut;
    {
        ChangeWatch watch(kReportedKeys);  // the watch itself sees another process write
        EXPECT_EQ(WaitExit(StartProcess(InstallDir() + L"\\KorvaneAssoc.exe", L"/Unregister")), 1u);
        EXPECT_TRUE(watch.Changed());
    }
    // Nothing registered: no document takes the place of a good one.
    const std::wstring policyFile = folder_.File(L"policy.xml");
    WriteTextFile(policyFile, L"a good one");
    const std::vector<BYTE> goodOne = FileBytes(policyFile);
    EXPECT_EQ(RunCapturing(Report(), L"/defaultassociations Korvane.ini /out policy.xml", text, errors, folder_.path().c_str()), 1u);
    EXPECT_EQ(FileBytes(policyFile), goodOne);
    EXPECT_NE(errors.find("lists none\r\nthe document was not written to"), std::string::npos) << errors;
    ApplyAssociations({}, {{L"k&v<\"'>", L"Odd", resourceModulePath, -107, FT_ASSOCIATED}}, &associationContext);
    RegisterCleanly();
    PutString(HKEY_CLASSES_ROOT, L"Korvane kvr File", nullptr, L"Caf\u00e9 \u30b5\u30a6\u30f3\u30c9\u266a");  // no best fit
    {
        ChangeWatch watch(kReportedKeys);
        EXPECT_EQ(RunCapturing(Report(), L"Korvane.ini", text, errors, folder_.path().c_str()), 0u);
        EXPECT_EQ(RunCapturing(Report(), L"/JSON Korvane.ini", json, errors, folder_.path().c_str()), 0u);
        EXPECT_EQ(RunCapturing(Report(), L"Korvane.ini /DefaultAssociations", xml, leftOut, folder_.path().c_str()), 0u);
        EXPECT_FALSE(watch.Changed()) << "the report wrote to the registry";
    }
    EXPECT_NE(text.find("(401 stored file types)\r\n"), std::string::npos) << "the file named bare, in the current folder";
    EXPECT_NE(text.find("Korvane kvr File: Caf\x82 ?????\r\n"), std::string::npos) << "the OEM code page 437, no CR for a note sign";
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), std::count(text.begin(), text.end(), '\r')) << "CRLF";
    EXPECT_TRUE(std::all_of(json.begin(), json.end(), [](char b) { return static_cast<unsigned char>(b) < 0x80; }));
    EXPECT_NE(json.find("\"description\": \"Caf\\u00e9 \\u30b5"), std::string::npos) << json.substr(0, 300);
    EXPECT_EQ(xml.rfind("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<DefaultAssociations>\r\n"
                        "  <Association Identifier=\".k&amp;v&lt;&quot;&apos;&gt;\" ProgId=\"Korvane k&amp;v&lt;&quot;&apos;&gt; File\" "
                        "ApplicationName=\"Korvane Player\" />\r\n"
                        "  <Association Identifier=\".kvr\" ProgId=\"Korvane kvr File\" ApplicationName=\"Korvane Player\" />\r\n"
                        "</DefaultAssociations>\r\n", 0), 0u) << xml;
    EXPECT_EQ(leftOut.rfind("not registered, left out: .kvt0\r\n", 0), 0u) << leftOut;
    KeepDocument("run.json", json);
    KeepDocument("run.xml", xml);
    // Into its own file, as UTF-8 without a mark whatever the shell; with the attributes of Windows 11; and in base64
    // for Intune, one line (the readers after the tests decode it and compare).
    EXPECT_EQ(RunCapturing(Report(), L"/defaultassociations Korvane.ini /suggested /version 7 /out policy.xml", text, errors,
                           folder_.path().c_str()), 0u);
    const std::vector<BYTE> bytes = FileBytes(policyFile);
    std::string written(bytes.begin(), bytes.end()), plain = written;
    for (const std::string attribute : {" Version=\"7\"", " Suggested=\"true\"", " Suggested=\"true\""})
        plain.erase(plain.find(attribute), attribute.size());
    EXPECT_EQ(plain, xml) << written;
    KeepDocument("out.xml", written);
    std::string base64;
    EXPECT_EQ(RunCapturing(Report(), L"/base64 /defaultassociations Korvane.ini", base64, errors, folder_.path().c_str()), 0u);
    KeepDocument("base64.b64", base64);
    KeepDocument("base64.xml", xml);
    // Detection: whether what "/Register /Silent" on a settings file registers is in place.
    const struct { const char* name; std::wstring listed; bool stopped; DWORD exitCode; const char* named; } verified[] = {
        {"registered", L"kvr;", false, 0, ""},
        {"one type missing", L"kvr;kvt1;", false, 1, "not registered: .kvt1\r\n"},
        {"a run stopped half way", L"kvr;", true, 1, "a run was stopped"},
        {"names in another letter case, of any script", L"KVR;KV\u00c9;", false, 0, ""},
    };
    const FileTypeEntry accented(L"kv\u00e9", L"", L"", 0, FT_ASSOCIATED);
    ApplyAssociations({}, {accented}, &associationContext);
    for (const auto& v : verified) {
        SCOPED_TRACE(v.name);
        WriteTextFile(folder_.File(L"Verify.ini"), L"[RegisterdExtensions]\r\nExtensions=" + v.listed + L"\r\n");
        if (v.stopped) PutString(HKEY_LOCAL_MACHINE, L"Software\\Ostrafen\\Korvane Player", L"Unfinished", L".kvr");
        EXPECT_EQ(RunCapturing(Report(), L"/verify Verify.ini", text, errors, folder_.path().c_str()), v.exitCode);
        EXPECT_TRUE(v.exitCode ? errors.find(v.named) != std::string::npos : errors.empty()) << errors;
        DeleteValueAllViews(HKEY_LOCAL_MACHINE, L"Software\\Ostrafen\\Korvane Player", L"Unfinished");
    }
    ApplyAssociations({accented}, {}, &associationContext);
    CreateDirectoryW(folder_.File(L"Folder.ini").c_str(), nullptr);  // found, and no settings file a run could read
    EXPECT_EQ(RunCapturing(Report(), L"/verify Folder.ini", text, errors, folder_.path().c_str()), 1u);
    EXPECT_NE(errors.find("cannot be read: "), std::string::npos) << errors;
    // To a console of this process's own, whole (a console of Windows 7 refuses one write of about 26,000 characters).
    FreeConsole();
    ASSERT_TRUE(AllocConsole());
    HANDLE screen = GetStdHandle(STD_OUTPUT_HANDLE);
    SetConsoleScreenBufferSize(screen, COORD{300, 200});
    WaitExit(StartProcess(Report(), L"Korvane.ini", nullptr, nullptr, folder_.path().c_str()));
    CONSOLE_SCREEN_BUFFER_INFO info{};
    GetConsoleScreenBufferInfo(screen, &info);
    wchar_t shown[300] = L"";
    DWORD read = 0;
    ReadConsoleOutputCharacterW(screen, shown, 300, COORD{0, static_cast<SHORT>(info.dwCursorPosition.Y - 1)}, &read);
    FreeConsole();
    EXPECT_EQ(std::wstring(shown, read).rfind(L"File types: 402 (registered: 2", 0), 0u) << "the last line";
    // Command lines it does not understand get the usage, and nothing else.
    const std::wstring tooLong = std::wstring(1500, L'p');  // a path that would arrive cut short
    for (const std::wstring arguments : {L"/bogus", L"a.ini b.ini", L"/json /xml", L"/json /defaultassociations", tooLong.c_str(),
                                         L"/verify", L"a.ini /out b.xml", L"a.ini /defaultassociations /out b.xml /out c.xml",
                                         L"a.ini /defaultassociations /version 0", L"/defaultassociations /out", L"/verify R:\\Korvane.ini"}) {
        EXPECT_EQ(RunCapturing(Report(), arguments, text, errors), 2u) << arguments.substr(0, 40);
        EXPECT_TRUE(text.empty());
        EXPECT_EQ(errors.rfind("usage: KorvaneAssocCheck.exe", 0), 0u) << errors;
    }
}

} // namespace
