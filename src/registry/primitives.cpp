#include "registry/primitives.h"

#include <algorithm>
#include <cwchar>
#include <new>
#include <vector>

#include "app/context.h"
#include "app/system_functions.h"
#include "registry/handles.h"

const wchar_t kBackupValueName[] = L"Before Korvane";
std::atomic<long> g_registryChangesLeft{-1};
std::atomic<unsigned long> g_registryChanges{0};

namespace {

constexpr DWORD kAllViews64 = KEY_ALL_ACCESS | KEY_WOW64_64KEY;  // 0x000F013F
constexpr DWORD kAllViews32 = KEY_ALL_ACCESS | KEY_WOW64_32KEY;  // 0x000F023F
constexpr DWORD kNameChars = 1024;
constexpr DWORD kValueNameChars = 256;  // a longer name is passed over by a walk over the values
constexpr DWORD kLongestValueName = 16383;  // the registry's own limit

DWORD Access() { return RegistryAccess(); }

REGSAM ViewAccess(REGSAM view) { return registryAccessRights | (view ? view : registryViewFlag); }

bool OpenKey(HKEY root, const wchar_t* subKey, DWORD access, RegKey& key)
{
    return RegOpenKeyExW(root, subKey, 0, access, key.put()) == ERROR_SUCCESS;
}

// True while changes may still be made; counts the one about to be made.
bool MayChange()
{
    long left = g_registryChangesLeft.load();
    while (left > 0 && !g_registryChangesLeft.compare_exchange_weak(left, left - 1)) {
    }
    if (left == 0) return false;
    ++g_registryChanges;
    return true;
}

LSTATUS WriteString(HKEY key, const wchar_t* valueName, const wchar_t* data)
{
    if (!data) return ERROR_SUCCESS;
    const size_t bytes = (wcslen(data) + 1) * sizeof(wchar_t);
    if (bytes > MAXDWORD) {
        OutputDebugStringW(L"Korvane: a value too long for the registry was not written\n");
        return ERROR_INVALID_DATA;
    }
    return SetRegistryValue(key, valueName, REG_SZ, data, static_cast<DWORD>(bytes));
}

LSTATUS CreateAndWrite(HKEY root, const wchar_t* subKey, DWORD access, const wchar_t* valueName, const wchar_t* data)
{
    RegKey key;
    const LSTATUS created = CreateRegistryKey(root, subKey, access, key);
    return created != ERROR_SUCCESS ? created : WriteString(key.get(), valueName, data);
}

void DeleteValueInView(HKEY root, const wchar_t* subKey, DWORD access, const wchar_t* valueName)
{
    RegKey key;
    if (OpenKey(root, subKey, access, key)) DeleteRegistryValue(key.get(), valueName);
}

bool HasValue(HKEY key, const wchar_t* valueName)
{
    return RegQueryValueExW(key, valueName, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
}

bool EnumFirstSubKey(HKEY key, std::wstring& name)
{
    wchar_t buffer[kNameChars];
    DWORD length = kNameChars;
    if (RegEnumKeyExW(key, 0, buffer, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) return false;
    name.assign(buffer, length);
    return true;
}

// Empties an open key: deletes its sub-keys one after another, always the
// first one, since each deletion moves the next to the front. It stops at a
// sub-key that cannot be opened, and also at one that opened but came back
// undeleted: asking for index 0 again would only find it again.
void DeleteSubKeys(HKEY key)
{
    std::wstring name;
    std::wstring previous;
    bool first = true;
    while (EnumFirstSubKey(key, name)) {
        if (!first && name == previous) break;
        if (DeleteKeyTree(key, name.c_str()) != 0) break;
        previous = name;
        first = false;
    }
}

bool ReadString(HKEY root, const wchar_t* subKey, DWORD access, const wchar_t* valueName, std::wstring& text,
                bool expandable = false)
{
    RegKey key;
    if (!OpenKey(root, subKey, access, key)) return false;
    const auto isText = [&](DWORD type) { return type == REG_SZ || (expandable && type == REG_EXPAND_SZ); };
    DWORD type = REG_NONE;
    if (RegQueryValueExW(key.get(), valueName, nullptr, &type, nullptr, nullptr) != ERROR_SUCCESS) return false;
    if (!isText(type)) return false;
    RegistryValue value;
    if (!ReadRawValue(key.get(), valueName, value) || !isText(value.type)) return false;
    text = value.AsText();
    return true;
}

using RegDeleteKeyExWFn = LSTATUS(WINAPI*)(HKEY, LPCWSTR, REGSAM, DWORD);

} // namespace

REGSAM RegistryAccess() { return registryAccessRights | registryViewFlag; }

LSTATUS SetRegistryValue(HKEY key, const wchar_t* valueName, DWORD type, const void* data, DWORD size)
{
    return MayChange() ? RegSetValueExW(key, valueName, 0, type, static_cast<const BYTE*>(data), size) : ERROR_CANCELLED;
}

LSTATUS DeleteRegistryValue(HKEY key, const wchar_t* valueName)
{
    return MayChange() ? RegDeleteValueW(key, valueName) : ERROR_CANCELLED;
}

LSTATUS CreateRegistryKey(HKEY root, const wchar_t* subKey, REGSAM access, RegKey& key, DWORD* disposition)
{
    if (!MayChange()) return ERROR_CANCELLED;
    return RegCreateKeyExW(root, subKey, 0, nullptr, REG_OPTION_NON_VOLATILE, access, nullptr, key.put(), disposition);
}

LSTATUS DeleteRegistryKey(HKEY root, const wchar_t* subKey, REGSAM view)
{
    if (!MayChange()) return ERROR_CANCELLED;
    const auto deleteKeyEx = SystemFunction<RegDeleteKeyExWFn>(L"AdvApi32.dll", "RegDeleteKeyExW");
    return deleteKeyEx ? deleteKeyEx(root, subKey, view, 0) : RegDeleteKeyW(root, subKey);
}

LSTATUS OpenOrCreateKey(HKEY root, const wchar_t* subKey, RegKey& key, bool* created, REGSAM view)
{
    DWORD disposition = 0;
    const LSTATUS status = CreateRegistryKey(root, subKey, ViewAccess(view), key, &disposition);
    if (created) *created = status == ERROR_SUCCESS && disposition == REG_CREATED_NEW_KEY;
    return status;
}

LSTATUS WriteStringValue(HKEY key, const wchar_t* valueName, const wchar_t* data)
{
    return WriteString(key, valueName, data);
}

std::wstring RegistryValue::AsText() const
{
    if (bytes.empty()) return std::wstring();
    const wchar_t* text = reinterpret_cast<const wchar_t*>(bytes.data());
    return std::wstring(text, wcsnlen(text, size / sizeof(wchar_t)));
}

std::vector<std::wstring> RegistryValue::AsTexts() const
{
    std::vector<std::wstring> texts;
    if (bytes.empty()) return texts;
    const wchar_t* text = reinterpret_cast<const wchar_t*>(bytes.data());
    const size_t length = size / sizeof(wchar_t);
    for (size_t at = 0; at < length && text[at]; at += texts.back().size() + 1) texts.emplace_back(text + at, wcsnlen(text + at, length - at));
    return texts;
}

bool ReadRawValue(HKEY key, const wchar_t* valueName, RegistryValue& value)
{
    if (RegQueryValueExW(key, valueName, nullptr, &value.type, nullptr, &value.size) != ERROR_SUCCESS) return false;
    try {
        value.bytes.assign(static_cast<size_t>(value.size) + sizeof(wchar_t), 0);
    } catch (const std::bad_alloc&) {
        OutputDebugStringW(L"Korvane: no memory for a registry value; it was left alone\n");
        return false;
    }
    DWORD size = value.size;
    if (RegQueryValueExW(key, valueName, nullptr, &value.type, value.bytes.data(), &size) != ERROR_SUCCESS)
        return false;
    value.size = size < value.size ? size : value.size;
    return true;
}

bool ReadValue(HKEY root, const wchar_t* subKey, const wchar_t* valueName, RegistryValue& value, REGSAM view)
{
    RegKey key;
    return OpenKey(root, subKey, ViewAccess(view), key) && ReadRawValue(key.get(), valueName, value);
}

std::vector<std::wstring> ValueNames(HKEY root, const wchar_t* subKey, REGSAM view)
{
    std::vector<std::wstring> names;
    RegKey key;
    if (!OpenKey(root, subKey, ViewAccess(view), key)) return names;
    for (DWORD index = 0;; ++index) {
        wchar_t name[kValueNameChars];
        DWORD length = kValueNameChars;
        const LSTATUS status = RegEnumValueW(key.get(), index, name, &length, nullptr, nullptr, nullptr, nullptr);
        if (status == ERROR_MORE_DATA) continue;  // a name no type of the player's has; the walk goes on
        if (status != ERROR_SUCCESS) break;
        names.emplace_back(name, length);
    }
    return names;
}

std::vector<std::wstring> SubKeyNames(HKEY root, const wchar_t* subKey, REGSAM view)
{
    std::vector<std::wstring> names;
    RegKey key;
    if (!OpenKey(root, subKey, ViewAccess(view), key)) return names;
    for (DWORD index = 0;; ++index) {
        wchar_t name[kNameChars];
        DWORD length = kNameChars;
        if (RegEnumKeyExW(key.get(), index, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        names.emplace_back(name, length);
    }
    return names;
}

LSTATUS SetStringValue(HKEY root, const wchar_t* subKey, const wchar_t* valueName, const wchar_t* data)
{
    return CreateAndWrite(root, subKey, Access(), valueName, data);
}

LSTATUS SetStringValueAllViews(HKEY root, const wchar_t* subKey, const wchar_t* valueName, const wchar_t* data)
{
    if (registryViewFlag == 0) return CreateAndWrite(root, subKey, KEY_ALL_ACCESS, valueName, data);
    const LSTATUS first = CreateAndWrite(root, subKey, kAllViews64, valueName, data);
    return first != ERROR_SUCCESS ? first : CreateAndWrite(root, subKey, kAllViews32, valueName, data);
}

int DeleteValueAllViews(HKEY root, const wchar_t* subKey, const wchar_t* valueName)
{
    if (registryViewFlag == 0) {
        DeleteValueInView(root, subKey, KEY_ALL_ACCESS, valueName);
        return 0;
    }
    DeleteValueInView(root, subKey, kAllViews64, valueName);
    DeleteValueInView(root, subKey, kAllViews32, valueName);
    return 0;
}

int DeleteValue(HKEY root, const wchar_t* subKey, const wchar_t* valueName, REGSAM view)
{
    DeleteValueInView(root, subKey, ViewAccess(view), valueName);
    return 0;
}

void DeleteAllBut(HKEY root, const wchar_t* subKey, const wchar_t* keptSubKey)
{
    RegKey key;
    if (!OpenKey(root, subKey, Access(), key)) return;
    // Always the first name still there; one that will not go is passed by.
    std::vector<wchar_t> name(kLongestValueName + 1);
    for (DWORD index = 0;;) {
        DWORD length = static_cast<DWORD>(name.size());
        if (RegEnumValueW(key.get(), index, name.data(), &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        if (length == 0 || DeleteRegistryValue(key.get(), name.data()) != ERROR_SUCCESS) ++index;  // the default value stays
    }
    for (DWORD index = 0;;) {
        wchar_t subName[kNameChars];
        DWORD length = kNameChars;
        if (RegEnumKeyExW(key.get(), index, subName, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        const bool kept = keptSubKey && _wcsicmp(subName, keptSubKey) == 0;
        if (kept || DeleteKeyTree(key.get(), subName) != 0 || KeyExists(key.get(), subName)) ++index;
    }
}

bool QueryStringValue(HKEY root, const wchar_t* subKey, const wchar_t* valueName, std::wstring& text)
{
    return ReadString(root, subKey, Access(), valueName, text);
}

bool QueryStringValueToRead(HKEY root, const wchar_t* subKey, const wchar_t* valueName, std::wstring& text)
{
    return ReadString(root, subKey, KEY_QUERY_VALUE | registryViewFlag, valueName, text, true);
}

bool KeyExistsToRead(HKEY root, const wchar_t* subKey)
{
    RegKey key;
    return OpenKey(root, subKey, KEY_QUERY_VALUE | registryViewFlag, key);
}

bool KeyExists(HKEY root, const wchar_t* subKey)
{
    RegKey key;
    return OpenKey(root, subKey, Access(), key);
}

bool ValueExists(HKEY root, const wchar_t* subKey, const wchar_t* valueName)
{
    RegKey key;
    return OpenKey(root, subKey, Access(), key) && HasValue(key.get(), valueName);
}

ValueHolder HolderOfData(const RegistryValue& value, const OwnText& isOwn)
{
    const bool text = value.type == REG_SZ || value.type == REG_EXPAND_SZ;
    // Only the empty text itself: a REG_SZ of one byte, or one whose text
    // follows a NUL, is data of somebody's, kept and given back as it is.
    const auto end = value.bytes.begin() + std::min<size_t>(value.size, value.bytes.size());
    const bool empty = std::all_of(value.bytes.begin(), end, [](BYTE b) { return b == 0; });
    if (value.type == REG_SZ && empty) return ValueHolder::Nobody;
    return text && isOwn(value.AsText()) ? ValueHolder::Own : ValueHolder::Other;
}

ValueHolder HolderOf(HKEY key, const wchar_t* valueName, const OwnText& isOwn)
{
    RegistryValue value;
    // A value too big to read is somebody's all the same.
    if (!ReadRawValue(key, valueName, value)) return HasValue(key, valueName) ? ValueHolder::Other : ValueHolder::Nobody;
    return HolderOfData(value, isOwn);
}

ValueHolder HolderOf(HKEY root, const wchar_t* subKey, const wchar_t* valueName, const OwnText& isOwn)
{
    RegKey key;
    return OpenKey(root, subKey, Access(), key) ? HolderOf(key.get(), valueName, isOwn) : ValueHolder::Nobody;
}

LSTATUS SaveValueBackup(HKEY root, const wchar_t* subKey, const wchar_t* valueName, const OwnText& isOwn)
{
    RegKey key;
    const LSTATUS opened = RegOpenKeyExW(root, subKey, 0, Access(), key.put());
    if (opened == ERROR_FILE_NOT_FOUND) return ERROR_SUCCESS;
    if (opened != ERROR_SUCCESS) return opened;
    switch (HolderOf(key.get(), valueName, isOwn)) {
    case ValueHolder::Other: {
        RegistryValue value;
        if (!ReadRawValue(key.get(), valueName, value)) return ERROR_READ_FAULT;
        return SetRegistryValue(key.get(), kBackupValueName, value.type, value.bytes.data(), value.size);
    }
    case ValueHolder::Nobody:
        // Nobody's value without a backup needs none, as a missing key needs
        // none: a run stopped after making the key, or after a backup that
        // the next run gave back as nobody's, is then written again as a
        // whole run writes it.
        if (!HasValue(key.get(), kBackupValueName)) break;
        // Nothing there to save: "nothing" is remembered as the empty text,
        // unless an earlier owner is kept already. A backup of the caller's
        // own data keeps none: the value had no owner, and the backup says
        // so from now on.
        if (HolderOf(key.get(), kBackupValueName, isOwn) != ValueHolder::Other) {
            const wchar_t empty[] = L"";
            return SetRegistryValue(key.get(), kBackupValueName, REG_SZ, empty, sizeof(empty));
        }
        break;
    case ValueHolder::Own: break;
    }
    return ERROR_SUCCESS;
}

int RestoreValueBackup(HKEY root, const wchar_t* subKey, const wchar_t* valueName, const OwnText& isOwn)
{
    RegKey key;
    if (!OpenKey(root, subKey, Access(), key)) return -2;
    if (!HasValue(key.get(), kBackupValueName)) return -1;
    RegistryValue backup;
    // A backup that cannot be read stays where it is: losing it would lose
    // the previous owner.
    if (!ReadRawValue(key.get(), kBackupValueName, backup)) return 0;
    if (HolderOf(key.get(), valueName, isOwn) == ValueHolder::Other) {
        OutputDebugStringW(L"Korvane: another program holds the value now; its older backup was dropped\n");
    } else if (HolderOfData(backup, isOwn) != ValueHolder::Other) {
        // "Nothing was there", or the caller's own data: no earlier owner.
        const LSTATUS deleted = DeleteRegistryValue(key.get(), valueName);
        if (deleted != ERROR_SUCCESS && deleted != ERROR_FILE_NOT_FOUND) return 0;
    } else if (SetRegistryValue(key.get(), valueName, backup.type, backup.bytes.data(), backup.size) != ERROR_SUCCESS) {
        return 0;
    }
    // Only once the owner is back in place: a run stopped before this line
    // finds the backup again, and the owner then holds the value.
    DeleteRegistryValue(key.get(), kBackupValueName);
    return 0;
}

int DeleteKeyTree(HKEY root, const wchar_t* subKey)
{
    {
        RegKey key;
        if (!OpenKey(root, subKey, Access(), key)) return -1;
        DeleteSubKeys(key.get());
    } // closed here: a key is never deleted while it is still held open
    DeleteSingleKey(root, subKey);
    return 0;
}

int DeleteKeyIfEmpty(HKEY root, const wchar_t* subKey)
{
    {
        RegKey key;
        if (!OpenKey(root, subKey, Access(), key)) return 0;
        DWORD size = 0;
        if (RegQueryValueExW(key.get(), nullptr, nullptr, nullptr, nullptr, &size) == ERROR_SUCCESS && size != 0)
            return -1;
        wchar_t name[kNameChars];
        DWORD length = kNameChars;
        LSTATUS status = RegEnumKeyExW(key.get(), 0, name, &length, nullptr, nullptr, nullptr, nullptr);
        if (status == ERROR_SUCCESS || status == ERROR_MORE_DATA) return -1;
        length = kNameChars;
        status = RegEnumValueW(key.get(), 0, name, &length, nullptr, nullptr, nullptr, nullptr);
        if (status == ERROR_SUCCESS || status == ERROR_MORE_DATA) return -1;
    }
    DeleteSingleKey(root, subKey);
    return 0;
}

void DeleteSingleKey(HKEY root, const wchar_t* subKey)
{
    DeleteRegistryKey(root, subKey, registryViewFlag);
}
