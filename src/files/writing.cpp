#include "files/writing.h"

#include <winternl.h>
#include <objbase.h>

#include <new>

#include "files/paths.h"

FileCalls g_fileCalls = kSystemFileCalls;

extern "C" NTSTATUS NTAPI NtSetInformationFile(HANDLE, PIO_STATUS_BLOCK, PVOID, ULONG, FILE_INFORMATION_CLASS);

namespace {

constexpr ULONG kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
constexpr LONGLONG kLargestFileBytes = 64ll << 20;  // a file of this size or more is not the tool's to rewrite
constexpr auto kFileRenameInformation = static_cast<FILE_INFORMATION_CLASS>(10);
constexpr NTSTATUS kNameNotFound = static_cast<NTSTATUS>(0xC0000034);  // STATUS_OBJECT_NAME_NOT_FOUND

struct RenameInformation {
    BOOLEAN replaceIfExists;
    HANDLE rootDirectory;
    ULONG fileNameLength;
    WCHAR fileName[1];
};

bool Fail(NTSTATUS status)
{
    SetLastError(RtlNtStatusToDosError(status));
    return false;
}

// The user this process runs as, the owner of a file it makes: BUILTIN\
// Administrators would be the default for an elevated process, and the
// user's own unelevated programs could then no longer write the file.
std::vector<BYTE> TokenUser()
{
    std::vector<BYTE> user;
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return user;
    DWORD size = 0;
    GetTokenInformation(token, ::TokenUser, nullptr, 0, &size);
    user.resize(size);
    if (size == 0 || !GetTokenInformation(token, ::TokenUser, user.data(), size, &size)) user.clear();
    CloseHandle(token);
    return user;
}

// SeRestorePrivilege enabled while it lives, where the token holds it (an
// administrator's does): only with it may a file be given an owner other
// than the one setting it.
class RestorePrivilege {
public:
    RestorePrivilege()
    {
        if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token_)) return;
        TOKEN_PRIVILEGES wanted{1, {{{0, 0}, SE_PRIVILEGE_ENABLED}}};
        DWORD size = sizeof(previous_);
        if (LookupPrivilegeValueW(nullptr, SE_RESTORE_NAME, &wanted.Privileges[0].Luid))
            adjusted_ = AdjustTokenPrivileges(token_, FALSE, &wanted, sizeof(previous_), &previous_, &size) &&
                        GetLastError() == ERROR_SUCCESS;
    }
    ~RestorePrivilege()
    {
        if (adjusted_) AdjustTokenPrivileges(token_, FALSE, &previous_, 0, nullptr, nullptr);
        if (token_) CloseHandle(token_);
    }
    RestorePrivilege(const RestorePrivilege&) = delete;
    RestorePrivilege& operator=(const RestorePrivilege&) = delete;

private:
    HANDLE token_ = nullptr;
    TOKEN_PRIVILEGES previous_{};
    bool adjusted_ = false;
};

// What the tool may write: an ordinary file that is not read-only, with no
// other name (a hard link), reached by its own path.
bool MayWrite(const CheckedFolder& folder, HANDLE file, BY_HANDLE_FILE_INFORMATION& info)
{
    if (!GetFileInformationByHandle(file, &info)) return folder.LeftAlone(L"its information could not be read");
    if (info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT))
        return folder.LeftAlone(L"it is not an ordinary file");
    if (info.dwFileAttributes & FILE_ATTRIBUTE_READONLY) return folder.LeftAlone(L"it is read-only");
    if (info.nNumberOfLinks != 1) return folder.LeftAlone(L"it has another name too (a hard link)");
    if (!ReachedByItsPath(file, folder.Path())) return folder.LeftAlone(L"its path leads elsewhere");
    return true;
}

bool ReadAll(HANDLE file, std::vector<BYTE>& bytes)
{
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file, &size) || size.QuadPart >= kLargestFileBytes) return false;
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

// A file of a name no one can guess beside the file, made new: nothing
// anyone put there beforehand is ever opened.
UniqueFile CreateCopy(const CheckedFolder& folder, const ExistingFile& existing)
{
    GUID guid{};
    wchar_t name[40] = L"";
    if (FAILED(CoCreateGuid(&guid)) || !StringFromGUID2(guid, name, 40)) return UniqueFile();
    std::vector<BYTE> user = existing.exists ? std::vector<BYTE>() : TokenUser();
    PSID owner = user.empty() ? nullptr : reinterpret_cast<TOKEN_USER*>(user.data())->User.Sid;
    LONG status = 0;
    return folder.OpenFile(folder.Name() + L"." + name + L".tmp", GENERIC_WRITE | DELETE | WRITE_DAC | WRITE_OWNER | READ_CONTROL, 0,
                           FILE_CREATE, status, nullptr, owner);
}

