#include "deploy/silent_registration.h"

#include <windows.h>

#include <algorithm>
#include <cwchar>
#include <vector>

#include "app/context.h"
#include "app/texts.h"
#include "associate/registration.h"
#include "associate/verbs.h"
#include "catalogue/discovery.h"
#include "command_line/command_line.h"
#include "deploy/run_log.h"
#include "settings/preferences.h"
#include "settings/settings_file.h"
#include "settings/type_store.h"

namespace {

const wchar_t* Meaning(int exitCode)
{
    switch (exitCode) {
    case kSilentDone: return L"every type the run was to register is registered";
    case kSilentNoSettings: return L"the settings file is not there or cannot be read";
    case kSilentAccessDenied: return L"the registry refused a write for lack of rights";
    case kSilentBadCommandLine: return L"a bad command line";
    default: return L"a type the run was to register is not registered";
    }
}

const wchar_t* FaultText(ExtensionFault fault)
{
    switch (fault) {
    case ExtensionFault::TooLong: return L"its name is too long for a registry key";
    case ExtensionFault::BadCharacter: return L"its name holds a backslash, a NUL or a semicolon";
    case ExtensionFault::OnlyDots: return L"its name is nothing but dots";
    default: return L"Windows runs files of this type";
    }
}

// The system's words for an error, on one line.
std::wstring ErrorText(LSTATUS error)
{
    wchar_t* text = nullptr;
    const DWORD flags = FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS;
    std::wstring words = L"error " + std::to_wstring(error);
    if (FormatMessageW(flags, nullptr, static_cast<DWORD>(error), 0, reinterpret_cast<LPWSTR>(&text), 0, nullptr) && text) {
        std::wstring message = text;
        while (!message.empty() && (message.back() == L'\n' || message.back() == L'\r' || message.back() == L' ')) message.pop_back();
        words += L": " + message;
    }
    if (text) LocalFree(text);
    return words;
}

bool Listed(const std::vector<std::wstring>& names, const std::wstring& name)
{
    return std::any_of(names.begin(), names.end(), [&](const std::wstring& n) { return SameName(n, name); });
}

// The registration itself, once the command line is good; counts say what
// became of the types for the event log.
int Register(const CommandLine& line, RunLog& log, std::wstring& summary)
{
    const SettingsText settings = ReadSettingsFile(line.settingsPath);
    const wchar_t* found = settings.state == SettingsState::Read ? L"found" : settings.state == SettingsState::Missing ? L"missing" : L"cannot be read";
    log.Line(L"Settings file: " + line.settingsPath + L" (" + found + L")");
    summary = L"Korvane Player file associations from " + line.settingsPath + L":";
    if (settings.state != SettingsState::Read) return kSilentNoSettings;

    ReadSettings(settings);
    LoadVerbDisplayNames();
    const StoredTypes stored = LoadStoredTypes(settings);
    for (const FileTypeEntry& entry : stored.types) log.Line(L"Listed: ." + Visible(entry.extension) + L" \"" + Visible(entry.description) + L"\"");
    for (const SkippedType& skipped : stored.skipped) log.Line(L"Skipped: ." + Visible(skipped.name) + L" (" + FaultText(skipped.fault) + L")");
    log.Line(stored.choiceKept ? L"Registered: the types the last confirmed dialog run left ticked, and those registered now"
                               : L"Registered: every listed type (no dialog run has written this file), and those registered now");
    const FileTypeList current = BuildCatalogue(stored);
    const std::vector<std::wstring> wanted = TypesToDeploy(stored, current, UnfinishedNames());
    for (FileTypeEntry& entry : g_fileTypes)  // the ticks say it, whatever the registry showed
        entry.flags = Listed(wanted, entry.extension) ? entry.flags | FT_ASSOCIATED : entry.flags & ~FT_ASSOCIATED;
    for (const std::wstring& name : stored.ticked)
        if (!Listed(wanted, name)) log.Line(L"Skipped: ." + Visible(name) + L" (ticked, but described nowhere: not listed, not built in)");
    associationContext.openCommand = OpenCommandForExecMethod(associationContext.execMethod);

    int exitCode = kSilentDone;
    size_t written = 0, failed = 0;
    for (const WriteOutcome& outcome : ApplyRegistration(current)) {
        if (outcome.error == ERROR_SUCCESS) {
            ++written;
            log.Line(L"Written: " + Visible(outcome.name));
            continue;
        }
        ++failed;
        log.Line(L"Failed: " + Visible(outcome.name) + L" (" + ErrorText(outcome.error) + L")");
        if (outcome.error == ERROR_ACCESS_DENIED && exitCode != kSilentFailed) exitCode = kSilentAccessDenied;
        else if (outcome.error != ERROR_ACCESS_DENIED) exitCode = kSilentFailed;
    }
    summary += L" " + std::to_wstring(written) + L" written, " + std::to_wstring(failed) + L" failed, " +
               std::to_wstring(stored.skipped.size()) + L" skipped.";
    return exitCode;
}

} // namespace

int RunSilentRegistration(const CommandLine& line)
{
    RunLog log(line);
    std::wstring summary = L"Korvane Player file associations:";
    int exitCode = kSilentBadCommandLine;
    if (line.Bad()) {
        log.Line(L"Bad command line: " + Visible(line.fault));
    } else if (!line.registerRun || line.unregisterRun || line.settingsPath.empty()) {
        log.Line(L"Bad command line: /Silent goes with /Register and a settings file, and without /Unregister");
    } else {
        exitCode = Register(line, log, summary);
    }
    log.Finish(exitCode, Meaning(exitCode), summary);
    return exitCode;
}
