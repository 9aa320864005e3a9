// The library includes this header with its Windows SDK spelling. Its one
// power call (suspend or hibernate after extraction, never used by the
// installer) goes through a stand-in that loads powrprof.dll when it is
// called, so that the program does not load that library at start.
#pragma once
#include <powrprof.h>

BOOLEAN WINAPI UnrarCompatSetSuspendState(BOOLEAN hibernate, BOOLEAN force, BOOLEAN wakeupEventsDisabled);
#define SetSuspendState UnrarCompatSetSuspendState
