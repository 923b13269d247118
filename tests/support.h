// Helpers shared by the tests: scratch files, registry states stated as data, keys kept aside and put back, the
// process-wide state, and child processes.
#ifndef KORVANE_TESTS_SUPPORT_H
#define KORVANE_TESTS_SUPPORT_H

#include <windows.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "app/context.h"
#include "app/startup.h"
#include "app/texts.h"
#include "catalogue/file_types.h"

constexpr wchar_t kMissing[] = L"<missing>";
constexpr REGSAM kBothViews[] = {KEY_WOW64_64KEY, KEY_WOW64_32KEY};
const std::wstring kCapability = L"Software\\Ostrafen\\Korvane Player\\Capabilities\\FileAssociations";
const std::wstring kAudioCommand = L"AudioCD\\shell\\play\\command";
constexpr wchar_t kLongNamedIcon[] = L"testdata\\Long Named Sound Icon.ico";  // beside the tests
// The same file on a share and on a network drive (scripts/common.sh).
constexpr wchar_t kNetworkIcon[] = L"\\\\192.0.2.1\\share\\Long Named Sound Icon.ico";
constexpr wchar_t kNetworkDriveIcon[] = L"R:\\Long Named Sound Icon.ico";
constexpr wchar_t kLinkedIcon[] = L"C:\\korvane-linked-icon.ico";  // a symbolic link to the one on the share
inline std::wstring ProgId(const std::wstring& extension) { return L"Korvane " + extension + L" File"; }

inline std::wstring Unique(const wchar_t* prefix)
{
    static int counter = 0;
    return prefix + std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(++counter);
}

// The report's readable text and its JSON say the same of every type, handler and count (report_tests.cpp).
struct AssociationReport;
void ExpectBothFormsTellTheSame(const AssociationReport& report);

