// Helpers shared by the tests: scratch files, registry set-up, clean-up and
// snapshots, the process-wide state, and starting the installed tool.
#ifndef KORVANE_TESTS_SUPPORT_H
#define KORVANE_TESTS_SUPPORT_H

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "app/context.h"
#include "catalogue/file_types.h"

constexpr wchar_t kMissing[] = L"<missing>";

// A scratch folder, deleted with everything in it.
class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    const std::wstring& path() const { return path_; }
    std::wstring File(const wchar_t* name) const { return path_ + L"\\" + name; }

private:
    std::wstring path_;
};

void WriteTextFile(const std::wstring& path, const std::wstring& text);  // UTF-16 with BOM
std::wstring ReadTextFileUtf8(const std::wstring& path);
std::wstring IniString(const std::wstring& path, const wchar_t* section, const wchar_t* key);  // or kMissing

// Moves root\key (in one view) aside for the length of a test, so that the
// test starts without it (or, with keep, from a copy of it), and puts it
// back exactly as it was afterwards.
class PreservedTree {
public:
    PreservedTree(HKEY root, std::wstring key, REGSAM view = 0, bool keep = false);
    ~PreservedTree();
    PreservedTree(const PreservedTree&) = delete;
    PreservedTree& operator=(const PreservedTree&) = delete;

private:
    HKEY root_;
    std::wstring key_;
    REGSAM view_;
    std::wstring saved_;  // below HKCU; empty when the key did not exist
};

// Several preserved keys at once.
struct PreservedTrees {
    std::vector<std::unique_ptr<PreservedTree>> trees;
    void Add(HKEY root, const std::wstring& key, REGSAM view = 0, bool keep = false)
    {
        trees.push_back(std::make_unique<PreservedTree>(root, key, view, keep));
    }
};

// One value of a registry state stated as data: the name "" is the key's
// default value, view 0 the default view.
struct RegValue {
    HKEY root;
    std::wstring key;
    std::wstring name;
    DWORD type;
    std::vector<BYTE> data;
    REGSAM view = 0;
};
std::vector<BYTE> Sz(const std::wstring& text);  // UTF-16 with its terminating NUL
void Seed(const std::vector<RegValue>& values);

void PutValue(HKEY root, const std::wstring& key, const wchar_t* name, DWORD type, const void* data, DWORD size,
              REGSAM view = 0);
void PutString(HKEY root, const std::wstring& key, const wchar_t* name, const std::wstring& text, REGSAM view = 0);
std::wstring GetString(HKEY root, const std::wstring& key, const wchar_t* name, REGSAM view = 0);  // or kMissing
bool GetRaw(HKEY root, const std::wstring& key, const wchar_t* name, DWORD& type, std::vector<BYTE>& bytes,
            REGSAM view = 0);
bool KeyExists(HKEY root, const std::wstring& key, REGSAM view = 0);
std::vector<std::wstring> SubKeys(HKEY root, const std::wstring& key, REGSAM view = 0);  // sorted
// Names, types and data of a key and everything below it, sorted, as text.
std::wstring Snapshot(HKEY root, const std::wstring& key, REGSAM view = 0);

// Puts settingsPath, the context, the view flag, the descriptions and
// g_fileTypes back after a test.
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

// The start-up of the tool for a tool living beside the test program.
void StartUpLikeTheTool();

std::wstring BesideTests(const wchar_t* name);  // test data, the fixture module
std::wstring InstallDir();                      // the installed tool (KORVANE_INSTALL_DIR)
// With an output handle, the child writes its standard output and error
// there (the handles must be inheritable).
PROCESS_INFORMATION StartProcess(const std::wstring& exe, const std::wstring& arguments, HANDLE output = nullptr,
                                 HANDLE errors = nullptr);
DWORD WaitExit(PROCESS_INFORMATION& process, DWORD timeoutMs = 60000);  // closes the handles
DWORD RunAndWait(const std::wstring& exe, const std::wstring& arguments);
// Runs a console program with its standard output and error captured.
DWORD RunCapturing(const std::wstring& exe, const std::wstring& arguments, std::string& output, std::string& errors);

#endif
