#include "deploy/run_log.h"

#include <cwchar>
#include <vector>

#include "app/texts.h"
#include "command_line/command_line.h"
#include "files/writing.h"
#include "app/context.h"
#include "registry/player_keys.h"
#include "registry/primitives.h"

ReportEventFn g_reportEvent = ReportToEventLog;

namespace {

// The local time with its distance from UTC: "2026-12-07 21:30:05 +01:00".
std::wstring Now()
{
    SYSTEMTIME utc{}, local{};
    GetSystemTime(&utc);
    SystemTimeToTzSpecificLocalTime(nullptr, &utc, &local);
    FILETIME u{}, l{};
    SystemTimeToFileTime(&utc, &u);
    SystemTimeToFileTime(&local, &l);
    const LONGLONG minutes = ((static_cast<LONGLONG>(l.dwHighDateTime) << 32 | l.dwLowDateTime) -
                              (static_cast<LONGLONG>(u.dwHighDateTime) << 32 | u.dwLowDateTime)) / 600000000;
    wchar_t text[64];
    swprintf(text, 64, L"%04u-%02u-%02u %02u:%02u:%02u %c%02lld:%02lld", local.wYear, local.wMonth, local.wDay, local.wHour,
             local.wMinute, local.wSecond, minutes < 0 ? L'-' : L'+', (minutes < 0 ? -minutes : minutes) / 60,
             (minutes < 0 ? -minutes : minutes) % 60);
    return text;
}

std::vector<BYTE> Utf8(const std::wstring& text)
{
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::vector<BYTE> bytes(static_cast<size_t>(size > 0 ? size : 0));
    if (size > 0)
        WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), reinterpret_cast<char*>(bytes.data()), size,
                            nullptr, nullptr);
    return bytes;
}

} // namespace

RunLog::RunLog(const CommandLine& line) : logPath_(line.logPath)
{
    block_ = L"==== " + Now() + L"  Korvane Player file associations\r\n";
    Line(L"Command line: " + Visible(GetCommandLineW()));
}

void RunLog::Line(const std::wstring& text) { block_ += text + L"\r\n"; }

void RunLog::Finish(int exitCode, const std::wstring& meaning, const std::wstring& summary)
{
    Line(L"Exit code: " + std::to_wstring(exitCode) + L" (" + meaning + L")");
    CheckedFolder folder;
    // UTF-8 with its mark, which Notepad, PowerShell and log viewers take
    // for what it is.
    if (!logPath_.empty() && folder.Open(logPath_, L"the log file"))
        AppendToFile(folder, {0xEF, 0xBB, 0xBF}, Utf8(block_ + L"\r\n"));
    const std::wstring logged = logPath_.empty() ? L"no log file named" : L"log: " + logPath_;
    g_reportEvent(exitCode == 0 ? EVENTLOG_INFORMATION_TYPE : EVENTLOG_ERROR_TYPE, exitCode == 0 ? kEventRunSucceeded : kEventRunFailed,
                  summary + L" Exit code " + std::to_wstring(exitCode) + L" (" + meaning + L"); " + logged + L".");
}

namespace {

// The player's own event source, with this program as the file of its
// messages, so that Event Viewer shows the entries' text; registered (or
// pointed at this program where a reinstall moved it) as needed.
void RegisterPlayersEventSource()
{
    const std::wstring key = L"SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\" + std::wstring(kApplicationName);
    wchar_t self[kPathChars] = L"";
    const DWORD length = GetModuleFileNameW(nullptr, self, kPathChars);
    RegistryValue file;
    if (length == 0 || length >= static_cast<DWORD>(kPathChars) ||
        (ReadValue(HKEY_LOCAL_MACHINE, key.c_str(), L"EventMessageFile", file) && file.AsText() == self))
        return;
    RegKey source;
    if (OpenOrCreateKey(HKEY_LOCAL_MACHINE, key.c_str(), source) != ERROR_SUCCESS) return;
    const DWORD types = EVENTLOG_ERROR_TYPE | EVENTLOG_WARNING_TYPE | EVENTLOG_INFORMATION_TYPE;
    SetRegistryValue(source.get(), L"EventMessageFile", REG_EXPAND_SZ, self, (length + 1) * sizeof(wchar_t));
    SetRegistryValue(source.get(), L"TypesSupported", REG_DWORD, &types, sizeof(types));
}

} // namespace

bool ReportToEventLog(WORD type, DWORD id, const std::wstring& text)
{
    RegisterPlayersEventSource();
    HANDLE source = RegisterEventSourceW(nullptr, kApplicationName);
    if (!source) return false;
    const wchar_t* strings[] = {text.c_str()};
    const bool reported = ReportEventW(source, type, 0, id, nullptr, 1, 0, strings, nullptr) != FALSE;
    DeregisterEventSource(source);
    return reported;
}
