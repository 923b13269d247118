#include "associate/verbs.h"

const wchar_t* OpenCommandForExecMethod(int execMethod)
{
    switch (execMethod) {
    case 0: return kTailDirectOpen;
    case 3: return kTailOpen;
    case 1: return kTailAdd;
    case 4: return kTailAddOpenParent;
    default: return kTailAddOpen;
    }
}
