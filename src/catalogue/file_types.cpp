#include "catalogue/file_types.h"

#include <windows.h>

#include <cwchar>

#include "app/context.h"
#include "resource.h"

FileTypeList g_fileTypes;

const wchar_t* const kBuiltinExtensions[kBuiltinTypeCount] = {
    L"wav", L"mp3", L"ogg", L"wma", L"ape", L"flac", L"cda", L"m3u", L"m3u16", L"m3u8",
};

int32_t DefaultIconIdOf(const std::wstring& extension)
{
    for (int row = 0; row < kBuiltinTypeCount; ++row)
        if (_wcsicmp(kBuiltinExtensions[row], extension.c_str()) == 0) return associationContext.builtinIconIds[row];
    return -IDI_DEFAULT_TYPE;
}

void UseLocalIconOnly(FileTypeEntry& entry)
{
    if (IsLocalFixedPath(entry.iconPath) || entry.iconPath == resourceModulePath) return;
    OutputDebugStringW(L"Korvane: an icon path not on a local fixed drive was not used\n");
    entry.iconPath = resourceModulePath;
    entry.iconId = DefaultIconIdOf(entry.extension);
}

void AppendBuiltInTypes(FileTypeList& list)
{
    for (int row = 0; row < kBuiltinTypeCount; ++row) {
        list.emplace_back(kBuiltinExtensions[row], builtinDescriptions[row], resourceModulePath,
                          associationContext.builtinIconIds[row], 0u);
    }
}
