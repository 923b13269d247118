#include "report/report_output.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cwchar>
#include <vector>

#include "app/context.h"
#include "app/texts.h"
#include "registry/file_type_class.h"
#include "resource.h"

namespace {

std::wstring Text(UINT id) { return LoadModuleString(id, kShortTextChars); }

std::wstring Formatted(UINT id, size_t number)
{
    wchar_t line[kShortTextChars];
    swprintf(line, kShortTextChars, Text(id).c_str(), static_cast<unsigned>(number));
    return line;
}

// A text with numbered inserts (%1!u!, %2!u!, ...), so that each language
// puts the numbers where its sentence needs them.
std::wstring FormattedWith(UINT id, const std::vector<DWORD_PTR>& numbers)
{
    const std::wstring pattern = Text(id);
    wchar_t* text = nullptr;
    const DWORD flags = FORMAT_MESSAGE_FROM_STRING | FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_ARGUMENT_ARRAY;
    if (!FormatMessageW(flags, pattern.c_str(), 0, 0, reinterpret_cast<LPWSTR>(&text), 0,
                        reinterpret_cast<va_list*>(const_cast<DWORD_PTR*>(numbers.data()))))
        return pattern;
    std::wstring line(text);
    LocalFree(text);
    return line;
}

const wchar_t* TypeName(DWORD type)
{
    switch (type) {
    case REG_SZ: return L"REG_SZ";
    case REG_EXPAND_SZ: return L"REG_EXPAND_SZ";
    case REG_MULTI_SZ: return L"REG_MULTI_SZ";
    case REG_BINARY: return L"REG_BINARY";
    case REG_DWORD: return L"REG_DWORD";
    case REG_QWORD: return L"REG_QWORD";
    case REG_NONE: return L"REG_NONE";
    default: return L"REG_UNKNOWN";
    }
}

std::wstring Shown(const ValueState& value)
{
    if (!value.present) return Text(IDS_REPORT_MISSING);
    if (value.type == REG_SZ) return value.data;
    return std::wstring(TypeName(value.type)) + L" " + value.data;
}

UINT FindingText(Finding finding)
{
    return finding == Finding::OwnerClassMissing ? IDS_REPORT_OWNER_CLASS_MISSING
           : finding == Finding::WindowsRunsType ? IDS_REPORT_WINDOWS_RUNS_TYPE
                                                 : IDS_REPORT_FINDING_FIRST + static_cast<UINT>(finding);
}
UINT StatusText(TypeStatus status) { return IDS_REPORT_STATUS_FIRST + static_cast<UINT>(status); }

// Columns a text takes in a console: East Asian wide characters (kana,
// kanji, hangul, full-width forms) take two.
size_t DisplayWidth(const std::wstring& text)
{
    size_t width = 0;
    for (wchar_t c : text) {
        const bool wide = (c >= 0x1100 && c <= 0x115F) || (c >= 0x2E80 && c <= 0xA4CF) || (c >= 0xAC00 && c <= 0xD7A3) ||
                          (c >= 0xF900 && c <= 0xFAFF) || (c >= 0xFE30 && c <= 0xFE4F) || (c >= 0xFF00 && c <= 0xFF60) ||
                          (c >= 0xFFE0 && c <= 0xFFE6);
        width += wide ? 2 : 1;
    }
    return width;
}

} // namespace

namespace {

// Rows of label and value; the labels of the whole report share one
// column, as wide as the widest label of at most kWidestLabel columns (a
// longer one, a verb's name of 255 characters say, stands alone).
constexpr size_t kWidestLabel = 60;

class Table {
public:
    void Heading(const std::wstring& text) { rows_.push_back({L"", Visible(text), true}); }
    void Row(const std::wstring& label, const std::wstring& value)
    {
        rows_.push_back({L"  " + Visible(label), Visible(value), false});
    }
    void Findings(const std::vector<Finding>& findings)
    {
        for (Finding f : findings) rows_.push_back({L"  !", Text(FindingText(f)), false});
    }
    void Blank() { rows_.push_back({L"", L"", true}); }

