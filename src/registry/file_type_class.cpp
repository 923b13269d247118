#include "registry/file_type_class.h"

#include <windows.h>

#include <cstdlib>
#include <cwchar>

#include "app/context.h"
#include "registry/handles.h"
#include "registry/player_keys.h"
#include "registry/primitives.h"

namespace {

// Unusable input is dropped quietly; the debugger hears why.
int Refuse(const wchar_t* what)
{
    std::wstring line = L"Korvane: refused ";
    line += what;
    line += L"\n";
    OutputDebugStringW(line.c_str());
    return 0;
}

std::wstring LongPathOf(const std::wstring& path)
{
    if (path.empty() || !FitsPathBuffer(path.c_str())) return path;
    DWORD n = GetLongPathNameW(path.c_str(), nullptr, 0);
    if (n == 0) return path;
    std::wstring buffer(n + 1, L'\0');
    DWORD written = GetLongPathNameW(path.c_str(), &buffer[0], n + 1);
    if (written == 0 || written > n) return path;
    buffer.resize(written);
    return buffer;
}

struct ClassTexts {
    std::wstring progId;
    std::wstring icon;     // DefaultIcon: short icon path, comma, id
    std::wstring command;
    std::wstring verbPath;
};

ClassTexts MakeClassTexts(const wchar_t* verbKey, const wchar_t* commandTail, const std::wstring& extension,
                          int iconId, const std::wstring& iconPath)
{
    ClassTexts t;
    t.progId = MakeProgId(extension);
    t.icon = DefaultIconText(iconPath, iconId);
    t.command = L"\"" + std::wstring(GetClientExePath()) + L"\" " + commandTail;
    t.verbPath = t.progId + L"\\shell\\" + verbKey;
    return t;
}

bool Fits(const ClassTexts& t)
{
    return FitsPathBuffer(t.icon.c_str()) && FitsPathBuffer(t.command.c_str()) &&
           FitsPathBuffer((t.verbPath + L"\\Command").c_str());
}

} // namespace

std::wstring DefaultIconText(const std::wstring& iconPath, int iconId)
{
    wchar_t shortPath[kPathChars];
    const DWORD n = FitsPathBuffer(iconPath.c_str()) ? GetShortPathNameW(iconPath.c_str(), shortPath, kPathChars) : 0;
    const std::wstring path = (n == 0 || n >= static_cast<DWORD>(kPathChars)) ? iconPath : std::wstring(shortPath, n);
    return path + L"," + std::to_wstring(iconId);
}

void SplitIconLocation(const std::wstring& text, std::wstring& iconPath, int& iconId)
{
    // Where the shell splits it: at the last comma, so that a path with a
    // comma of its own (written whole where the volume has no short names)
    // reads back whole.
    const size_t comma = text.rfind(L',');
    std::wstring path = text.substr(0, comma);
    if (path.size() >= 2 && path.front() == L'"' && path.back() == L'"') path = path.substr(1, path.size() - 2);
    iconPath = LongPathOf(path);
    iconId = comma == std::wstring::npos ? 0 : _wtoi(text.c_str() + comma + 1);
}

bool IsUsableExtension(const std::wstring& extension)
{
    return !extension.empty() && extension.size() <= kMaxExtensionChars &&
           extension.find_first_of(std::wstring(L"\\\0", 2)) == std::wstring::npos;
}

ExtensionFault CheckExtension(const std::wstring& extension)
{
    if (extension.empty()) return ExtensionFault::Empty;
    if (extension.size() > kMaxExtensionChars) return ExtensionFault::TooLong;
    if (extension.find_first_of(std::wstring(L"\\;\0", 3)) != std::wstring::npos) return ExtensionFault::BadCharacter;
    if (extension.find_first_not_of(L'.') == std::wstring::npos) return ExtensionFault::OnlyDots;
    return ExtensionFault::None;
}

