#include "ui/file_types_dialog.h"

#include <commctrl.h>

#include <map>
#include <string>
#include <utility>

#include "app/context.h"
#include "app/texts.h"
#include "catalogue/double_click.h"
#include "catalogue/file_types.h"
#include "catalogue/icons.h"
#include "resource.h"
#include "ui/dialog_helpers.h"
#include "ui/dpi.h"
#include "ui/file_type_edit_dialog.h"

namespace {

// The type image list of the open dialog and the index its next icon gets.
// Icons are never taken out, so an item's image index stays valid.
HIMAGELIST typeImageList = nullptr;
int imageCounter = 0;

HWND TypeList(HWND dialog) { return GetDlgItem(dialog, IDC_TYPE_LIST); }

UINT CheckState(const FileTypeEntry& entry)
{
    return INDEXTOSTATEIMAGEMASK((entry.flags & FT_ASSOCIATED) ? 2 : 1);
}

void SetCheckState(HWND list, int index, const FileTypeEntry& entry)
{
    ListView_SetItemState(list, index, CheckState(entry), LVIS_STATEIMAGEMASK);
}

FileTypeEntry* EntryAt(HWND list, int index)
{
    LVITEMW item{};
    item.mask = LVIF_PARAM;
    item.iItem = index;
    if (!ListView_GetItem(list, &item)) return nullptr;
    return reinterpret_cast<FileTypeEntry*>(item.lParam);
}

// The pictures of the icons of one filling of the list, each made once at
// the list's icon size. Every item still gets an image of its own (an edit
// replaces it in place), but adding a ready picture to the image list costs
// a fraction of converting an icon for every item.
class TypeImages {
public:
    explicit TypeImages(int size) : size_(size) {}

    void AddTo(HIMAGELIST images, const FileTypeEntry& entry)
    {
        const Picture& picture = PictureOf(entry);
        if (picture.color) {
            ImageList_Add(images, picture.color.get(), picture.mask.get());
        } else {
            ImageList_ReplaceIcon(images, -1, picture.icon);
        }
    }

private:
    struct Picture {
        HICON icon = nullptr;  // owned by the module cache
        UniqueBitmap color;
        UniqueBitmap mask;
    };

    const Picture& PictureOf(const FileTypeEntry& entry)
    {
        auto key = std::make_pair(entry.iconPath, entry.iconId);
        auto found = pictures_.find(key);
        if (found != pictures_.end()) return found->second;
        Picture& picture = pictures_[key];
        picture.icon = modules_.Icon(entry.iconPath, entry.iconId, size_);
        ICONINFO info{};
        if (picture.icon && GetIconInfo(picture.icon, &info)) {
            picture.color.reset(info.hbmColor);
            picture.mask.reset(info.hbmMask);
        }
        return picture;
    }

