// Names of the player's own registry keys and of the marks it leaves.
#ifndef KORVANE_REGISTRY_PLAYER_KEYS_H
#define KORVANE_REGISTRY_PLAYER_KEYS_H

inline constexpr wchar_t kProductWord[] = L"Korvane";
inline constexpr wchar_t kPlayerKey[] = L"Software\\Ostrafen\\Korvane Player";
inline constexpr wchar_t kCapabilitiesKey[] = L"Software\\Ostrafen\\Korvane Player\\Capabilities";
inline constexpr wchar_t kFileAssociationsKey[] = L"Software\\Ostrafen\\Korvane Player\\Capabilities\\FileAssociations";
inline constexpr wchar_t kRegisteredApplicationsKey[] = L"Software\\RegisteredApplications";
inline constexpr wchar_t kAudioCdCommandKey[] = L"AudioCD\\shell\\play\\command";
inline constexpr wchar_t kFolderVerbKey[] = L"Folder\\shell\\KorvaneOpen";
inline constexpr wchar_t kFolderCommandKey[] = L"Folder\\shell\\KorvaneOpen\\command";
inline constexpr wchar_t kClientExeName[] = L"Tovrix.exe";
inline constexpr wchar_t kApplicationName[] = L"Korvane Player";
// In kPlayerKey while a run changes a registration: its name (".mp3",
// "AudioCD" or "Folder"). Left there, it says a run was stopped in that
// change.
inline constexpr wchar_t kUnfinishedValue[] = L"Unfinished";

#endif
