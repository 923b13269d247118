// The resource module in its two languages at a DPI of 144 (150 %): the
// same strings in both, every text fits its control, no control covers
// another, and the lists take icons of the size that DPI asks for.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <set>
#include <thread>

#include "app/context.h"
#include "catalogue/file_types.h"
#include "driver/dialog_driver.h"
#include "resource.h"
#include "support.h"
#include "ui/file_types_dialog.h"
#include "ui/icon_picker.h"

namespace {

const LANGID kLanguages[] = {MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US), MAKELANGID(LANG_JAPANESE, SUBLANG_DEFAULT)};
const int kDialogs[] = {IDD_MAIN, IDD_FILETYPES, IDD_FILETYPE_EDIT, IDD_ICON_PICKER};
const wchar_t kChildVariable[] = L"KORVANE_AT_HIGH_DPI";

HMODULE ResourceModule()
{
    static HMODULE module = LoadLibraryExW(BesideTests(L"KorvaneRes.dll").c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    return module;
}

// The ids of a language's strings, read from the string blocks themselves.
std::set<UINT> StringIds(LANGID language)
{
    std::set<UINT> ids;
    for (UINT block = 1; block <= 4096; ++block) {
        HRSRC found = FindResourceExW(ResourceModule(), RT_STRING, MAKEINTRESOURCEW(block), language);
        auto* text = found ? static_cast<const WCHAR*>(LockResource(LoadResource(ResourceModule(), found))) : nullptr;
        for (UINT i = 0; text && i < 16; text += 1 + *text, ++i)
            if (*text) ids.insert((block - 1) * 16 + i);
    }
    return ids;
}

// A dialog made from one language's template, with no procedure of ours.
HWND CreateFromTemplate(int dialogId, LANGID language)
{
    HRSRC found = FindResourceExW(ResourceModule(), RT_DIALOG, MAKEINTRESOURCEW(dialogId), language);
    if (!found) return nullptr;
    auto* layout = static_cast<LPCDLGTEMPLATEW>(LockResource(LoadResource(ResourceModule(), found)));
    return CreateDialogIndirectParamW(ResourceModule(), layout, nullptr,
                                      [](HWND, UINT, WPARAM, LPARAM) -> INT_PTR { return FALSE; }, 0);
}

// How wide a control must be for its text, by kind of control.
int NeededWidth(const std::wstring& className, DWORD kind, int textWidth)
{
    const int check = GetSystemMetrics(SM_CXMENUCHECK), gap = MulDiv(4, GetSystemMetrics(SM_CXSMICON), 16);
    if (className != L"Button") return textWidth;
    switch (kind) {
    case BS_GROUPBOX: return textWidth + 4 * gap;
    case BS_AUTOCHECKBOX: case BS_CHECKBOX: case BS_RADIOBUTTON: case BS_AUTORADIOBUTTON: return textWidth + check + gap;
    default: return textWidth + 2 * gap;
    }
}

void ExpectTextsFitAndNothingOverlaps(HWND dialog, const std::string& where)
{
    struct Control { int id; bool group; RECT rect; };
    std::vector<Control> controls;
    for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        wchar_t name[64] = L"", text[512] = L"";
        GetClassNameW(child, name, 64);
        GetWindowTextW(child, text, 512);
        const DWORD kind = GetWindowLongW(child, GWL_STYLE) & 0x1F;  // the type bits of the style
        controls.push_back({GetDlgCtrlID(child), std::wstring(name) == L"Button" && kind == BS_GROUPBOX, {}});
        GetWindowRect(child, &controls.back().rect);
        if (!*text || std::wstring(name) == L"Edit") continue;
        RECT box{}, needed{};
        GetClientRect(child, &box);
        HDC dc = GetDC(child);
        HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(child, WM_GETFONT, 0, 0)));
        DrawTextW(dc, text, -1, &needed, DT_CALCRECT | DT_SINGLELINE);
        SelectObject(dc, old);
        ReleaseDC(child, dc);
        EXPECT_LE(NeededWidth(name, kind, needed.right), box.right) << where << " control " << controls.back().id << " clips its text";
        EXPECT_LE(needed.bottom, box.bottom) << where << " control " << controls.back().id << " is too low for its text";
    }
    // A group box may hold a control whole, never half.
    auto holds = [](const Control& group, const Control& c) {
        RECT all{};
        return group.group && UnionRect(&all, &group.rect, &c.rect) && EqualRect(&all, &group.rect);
    };
    for (const Control& a : controls) {
        for (const Control& b : controls) {
            RECT common{};
            if (&a < &b && IntersectRect(&common, &a.rect, &b.rect))
                EXPECT_TRUE(holds(a, b) || holds(b, a)) << where << " controls " << a.id << " and " << b.id << " overlap";
        }
    }
}

