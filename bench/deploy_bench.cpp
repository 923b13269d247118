// A deployment at sign-in, side by side with the tool administrators
// compare it with: the installed "KorvaneAssoc.exe /Register /Silent" with
// 1,000 stored types, and "regedit /s" importing exactly the keys and
// values that run wrote. Both are timed as whole processes, in turns from
// the same clean start; prints the medians and their ratio.
//   build/wine-run.sh build/bin/korvane_deploy_bench.exe <install folder> [types] [rounds]
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <fstream>
#include <string>
#include <vector>

#include "support.h"

namespace {

double RunTimed(const std::wstring& exe, const std::wstring& arguments, DWORD& exitCode)
{
    LARGE_INTEGER start, end, frequency;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    PROCESS_INFORMATION process = StartProcess(exe, arguments);
    exitCode = WaitExit(process);
    QueryPerformanceCounter(&end);
    return static_cast<double>(end.QuadPart - start.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

std::wstring Quoted(const std::wstring& text)
{
    std::wstring quoted = L"\"";
    for (wchar_t c : text) quoted += c == L'\\' || c == L'"' ? std::wstring(L"\\") + c : std::wstring(1, c);
    return quoted + L"\"";
}

// A key and everything below it, in the form regedit imports: REG_SZ
// values only, which is all the tool writes.
void Export(std::wstring& reg, const std::wstring& shown, HKEY root, const std::wstring& key, REGSAM view)
{
    TestKey k{root, key, KEY_READ | view};
    if (!k) return;
    reg += L"\r\n[" + shown + L"]\r\n";
    wchar_t name[16384];
    std::vector<BYTE> data(1 << 16);
    for (DWORD i = 0;; ++i) {
        DWORD nameLength = 16384, size = static_cast<DWORD>(data.size()), type = 0;
        if (RegEnumValueW(k.handle, i, name, &nameLength, nullptr, &type, data.data(), &size) != ERROR_SUCCESS) break;
        if (type != REG_SZ) continue;
        const std::wstring text(reinterpret_cast<const wchar_t*>(data.data()), wcsnlen(reinterpret_cast<const wchar_t*>(data.data()), size / 2));
        reg += (nameLength ? Quoted(name) : L"@") + L"=" + Quoted(text) + L"\r\n";
    }
    for (const std::wstring& sub : SubKeys(root, key, view)) Export(reg, shown + L"\\" + sub, root, key + L"\\" + sub, view);
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc < 2) {
        std::fwprintf(stderr, L"usage: korvane_deploy_bench <install folder> [types] [rounds]\n");
        return 2;
    }
    const std::wstring tool = std::wstring(argv[1]) + L"\\KorvaneAssoc.exe";
    const int types = argc > 2 ? _wtoi(argv[2]) : 1000, rounds = argc > 3 ? _wtoi(argv[3]) : 5;
    std::vector<std::wstring> names;
    for (int i = 0; i < types; ++i) names.push_back(L"kd" + std::to_wstring(10000 + i).substr(1));
    PreservedKeys keys;  // the machine's own keys of the player, back afterwards
    keys.AddPlayersKeys(names);
    TempFolder folder;
    const std::wstring settings = folder.File(L"Korvane.ini"), regFile = folder.File(L"keys.reg");
    std::wstring list, sections;
    for (const std::wstring& name : names) {
        list += name + L";";
        sections += L"[" + name + L"]\r\nDescription=Deployed " + name + L"\r\nIconId=-101\r\n";
    }
    WriteTextFile(settings, L"[RegisterdExtensions]\r\nExtensions=" + list + L"\r\n" + sections);
    const std::wstring settingsArgument = L"\"" + settings + L"\"";
    wchar_t windows[MAX_PATH];
    GetWindowsDirectoryW(windows, MAX_PATH);
    const std::wstring regedit = std::wstring(windows) + L"\\regedit.exe";

    std::vector<double> silent, imported;
    DWORD code = 0;
    for (int round = 0; round < rounds; ++round) {
        RunTimed(tool, L"/Unregister " + settingsArgument, code);
        silent.push_back(RunTimed(tool, L"/Register /Silent " + settingsArgument, code));
        if (code != 0) std::fwprintf(stderr, L"/Register /Silent ended with %lu\n", code);
        if (round == 0) {  // what it wrote, as regedit takes it
            std::wstring reg = L"\xFEFFWindows Registry Editor Version 5.00\r\n";
            for (const std::wstring& name : names)
                Export(reg, L"HKEY_LOCAL_MACHINE\\Software\\Classes\\" + ProgId(name), HKEY_CLASSES_ROOT, ProgId(name), 0);
            Export(reg, L"HKEY_LOCAL_MACHINE\\Software\\Ostrafen", HKEY_LOCAL_MACHINE, L"Software\\Ostrafen", KEY_WOW64_64KEY);
            Export(reg, L"HKEY_LOCAL_MACHINE\\Software\\Wow6432Node\\Ostrafen", HKEY_LOCAL_MACHINE, L"Software\\Ostrafen", KEY_WOW64_32KEY);
            Export(reg, L"HKEY_LOCAL_MACHINE\\Software\\RegisteredApplications", HKEY_LOCAL_MACHINE,
                   L"Software\\RegisteredApplications", KEY_WOW64_64KEY);
            std::ofstream out(std::filesystem::path(regFile), std::ios::binary);
            out.write(reinterpret_cast<const char*>(reg.data()), static_cast<std::streamsize>(reg.size() * sizeof(wchar_t)));
        }
        RunTimed(tool, L"/Unregister " + settingsArgument, code);
        imported.push_back(RunTimed(regedit, L"/s \"" + regFile + L"\"", code));
    }
    RunTimed(tool, L"/Unregister " + settingsArgument, code);
    const double tool_ms = Median(silent), regedit_ms = Median(imported);
    std::wprintf(L"%d types, median of %d rounds, whole processes\n", types, rounds);
    std::wprintf(L"  KorvaneAssoc.exe /Register /Silent  %8.0f ms\n", tool_ms);
    std::wprintf(L"  regedit /s (the same keys)          %8.0f ms\n", regedit_ms);
    std::wprintf(L"  ratio tool / regedit                %8.2f\n", tool_ms / regedit_ms);
    return 0;
}
