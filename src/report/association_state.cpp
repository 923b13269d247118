#include "report/association_state.h"

#include <shlwapi.h>

#include <algorithm>
#include <cwchar>
#include <map>
#include <vector>

#include "app/context.h"
#include "app/texts.h"
#include "catalogue/discovery.h"
#include "catalogue/double_click.h"
#include "catalogue/icons.h"
#include "files/paths.h"
#include "registry/executable_types.h"
#include "registry/file_type_class.h"
#include "registry/player_keys.h"
#include "registry/primitives.h"
#include "settings/type_store.h"

namespace {

bool IsTextType(DWORD type) { return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ; }

ValueState ReadState(HKEY root, const std::wstring& key, const wchar_t* name, REGSAM view = 0)
{
    ValueState state;
    RegistryValue value;
    if (!ReadValue(root, key.c_str(), name, value, view)) return state;
    state.present = true;
    state.type = value.type;
    if (value.type == REG_MULTI_SZ) {  // its texts, each once, in a line
        for (const std::wstring& text : value.AsTexts()) state.data += (state.data.empty() ? L"" : L", ") + text;
    } else if (IsTextType(value.type)) {
        state.data = value.AsText();
    } else {
        for (DWORD i = 0; i < value.size; ++i) {
            wchar_t pair[3];
            swprintf(pair, 3, L"%02x", value.bytes[i]);
            state.data += pair;
        }
    }
    return state;
}

ViewedValue ReadBothViews(HKEY root, const std::wstring& key, const wchar_t* name)
{
    return ViewedValue{ReadState(root, key, name, KEY_WOW64_64KEY), ReadState(root, key, name, KEY_WOW64_32KEY)};
}

bool FileExists(const std::wstring& path)
{
    if (path.empty() || !FitsPathBuffer(path.c_str())) return false;
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// A value's text as Windows uses it: REG_EXPAND_SZ with its environment
// variables expanded.
std::wstring Expanded(const ValueState& value)
{
    if (value.type != REG_EXPAND_SZ) return value.data;
    const DWORD size = ExpandEnvironmentStringsW(value.data.c_str(), nullptr, 0);
    if (size == 0) return value.data;
    std::wstring text(size, L'\0');
    const DWORD written = ExpandEnvironmentStringsW(value.data.c_str(), &text[0], size);
    if (written == 0 || written > size) return value.data;
    text.resize(written - 1);
    return text;
}

bool IsBareName(const std::wstring& name) { return name.find_first_of(L"\\/:") == std::wstring::npos; }

// A program name as CreateProcessW takes it: ".exe" added to a name without
// an extension; a bare name searched for in the system's folders and the
// PATH (never in the report's own folder, which the shell does not search).
bool FindProgram(const std::wstring& name, std::wstring& path)
{
    if (name.empty() || !FitsPathBuffer(name.c_str())) return false;
    static const std::wstring searched = [] {
        wchar_t system[kPathChars] = L"", windows[kPathChars] = L"";
        GetSystemDirectoryW(system, kPathChars);
        GetWindowsDirectoryW(windows, kPathChars);
        const DWORD size = GetEnvironmentVariableW(L"PATH", nullptr, 0);
        std::wstring folders = std::wstring(system) + L";" + windows;
        if (size == 0) return folders;
        std::wstring variable(size, L'\0');
        variable.resize(GetEnvironmentVariableW(L"PATH", &variable[0], size));
        return folders + L";" + variable;
    }();
    wchar_t found[kPathChars];
    const DWORD length = SearchPathW(IsBareName(name) ? searched.c_str() : nullptr, name.c_str(), L".exe", kPathChars, found,
                                     nullptr);
    if (length == 0 || length >= static_cast<DWORD>(kPathChars) || !FileExists(found)) return false;
    path = found;
    return true;
}

// The program a shell command starts, found the way CreateProcessW finds
// it: the quoted first word; unquoted, the text up to each blank in turn
// until one names a program. Not judged where nothing was found and the
// first word is a bare name.
void FindClient(VerbState& verb, std::wstring command)
{
    command.erase(0, command.find_first_not_of(L" \t"));  // CreateProcessW skips them too
    if (command.empty()) {
        verb.clientExists = false;  // a command that runs nothing
        return;
    }
    std::vector<std::wstring> candidates;
    if (!command.empty() && command[0] == L'"') {
        candidates.push_back(command.substr(1, command.find(L'"', 1) - 1));
    } else {
        for (size_t blank = command.find_first_of(L" \t");; blank = command.find_first_of(L" \t", blank + 1)) {
            candidates.push_back(command.substr(0, blank));
            if (blank == std::wstring::npos || blank >= static_cast<size_t>(kPathChars)) break;
        }
    }
    for (const std::wstring& candidate : candidates)
        if (FindProgram(candidate, verb.client)) {
            verb.clientExists = true;
            return;
        }
    verb.client = candidates.front();
    if (!IsBareName(verb.client)) verb.clientExists = false;
}

VerbState ReadVerb(const std::wstring& name, const std::wstring& commandKey)
{
    VerbState verb;
    verb.name = name;
    const ValueState command = ReadState(HKEY_LOCAL_MACHINE, commandKey, nullptr);
    verb.command = command.data;
    if (command.type == REG_SZ || command.type == REG_EXPAND_SZ) {
        FindClient(verb, Expanded(command));
    } else if (command.present) {
        verb.clientExists = false;  // data of another type is no command the shell runs
    }
    return verb;
}

void ReadClass(TypeState& type, const std::wstring& progId)
{
    const std::wstring key = ClassesKey(progId);
    type.classPresent = KeyExists(HKEY_LOCAL_MACHINE, key.c_str());
    if (!type.classPresent) return;
    QueryStringValue(HKEY_LOCAL_MACHINE, key.c_str(), nullptr, type.description);
    type.icon = ReadState(HKEY_LOCAL_MACHINE, key + L"\\DefaultIcon", nullptr);
    std::wstring iconPath;
    int iconId = 0;
    SplitIconLocation(Expanded(type.icon), iconPath, iconId);
    type.iconLocal = CheckLocalFile(iconPath) != LocalFile::Refused;  // no file call on any other: it may be a server's
    type.iconFileExists = type.iconLocal && FileExists(iconPath);
    type.iconLoads = type.iconFileExists && LoadIconOf(iconPath.c_str(), ResolveIconIndex(iconPath.c_str(), iconId));
    const std::wstring shell = key + L"\\shell";
    for (const std::wstring& verb : SubKeyNames(HKEY_LOCAL_MACHINE, shell.c_str()))
        type.verbs.push_back(ReadVerb(verb, shell + L"\\" + verb + L"\\command"));
}

// The program behind a class: the name Windows gives its application, else
// the class's own description.
std::wstring ProgramName(const std::wstring& progId)
{
    wchar_t name[kPathChars] = L"";
    DWORD length = kPathChars;
    if (SUCCEEDED(AssocQueryStringW(ASSOCF_NONE, ASSOCSTR_FRIENDLYAPPNAME, progId.c_str(), nullptr, name, &length)) && name[0])
        return name;
    std::wstring description;
    QueryStringValueToRead(HKEY_CLASSES_ROOT, progId.c_str(), nullptr, description);
    return description;
}

void ReadDoubleClick(TypeState& type, const std::wstring& progId)
{
    type.doubleClick = ResolveDoubleClick(type.extension);
    const std::wstring& opens = type.doubleClick.progId;
    type.opensPlayer = SameName(opens, progId);
    if (!type.opensPlayer && !opens.empty()) type.doubleClickName = ProgramName(opens);
}

// The verb a double-click runs, with a command: without it a double-click
// on the type does nothing.
bool HasOpenCommand(const TypeState& type)
{
    return std::any_of(type.verbs.begin(), type.verbs.end(),
                       [](const VerbState& v) { return SameName(v.name, L"Open") && !v.command.empty(); });
}

void Judge(TypeState& type, const std::wstring& progId)
{
    const ValueState& c64 = type.capability.view64;
    const ValueState& c32 = type.capability.view32;
    const bool declared = c64.present || c32.present;
    auto note = [&](Finding finding) { type.findings.push_back(finding); };
    if (declared && !type.capability.Agree()) note(Finding::CapabilityViewsDiffer);
    if (type.classPresent && !declared) note(Finding::ClassWithoutCapability);
    if (declared && !type.classPresent) note(Finding::CapabilityWithoutClass);
    for (const ValueState* c : {&c64, &c32}) {
        if (c->present && !(c->type == REG_SZ && SameName(c->data, progId))) {
            note(Finding::CapabilityNamesAnotherClass);
            break;
        }
    }
    if (type.backup.present && type.ownerKind != Owner::Player) note(Finding::StaleBackup);
    if (type.ownerKind == Owner::Player && !type.classPresent) note(Finding::OwnerClassMissing);
    if (type.classPresent && !HasOpenCommand(type)) note(Finding::NoOpenVerb);
    if (std::any_of(type.verbs.begin(), type.verbs.end(), [](const VerbState& v) { return v.clientExists == false; }))
        note(Finding::ClientMissing);
    if ((declared || type.classPresent) && WindowsRunsType(type.extension)) note(Finding::WindowsRunsType);

    if (!type.findings.empty()) {
        type.status = TypeStatus::Stale;
    } else if (declared && type.classPresent) {
        // From the one answer to "what opens it": the user chose a class
        // that is there and is not the player's.
        const bool otherChoice = !type.opensPlayer && type.doubleClick.byUserChoice;
        type.status = otherChoice ? TypeStatus::ChosenForOther : TypeStatus::Registered;
    }
}

TypeState ReadType(const std::wstring& extension, bool stored)
{
    TypeState type;
    type.extension = extension;
    type.stored = stored;
    const std::wstring progId = MakeProgId(extension);
    const std::wstring dotted = L"." + extension;
    type.capability = ReadBothViews(HKEY_LOCAL_MACHINE, kFileAssociationsKey, dotted.c_str());
    ReadClass(type, progId);
    type.owner = ReadState(HKEY_LOCAL_MACHINE, ClassesKey(dotted), nullptr);
    // Whose the key is by the tool's own rule: a value of one byte, or text
    // after a NUL, is another program's, given back as it is.
    const ValueHolder holder = HolderOf(HKEY_LOCAL_MACHINE, ClassesKey(dotted).c_str(), nullptr,
                                        [&](const std::wstring& owner) { return SameName(owner, progId); });
    type.ownerKind = holder == ValueHolder::Own ? Owner::Player : holder == ValueHolder::Other ? Owner::Other : Owner::None;
    type.backup = ReadState(HKEY_LOCAL_MACHINE, ClassesKey(dotted), kBackupValueName);
    ReadDoubleClick(type, progId);
    Judge(type, progId);
    return type;
}

// Every extension anyone could ask about, once each whatever its letter
// case (as the registry sees names), in the spelling met first.
class ExtensionSet {
public:
    void Add(std::wstring extension, bool stored = false)
    {
        if (!extension.empty() && extension[0] == L'.') extension.erase(0, 1);
        if (!IsUsableExtension(extension)) return;
        std::wstring key = extension;
        CharLowerBuffW(&key[0], static_cast<DWORD>(key.size()));
        auto found = byKey_.emplace(key, std::make_pair(extension, stored));
        if (!found.second) found.first->second.second |= stored;
    }
    // In order of the lower-case name.
    const std::map<std::wstring, std::pair<std::wstring, bool>>& All() const { return byKey_; }

private:
    std::map<std::wstring, std::pair<std::wstring, bool>> byKey_;
};

// The player's classes among the machine's: "Korvane <ext> File".
void AddPlayerClasses(ExtensionSet& extensions)
{
    const std::wstring prefix = std::wstring(kProductWord) + L" ";
    const std::wstring suffix = L" File";
    for (const std::wstring& name : SubKeyNames(HKEY_LOCAL_MACHINE, L"Software\\Classes")) {
        // An extension key that names the player's class, with or without
        // that class: a type of the player's, whatever else is left of it.
        if (name.size() > 1 && name[0] == L'.') {
            std::wstring owner;
            if (QueryStringValue(HKEY_LOCAL_MACHINE, ClassesKey(name).c_str(), nullptr, owner) && SameName(owner, MakeProgId(name.substr(1))))
                extensions.Add(name);
            continue;
        }
        if (name.size() <= prefix.size() + suffix.size()) continue;
        if (_wcsnicmp(name.c_str(), prefix.c_str(), prefix.size()) != 0) continue;
        if (!SameName(name.substr(name.size() - suffix.size()), suffix)) continue;
        extensions.Add(name.substr(prefix.size(), name.size() - prefix.size() - suffix.size()));
    }
}

SettingsFileState ReadReportSettings(const std::wstring& path, ExtensionSet& extensions)
{
    SettingsFileState settings;
    settings.path = path;
    const SettingsText text = path.empty() || !FitsPathBuffer(path.c_str()) ? SettingsText() : ReadSettingsFile(path);
    settings.found = text.state != SettingsState::Missing;
    settings.readable = text.state == SettingsState::Read;
    const StoredTypes stored = LoadStoredTypes(text);
    settings.hasTypeList = stored.listed;
    settings.storedTypes = stored.types.size();
    for (const FileTypeEntry& entry : stored.types) extensions.Add(entry.extension, true);
    FileTypeList registeredNow;
    DiscoverAssociatedTypes(registeredNow);
    settings.toDeploy = TypesToDeploy(stored, registeredNow, UnfinishedNames());
    for (const std::wstring& name : settings.toDeploy) extensions.Add(name);
    return settings;
}

HandlerState ReadHandler(const wchar_t* verbKey, const wchar_t* commandKey, bool backupMatters)
{
    HandlerState handler;
    handler.command = ReadState(HKEY_LOCAL_MACHINE, commandKey, nullptr);
    handler.ours = CommandRunsClient(commandKey);  // the rule the tool knows its own commands by
    handler.displayName = ReadState(HKEY_LOCAL_MACHINE, verbKey, nullptr);
    handler.backup = ReadState(HKEY_LOCAL_MACHINE, commandKey, kBackupValueName);
    if (handler.ours) {
        handler.verb = ReadVerb(L"", commandKey);
        if (handler.verb->clientExists == false) handler.findings.push_back(Finding::ClientMissing);
    }
    if (backupMatters && handler.backup.present && !handler.ours) handler.findings.push_back(Finding::StaleBackup);
    return handler;
}

void ReadDefaultPrograms(AssociationReport& report)
{
    const std::pair<const wchar_t*, const wchar_t*> values[] = {
        {kRegisteredApplicationsKey, kApplicationName},
        {kPlayerKey, L"LocalizedString"},
        {kCapabilitiesKey, L"ApplicationDescription"},
        {kCapabilitiesKey, L"ApplicationName"},
    };
    bool differ = false;
    for (const auto& v : values) {
        report.defaultPrograms.push_back({v.first, v.second, ReadBothViews(HKEY_LOCAL_MACHINE, v.first, v.second)});
        differ |= !report.defaultPrograms.back().value.Agree();
    }
    if (differ) report.defaultProgramsFindings.push_back(Finding::ValuesDifferBetweenViews);
    // Windows finds the player's types only through all four: the record
    // named in RegisteredApplications, and the names it shows.
    const bool anyRegistered = report.Count(TypeStatus::Registered) + report.Count(TypeStatus::ChosenForOther) > 0;
    const bool whole = std::all_of(report.defaultPrograms.begin(), report.defaultPrograms.end(), [](const NamedViewedValue& v) {
        return v.value.view64.present && v.value.view64.type == REG_SZ && !v.value.view64.data.empty();
    });
    if (anyRegistered && (!whole || !SameName(report.defaultPrograms.front().value.view64.data, kCapabilitiesKey)))
        report.defaultProgramsFindings.push_back(Finding::NotARegisteredApplication);
}

} // namespace

std::vector<std::wstring> NotInPlace(const AssociationReport& report)
{
    std::vector<std::wstring> missing;
    for (const std::wstring& name : report.settings.toDeploy) {
        const auto type = std::find_if(report.types.begin(), report.types.end(), [&](const TypeState& t) { return SameName(t.extension, name); });
        if (type == report.types.end() || (type->status != TypeStatus::Registered && type->status != TypeStatus::ChosenForOther))
            missing.push_back(L"." + name);
    }
    return missing;
}

bool AssociationReport::Consistent() const
{
    auto clean = [](const std::vector<Finding>& findings) { return findings.empty(); };
    return clean(runFindings) && clean(defaultProgramsFindings) && clean(audioCd.findings) && clean(folder.findings) &&
           std::all_of(types.begin(), types.end(), [&](const TypeState& t) { return clean(t.findings); });
}

size_t AssociationReport::OpeningWithPlayer() const
{
    return static_cast<size_t>(std::count_if(types.begin(), types.end(), [](const TypeState& t) { return t.opensPlayer; }));
}

size_t AssociationReport::Count(TypeStatus status) const
{
    return static_cast<size_t>(
        std::count_if(types.begin(), types.end(), [&](const TypeState& t) { return t.status == status; }));
}

AssociationReport ReadAssociationReport(const std::wstring& settingsFile)
{
    AssociationReport report;
    ExtensionSet extensions;
    for (REGSAM view : {KEY_WOW64_64KEY, KEY_WOW64_32KEY})
        for (const std::wstring& name : ValueNames(HKEY_LOCAL_MACHINE, kFileAssociationsKey, view)) extensions.Add(name);
    AddPlayerClasses(extensions);
    report.settings = ReadReportSettings(settingsFile, extensions);
    for (const auto& entry : extensions.All()) report.types.push_back(ReadType(entry.second.first, entry.second.second));
    report.audioCd = ReadHandler(kAudioCdVerbKey, kAudioCdCommandKey, true);
    report.folder = ReadHandler(kFolderVerbKey, kFolderCommandKey, false);
    ReadDefaultPrograms(report);
    report.unfinished = ReadState(HKEY_LOCAL_MACHINE, kPlayerKey, kUnfinishedValue);
    if (report.unfinished.present) report.runFindings.push_back(Finding::RunStopped);
    return report;
}
