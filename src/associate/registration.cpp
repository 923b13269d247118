#include "associate/registration.h"

#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>

#include <algorithm>
#include <cwchar>

#include "app/context.h"
#include "app/texts.h"
#include "associate/applier.h"
#include "associate/default_apps.h"
#include "associate/verbs.h"
#include "catalogue/discovery.h"
#include "catalogue/file_types.h"
#include "catalogue/merge.h"
#include "registry/player_keys.h"
#include "registry/primitives.h"
#include "resource.h"
#include "settings/type_store.h"
#include "ui/file_types_dialog.h"
#include "ui/main_dialog.h"

namespace {

const FileTypeEntry kAudioCdEntry(L"AudioCD", L"", L"", 0, FT_AUDIOCD | FT_ASSOCIATED);
const FileTypeEntry kFolderEntry(L"Folder", L"", L"", 0, FT_FOLDER | FT_ASSOCIATED);

bool HandlerIsOurs(const FileTypeEntry& handler)
{
    FileTypeEntry probe(handler.extension, L"", L"", 0, handler.flags & ~FT_ASSOCIATED);
    return IsTypeAssociated(probe);
}

// Fills g_fileTypes for the dialogs and returns what is the player's now:
// what applying may remove. stored gets the types the settings file keeps.
FileTypeList BuildCatalogue(FileTypeList& stored)
{
    FileTypeList current;
    DiscoverAssociatedTypes(current);
    FileTypeList working;
    AppendBuiltInTypes(working);
    LoadStoredTypes(settingsPath, stored);
    // Stored types first, then what is ours now: the associated types keep
    // their tick and show what the registry holds.
    MergeFileTypes(working, stored);
    MergeFileTypes(working, current);
    g_fileTypes = working;

    associationContext.audioCdSelected = HandlerIsOurs(kAudioCdEntry) ? 1 : 0;
    associationContext.folderSelected = HandlerIsOurs(kFolderEntry) ? 1 : 0;
    AddCurrentHandlers(current);
    return current;
}

// The two dialogs, back and forth; 1 when the user confirmed the types,
// else the exit code of the run.
INT_PTR RunDialogs()
{
    const HMODULE resources = GetResourceModule();
    for (;;) {
        INT_PTR result = DialogBoxParamW(resources, MAKEINTRESOURCEW(IDD_MAIN), nullptr, MainDialogProc, 0);
        if (result != 1) return result;
        associationContext.openCommand = OpenCommandForExecMethod(associationContext.execMethod);
        result = DialogBoxParamW(resources, MAKEINTRESOURCEW(IDD_FILETYPES), nullptr, FileTypesDialogProc, 0);
        if (result != 2) return result;
    }
}

// The registry work of a registration: g_fileTypes as ticked, and the
// handlers as chosen.
void Apply(const FileTypeList& current)
{
    WriteDefaultProgramsRecord();
    if (associationContext.audioCdSelected) g_fileTypes.push_back(kAudioCdEntry);
    if (associationContext.folderSelected) g_fileTypes.push_back(kFolderEntry);
    ApplyAssociations(current, g_fileTypes, &associationContext);
    g_fileTypes.clear();
    SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_IDLIST, nullptr, nullptr);
}

} // namespace

void AddCurrentHandlers(FileTypeList& current)
{
    // A backup of ours left beside another program's command is the
    // player's to tidy up too: removing the handler drops it.
    if (HandlerIsOurs(kAudioCdEntry) || ValueExists(HKEY_LOCAL_MACHINE, kAudioCdCommandKey, kBackupValueName))
        current.push_back(kAudioCdEntry);
    if (HandlerIsOurs(kFolderEntry)) current.push_back(kFolderEntry);
}

void WriteDefaultProgramsRecord()
{
    SetStringValueAllViews(HKEY_LOCAL_MACHINE, kRegisteredApplicationsKey, kApplicationName, kCapabilitiesKey);
    SetStringValueAllViews(HKEY_LOCAL_MACHINE, kPlayerKey, L"LocalizedString", kApplicationName);
    SetStringValueAllViews(HKEY_LOCAL_MACHINE, kCapabilitiesKey, L"ApplicationDescription", kApplicationName);
    SetStringValueAllViews(HKEY_LOCAL_MACHINE, kCapabilitiesKey, L"ApplicationName", kApplicationName);
}

// Every type that the settings file stores is ticked.
void TickStoredTypes(const FileTypeList& stored)
{
    for (FileTypeEntry& entry : g_fileTypes)
        if (std::any_of(stored.begin(), stored.end(),
                        [&](const FileTypeEntry& s) { return _wcsicmp(s.extension.c_str(), entry.extension.c_str()) == 0; }))
            entry.flags |= FT_ASSOCIATED;
}

int RunRegistration()
{
    // The list view and image lists of the dialogs.
    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_LISTVIEW_CLASSES | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);

    LoadVerbDisplayNames();
    FileTypeList stored;
    const FileTypeList current = BuildCatalogue(stored);
    const INT_PTR result = RunDialogs();
    if (result != 1) return static_cast<int>(result);
    // The user's types are kept first: a run stopped while it writes the
    // registry leaves them stored for the next one.
    SaveStoredTypes(settingsPath, g_fileTypes);
    Apply(current);
    // Only the user may make the player the default: Windows' own page,
    // where they do it, comes last, once everything it shows is written.
    if (associationContext.openDefaultApps > 0) OpenDefaultAppsPage();
    return 1;
}

int RunSilentRegistration()
{
    LoadVerbDisplayNames();
    FileTypeList stored;
    const FileTypeList current = BuildCatalogue(stored);
    TickStoredTypes(stored);
    associationContext.openCommand = OpenCommandForExecMethod(associationContext.execMethod);
    Apply(current);
    return 1;
}
