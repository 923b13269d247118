#include "files/paths.h"

#include <shlwapi.h>

#include <cwchar>

#include "app/context.h"
#include "registry/handles.h"

namespace {

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

bool IsDriveLetter(wchar_t c) { return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z'); }

// The names Windows takes for devices whatever folder and extension they
// come with: "C:\x\nul.ini" is the null device on every Windows before 11.
bool IsDeviceName(const std::wstring& fileName)
{
    std::wstring base = fileName.substr(0, fileName.find(L'.'));
    while (!base.empty() && (base.back() == L' ' || base.back() == L'.')) base.pop_back();
    for (const wchar_t* device : {L"CON", L"PRN", L"AUX", L"NUL", L"CONIN$", L"CONOUT$", L"CLOCK$"})
        if (_wcsicmp(base.c_str(), device) == 0) return true;
    if (base.size() != 4) return false;
    const bool port = _wcsnicmp(base.c_str(), L"COM", 3) == 0 || _wcsnicmp(base.c_str(), L"LPT", 3) == 0;
    const wchar_t n = base[3];
    return port && ((n >= L'0' && n <= L'9') || n == 0xB9 || n == 0xB2 || n == 0xB3);  // and the superscripts 1, 2, 3
}

// Whether a full path lies in the Windows folder: a settings file or log
// there would have the elevated tool write the system's own files.
bool InWindowsFolder(const std::wstring& path)
{
    wchar_t folder[MAX_PATH];
    const UINT length = GetSystemWindowsDirectoryW(folder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return true;  // unknown: nothing is taken on trust
    auto asFolder = [](std::wstring name) {
        name = LongPath(name);  // a short name of the folder is the folder too
        if (name.empty() || name.back() != L'\\') name += L'\\';
        return name;
    };
    const std::wstring windows = asFolder(std::wstring(folder, length));
    const std::wstring given = asFolder(path.substr(0, path.rfind(L'\\') + 1));
    return _wcsnicmp(given.c_str(), windows.c_str(), windows.size()) == 0;
}

} // namespace

bool IsLocalFixedPath(const std::wstring& path)
{
    if (path.size() < 3 || path[1] != L':' || (path[2] != L'\\' && path[2] != L'/') || !IsDriveLetter(path[0])) return false;
    const wchar_t root[] = {path[0], L':', L'\\', L'\0'};
    return GetDriveTypeW(root) == DRIVE_FIXED;
}

std::wstring FinalPath(HANDLE file)
{
    std::wstring path(kPathChars, L'\0');
    const DWORD length = GetFinalPathNameByHandleW(file, &path[0], kPathChars, FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    if (length == 0 || length >= static_cast<DWORD>(kPathChars)) return std::wstring();
    path.resize(length);
    if (path.rfind(L"\\\\?\\UNC\\", 0) == 0) return L"\\\\" + path.substr(8);
    if (path.rfind(L"\\\\?\\", 0) == 0) return path.substr(4);
    return path;
}

std::wstring LongPath(const std::wstring& path)
{
    wchar_t buffer[kPathChars];
    const DWORD length = GetLongPathNameW(path.c_str(), buffer, kPathChars);
    return length == 0 || length >= static_cast<DWORD>(kPathChars) ? path : std::wstring(buffer, length);
}

bool ReachedByItsPath(HANDLE file, const std::wstring& path)
{
    return _wcsicmp(FinalPath(file).c_str(), LongPath(path).c_str()) == 0;
}

namespace {

// Whether a folder on the way to a file is a link or junction. Checked one
// folder at a time from the drive's root, each by its own attributes (not
// its target's), so that no link is followed before it is seen: opening
// the file through a link to a share would already have the machine
// authenticate to it.
bool LinkOnTheWay(const std::wstring& given)
{
    // Made full first: "C:\missing\..\link\x.ico" is opened through the link.
    wchar_t buffer[kPathChars];
    const DWORD length = GetFullPathNameW(given.c_str(), kPathChars, buffer, nullptr);
    if (length == 0 || length >= static_cast<DWORD>(kPathChars)) return true;
    const std::wstring path(buffer, length);
    for (size_t slash = path.find_first_of(L"\\/", 3); slash != std::wstring::npos; slash = path.find_first_of(L"\\/", slash + 1)) {
        const DWORD attributes = GetFileAttributesW(path.substr(0, slash).c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES) return false;  // not there: the open says so
        if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) return true;
    }
    return false;
}

} // namespace

LocalFile CheckLocalFile(const std::wstring& path)
{
    if (!FitsPathBuffer(path.c_str()) || !IsLocalFixedPath(path) || LinkOnTheWay(path)) return LocalFile::Refused;
    UniqueFile file = FileHandle(CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES, kShareAll, nullptr, OPEN_EXISTING,
                                             FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!file) {
        const DWORD error = GetLastError();
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? LocalFile::Missing : LocalFile::Refused;
    }
    BY_HANDLE_FILE_INFORMATION info{};
    const bool local = GetFileInformationByHandle(file.get(), &info) &&
                       !(info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) &&
                       IsLocalFixedPath(FinalPath(file.get())) && ReachedByItsPath(file.get(), path);
    return local ? LocalFile::Local : LocalFile::Refused;
}

PathFault CheckOwnFilePath(const std::wstring& given, const wchar_t* extension, std::wstring& full)
{
    full.clear();
    if (given.empty()) return PathFault::Empty;
    if (given.size() >= static_cast<size_t>(kPathChars - 1)) return PathFault::TooLong;
    // Made full once, before any use: the profile functions would take a
    // bare name for one in the Windows folder, every other file call for
    // one in the current folder.
    wchar_t buffer[kPathChars];
    const DWORD length = GetFullPathNameW(given.c_str(), kPathChars, buffer, nullptr);
    if (length == 0 || length >= static_cast<DWORD>(kPathChars)) return PathFault::TooLong;
    const std::wstring path(buffer, length);
    if (path.size() < 3 || path[1] != L':' || path[2] != L'\\' || !IsDriveLetter(path[0])) return PathFault::NotLocal;
    if (path.find(L':', 2) != std::wstring::npos) return PathFault::Stream;
    if (IsDeviceName(PathFindFileNameW(path.c_str()))) return PathFault::Device;
    if (_wcsicmp(PathFindExtensionW(path.c_str()), extension) != 0) return PathFault::WrongExtension;
    if (!IsLocalFixedPath(path)) return PathFault::NotLocal;
    if (InWindowsFolder(path)) return PathFault::SystemFolder;
    full = path;
    return PathFault::None;
}
