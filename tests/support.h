// Helpers shared by the tests: scratch files, registry states stated as data,
// keys kept aside and put back, the process-wide state, and child processes.
#ifndef KORVANE_TESTS_SUPPORT_H
#define KORVANE_TESTS_SUPPORT_H

#include <windows.h>

#include <string>
#include <vector>

#include "app/context.h"
#include "catalogue/file_types.h"

constexpr wchar_t kMissing[] = L"<missing>";
constexpr REGSAM kBothViews[] = {KEY_WOW64_64KEY, KEY_WOW64_32KEY};
const std::wstring kCapability = L"Software\\Ostrafen\\Korvane Player\\Capabilities\\FileAssociations";
const std::wstring kAudioCommand = L"AudioCD\\shell\\play\\command";
inline std::wstring ProgId(const std::wstring& extension) { return L"Korvane " + extension + L" File"; }

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
std::wstring IniString(const std::wstring& path, const wchar_t* section, const wchar_t* key);  // or kMissing

// Keys moved aside for the length of a test, so that it starts without them
// (or, with keep, from a copy), and put back exactly as they were.
class PreservedKeys {
public:
    PreservedKeys() = default;
    PreservedKeys(const PreservedKeys&) = delete;
    PreservedKeys& operator=(const PreservedKeys&) = delete;
    ~PreservedKeys();
    void Add(HKEY root, const std::wstring& key, REGSAM view = 0, bool keep = false);
    // Everything a run of the tool may write: the player's keys in both
    // views, the audio-CD and folder handlers, and the classes and
    // extension keys of the types given.
    void AddPlayersKeys(const std::vector<std::wstring>& extensions);

private:
    struct Saved { HKEY root; std::wstring key; REGSAM view; std::wstring copy; };
    std::vector<Saved> saved_;
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
void PutString(HKEY root, const std::wstring& key, const wchar_t* name, const std::wstring& text, REGSAM view = 0);
bool GetRaw(HKEY root, const std::wstring& key, const wchar_t* name, DWORD& type, std::vector<BYTE>& bytes,
            REGSAM view = 0);
std::wstring GetString(HKEY root, const std::wstring& key, const wchar_t* name, REGSAM view = 0);  // or kMissing
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
PROCESS_INFORMATION StartProcess(const std::wstring& exe, const std::wstring& arguments);
DWORD WaitExit(PROCESS_INFORMATION& process);  // closes the handles
DWORD RunAndWait(const std::wstring& exe, const std::wstring& arguments);
// Runs a console program with its standard output and error captured.
DWORD RunCapturing(const std::wstring& exe, const std::wstring& arguments, std::string& output, std::string& errors);

#endif
