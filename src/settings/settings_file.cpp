#include "settings/settings_file.h"

#include <aclapi.h>
#include <objbase.h>
#include <shlwapi.h>

#include <cwchar>
#include <new>

#include "app/context.h"
#include "registry/handles.h"
#include "settings/ini_text.h"

MoveIntoPlaceFn g_moveIntoPlace = MoveIntoPlace;

namespace {

// The longest settings value read whole: far beyond any list of types a
// player keeps, and still a buffer that is always there to be had.
constexpr size_t kLargestSettingChars = 1u << 21;
// A settings file of this size or more is not rewritten.
constexpr LONGLONG kLargestSettingsFileBytes = 64ll << 20;
constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

bool LeftAlone(const wchar_t* why)
{
    OutputDebugStringW((std::wstring(L"Korvane: the settings file was left as it is: ") + why + L"\n").c_str());
    return false;
}

// The name the system resolves a handle to, as a full path: "\\?\C:\x"
// becomes "C:\x" and "\\?\UNC\server\x" becomes "\\server\x".
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

// True when the open file is the one its full path names, reached through
// no link on the way (a linked folder, a junction, another drive letter).
bool ReachedByItsPath(HANDLE file, const std::wstring& path)
{
    return _wcsicmp(FinalPath(file).c_str(), LongPath(path).c_str()) == 0;
}

// The file the tool may write: an ordinary file that is not read-only,
// with no other name (a hard link), reached by the path itself and not
// through a link on the way.
bool MayWrite(HANDLE file, const std::wstring& path, BY_HANDLE_FILE_INFORMATION& info)
{
    if (!GetFileInformationByHandle(file, &info)) return LeftAlone(L"its information could not be read");
    if (info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT))
        return LeftAlone(L"it is not an ordinary file");
    if (info.dwFileAttributes & FILE_ATTRIBUTE_READONLY) return LeftAlone(L"it is read-only");
    if (info.nNumberOfLinks != 1) return LeftAlone(L"it has another name too (a hard link)");
    if (!ReachedByItsPath(file, path)) return LeftAlone(L"its path leads elsewhere");
    return true;
}

enum class Opened { Yes, Missing, No };

// The settings file opened to be read and written, where the tool may
// write it.
Opened OpenToWrite(const std::wstring& path, UniqueFile& file, BY_HANDLE_FILE_INFORMATION& info)
{
    file = FileHandle(CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE | READ_CONTROL, kShareAll, nullptr,
                                  OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!file) {
        if (GetLastError() == ERROR_FILE_NOT_FOUND) return Opened::Missing;
        LeftAlone(L"it could not be opened to be written");
        return Opened::No;
    }
    if (MayWrite(file.get(), path, info)) return Opened::Yes;
    file.reset();
    return Opened::No;
}

bool ReadAll(HANDLE file, std::vector<BYTE>& bytes)
{
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file, &size) || size.QuadPart >= kLargestSettingsFileBytes) return false;
    try {
        bytes.resize(static_cast<size_t>(size.QuadPart));
    } catch (const std::bad_alloc&) {
        return false;
    }
    DWORD read = 0;
    return bytes.empty() || (ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr) && read == bytes.size());
}

bool WriteAll(HANDLE file, const std::vector<BYTE>& bytes)
{
    DWORD written = 0;
    return (bytes.empty() || (WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
                              written == bytes.size())) &&
           FlushFileBuffers(file);
}

// What the file is now: its bytes, and what its copy takes over from it.
struct Original {
    bool exists = false;
    std::vector<BYTE> bytes;
    BY_HANDLE_FILE_INFORMATION info{};
    UniqueLocal security;  // its DACL, as GetSecurityInfo gives it
    PACL dacl = nullptr;   // within security
};

