#include "associate/applier.h"

#include <windows.h>
#include <shlobj.h>

#include <algorithm>

#include "app/context.h"
#include "associate/verbs.h"
#include "catalogue/discovery.h"
#include "host/zeltrane.h"
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
// the player's key, where the registration a run is changing is named
// (kUnfinishedValue: ".<ext>", "AudioCD" or "Folder") while the change is
// under way, and the capability record in each view. A run knows a
// registration of the player's by two marks (a type by its capability
// value and its class, the folder verb by its command and its key), and no
// change sets or takes away both at once: a run stopped in between leaves
// the name, by which the next run that applies anything takes away what is
// left of a registration it no longer finds.
// Each is opened the first time it is needed, so that a run that changes
// nothing makes no key. The run also keeps the short forms of the icon
// paths it has made classes with.
class RunState {
public:
    ShortPathCache shortPaths;

    HKEY Player() { return Opened(player_, kPlayerKey, 0); }
    // The capability record in the 64-bit view, then in the 32-bit one;
    // where Windows has no views, one record and no second one (null).
    HKEY Capabilities(int second)
    {
        if (registryViewFlag == 0) return second ? nullptr : Opened(capabilities_[0], kFileAssociationsKey, 0);
        return Opened(capabilities_[second], kFileAssociationsKey, second ? KEY_WOW64_32KEY : KEY_WOW64_64KEY);
    }

private:
    static HKEY Opened(RegKey& key, const wchar_t* path, REGSAM view)
    {
        if (!key) OpenOrCreateKey(HKEY_LOCAL_MACHINE, path, key, nullptr, view);
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

template <typename Change>
void KeepNameWhile(RunState& keys, const FileTypeEntry& entry, Change change)
{
    WriteStringValue(keys.Player(), kUnfinishedValue, NameOf(entry).c_str());
    change();
    RegDeleteValueW(keys.Player(), kUnfinishedValue);
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
    if (HKEY second = keys.Capabilities(1)) RegDeleteValueW(second, valueName.c_str());
    DeleteFileTypeClass(extension);
    if (HKEY first = keys.Capabilities(0)) RegDeleteValueW(first, valueName.c_str());
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

void WriteAudioCdHandler(const AssociationContext& c)
{
    // The backup is in place before the command is replaced.
    SaveValueBackup(HKEY_LOCAL_MACHINE, kAudioCdCommandKey, nullptr, NamesClient);
    SetStringValue(HKEY_LOCAL_MACHINE, kAudioCdCommandKey, nullptr, ClientCommand(c, L"%L").c_str());
}

// Written over what is there, the command in place throughout, and then
// whatever else the key holds goes.
void WriteFolderVerb(const AssociationContext& c)
{
    wchar_t displayName[kFolderVerbNameChars];
    HostLoadString(c.resourceModule, IDS_VERB_FOLDER, displayName, kFolderVerbNameChars);
    SetStringValue(HKEY_LOCAL_MACHINE, kFolderVerbKey, nullptr, displayName);
    SetStringValue(HKEY_LOCAL_MACHINE, kFolderCommandKey, nullptr, ClientCommand(c, L"%1").c_str());
    DeleteAllBut(HKEY_LOCAL_MACHINE, kFolderVerbKey, L"command");
    DeleteAllBut(HKEY_LOCAL_MACHINE, kFolderCommandKey, nullptr);
}

// The class complete first, then the capability values, the one that
// discovery reads first: until then no run takes the type for the
// player's. A failing 64-bit view leaves the 32-bit one alone.
void WriteFileType(RunState& keys, const FileTypeEntry& entry, const FileTypeClass& made)
{
    RestoreExtensionKey(entry.extension);
    WriteFileTypeClass(made);
    const std::wstring valueName = L"." + entry.extension, progId = MakeProgId(entry.extension);
    for (int second = 0; second < 2; ++second) {
        HKEY capabilities = keys.Capabilities(second);
        if (!capabilities) break;
        WriteStringValue(capabilities, valueName.c_str(), progId.c_str());
    }
}

void Write(RunState& keys, const FileTypeEntry& entry, const AssociationContext& c)
{
    if (entry.flags & FT_AUDIOCD) {
        // Stopped half way, it is left either as it was or with the backup
        // in place and the command not yet replaced: either way the same
        // run, made again, ends as one whole run ends.
        if (CanWrite(keys, entry, c)) WriteAudioCdHandler(c);
    } else if (entry.flags & FT_FOLDER) {
        if (CanWrite(keys, entry, c)) KeepNameWhile(keys, entry, [&] { WriteFolderVerb(c); });
    } else {
        FileTypeClass made;
        if (MakeClassOf(keys, entry, c, made)) KeepNameWhile(keys, entry, [&] { WriteFileType(keys, entry, made); });
    }
}

bool SameRegistration(const FileTypeEntry& a, const FileTypeEntry& b)
{
    const uint32_t pseudo = FT_AUDIOCD | FT_FOLDER;
    if ((a.flags & pseudo) || (b.flags & pseudo)) return (a.flags & pseudo) == (b.flags & pseudo);
    return _wcsicmp(a.extension.c_str(), b.extension.c_str()) == 0;
}

// A registration that is written again is written over, never removed
// first: a run stopped in between would lose what the user kept.
bool WrittenAgain(RunState& run, const FileTypeEntry& entry, const FileTypeList& writeList, const AssociationContext& c)
{
    return std::any_of(writeList.begin(), writeList.end(), [&](const FileTypeEntry& w) {
        return (w.flags & FT_ASSOCIATED) && SameRegistration(w, entry) && CanWrite(run, w, c);
    });
}

// Takes away every registration the player holds for one entry; its name
// stays in the player's key while the removal is under way.
void RemoveAssociation(RunState& keys, const FileTypeEntry& entry)
{
    if (!entry.IsPseudoType() && !IsUsableExtension(entry.extension)) {
        OutputDebugStringW(L"Korvane: refused to remove an unusable extension\n");
        return;
    }
    KeepNameWhile(keys, entry, [&] {
        if (entry.flags & FT_AUDIOCD) {
            RemoveAudioCdHandler();
        } else if (entry.flags & FT_FOLDER) {
            DeleteKeyTree(HKEY_LOCAL_MACHINE, kFolderVerbKey);
        } else {
            RemoveFileType(keys, entry.extension);
        }
    });
}

// The change an earlier run was stopped in: a registration still found as
// the player's is handled by this run like any other; one found no more
// loses what is left of it now (and is written again if the run writes it).
void FinishUnfinishedChange(RunState& keys)
{
    if (!ValueExists(HKEY_LOCAL_MACHINE, kPlayerKey, kUnfinishedValue)) return;
    std::wstring name;
    QueryStringValue(HKEY_LOCAL_MACHINE, kPlayerKey, kUnfinishedValue, name);
    FileTypeEntry entry;
    if (EntryNamed(name, entry) && !IsTypeAssociated(entry)) RemoveAssociation(keys, entry);
    RegDeleteValueW(keys.Player(), kUnfinishedValue);
}

} // namespace

void ApplyAssociations(const FileTypeList& removeList, const FileTypeList& writeList,
                       const AssociationContext* context)
{
    RunState keys;
    FinishUnfinishedChange(keys);
    for (const FileTypeEntry& entry : removeList)
        if (!WrittenAgain(keys, entry, writeList, *context)) RemoveAssociation(keys, entry);
    for (const FileTypeEntry& entry : writeList)
        if (entry.flags & FT_ASSOCIATED) Write(keys, entry, *context);
    SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_IDLIST, nullptr, nullptr);
}
