// The dialogs as a user meets them: the real templates from the resource
// module, run on this thread and driven from a second one through their
// controls.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <functional>
#include <thread>

#include "app/context.h"
#include "catalogue/file_types.h"
#include "driver/dialog_driver.h"
#include "resource.h"
#include "support.h"
#include "ui/file_type_edit_dialog.h"
#include "ui/file_types_dialog.h"
#include "ui/icon_picker.h"
#include "ui/main_dialog.h"

namespace {

const DWORD kSelf = GetCurrentProcessId();

// Opens a dialog here while script drives it from another thread.
INT_PTR RunDriven(const std::function<INT_PTR()>& open, const std::function<void()>& script)
{
    std::thread driver(script);
    const INT_PTR result = open();
    driver.join();
    return result;
}

INT_PTR OpenDialog(int templateId, DLGPROC procedure, LPARAM parameter = 0)
{
    return DialogBoxParamW(GetResourceModule(), MAKEINTRESOURCEW(templateId), nullptr, procedure, parameter);
}

void AnswerCancelQuestion(bool yes)
{
    HWND question = WaitForDialog(kSelf, kMessageBoxMark);
    ASSERT_NE(question, nullptr);
    Press(question, yes ? IDYES : IDNO);
    WaitGone(question);
}

class Dialogs : public testing::Test {
protected:
    void SetUp() override
    {
        StartUpLikeTheTool();
        INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_LISTVIEW_CLASSES | ICC_STANDARD_CLASSES};
        InitCommonControlsEx(&controls);
        wcscpy_s(settingsPath, kPathChars, folder_.File(L"settings.ini").c_str());
    }
    ProcessStateGuard guard_;
    TempFolder folder_;
};

std::wstring Text(HWND dialog, int id)
{
    wchar_t text[kPathChars];
    GetDlgItemTextW(dialog, id, text, kPathChars);
    return text;
}

// --- Main dialog ---------------------------------------------------------------

TEST_F(Dialogs, MainDialogShowsTheExecutionMethod)
{
    const struct { int method; int button; } cases[] = {
        {0, IDC_EXEC_DOPEN}, {1, IDC_EXEC_ADD}, {2, IDC_EXEC_ADDOPEN}, {3, IDC_EXEC_OPEN},
        {4, IDC_EXEC_ADDOPENPARENT}, {9, IDC_EXEC_ADDOPEN},
    };
    const int buttons[] = {IDC_EXEC_DOPEN, IDC_EXEC_ADD, IDC_EXEC_ADDOPEN, IDC_EXEC_OPEN, IDC_EXEC_ADDOPENPARENT};
    for (const auto& c : cases) {
        associationContext.execMethod = c.method;
        RunDriven([] { return OpenDialog(IDD_MAIN, MainDialogProc); }, [&] {
            HWND main = WaitForDialog(kSelf, kMainDialogMark);
            ASSERT_NE(main, nullptr);
            for (int b : buttons) EXPECT_EQ(BoxChecked(main, b), b == c.button) << "method " << c.method << " button " << b;
            Press(main, IDCANCEL);
            AnswerCancelQuestion(true);
        });
    }
}