std::wstring MakeProgId(const std::wstring& extension)
{
    return std::wstring(kProductWord) + L" " + extension + L" File";
}

bool FileTypeClassFits(const wchar_t* verbKey, const wchar_t* commandTail, const std::wstring& extension, int iconId,
                       const std::wstring& iconPath)
{
    return IsRegistrableExtension(extension) && Fits(MakeClassTexts(verbKey, commandTail, extension, iconId, iconPath));
}

int WriteFileTypeClass(const wchar_t* verbKey, const wchar_t* commandTail, const wchar_t* verbDisplayName,
                       const wchar_t* description, const std::wstring& extension, int iconId,
                       const std::wstring& iconPath)
{
    if (!IsRegistrableExtension(extension)) return Refuse(L"a file type class for an extension that cannot be registered");
    const ClassTexts t = MakeClassTexts(verbKey, commandTail, extension, iconId, iconPath);
    if (!Fits(t)) return Refuse(L"a file type class whose icon, command or verb is too long");
    const std::wstring& progId = t.progId;
    const std::wstring& verbPath = t.verbPath;

    SetStringValue(HKEY_CLASSES_ROOT, progId.c_str(), nullptr, description);
    SetStringValue(HKEY_CLASSES_ROOT, (progId + L"\\DefaultIcon").c_str(), nullptr, t.icon.c_str());
    SetStringValue(HKEY_CLASSES_ROOT, (progId + L"\\shell").c_str(), nullptr, nullptr);
    SetStringValue(HKEY_CLASSES_ROOT, verbPath.c_str(), nullptr, verbDisplayName);
    SetStringValue(HKEY_CLASSES_ROOT, (verbPath + L"\\Command").c_str(), nullptr, t.command.c_str());
    // A verb of ours always runs its command line, never a DDE conversation.
    DeleteKeyTree(HKEY_CLASSES_ROOT, (verbPath + L"\\ddeexec").c_str());
    return 0;
}

int PrepareFileTypeClass(const wchar_t* description, const std::wstring& extension, int iconId,
                         const std::wstring& iconPath)
{
    if (!IsRegistrableExtension(extension)) return Refuse(L"a file type class for an extension that cannot be registered");
    const std::wstring progId = MakeProgId(extension);
    const std::wstring iconKey = progId + L"\\DefaultIcon";
    const std::wstring icon = DefaultIconText(iconPath, iconId);
    if (!FitsPathBuffer(icon.c_str())) return Refuse(L"a file type class whose icon is too long");
    SetStringValue(HKEY_CLASSES_ROOT, progId.c_str(), nullptr, description);
    SetStringValue(HKEY_CLASSES_ROOT, iconKey.c_str(), nullptr, icon.c_str());
    DeleteAllBut(HKEY_CLASSES_ROOT, progId.c_str(), L"DefaultIcon");
    DeleteAllBut(HKEY_CLASSES_ROOT, iconKey.c_str(), nullptr);
    return 0;
}

int DeleteFileTypeClass(const std::wstring& extension)
{
    if (!IsUsableExtension(extension)) return Refuse(L"to delete the class of an unusable extension");
    DeleteKeyTree(HKEY_CLASSES_ROOT, MakeProgId(extension).c_str());
    return 0;
}

int RestoreExtensionKey(const std::wstring& extension)
{
    if (!IsUsableExtension(extension)) return Refuse(L"to restore an unusable extension key");
    const std::wstring extensionKey = L"." + extension;
    const std::wstring progId = MakeProgId(extension);
    auto isOurClass = [&](const std::wstring& owner) { return _wcsicmp(owner.c_str(), progId.c_str()) == 0; };
    RestoreValueBackup(HKEY_CLASSES_ROOT, extensionKey.c_str(), nullptr, isOurClass);
    DeleteKeyIfEmpty(HKEY_CLASSES_ROOT, extensionKey.c_str());
    return 0;
}