// A scratch folder, deleted with everything in it.
class TempFolder {
public:
    TempFolder() { std::filesystem::create_directory(path_); }
    ~TempFolder()
    {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    const std::wstring& path() const { return path_; }
    std::wstring File(const wchar_t* name) const { return path_ + L"\\" + name; }

private:
    std::wstring path_ = (std::filesystem::temp_directory_path() / Unique(L"korvane-test-")).wstring();
};

inline void WriteTextFile(const std::wstring& path, const std::wstring& text)  // UTF-16 with BOM
{
    const std::wstring withBom = L"\xFEFF" + text;
    std::ofstream file(std::filesystem::path(path), std::ios::binary);
    file.write(reinterpret_cast<const char*>(withBom.data()), static_cast<std::streamsize>(withBom.size() * sizeof(wchar_t)));
    EXPECT_TRUE(file.good()) << "could not write a test file";
}

inline std::vector<BYTE> FileBytes(const std::wstring& path)
{
    std::ifstream file(std::filesystem::path(path), std::ios::binary);
    return std::vector<BYTE>(std::istreambuf_iterator<char>(file), {});
}

inline std::wstring IniString(const std::wstring& path, const wchar_t* section, const wchar_t* key)  // or kMissing
{
    wchar_t value[4096];
    GetPrivateProfileStringW(section, key, kMissing, value, 4096, path.c_str());
    return value;
}

// A key opened for the test's own use, closed on every path.
struct TestKey {
    HKEY handle = nullptr;
    TestKey(HKEY root, const std::wstring& key, REGSAM access, bool create = false)
    {
        if ((create ? RegCreateKeyExW(root, key.c_str(), 0, nullptr, 0, access, nullptr, &handle, nullptr)
                    : RegOpenKeyExW(root, key.c_str(), 0, access, &handle)) != ERROR_SUCCESS)
            handle = nullptr;
    }
    ~TestKey() { if (handle) RegCloseKey(handle); }
    explicit operator bool() const { return handle != nullptr; }
};

inline bool KeyExists(HKEY root, const std::wstring& key, REGSAM view = 0) { return bool(TestKey{root, key, KEY_READ | view}); }

inline std::vector<std::wstring> SubKeys(HKEY root, const std::wstring& key, REGSAM view = 0)  // sorted
{
    std::vector<std::wstring> names;
    TestKey k{root, key, KEY_READ | view};
    wchar_t name[256];
    for (DWORD i = 0, length = 256; k && RegEnumKeyExW(k.handle, i, name, &length, nullptr, nullptr, nullptr, nullptr) ==
                                             ERROR_SUCCESS; ++i, length = 256)
        names.push_back(name);
    std::sort(names.begin(), names.end());
    return names;
}

inline void DeleteTree(HKEY root, const std::wstring& key, REGSAM view)
{
    if (TestKey k{root, key, KEY_ALL_ACCESS | view}) RegDeleteTreeW(k.handle, nullptr);
    RegDeleteKeyExW(root, key.c_str(), view, 0);
}

inline bool CopyTree(HKEY fromRoot, const std::wstring& from, REGSAM fromView, HKEY toRoot, const std::wstring& to,
                     REGSAM toView)
{
    TestKey source{fromRoot, from, KEY_READ | fromView}, target{toRoot, to, KEY_ALL_ACCESS | toView, true};
    return source && target && RegCopyTreeW(source.handle, nullptr, target.handle) == ERROR_SUCCESS;
}

// Keys moved aside for the length of a test, so that it starts without them (or, with keep, from a copy), and put back
// exactly as they were.
class PreservedKeys {
public:
    PreservedKeys() = default;
    PreservedKeys(const PreservedKeys&) = delete;
    PreservedKeys& operator=(const PreservedKeys&) = delete;
    void Add(HKEY root, const std::wstring& key, REGSAM view = 0, bool keep = false)
    {
        Saved saved{root, key, view, L""};
        if (KeyExists(root, key, view)) {
            saved.copy = L"Software\\KorvaneTests\\Saved\\" + Unique(L"");
            if (!CopyTree(root, key, view, HKEY_CURRENT_USER, saved.copy, 0)) {
                ADD_FAILURE() << "could not save a key aside";
                saved.copy.clear();
            }
        }
        if (!keep) DeleteTree(root, key, view);
        saved_.push_back(saved);
    }
    // Everything a run of the tool may write: the player's keys in both views, the audio-CD and folder handlers, and
    // the classes and extension keys of the types given.
    void AddPlayersKeys(const std::vector<std::wstring>& extensions)
    {
        for (REGSAM view : kBothViews) {
            Add(HKEY_LOCAL_MACHINE, L"Software\\Ostrafen", view);
            Add(HKEY_LOCAL_MACHINE, L"Software\\RegisteredApplications", view);
        }
        for (const wchar_t* key : {L"AudioCD", L"Folder\\shell\\KorvaneOpen"}) Add(HKEY_CLASSES_ROOT, key);
        for (const std::wstring& extension : extensions) {
            Add(HKEY_CLASSES_ROOT, L"." + extension);
            Add(HKEY_CLASSES_ROOT, ProgId(extension));
        }
    }
    ~PreservedKeys()
    {
        for (auto s = saved_.rbegin(); s != saved_.rend(); ++s) {
            DeleteTree(s->root, s->key, s->view);
            if (s->copy.empty()) continue;
            CopyTree(HKEY_CURRENT_USER, s->copy, 0, s->root, s->key, s->view);
            DeleteTree(HKEY_CURRENT_USER, s->copy, 0);
        }
        // The parents go too once nothing else is kept there.
        RegDeleteKeyW(HKEY_CURRENT_USER, L"Software\\KorvaneTests\\Saved");
        RegDeleteKeyW(HKEY_CURRENT_USER, L"Software\\KorvaneTests");
    }

private:
    struct Saved { HKEY root; std::wstring key; REGSAM view; std::wstring copy; };
    std::vector<Saved> saved_;
};

// One value of a registry state stated as data: the name "" is the key's default value, view 0 the default view.
struct RegValue {
    HKEY root; std::wstring key, name; DWORD type; std::vector<BYTE> data; REGSAM view = 0;
};

inline std::vector<BYTE> Sz(const std::wstring& text)  // UTF-16 with its terminating NUL
{
    const BYTE* bytes = reinterpret_cast<const BYTE*>(text.c_str());
    return std::vector<BYTE>(bytes, bytes + (text.size() + 1) * sizeof(wchar_t));
}

inline void Seed(const std::vector<RegValue>& values)
{
    for (const RegValue& v : values) {
        TestKey key{v.root, v.key, KEY_ALL_ACCESS | v.view, true};
        ASSERT_TRUE(key);
        EXPECT_EQ(RegSetValueExW(key.handle, v.name.empty() ? nullptr : v.name.c_str(), 0, v.type, v.data.data(),
                                 static_cast<DWORD>(v.data.size())), ERROR_SUCCESS);
    }
}

inline void PutString(HKEY root, const std::wstring& key, const wchar_t* name, const std::wstring& text, REGSAM view = 0)
{
    Seed({{root, key, name ? name : L"", REG_SZ, Sz(text), view}});
}

inline bool GetRaw(HKEY root, const std::wstring& key, const wchar_t* name, DWORD& type, std::vector<BYTE>& bytes,
                   REGSAM view = 0)
{
    TestKey k{root, key, KEY_READ | view};
    DWORD size = 0;
    if (!k || RegQueryValueExW(k.handle, name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS) return false;
    bytes.assign(size, 0xbd);
    return RegQueryValueExW(k.handle, name, nullptr, &type, bytes.data(), &size) == ERROR_SUCCESS;
}

inline std::wstring GetString(HKEY root, const std::wstring& key, const wchar_t* name, REGSAM view = 0)  // or kMissing
{
    DWORD type;
    std::vector<BYTE> bytes;
    if (!GetRaw(root, key, name, type, bytes, view)) return kMissing;
    std::wstring text(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / sizeof(wchar_t));
    while (!text.empty() && text.back() == L'\0') text.pop_back();
    return text;
}

// Names, types and data of a key and everything below it, sorted, as text.
inline std::wstring Snapshot(HKEY root, const std::wstring& key, REGSAM view = 0)
{
    TestKey k{root, key, KEY_READ | view};
    if (!k) return L"";
    std::vector<std::wstring> lines;
    static std::vector<wchar_t> name(16384);
    static std::vector<BYTE> data(1 << 20);
    DWORD nameLength = 16384, type = 0, size = static_cast<DWORD>(data.size());
    for (DWORD i = 0; RegEnumValueW(k.handle, i, name.data(), &nameLength, nullptr, &type, data.data(), &size) == ERROR_SUCCESS;
         ++i, nameLength = 16384, size = static_cast<DWORD>(data.size())) {
        std::wstring line = L"  \"" + std::wstring(name.data()) + L"\" " + std::to_wstring(type) + L" ";
        for (DWORD b = 0; b < size; ++b) line += std::to_wstring(data[b]) + L".";
        lines.push_back(line + L"\n");
    }
    std::sort(lines.begin(), lines.end());
    std::wstring out = L"[" + key + L"]\n";
    for (const auto& line : lines) out += line;
    for (const auto& sub : SubKeys(root, key, view)) out += Snapshot(root, key + L"\\" + sub, view);
    return out;
}

// Any change below the keys given, in both views, by any process, even a value written again with the same data,
// signals it: more than comparing snapshots would see.
struct ChangeWatch {
    std::vector<std::unique_ptr<TestKey>> keys;
    HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    explicit ChangeWatch(const std::vector<std::pair<HKEY, std::wstring>>& watched)
    {
        for (const auto& [root, key] : watched)
            for (REGSAM view : kBothViews) {
                keys.push_back(std::make_unique<TestKey>(root, key, KEY_NOTIFY | view, true));
                RegNotifyChangeKeyValue(keys.back()->handle, TRUE, REG_NOTIFY_CHANGE_NAME | REG_NOTIFY_CHANGE_LAST_SET, event, TRUE);
            }
    }
    ~ChangeWatch() { keys.clear(); CloseHandle(event); }
    bool Changed(DWORD waitMs = 200) const { return WaitForSingleObject(event, waitMs) == WAIT_OBJECT_0; }
};

// Puts settingsPath, the context, the view flag and g_fileTypes back after a test.
struct ProcessStateGuard {
    REGSAM rights = registryAccessRights;
    std::wstring settings = settingsPath;
    AssociationContext context = associationContext;
    DWORD view = registryViewFlag;
    FileTypeList fileTypes = g_fileTypes;
    ~ProcessStateGuard()
    {
        registryAccessRights = rights;
        wcscpy_s(settingsPath, kPathChars, settings.c_str());
        associationContext = context;
        registryViewFlag = view;
        g_fileTypes = fileTypes;
    }
};

// The start-up of the tool for a tool living beside the test program.
inline void StartUpLikeTheTool()
{
    registryViewFlag = DetectRegistryView();
    InitializePaths(GetModuleHandleW(nullptr));
    LoadBuiltinDescriptions();
}

inline std::wstring BesideTests(const wchar_t* name)  // test data, the fixture module
{
    wchar_t self[kPathChars];
    GetModuleFileNameW(nullptr, self, kPathChars);
    const std::wstring path(self);
    return path.substr(0, path.find_last_of(L'\\') + 1) + name;
}

inline std::wstring InstallDir()  // the installed tool (KORVANE_INSTALL_DIR)
{
    wchar_t dir[kPathChars] = L"";
    GetEnvironmentVariableW(L"KORVANE_INSTALL_DIR", dir, kPathChars);
    std::wstring path(dir);
    std::replace(path.begin(), path.end(), L'/', L'\\');
    return path;
}

// With output handles (inheritable), the child writes its standard output and error there.
inline PROCESS_INFORMATION StartProcess(const std::wstring& exe, const std::wstring& arguments, HANDLE output = nullptr,
                                        HANDLE errors = nullptr, const wchar_t* directory = nullptr)
{
    // A switch right after the quoted name, as Windows allows: the program name ends at its closing quote, by rules of
    // its own.
    std::wstring commandLine = L"\"" + exe + L"\"" + (arguments.rfind(L"/", 0) == 0 ? L"" : L" ") + arguments;
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = output ? STARTF_USESTDHANDLES : 0;
    startup.hStdOutput = output;
    startup.hStdError = errors;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(exe.c_str(), &commandLine[0], nullptr, nullptr, output != nullptr, output ? CREATE_NO_WINDOW : 0,
                        nullptr, directory, &startup, &process))
        ADD_FAILURE() << "CreateProcessW failed with error " << GetLastError() << " (file attributes "
                      << GetFileAttributesW(exe.c_str()) << "): " << testing::PrintToString(commandLine);
    return process;
}

inline DWORD WaitExit(PROCESS_INFORMATION process)  // closes the handles
{
    DWORD code = 0xdeadbeef;
    if (!process.hProcess) return code;
    if (WaitForSingleObject(process.hProcess, 60000) == WAIT_OBJECT_0) GetExitCodeProcess(process.hProcess, &code);
    else TerminateProcess(process.hProcess, 0xdead);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return code;
}

// Runs a console program with its standard output and error captured.
inline DWORD RunCapturing(const std::wstring& exe, const std::wstring& arguments, std::string& output, std::string& errors,
                          const wchar_t* directory = nullptr)
{
    TempFolder folder;
    SECURITY_ATTRIBUTES inherit{sizeof(inherit), nullptr, TRUE};
    HANDLE files[2];
    for (int i = 0; i < 2; ++i)
        files[i] = CreateFileW(folder.File(i ? L"err.txt" : L"out.txt").c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit,
                               CREATE_ALWAYS, 0, nullptr);
    PROCESS_INFORMATION process = StartProcess(exe, arguments, files[0], files[1], directory);
    const DWORD code = WaitExit(process);
    for (int i = 0; i < 2; ++i) {
        CloseHandle(files[i]);
        std::ifstream file(std::filesystem::path(folder.File(i ? L"err.txt" : L"out.txt")), std::ios::binary);
        (i ? errors : output).assign(std::istreambuf_iterator<char>(file), {});
    }
    return code;
}

#endif