TEST_F(Dialogs, MainDialogConfirmCopiesAndSavesTheChoices)
{
    AssociationContext& c = associationContext;
    c.execMethod = 4;
    c.addPlayChecked = 0;
    c.addOnlyChecked = c.newPlayChecked = c.openParentChecked = 1;
    c.folderSelected = 1;
    c.audioCdSelected = 0;
    const INT_PTR result = RunDriven([] { return OpenDialog(IDD_MAIN, MainDialogProc); }, [] {
        HWND main = WaitForDialog(kSelf, kMainDialogMark);
        ASSERT_NE(main, nullptr);
        EXPECT_FALSE(BoxChecked(main, IDC_VERB_PLAY));
        EXPECT_TRUE(BoxChecked(main, IDC_VERB_ADD));
        EXPECT_TRUE(BoxChecked(main, IDC_FOLDER_VERB));
        EXPECT_FALSE(BoxChecked(main, IDC_AUDIOCD));
        Press(main, IDC_EXEC_OPEN);
        SetBox(main, IDC_VERB_PLAY, true);
        SetBox(main, IDC_VERB_ADD, false);
        SetBox(main, IDC_VERB_OPENNEW, false);
        SetBox(main, IDC_FOLDER_VERB, false);
        SetBox(main, IDC_AUDIOCD, true);
        Press(main, IDOK);
    });
    EXPECT_EQ(result, 1);
    EXPECT_EQ(c.execMethod, 3);
    EXPECT_EQ(c.addPlayChecked, 1);
    EXPECT_EQ(c.addOnlyChecked, 0);
    EXPECT_EQ(c.newPlayChecked, 0);
    EXPECT_EQ(c.openParentChecked, 1);
    EXPECT_EQ(c.folderSelected, 0);
    EXPECT_EQ(c.audioCdSelected, 1);
    EXPECT_EQ(IniString(settingsPath, L"Association", L"AddPlayChecked"), L"TRUE");
    EXPECT_EQ(IniString(settingsPath, L"Association", L"AddOnlyChecked"), L"FALSE");
    EXPECT_EQ(IniString(settingsPath, L"Association", L"NewPlayChecked"), L"FALSE");
    EXPECT_EQ(IniString(settingsPath, L"Preference", L"ExecMethod"), L"3");
    EXPECT_EQ(IniString(settingsPath, L"Association", L"AudioCdChecked"), kMissing);
}

TEST_F(Dialogs, MainDialogCancelAsksFirstAndLeaveButtonEndsWithTwo)
{
    associationContext.execMethod = 1;
    INT_PTR result = RunDriven([] { return OpenDialog(IDD_MAIN, MainDialogProc); }, [] {
        HWND main = WaitForDialog(kSelf, kMainDialogMark);
        ASSERT_NE(main, nullptr);
        Press(main, IDC_EXEC_DOPEN);
        Press(main, IDCANCEL);
        AnswerCancelQuestion(false);
        EXPECT_TRUE(IsWindowVisible(main));
        EXPECT_TRUE(BoxChecked(main, IDC_EXEC_DOPEN)) << "No keeps every choice on screen";
        Press(main, IDCANCEL);
        AnswerCancelQuestion(true);
    });
    EXPECT_EQ(result, 0);
    EXPECT_EQ(associationContext.execMethod, 1);
    EXPECT_EQ(GetFileAttributesW(settingsPath), INVALID_FILE_ATTRIBUTES) << "cancel saves nothing";

    result = RunDriven([] { return OpenDialog(IDD_MAIN, MainDialogProc); }, [] {
        HWND main = WaitForDialog(kSelf, kMainDialogMark);
        ASSERT_NE(main, nullptr);
        Press(main, IDC_OK_AND_LEAVE);
    });
    EXPECT_EQ(result, 2);
    EXPECT_EQ(IniString(settingsPath, L"Preference", L"ExecMethod"), L"1");
}

// --- File types dialog ---------------------------------------------------------

FileTypeList SomeTypes()
{
    return {{L"wav", L"Wave", resourceModulePath, -109, FT_ASSOCIATED},
            {L"mp3", L"Mpeg", resourceModulePath, -107, 0u},
            {L"ogg", L"Ogg", L"C:\\missing.dll", -3, 0u},
            {L"kvx", L"Own", BesideTests(L"testdata\\wav.ico"), 0, FT_ASSOCIATED}};
}

std::vector<std::wstring> ExtensionsOf(const FileTypeList& list)
{
    std::vector<std::wstring> names;
    for (const auto& e : list) names.push_back(e.extension + ((e.flags & FT_ASSOCIATED) ? L"+" : L"-"));
    return names;
}

