#include "registry/file_type_class.h"

#include <windows.h>

#include <cstdlib>
#include <cwchar>

#include "app/context.h"
#include "files/paths.h"
#include "registry/executable_types.h"
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

} // namespace

std::wstring DefaultIconText(const std::wstring& iconPath, int iconId, ShortPathCache* cache)
{
    const auto known = cache ? cache->find(iconPath) : ShortPathCache::iterator();
    if (cache && known != cache->end()) return known->second + L"," + std::to_wstring(iconId);
    wchar_t shortPath[kPathChars];
    const DWORD n = FitsPathBuffer(iconPath.c_str()) && IsLocalFixedPath(iconPath)
                        ? GetShortPathNameW(iconPath.c_str(), shortPath, kPathChars)
                        : 0;
    const std::wstring path = (n == 0 || n >= static_cast<DWORD>(kPathChars)) ? iconPath : std::wstring(shortPath, n);
    if (cache) cache->emplace(iconPath, path);
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
    iconPath = OpensAsLocalFile(path) ? LongPath(path) : path;
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
    if (WindowsRunsType(extension)) return ExtensionFault::Executable;
    return ExtensionFault::None;
}

std::wstring MakeProgId(const std::wstring& extension)
{
    return std::wstring(kProductWord) + L" " + extension + L" File";
}

bool MakeFileTypeClass(const std::wstring& extension, const std::wstring& description, int iconId,
                       const std::wstring& iconPath, const std::vector<ClassVerb>& verbs, FileTypeClass& made,
                       ShortPathCache* cache)
{
    if (!IsRegistrableExtension(extension)) {
        Refuse(L"a file type class for an extension that cannot be registered");
        return false;
    }
    FileTypeClass texts;
    texts.key = ClassesKey(MakeProgId(extension));
    texts.description = description;
    texts.icon = DefaultIconText(iconPath, iconId, cache);
    bool fits = FitsPathBuffer(texts.icon.c_str());
    for (const ClassVerb& verb : verbs) {
        texts.verbs.push_back({verb.key, verb.displayName, L"\"" + std::wstring(GetClientExePath()) + L"\" " + verb.commandTail});
        const std::wstring commandKey = MakeProgId(extension) + L"\\shell\\" + verb.key + L"\\Command";
        fits = fits && FitsPathBuffer(texts.verbs.back().command.c_str()) && FitsPathBuffer(commandKey.c_str());
    }
    if (!fits) {
        Refuse(L"a file type class whose icon, command or verb is too long");
        return false;
    }
    made = std::move(texts);
    return true;
}

LSTATUS WriteFileTypeClass(const FileTypeClass& made)
{
    RegKey classKey, iconKey;
    bool newClass = false, newIcon = false;
    LSTATUS status = OpenOrCreateKey(HKEY_LOCAL_MACHINE, made.key.c_str(), classKey, &newClass);
    if (status != ERROR_SUCCESS) return status;
    LSTATUS first = WriteStringValue(classKey.get(), nullptr, made.description.c_str());
    auto keep = [&first](LSTATUS next) { if (first == ERROR_SUCCESS) first = next; };
    status = OpenOrCreateKey(classKey.get(), L"DefaultIcon", iconKey, &newIcon);
    keep(status);
    if (status == ERROR_SUCCESS) {
        keep(WriteStringValue(iconKey.get(), nullptr, made.icon.c_str()));
        if (!newIcon) DeleteAllBut(iconKey.get(), L"", nullptr);
    }
    // A key made just now holds nothing else: nothing to clear, and no verb
    // of it can carry a DDE conversation.
    if (!newClass) DeleteAllBut(classKey.get(), L"", L"DefaultIcon");
    for (const FileTypeClass::Verb& verb : made.verbs) {
        RegKey verbKey, commandKey;
        status = OpenOrCreateKey(classKey.get(), (L"shell\\" + verb.key).c_str(), verbKey);
        keep(status);
        if (status != ERROR_SUCCESS) continue;
        keep(WriteStringValue(verbKey.get(), nullptr, verb.displayName));
        status = OpenOrCreateKey(verbKey.get(), L"Command", commandKey);
        keep(status == ERROR_SUCCESS ? WriteStringValue(commandKey.get(), nullptr, verb.command.c_str()) : status);
    }
    return first;
}

int DeleteFileTypeClass(const std::wstring& extension)
{
    if (!IsUsableExtension(extension)) return Refuse(L"to delete the class of an unusable extension");
    DeleteKeyTree(HKEY_LOCAL_MACHINE, ClassesKey(MakeProgId(extension)).c_str());
    return 0;
}

int RestoreExtensionKey(const std::wstring& extension)
{
    if (!IsUsableExtension(extension)) return Refuse(L"to restore an unusable extension key");
    const std::wstring extensionKey = ClassesKey(L"." + extension);
    const std::wstring progId = MakeProgId(extension);
    auto isOurClass = [&](const std::wstring& owner) { return _wcsicmp(owner.c_str(), progId.c_str()) == 0; };
    // A key that is not there has nothing to give back or to delete.
    if (RestoreValueBackup(HKEY_LOCAL_MACHINE, extensionKey.c_str(), nullptr, isOurClass) != -2)
        DeleteKeyIfEmpty(HKEY_LOCAL_MACHINE, extensionKey.c_str());
    return 0;
}
