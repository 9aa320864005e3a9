// The finish actions (TInstParams::FinishRun): the programs of the
// configuration's "finish_run" list that are left ticked are started after a
// successful installation, one after the other and without waiting. An
// elevated installer starts them with the signed-in user's ordinary rights;
// when that fails they are started again the ordinary way. Either start gets
// the quoted program path first on its command line and runs in the
// program's own folder. Nothing is reported: a program that cannot be started
// is skipped.
#pragma once

#include <windows.h>

// The un-elevated start: StartProcessUnelevated unless a test replaces it.
// Receives the program's full path and its whole command line; 0 = started.
typedef DWORD (*TUnelevatedStart)(const wchar_t *applicationName, wchar_t *commandLine);
extern TUnelevatedStart FinishUnelevatedStart;
