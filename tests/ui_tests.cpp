// The dialogs as a user meets them: the real templates from the resource module, run on this thread and driven from a
// second one through their controls.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <functional>
#include <thread>

#include "app/context.h"
#include "catalogue/file_types.h"
#include "driver/dialog_driver.h"
#include "registry/file_type_class.h"
#include "resource.h"
#include "support.h"
#include "ui/file_type_edit_dialog.h"
#include "ui/file_types_dialog.h"
#include "ui/icon_picker.h"
#include "ui/main_dialog.h"

namespace {

const DWORD kSelf = GetCurrentProcessId();

// Opens a dialog on this thread while script drives the dialog with the given mark from another thread.
INT_PTR RunDriven(const std::function<INT_PTR()>& open, int mark, const std::function<void(HWND)>& script)
{
    std::thread driver([&] {
        HWND dialog = WaitForDialog(kSelf, mark);
        EXPECT_NE(dialog, nullptr);
        if (dialog) script(dialog);
    });
    const INT_PTR result = open();
    driver.join();
    return result;
}

INT_PTR Open(int templateId, DLGPROC procedure, LPARAM parameter = 0)
{
    return DialogBoxParamW(GetResourceModule(), MAKEINTRESOURCEW(templateId), nullptr, procedure, parameter);
}

void Answer(int button, int mark = kMessageBoxMark)
{
    HWND dialog = WaitForDialog(kSelf, mark);
    ASSERT_NE(dialog, nullptr);
    Press(dialog, button);
    WaitGone(dialog);
}

// A move to another monitor (of the same DPI here); the dialog rescales after it.
void MoveToAnotherMonitor(HWND dialog)
{
    RECT window{};
    GetWindowRect(dialog, &window);
    SendMessageW(dialog, WM_DPICHANGED, MAKEWPARAM(96, 96), reinterpret_cast<LPARAM>(&window));
    Sleep(200);
}

// Each item's picture as the bits of its icon: what the user sees beside the item.
std::vector<std::vector<BYTE>> Pictures(HWND list)
{
    std::vector<std::vector<BYTE>> bits(ItemCount(list), std::vector<BYTE>(65536));
    for (int i = 0; i < ItemCount(list); ++i) {
        LVITEMW item{LVIF_IMAGE, i};
        ICONINFO info{};
        HICON icon = ListView_GetItem(list, &item) ? ImageList_GetIcon(ListView_GetImageList(list, LVSIL_SMALL), item.iImage, 0) : nullptr;
        bits[i].resize(icon && GetIconInfo(icon, &info) ? GetBitmapBits(info.hbmColor, 65536, bits[i].data()) : 0);
        DeleteObject(info.hbmColor), DeleteObject(info.hbmMask), DestroyIcon(icon);
    }
    return bits;
}

std::wstring Text(HWND dialog, int id)
{
    wchar_t text[kPathChars];
    GetDlgItemTextW(dialog, id, text, kPathChars);
    return text;
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

TEST_F(Dialogs, MainDialogShowsTheMethodAsksBeforeCancelAndSavesOnConfirm)
{
    const int buttons[] = {IDC_EXEC_DOPEN, IDC_EXEC_ADD, IDC_EXEC_ADDOPEN, IDC_EXEC_OPEN, IDC_EXEC_ADDOPENPARENT};
    for (int method : {0, 1, 2, 3, 4, 9}) {
        associationContext.execMethod = method;
        EXPECT_EQ(RunDriven([] { return Open(IDD_MAIN, MainDialogProc); }, kMainDialogMark, [&](HWND main) {
            for (int b = 0; b < 5; ++b) EXPECT_EQ(BoxChecked(main, buttons[b]), b == (method < 5 ? method : 2)) << method;
            EXPECT_EQ(FocusOf(main), GetDlgItem(main, buttons[method < 5 ? method : 2])) << "the keyboard starts on the choice";
            Press(main, IDC_EXEC_DOPEN);
            Press(main, IDCANCEL);
            Answer(IDNO);
            EXPECT_TRUE(IsWindowVisible(main));
            EXPECT_TRUE(BoxChecked(main, IDC_EXEC_DOPEN)) << "No keeps every choice on screen";
            Press(main, IDCANCEL);
            Answer(IDYES);
        }), 0);
        EXPECT_EQ(associationContext.execMethod, method);
    }
    EXPECT_EQ(GetFileAttributesW(settingsPath), INVALID_FILE_ATTRIBUTES) << "a cancel saves nothing";

    AssociationContext& c = associationContext;
    c.addPlayChecked = 0;
    c.folderSelected = 1;
    EXPECT_EQ(RunDriven([] { return Open(IDD_MAIN, MainDialogProc); }, kMainDialogMark, [](HWND main) {
        EXPECT_FALSE(BoxChecked(main, IDC_VERB_PLAY));
        EXPECT_TRUE(BoxChecked(main, IDC_FOLDER_VERB));
        Press(main, IDC_EXEC_OPEN);
        for (auto [box, ticked] : {std::pair{IDC_VERB_PLAY, true}, {IDC_VERB_ADD, false}, {IDC_FOLDER_VERB, false}, {IDC_AUDIOCD, true}})
            SetBox(main, box, ticked);
        Press(main, IDOK);
    }), 1);
    EXPECT_EQ(c.execMethod, 3);
    EXPECT_EQ(c.addPlayChecked + 2 * c.addOnlyChecked + 4 * c.folderSelected + 8 * c.audioCdSelected, 1 + 8);
    const struct { const wchar_t* key; const wchar_t* value; } saved[] = {  // canonical words
        {L"AddPlayChecked", L"TRUE"}, {L"AddOnlyChecked", L"FALSE"}, {L"NewPlayChecked", L"TRUE"}, {L"OpenParentChecked", L"TRUE"}};
    for (const auto& v : saved) EXPECT_EQ(IniString(settingsPath, L"Association", v.key), v.value) << v.key;
    EXPECT_EQ(IniString(settingsPath, L"Preference", L"ExecMethod"), L"3");
}

FileTypeList SomeTypes()
{
    return {{L"wav", L"Wave", resourceModulePath, -109, FT_ASSOCIATED}, {L"mp3", L"Mpeg", resourceModulePath, -107, 0u},
            {L"ogg", L"Ogg", L"C:\\missing.dll", -3, 0u}, {L"kvx", L"Own", BesideTests(kLongNamedIcon), 0, FT_ASSOCIATED},
            {L"zzl", L"Long", L"C:\\" + std::wstring(3000, L'i') + L".dll", 7, 0u}};  // a path beyond any buffer
}

std::vector<std::wstring> Ticks(const FileTypeList& list)
{
    std::vector<std::wstring> names;
    for (const auto& e : list) names.push_back(e.extension + ((e.flags & FT_ASSOCIATED) ? L"+" : L"-"));
    return names;
}

INT_PTR RunFileTypes(const std::function<void(HWND types, HWND list)>& script)
{
    return RunDriven([] { return Open(IDD_FILETYPES, FileTypesDialogProc); }, kFileTypesDialogMark,
                     [&](HWND types) { script(types, GetDlgItem(types, IDC_TYPE_LIST)); });
}

// The types dialog as its user sees it: each row's extension, description, tick and picture (named by the first row
// that shows the same one), the selection and the default-apps box.
std::wstring Shown(HWND types, HWND list)
{
    const auto pictures = Pictures(list);
    std::wstring shown;
    for (int i = 0; i < ItemCount(list); ++i) {
        wchar_t text[2][64] = {};
        for (int column : {0, 1}) ListView_GetItemText(list, i, column, text[column], 64);
        const auto same = std::find(pictures.begin(), pictures.end(), pictures[i]) - pictures.begin();
        shown += std::wstring(text[0]) + L"|" + text[1] + (ItemChecked(list, i) ? L"|+|" : L"|-|") +
                 (pictures[i].empty() ? L"none" : std::to_wstring(same)) + L"\n";
    }
    return shown + L"selected " + std::to_wstring(SelectedItem(list)) + (BoxChecked(types, IDC_OPEN_DEFAULT_APPS) ? L", ticked" : L"");
}

// What the dialog must show for its model: rows in the order of their extensions, a picture per icon.
struct Row { std::wstring extension, description; bool ticked; std::wstring icon; };
std::wstring Expected(std::vector<Row> rows, int selected, bool box)
{
    std::sort(rows.begin(), rows.end(), [](const Row& a, const Row& b) { return a.extension < b.extension; });
    std::wstring shown;
    for (const Row& row : rows) {
        const auto same = std::find_if(rows.begin(), rows.end(), [&](const Row& r) { return r.icon == row.icon; }) - rows.begin();
        shown += row.extension + L"|" + row.description + (row.ticked ? L"|+|" : L"|-|") + std::to_wstring(same) + L"\n";
    }
    return shown + L"selected " + std::to_wstring(selected) + (box ? L", ticked" : L"");
}

TEST_F(Dialogs, FileTypesTicksEditsAddsRemovesAndAsksBeforeCancel)
{
    g_fileTypes = SomeTypes();
    associationContext.openDefaultApps = -1;  // a new run
    std::vector<Row> rows{{L"wav", L"Wave", true, L"wav"}, {L"mp3", L"Mpeg", false, L"mp3"}, {L"ogg", L"Ogg", false, L"default"},
                          {L"kvx", L"Own", true, L"own"}, {L"zzl", L"Long", false, L"default"}};
    auto row = [&rows](const wchar_t* extension) -> Row& {
        return *std::find_if(rows.begin(), rows.end(), [&](const Row& r) { return r.extension == extension; });
    };
    EXPECT_EQ(RunFileTypes([&](HWND types, HWND list) {
        // wav and kvx are ticked, and a double-click opens neither with the
        // player: the box to choose it in Windows' default apps is ticked.
        EXPECT_EQ(Shown(types, list), Expected(rows, -1, true));
        RECT client{}, item{LVIR_LABEL, 0, 0, 0};
        GetClientRect(list, &client);
        EXPECT_EQ(ListView_GetColumnWidth(list, 0), 100);  // at 96 DPI; the description takes the rest
        EXPECT_EQ(ListView_GetColumnWidth(list, 1), client.right - 120);
        MoveToAnotherMonitor(types);
        EXPECT_EQ(Shown(types, list), Expected(rows, -1, true)) << "each type keeps its own picture";
        EXPECT_EQ(ImageList_GetImageCount(ListView_GetImageList(list, LVSIL_SMALL)), 5) << "a picture for every type, made anew";
        ASSERT_EQ(SelectByTyping(types, list, L"mp"), 1);
        Key(list, VK_SPACE);
        ASSERT_EQ(SelectByTyping(types, list, L"kv"), 0);
        Key(list, VK_SPACE);
        row(L"mp3").ticked = true, row(L"kvx").ticked = false;
        EXPECT_EQ(Shown(types, list), Expected(rows, 0, true)) << "ticking types leaves the box alone";
        // A double-click on empty space opens nothing, on a type its edit
        // dialog, which the types dialog owns: it takes no command meanwhile.
        PostMessageW(list, WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(20, client.bottom - 4));
        EXPECT_EQ(WaitForDialog(kSelf, kEditDialogMark, 500), nullptr);
        ASSERT_TRUE(SendMessageW(list, LVM_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&item)));
        PostMessageW(list, WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(item.left + 10, (item.top + item.bottom) / 2));
        HWND edit = WaitForDialog(kSelf, kEditDialogMark);
        ASSERT_NE(edit, nullptr);
        EXPECT_EQ(Text(edit, IDC_EDIT_EXTENSION) + Text(edit, IDC_EDIT_DESCRIPTION), L"kvxOwn");
        EXPECT_FALSE(IsWindowEnabled(types));
        for (int command : {IDC_TYPE_REMOVE, IDC_TYPES_BACK, IDOK}) Press(types, command);
        Key(list, VK_DELETE);
        SetText(edit, IDC_EDIT_DESCRIPTION, L"Edited");
        Answer(IDOK, kEditDialogMark);
        Sleep(100);
        row(L"kvx").description = L"Edited";  // an edit keeps the tick as the user left it
        EXPECT_EQ(Shown(types, list), Expected(rows, 0, true));
        EXPECT_EQ(FocusOf(types), list) << "back on the edited type";
        Press(types, IDC_TYPE_ADD);  // add, then cancel the edit dialog: nothing changes
        Answer(IDCANCEL, kEditDialogMark);
        Press(types, IDC_TYPE_ADD);
        ASSERT_NE(edit = WaitForDialog(kSelf, kEditDialogMark), nullptr);
        EXPECT_FALSE(Enabled(edit, IDOK));
        wchar_t shortModule[kPathChars];
        GetShortPathNameW(resourceModulePath, shortModule, kPathChars);
        EXPECT_EQ(Text(edit, IDC_EDIT_ICON_LOCATION), std::wstring(shortModule) + L",-101") << "a new type has the default icon";
        EXPECT_NE(SendDlgItemMessageW(edit, IDC_EDIT_ICON, STM_GETICON, 0, 0), 0);
        HWND extension = GetDlgItem(edit, IDC_EDIT_EXTENSION);
        Type(extension, L"x");
        EXPECT_TRUE(Enabled(edit, IDOK));
        Type(extension, L"\b.aac");
        Type(GetDlgItem(edit, IDC_EDIT_DESCRIPTION), L"Advanced Audio");
        Answer(IDOK, kEditDialogMark);
        rows.push_back({L"aac", L"Advanced Audio", true, L"default"});  // a new type is ticked; kvx stays selected
        EXPECT_EQ(Shown(types, list), Expected(rows, 1, true));
        ASSERT_EQ(SelectByTyping(types, list, L"og"), 3);
        Key(list, VK_DELETE);  // the Delete key removes like the button; the next type moves up into the selection
        rows.erase(rows.begin() + 2);
        EXPECT_EQ(Shown(types, list), Expected(rows, 3, true));
        Press(types, IDC_TYPE_REMOVE);
        Press(types, IDC_TYPE_REMOVE);  // the last one: no selection is left
        Sleep(200);
        rows.erase(rows.begin()), rows.erase(rows.begin() + 2);
        EXPECT_EQ(Shown(types, list), Expected(rows, -1, true));
        Press(types, IDC_TYPES_BACK);
    }), 2);
    const std::vector<std::wstring> ticks{L"aac+", L"kvx-", L"mp3+"};
    ASSERT_EQ(Ticks(g_fileTypes), ticks);
    EXPECT_EQ(g_fileTypes[0].iconPath + L"," + std::to_wstring(g_fileTypes[0].iconId), resourceModulePath + std::wstring(L",-101"));
    // In a new run where the user has chosen the player for both ticked
    // types already, there is nothing to choose: the box starts unticked.
    PreservedKeys keys;
    for (const std::wstring type : {L"aac", L"mp3"}) {
        const std::wstring choice = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts\\." + type;
        keys.Add(HKEY_CURRENT_USER, choice);
        keys.Add(HKEY_CLASSES_ROOT, ProgId(type));
        PutString(HKEY_CURRENT_USER, choice + L"\\UserChoice", L"ProgId", ProgId(type));
        PutString(HKEY_CLASSES_ROOT, ProgId(type), nullptr, L"");
    }
    associationContext.openDefaultApps = -1;
    EXPECT_EQ(RunFileTypes([&](HWND types, HWND list) {  // opened again: the same list; a cancel asks first
        EXPECT_EQ(Shown(types, list), Expected(rows, -1, false));
        ASSERT_EQ(SelectByTyping(types, list, L"aa"), 0);
        Press(types, IDC_TYPE_REMOVE);
        Press(types, IDCANCEL);
        Answer(IDNO);
        EXPECT_TRUE(IsWindowVisible(types));
        Press(types, IDCANCEL);
        Answer(IDYES);
    }), 0);
    EXPECT_EQ(Ticks(g_fileTypes), ticks);
}

INT_PTR Edit(FileTypeEntry& entry, const std::function<void(HWND)>& script)
{
    return RunDriven([&] { return Open(IDD_FILETYPE_EDIT, FileTypeEditDialogProc, reinterpret_cast<LPARAM>(&entry)); },
                     kEditDialogMark, script);
}

// The edit dialog shows the icon by its short path; the first case also
// picks another icon of the module (no selection: position 0, group 3).
TEST_F(Dialogs, EditStoresOnlyExtensionsThatCanBeRegisteredWithTheIconPicked)
{
    const std::wstring icon = folder_.File(L"Some Long Icon Library.dll"), longest(kMaxExtensionChars, L'e');
    ASSERT_TRUE(CopyFileW(BesideTests(L"icon_fixture.dll").c_str(), icon.c_str(), FALSE));
    wchar_t shortIcon[kPathChars];
    GetShortPathNameW(icon.c_str(), shortIcon, kPathChars);
    const struct { std::wstring typed; const wchar_t* stored; } cases[] = {  // null: refused
        {L".xyz", L"xyz"}, {L"..xyz", L".xyz"}, {L"a b.c", L"a b.c"}, {L"." + longest, longest.c_str()},
        {longest + L"e", nullptr}, {std::wstring(300, L'e'), nullptr}, {L".", nullptr}, {L"...", nullptr},
        {L"a\\b", nullptr}, {L"a;b", nullptr}, {L".bat", nullptr}, {L"Lnk", nullptr},
    };
    for (const auto& c : cases) {
        FileTypeEntry entry(L"old", L"d", icon, -7, FT_ASSOCIATED);
        const bool pick = &c == cases;
        const INT_PTR result = Edit(entry, [&](HWND edit) {
            EXPECT_EQ(Text(edit, IDC_EDIT_ICON_LOCATION), std::wstring(shortIcon) + L",-7");
            if (pick) {
                Press(edit, IDC_EDIT_CHANGE_ICON);
                HWND picker = WaitForDialog(kSelf, kPickerDialogMark);
                ASSERT_NE(picker, nullptr);
                ListView_SetItemState(GetDlgItem(picker, IDC_PICKER_LIST), -1, 0, LVIS_SELECTED);
                Answer(IDOK, kPickerDialogMark);
                EXPECT_EQ(Text(edit, IDC_EDIT_ICON_LOCATION), std::wstring(shortIcon) + L",-3");
            }
            HWND field = GetDlgItem(edit, IDC_EDIT_EXTENSION);
            SetText(edit, IDC_EDIT_EXTENSION, L"");
            Type(field, c.typed);
            EXPECT_LE(GetWindowTextLengthW(field), static_cast<int>(kMaxExtensionChars) + 1) << "the field takes no more";
            SetFocus(nullptr);
            Press(edit, IDOK);
            if (c.stored) return;
            Sleep(200);
            EXPECT_TRUE(IsWindowVisible(edit)) << "the dialog stays open";
            EXPECT_EQ(FocusOf(edit), field);
            DWORD from = 1, to = 0;
            SendMessageW(field, EM_GETSEL, reinterpret_cast<WPARAM>(&from), reinterpret_cast<LPARAM>(&to));
            EXPECT_EQ(to - from, static_cast<DWORD>(GetWindowTextLengthW(field))) << "the whole text is selected";
            Press(edit, IDCANCEL);
        });
        SCOPED_TRACE(testing::PrintToString(c.typed.substr(0, 20)));
        EXPECT_EQ(result, c.stored ? 1 : -1);
        EXPECT_EQ(entry.extension, c.stored ? c.stored : L"old");
        EXPECT_EQ(entry.flags, FT_ASSOCIATED);
        EXPECT_EQ(entry.iconId, pick ? -3 : -7);
        EXPECT_EQ(entry.iconPath, icon);
    }
}

// What the picker gives back, as "changed path,id" or "kept path,id".
std::wstring Pick(std::wstring path, int id, const std::function<void(HWND picker, HWND list)>& script)
{
    const bool changed = RunDriven([&] { return static_cast<INT_PTR>(OpenIconPicker(nullptr, path, id)); }, kPickerDialogMark,
                                   [&](HWND picker) { script(picker, GetDlgItem(picker, IDC_PICKER_LIST)); }) != 0;
    return (changed ? L"changed " : L"kept ") + path + L"," + std::to_wstring(id);
}

TEST_F(Dialogs, PickerBrowseOffersEveryFilterRemembersItsFolderAndRestoresTheCurrentDirectory)
{
    const std::wstring testdata = BesideTests(L"testdata");
    CopyFileW(BesideTests(L"icon_fixture.dll").c_str(), (testdata + L"\\fixture-copy.dll").c_str(), FALSE);
    SetCurrentDirectoryW(folder_.path().c_str());
    // Browses from the picker to the file typed into the open-file dialog.
    auto browse = [](HWND picker, const std::wstring& typed, const std::function<void(HWND)>& look) {
        Press(picker, IDC_PICKER_BROWSE);
        HWND open = WaitForDialog(kSelf, kOpenFileDialogMark);
        ASSERT_NE(open, nullptr);
        look(open);
        SetText(open, kOpenFileDialogMark, typed);
        Answer(IDOK, kOpenFileDialogMark);
    };
    EXPECT_EQ(Pick(resourceModulePath, -109, [&](HWND picker, HWND list) {
        browse(picker, BesideTests(kLongNamedIcon), [](HWND open) {
            HWND filters = GetDlgItem(open, 0x470);  // the filter box of the open-file dialog
            std::vector<std::wstring> offered(SendMessageW(filters, CB_GETCOUNT, 0, 0));
            for (size_t i = 0; i < offered.size(); ++i) {
                wchar_t text[256] = L"";
                SendMessageW(filters, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text));
                offered[i] = text;
            }
            EXPECT_EQ(offered, (std::vector<std::wstring>{L"Icon files and programs (*.ico;*.dll;*.exe)", L"Icon files (*.ico)",
                                                          L"Libraries (*.dll)", L"Programs (*.exe)", L"All files (*.*)"}));
        });
        EXPECT_EQ(Text(picker, IDC_PICKER_PATH), BesideTests(kLongNamedIcon));
        EXPECT_EQ(ItemCount(list), 1);
        EXPECT_EQ(ListView_GetItemSpacing(list, FALSE), MAKELONG(40, 40)) << "a large icon and a margin, at 96 DPI";
        Press(picker, IDCANCEL);
    }), L"kept " + std::wstring(resourceModulePath) + L",-109") << "cancel after browsing changes nothing";

