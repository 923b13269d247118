// What a silent registration tells the administrator who deployed it: a
// deployment tool keeps no output of the command it runs, so the run
// appends a block of lines to the log file its command line names, and
// leaves one entry in the Application event log (source "Korvane Player"),
// which organisations collect centrally.
#ifndef KORVANE_DEPLOY_RUN_LOG_H
#define KORVANE_DEPLOY_RUN_LOG_H

#include <windows.h>

#include <string>

struct CommandLine;

// Event ids of the tool's message table: the run reached its goal, or not.
constexpr DWORD kEventRunSucceeded = 1000;
constexpr DWORD kEventRunFailed = 1001;

class RunLog {
public:
    // Starts the block: the time, the command line.
    explicit RunLog(const CommandLine& line);

    // One line of the block. Text a user wrote (a description, a name) is
    // passed through Visible first, so that it never makes lines of its own.
    void Line(const std::wstring& text);

    // Ends the block with the exit code and what it means, appends it to the
    // log file where one was named (written as the settings file is: a
    // ".log" file on a local fixed drive, an ordinary file with one name,
    // never through a link), and reports summary to the event log.
    void Finish(int exitCode, const std::wstring& meaning, const std::wstring& summary);

private:
    std::wstring block_;
    std::wstring logPath_;
};

// Writes one entry to the Application event log; a test may put another
// in its place.
using ReportEventFn = bool (*)(WORD type, DWORD id, const std::wstring& text);
bool ReportToEventLog(WORD type, DWORD id, const std::wstring& text);
extern ReportEventFn g_reportEvent;

#endif