    std::wstring Render() const
    {
        size_t width = 0;
        for (const Line& r : rows_)
            if (!r.heading && DisplayWidth(r.label) <= kWidestLabel) width = std::max(width, DisplayWidth(r.label));
        std::wstring out;
        for (const Line& r : rows_) {
            if (r.heading) {
                out += r.value + L"\n";
            } else {
                const size_t labelWidth = DisplayWidth(r.label);
                out += r.label + std::wstring(labelWidth < width ? width - labelWidth + 2 : 2, L' ') + r.value + L"\n";
            }
        }
        return out;
    }

private:
    struct Line {
        std::wstring label;
        std::wstring value;
        bool heading;
    };
    std::vector<Line> rows_;
};

std::wstring Parenthesised(const std::wstring& text, const std::wstring& note) { return text + L" (" + note + L")"; }

void SettingsSection(Table& table, const SettingsFileState& settings)
{
    std::wstring value;
    if (settings.path.empty()) {
        value = Text(IDS_REPORT_SETTINGS_NONE);
    } else if (!settings.found) {
        value = Parenthesised(settings.path, Text(IDS_REPORT_SETTINGS_MISSING));
    } else if (!settings.readable) {
        value = Parenthesised(settings.path, Text(IDS_REPORT_SETTINGS_UNREADABLE));
    } else if (!settings.hasTypeList) {
        value = Parenthesised(settings.path, Text(IDS_REPORT_SETTINGS_NO_LIST));
    } else {
        value = Parenthesised(settings.path, Formatted(IDS_REPORT_SETTINGS_TYPES, settings.storedTypes));
    }
    table.Heading(Text(IDS_REPORT_SETTINGS) + L": " + value);
}

void DefaultProgramsSection(Table& table, const AssociationReport& report)
{
    table.Heading(Text(IDS_REPORT_DEFAULT_PROGRAMS));
    const std::wstring* key = nullptr;
    for (const NamedViewedValue& v : report.defaultPrograms) {
        if (!key || *key != v.key) table.Heading(L"  " + v.key);
        key = &v.key;
        table.Row(L"  " + v.name + L", " + Text(IDS_REPORT_VIEW_64), Shown(v.value.view64));
        table.Row(L"  " + v.name + L", " + Text(IDS_REPORT_VIEW_32), Shown(v.value.view32));
    }
    table.Findings(report.defaultProgramsFindings);
}

std::wstring VerbText(const VerbState& verb)
{
    const UINT note = !verb.clientExists ? IDS_REPORT_CLIENT_UNCHECKED
                      : *verb.clientExists ? IDS_REPORT_CLIENT_EXISTS
                                           : IDS_REPORT_CLIENT_MISSING;
    return Parenthesised(verb.command, Text(note));
}

void HandlerSection(Table& table, UINT title, const HandlerState& handler, bool withName)
{
    table.Heading(Text(title) + L": " + Text(handler.ours ? IDS_REPORT_OWNER_PLAYER
                                              : handler.command.present ? IDS_REPORT_OWNER_OTHER
                                                                        : IDS_REPORT_NONE));
    if (withName) table.Row(Text(IDS_REPORT_NAME), Shown(handler.displayName));
    table.Row(Text(IDS_REPORT_COMMAND), handler.verb ? VerbText(*handler.verb) : Shown(handler.command));
    if (!withName) table.Row(Text(IDS_REPORT_BACKUP), handler.backup.present ? Shown(handler.backup) : Text(IDS_REPORT_NONE));
    table.Findings(handler.findings);
}

std::wstring OwnerText(const TypeState& type)
{
    switch (type.ownerKind) {
    case Owner::Player: return Text(IDS_REPORT_OWNER_PLAYER);
    case Owner::Other: return Parenthesised(Shown(type.owner), Text(IDS_REPORT_OWNER_OTHER));
    default: return Text(IDS_REPORT_NONE);
    }
}

std::wstring DoubleClickText(const TypeState& type)
{
    if (type.opensPlayer) return Text(IDS_REPORT_OPENS_PLAYER);
    const std::wstring& opens = type.doubleClick.progId;
    if (opens.empty()) return Text(IDS_REPORT_WINDOWS_ASKS);
    const std::wstring name = type.doubleClickName.empty() ? Text(IDS_REPORT_OWNER_OTHER) : type.doubleClickName;
    const DWORD_PTR inserts[] = {reinterpret_cast<DWORD_PTR>(name.c_str()), reinterpret_cast<DWORD_PTR>(opens.c_str())};
    return FormattedWith(IDS_REPORT_OPENS_OTHER, std::vector<DWORD_PTR>(std::begin(inserts), std::end(inserts)));
}

// The class the user chose, and whether it is there to open.
std::wstring UserChoiceText(const DoubleClick& answer)
{
    if (answer.userChoice.empty()) return Text(IDS_REPORT_NONE);
    return answer.userChoiceExists ? answer.userChoice : Parenthesised(answer.userChoice, Text(IDS_REPORT_CLASS_MISSING));
}

void TypeSection(Table& table, const TypeState& type)
{
    table.Heading(L"." + type.extension + L": " + Text(StatusText(type.status)));
    table.Row(Text(IDS_REPORT_STORED), Text(type.stored ? IDS_REPORT_YES : IDS_REPORT_NO));
    // A type the player holds nothing of: only who owns it now.
    const bool nothingOfOurs = !type.capability.view64.present && !type.capability.view32.present && !type.classPresent;
    if (nothingOfOurs) {
        table.Row(Text(IDS_REPORT_OWNER), OwnerText(type));
        if (type.backup.present) table.Row(Text(IDS_REPORT_BACKUP), Shown(type.backup));
        if (!type.doubleClick.userChoice.empty()) table.Row(Text(IDS_REPORT_USER_CHOICE), UserChoiceText(type.doubleClick));
        table.Row(Text(IDS_REPORT_DOUBLE_CLICK), DoubleClickText(type));
        table.Findings(type.findings);
        return;
    }
    table.Row(Text(IDS_REPORT_CAPABILITY_64), Shown(type.capability.view64));
    table.Row(Text(IDS_REPORT_CAPABILITY_32), Shown(type.capability.view32));
    const std::wstring progId = MakeProgId(type.extension);
    table.Row(Text(IDS_REPORT_CLASS), progId + L": " + (type.classPresent ? type.description : Text(IDS_REPORT_MISSING)));
    if (type.classPresent) {
        const std::wstring notes = !type.iconLocal ? Text(IDS_REPORT_ICON_NOT_LOCAL)
                                   : Text(type.iconFileExists ? IDS_REPORT_FILE_EXISTS : IDS_REPORT_FILE_MISSING) + L", " +
                                         Text(type.iconLoads ? IDS_REPORT_ICON_LOADS : IDS_REPORT_ICON_FAILS);
        table.Row(Text(IDS_REPORT_ICON), Parenthesised(Shown(type.icon), notes));
    }
    for (const VerbState& verb : type.verbs) table.Row(Text(IDS_REPORT_VERB) + L" " + verb.name, VerbText(verb));
    table.Row(Text(IDS_REPORT_OWNER), OwnerText(type));
    table.Row(Text(IDS_REPORT_BACKUP), type.backup.present ? Shown(type.backup) : Text(IDS_REPORT_NONE));
    table.Row(Text(IDS_REPORT_USER_CHOICE), UserChoiceText(type.doubleClick));
    table.Row(Text(IDS_REPORT_DOUBLE_CLICK), DoubleClickText(type));
    table.Findings(type.findings);
}

// "A run was stopped while it changed <name>": what to do comes with it.
std::wstring RunStoppedText(const ValueState& unfinished)
{
    const DWORD_PTR name[] = {reinterpret_cast<DWORD_PTR>(unfinished.data.c_str())};
    return FormattedWith(FindingText(Finding::RunStopped), std::vector<DWORD_PTR>(std::begin(name), std::end(name)));
}

std::wstring SummaryLine(const AssociationReport& report)
{
    std::vector<DWORD_PTR> numbers{report.types.size()};
    for (TypeStatus status : {TypeStatus::Registered, TypeStatus::ChosenForOther, TypeStatus::Stale, TypeStatus::NotRegistered})
        numbers.push_back(report.Count(status));
    numbers.push_back(report.OpeningWithPlayer());
    return FormattedWith(IDS_REPORT_SUMMARY, numbers);
}

// --- JSON -------------------------------------------------------------------

// In the order written: what the document is and where it comes from
// first, as a reader looks for it.
using json = nlohmann::ordered_json;

// Names of the findings, statuses and owners in the JSON: camelCase, as
// every name of the document, so that PowerShell reads each without quotes.
const char* const kFindingNames[] = {
    "capabilityViewsDiffer", "classWithoutCapability", "capabilityWithoutClass",
    "capabilityNamesAnotherClass", "staleBackup", "clientMissing", "valuesDifferBetweenViews",
    "notARegisteredApplication", "noOpenVerb", "runStopped", "ownerClassMissing", "windowsRunsType",
};
const char* const kStatusNames[] = {"registered", "chosenForOther", "stale", "notRegistered"};
const char* const kOwnerNames[] = {"none", "player", "other"};

// Text, or null where there is none: one way to say "none" throughout.
json TextOrNull(const std::wstring& text) { return text.empty() ? json() : json(Utf8(text)); }

json Json(const ValueState& value)
{
    if (!value.present) return nullptr;
    return json{{"type", Utf8(TypeName(value.type))}, {"data", Utf8(value.data)}};
}

json Json(const ViewedValue& value)
{
    return json{{"view64", Json(value.view64)}, {"view32", Json(value.view32)}, {"agree", value.Agree()}};
}

json Json(const std::vector<Finding>& findings)
{
    json list = json::array();
    for (Finding f : findings) list.push_back(kFindingNames[static_cast<int>(f)]);
    return list;
}

json Json(const std::optional<bool>& known) { return known ? json(*known) : json(); }

json Json(const VerbState& verb)
{
    return json{{"name", Utf8(verb.name)}, {"command", Utf8(verb.command)}, {"client", TextOrNull(verb.client)},
                {"clientExists", Json(verb.clientExists)}};
}

json Json(const HandlerState& handler)
{
    return json{{"command", Json(handler.command)}, {"ours", handler.ours}, {"name", Json(handler.displayName)},
                {"backup", Json(handler.backup)}, {"clientExists", handler.verb ? Json(handler.verb->clientExists) : json()},
                {"findings", Json(handler.findings)}};
}

json Json(const TypeState& type)
{
    json verbs = json::array();
    for (const VerbState& verb : type.verbs) verbs.push_back(Json(verb));
    json typeClass = nullptr;
    if (type.classPresent) {
        typeClass = json{{"progId", Utf8(MakeProgId(type.extension))}, {"description", TextOrNull(type.description)},
                         {"icon", Json(type.icon)}, {"iconLocal", type.iconLocal}, {"iconFileExists", type.iconFileExists},
                         {"iconLoads", type.iconLoads}, {"verbs", verbs}};
    }
    return json{
        {"extension", Utf8(type.extension)},
        {"status", kStatusNames[static_cast<int>(type.status)]},
        {"stored", type.stored},
        {"capability", Json(type.capability)},
        {"class", typeClass},
        {"extensionKey", {{"owner", Json(type.owner)}, {"ownerIs", kOwnerNames[static_cast<int>(type.ownerKind)]},
                          {"backup", Json(type.backup)}}},
        {"userChoice", TextOrNull(type.doubleClick.userChoice)},
        {"doubleClick", {{"progId", TextOrNull(type.doubleClick.progId)}, {"opensPlayer", type.opensPlayer}}},
        {"findings", Json(type.findings)},
    };
}

// The computer's name, and the user the report runs as: the user's choice
// and what a double-click opens are that user's.
std::wstring ComputerName()
{
    wchar_t name[MAX_COMPUTERNAME_LENGTH + 1] = L"";
    DWORD length = MAX_COMPUTERNAME_LENGTH + 1;
    return GetComputerNameW(name, &length) ? name : L"";
}

std::wstring UserName()
{
    wchar_t name[257] = L"";
    DWORD length = 257;
    return GetUserNameW(name, &length) ? name : L"";
}

} // namespace

