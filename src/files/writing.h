// Writing the files the tool is told to write (the player's settings file,
// the deployment log) without losing them and without being steered
// elsewhere. Every step acts through one handle on the file's folder,
// opened once and checked: a folder that a standard user swaps for a
// junction after the check cannot take the writes elsewhere, since the
// held folder cannot be renamed or deleted, and every file is created,
// opened and renamed relative to that handle rather than by its path.
//
// Replacing never loses a file: the whole new content is written into a
// file of a name no one can guess, made new beside it, which takes the
// file's owner, security and attributes and then its name in one step. A
// run stopped at any moment leaves the old file or the new one, whole.
#ifndef KORVANE_FILES_WRITING_H
#define KORVANE_FILES_WRITING_H

#include <windows.h>

#include <string>
#include <vector>

#include "registry/handles.h"

// The folder of a file's full path, held open while the file is written.
class CheckedFolder {
public:
    // Opens the folder of path; what names the file's kind in the notes to
    // the debugger ("the settings file"). False, the folder not opened,
    // where it is not a folder reached by its own path (a junction, a
    // symbolic link, another drive letter on the way).
    bool Open(const std::wstring& path, const wchar_t* what);

    HANDLE Handle() const { return folder_.get(); }
    const std::wstring& Path() const { return path_; }   // the file's full path
    const std::wstring& Name() const { return name_; }   // its name in the folder

    // A file of the folder, by name, following no reparse point: status is
    // the NTSTATUS, information what NtCreateFile says it did (FILE_CREATED,
    // FILE_OPENED). owner, where given, is the new file's owner.
    UniqueFile OpenFile(const std::wstring& name, ACCESS_MASK access, ULONG share, ULONG disposition, LONG& status,
                        ULONG_PTR* information = nullptr, PSID owner = nullptr) const;

    // Says to the debugger why the file was left as it is; always false.
    bool LeftAlone(const wchar_t* why) const;

private:
    UniqueFile folder_;
    std::wstring path_;
    std::wstring name_;
    const wchar_t* what_ = L"a file";
};

// The file as it is before it is written: its bytes, and what a copy that
// replaces it takes over (owner, security, attributes, time of making).
struct ExistingFile {
    bool exists = false;
    std::vector<BYTE> bytes;
    BY_HANDLE_FILE_INFORMATION info{};
    std::vector<BYTE> security;  // owner and DACL, self-relative
};

// Reads the file where the tool may write it: an ordinary file that is not
// read-only, with no other name (a hard link), reached by its own path, of
// less than 64 MiB. True with exists false for a file that is not there.
bool ReadExistingFile(const CheckedFolder& folder, ExistingFile& file);

// Replaces the whole file with bytes (a missing file is made, owned by the
// user who started the tool). Where the file cannot be replaced so
// (another program holds it open, its owner cannot be carried over), it is
// written again in place. False when it was left as it is.
bool ReplaceWholeFile(const CheckedFolder& folder, const ExistingFile& existing, const std::vector<BYTE>& bytes);

// Adds bytes at the end of the file, made where it is missing, the file
// checked as ReadExistingFile checks it. first goes before bytes in a file
// that is new or empty (a byte-order mark).
bool AppendToFile(const CheckedFolder& folder, const std::vector<BYTE>& first, const std::vector<BYTE>& bytes);

// The two steps whose outcome the system cannot be made to show at will:
// the copy taking the file's name (relative to the folder), and the copy
// taking the file's owner and DACL. A test may put others in their place;
// each says why it failed with SetLastError.
struct FileCalls {
    bool (*moveIntoPlace)(HANDLE copy, HANDLE folder, const std::wstring& name, bool replace);
    BOOL(WINAPI* setSecurity)(HANDLE file, SECURITY_INFORMATION which, PSECURITY_DESCRIPTOR security);
};
bool MoveIntoPlace(HANDLE copy, HANDLE folder, const std::wstring& name, bool replace);
extern FileCalls g_fileCalls;
inline const FileCalls kSystemFileCalls{MoveIntoPlace, SetKernelObjectSecurity};

#endif