// The copy takes over the file's owner and DACL as they are, the inherited
// entries and the explicit ones alike (the entries a user holds as the
// file's creator stay theirs), and its attributes and time of making.
bool TakeOver(HANDLE copy, const ExistingFile& existing)
{
    if (!existing.exists) return true;
    if (existing.security.empty()) return false;
    {
        RestorePrivilege restore;
        auto* security = const_cast<BYTE*>(existing.security.data());
        if (!g_fileCalls.setSecurity(copy, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, security)) return false;
    }
    FILE_BASIC_INFO basic{};
    basic.CreationTime.LowPart = existing.info.ftCreationTime.dwLowDateTime;
    basic.CreationTime.HighPart = static_cast<LONG>(existing.info.ftCreationTime.dwHighDateTime);
    basic.FileAttributes = existing.info.dwFileAttributes ? existing.info.dwFileAttributes : FILE_ATTRIBUTE_NORMAL;
    if (!SetFileInformationByHandle(copy, FileBasicInfo, &basic, sizeof(basic)))
        OutputDebugStringW(L"Korvane: a file's attributes were not carried over to its copy\n");
    return true;
}

bool RewriteInPlace(const CheckedFolder& folder, const std::vector<BYTE>& bytes)
{
    LONG status = 0;
    UniqueFile file = folder.OpenFile(folder.Name(), GENERIC_READ | GENERIC_WRITE, kShareAll, FILE_OPEN, status);
    BY_HANDLE_FILE_INFORMATION info{};
    if (!file || !MayWrite(folder, file.get(), info)) return false;
    LARGE_INTEGER start{};
    return SetFilePointerEx(file.get(), start, nullptr, FILE_BEGIN) && WriteAll(file.get(), bytes) && SetEndOfFile(file.get());
}

bool CreateInPlace(const CheckedFolder& folder, const std::vector<BYTE>& bytes)
{
    LONG status = 0;
    UniqueFile file = folder.OpenFile(folder.Name(), GENERIC_WRITE, 0, FILE_CREATE, status);
    return file && WriteAll(file.get(), bytes);
}

// Where the copy could not take the file's place: the file, if it is still
// there, is written again in place; if the failed move took it away, the
// copy (or, failing that, a new file) takes its name. Either way the
// content ends up whole under the file's own name.
bool Recover(const CheckedFolder& folder, UniqueFile& copy, const std::vector<BYTE>& bytes)
{
    wchar_t line[96];
    swprintf(line, 96, L"Korvane: a file could not be replaced (error %lu)\n", GetLastError());
    OutputDebugStringW(line);
    LONG status = 0;
    if (folder.OpenFile(folder.Name(), FILE_READ_ATTRIBUTES, kShareAll, FILE_OPEN, status)) {
        DropCopy(copy);
        return RewriteInPlace(folder, bytes) || folder.LeftAlone(L"it could be neither replaced nor written in place");
    }
    if (g_fileCalls.moveIntoPlace(copy.get(), folder.Handle(), folder.Name(), false)) return true;
    if (CreateInPlace(folder, bytes)) {
        DropCopy(copy);
        return true;
    }
    // The copy is the only whole copy now: it stays.
    return folder.LeftAlone(L"it is gone, and its content is kept in the copy beside where it was");
}

} // namespace

