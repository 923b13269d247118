#include "support.h"

#include <shellapi.h>

#include <algorithm>

#include <gtest/gtest.h>

#include "app/startup.h"

namespace {

int g_counter = 0;

std::wstring Unique(const wchar_t* prefix)
{
    return prefix + std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(++g_counter);
}

void DeleteTree(HKEY root, const std::wstring& key, REGSAM view)
{
    HKEY handle;
    if (RegOpenKeyExW(root, key.c_str(), 0, KEY_ALL_ACCESS | view, &handle) != ERROR_SUCCESS) return;
    RegDeleteTreeW(handle, nullptr);
    RegCloseKey(handle);
    RegDeleteKeyExW(root, key.c_str(), view, 0);
}

bool CopyTree(HKEY fromRoot, const std::wstring& from, REGSAM fromView, HKEY toRoot, const std::wstring& to,
              REGSAM toView)
{
    HKEY source, target;
    if (RegOpenKeyExW(fromRoot, from.c_str(), 0, KEY_READ | fromView, &source) != ERROR_SUCCESS) return false;
    bool ok = RegCreateKeyExW(toRoot, to.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | toView, nullptr, &target,
                              nullptr) == ERROR_SUCCESS;
    if (ok) {
        ok = RegCopyTreeW(source, nullptr, target) == ERROR_SUCCESS;
        RegCloseKey(target);
    }
    RegCloseKey(source);
    return ok;
}

void DumpKey(HKEY key, const std::wstring& name, std::wstring& out)
{
    out += L"[" + name + L"]\n";
    std::vector<std::wstring> lines;
    static std::vector<wchar_t> valueName(16384);
    static std::vector<BYTE> data(1 << 20);
    for (DWORD i = 0;; ++i) {
        DWORD nameLength = 16384, type = 0, size = static_cast<DWORD>(data.size());
        if (RegEnumValueW(key, i, valueName.data(), &nameLength, nullptr, &type, data.data(), &size) != ERROR_SUCCESS)
            break;
        std::wstring line = L"  \"" + std::wstring(valueName.data()) + L"\" " + std::to_wstring(type) + L" ";
        for (DWORD b = 0; b < size; ++b) line += std::to_wstring(data[b]) + L".";
        lines.push_back(line + L"\n");
    }
    std::sort(lines.begin(), lines.end());
    for (const auto& line : lines) out += line;
    for (const auto& sub : SubKeys(key, L"")) {
        HKEY child;
        if (RegOpenKeyExW(key, sub.c_str(), 0, KEY_READ, &child) != ERROR_SUCCESS) continue;
        DumpKey(child, name + L"\\" + sub, out);
        RegCloseKey(child);
    }
}

} // namespace

TempFolder::TempFolder()
{
    wchar_t base[MAX_PATH];
    GetTempPathW(MAX_PATH, base);
    path_ = base + Unique(L"korvane-test-");
    CreateDirectoryW(path_.c_str(), nullptr);
}

TempFolder::~TempFolder()
{
    std::wstring from = path_ + std::wstring(L"\0\0", 2);
    SHFILEOPSTRUCTW op{};
    op.wFunc = FO_DELETE;
    op.pFrom = from.c_str();
    op.fFlags = FOF_NO_UI;
    SHFileOperationW(&op);
}

void WriteTextFile(const std::wstring& path, const std::wstring& text)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    const std::wstring withBom = L"\xFEFF" + text;
    DWORD written;
    WriteFile(file, withBom.data(), static_cast<DWORD>(withBom.size() * sizeof(wchar_t)), &written, nullptr);
    CloseHandle(file);
}

std::wstring ReadTextFileUtf8(const std::wstring& path)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return L"";
    std::string bytes(GetFileSize(file, nullptr), '\0');
    DWORD read = 0;
    ReadFile(file, &bytes[0], static_cast<DWORD>(bytes.size()), &read, nullptr);
    CloseHandle(file);
    std::wstring text(bytes.size(), L'\0');
    int n = MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(read), &text[0], static_cast<int>(text.size()));
    text.resize(n > 0 ? n : 0);
    return text;
}

std::wstring IniString(const std::wstring& path, const wchar_t* section, const wchar_t* key)
{
    wchar_t value[4096];
    GetPrivateProfileStringW(section, key, kMissing, value, 4096, path.c_str());
    return value;
}

PreservedTree::PreservedTree(HKEY root, std::wstring key, REGSAM view, bool keep)
    : root_(root), key_(std::move(key)), view_(view)
{
    if (KeyExists(root_, key_, view_)) {
        saved_ = L"Software\\KorvaneTests\\Saved\\" + Unique(L"");
        if (!CopyTree(root_, key_, view_, HKEY_CURRENT_USER, saved_, 0)) {
            ADD_FAILURE() << "could not save a key aside";
            saved_.clear();
        }
    }
    if (!keep) DeleteTree(root_, key_, view_);
}

