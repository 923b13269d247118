// Entry point of KorvaneAssocCheck.exe: a read-only report of the player's
// file associations, for users, support and administrators.
//
//     KorvaneAssocCheck.exe ["<settings file>"] [/json]
//     KorvaneAssocCheck.exe ["<settings file>"] /defaultassociations
//                           [/suggested] [/version N] [/base64] [/out "<file>"]
//     KorvaneAssocCheck.exe "<settings file>" /verify
//
// Exit code: 0 everything the player registered is consistent, 1 something
// is stale or inconsistent, 2 a command line it does not understand. With
// /defaultassociations: 0 when the document lists at least one type, 1
// when it lists none (/out then writes nothing). With /verify: 0 when
// every type "/Register /Silent" on the settings file would register is
// registered and no run was stopped half way, 1 otherwise.
#include <windows.h>

#include <algorithm>
#include <cwchar>
#include <string>
#include <vector>

#include "app/context.h"
#include "app/texts.h"
#include "app/startup.h"
#include "files/paths.h"
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
    bool verify = false;
    bool ownSettingsPath = false;  // one the tool itself would take
    PolicyAttributes attributes;
    bool base64 = false;
    std::wstring out;  // /out: the file the document goes to
    bool understood = true;
};

// A positive decimal number that fits 32 bits, or 0.
unsigned PositiveNumber(const wchar_t* text)
{
    unsigned long long number = 0;
    for (const wchar_t* c = text; *c; ++c) {
        if (*c < L'0' || *c > L'9' || (number = number * 10 + static_cast<unsigned>(*c - L'0')) > 0x7FFFFFFF) return 0;
    }
    return static_cast<unsigned>(number);
}

Arguments ParseArguments(const wchar_t* commandLine)
{
    Arguments arguments;
    bool haveFile = false;
    wchar_t token[kPathChars];
    // The word a switch takes after it, or null where none follows.
    auto next = [&](const wchar_t*& position) -> const wchar_t* {
        return position && (position = HostNextToken(position, token, kPathChars)) != nullptr ? token : nullptr;
    };
    const wchar_t* position = HostNextToken(commandLine, token, kPathChars);  // the program's own name
    while (next(position)) {
        const bool cut = wcslen(token) >= static_cast<size_t>(kPathChars - 1);  // a path cut short
        if (_wcsicmp(token, L"/json") == 0) {
            arguments.json = true;
        } else if (_wcsicmp(token, L"/defaultassociations") == 0) {
            arguments.defaultAssociations = true;
        } else if (_wcsicmp(token, L"/verify") == 0) {
            arguments.verify = true;
        } else if (_wcsicmp(token, L"/suggested") == 0) {
            arguments.attributes.suggested = true;
        } else if (_wcsicmp(token, L"/base64") == 0) {
            arguments.base64 = true;
        } else if (_wcsicmp(token, L"/version") == 0) {
            arguments.attributes.version = next(position) ? PositiveNumber(token) : 0;
            arguments.understood &= arguments.attributes.version != 0;
        } else if (_wcsicmp(token, L"/out") == 0) {
            arguments.understood &= arguments.out.empty();  // one file: a second one is a typing slip
            arguments.out = next(position) && wcslen(token) < static_cast<size_t>(kPathChars - 1) ? FullSettingsPath(token) : L"";
            arguments.understood &= !arguments.out.empty();
        } else if (token[0] == L'/' || haveFile || cut) {
            arguments.understood = false;  // an unknown switch, a second file, or a path cut short
        } else {
            arguments.settingsFile = FullSettingsPath(token);  // bare: the one in the current folder, as the tool takes it
            std::wstring checked;
            arguments.ownSettingsPath = CheckOwnFilePath(token, L".ini", checked) == PathFault::None;
            haveFile = true;
        }
    }
    // One document at a time; the document's options only with it; /verify
    // checks a settings file the tool itself would take (a bad command line
    // to the tool is one here too).
    const bool policyOptions = arguments.attributes.suggested || arguments.attributes.version || arguments.base64 || !arguments.out.empty();
    if (arguments.json + arguments.defaultAssociations + arguments.verify > 1 || (policyOptions && !arguments.defaultAssociations) ||
        (arguments.verify && !arguments.ownSettingsPath))
        arguments.understood = false;
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

// Text for people goes to a console as it is, to a file in the console's
// code page.
void Write(DWORD stream, const std::wstring& text)
{
    HANDLE out = GetStdHandle(stream);
    if (!out || out == INVALID_HANDLE_VALUE || text.empty()) return;
    DWORD mode = 0;
    const bool written = GetConsoleMode(out, &mode) ? WriteToConsole(out, text) : WriteToFile(out, text);
    if (!written) OutputDebugStringW(L"Korvane: the report could not be written whole\n");
}

// A document for Windows goes as the UTF-8 it declares itself to be, its
// lines ended as they are; a console shows its text.
void WriteDocument(const std::string& utf8)
{
    HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    if (!out || out == INVALID_HANDLE_VALUE || utf8.empty()) return;
    DWORD mode = 0;
    std::wstring text(utf8.size(), L'\0');
    text.resize(static_cast<size_t>(MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), &text[0], static_cast<int>(text.size()))));
    const bool written = GetConsoleMode(out, &mode) ? WriteToConsole(out, text) : WriteBytes(out, utf8);
    if (!written) OutputDebugStringW(L"Korvane: the report could not be written whole\n");
}

