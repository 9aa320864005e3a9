// Processes, named events and the folder dialog: thin layers over the Windows
// process and shell services.
//
// - RunProcess starts a program and optionally waits for its end in slices of
//   at most one second, calling the caller's callback between slices (the wait
//   itself takes no messages off the queue; pumping is the callback's job).
// - StartProcessUnelevated starts a program with the shell's rights when the
//   running process is elevated, and directly otherwise.
// - MakeEventNameA / MakeEventNameW build the names of the close events that
//   running modules of a product in a folder hold; SignalNamedEventA and
//   SignalNamedEvent set such an event if it exists. Their results have
//   opposite senses (see each function).
// - BrowseForFolder shows the shell's folder-browse dialog.
// None of these throws on a failure of the platform: each answers with a bool,
// a Win32 error code or an empty string.
#pragma once

#include <windows.h>
#include <string>

#include "foundation/class_no_copy.h"
#include "foundation/var_a.h"

// ---------------------------------------------------------------------------
// Processes

// Called once per turn of RunProcess's wait with the options' context; false
// ends the wait (RunProcess then answers true). May throw: the wait ends and
// RunProcess answers true.
typedef bool (*TVxProcWaitCallback)(DWORD_PTR context);

struct TVxProcStartOptions {
    bool wait;                        // wait for the started process to end
    bool useShowCommand;              // pass showCommand (STARTF_USESHOWWINDOW)
    WORD showCommand;                 // an SW_ value
    TVxProcWaitCallback waitCallback; // may be null
    DWORD_PTR context;                // handed to waitCallback

    TVxProcStartOptions() noexcept
        : wait(false), useShowCommand(false), showCommand(0), waitCallback(nullptr), context(0)
    {
    }
};

// The started process. Its handles are closed when the object ends (the
// process itself goes on running). Held through var_a<TVxProcInfo>.
class TVxProcInfo : public Mirelta::class_no_copy {
public:
    PROCESS_INFORMATION info;

    TVxProcInfo() noexcept;
    ~TVxProcInfo();
};

// Starts commandLine (CreateProcessA, no application name, handles not
// inherited, CREATE_DEFAULT_ERROR_MODE | CREATE_NEW_PROCESS_GROUP) in
// workingFolder (empty: the caller's current folder). options may be null
// (defaults). When processInfo holds a TVxProcInfo, it receives the process;
// when it is empty, a private one is used and the handles are closed before
// returning.
// Result: false when the start fails (GetLastError tells why), when the wait
// fails, or when the waited-for process ended with a nonzero exit code; true
// otherwise, including a wait ended by the callback or by its exception.
bool RunProcess(const std::string &commandLine, const std::string &workingFolder,
                const TVxProcStartOptions *options,
                var_a<TVxProcInfo> processInfo = var_a<TVxProcInfo>());

// RunProcess with default options: no wait, no show command.
bool RunProcessSimple(const std::string &commandLine, const std::string &workingFolder,
                      var_a<TVxProcInfo> processInfo = var_a<TVxProcInfo>());

// The mandatory integrity level of a process (0x1000 low, 0x2000 medium,
// 0x3000 high, 0x4000 system) into *level, 0 when it cannot be read.
// Result: 0 on success, else the Win32 error of the first failing call.
DWORD GetProcessIntegrityLevel(DWORD processId, DWORD *level);

// Starts a program without waiting and without keeping handles: with the
// rights of the desktop shell's process when this process runs above medium
// integrity on a system that has integrity levels, directly otherwise.
// Result: 0 on success, else a Win32 error code; 1 when an elevated process
// finds no CreateProcessWithTokenW. commandLine must be writable.
DWORD StartProcessUnelevated(const wchar_t *applicationName, wchar_t *commandLine);

// The platform calls that StartProcessUnelevated goes through, so that the
// choice between its two ways can be exercised without a real elevated
// process. SystemUnelevatedStartCalls() gives the real ones.
struct TVxUnelevatedStartCalls {
    // GetProcAddress in an already loaded module; null when either is missing.
    FARPROC (*findExport)(const char *module, const char *function);
    DWORD (*integrityLevel)(DWORD processId, DWORD *level);
    // Process id of the shell's desktop window; 0 when there is none.
    DWORD (*shellProcessId)();
    // CreateProcessW with the caller's rights; handles closed; 0 or an error.
    DWORD (*startDirect)(const wchar_t *applicationName, wchar_t *commandLine);
    // Duplicates the primary token of processId and starts the program with it
    // through createWithToken (CreateProcessWithTokenW); 0 or an error.
    DWORD (*startWithTokenOf)(DWORD processId, FARPROC createWithToken,
                              const wchar_t *applicationName, wchar_t *commandLine);
};

const TVxUnelevatedStartCalls &SystemUnelevatedStartCalls();

DWORD StartProcessUnelevated(const TVxUnelevatedStartCalls &calls,
                             const wchar_t *applicationName, wchar_t *commandLine);

// The real implementations behind SystemUnelevatedStartCalls().
DWORD StartProcessDirect(const wchar_t *applicationName, wchar_t *commandLine);
DWORD StartProcessWithTokenOf(DWORD processId, FARPROC createWithToken,
                              const wchar_t *applicationName, wchar_t *commandLine);

// ---------------------------------------------------------------------------
// Named events. Nothing here creates an event: the modules that want to be
// told to close create them; these functions only open, set and close.

// prefix + "_" + the folder's short path in lower case, every backslash of the
// whole name replaced by "_". An empty folder means the running program's
// folder; trailing backslashes are dropped. A folder without a short path
// (missing) gives just prefix + "_".
std::string MakeEventNameA(std::string prefix, std::string folder);

// prefix + ":" + the folder's long path in upper case, every backslash of the
// whole name replaced by ":". An empty folder means the running program's
// folder. The name is still narrow text; MakeObjectName makes it wide.
std::string MakeEventNameW(const std::string &prefix, const std::string &folder);

// AnsiToWide of the name; a result longer than 260 units is cut to 260 units
// ending in "::" and the CRC-32 of the whole wide name in upper-case hex.
std::wstring MakeObjectName(const std::string &name);

// Sets the event of that (narrow) name if it exists.
// Result: true when NO such event exists, false when one existed and was set.
bool SignalNamedEventA(std::string name);

// Sets the event named MakeObjectName(name) if it exists.
// Result: true when an event existed and was set, false when none exists.
bool SignalNamedEvent(const std::string &name);

// Full path of a module (null: the program itself); empty on failure. What the
// code page lacks is escaped (VxText.h), so the path still names the file.
std::string GetModulePath(HMODULE module);

// ---------------------------------------------------------------------------
// Folder dialog

// The nearest existing folder at or above startFolder: parents are tried
// until one exists or the path stops changing (a missing drive's root is
// returned as it stands). Empty stays empty.
std::string NearestExistingFolder(const std::string &startFolder);

// Shows the shell's folder-browse dialog (file-system folders only, new
// style) opened at NearestExistingFolder(startFolder), which is selected and
// expanded. startFolder may be null. Result: the chosen folder, or empty on
// cancel or when the choice is not a file-system folder.
std::string BrowseForFolder(HWND owner, const char *title, const char *startFolder);

// The dialog's callback: on BFFM_INITIALIZED selects and expands the folder
// whose narrow text is data (nothing when it is empty). Always returns 0.
int CALLBACK BrowseForFolderCallback(HWND window, UINT message, LPARAM parameter, LPARAM data);
