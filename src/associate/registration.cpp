#include "associate/registration.h"

#include <windows.h>

// NOT FINISHED: the dialogs and the registration run arrive with the dialogs
// work. Until then "/Register" changes nothing and reports that no dialog
// could be shown.
int RunRegistration()
{
    OutputDebugStringW(L"Korvane: the registration run is not built yet\n");
    return -1;
}
