// Process-wide state of the association tool: set up once at start-up and
// read by every subsystem afterwards.
#ifndef KORVANE_APP_CONTEXT_H
#define KORVANE_APP_CONTEXT_H

#include <windows.h>

#include <string>

constexpr int kPathChars = 1024;        // paths, tokens, descriptions
constexpr int kShortTextChars = 256;    // verb names, settings values, messages
constexpr int kBuiltinTypeCount = 10;

// True when a path read from the registry or the settings file fits the
// 1024-character buffers of the program. A longer one is never handed to a
// path, module or image function of the system: no valid path is that long,
// and some implementations copy it into a buffer of that size unchecked.
inline bool FitsPathBuffer(const wchar_t* path)
{
    for (int i = 0; i < kPathChars; ++i)
        if (path[i] == L'\0') return true;
    return false;
}

// Everything the applier needs besides the lists; one instance, passed by
// address. Fields stay in this order.
struct AssociationContext {
    const wchar_t* clientExePath;
    HMODULE resourceModule;
    const wchar_t* openCommand;         // null until a registration run chooses it
    wchar_t openVerbName[kShortTextChars];
    wchar_t playVerbName[kShortTextChars];
    wchar_t addVerbName[kShortTextChars];
    wchar_t openNewVerbName[kShortTextChars];
    wchar_t openParentVerbName[kShortTextChars];
    int addPlayChecked;
    int addOnlyChecked;
    int newPlayChecked;
    int openParentChecked;
    int audioCdSelected;
    int folderSelected;
    int builtinIconIds[kBuiltinTypeCount];
    int execMethod;
    int openDefaultApps;                // -1 until the file types dialog decides; 1: open Windows' default apps after registering
};

extern wchar_t settingsPath[kPathChars];
extern wchar_t clientExePathBuffer[kPathChars];
extern wchar_t resourceModulePath[kPathChars];
extern wchar_t builtinDescriptions[kBuiltinTypeCount][kPathChars];

// 0x100 (KEY_WOW64_64KEY) on a Windows that knows WOW64, else 0; combined
// with registryAccessRights in every registry open and create.
extern DWORD registryViewFlag;

// KEY_ALL_ACCESS in the association tool, which runs elevated and writes;
// KEY_READ in the read-only report, which runs as any user.
extern REGSAM registryAccessRights;

extern AssociationContext associationContext;

// The values the process starts with, for a fresh start-up.
AssociationContext InitialAssociationContext();

const wchar_t* GetClientExePath();
HMODULE GetResourceModule();

#endif