PreservedTree::~PreservedTree()
{
    DeleteTree(root_, key_, view_);
    if (saved_.empty()) return;
    CopyTree(HKEY_CURRENT_USER, saved_, 0, root_, key_, view_);
    DeleteTree(HKEY_CURRENT_USER, saved_, 0);
    // The parents go too once nothing else is kept there.
    RegDeleteKeyW(HKEY_CURRENT_USER, L"Software\\KorvaneTests\\Saved");
    RegDeleteKeyW(HKEY_CURRENT_USER, L"Software\\KorvaneTests");
}

void PutValue(HKEY root, const std::wstring& key, const wchar_t* name, DWORD type, const void* data, DWORD size,
              REGSAM view)
{
    HKEY handle;
    ASSERT_EQ(RegCreateKeyExW(root, key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | view, nullptr, &handle, nullptr),
              ERROR_SUCCESS);
    EXPECT_EQ(RegSetValueExW(handle, name, 0, type, static_cast<const BYTE*>(data), size), ERROR_SUCCESS);
    RegCloseKey(handle);
}

std::vector<BYTE> Sz(const std::wstring& text)
{
    const BYTE* bytes = reinterpret_cast<const BYTE*>(text.c_str());
    return std::vector<BYTE>(bytes, bytes + (text.size() + 1) * sizeof(wchar_t));
}

void Seed(const std::vector<RegValue>& values)
{
    for (const RegValue& v : values)
        PutValue(v.root, v.key, v.name.c_str(), v.type, v.data.data(), static_cast<DWORD>(v.data.size()), v.view);
}

void PutString(HKEY root, const std::wstring& key, const wchar_t* name, const std::wstring& text, REGSAM view)
{
    PutValue(root, key, name, REG_SZ, text.c_str(), static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)), view);
}

bool GetRaw(HKEY root, const std::wstring& key, const wchar_t* name, DWORD& type, std::vector<BYTE>& bytes,
            REGSAM view)
{
    HKEY handle;
    if (RegOpenKeyExW(root, key.c_str(), 0, KEY_READ | view, &handle) != ERROR_SUCCESS) return false;
    DWORD size = 0;
    LSTATUS status = RegQueryValueExW(handle, name, nullptr, &type, nullptr, &size);
    if (status == ERROR_SUCCESS) {
        bytes.assign(size, 0xbd);
        status = RegQueryValueExW(handle, name, nullptr, &type, bytes.data(), &size);
    }
    RegCloseKey(handle);
    return status == ERROR_SUCCESS;
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

bool KeyExists(HKEY root, const std::wstring& key, REGSAM view)
{
    HKEY handle;
    if (RegOpenKeyExW(root, key.c_str(), 0, KEY_READ | view, &handle) != ERROR_SUCCESS) return false;
    RegCloseKey(handle);
    return true;
}

std::vector<std::wstring> SubKeys(HKEY root, const std::wstring& key, REGSAM view)
{
    std::vector<std::wstring> names;
    HKEY handle;
    if (RegOpenKeyExW(root, key.c_str(), 0, KEY_READ | view, &handle) != ERROR_SUCCESS) return names;
    wchar_t name[256];
    for (DWORD i = 0, length = 256; RegEnumKeyExW(handle, i, name, &length, nullptr, nullptr, nullptr, nullptr) ==
                                    ERROR_SUCCESS;
         ++i, length = 256)
        names.push_back(name);
    RegCloseKey(handle);
    std::sort(names.begin(), names.end());
    return names;
}

std::wstring Snapshot(HKEY root, const std::wstring& key, REGSAM view)
{
    std::wstring out;
    HKEY handle;
    if (RegOpenKeyExW(root, key.c_str(), 0, KEY_READ | view, &handle) != ERROR_SUCCESS) return out;
    DumpKey(handle, key, out);
    RegCloseKey(handle);
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

PROCESS_INFORMATION StartProcess(const std::wstring& exe, const std::wstring& arguments, HANDLE output, HANDLE errors)
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

DWORD WaitExit(PROCESS_INFORMATION& process, DWORD timeoutMs)
{
    if (!process.hProcess) return 0xdeadbeef;
    DWORD code = 0xdeadbeef;
    if (WaitForSingleObject(process.hProcess, timeoutMs) == WAIT_OBJECT_0) GetExitCodeProcess(process.hProcess, &code);
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

namespace {

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
    return bytes;
}

} // namespace

DWORD RunCapturing(const std::wstring& exe, const std::wstring& arguments, std::string& output, std::string& errors)
{
    TempFolder folder;
    HANDLE out = InheritableFile(folder.File(L"out.txt"));
    HANDLE err = InheritableFile(folder.File(L"err.txt"));
    PROCESS_INFORMATION process = StartProcess(exe, arguments, out, err);
    const DWORD code = WaitExit(process);
    output = ReadAll(out);
    errors = ReadAll(err);
    CloseHandle(out);
    CloseHandle(err);
    return code;
}
