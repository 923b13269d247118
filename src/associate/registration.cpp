#include "associate/registration.h"

#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>

#include <algorithm>
#include <cwchar>

#include "app/context.h"
#include "app/texts.h"
#include "associate/default_apps.h"
#include "associate/verbs.h"
#include "catalogue/discovery.h"
#include "catalogue/merge.h"
#include "registry/player_keys.h"
#include "registry/primitives.h"
#include "resource.h"
#include "settings/preferences.h"
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

// False where this process's window station is not the one the signed-in
// user sees (a service's, session 0's): a dialog there waits for an answer
// nobody can give.
bool WindowsAreSeen()
{
    USEROBJECTFLAGS flags{};
    DWORD needed = 0;
    HWINSTA station = GetProcessWindowStation();
    return !station || !GetUserObjectInformationW(station, UOI_FLAGS, &flags, sizeof(flags), &needed) || (flags.dwFlags & WSF_VISIBLE);
}

} // namespace

FileTypeList BuildCatalogue(const StoredTypes& stored)
{
    FileTypeList current;
    DiscoverAssociatedTypes(current);
    FileTypeList working;
    AppendBuiltInTypes(working);
    // Stored types first, then what is ours now: the associated types keep
    // their tick and show what the registry holds. A type of ours that can
    // no longer be registered (one Windows runs) is not offered; applying
    // removes it.
    MergeFileTypes(working, stored.types);
    MergeFileTypes(working, current);
    g_fileTypes.clear();
    std::copy_if(working.begin(), working.end(), std::back_inserter(g_fileTypes),
                 [](const FileTypeEntry& e) { return IsRegistrableExtension(e.extension); });

    associationContext.audioCdSelected = HandlerIsOurs(kAudioCdEntry) ? 1 : 0;
    associationContext.folderSelected = HandlerIsOurs(kFolderEntry) ? 1 : 0;
    AddCurrentHandlers(current);
    return current;
}

std::vector<WriteOutcome> ApplyRegistration(const FileTypeList& current)
{
    std::vector<WriteOutcome> outcomes{{L"Default Programs", WriteDefaultProgramsRecord()}};
    if (associationContext.audioCdSelected) g_fileTypes.push_back(kAudioCdEntry);
    if (associationContext.folderSelected) g_fileTypes.push_back(kFolderEntry);
    const std::vector<WriteOutcome> written = ApplyAssociations(current, g_fileTypes, &associationContext);
    outcomes.insert(outcomes.end(), written.begin(), written.end());
    g_fileTypes.clear();
    SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_IDLIST, nullptr, nullptr);
    return outcomes;
}

void AddCurrentHandlers(FileTypeList& current)
{
    // A backup of ours left beside another program's command is the
    // player's to tidy up too: removing the handler drops it.
    if (HandlerIsOurs(kAudioCdEntry) || ValueExists(HKEY_LOCAL_MACHINE, kAudioCdCommandKey, kBackupValueName))
        current.push_back(kAudioCdEntry);
    if (HandlerIsOurs(kFolderEntry)) current.push_back(kFolderEntry);
}

LSTATUS WriteDefaultProgramsRecord()
{
    const struct { const wchar_t* key; const wchar_t* name; const wchar_t* data; } values[] = {
        {kRegisteredApplicationsKey, kApplicationName, kCapabilitiesKey},
        {kPlayerKey, L"LocalizedString", kApplicationName},
        {kCapabilitiesKey, L"ApplicationDescription", kApplicationName},
        {kCapabilitiesKey, L"ApplicationName", kApplicationName},
    };
    LSTATUS first = ERROR_SUCCESS;
    for (const auto& v : values) {
        const LSTATUS status = SetStringValueAllViews(HKEY_LOCAL_MACHINE, v.key, v.name, v.data);
        if (first == ERROR_SUCCESS) first = status;
    }
    return first;
}

int RunRegistration(const SettingsText& settings)
{
    if (!WindowsAreSeen()) return -1;
    // The list view and image lists of the dialogs.
    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_LISTVIEW_CLASSES | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);

    ReadSettings(settings);
    LoadVerbDisplayNames();
    const FileTypeList current = BuildCatalogue(LoadStoredTypes(settings));
    const INT_PTR result = RunDialogs();
    if (result != 1) return static_cast<int>(result);
    // The user's types are kept first: a run stopped while it writes the
    // registry leaves them stored for the next one.
    SaveStoredTypes(settingsPath, g_fileTypes);
    ApplyRegistration(current);
    // Only the user may make the player the default: Windows' own page,
    // where they do it, comes last, once everything it shows is written.
    if (associationContext.openDefaultApps > 0) OpenDefaultAppsPage();
    return 1;
}
