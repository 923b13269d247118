// Registry primitives: each opens or creates one key, does one thing to it
// and closes it again. They return 0 or -1 (QueryStringValue a boolean),
// never throw, and keep no state; the registry view comes from
// registryViewFlag. A null value name means the key's default value.
#ifndef KORVANE_REGISTRY_PRIMITIVES_H
#define KORVANE_REGISTRY_PRIMITIVES_H

#include <windows.h>

#include <atomic>
#include <functional>

#include "registry/handles.h"
#include <string>
#include <vector>

// The value that keeps a value's previous data, in the same key.
extern const wchar_t kBackupValueName[];

// Every change the program makes to the registry goes through these four.
// A test may stop them after some number of changes, as a run killed at
// that moment stops: g_registryChangesLeft more are made (negative: no
// limit), the rest fail with ERROR_CANCELLED; every change made counts in
// g_registryChanges. A key opened or created counts as a change.
extern std::atomic<long> g_registryChangesLeft;
extern std::atomic<unsigned long> g_registryChanges;
LSTATUS SetRegistryValue(HKEY key, const wchar_t* valueName, DWORD type, const void* data, DWORD size);
LSTATUS DeleteRegistryValue(HKEY key, const wchar_t* valueName);
LSTATUS CreateRegistryKey(HKEY root, const wchar_t* subKey, REGSAM access, RegKey& key, DWORD* disposition = nullptr);
LSTATUS DeleteRegistryKey(HKEY root, const wchar_t* subKey, REGSAM view);

// The access every primitive opens keys with: registryAccessRights and the
// view flag.
REGSAM RegistryAccess();

// A value's raw data and type. The buffer carries two spare zero bytes, so
// that reading it as text always ends inside the buffer, whatever the data
// (odd byte count, no terminating NUL).
struct RegistryValue {
    DWORD type = REG_NONE;
    DWORD size = 0;
    std::vector<BYTE> bytes;

    // The data up to its first NUL, read as UTF-16 whatever the type.
    std::wstring AsText() const;
    // The texts of a REG_MULTI_SZ list, up to its empty one (or the data's
    // end); as AsText, whatever the type.
    std::vector<std::wstring> AsTexts() const;
};

// Reads a value of an open key. False when the value is missing or no
// buffer could be had; nothing is then read from or compared against it.
bool ReadRawValue(HKEY key, const wchar_t* valueName, RegistryValue& value);

// The same for a value of root\subKey in the given view (0: the view of
// the other primitives).
bool ReadValue(HKEY root, const wchar_t* subKey, const wchar_t* valueName, RegistryValue& value, REGSAM view = 0);

// The names of a key's values or sub-keys in registry order, in the given
// view (0: the view of the other primitives); empty when the key does not
// open. A value name of 256 characters or more (no type of the player's
// has one) is passed over; the walk goes on.
std::vector<std::wstring> ValueNames(HKEY root, const wchar_t* subKey, REGSAM view = 0);
std::vector<std::wstring> SubKeyNames(HKEY root, const wchar_t* subKey, REGSAM view = 0);

// Opens subKey, creating it where it is missing, for the caller to write
// several things below it, in the given view (0: the view of the other
// primitives); created says whether it was made now. The system's error
// when it can be neither opened nor created.
LSTATUS OpenOrCreateKey(HKEY root, const wchar_t* subKey, RegKey& key, bool* created = nullptr, REGSAM view = 0);

// Writes data as REG_SZ, its terminating NUL included, into an open key;
// data null writes nothing. The system's error, or 0.
LSTATUS WriteStringValue(HKEY key, const wchar_t* valueName, const wchar_t* data);

// Creates subKey if needed and writes data as REG_SZ (the terminating NUL
// included); data null only makes sure the key exists. 0, or the system's
// error where the key cannot be created or the value not written.
LSTATUS SetStringValue(HKEY root, const wchar_t* subKey, const wchar_t* valueName, const wchar_t* data);

// As SetStringValue in the 64-bit and then the 32-bit view (once in the
// default view when the view flag is 0). A failing 64-bit view ends it
// with its error before the 32-bit view is touched.
LSTATUS SetStringValueAllViews(HKEY root, const wchar_t* subKey, const wchar_t* valueName, const wchar_t* data);

