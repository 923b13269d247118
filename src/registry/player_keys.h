// Names of the player's own registry keys and of the marks it leaves.
#ifndef KORVANE_REGISTRY_PLAYER_KEYS_H
#define KORVANE_REGISTRY_PLAYER_KEYS_H

#include <string>

inline constexpr wchar_t kProductWord[] = L"Korvane";
inline constexpr wchar_t kPlayerKey[] = L"Software\\Ostrafen\\Korvane Player";
inline constexpr wchar_t kCapabilitiesKey[] = L"Software\\Ostrafen\\Korvane Player\\Capabilities";
inline constexpr wchar_t kFileAssociationsKey[] = L"Software\\Ostrafen\\Korvane Player\\Capabilities\\FileAssociations";
inline constexpr wchar_t kRegisteredApplicationsKey[] = L"Software\\RegisteredApplications";
// The machine's own classes, below HKEY_LOCAL_MACHINE. What the player
// registers is written, deleted and read back only here: the merged
// HKEY_CLASSES_ROOT would send a write to a user's own key of the same name
// in HKCU\Software\Classes, taking a machine-wide registration into one
// user's hive. Only "what does a double-click open for this user" reads
// the merged view.
inline constexpr wchar_t kClassesKey[] = L"Software\\Classes\\";
inline std::wstring ClassesKey(const std::wstring& name) { return kClassesKey + name; }
inline constexpr wchar_t kAudioCdVerbKey[] = L"Software\\Classes\\AudioCD\\shell\\play";
inline constexpr wchar_t kAudioCdCommandKey[] = L"Software\\Classes\\AudioCD\\shell\\play\\command";
inline constexpr wchar_t kFolderVerbKey[] = L"Software\\Classes\\Folder\\shell\\KorvaneOpen";
inline constexpr wchar_t kFolderCommandKey[] = L"Software\\Classes\\Folder\\shell\\KorvaneOpen\\command";
inline constexpr wchar_t kClientExeName[] = L"Tovrix.exe";
inline constexpr wchar_t kApplicationName[] = L"Korvane Player";
// In kPlayerKey while a run changes a registration: its name (".mp3",
// "AudioCD" or "Folder"). Left there, it says a run was stopped in that
// change.
inline constexpr wchar_t kUnfinishedValue[] = L"Unfinished";

#endif