TEST_F(Dialogs, FileTypesTicksBecomeTheAssociatedFlag)
{
    g_fileTypes = SomeTypes();
    const INT_PTR result = RunDriven([] { return OpenDialog(IDD_FILETYPES, FileTypesDialogProc); }, [] {
        HWND types = WaitForDialog(kSelf, kFileTypesDialogMark);
        ASSERT_NE(types, nullptr);
        HWND list = GetDlgItem(types, IDC_TYPE_LIST);
        ASSERT_EQ(ItemCount(list), 4);
        // Sorted by extension: kvx, mp3, ogg, wav.
        EXPECT_TRUE(ItemChecked(list, 0));
        EXPECT_FALSE(ItemChecked(list, 1));
        EXPECT_TRUE(ItemChecked(list, 3));
        ASSERT_EQ(SelectByTyping(types, list, L"mp"), 1);
        Key(list, VK_SPACE);
        ASSERT_EQ(SelectByTyping(types, list, L"wa"), 3);
        Key(list, VK_SPACE);
        Press(types, IDOK);
    });
    EXPECT_EQ(result, 1);
    EXPECT_EQ(ExtensionsOf(g_fileTypes), (std::vector<std::wstring>{L"kvx+", L"mp3+", L"ogg-", L"wav-"}));
    EXPECT_EQ(g_fileTypes[2].iconPath, L"C:\\missing.dll") << "an icon that does not load changes nothing";
}

TEST_F(Dialogs, FileTypesAddEditRemoveAndBack)
{
    g_fileTypes = SomeTypes();
    const INT_PTR result = RunDriven([] { return OpenDialog(IDD_FILETYPES, FileTypesDialogProc); }, [] {
        HWND types = WaitForDialog(kSelf, kFileTypesDialogMark);
        ASSERT_NE(types, nullptr);
        HWND list = GetDlgItem(types, IDC_TYPE_LIST);

        // Add, then cancel the edit dialog: nothing changes.
        Press(types, IDC_TYPE_ADD);
        HWND edit = WaitForDialog(kSelf, kEditDialogMark);
        ASSERT_NE(edit, nullptr);
        Press(edit, IDCANCEL);
        WaitGone(edit);
        EXPECT_EQ(ItemCount(list), 4);

        // Add a new type: OK only with an extension.
        Press(types, IDC_TYPE_ADD);
        edit = WaitForDialog(kSelf, kEditDialogMark);
        ASSERT_NE(edit, nullptr);
        EXPECT_FALSE(Enabled(edit, IDOK));
        HWND extension = GetDlgItem(edit, IDC_EDIT_EXTENSION);
        Type(extension, L"x");
        EXPECT_TRUE(Enabled(edit, IDOK));
        Type(extension, L"\b");
        EXPECT_FALSE(Enabled(edit, IDOK));
        Type(extension, L".aac");
        Type(GetDlgItem(edit, IDC_EDIT_DESCRIPTION), L"Advanced Audio");
        Press(edit, IDOK);
        WaitGone(edit);
        ASSERT_EQ(ItemCount(list), 5);
        EXPECT_TRUE(ItemChecked(list, 0)) << "a new type is ticked";

        // Delete key removes the selected middle type; the next one moves up
        // into the selection.
        ASSERT_EQ(SelectByTyping(types, list, L"mp"), 2);
        Key(list, VK_DELETE);
        EXPECT_EQ(ItemCount(list), 4);
        EXPECT_EQ(SelectedItem(list), 2);
        // The Remove button on the last one leaves no selection.
        ASSERT_EQ(SelectByTyping(types, list, L"wa"), 3);
        Press(types, IDC_TYPE_REMOVE);
        Sleep(200);
        EXPECT_EQ(ItemCount(list), 3);
        EXPECT_EQ(SelectedItem(list), -1);
        Press(types, IDC_TYPES_BACK);
    });
    EXPECT_EQ(result, 2);
    ASSERT_EQ(ExtensionsOf(g_fileTypes), (std::vector<std::wstring>{L"aac+", L"kvx+", L"ogg-"}));
    EXPECT_EQ(g_fileTypes[0].description, L"Advanced Audio");
    EXPECT_EQ(g_fileTypes[0].iconPath, resourceModulePath);
    EXPECT_EQ(g_fileTypes[0].iconId, -101);
}

