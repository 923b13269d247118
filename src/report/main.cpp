// Entry point of KorvaneAssocCheck.exe: a read-only report of the player's
// file associations, for users and support.
//
//     KorvaneAssocCheck.exe ["<settings file>"] [/json | /defaultassociations]
//
// Exit code: 0 everything the player registered is consistent, 1 something
// is stale or inconsistent, 2 a command line it does not understand. With
// /defaultassociations: 0 when the document lists at least one type, 1
// when it lists none.
#include <windows.h>

#include <algorithm>
#include <cwchar>
#include <string>
#include <vector>

#include "app/context.h"
#include "app/texts.h"
#include "app/startup.h"
#include "host/zeltrane.h"
#include "report/association_state.h"
#include "report/default_associations.h"
#include "report/report_output.h"
#include "resource.h"
#include "settings/settings_file.h"

namespace {

constexpr int kExitConsistent = 0;
constexpr int kExitInconsistent = 1;
constexpr int kExitUsage = 2;

struct Arguments {
    std::wstring settingsFile;
    bool json = false;
    bool defaultAssociations = false;
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
        } else if (_wcsicmp(token, L"/defaultassociations") == 0) {
            arguments.defaultAssociations = true;
        } else if (token[0] == L'/' || haveFile || wcslen(token) >= static_cast<size_t>(kPathChars - 1)) {
            arguments.understood = false;  // an unknown switch, a second file, or a path cut short
        } else {
            arguments.settingsFile = FullSettingsPath(token);  // bare: the one in the current folder, as the tool takes it
            haveFile = true;
        }
    }
    if (arguments.json && arguments.defaultAssociations) arguments.understood = false;  // one document at a time
    return arguments;
}

// A console takes UTF-16 in pieces: Windows 7 refuses one write of about
// 26,000 characters and more. Each write is checked and the rest goes on
// from where it stopped; a pair of surrogates is never split.
bool WriteToConsole(HANDLE out, const std::wstring& text)
{
    constexpr size_t kPieceChars = 8000;
    for (size_t at = 0; at < text.size();) {
        size_t length = std::min(kPieceChars, text.size() - at);
        if (at + length < text.size() && IS_HIGH_SURROGATE(text[at + length - 1])) --length;
        DWORD written = 0;
        if (!WriteConsoleW(out, text.data() + at, static_cast<DWORD>(length), &written, nullptr) || written == 0) return false;
        at += written;
    }
    return true;
}

bool WriteBytes(HANDLE out, const std::string& bytes)
{
    for (size_t at = 0; at < bytes.size();) {
        DWORD written = 0;
        if (!WriteFile(out, bytes.data() + at, static_cast<DWORD>(bytes.size() - at), &written, nullptr) || written == 0)
            return false;
        at += written;
    }
    return true;
}

// A file or pipe gets lines ending in CRLF, in the code page that cmd and
// PowerShell decode a program's output with: the console's output code
// page, or the OEM code page where there is no console.
bool WriteToFile(HANDLE out, const std::wstring& text)
{
    std::wstring lines;
    for (wchar_t c : text) {
        if (c == L'\n') lines += L'\r';
        lines += c;
    }
    const UINT codePage = GetConsoleOutputCP() ? GetConsoleOutputCP() : GetOEMCP();
    // No best fit: code page 437 would turn a note sign into a CR, say, and
    // forge a line; what the page lacks becomes "?".
    const DWORD exact = codePage == CP_UTF8 ? 0 : WC_NO_BEST_FIT_CHARS;
    const int size = WideCharToMultiByte(codePage, exact, lines.data(), static_cast<int>(lines.size()), nullptr, 0, nullptr, nullptr);
    if (size <= 0) return false;
    std::string bytes(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(codePage, exact, lines.data(), static_cast<int>(lines.size()), &bytes[0], size, nullptr, nullptr);
    return WriteBytes(out, bytes);
}

// Text for people goes to a file in the console's code page; a document
// for Windows (utf8) goes as the UTF-8 it declares itself to be, its lines
// ended as they are.
void Write(DWORD stream, const std::wstring& text, bool utf8 = false)
{
    HANDLE out = GetStdHandle(stream);
    if (!out || out == INVALID_HANDLE_VALUE || text.empty()) return;
    DWORD mode = 0;
    const bool written = GetConsoleMode(out, &mode) ? WriteToConsole(out, text)
                         : utf8                     ? WriteBytes(out, Utf8(text))
                                                    : WriteToFile(out, text);
    if (!written) OutputDebugStringW(L"Korvane: the report could not be written whole\n");
}

// The default associations file on standard output, the types left out of
// it named on standard error.
int WriteDefaultAssociations(const AssociationReport& report)
{
    std::vector<std::wstring> leftOut;
    const std::wstring xml = DefaultAssociationsXml(report, leftOut);
    Write(STD_OUTPUT_HANDLE, xml, true);
    std::wstring notes;
    for (const std::wstring& name : leftOut) notes += LoadModuleString(IDS_REPORT_LEFT_OUT, kShortTextChars) + L" " + Visible(name) + L"\n";
    Write(STD_ERROR_HANDLE, notes);
    return leftOut.size() < report.types.size() ? kExitConsistent : kExitInconsistent;
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
        Write(STD_ERROR_HANDLE, LoadModuleString(IDS_REPORT_USAGE, kShortTextChars) + L"\n");
        return kExitUsage;
    }
    const AssociationReport report = ReadAssociationReport(arguments.settingsFile);
    if (arguments.defaultAssociations) return WriteDefaultAssociations(report);
    if (arguments.json) {
        const std::string json = FormatReportJson(report);  // ASCII only
        Write(STD_OUTPUT_HANDLE, std::wstring(json.begin(), json.end()));
    } else {
        Write(STD_OUTPUT_HANDLE, FormatReportText(report));
    }
    return report.Consistent() ? kExitConsistent : kExitInconsistent;
}
