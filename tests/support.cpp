#include "support.h"

#include <algorithm>
#include <filesystem>
#include <fstream>

#include <gtest/gtest.h>

#include "app/startup.h"

namespace {

std::wstring Unique(const wchar_t* prefix)
{
    static int counter = 0;
    return prefix + std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(++counter);
}

// A key opened for the test's own use, closed on every path.
struct Key {
    HKEY handle = nullptr;
    Key(HKEY root, const std::wstring& key, REGSAM access, bool create = false)
    {
        const LSTATUS status = create ? RegCreateKeyExW(root, key.c_str(), 0, nullptr, 0, access, nullptr, &handle, nullptr)
                                      : RegOpenKeyExW(root, key.c_str(), 0, access, &handle);
        if (status != ERROR_SUCCESS) handle = nullptr;
    }
    ~Key() { if (handle) RegCloseKey(handle); }
    explicit operator bool() const { return handle != nullptr; }
};

void DeleteTree(HKEY root, const std::wstring& key, REGSAM view)
{
    if (Key k{root, key, KEY_ALL_ACCESS | view}) RegDeleteTreeW(k.handle, nullptr);
    RegDeleteKeyExW(root, key.c_str(), view, 0);
}

bool CopyTree(HKEY fromRoot, const std::wstring& from, REGSAM fromView, HKEY toRoot, const std::wstring& to, REGSAM toView)
{
    Key source{fromRoot, from, KEY_READ | fromView}, target{toRoot, to, KEY_ALL_ACCESS | toView, true};
    return source && target && RegCopyTreeW(source.handle, nullptr, target.handle) == ERROR_SUCCESS;
}

void DumpKey(HKEY key, const std::wstring& name, std::wstring& out)
{
    out += L"[" + name + L"]\n";
    std::vector<std::wstring> lines;
    static std::vector<wchar_t> valueName(16384);
    static std::vector<BYTE> data(1 << 20);
    DWORD nameLength = 16384, type = 0, size = static_cast<DWORD>(data.size());
    for (DWORD i = 0; RegEnumValueW(key, i, valueName.data(), &nameLength, nullptr, &type, data.data(), &size) == ERROR_SUCCESS;
         ++i, nameLength = 16384, size = static_cast<DWORD>(data.size())) {
        std::wstring line = L"  \"" + std::wstring(valueName.data()) + L"\" " + std::to_wstring(type) + L" ";
        for (DWORD b = 0; b < size; ++b) line += std::to_wstring(data[b]) + L".";
        lines.push_back(line + L"\n");
    }
    std::sort(lines.begin(), lines.end());
    for (const auto& line : lines) out += line;
    for (const auto& sub : SubKeys(key, L""))
        if (Key child{key, sub, KEY_READ}) DumpKey(child.handle, name + L"\\" + sub, out);
}

} // namespace

TempFolder::TempFolder() : path_((std::filesystem::temp_directory_path() / Unique(L"korvane-test-")).wstring())
{
    std::filesystem::create_directory(path_);
}

