// Shows a real "/Register" run without anyone at the keyboard: starts the
// installed tool, answers its dialogs as a user would (ticks MP3, WAVE and
// FLAC and the audio-CD box, looks at the edit dialog and the icon picker on
// the way) and saves a picture of every dialog.
//   korvane_demo.exe <KorvaneAssoc.exe> <settings file> <folder for pictures> <report file>
#include <windows.h>

#include <cstdio>
#include <string>

#include "dialog_driver.h"

int wmain(int argc, wchar_t** argv)
{
    if (argc != 5) {
        std::fwprintf(stderr, L"usage: korvane_demo <KorvaneAssoc.exe> <settings> <picture folder> <report>\n");
        return 2;
    }
    const std::wstring tool = argv[1];
    std::wstring commandLine = L"\"" + tool + L"\" /Register /TopMost \"" + argv[2] + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(tool.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &process))
        return 3;
    RegistrationScript script;
    script.tick = {L"mp", L"wa", L"fl"};
    script.audioCd = true;
    script.screenshots = argv[3];
    const bool driven = DriveRegistration(process.dwProcessId, script);
    DWORD exitCode = 0xdeadbeef;
    if (WaitForSingleObject(process.hProcess, 60000) == WAIT_OBJECT_0) GetExitCodeProcess(process.hProcess, &exitCode);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);

    if (FILE* report = _wfopen(argv[4], L"w")) {
        std::fprintf(report, "dialogs answered: %s\nexit code of KorvaneAssoc.exe /Register: %d\n",
                     driven ? "yes" : "no (a dialog did not appear)", static_cast<int>(exitCode));
        std::fclose(report);
    }
    return driven ? 0 : 1;
}