    // The next browse opens where the last one chose: a bare name is found there.
    EXPECT_EQ(Pick(resourceModulePath, -109, [&](HWND picker, HWND list) {
        // A file on a network drive is refused, with a balloon saying why.
        browse(picker, kNetworkDriveIcon, [](HWND) {});
        EXPECT_EQ(Text(picker, IDC_PICKER_PATH), resourceModulePath);
        HWND balloon = nullptr;
        while ((balloon = FindWindowExW(nullptr, balloon, TOOLTIPS_CLASSW, nullptr)) && !IsWindowVisible(balloon)) {}
        EXPECT_TRUE(balloon && GetWindow(balloon, GW_OWNER) == picker) << "a balloon tip";
        browse(picker, L"fixture-copy.dll", [](HWND) {});
        EXPECT_EQ(ItemCount(list), 2);
        EXPECT_EQ(SelectedItem(list), 0) << "no group 1: the first icon";
        for (int chosen : {0, 1}) {  // the choice stays, the first icon or another
            if (chosen) Key(list, VK_RIGHT);
            MoveToAnotherMonitor(picker);
            EXPECT_EQ(SelectedItem(list), chosen);
        }
        Press(picker, IDOK);
    }), L"changed " + testdata + L"\\fixture-copy.dll,-7");
    DeleteFileW((testdata + L"\\fixture-copy.dll").c_str());
    wchar_t current[kPathChars];
    GetCurrentDirectoryW(kPathChars, current);
    EXPECT_EQ(std::wstring(current), folder_.path());
}

} // namespace
