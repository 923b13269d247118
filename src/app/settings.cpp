#include "app/settings.h"

#include <algorithm>
#include <cwchar>
#include <cstdlib>
#include <initializer_list>
#include <new>
#include <string>
#include <vector>

#include "app/context.h"
#include "host/zeltrane.h"
#include "resource.h"

namespace {

const wchar_t kPreference[] = L"Preference";
const wchar_t kAssociation[] = L"Association";

struct BoolSetting {
    const wchar_t* key;
    int AssociationContext::*field;
};

// Read and saved in this order.
const BoolSetting kBoolSettings[] = {
    {L"AddPlayChecked", &AssociationContext::addPlayChecked},
    {L"NewPlayChecked", &AssociationContext::newPlayChecked},
    {L"AddOnlyChecked", &AssociationContext::addOnlyChecked},
    {L"OpenParentChecked", &AssociationContext::openParentChecked},
};

// The longest settings value read whole: far beyond any list of types a
// player keeps, and still a buffer that is always there to be had.
constexpr size_t kLargestSettingChars = 1u << 21;
// A settings file of this size or more is not rewritten.
constexpr DWORD kLargestSettingsFileBytes = 64u << 20;

const BYTE kUtf16Mark[] = {0xFF, 0xFE};
const BYTE kUtf8Mark[] = {0xEF, 0xBB, 0xBF};

// True when a text survives the ANSI code page unchanged: no character
// missing from it, none replaced by a look-alike.
bool AnsiHolds(const wchar_t* text)
{
    if (!text || !*text) return true;
    if (GetACP() == CP_UTF8) return true;  // a file without a mark is UTF-8 then
    BOOL usedDefault = FALSE;
    const int bytes = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text, -1, nullptr, 0, nullptr, &usedDefault);
    return bytes > 0 && !usedDefault;
}

// The file's bytes; false when it cannot be read or is too large to rewrite.
bool ReadFileBytes(const wchar_t* path, std::vector<BYTE>& bytes)
{
    HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    LARGE_INTEGER size{};
    bool ok = GetFileSizeEx(file, &size) && size.QuadPart < kLargestSettingsFileBytes;
    if (ok) {
        bytes.resize(static_cast<size_t>(size.QuadPart));
        DWORD read = 0;
        ok = bytes.empty() || (ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr) &&
                               read == bytes.size());
    }
    CloseHandle(file);
    return ok;
}

bool StartsWith(const std::vector<BYTE>& bytes, const BYTE* mark, size_t length)
{
    return bytes.size() >= length && std::equal(mark, mark + length, bytes.begin());
}

bool WriteNewFile(const std::wstring& path, const std::vector<BYTE>& bytes, DWORD disposition)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    const bool ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
                    written == bytes.size() && FlushFileBuffers(file);
    CloseHandle(file);
    return ok;
}

// The same lines as UTF-16LE with its byte-order mark, which the profile
// functions then read and write as UTF-16. The text goes to a file beside
// the old one that then takes its place, so that a run stopped half way
// leaves one of the two whole; ReplaceFileW keeps the old file's security
// and attributes, so the player can go on writing it. A file that is not
// there yet is made with the mark alone.
bool TurnIntoUtf16(const wchar_t* path)
{
    WritePrivateProfileStringW(nullptr, nullptr, nullptr, path);  // what the system still caches, onto the disk
    std::vector<BYTE> bytes;
    if (!ReadFileBytes(path, bytes)) {
        return GetLastError() == ERROR_FILE_NOT_FOUND &&
               WriteNewFile(path, std::vector<BYTE>(kUtf16Mark, kUtf16Mark + 2), CREATE_NEW);
    }
    if (StartsWith(bytes, kUtf16Mark, 2)) return true;
    // The profile functions of some systems read a UTF-8 mark too; what
    // such a file holds is UTF-8.
    const bool utf8 = StartsWith(bytes, kUtf8Mark, 3);
    const char* text = reinterpret_cast<const char*>(bytes.data()) + (utf8 ? 3 : 0);
    const int length = static_cast<int>(bytes.size() - (utf8 ? 3 : 0));
    const UINT codePage = utf8 ? CP_UTF8 : CP_ACP;
    const int chars = length ? MultiByteToWideChar(codePage, 0, text, length, nullptr, 0) : 0;
    if (length && chars <= 0) return false;
    std::wstring wide(static_cast<size_t>(chars), L'\0');
    if (chars) MultiByteToWideChar(codePage, 0, text, length, &wide[0], chars);
    std::vector<BYTE> unicode(kUtf16Mark, kUtf16Mark + 2);
    const BYTE* raw = reinterpret_cast<const BYTE*>(wide.data());
    unicode.insert(unicode.end(), raw, raw + wide.size() * sizeof(wchar_t));
    const std::wstring next = std::wstring(path) + L".new";
    if (WriteNewFile(next, unicode, CREATE_ALWAYS) &&
        ReplaceFileW(path, next.c_str(), nullptr, REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr))
        return true;
    DeleteFileW(next.c_str());
    return false;
}

