#include "associate/applier.h"

#include <windows.h>
#include <shlobj.h>

#include <algorithm>
#include <atomic>
#include <thread>
#include <cwchar>
#include <unordered_map>
#include <unordered_set>

#include "app/context.h"
#include "associate/verbs.h"
#include "catalogue/discovery.h"
#include "host/zeltrane.h"
#include "registry/executable_types.h"
#include "registry/file_type_class.h"
#include "registry/player_keys.h"
#include "registry/primitives.h"
#include "resource.h"

namespace {

constexpr int kFolderVerbNameChars = 512;

// The verbs of an ordinary type, in the order they are written.
std::vector<ClassVerb> VerbsToWrite(const AssociationContext& c)
{
    std::vector<ClassVerb> verbs{{L"Open", c.openCommand ? c.openCommand : kTailAddOpen, c.openVerbName}};
    if (c.addPlayChecked) verbs.push_back({L"Play", kTailAddOpen, c.playVerbName});
    if (c.addOnlyChecked) verbs.push_back({L"Add", kTailAdd, c.addVerbName});
    if (c.newPlayChecked) verbs.push_back({L"OpenNew", kTailOpen, c.openNewVerbName});
    if (c.openParentChecked) verbs.push_back({L"OpenCurrentFolder", kTailAddOpenParent, c.openParentVerbName});
    return verbs;
}

// `"<client>" "/open" "<placeholder>" "/play"`, the command of the audio-CD
// handler (%L) and of the folder verb (%1).
std::wstring ClientCommand(const AssociationContext& c, const wchar_t* placeholder)
{
    return L"\"" + std::wstring(c.clientExePath) + L"\" \"/open\" \"" + placeholder + L"\" \"/play\"";
}

// The keys a run writes for every type, opened once for the whole run:
// the player's key, where the registrations the run changes are named
// (kUnfinishedValue: ".<ext>", "AudioCD" or "Folder") while the changes
// are under way, and the capability record in each view. A run knows a
// registration of the player's by two marks (a type by its capability
// value and its class, the folder verb by its command and its key), and no
// change sets or takes away both at once: a run stopped in between leaves
// the names, by which the next run that applies anything takes away what
// is left of a registration it no longer finds.
// Each is opened the first time it is needed, so that a run that changes
// nothing makes no key. The run also keeps the short forms of the icon
// paths it has made classes with.
class RunState {
public:
    ShortPathCache shortPaths;
    LSTATUS openError = ERROR_SUCCESS;  // why a key below could not be opened

