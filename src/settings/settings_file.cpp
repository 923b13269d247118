#include "settings/settings_file.h"

#include <winternl.h>

#include <algorithm>
#include <new>

#include "app/context.h"
#include "files/paths.h"
#include "files/writing.h"
#include "registry/handles.h"

extern "C" NTSTATUS NTAPI RtlUnicodeStringToInteger(PCUNICODE_STRING text, ULONG base, PULONG value);

namespace {

constexpr LONGLONG kLargestSettingsFileBytes = 64ll << 20;  // a settings file of this size or more is not read

bool ReadBytes(const std::wstring& path, std::vector<BYTE>& bytes, SettingsState& state)
{
    UniqueFile file = FileHandle(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                             OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!file) {
        const DWORD error = GetLastError();
        state = error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? SettingsState::Missing : SettingsState::Unreadable;
        return false;
    }
    state = SettingsState::Unreadable;
    BY_HANDLE_FILE_INFORMATION info{};
    LARGE_INTEGER size{};
    if (!GetFileInformationByHandle(file.get(), &info) || (info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) ||
        info.nNumberOfLinks != 1 || !ReachedByItsPath(file.get(), path) || !GetFileSizeEx(file.get(), &size) ||
        size.QuadPart >= kLargestSettingsFileBytes)
        return false;
    try {
        bytes.resize(static_cast<size_t>(size.QuadPart));
    } catch (const std::bad_alloc&) {
        return false;
    }
    DWORD read = 0;
    return bytes.empty() || (ReadFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr) && read == bytes.size());
}

bool WriteValues(const std::wstring& path, const std::vector<SettingValue>& values)
{
    CheckedFolder folder;
    if (!folder.Open(path, L"the settings file")) return false;
    ExistingFile existing;
    if (!ReadExistingFile(folder, existing)) return false;
    TextForm form = TextForm::Ansi;
    std::wstring text;
    if (existing.exists && !DecodeSettingsText(existing.bytes, form, text))
        return folder.LeftAlone(L"its bytes are in a form the tool does not read as text");
    IniText ini(text);
    for (const SettingValue& v : values)
        if (!ini.Set(v.section, v.key, v.value))
            OutputDebugStringW(L"Korvane: a settings value whose section or key name cannot be written was skipped\n");
    std::vector<BYTE> bytes;
    // Windows reads only ANSI and UTF-16LE: a file in another form, or text
    // the code page cannot hold, becomes UTF-16LE with its mark, whole.
    if (form != TextForm::Ansi || !ini.Encode(TextForm::Ansi, &existing.bytes, bytes)) ini.Encode(TextForm::Utf16Le, nullptr, bytes);
    if (existing.exists && bytes == existing.bytes) return true;
    return ReplaceWholeFile(folder, existing, bytes);
}

} // namespace

std::wstring FullSettingsPath(const std::wstring& given)
{
    if (given.empty()) return std::wstring();
    wchar_t full[kPathChars];
    const DWORD length = GetFullPathNameW(given.c_str(), kPathChars, full, nullptr);
    return length == 0 || length >= static_cast<DWORD>(kPathChars) ? std::wstring() : std::wstring(full, length);
}

std::wstring SettingsText::String(const wchar_t* section, const wchar_t* key, const std::wstring& fallback, size_t capacity) const
{
    const std::wstring* found = ini.Find(section, key);
    std::wstring value = found ? *found : fallback;
    value.resize(std::min(value.size(), value.find(L'\0')));  // the profile functions copy it as a C string
    const bool quoted = value.size() > 1 && (value.front() == L'"' || value.front() == L'\'') && value.back() == value.front();
    if (quoted) value = value.substr(1, value.size() - 2);
    if (capacity > 0 && value.size() > capacity - 1) value.resize(capacity - 1);
    return value;
}

UINT SettingsText::Int(const wchar_t* section, const wchar_t* key, int fallback) const
{
    std::wstring text = String(section, key, L"", 30);
    if (text.empty()) return static_cast<UINT>(fallback);
    UNICODE_STRING number{static_cast<USHORT>(text.size() * sizeof(wchar_t)), static_cast<USHORT>(text.size() * sizeof(wchar_t)), &text[0]};
    ULONG result = 0;
    RtlUnicodeStringToInteger(&number, 0, &result);
    return result;
}

bool SettingsText::Has(const wchar_t* section, const wchar_t* key) const { return ini.Find(section, key) != nullptr; }

SettingsText ReadSettingsFile(const std::wstring& path)
{
    SettingsText settings;
    std::vector<BYTE> bytes;
    if (path.empty() || !ReadBytes(path, bytes, settings.state)) return settings;
    TextForm form = TextForm::Ansi;
    std::wstring text;
    if (!DecodeSettingsText(bytes, form, text)) {
        settings.state = SettingsState::Unreadable;
        return settings;
    }
    settings.state = SettingsState::Read;
    settings.ini = IniText(text);
    return settings;
}

bool WriteSettingValues(const std::wstring& path, const std::vector<SettingValue>& values)
{
    try {
        return WriteValues(path, values);
    } catch (const std::exception&) {
        OutputDebugStringW(L"Korvane: the settings file was left as it is: there was no memory to rewrite it\n");
        return false;
    }
}