TempFolder::~TempFolder()
{
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

void WriteTextFile(const std::wstring& path, const std::wstring& text)
{
    const std::wstring withBom = L"\xFEFF" + text;
    std::ofstream file(std::filesystem::path(path), std::ios::binary);
    file.write(reinterpret_cast<const char*>(withBom.data()), static_cast<std::streamsize>(withBom.size() * sizeof(wchar_t)));
    EXPECT_TRUE(file.good()) << "could not write a test file";
}

std::wstring IniString(const std::wstring& path, const wchar_t* section, const wchar_t* key)
{
    wchar_t value[4096];
    GetPrivateProfileStringW(section, key, kMissing, value, 4096, path.c_str());
    return value;
}

void PreservedKeys::Add(HKEY root, const std::wstring& key, REGSAM view, bool keep)
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

void PreservedKeys::AddPlayersKeys(const std::vector<std::wstring>& extensions)
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

PreservedKeys::~PreservedKeys()
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

std::vector<BYTE> Sz(const std::wstring& text)
{
    const BYTE* bytes = reinterpret_cast<const BYTE*>(text.c_str());
    return std::vector<BYTE>(bytes, bytes + (text.size() + 1) * sizeof(wchar_t));
}

void Seed(const std::vector<RegValue>& values)
{
    for (const RegValue& v : values) {
        Key key{v.root, v.key, KEY_ALL_ACCESS | v.view, true};
        ASSERT_TRUE(key);
        EXPECT_EQ(RegSetValueExW(key.handle, v.name.empty() ? nullptr : v.name.c_str(), 0, v.type, v.data.data(),
                                 static_cast<DWORD>(v.data.size())), ERROR_SUCCESS);
    }
}

void PutString(HKEY root, const std::wstring& key, const wchar_t* name, const std::wstring& text, REGSAM view)
{
    Seed({{root, key, name ? name : L"", REG_SZ, Sz(text), view}});
}

bool GetRaw(HKEY root, const std::wstring& key, const wchar_t* name, DWORD& type, std::vector<BYTE>& bytes, REGSAM view)
{
    Key k{root, key, KEY_READ | view};
    DWORD size = 0;
    if (!k || RegQueryValueExW(k.handle, name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS) return false;
    bytes.assign(size, 0xbd);
    return RegQueryValueExW(k.handle, name, nullptr, &type, bytes.data(), &size) == ERROR_SUCCESS;
}

std::wstring GetString(HKEY root, const std::wstring& key, const wchar_t* name, REGSAM view)
{
    DWORD type;
    std::vector<BYTE> bytes;
    if (!GetRaw(root, key, name, type, bytes, view)) return kMissing;
    std::wstring text(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / sizeof(wchar_t));
    while (!text.empty() && text.back() == L'\0') text.pop_back();
    return text;
}

bool KeyExists(HKEY root, const std::wstring& key, REGSAM view) { return bool(Key{root, key, KEY_READ | view}); }

std::vector<std::wstring> SubKeys(HKEY root, const std::wstring& key, REGSAM view)
{
    std::vector<std::wstring> names;
    Key k{root, key, KEY_READ | view};
    wchar_t name[256];
    for (DWORD i = 0, length = 256; k && RegEnumKeyExW(k.handle, i, name, &length, nullptr, nullptr, nullptr, nullptr) ==
                                             ERROR_SUCCESS; ++i, length = 256)
        names.push_back(name);
    std::sort(names.begin(), names.end());
    return names;
}

std::wstring Snapshot(HKEY root, const std::wstring& key, REGSAM view)
{
    std::wstring out;
    if (Key k{root, key, KEY_READ | view}) DumpKey(k.handle, key, out);
    return out;
}

ProcessStateGuard::ProcessStateGuard()
    : settings_(settingsPath), context_(associationContext), view_(registryViewFlag), fileTypes_(g_fileTypes)
{
    for (const auto& d : builtinDescriptions) descriptions_.push_back(d);
}

ProcessStateGuard::~ProcessStateGuard()
{
    wcscpy_s(settingsPath, kPathChars, settings_.c_str());
    associationContext = context_;
    registryViewFlag = view_;
    for (int i = 0; i < kBuiltinTypeCount; ++i) wcscpy_s(builtinDescriptions[i], kPathChars, descriptions_[i].c_str());
    g_fileTypes = fileTypes_;
}

void StartUpLikeTheTool()
{
    registryViewFlag = DetectRegistryView();
    InitializePaths(GetModuleHandleW(nullptr));
}

std::wstring BesideTests(const wchar_t* name)
{
    wchar_t self[kPathChars];
    GetModuleFileNameW(nullptr, self, kPathChars);
    std::wstring path(self);
    return path.substr(0, path.find_last_of(L'\\') + 1) + name;
}

std::wstring InstallDir()
{
    wchar_t dir[kPathChars] = L"";
    GetEnvironmentVariableW(L"KORVANE_INSTALL_DIR", dir, kPathChars);
    std::wstring path(dir);
    std::replace(path.begin(), path.end(), L'/', L'\\');
    return path;
}

namespace {

// With output handles (inheritable), the child writes its standard output
// and error there.
PROCESS_INFORMATION Start(const std::wstring& exe, const std::wstring& arguments, HANDLE output, HANDLE errors)
{
    std::wstring commandLine = L"\"" + exe + L"\" " + arguments;
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    if (output) {
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdOutput = output;
        startup.hStdError = errors;
    }
    PROCESS_INFORMATION process{};
    CreateProcessW(exe.c_str(), &commandLine[0], nullptr, nullptr, output != nullptr, output ? CREATE_NO_WINDOW : 0,
                   nullptr, nullptr, &startup, &process);
    return process;
}

HANDLE InheritableFile(const std::wstring& path)
{
    SECURITY_ATTRIBUTES inherit{sizeof(inherit), nullptr, TRUE};
    return CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                       CREATE_ALWAYS, FILE_ATTRIBUTE_TEMPORARY, nullptr);
}

std::string ReadAll(HANDLE file)
{
    std::string bytes(GetFileSize(file, nullptr), '\0');
    DWORD read = 0;
    SetFilePointer(file, 0, nullptr, FILE_BEGIN);
    ReadFile(file, &bytes[0], static_cast<DWORD>(bytes.size()), &read, nullptr);
    bytes.resize(read);
    CloseHandle(file);
    return bytes;
}

} // namespace

PROCESS_INFORMATION StartProcess(const std::wstring& exe, const std::wstring& arguments)
{
    return Start(exe, arguments, nullptr, nullptr);
}

DWORD WaitExit(PROCESS_INFORMATION& process)
{
    DWORD code = 0xdeadbeef;
    if (!process.hProcess) return code;
    if (WaitForSingleObject(process.hProcess, 60000) == WAIT_OBJECT_0) GetExitCodeProcess(process.hProcess, &code);
    else TerminateProcess(process.hProcess, 0xdead);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    process = PROCESS_INFORMATION{};
    return code;
}

DWORD RunAndWait(const std::wstring& exe, const std::wstring& arguments)
{
    PROCESS_INFORMATION process = StartProcess(exe, arguments);
    return WaitExit(process);
}

DWORD RunCapturing(const std::wstring& exe, const std::wstring& arguments, std::string& output, std::string& errors)
{
    TempFolder folder;
    HANDLE out = InheritableFile(folder.File(L"out.txt")), err = InheritableFile(folder.File(L"err.txt"));
    PROCESS_INFORMATION process = Start(exe, arguments, out, err);
    const DWORD code = WaitExit(process);
    output = ReadAll(out);
    errors = ReadAll(err);
    return code;
}