TEST_F(Dialogs, FileTypesDoubleClickEditsAndCancelChangesNothing)
{
    g_fileTypes = SomeTypes();
    const FileTypeList before = g_fileTypes;
    const INT_PTR result = RunDriven([] { return OpenDialog(IDD_FILETYPES, FileTypesDialogProc); }, [] {
        HWND types = WaitForDialog(kSelf, kFileTypesDialogMark);
        ASSERT_NE(types, nullptr);
        HWND list = GetDlgItem(types, IDC_TYPE_LIST);
        RECT item{};
        item.left = LVIR_BOUNDS;
        ASSERT_TRUE(SendMessageW(list, LVM_GETITEMRECT, 1, reinterpret_cast<LPARAM>(&item)));
        // Below the last item: an empty area opens nothing.
        RECT client{};
        GetClientRect(list, &client);
        PostMessageW(list, WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(20, client.bottom - 4));
        Sleep(300);
        EXPECT_EQ(WaitForDialog(kSelf, kEditDialogMark, 300), nullptr);
        // On the mp3 item: its edit dialog, which changes the description.
        PostMessageW(list, WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(item.left + 30, (item.top + item.bottom) / 2));
        HWND edit = WaitForDialog(kSelf, kEditDialogMark);
        ASSERT_NE(edit, nullptr);
        EXPECT_EQ(Text(edit, IDC_EDIT_EXTENSION), L"mp3");
        SetText(edit, IDC_EDIT_DESCRIPTION, L"Changed");
        Press(edit, IDOK);
        WaitGone(edit);
        Press(types, IDC_TYPE_REMOVE);
        Press(types, IDCANCEL);
        AnswerCancelQuestion(false);
        EXPECT_TRUE(IsWindowVisible(types));
        Press(types, IDCANCEL);
        AnswerCancelQuestion(true);
    });
    EXPECT_EQ(result, 0);
    EXPECT_EQ(ExtensionsOf(g_fileTypes), ExtensionsOf(before));
    EXPECT_EQ(g_fileTypes[1].description, L"Mpeg");
}

// --- Edit dialog -----------------------------------------------------------------

INT_PTR EditWith(FileTypeEntry& entry, const std::function<void(HWND)>& script)
{
    return RunDriven([&] { return OpenDialog(IDD_FILETYPE_EDIT, FileTypeEditDialogProc, reinterpret_cast<LPARAM>(&entry)); },
                     [&] {
                         HWND edit = WaitForDialog(kSelf, kEditDialogMark);
                         ASSERT_NE(edit, nullptr);
                         script(edit);
                     });
}

TEST_F(Dialogs, EditDropsOneLeadingDotAndKeepsTheFlags)
{
    const struct { const wchar_t* typed; const wchar_t* stored; } cases[] = {
        {L".xyz", L"xyz"}, {L"..xyz", L".xyz"}, {L".", L""}, {L"tar.gz", L"tar.gz"}, {L"a b", L"a b"},
    };
    for (const auto& c : cases) {
        FileTypeEntry entry(L"old", L"d", resourceModulePath, -109, FT_ASSOCIATED);
        const INT_PTR result = EditWith(entry, [&](HWND edit) {
            SetText(edit, IDC_EDIT_EXTENSION, c.typed);
            Press(edit, IDOK);
        });
        EXPECT_EQ(result, 1);
        EXPECT_EQ(entry.extension, c.stored);
        EXPECT_EQ(entry.flags, FT_ASSOCIATED);
        EXPECT_EQ(entry.iconId, -109);
    }
}

