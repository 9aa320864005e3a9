// The stand-in for SetSuspendState declared by our PowrProf.h: powrprof.dll
// is loaded on the first call only.
#include <windows.h>

#include "PowrProf.h"

BOOLEAN WINAPI UnrarCompatSetSuspendState(BOOLEAN hibernate, BOOLEAN force, BOOLEAN wakeupEventsDisabled)
{
    typedef BOOLEAN(WINAPI * TSetSuspendState)(BOOLEAN, BOOLEAN, BOOLEAN);
    HMODULE library = LoadLibraryW(L"powrprof.dll");
    if (!library)
        return FALSE;
    auto call = reinterpret_cast<TSetSuspendState>(
        reinterpret_cast<void *>(GetProcAddress(library, "SetSuspendState")));
    if (!call) {
        SetLastError(ERROR_PROC_NOT_FOUND);
        return FALSE;
    }
    return call(hibernate, force, wakeupEventsDisabled);
}
