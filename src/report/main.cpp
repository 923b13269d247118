// Entry point of KorvaneAssocCheck.exe: a read-only report of the player's
// file associations, for users and support.
//
//     KorvaneAssocCheck.exe ["<settings file>"] [/json]
//
// Exit code: 0 everything the player registered is consistent, 1 something
// is stale or inconsistent, 2 a command line it does not understand.
#include <windows.h>

#include <cwchar>
#include <string>

#include "app/context.h"
#include "app/settings.h"
#include "app/startup.h"
#include "host/zeltrane.h"
#include "report/association_state.h"
#include "report/report_output.h"
#include "resource.h"

namespace {

constexpr int kExitConsistent = 0;
constexpr int kExitInconsistent = 1;
constexpr int kExitUsage = 2;

struct Arguments {
    std::wstring settingsFile;
    bool json = false;
    bool understood = true;
};

Arguments ParseArguments(const wchar_t* commandLine)
{
    Arguments arguments;
    bool haveFile = false;
    wchar_t token[kPathChars];
    const wchar_t* position = HostNextToken(commandLine, token, kPathChars);  // the program's own name
    while (position && (position = HostNextToken(position, token, kPathChars)) != nullptr) {
        if (_wcsicmp(token, L"/json") == 0) {
            arguments.json = true;
        } else if (token[0] == L'/' || haveFile || wcslen(token) >= static_cast<size_t>(kPathChars - 1)) {
            arguments.understood = false;  // an unknown switch, a second file, or a path cut short
        } else {
            arguments.settingsFile = token;
            haveFile = true;
        }
    }
    return arguments;
}

// To a console as text; to a file or pipe as UTF-8.
void Write(DWORD stream, const std::string& utf8)
{
    HANDLE out = GetStdHandle(stream);
    if (!out || out == INVALID_HANDLE_VALUE || utf8.empty()) return;
    DWORD mode = 0;
    if (GetConsoleMode(out, &mode)) {
        const int length = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
        std::wstring text(static_cast<size_t>(length > 0 ? length : 0), L'\0');
        MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), &text[0], length);
        DWORD written = 0;
        WriteConsoleW(out, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
        return;
    }
    DWORD written = 0;
    WriteFile(out, utf8.data(), static_cast<DWORD>(utf8.size()), &written, nullptr);
}

} // namespace

int wmain()
{
    RestrictDllSearch();
    // Nothing is ever written: every key is opened for reading only, so the
    // report runs as any user.
    registryAccessRights = KEY_READ;
    registryViewFlag = DetectRegistryView();
    InitializePaths(GetModuleHandleW(nullptr));

    const Arguments arguments = ParseArguments(GetCommandLineW());
    if (!arguments.understood) {
        Write(STD_ERROR_HANDLE, Utf8(LoadModuleString(IDS_REPORT_USAGE, kShortTextChars) + L"\n"));
        return kExitUsage;
    }
    const AssociationReport report = ReadAssociationReport(arguments.settingsFile);
    Write(STD_OUTPUT_HANDLE, arguments.json ? FormatReportJson(report) : Utf8(FormatReportText(report)));
    return report.Consistent() ? kExitConsistent : kExitInconsistent;
}