    HKEY Player() { return Opened(player_, kPlayerKey, 0); }
    // The capability record in the 64-bit view, then in the 32-bit one;
    // where Windows has no views, one record and no second one (null).
    HKEY Capabilities(int second)
    {
        if (registryViewFlag == 0) return second ? nullptr : Opened(capabilities_[0], kFileAssociationsKey, 0);
        return Opened(capabilities_[second], kFileAssociationsKey, second ? KEY_WOW64_32KEY : KEY_WOW64_64KEY);
    }

private:
    HKEY Opened(RegKey& key, const wchar_t* path, REGSAM view)
    {
        if (!key) {
            const LSTATUS status = OpenOrCreateKey(HKEY_LOCAL_MACHINE, path, key, nullptr, view);
            if (status != ERROR_SUCCESS) openError = status;
        }
        return key.get();
    }
    RegKey player_;
    RegKey capabilities_[2];
};

const wchar_t kAudioCdName[] = L"AudioCD";
const wchar_t kFolderName[] = L"Folder";

std::wstring NameOf(const FileTypeEntry& entry)
{
    return entry.IsPseudoType() ? (entry.flags & FT_AUDIOCD ? kAudioCdName : kFolderName) : L"." + entry.extension;
}

// The entry a name stands for; false for a name that stands for none
// (damaged data).
bool EntryNamed(const std::wstring& name, FileTypeEntry& entry)
{
    if (name == kAudioCdName) {
        entry = FileTypeEntry(name, L"", L"", 0, FT_AUDIOCD);
    } else if (name == kFolderName) {
        entry = FileTypeEntry(name, L"", L"", 0, FT_FOLDER);
    } else if (name.size() > 1 && name[0] == L'.' && IsUsableExtension(name.substr(1))) {
        entry = FileTypeEntry(name.substr(1));
    } else {
        return false;
    }
    return true;
}

void RemoveAudioCdHandler()
{
    // Without a backup the player took over a command key that did not exist
    // before: there is no previous owner to give back, so the player's own
    // command goes and the key is left as it was found.
    if (RestoreValueBackup(HKEY_LOCAL_MACHINE, kAudioCdCommandKey, nullptr, NamesClient) != 0 &&
        CommandRunsClient(kAudioCdCommandKey))
        DeleteValue(HKEY_LOCAL_MACHINE, kAudioCdCommandKey, nullptr);
    DeleteKeyIfEmpty(HKEY_LOCAL_MACHINE, kAudioCdCommandKey);
}

// In the order that keeps the type found by the next run until only its
// last mark is left: the extension key given back, the capability value in
// the view discovery does not read, the class, and the value discovery
// reads last.
void RemoveFileType(RunState& keys, const std::wstring& extension)
{
    const std::wstring valueName = L"." + extension;
    RestoreExtensionKey(extension);
    if (HKEY second = keys.Capabilities(1)) DeleteRegistryValue(second, valueName.c_str());
    DeleteFileTypeClass(extension);
    if (HKEY first = keys.Capabilities(0)) DeleteRegistryValue(first, valueName.c_str());
}

// The commands are made in buffers of 1024 characters; a client path too
// long for them is refused before anything is touched.
bool CommandFits(const std::wstring& command)
{
    if (command.size() < static_cast<size_t>(kPathChars)) return true;
    OutputDebugStringW(L"Korvane: refused a command too long for its buffer\n");
    return false;
}

// The class of an ordinary type, all or nothing: what does not fit its
// buffers is not written at all, so that a capability value never names a
// class that could not be written.
bool MakeClassOf(RunState& run, const FileTypeEntry& entry, const AssociationContext& c, FileTypeClass& made)
{
    FileTypeEntry written = entry;
    UseLocalIconOnly(written);  // however the entry came to be
    return MakeFileTypeClass(written.extension, written.description, written.iconId, written.iconPath, VerbsToWrite(c),
                             made, &run.shortPaths);
}

bool CanWrite(RunState& run, const FileTypeEntry& entry, const AssociationContext& c)
{
    if (entry.flags & FT_AUDIOCD) return CommandFits(ClientCommand(c, L"%L"));
    if (entry.flags & FT_FOLDER) return CommandFits(ClientCommand(c, L"%1"));
    FileTypeClass made;
    return MakeClassOf(run, entry, c, made);
}

// The backup is in place before the command is replaced: where it could
// not be written, the command stays as it is.
LSTATUS WriteAudioCdHandler(const AssociationContext& c)
{
    const LSTATUS saved = SaveValueBackup(HKEY_LOCAL_MACHINE, kAudioCdCommandKey, nullptr, NamesClient);
    if (saved != ERROR_SUCCESS) return saved;
    return SetStringValue(HKEY_LOCAL_MACHINE, kAudioCdCommandKey, nullptr, ClientCommand(c, L"%L").c_str());
}

// Written over what is there, the command in place throughout, and then
// whatever else the key holds goes.
LSTATUS WriteFolderVerb(const AssociationContext& c)
{
    wchar_t displayName[kFolderVerbNameChars];
    HostLoadString(c.resourceModule, IDS_VERB_FOLDER, displayName, kFolderVerbNameChars);
    LSTATUS status = SetStringValue(HKEY_LOCAL_MACHINE, kFolderVerbKey, nullptr, displayName);
    if (status == ERROR_SUCCESS) status = SetStringValue(HKEY_LOCAL_MACHINE, kFolderCommandKey, nullptr, ClientCommand(c, L"%1").c_str());
    DeleteAllBut(HKEY_LOCAL_MACHINE, kFolderVerbKey, L"command");
    DeleteAllBut(HKEY_LOCAL_MACHINE, kFolderCommandKey, nullptr);
    return status;
}

// The capability record's keys in each view as the types are written:
// opened once, before, since the types are written from more than one
// thread.
struct Record {
    HKEY views[2];
    int count;      // 2, or 1 where Windows has no views
    LSTATUS error;  // why a view could not be opened
};

Record OpenRecord(RunState& keys)
{
    Record record{{keys.Capabilities(0), keys.Capabilities(1)}, registryViewFlag ? 2 : 1, ERROR_SUCCESS};
    record.error = keys.openError;
    return record;
}

// The class complete first, then the capability values, the one that
// discovery reads first: until then no run takes the type for the
// player's. A class or a 64-bit view that fails leaves the values after it
// alone.
LSTATUS WriteFileType(const Record& record, const FileTypeEntry& entry, const FileTypeClass& made)
{
    RestoreExtensionKey(entry.extension);
    LSTATUS status = WriteFileTypeClass(made);
    const std::wstring valueName = L"." + entry.extension, progId = MakeProgId(entry.extension);
    for (int view = 0; view < record.count && status == ERROR_SUCCESS; ++view)
        status = record.views[view] ? WriteStringValue(record.views[view], valueName.c_str(), progId.c_str()) : record.error;
    return status;
}

// One registration a run writes, made (or refused) once before anything
// is written.
struct Planned {
    const FileTypeEntry* entry;
    bool fits;          // its commands and class fit their buffers
    FileTypeClass made; // an ordinary type's class
};

LSTATUS Write(const Record& record, const Planned& planned, const AssociationContext& c)
{
    if (!planned.fits) return ERROR_FILENAME_EXCED_RANGE;
    // Stopped half way, the audio-CD handler is left either as it was or
    // with the backup in place and the command not yet replaced: either
    // way the same run, made again, ends as one whole run ends.
    if (planned.entry->flags & FT_AUDIOCD) return WriteAudioCdHandler(c);
    if (planned.entry->flags & FT_FOLDER) return WriteFolderVerb(c);
    return WriteFileType(record, *planned.entry, planned.made);
}

// Writes every planned registration. The types go to the registry from two
// threads where the machine has more than one core, which halves the time
// a deployment of thousands of types takes: each type's keys are its own,
// and each type is written in the order that keeps it found, or not found,
// as a whole.
std::vector<WriteOutcome> WriteAll(RunState& keys, const std::vector<Planned>& writes, const AssociationContext& c)
{
    const bool types = std::any_of(writes.begin(), writes.end(), [](const Planned& p) { return !p.entry->IsPseudoType(); });
    const Record record = types ? OpenRecord(keys) : Record{{nullptr, nullptr}, 0, ERROR_SUCCESS};
    std::vector<WriteOutcome> outcomes(writes.size());
    std::atomic<size_t> next{0};
    auto writeTypes = [&] {
        for (size_t i; (i = next++) < writes.size();) {
            if (writes[i].entry->IsPseudoType()) continue;
            try {
                outcomes[i] = {NameOf(*writes[i].entry), Write(record, writes[i], c)};
            } catch (const std::exception&) {
                outcomes[i] = {NameOf(*writes[i].entry), ERROR_OUTOFMEMORY};
            }
        }
    };
    std::thread helper;
    if (std::thread::hardware_concurrency() > 1 && writes.size() > 1) helper = std::thread(writeTypes);
    writeTypes();
    if (helper.joinable()) helper.join();
    for (size_t i = 0; i < writes.size(); ++i)
        if (writes[i].entry->IsPseudoType()) outcomes[i] = {NameOf(*writes[i].entry), Write(record, writes[i], c)};
    return outcomes;
}

// The one registration of the same kind: the audio-CD handler, the folder
// verb, or a type in any letter case.
std::wstring RegistrationKey(const FileTypeEntry& entry)
{
    std::wstring key = NameOf(entry);
    if (!entry.IsPseudoType()) CharLowerBuffW(&key[0], static_cast<DWORD>(key.size()));
    return key;
}

// Takes away every registration the player holds for one entry.
void RemoveAssociation(RunState& keys, const FileTypeEntry& entry)
{
    if (entry.flags & FT_AUDIOCD) {
        RemoveAudioCdHandler();
    } else if (entry.flags & FT_FOLDER) {
        DeleteKeyTree(HKEY_LOCAL_MACHINE, kFolderVerbKey);
    } else if (IsUsableExtension(entry.extension)) {
        RemoveFileType(keys, entry.extension);
    } else {
        OutputDebugStringW(L"Korvane: refused to remove an unusable extension\n");
    }
}

// The changes an earlier run was stopped in: a registration still found
// as the player's is handled by this run like any other; one found no
// more loses what is left of it now (and is written again if the run
// writes it). The names stay until this run's own take their place or it
// ends: stopped in between, it is still seen as stopped, and the next run
// finishes the same changes again. Whether there were any.
bool FinishUnfinishedChanges(RunState& keys)
{
    if (!ValueExists(HKEY_LOCAL_MACHINE, kPlayerKey, kUnfinishedValue)) return false;
    for (const std::wstring& name : UnfinishedNames()) {
        FileTypeEntry entry;
        if (EntryNamed(name, entry) && !IsTypeAssociated(entry)) RemoveAssociation(keys, entry);
    }
    return true;
}

// Values of the player's capability record, in either view, that stand
// for no registration of the player's (the class gone, or a type Windows
// runs, which the player never keeps), left by an older version, a run
// stopped before runs were named, or by hand: the record is the player's
// own, so they are taken away with whatever is left of their type. Types
// the run registers or takes away itself are not strays.
std::vector<FileTypeEntry> StrayValues(const std::unordered_set<std::wstring>& registeredNow,
                                       const std::unordered_map<std::wstring, bool>& written)
{
    std::vector<FileTypeEntry> strays;
    std::unordered_set<std::wstring> seen;
    for (const REGSAM view : {REGSAM(KEY_WOW64_64KEY), REGSAM(KEY_WOW64_32KEY)}) {
        if (registryViewFlag == 0 && view == KEY_WOW64_32KEY) break;  // one record where Windows has no views
        for (const std::wstring& name : ValueNames(HKEY_LOCAL_MACHINE, kFileAssociationsKey, registryViewFlag ? view : 0)) {
            FileTypeEntry entry;
            if (!EntryNamed(name, entry) || entry.IsPseudoType()) continue;
            const std::wstring key = RegistrationKey(entry);
            if (registeredNow.count(key) || written.count(key) || !seen.insert(key).second) continue;
            if (!WindowsRunsType(entry.extension) && IsTypeAssociated(entry)) continue;
            OutputDebugStringW(L"Korvane: a capability value that stands for no registration is taken away\n");
            strays.push_back(std::move(entry));
        }
    }
    return strays;
}

// Names every registration the run is about to change, in one value, before
// the first change: 0, or why it could not be written (then nothing is
// changed, since a stop could not be finished by the next run).
LSTATUS NameChanges(RunState& keys, const std::vector<std::wstring>& names)
{
    std::wstring list;
    for (const std::wstring& name : names) list += name + L'\0';
    list += L'\0';
    HKEY player = keys.Player();
    if (!player) return keys.openError;
    const size_t bytes = list.size() * sizeof(wchar_t);
    return bytes > MAXDWORD ? ERROR_INVALID_DATA
                            : SetRegistryValue(player, kUnfinishedValue, REG_MULTI_SZ, list.data(), static_cast<DWORD>(bytes));
}

} // namespace