// Runs in a child process of this test program, started at 144 DPI by the
// test below: the system reads its DPI as a program starts.
TEST(AtHighDpi, TextsFitAndListsTakeIconsOfTheDpisSize)
{
    if (!GetEnvironmentVariableW(kChildVariable, nullptr, 0)) GTEST_SKIP() << "runs only as the child of HighDpi";
    ASSERT_EQ(GetSystemMetrics(SM_CXSMICON), 24);
    ProcessStateGuard guard;
    StartUpLikeTheTool();
    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_LISTVIEW_CLASSES | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);
    EXPECT_GT(StringIds(kLanguages[0]).size(), 60u);
    EXPECT_EQ(StringIds(kLanguages[1]), StringIds(kLanguages[0])) << "both languages hold the same strings";
    for (int dialogId : kDialogs) {
        for (LANGID language : kLanguages) {
            HWND dialog = CreateFromTemplate(dialogId, language);
            ASSERT_NE(dialog, nullptr) << dialogId << " in " << language;
            ExpectTextsFitAndNothingOverlaps(dialog, "dialog " + std::to_string(dialogId) + " in " + std::to_string(language));
            DestroyWindow(dialog);
        }
    }
    g_fileTypes = {{L"kvw", L"Wave", resourceModulePath, -109, FT_ASSOCIATED}};
    int smallSize = 0, largeSize = 0, height = 0;
    auto imageSizeOf = [&](HWND list, int which, int& width) {
        ImageList_GetIconSize(ListView_GetImageList(list, which), &width, &height);
    };
    std::thread driver([&] {
        HWND types = WaitForDialog(GetCurrentProcessId(), kFileTypesDialogMark);
        if (!types) return;
        imageSizeOf(GetDlgItem(types, IDC_TYPE_LIST), LVSIL_SMALL, smallSize);
        Press(types, IDCANCEL);
        Press(WaitForDialog(GetCurrentProcessId(), kMessageBoxMark), IDYES);
        HWND picker = WaitForDialog(GetCurrentProcessId(), kPickerDialogMark);
        if (!picker) return;
        imageSizeOf(GetDlgItem(picker, IDC_PICKER_LIST), LVSIL_NORMAL, largeSize);
        Press(picker, IDCANCEL);
    });
    DialogBoxParamW(GetResourceModule(), MAKEINTRESOURCEW(IDD_FILETYPES), nullptr, FileTypesDialogProc, 0);
    std::wstring path = resourceModulePath;
    int id = -109;
    OpenIconPicker(nullptr, path, id);
    driver.join();
    EXPECT_EQ(smallSize, 24) << "the small icon at 150 %";
    EXPECT_EQ(largeSize, 48) << "the large icon at 150 %";
}

TEST(HighDpi, DialogsInBothLanguagesAtOneAndAHalfTimesTheSize)
{
    PreservedKeys desktop;
    desktop.Add(HKEY_CURRENT_USER, L"Control Panel\\Desktop", 0, true);
    Seed({{HKEY_CURRENT_USER, L"Control Panel\\Desktop", L"LogPixels", REG_DWORD, {144, 0, 0, 0}}});
    SetEnvironmentVariableW(kChildVariable, L"1");
    wchar_t self[MAX_PATH];
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::string output, errors;
    EXPECT_EQ(RunCapturing(self, L"--gtest_filter=AtHighDpi.*", output, errors), 0u) << output;
    SetEnvironmentVariableW(kChildVariable, nullptr);
    EXPECT_NE(output.find("[  PASSED  ] 1 test"), std::string::npos) << output;
}

} // namespace