TEST_F(Dialogs, EditShowsTheShortPathAndStoresTheLongOne)
{
    const std::wstring icon = folder_.File(L"Some Long Icon Library.dll");
    ASSERT_TRUE(CopyFileW(BesideTests(L"icon_fixture.dll").c_str(), icon.c_str(), FALSE));
    wchar_t shortIcon[kPathChars];
    GetShortPathNameW(icon.c_str(), shortIcon, kPathChars);
    FileTypeEntry entry(L"kvy", L"Old", icon, -7, 0u);
    EXPECT_EQ(EditWith(entry, [&](HWND edit) {
        EXPECT_EQ(Text(edit, IDC_EDIT_ICON_LOCATION), std::wstring(shortIcon) + L",-7");
        EXPECT_NE(SendDlgItemMessageW(edit, IDC_EDIT_ICON, STM_GETICON, 0, 0), 0);
        Press(edit, IDOK);
    }), 1);
    EXPECT_EQ(entry.iconPath, icon);
    EXPECT_EQ(entry.iconId, -7);

    FileTypeEntry fresh(L"");
    EXPECT_EQ(EditWith(fresh, [&](HWND edit) {
        wchar_t shortModule[kPathChars];
        GetShortPathNameW(resourceModulePath, shortModule, kPathChars);
        EXPECT_EQ(Text(edit, IDC_EDIT_ICON_LOCATION), std::wstring(shortModule) + L",-101");
        SetText(edit, IDC_EDIT_EXTENSION, L"new");
        Press(edit, IDOK);
    }), 1);
    EXPECT_EQ(fresh.iconPath, resourceModulePath);
    EXPECT_EQ(fresh.iconId, -101);

    // Cancel after picking another icon leaves the entry as it was.
    FileTypeEntry kept(L"kvz", L"Kept", icon, -7, 0u);
    EXPECT_EQ(EditWith(kept, [&](HWND edit) {
        Press(edit, IDC_EDIT_CHANGE_ICON);
        HWND picker = WaitForDialog(kSelf, kPickerDialogMark);
        ASSERT_NE(picker, nullptr);
        HWND list = GetDlgItem(picker, IDC_PICKER_LIST);
        ListView_SetItemState(list, 0, LVIS_SELECTED, LVIS_SELECTED);
        ListView_SetItemState(list, 1, 0, LVIS_SELECTED);
        Press(picker, IDOK);
        WaitGone(picker);
        EXPECT_EQ(Text(edit, IDC_EDIT_ICON_LOCATION), std::wstring(shortIcon) + L",-3");
        Press(edit, IDCANCEL);
    }), -1);
    EXPECT_EQ(kept.iconId, -7);
    EXPECT_EQ(kept.description, L"Kept");
}

TEST_F(Dialogs, EditRefusesToTakeAnOverlongExtension)
{
    FileTypeEntry entry(L"old");
    EditWith(entry, [&](HWND edit) {
        Type(GetDlgItem(edit, IDC_EDIT_EXTENSION), std::wstring(300, L'e'));
        Press(edit, IDOK);
    });
    EXPECT_EQ(entry.extension.size(), 243u) << "typing stops one past what a class name can hold";
}

// --- Icon picker -------------------------------------------------------------------

struct PickerRun {
    bool changed;
    std::wstring path;
    int id;
};

PickerRun Pick(std::wstring path, int id, const std::function<void(HWND picker, HWND list)>& script)
{
    PickerRun run{};
    run.changed = RunDriven([&] { return static_cast<INT_PTR>(OpenIconPicker(nullptr, path, id)); }, [&] {
        HWND picker = WaitForDialog(kSelf, kPickerDialogMark);
        ASSERT_NE(picker, nullptr);
        script(picker, GetDlgItem(picker, IDC_PICKER_LIST));
    }) != 0;
    run.path = path;
    run.id = id;
    return run;
}