// A file that starts with the UTF-16 mark holds any text; only the mark is
// read, as this is asked before every write of text beyond the code page.
bool HoldsAnyText(const wchar_t* path)
{
    HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    std::vector<BYTE> mark(2);
    DWORD read = 0;
    const bool ok = ReadFile(file, mark.data(), 2, &read, nullptr) && read == 2;
    CloseHandle(file);
    return ok && StartsWith(mark, kUtf16Mark, 2);
}

} // namespace

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

BOOL WriteSetting(const wchar_t* path, const wchar_t* section, const wchar_t* key, const wchar_t* value)
{
    const bool ansiHoldsIt = AnsiHolds(section) && AnsiHolds(key) && AnsiHolds(value);
    if (!ansiHoldsIt && !HoldsAnyText(path) && !TurnIntoUtf16(path))
        OutputDebugStringW(L"Korvane: the settings file could not be turned into UTF-16; text outside its code page "
                           L"was written as the code page allows\n");
    return WritePrivateProfileStringW(section, key, value, path);
}

bool ReadBoolSetting(const wchar_t* text)
{
    if (!text) return false;
    for (const wchar_t* word : {L"TRUE", L"ENABLE", L"On"}) {
        if (_wcsicmp(text, word) == 0) return true;
    }
    return _wtoi(text) == 1;
}

void ReadSettings()
{
    UINT method = GetPrivateProfileIntW(kPreference, L"ExecMethod", 2, settingsPath);
    associationContext.execMethod = method >= 5 ? 2 : static_cast<int>(method);

    for (const BoolSetting& setting : kBoolSettings) {
        wchar_t value[kShortTextChars];
        GetPrivateProfileStringW(kAssociation, setting.key, L"TRUE", value, kShortTextChars, settingsPath);
        associationContext.*setting.field = ReadBoolSetting(value) ? 1 : 0;
    }
}

void SaveSettings()
{
    // A file that cannot be written leaves the run going on with the values
    // in memory; nothing is reported.
    for (const BoolSetting& setting : kBoolSettings) {
        const wchar_t* value = associationContext.*setting.field ? L"TRUE" : L"FALSE";
        WriteSetting(settingsPath, kAssociation, setting.key, value);
    }
    wchar_t method[kShortTextChars];
    swprintf(method, kShortTextChars, L"%d", associationContext.execMethod);
    WriteSetting(settingsPath, kPreference, L"ExecMethod", method);
}

std::wstring LoadModuleString(UINT id, int capacity)
{
    std::vector<wchar_t> buffer(capacity, L'\0');
    HostLoadString(GetResourceModule(), id, buffer.data(), capacity);
    return buffer.data();
}

std::wstring LoadModuleStringList(UINT id)
{
    // With no buffer, LoadStringW hands out the resource's own text and its
    // whole length; the text is not terminated there.
    const wchar_t* text = nullptr;
    const int length = LoadStringW(GetResourceModule(), id, reinterpret_cast<LPWSTR>(&text), 0);
    if (length <= 0 || !text) return std::wstring();
    std::wstring list(text, static_cast<size_t>(length));
    while (!list.empty() && list.back() == L'\0') list.pop_back();
    list.append(2, L'\0');  // the last text's end and the list's end
    return list;
}

void LoadBuiltinDescriptions()
{
    for (int row = 0; row < kBuiltinTypeCount; ++row) {
        wchar_t text[kPathChars];
        HostLoadString(associationContext.resourceModule, IDS_DESC_FIRST + row, text, kPathChars);
        if (text[0] != L'\0') wcscpy_s(builtinDescriptions[row], kPathChars, text);
    }
}

void LoadVerbDisplayNames()
{
    AssociationContext& c = associationContext;
    HostLoadString(c.resourceModule, IDS_VERB_OPEN, c.openVerbName, kShortTextChars);
    HostLoadString(c.resourceModule, IDS_VERB_PLAY, c.playVerbName, kShortTextChars);
    HostLoadString(c.resourceModule, IDS_VERB_ADD, c.addVerbName, kShortTextChars);
    HostLoadString(c.resourceModule, IDS_VERB_OPENNEW, c.openNewVerbName, kShortTextChars);
    HostLoadString(c.resourceModule, IDS_VERB_OPENPARENT, c.openParentVerbName, kShortTextChars);
}
