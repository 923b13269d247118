// Helpers shared by the tests: scratch files, registry set-up and clean-up,
// and a guard that puts the process-wide state back after a test.
#ifndef KORVANE_TESTS_SUPPORT_H
#define KORVANE_TESTS_SUPPORT_H

#include <windows.h>

#include <string>
#include <vector>

#include "app/context.h"
#include "catalogue/file_types.h"

constexpr wchar_t kMissing[] = L"<missing>";

// A settings file in a folder of its own, deleted with the folder.
class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    const std::wstring& path() const { return path_; }
    std::wstring File(const wchar_t* name) const { return path_ + L"\\" + name; }

private:
    std::wstring path_;
};

void WriteTextFile(const std::wstring& path, const std::wstring& text);
std::wstring ReadTextFileUtf8(const std::wstring& path);
std::wstring IniString(const std::wstring& path, const wchar_t* section, const wchar_t* key);

// Deletes root\key with everything below it in the given view, on entry
// (leftovers of an aborted run) and on exit.
class ScopedTree {
public:
    ScopedTree(HKEY root, std::wstring key, REGSAM view = 0);
    ~ScopedTree();
    ScopedTree(const ScopedTree&) = delete;
    ScopedTree& operator=(const ScopedTree&) = delete;

private:
    void Delete() const;
    HKEY root_;
    std::wstring key_;
    REGSAM view_;
};

// Moves root\key (in one view) aside for the length of a test and puts it
// back afterwards exactly as it was, so that a test may own keys that the
// prefix already holds (HKCR\AudioCD, the player's own record).
class PreservedTree {
public:
    PreservedTree(HKEY root, std::wstring key, REGSAM view = 0);
    ~PreservedTree();
    PreservedTree(const PreservedTree&) = delete;
    PreservedTree& operator=(const PreservedTree&) = delete;

private:
    HKEY root_;
    std::wstring key_;
    REGSAM view_;
    std::wstring saved_;  // below HKCU; empty when the key did not exist
};

void PutValue(HKEY root, const std::wstring& key, const wchar_t* name, DWORD type, const void* data, DWORD size,
              REGSAM view = 0);
void PutString(HKEY root, const std::wstring& key, const wchar_t* name, const std::wstring& text, REGSAM view = 0);
// The value's text, or kMissing.
std::wstring GetString(HKEY root, const std::wstring& key, const wchar_t* name, REGSAM view = 0);
// The value's type and bytes; false when missing.
bool GetRaw(HKEY root, const std::wstring& key, const wchar_t* name, DWORD& type, std::vector<BYTE>& bytes,
            REGSAM view = 0);
bool KeyExists(HKEY root, const std::wstring& key, REGSAM view = 0);
// Names of the direct sub-keys, in registry order.
std::vector<std::wstring> SubKeys(HKEY root, const std::wstring& key, REGSAM view = 0);
// A text dump of a key and everything below it (names, types, data), for
// before/after comparisons; empty when the key is missing.
std::wstring Snapshot(HKEY root, const std::wstring& key, REGSAM view = 0);

// Puts settingsPath, the context, the view flag and the descriptions back.
class ProcessStateGuard {
public:
    ProcessStateGuard();
    ~ProcessStateGuard();

private:
    std::wstring settings_;
    AssociationContext context_;
    DWORD view_;
    std::vector<std::wstring> descriptions_;
    FileTypeList fileTypes_;
};

// Sets the process-wide state up as start-up does for a tool living in
// this test's folder (resource module, paths, view flag).
void StartUpLikeTheTool();

// A file beside the test program (test data, the fixture module).
std::wstring BesideTests(const wchar_t* name);

// The folder holding the installed tool (KORVANE_INSTALL_DIR).
std::wstring InstallDir();
// Starts a program with arguments; the caller waits with WaitExit.
PROCESS_INFORMATION StartProcess(const std::wstring& exe, const std::wstring& arguments);
// Waits for the process, closes its handles and returns its exit code.
DWORD WaitExit(PROCESS_INFORMATION& process, DWORD timeoutMs = 60000);
// Runs a program with arguments and waits; returns its exit code.
DWORD RunAndWait(const std::wstring& exe, const std::wstring& arguments, DWORD timeoutMs = 60000);

#endif