TEST_F(Dialogs, PickerTurnsPositionsIntoResourceIds)
{
    const std::wstring module = resourceModulePath;
    const std::wstring ico = BesideTests(L"testdata\\wav.ico");
    auto confirm = [](HWND picker, HWND) { Press(picker, IDOK); };

    PickerRun run = Pick(module, -107, [](HWND picker, HWND list) {
        EXPECT_EQ(ItemCount(list), 9);
        EXPECT_EQ(SelectedItem(list), 5);
        Press(picker, IDOK);
    });
    EXPECT_FALSE(run.changed);

    run = Pick(module, 2, [](HWND picker, HWND list) {
        EXPECT_EQ(SelectedItem(list), 2);
        Press(picker, IDOK);
    });
    EXPECT_TRUE(run.changed);
    EXPECT_EQ(run.id, -103);

    run = Pick(ico, -5, [](HWND picker, HWND list) {
        EXPECT_EQ(ItemCount(list), 1);
        EXPECT_EQ(SelectedItem(list), 0);
        Press(picker, IDOK);
    });
    EXPECT_TRUE(run.changed);
    EXPECT_EQ(run.id, 0);

    std::wstring upper = module;
    CharUpperBuffW(&upper[0], static_cast<DWORD>(upper.size()));
    run = Pick(upper, -101, confirm);
    EXPECT_FALSE(run.changed);
    EXPECT_EQ(run.path, upper);

    run = Pick(module, -104, [](HWND picker, HWND list) {
        ListView_SetItemState(list, -1, 0, LVIS_SELECTED);  // nothing selected: position 0
        Press(picker, IDOK);
    });
    EXPECT_TRUE(run.changed);
    EXPECT_EQ(run.id, -101);

    run = Pick(L"C:\\missing.dll", -4, [](HWND picker, HWND list) {
        EXPECT_EQ(ItemCount(list), 0);
        Press(picker, IDOK);
    });
    EXPECT_TRUE(run.changed);
    EXPECT_EQ(run.id, 0);

    run = Pick(module, -104, [](HWND picker, HWND list) {
        ListView_SetItemState(list, 0, LVIS_SELECTED, LVIS_SELECTED);
        Press(picker, IDCANCEL);
    });
    EXPECT_FALSE(run.changed);
    EXPECT_EQ(run.id, -104);
}

// Chooses a file in the open-file dialog by typing its name.
void ChooseFile(const std::wstring& name)
{
    HWND open = WaitForDialog(kSelf, kOpenFileDialogMark);
    ASSERT_NE(open, nullptr);
    SetText(open, kOpenFileDialogMark, name);
    Press(open, IDOK);
    WaitGone(open);
}

TEST_F(Dialogs, PickerBrowseRemembersItsFolderAndRestoresTheCurrentOne)
{
    const std::wstring fixture = BesideTests(L"icon_fixture.dll");
    const std::wstring testdata = BesideTests(L"testdata");
    SetCurrentDirectoryW(folder_.path().c_str());

    PickerRun run = Pick(resourceModulePath, -109, [&](HWND picker, HWND list) {
        Press(picker, IDC_PICKER_BROWSE);
        ChooseFile(testdata + L"\\wav.ico");
        EXPECT_EQ(Text(picker, IDC_PICKER_PATH), testdata + L"\\wav.ico");
        EXPECT_EQ(ItemCount(list), 1);
        Press(picker, IDCANCEL);
    });
    EXPECT_FALSE(run.changed) << "cancel after browsing changes nothing";
    EXPECT_EQ(run.path, resourceModulePath);

    wchar_t current[kPathChars];
    GetCurrentDirectoryW(kPathChars, current);
    EXPECT_EQ(std::wstring(current), folder_.path());

    // The next browse opens in testdata: a bare file name is found there.
    CopyFileW(fixture.c_str(), (testdata + L"\\fixture-copy.dll").c_str(), FALSE);
    run = Pick(resourceModulePath, -109, [&](HWND picker, HWND list) {
        Press(picker, IDC_PICKER_BROWSE);
        ChooseFile(L"fixture-copy.dll");
        EXPECT_EQ(ItemCount(list), 2);
        EXPECT_EQ(SelectedItem(list), 0) << "no group 1: the first icon";
        Press(picker, IDOK);
    });
    DeleteFileW((testdata + L"\\fixture-copy.dll").c_str());
    EXPECT_TRUE(run.changed);
    EXPECT_EQ(run.path, testdata + L"\\fixture-copy.dll");
    EXPECT_EQ(run.id, -3);
    GetCurrentDirectoryW(kPathChars, current);
    EXPECT_EQ(std::wstring(current), folder_.path());
}

} // namespace
