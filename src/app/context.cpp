#include "app/context.h"

wchar_t settingsPath[kPathChars];
wchar_t clientExePathBuffer[kPathChars];
wchar_t resourceModulePath[kPathChars];

// The texts shown when the resource module has no translation of its own.
wchar_t builtinDescriptions[kBuiltinTypeCount][kPathChars] = {
    L"Korvane WAVE サウンド",
    L"Korvane MPEG Layer-3 サウンド",
    L"Korvane Ogg Vorbis サウンド",
    L"Korvane Windows Media Audio サウンド",
    L"Korvane Monkey's Audio サウンド",
    L"Korvane FLAC サウンド",
    L"CD Digital Audio",
    L"Korvane プレイリスト",
    L"Korvane Unicode プレイリスト",
    L"Korvane UTF-8 プレイリスト",
};

DWORD registryViewFlag = 0;
REGSAM registryAccessRights = KEY_ALL_ACCESS;

AssociationContext InitialAssociationContext()
{
    return AssociationContext{
        clientExePathBuffer,
        nullptr,
        nullptr,
        L"Open",
        L"Play",
        L"Add",
        L"OpenNew",
        L"OpenParent",
        1, 1, 1, 1,
        0, 0,
        {-109, -107, -108, -110, -102, -104, -103, -105, -105, -105},
        2,
        -1,
    };
}

AssociationContext associationContext = InitialAssociationContext();

const wchar_t* GetClientExePath()
{
    return clientExePathBuffer;
}

HMODULE GetResourceModule()
{
    return associationContext.resourceModule;
}