// Bytes as base64, as Intune's policy takes the document: one line.
std::string Base64(const std::string& bytes)
{
    static const char digits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string text;
    for (size_t at = 0; at < bytes.size(); at += 3) {
        const size_t left = bytes.size() - at;
        unsigned group = static_cast<unsigned char>(bytes[at]) << 16;
        if (left > 1) group |= static_cast<unsigned char>(bytes[at + 1]) << 8;
        if (left > 2) group |= static_cast<unsigned char>(bytes[at + 2]);
        for (int i = 0; i < 4; ++i) text += i <= static_cast<int>(left) ? digits[(group >> (18 - 6 * i)) & 63] : '=';
    }
    return text;
}

// The document into its own file, whole or not at all: written into a new
// file beside it, which then takes its name in one step.
bool WriteWholeFile(const std::wstring& path, const std::string& bytes)
{
    const std::wstring copy = path + L"." + std::to_wstring(GetCurrentProcessId()) + L".tmp";
    HANDLE file = CreateFileW(copy.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_WRITE_THROUGH, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    const bool written = WriteBytes(file, bytes) && FlushFileBuffers(file);
    CloseHandle(file);
    if (written && MoveFileExW(copy.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) return true;
    DeleteFileW(copy.c_str());
    return false;
}

// The default associations file on standard output or into its file, the
// types left out of it named on standard error. A document that lists no
// type is never written to a file: it would take a good one's place.
int WriteDefaultAssociations(const AssociationReport& report, const Arguments& arguments)
{
    std::vector<std::wstring> leftOut;
    const std::string xml = Utf8(DefaultAssociationsXml(report, leftOut, arguments.attributes));
    const std::string document = arguments.base64 ? Base64(xml) + "\r\n" : xml;
    std::wstring notes;
    for (const std::wstring& name : leftOut) notes += LoadModuleString(IDS_REPORT_LEFT_OUT, kShortTextChars) + L" " + Visible(name) + L"\n";
    const bool listsAny = leftOut.size() < report.types.size();
    if (!listsAny) notes += LoadModuleString(IDS_REPORT_NONE_LISTED, kShortTextChars) + L"\n";
    bool written = true;
    if (arguments.out.empty()) {
        WriteDocument(document);
    } else if (!listsAny || !WriteWholeFile(arguments.out, document)) {
        notes += LoadModuleString(IDS_REPORT_NOT_WRITTEN, kShortTextChars) + L" " + Visible(arguments.out) + L"\n";
        written = false;
    }
    Write(STD_ERROR_HANDLE, notes);
    return listsAny && written ? kExitConsistent : kExitInconsistent;
}

// Whether what "/Register /Silent" on the settings file registers is in
// place: each type it would register that is not, and a stopped run, named
// on standard error.
int Verify(const AssociationReport& report)
{
    std::wstring notes;
    // What the silent registration cannot read, it registers nothing from.
    if (!report.settings.readable)
        notes += LoadModuleString(report.settings.found ? IDS_REPORT_SETTINGS_UNREADABLE : IDS_REPORT_SETTINGS_MISSING, kShortTextChars) +
                 L": " + Visible(report.settings.path) + L"\n";
    for (const std::wstring& name : NotInPlace(report))
        notes += LoadModuleString(IDS_REPORT_NOT_IN_PLACE, kShortTextChars) + L" " + Visible(name) + L"\n";
    if (report.unfinished.present)
        notes += LoadModuleString(IDS_REPORT_RUN_STOPPED_VERIFY, kShortTextChars) + L" " + Visible(report.unfinished.data) + L"\n";
    Write(STD_ERROR_HANDLE, notes);
    return notes.empty() ? kExitConsistent : kExitInconsistent;
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
    if (arguments.defaultAssociations) return WriteDefaultAssociations(report, arguments);
    if (arguments.verify) return Verify(report);
    if (arguments.json) {
        const std::string json = FormatReportJson(report);  // ASCII only
        Write(STD_OUTPUT_HANDLE, std::wstring(json.begin(), json.end()));
    } else {
        Write(STD_OUTPUT_HANDLE, FormatReportText(report));
    }
    return report.Consistent() ? kExitConsistent : kExitInconsistent;
}