std::string Utf8(const std::wstring& text)
{
    if (text.empty()) return std::string();
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(size > 0 ? size : 0), '\0');
    if (size > 0)
        WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &out[0], size, nullptr, nullptr);
    return out;
}

std::wstring FormatReportText(const AssociationReport& report)
{
    Table table;
    table.Heading(Text(IDS_REPORT_TITLE));
    table.Blank();
    SettingsSection(table, report.settings);
    if (report.unfinished.present) table.Heading(L"! " + RunStoppedText(report.unfinished));
    table.Blank();
    DefaultProgramsSection(table, report);
    table.Blank();
    HandlerSection(table, IDS_REPORT_AUDIOCD, report.audioCd, false);
    table.Blank();
    HandlerSection(table, IDS_REPORT_FOLDER, report.folder, true);
    for (const TypeState& type : report.types) {
        table.Blank();
        TypeSection(table, type);
    }
    table.Blank();
    table.Heading(SummaryLine(report));
    return table.Render();
}

std::string FormatReportJson(const AssociationReport& report)
{
    const SettingsFileState& s = report.settings;
    json defaultPrograms = json::array();
    for (const NamedViewedValue& v : report.defaultPrograms)
        defaultPrograms.push_back(json{{"key", Utf8(v.key)}, {"name", Utf8(v.name)}, {"value", Json(v.value)}});
    json types = json::array();
    for (const TypeState& type : report.types) types.push_back(Json(type));
    json summary{{"types", report.types.size()}, {"opensPlayer", report.OpeningWithPlayer()}};
    for (TypeStatus status : {TypeStatus::Registered, TypeStatus::ChosenForOther, TypeStatus::Stale, TypeStatus::NotRegistered})
        summary[kStatusNames[static_cast<int>(status)]] = report.Count(status);
    json toDeploy = json::array();
    for (const std::wstring& name : s.toDeploy) toDeploy.push_back(Utf8(name));
    const json document{
        {"schemaVersion", kReportSchemaVersion},
        {"tool", {{"name", "KorvaneAssocCheck"}, {"version", KORVANE_VERSION_TEXT}}},
        {"computerName", TextOrNull(ComputerName())},
        {"userName", TextOrNull(UserName())},
        {"settingsFile", {{"path", TextOrNull(s.path)}, {"found", s.found}, {"readable", s.readable}, {"hasTypeList", s.hasTypeList},
                          {"storedTypes", s.storedTypes}, {"silentRegistrationTypes", toDeploy}}},
        {"defaultPrograms", {{"values", defaultPrograms}, {"findings", Json(report.defaultProgramsFindings)}}},
        {"audioCd", Json(report.audioCd)},
        {"folderVerb", Json(report.folder)},
        {"unfinished", {{"change", report.unfinished.present ? TextOrNull(report.unfinished.data) : json()},
                        {"findings", Json(report.runFindings)}}},
        {"types", types},
        {"summary", summary},
        {"consistent", report.Consistent()},
    };
    // Every character beyond ASCII escaped: whatever code page a script
    // reads the output in, the document comes through unchanged.
    return document.dump(2, ' ', true) + "\n";
}