bool ReadOriginal(const std::wstring& path, Original& original)
{
    UniqueFile file;
    const Opened opened = OpenToWrite(path, file, original.info);
    if (opened != Opened::Yes) return opened == Opened::Missing;
    original.exists = true;
    if (!ReadAll(file.get(), original.bytes)) return LeftAlone(L"it could not be read whole, or is too large");
    PSECURITY_DESCRIPTOR security = nullptr;
    if (GetSecurityInfo(file.get(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, &original.dacl, nullptr,
                        &security) == ERROR_SUCCESS)
        original.security.reset(security);
    return true;
}

// Marks the copy to be deleted when it is closed, or takes the mark away,
// through its own handle, never by its name.
bool MarkForDeletion(HANDLE copy, bool deleted)
{
    FILE_DISPOSITION_INFO dispose{deleted ? TRUE : FALSE};
    return SetFileInformationByHandle(copy, FileDispositionInfo, &dispose, sizeof(dispose)) != FALSE;
}

void DropCopy(UniqueFile& copy)
{
    MarkForDeletion(copy.get(), true);
    copy.reset();
}

// A file of a name no one can guess beside the settings file, made new:
// nothing anyone put there beforehand is ever opened. Made through a link
// (the folder swapped for a junction, a file that does not exist yet in a
// linked folder), it is deleted again, none is given and linked is set.
UniqueFile CreateCopy(const std::wstring& path, bool& linked)
{
    linked = false;
    GUID guid{};
    wchar_t name[40] = L"";
    if (FAILED(CoCreateGuid(&guid)) || !StringFromGUID2(guid, name, 40)) return UniqueFile();
    const std::wstring copyPath = path + L"." + name + L".tmp";
    UniqueFile copy = FileHandle(CreateFileW(copyPath.c_str(), GENERIC_WRITE | DELETE | WRITE_DAC | READ_CONTROL, 0, nullptr,
                                             CREATE_NEW, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (copy && !ReachedByItsPath(copy.get(), copyPath)) {
        DropCopy(copy);
        linked = true;
    }
    return copy;
}

// The copy takes over the file's security, attributes and time of making,
// as the file it replaces had them.
bool TakeOver(HANDLE copy, const Original& original)
{
    if (!original.exists) return true;
    if (!original.security) return false;
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD revision = 0;
    GetSecurityDescriptorControl(original.security.get(), &control, &revision);
    const SECURITY_INFORMATION which =
        DACL_SECURITY_INFORMATION | (control & SE_DACL_PROTECTED ? PROTECTED_DACL_SECURITY_INFORMATION
                                                                 : UNPROTECTED_DACL_SECURITY_INFORMATION);
    if (SetSecurityInfo(copy, SE_FILE_OBJECT, which, nullptr, nullptr, original.dacl, nullptr) != ERROR_SUCCESS) return false;
    FILE_BASIC_INFO basic{};
    basic.CreationTime.LowPart = original.info.ftCreationTime.dwLowDateTime;
    basic.CreationTime.HighPart = static_cast<LONG>(original.info.ftCreationTime.dwHighDateTime);
    basic.FileAttributes = original.info.dwFileAttributes ? original.info.dwFileAttributes : FILE_ATTRIBUTE_NORMAL;
    if (!SetFileInformationByHandle(copy, FileBasicInfo, &basic, sizeof(basic)))
        OutputDebugStringW(L"Korvane: the settings file's attributes were not carried over\n");
    return true;
}

bool RewriteInPlace(const std::wstring& path, const std::vector<BYTE>& bytes)
{
    BY_HANDLE_FILE_INFORMATION info{};
    UniqueFile file;
    if (OpenToWrite(path, file, info) != Opened::Yes) return false;
    LARGE_INTEGER start{};
    return SetFilePointerEx(file.get(), start, nullptr, FILE_BEGIN) && WriteAll(file.get(), bytes) && SetEndOfFile(file.get());
}

bool CreateInPlace(const std::wstring& path, const std::vector<BYTE>& bytes)
{
    UniqueFile file = FileHandle(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                             FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    return file && WriteAll(file.get(), bytes);
}

// Where the copy could not take the file's place: the file, if it is still
// there, is written again in place; if the failed move took it away, the
// copy (or, failing that, a new file) takes its name. Either way the
// settings end up whole under their own name.
bool Recover(const std::wstring& path, UniqueFile& copy, const std::vector<BYTE>& bytes)
{
    const DWORD error = GetLastError();
    wchar_t line[96];
    swprintf(line, 96, L"Korvane: the settings file could not be replaced (error %lu)\n", error);
    OutputDebugStringW(line);
    if (GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES) {
        DropCopy(copy);
        return RewriteInPlace(path, bytes) || LeftAlone(L"it could be neither replaced nor written in place");
    }
    if (g_moveIntoPlace(copy.get(), path, false)) return true;
    if (CreateInPlace(path, bytes)) {
        DropCopy(copy);
        return true;
    }
    // The copy is the only whole copy of the settings now: it stays.
    return LeftAlone(L"it is gone, and its settings are kept in the copy beside where it was");
}

bool Replace(const std::wstring& path, const Original& original, const std::vector<BYTE>& bytes)
{
    bool linked = false;
    UniqueFile copy = CreateCopy(path, linked);
    if (linked) return LeftAlone(L"its folder is reached through a link");
    if (!copy) return original.exists ? RewriteInPlace(path, bytes) || LeftAlone(L"no copy could be made beside it")
                                      : LeftAlone(L"it could not be made in its folder");
    // Until it takes the file's place the copy is marked for deletion: a
    // run stopped before then leaves nothing beside the file.
    MarkForDeletion(copy.get(), true);
    if (!TakeOver(copy.get(), original)) {
        DropCopy(copy);
        return RewriteInPlace(path, bytes) || LeftAlone(L"its security could not be carried over to a copy");
    }
    if (!WriteAll(copy.get(), bytes)) {
        DropCopy(copy);
        return LeftAlone(L"the copy could not be written");
    }
    if (!MarkForDeletion(copy.get(), false)) {
        DropCopy(copy);
        return RewriteInPlace(path, bytes) || LeftAlone(L"the copy could not be kept");
    }
    if (g_moveIntoPlace(copy.get(), path, original.exists)) return true;
    return Recover(path, copy, bytes);
}

bool WriteValues(const std::wstring& path, const std::vector<SettingValue>& values)
{
    if (path.empty() || PathIsRelativeW(path.c_str())) return LeftAlone(L"its path is not a full path");
    Original original;
    if (!ReadOriginal(path, original)) return false;
    TextForm form = TextForm::Ansi;
    std::wstring text;
    if (original.exists && !DecodeSettingsText(original.bytes, form, text))
        return LeftAlone(L"its bytes are in a form the profile functions do not read as text");
    IniText ini(text);
    for (const SettingValue& v : values)
        if (!ini.Set(v.section, v.key, v.value))
            OutputDebugStringW(L"Korvane: a settings value whose section or key name cannot be written was skipped\n");
    std::vector<BYTE> bytes;
    // A text the ANSI code page cannot hold turns the file into UTF-16 with
    // its mark, which the profile functions read and write as such.
    if (!ini.Encode(form, &original.bytes, bytes)) ini.Encode(TextForm::Utf16Le, nullptr, bytes);
    if (original.exists && bytes == original.bytes) return true;
    return Replace(path, original, bytes);
}

} // namespace

bool MoveIntoPlace(HANDLE copy, const std::wstring& path, bool replace)
{
    const size_t nameBytes = path.size() * sizeof(wchar_t);
    std::vector<BYTE> buffer(sizeof(FILE_RENAME_INFO) + nameBytes, 0);
    auto* rename = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
    rename->ReplaceIfExists = replace ? TRUE : FALSE;
    rename->FileNameLength = static_cast<DWORD>(nameBytes);
    wmemcpy(rename->FileName, path.data(), path.size());
    return SetFileInformationByHandle(copy, FileRenameInfo, rename, static_cast<DWORD>(buffer.size())) != FALSE;
}

std::wstring FullSettingsPath(const std::wstring& given)
{
    if (given.empty()) return std::wstring();
    wchar_t full[kPathChars];
    const DWORD length = GetFullPathNameW(given.c_str(), kPathChars, full, nullptr);
    return length == 0 || length >= static_cast<DWORD>(kPathChars) ? std::wstring() : std::wstring(full, length);
}

std::wstring ReadWholeSetting(const wchar_t* path, const wchar_t* section, const wchar_t* key, bool& complete)
{
    // The function says a value was cut by filling the buffer to its last
    // character but one.
    std::vector<wchar_t> buffer(2048);
    std::wstring text;
    for (;;) {
        const DWORD length = GetPrivateProfileStringW(section, key, L"", buffer.data(), static_cast<DWORD>(buffer.size()), path);
        text.assign(buffer.data(), length);
        complete = length + 1 < buffer.size();
        if (complete || buffer.size() >= kLargestSettingChars) return text;
        try {
            buffer.assign(buffer.size() * 4, L'\0');
        } catch (const std::bad_alloc&) {
            return text;  // what was read, cut short
        }
    }
}

bool WriteSettingValues(const std::wstring& path, const std::vector<SettingValue>& values)
{
    try {
        return WriteValues(path, values);
    } catch (const std::exception&) {
        return LeftAlone(L"there was no memory to rewrite it");  // a file of millions of lines, say
    }
}