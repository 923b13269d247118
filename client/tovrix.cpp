// Stand-in for the player's client executable. It shows no window: it
// appends its full command line as one UTF-8 line to Tovrix.log beside
// itself, and the folder it was started in to Tovrix.folder.log, and exits
// 0, so that a shell verb (or a program Windows starts) can be checked end
// to end.
#include <windows.h>

#include <string>

namespace {

std::wstring LogPathBesideSelf(const wchar_t* name)
{
    wchar_t path[4096];
    DWORD n = GetModuleFileNameW(nullptr, path, ARRAYSIZE(path));
    if (n == 0 || n >= ARRAYSIZE(path)) return L"";
    std::wstring log(path, n);
    size_t slash = log.find_last_of(L'\\');
    log.resize(slash == std::wstring::npos ? 0 : slash + 1);
    return log + name;
}

std::string ToUtf8(const std::wstring& text)
{
    if (text.empty()) return {};
    int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string out(n > 0 ? n : 0, '\0');
    if (n > 0) WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &out[0], n, nullptr, nullptr);
    return out;
}

void AppendLine(const wchar_t* logName, const std::wstring& text)
{
    const std::wstring logPath = LogPathBesideSelf(logName);
    if (logPath.empty()) return;
    HANDLE log = CreateFileW(logPath.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                             OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (log == INVALID_HANDLE_VALUE) return;
    std::string line = ToUtf8(text) + "\r\n";
    DWORD written = 0;
    WriteFile(log, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    CloseHandle(log);
}

} // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    wchar_t folder[4096] = L"";
    GetCurrentDirectoryW(ARRAYSIZE(folder), folder);
    AppendLine(L"Tovrix.folder.log", folder);
    AppendLine(L"Tovrix.log", GetCommandLineW());
    return 0;
}
