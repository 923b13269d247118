#include "associate/applier.h"

#include <windows.h>
#include <shlobj.h>

#include "associate/verbs.h"
#include "catalogue/discovery.h"
#include "host/zeltrane.h"
#include "registry/file_type_class.h"
#include "registry/player_keys.h"
#include "registry/primitives.h"
#include "resource.h"

namespace {

constexpr int kFolderVerbNameChars = 512;

struct Verb {
    const wchar_t* key;
    const wchar_t* tail;
    const wchar_t* displayName;
};

// The verbs of an ordinary type, in the order they are written.
std::vector<Verb> VerbsToWrite(const AssociationContext& c)
{
    std::vector<Verb> verbs{{L"Open", c.openCommand ? c.openCommand : kTailAddOpen, c.openVerbName}};
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

void RemoveAudioCdHandler()
{
    // Without a backup the player took over a command key that did not exist
    // before: there is no previous owner to give back, so the player's own
    // command goes and the key is left as it was found.
    if (RestoreValueBackup(HKEY_CLASSES_ROOT, kAudioCdCommandKey, nullptr, L"", NamesClient) != 0 &&
        CommandRunsClient(kAudioCdCommandKey))
        DeleteValue(HKEY_CLASSES_ROOT, kAudioCdCommandKey, nullptr);
    DeleteKeyIfEmpty(HKEY_CLASSES_ROOT, kAudioCdCommandKey);
}

// The commands are made in buffers of 1024 characters; a client path too
// long for them is refused before anything is touched.
bool CommandFits(const std::wstring& command)
{
    if (command.size() < static_cast<size_t>(kPathChars)) return true;
    OutputDebugStringW(L"Korvane: refused a command too long for its buffer\n");
    return false;
}

void WriteAudioCdHandler(const AssociationContext& c)
{
    const std::wstring command = ClientCommand(c, L"%L");
    if (!CommandFits(command)) return;
    // The backup is in place before the command is replaced.
    SaveValueBackup(HKEY_CLASSES_ROOT, kAudioCdCommandKey, nullptr, NamesClient);
    SetStringValue(HKEY_CLASSES_ROOT, kAudioCdCommandKey, nullptr, command.c_str());
}

void WriteFolderVerb(const AssociationContext& c)
{
    const std::wstring command = ClientCommand(c, L"%1");
    if (!CommandFits(command)) return;
    DeleteKeyTree(HKEY_CLASSES_ROOT, kFolderVerbKey);
    wchar_t displayName[kFolderVerbNameChars];
    HostLoadString(c.resourceModule, IDS_VERB_FOLDER, displayName, kFolderVerbNameChars);
    SetStringValue(HKEY_CLASSES_ROOT, kFolderVerbKey, nullptr, displayName);
    SetStringValue(HKEY_CLASSES_ROOT, kFolderCommandKey, nullptr, command.c_str());
}

void WriteFileType(const FileTypeEntry& entry, const AssociationContext& c)
{
    // All or nothing: a capability value must never name a class that
    // could not be written.
    const std::vector<Verb> verbs = VerbsToWrite(c);
    for (const Verb& verb : verbs) {
        if (!FileTypeClassFits(verb.key, verb.tail, entry.extension, entry.iconId, entry.iconPath)) {
            OutputDebugStringW(L"Korvane: refused to register a type that does not fit its class\n");
            return;
        }
    }
    const std::wstring progId = MakeProgId(entry.extension);
    const std::wstring valueName = L"." + entry.extension;
    SetStringValueAllViews(HKEY_LOCAL_MACHINE, kFileAssociationsKey, valueName.c_str(), progId.c_str());
    // Rebuilt from nothing, so that verbs switched off since the last run go.
    DeleteFileTypeClass(entry.extension);
    RestoreExtensionKey(entry.extension);
    for (const Verb& verb : verbs) {
        WriteFileTypeClass(verb.key, verb.tail, verb.displayName, entry.description.c_str(), entry.extension,
                           entry.iconId, entry.iconPath);
    }
}

} // namespace

void RemoveAssociation(const FileTypeEntry& entry)
{
    if (entry.flags & FT_AUDIOCD) {
        RemoveAudioCdHandler();
    } else if (entry.flags & FT_FOLDER) {
        DeleteKeyTree(HKEY_CLASSES_ROOT, kFolderVerbKey);
    } else {
        if (!IsUsableExtension(entry.extension)) {
            OutputDebugStringW(L"Korvane: refused to remove an unusable extension\n");
            return;
        }
        const std::wstring valueName = L"." + entry.extension;
        DeleteValueAllViews(HKEY_LOCAL_MACHINE, kFileAssociationsKey, valueName.c_str());
        DeleteFileTypeClass(entry.extension);
        RestoreExtensionKey(entry.extension);
    }
}

void ApplyAssociations(const FileTypeList& removeList, const FileTypeList& writeList,
                       const AssociationContext* context)
{
    for (const FileTypeEntry& entry : removeList) RemoveAssociation(entry);
    for (const FileTypeEntry& entry : writeList) {
        if (!(entry.flags & FT_ASSOCIATED)) continue;
        if (entry.flags & FT_AUDIOCD) {
            WriteAudioCdHandler(*context);
        } else if (entry.flags & FT_FOLDER) {
            WriteFolderVerb(*context);
        } else {
            WriteFileType(entry, *context);
        }
    }
    SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_IDLIST, nullptr, nullptr);
}
