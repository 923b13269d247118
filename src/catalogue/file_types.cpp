#include "catalogue/file_types.h"

#include "app/context.h"

FileTypeList g_fileTypes;

const wchar_t* const kBuiltinExtensions[kBuiltinTypeCount] = {
    L"wav", L"mp3", L"ogg", L"wma", L"ape", L"flac", L"cda", L"m3u", L"m3u16", L"m3u8",
};

void AppendBuiltInTypes(FileTypeList& list)
{
    for (int row = 0; row < kBuiltinTypeCount; ++row) {
        list.emplace_back(kBuiltinExtensions[row], builtinDescriptions[row], resourceModulePath,
                          associationContext.builtinIconIds[row], 0u);
    }
}