bool CheckedFolder::Open(const std::wstring& path, const wchar_t* what)
{
    what_ = what;
    path_ = path;
    const size_t slash = path.find_last_of(L'\\');
    if (slash == std::wstring::npos || slash + 1 == path.size()) return LeftAlone(L"its path is not a full path");
    name_ = path.substr(slash + 1);
    const std::wstring folder = path.substr(0, slash == 2 ? 3 : slash);  // "C:\" keeps its backslash
    // Without FILE_SHARE_DELETE: while it is held, nobody can rename the
    // folder or put a link in its place.
    folder_ = FileHandle(CreateFileW(folder.c_str(), FILE_LIST_DIRECTORY | FILE_ADD_FILE | FILE_TRAVERSE | FILE_READ_ATTRIBUTES | SYNCHRONIZE,
                                     FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                     FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    BY_HANDLE_FILE_INFORMATION info{};
    const bool folderItself = folder_ && GetFileInformationByHandle(folder_.get(), &info) &&
                              (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
                              !(info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) && ReachedByItsPath(folder_.get(), folder);
    if (folderItself) return true;
    folder_.reset();
    return LeftAlone(L"its folder is missing or reached through a link");
}

UniqueFile CheckedFolder::OpenFile(const std::wstring& name, ACCESS_MASK access, ULONG share, ULONG disposition, LONG& status,
                                   ULONG_PTR* information, PSID owner) const
{
    SECURITY_DESCRIPTOR security;
    const bool owned = owner && InitializeSecurityDescriptor(&security, SECURITY_DESCRIPTOR_REVISION) &&
                       SetSecurityDescriptorOwner(&security, owner, FALSE);
    UNICODE_STRING text{static_cast<USHORT>(name.size() * sizeof(wchar_t)), static_cast<USHORT>(name.size() * sizeof(wchar_t)),
                        const_cast<wchar_t*>(name.c_str())};
    OBJECT_ATTRIBUTES attributes;
    InitializeObjectAttributes(&attributes, &text, OBJ_CASE_INSENSITIVE, folder_.get(), owned ? &security : nullptr);
    IO_STATUS_BLOCK io{};
    HANDLE file = nullptr;
    status = folder_ && name.size() < 32000
                 ? NtCreateFile(&file, access | SYNCHRONIZE, &attributes, &io, nullptr, FILE_ATTRIBUTE_NORMAL, share, disposition,
                                FILE_NON_DIRECTORY_FILE | FILE_SYNCHRONOUS_IO_NONALERT | FILE_OPEN_REPARSE_POINT, nullptr, 0)
                 : kNameNotFound;
    if (information) *information = io.Information;
    return UniqueFile(status >= 0 ? file : nullptr);
}

bool CheckedFolder::LeftAlone(const wchar_t* why) const
{
    OutputDebugStringW((std::wstring(L"Korvane: ") + what_ + L" was left as it is: " + why + L"\n").c_str());
    return false;
}

bool ReadExistingFile(const CheckedFolder& folder, ExistingFile& existing)
{
    LONG status = 0;
    UniqueFile file = folder.OpenFile(folder.Name(), GENERIC_READ | GENERIC_WRITE | READ_CONTROL, kShareAll, FILE_OPEN, status);
    if (!file) return status == kNameNotFound || folder.LeftAlone(L"it could not be opened to be written");
    if (!MayWrite(folder, file.get(), existing.info)) return false;
    existing.exists = true;
    if (!ReadAll(file.get(), existing.bytes)) return folder.LeftAlone(L"it could not be read whole, or is too large");
    DWORD size = 0;
    const SECURITY_INFORMATION which = OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION;
    GetKernelObjectSecurity(file.get(), which, nullptr, 0, &size);
    existing.security.resize(size);
    if (size == 0 || !GetKernelObjectSecurity(file.get(), which, existing.security.data(), size, &size)) existing.security.clear();
    return true;
}

bool ReplaceWholeFile(const CheckedFolder& folder, const ExistingFile& existing, const std::vector<BYTE>& bytes)
{
    UniqueFile copy = CreateCopy(folder, existing);
    if (!copy) return existing.exists ? RewriteInPlace(folder, bytes) || folder.LeftAlone(L"no copy could be made beside it")
                                      : folder.LeftAlone(L"it could not be made in its folder");
    // Until it takes the file's place the copy is marked for deletion: a
    // run stopped before then leaves nothing beside the file.
    MarkForDeletion(copy.get(), true);
    if (!TakeOver(copy.get(), existing)) {
        DropCopy(copy);
        return RewriteInPlace(folder, bytes) || folder.LeftAlone(L"its owner and security could not be carried over to a copy");
    }
    if (!WriteAll(copy.get(), bytes)) {
        DropCopy(copy);
        return folder.LeftAlone(L"the copy could not be written");
    }
    if (!MarkForDeletion(copy.get(), false)) {
        DropCopy(copy);
        return RewriteInPlace(folder, bytes) || folder.LeftAlone(L"the copy could not be kept");
    }
    if (g_fileCalls.moveIntoPlace(copy.get(), folder.Handle(), folder.Name(), existing.exists)) return true;
    return Recover(folder, copy, bytes);
}

bool AppendToFile(const CheckedFolder& folder, const std::vector<BYTE>& first, const std::vector<BYTE>& bytes)
{
    LONG status = 0;
    UniqueFile file = folder.OpenFile(folder.Name(), FILE_APPEND_DATA | FILE_READ_ATTRIBUTES, FILE_SHARE_READ, FILE_OPEN_IF, status);
    BY_HANDLE_FILE_INFORMATION info{};
    if (!file) return folder.LeftAlone(L"it could not be opened to be written");
    if (!MayWrite(folder, file.get(), info)) return false;
    const bool empty = info.nFileSizeHigh == 0 && info.nFileSizeLow == 0;
    return (!empty || WriteAll(file.get(), first)) && WriteAll(file.get(), bytes);
}

bool MoveIntoPlace(HANDLE copy, HANDLE folder, const std::wstring& name, bool replace)
{
    const size_t nameBytes = name.size() * sizeof(wchar_t);
    std::vector<BYTE> buffer(sizeof(RenameInformation) + nameBytes, 0);
    auto* rename = reinterpret_cast<RenameInformation*>(buffer.data());
    rename->replaceIfExists = replace ? TRUE : FALSE;
    rename->rootDirectory = folder;
    rename->fileNameLength = static_cast<ULONG>(nameBytes);
    wmemcpy(rename->fileName, name.data(), name.size());
    IO_STATUS_BLOCK io{};
    const NTSTATUS status = NtSetInformationFile(copy, &io, rename, static_cast<ULONG>(buffer.size()), kFileRenameInformation);
    return status >= 0 || Fail(status);
}