// Deletes the value in both views; missing keys and values are no error.
// Always 0.
int DeleteValueAllViews(HKEY root, const wchar_t* subKey, const wchar_t* valueName);

// Deletes one value in the given view (0: the view of the other
// primitives); a missing key or value is no error. Always 0.
int DeleteValue(HKEY root, const wchar_t* subKey, const wchar_t* valueName, REGSAM view = 0);

// Empties a key but for its default value and one sub-key (keptSubKey, in
// any letter case; null keeps none): every named value and every other
// sub-key with everything below it goes. A missing key is no error.
void DeleteAllBut(HKEY root, const wchar_t* subKey, const wchar_t* keptSubKey);

// True when a REG_SZ value was read: text then holds it up to its first NUL
// (or its end). On false text is left as it was.
bool QueryStringValue(HKEY root, const wchar_t* subKey, const wchar_t* valueName, std::wstring& text);

// True when the key opens in the current view.
bool KeyExists(HKEY root, const wchar_t* subKey);

// The same two for keys that are not the player's to change, opened for
// reading only: keys the system guards against writing (a user's choice,
// classes of Windows itself) open so too. The text is that of a REG_SZ or
// REG_EXPAND_SZ value, as the shell reads both; false, text untouched, for
// any other.
bool QueryStringValueToRead(HKEY root, const wchar_t* subKey, const wchar_t* valueName, std::wstring& text);
bool KeyExistsToRead(HKEY root, const wchar_t* subKey);

// True when the key holds valueName, of whatever type and size.
bool ValueExists(HKEY root, const wchar_t* subKey, const wchar_t* valueName);

// Tells whether a value's text is the caller's own: the player's class on
// an extension key, a command that runs the client.
using OwnText = std::function<bool(const std::wstring& text)>;

// Who holds a value now. Nobody: it is missing, or an empty REG_SZ (how a
// backup says that nothing was there). Own: its text (REG_SZ or
// REG_EXPAND_SZ) passes the caller's test. Other: anything else, data of
// any type included. The one rule for a current value and a backup alike.
enum class ValueHolder { Nobody, Own, Other };
ValueHolder HolderOfData(const RegistryValue& value, const OwnText& isOwn);
ValueHolder HolderOf(HKEY key, const wchar_t* valueName, const OwnText& isOwn);
// The same for a value of root\subKey; a key that does not open holds
// nothing.
ValueHolder HolderOf(HKEY root, const wchar_t* subKey, const wchar_t* valueName, const OwnText& isOwn);

// Keeps in kBackupValueName the owner that valueName is to go back to
// before the caller takes valueName over: another program's value replaces
// any older backup (the newest owner is the one to give back); nobody's
// value needs no backup, as a missing key needs none, and leaves a backup
// of another owner as it is; the caller's own value is never saved. A
// backup that holds the caller's own data (an older version's leftover)
// keeps no earlier owner: nobody's value replaces it with the empty
// REG_SZ. 0 when the backup is in place or none is needed, else the
// registry's error.
LSTATUS SaveValueBackup(HKEY root, const wchar_t* subKey, const wchar_t* valueName, const OwnText& isOwn);

// Gives the backup back where valueName is still the caller's or nobody's:
// writes it with its own type, or deletes valueName when the backup names
// no earlier owner (the empty REG_SZ, or the caller's own data by isOwn),
// and only then deletes the backup. Where another program holds valueName
// now, that program keeps it and only the stale backup goes. -1 when the
// key holds no backup, -2 when it cannot be opened (valueName is then
// untouched); a backup that could not be given back stays where it is.
int RestoreValueBackup(HKEY root, const wchar_t* subKey, const wchar_t* valueName, const OwnText& isOwn);

// Deletes subKey with everything below it, deepest keys first. 0 when the
// key was opened (also if something below it could not be deleted), -1
// when it could not be opened.
int DeleteKeyTree(HKEY root, const wchar_t* subKey);

// Deletes subKey when it has no sub-key and no value (a default value of
// the empty text counts as a value). 0 when deleted or missing, -1 when the
// key is not empty.
int DeleteKeyIfEmpty(HKEY root, const wchar_t* subKey);

// Deletes one key without sub-keys in the view the other primitives use.
void DeleteSingleKey(HKEY root, const wchar_t* subKey);

#endif
