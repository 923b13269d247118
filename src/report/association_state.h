// What the registry and the settings file say about the player's file
// associations, read without changing anything, and what of it is stale
// or inconsistent.
#ifndef KORVANE_REPORT_ASSOCIATION_STATE_H
#define KORVANE_REPORT_ASSOCIATION_STATE_H

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "catalogue/double_click.h"

// A value as read: absent, or its type and its data (text for the string
// types, the bytes in hexadecimal for every other type).
struct ValueState {
    bool present = false;
    DWORD type = REG_NONE;
    std::wstring data;

    bool operator==(const ValueState& other) const
    {
        return present == other.present && type == other.type && data == other.data;
    }
};

// One value in the 64-bit and in the 32-bit view.
struct ViewedValue {
    ValueState view64;
    ValueState view32;
    bool Agree() const { return view64 == view32; }
};

struct VerbState {
    std::wstring name;
    std::wstring command;  // as written (REG_EXPAND_SZ unexpanded)
    std::wstring client;   // the program the command starts, as found
    // Empty where the report cannot judge: a bare program name that the
    // shell may find where the report does not look (App Paths).
    std::optional<bool> clientExists;
};

enum class Owner { None, Player, Other };

// Each a problem of the player's own making: any one makes the report's
// exit code 1.
enum class Finding {
    CapabilityViewsDiffer,
    ClassWithoutCapability,
    CapabilityWithoutClass,
    CapabilityNamesAnotherClass,
    StaleBackup,
    ClientMissing,
    ValuesDifferBetweenViews,
    NotARegisteredApplication,
    NoOpenVerb,
    RunStopped,
    OwnerClassMissing,
    WindowsRunsType,
};

enum class TypeStatus { Registered, ChosenForOther, Stale, NotRegistered };

struct TypeState {
    std::wstring extension;  // without the dot
    bool stored = false;     // listed in the settings file
    ViewedValue capability;
    bool classPresent = false;
    std::wstring description;
    ValueState icon;         // DefaultIcon as written
    bool iconLocal = false;  // on a local fixed drive: the only icon paths the tool opens
    bool iconFileExists = false;
    bool iconLoads = false;
    std::vector<VerbState> verbs;
    ValueState owner;        // the extension key's default value
    Owner ownerKind = Owner::None;
    ValueState backup;       // "Before Korvane" on the extension key
    DoubleClick doubleClick; // what a double-click opens, and the user's choice
    std::wstring doubleClickName;  // the name of the program behind that class, where one is known
    bool opensPlayer = false;
    std::vector<Finding> findings;
    TypeStatus status = TypeStatus::NotRegistered;
};

// A shell command the player may hold: the audio-CD play handler or the
// folder verb.
struct HandlerState {
    ValueState command;
    bool ours = false;       // it names the client
    std::optional<VerbState> verb;
    ValueState displayName;  // the folder verb's name
    ValueState backup;
    std::vector<Finding> findings;
};

struct NamedViewedValue {
    std::wstring key;
    std::wstring name;
    ViewedValue value;
};

struct SettingsFileState {
    std::wstring path;       // empty: none given
    bool found = false;
    bool readable = false;   // found and read whole: what "/Register /Silent" needs of it
    bool hasTypeList = false;
    size_t storedTypes = 0;
    std::vector<std::wstring> toDeploy;  // what "/Register /Silent" on the file would register
};

struct AssociationReport {
    SettingsFileState settings;
    std::vector<NamedViewedValue> defaultPrograms;
    std::vector<Finding> defaultProgramsFindings;
    HandlerState audioCd;
    HandlerState folder;
    ValueState unfinished;             // the change a stopped run left (kUnfinishedValue)
    std::vector<Finding> runFindings;  // RunStopped where it is there
    std::vector<TypeState> types;  // by extension, ignoring letter case

    bool Consistent() const;
    size_t Count(TypeStatus status) const;
    size_t OpeningWithPlayer() const;
};

// Reads everything; never writes. registryAccessRights must be KEY_READ.
AssociationReport ReadAssociationReport(const std::wstring& settingsFile);

// Each type "/Register /Silent" on the report's settings file registers
// that the report does not call registered (".ext").
std::vector<std::wstring> NotInPlace(const AssociationReport& report);

#endif