    int size_;
    IconModuleCache modules_;
    std::map<std::pair<std::wstring, int32_t>, Picture> pictures_;
};

// An empty image list for the types, of the system's small-icon size at the
// dialog's DPI: 16 pixels at 100 %, 24 at 150 %.
HIMAGELIST CreateTypeImageList(HWND dialog, int count)
{
    const int size = SmallIconSize(dialog);
    return ImageList_Create(size, size, ILC_COLOR32 | ILC_MASK, count, 1);
}

int ImageSize()
{
    int width = 0, height = 0;
    ImageList_GetIconSize(typeImageList, &width, &height);
    return width;
}

int AddTypeIcon(const FileTypeEntry& entry, TypeImages& pictures)
{
    pictures.AddTo(typeImageList, entry);
    return imageCounter++;
}

// Takes ownership of entry: the item holds it until LVN_DELETEITEM.
void AddItem(HWND list, FileTypeEntry* entry, TypeImages& pictures)
{
    LVITEMW item{};
    item.mask = LVIF_TEXT | LVIF_IMAGE | LVIF_PARAM;
    item.iItem = 0;
    item.pszText = const_cast<wchar_t*>(entry->extension.c_str());
    item.iImage = AddTypeIcon(*entry, pictures);
    item.lParam = reinterpret_cast<LPARAM>(entry);
    const int index = ListView_InsertItem(list, &item);
    if (index < 0) {
        delete entry;
        return;
    }
    ListView_SetItemText(list, index, 1, const_cast<wchar_t*>(entry->description.c_str()));
    SetCheckState(list, index, *entry);
}

void RefreshItem(HWND list, int index)
{
    LVITEMW item{};
    item.mask = LVIF_IMAGE | LVIF_PARAM;
    item.iItem = index;
    if (!ListView_GetItem(list, &item) || !item.lParam) return;
    const FileTypeEntry& entry = *reinterpret_cast<FileTypeEntry*>(item.lParam);
    UniqueIcon icon = LoadTypeIcon(entry.iconPath.c_str(), entry.iconId, nullptr, ImageSize());
    ImageList_ReplaceIcon(typeImageList, item.iImage, icon.get());
    item.mask = LVIF_TEXT | LVIF_IMAGE | LVIF_PARAM;
    item.pszText = const_cast<wchar_t*>(entry.extension.c_str());
    ListView_SetItem(list, &item);
    ListView_SetItemText(list, index, 1, const_cast<wchar_t*>(entry.description.c_str()));
    // The tick stays as the user left it: until the dialog is confirmed the
    // list holds it, and the entry's flag is the one the dialog opened with.
}

void InsertColumns(HWND list)
{
    std::wstring extension = LoadModuleString(IDS_COLUMN_EXTENSION, kShortTextChars);
    std::wstring description = LoadModuleString(IDS_COLUMN_DESCRIPTION, kShortTextChars);
    LVCOLUMNW column{};
    column.mask = LVCF_FMT | LVCF_TEXT;
    column.fmt = LVCFMT_LEFT;
    column.pszText = &extension[0];
    ListView_InsertColumn(list, 0, &column);
    column.mask |= LVCF_SUBITEM;
    column.iSubItem = 1;
    column.pszText = &description[0];
    ListView_InsertColumn(list, 1, &column);
}

// The description takes what the extension leaves of the list's width.
void SizeColumns(HWND list)
{
    RECT client{};
    GetClientRect(list, &client);
    ListView_SetColumnWidth(list, 0, ScaleToWindow(list, 100));
    ListView_SetColumnWidth(list, 1, client.right - client.left - ScaleToWindow(list, 120));
}

// After the dialog has moved to a monitor of another DPI and the system has
// laid it out again: icons of the new small size, columns of the new width.
void OnDpiChanged(HWND dialog)
{
    HWND list = TypeList(dialog);
    const int count = ListView_GetItemCount(list);
    HIMAGELIST images = CreateTypeImageList(dialog, count);
    if (!images) return;
    int width = 0, height = 0;
    ImageList_GetIconSize(images, &width, &height);
    TypeImages pictures(width);
    for (int i = 0; i < count; ++i) {
        const FileTypeEntry* entry = EntryAt(list, i);
        if (!entry) continue;
        pictures.AddTo(images, *entry);
        LVITEMW item{};
        item.mask = LVIF_IMAGE;
        item.iItem = i;
        item.iImage = ImageList_GetImageCount(images) - 1;
        ListView_SetItem(list, &item);
    }
    ListView_SetImageList(list, images, LVSIL_SMALL);
    ImageList_Destroy(typeImageList);
    typeImageList = images;
    imageCounter = ImageList_GetImageCount(images);
    SizeColumns(list);
}

void OnInitDialog(HWND dialog)
{
    HWND list = TypeList(dialog);
    InsertColumns(list);
    SizeColumns(list);
    ListView_SetExtendedListViewStyleEx(list, 0, LVS_EX_GRIDLINES | LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT);
    typeImageList = CreateTypeImageList(dialog, static_cast<int>(g_fileTypes.size()));
    ListView_SetImageList(list, typeImageList, LVSIL_SMALL);
    // Many types share one icon module and one icon: each is loaded once.
    TypeImages pictures(ImageSize());
    SendMessageW(list, WM_SETREDRAW, FALSE, 0);
    for (const FileTypeEntry& entry : g_fileTypes) AddItem(list, new FileTypeEntry(entry), pictures);
    SendMessageW(list, WM_SETREDRAW, TRUE, 0);
    // Decided once per run, from the ticks the dialog first opens with; the
    // user's own choice then lasts through Back and Next.
    int& openDefaultApps = associationContext.openDefaultApps;
    if (openDefaultApps < 0) openDefaultApps = EveryTickedTypeOpensWithPlayer(g_fileTypes) ? 0 : 1;
    SetCheck(dialog, IDC_OPEN_DEFAULT_APPS, openDefaultApps != 0);
    ShowWindow(dialog, SW_SHOWNORMAL);
    SetFocus(list);
}

int FirstSelected(HWND list) { return ListView_GetNextItem(list, -1, LVNI_SELECTED); }

// The edit dialog is owned by this one, which stays disabled while it is
// open: no type can be removed, and the list cannot end, under an edit.
bool OpenEditDialog(HWND dialog, FileTypeEntry* entry)
{
    return DialogBoxParamW(GetResourceModule(), MAKEINTRESOURCEW(IDD_FILETYPE_EDIT), dialog, FileTypeEditDialogProc,
                           reinterpret_cast<LPARAM>(entry)) == 1;
}

void OnAdd(HWND dialog)
{
    auto* entry = new FileTypeEntry(L"");
    entry->flags |= FT_ASSOCIATED;
    if (OpenEditDialog(dialog, entry)) {
        TypeImages pictures(ImageSize());
        AddItem(TypeList(dialog), entry, pictures);
    } else {
        delete entry;
    }
}

// Edit button and double-click run this one function.
void EditItem(HWND dialog, int index)
{
    if (index < 0) return;
    FileTypeEntry* entry = EntryAt(TypeList(dialog), index);
    if (!entry) return;
    HWND list = TypeList(dialog);
    if (OpenEditDialog(dialog, entry)) RefreshItem(list, index);
    // Back where the user was: the edited type, focused and selected.
    ListView_SetItemState(list, index, LVIS_FOCUSED | LVIS_SELECTED, LVIS_FOCUSED | LVIS_SELECTED);
    SendMessageW(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(list), TRUE);
}

void OnRemove(HWND dialog)
{
    HWND list = TypeList(dialog);
    const int index = FirstSelected(list);
    if (index < 0) return;
    ListView_DeleteItem(list, index);
    if (index < ListView_GetItemCount(list)) ListView_SetItemState(list, index, LVIS_SELECTED, LVIS_SELECTED);
}

void OnConfirm(HWND dialog, int command)
{
    HWND list = TypeList(dialog);
    FileTypeList shown;
    const int count = ListView_GetItemCount(list);
    for (int i = 0; i < count; ++i) {
        FileTypeEntry* entry = EntryAt(list, i);
        if (!entry) continue;
        if (ListView_GetItemState(list, i, LVIS_STATEIMAGEMASK) == INDEXTOSTATEIMAGEMASK(1)) {
            entry->flags &= ~FT_ASSOCIATED;
        } else {
            entry->flags |= FT_ASSOCIATED;
        }
        shown.push_back(*entry);
    }
    g_fileTypes = std::move(shown);
    associationContext.openDefaultApps = IsChecked(dialog, IDC_OPEN_DEFAULT_APPS) ? 1 : 0;
    EndDialog(dialog, command == IDOK ? 1 : 2);
}

void OnCommand(HWND dialog, int id)
{
    // Disabled, the dialog has a dialog of its own open (an edit, the
    // cancel question): a command that still arrives, posted by another
    // program say, must not change the list under it.
    if (!IsWindowEnabled(dialog)) return;
    switch (id) {
    case IDC_TYPE_ADD: OnAdd(dialog); break;
    case IDC_TYPE_EDIT: EditItem(dialog, FirstSelected(TypeList(dialog))); break;
    case IDC_TYPE_REMOVE: OnRemove(dialog); break;
    case IDCANCEL:
        if (ConfirmCancel(dialog)) EndDialog(dialog, 0);
        break;
    case IDOK:
    case IDC_TYPES_BACK: OnConfirm(dialog, id); break;
    default: break;
    }
}

void OnNotify(HWND dialog, const NMHDR* header)
{
    if (header->idFrom != IDC_TYPE_LIST) return;
    switch (header->code) {
    case NM_DBLCLK:
        if (IsWindowEnabled(dialog)) EditItem(dialog, reinterpret_cast<const NMITEMACTIVATE*>(header)->iItem);
        break;
    case LVN_KEYDOWN:
        if (reinterpret_cast<const NMLVKEYDOWN*>(header)->wVKey == VK_DELETE)
            SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDC_TYPE_REMOVE, BN_CLICKED), 0);
        break;
    case LVN_DELETEITEM:
        delete reinterpret_cast<FileTypeEntry*>(reinterpret_cast<const NMLISTVIEW*>(header)->lParam);
        break;
    default:
        break;
    }
}

void OnDestroy()
{
    if (typeImageList) ImageList_Destroy(typeImageList);
    typeImageList = nullptr;
    imageCounter = 0;
}

} // namespace

INT_PTR CALLBACK FileTypesDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    return Guarded([&]() -> INT_PTR {
        switch (message) {
        case WM_INITDIALOG: OnInitDialog(dialog); break;
        case WM_COMMAND: OnCommand(dialog, LOWORD(wParam)); break;
        case WM_NOTIFY: OnNotify(dialog, reinterpret_cast<const NMHDR*>(lParam)); break;
        case WM_DESTROY: OnDestroy(); break;
        // The system scales the dialog itself first; the pictures follow.
        case WM_DPICHANGED: PostMessageW(dialog, kRescaleMessage, 0, 0); break;
        case kRescaleMessage: OnDpiChanged(dialog); break;
        default: break;
        }
        return FALSE;
    });
}