std::vector<WriteOutcome> ApplyAssociations(const FileTypeList& removeList, const FileTypeList& writeList,
                                            const AssociationContext* context)
{
    RunState keys;
    const bool finishing = FinishUnfinishedChanges(keys);
    // What is written, made once; a registration written again is written
    // over, never removed first: a run stopped in between would lose what
    // the user kept.
    std::vector<Planned> writes;
    std::unordered_map<std::wstring, bool> written;  // by RegistrationKey: whether it fits
    for (const FileTypeEntry& entry : writeList) {
        if (!(entry.flags & FT_ASSOCIATED)) continue;
        Planned planned{&entry, false, {}};
        planned.fits = entry.IsPseudoType() ? CanWrite(keys, entry, *context) : MakeClassOf(keys, entry, *context, planned.made);
        written[RegistrationKey(entry)] |= planned.fits;
        writes.push_back(std::move(planned));
    }
    std::vector<const FileTypeEntry*> removals;
    std::vector<std::wstring> names;
    std::unordered_set<std::wstring> registeredNow;  // by RegistrationKey
    for (const FileTypeEntry& entry : removeList) {
        const auto again = written.find(RegistrationKey(entry));
        registeredNow.insert(RegistrationKey(entry));
        if (again != written.end() && again->second) continue;
        removals.push_back(&entry);
        names.push_back(NameOf(entry));
    }
    // Named: what is taken away and what is new. A registration written
    // again over itself keeps both its marks all the way (nothing is
    // removed first), so a stop leaves it found, and the next run takes
    // the names for types on their way in or out. The audio-CD handler
    // new to the player is named too: a stop may leave the command key it
    // made, or the backup it placed, and the next run may be one with its
    // box unticked, which takes them away only by the name.
    for (const Planned& planned : writes)
        if (!registeredNow.count(RegistrationKey(*planned.entry))) names.push_back(NameOf(*planned.entry));
    const std::vector<FileTypeEntry> strays = StrayValues(registeredNow, written);
    for (const FileTypeEntry& entry : strays) {
        removals.push_back(&entry);
        names.push_back(NameOf(entry));
    }

    std::vector<WriteOutcome> outcomes;
    const LSTATUS named = names.empty() ? ERROR_SUCCESS : NameChanges(keys, names);
    if (named == ERROR_SUCCESS) {
        for (const FileTypeEntry* entry : removals) RemoveAssociation(keys, *entry);
        outcomes = WriteAll(keys, writes, *context);
        // Only once every change is made: a run stopped before finds them named.
        if (!names.empty() || finishing)
            if (HKEY player = keys.Player()) DeleteRegistryValue(player, kUnfinishedValue);
    } else {
        for (const Planned& planned : writes) outcomes.push_back({NameOf(*planned.entry), named});
    }
    SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_IDLIST, nullptr, nullptr);
    return outcomes;
}
