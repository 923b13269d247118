#include "command_line/command_line.h"

#include <cwchar>

#include "app/context.h"
#include "files/paths.h"
#include "host/zeltrane.h"

namespace {

const wchar_t* FaultText(PathFault fault)
{
    switch (fault) {
    case PathFault::Empty: return L"is empty";
    case PathFault::TooLong: return L"is too long";
    case PathFault::NotLocal: return L"is not on a local fixed drive";
    case PathFault::Stream: return L"names a stream of a file";
    case PathFault::Device: return L"names a device";
    case PathFault::SystemFolder: return L"is in the Windows folder";
    default: return L"does not have the extension its kind of file has";
    }
}

// Takes a path for one of the tool's own files; false, the fault said, for
// one it must not use.
bool TakePath(const std::wstring& given, const wchar_t* extension, const wchar_t* what, std::wstring& path, CommandLine& line)
{
    const PathFault fault = CheckOwnFilePath(given, extension, path);
    if (fault == PathFault::None) return true;
    if (!line.Bad()) line.fault = std::wstring(L"the ") + what + L" " + FaultText(fault) + L": " + given;
    return false;
}

} // namespace

CommandLine ReadCommandLine(const wchar_t* commandLine)
{
    CommandLine line;
    wchar_t token[kPathChars];
    const wchar_t* position = HostNextToken(commandLine, token, kPathChars);  // the program's own name
    bool logFollows = false, logSeen = false;
    // The first fault is the one said; the words after it are still read,
    // so that a deployment's log is written to say it.
    auto fault = [&line](const std::wstring& why) {
        if (!line.Bad()) line.fault = why;
    };
    while (position && (position = HostNextToken(position, token, kPathChars)) != nullptr) {
        const std::wstring word = token;
        if (word.size() >= static_cast<size_t>(kPathChars - 1)) {
            fault(L"an argument is too long to be taken whole");  // it filled its buffer: cut short
        } else if (logFollows) {
            if (line.logPath.empty()) TakePath(word, L".log", L"log file", line.logPath, line);  // the first one says it
            logFollows = false;
        } else if (_wcsicmp(token, L"/Register") == 0) {
            line.registerRun = true;
        } else if (_wcsicmp(token, L"/Unregister") == 0) {
            line.unregisterRun = true;
        } else if (_wcsicmp(token, L"/Silent") == 0) {
            line.silent = true;
        } else if (_wcsicmp(token, L"/Log") == 0) {
            if (logSeen) fault(L"a second /Log");
            logFollows = logSeen = true;
        } else if (_wcsicmp(token, L"/TopMost") == 0) {
            // Accepted for the player's sake.
        } else if (token[0] == L'/' || token[0] == L'-') {
            fault(L"a switch the tool does not know: " + word);
        } else if (!line.settingsPath.empty()) {
            fault(L"a second settings file: " + word);
        } else {
            TakePath(word, L".ini", L"settings file", line.settingsPath, line);
        }
    }
    if (logFollows) fault(L"/Log without a log file");
    else if (!line.logPath.empty() && !line.silent) fault(L"/Log goes with /Silent only");
    return line;
}
