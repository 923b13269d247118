#include "catalogue/double_click.h"

#include <windows.h>
#include <shlwapi.h>

#include <cwchar>

#include "app/context.h"
#include "app/system_functions.h"
#include "registry/file_type_class.h"
#include "registry/primitives.h"

namespace {

const wchar_t kFileExtsKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts";
// ASSOCSTR_PROGID of Windows 8, which the headers of a Windows 7 build hide.
constexpr ASSOCSTR kAssocProgId = static_cast<ASSOCSTR>(20);

std::wstring WindowsAnswer(const std::wstring& dotted)
{
    if (!WindowsIsAtLeast(6, 2)) return std::wstring();  // ASSOCSTR_PROGID came with Windows 8
    wchar_t progId[kPathChars] = L"";
    DWORD length = kPathChars;
    if (FAILED(AssocQueryStringW(ASSOCF_NONE, kAssocProgId, dotted.c_str(), nullptr, progId, &length)))
        return std::wstring();
    return progId;
}

} // namespace

DoubleClick ResolveDoubleClick(const std::wstring& extension)
{
    const std::wstring dotted = L"." + extension;
    DoubleClick answer;
    QueryStringValueToRead(HKEY_CURRENT_USER, (std::wstring(kFileExtsKey) + L"\\" + dotted + L"\\UserChoice").c_str(),
                           L"ProgId", answer.userChoice);
    answer.userChoiceExists = !answer.userChoice.empty() && KeyExistsToRead(HKEY_CLASSES_ROOT, answer.userChoice.c_str());
    answer.progId = WindowsAnswer(dotted);
    if (answer.progId.empty() && answer.userChoiceExists) answer.progId = answer.userChoice;
    if (answer.progId.empty()) {
        std::wstring owner;
        QueryStringValueToRead(HKEY_CLASSES_ROOT, dotted.c_str(), nullptr, owner);
        if (!owner.empty() && KeyExistsToRead(HKEY_CLASSES_ROOT, owner.c_str())) answer.progId = owner;
    }
    answer.byUserChoice = !answer.progId.empty() && _wcsicmp(answer.progId.c_str(), answer.userChoice.c_str()) == 0;
    return answer;
}

bool OpensWithPlayer(const std::wstring& extension)
{
    return _wcsicmp(ResolveDoubleClick(extension).progId.c_str(), MakeProgId(extension).c_str()) == 0;
}

bool EveryTickedTypeOpensWithPlayer(const FileTypeList& list)
{
    bool anyTicked = false;
    for (const FileTypeEntry& entry : list) {
        if (!(entry.flags & FT_ASSOCIATED) || entry.IsPseudoType()) continue;
        if (!OpensWithPlayer(entry.extension)) return false;
        anyTicked = true;
    }
    return anyTicked;
}
