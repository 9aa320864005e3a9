#include "foundation/VxProcess.h"

#include <shlobj.h>
#include <zlib.h>

#include <memory>
#include <vector>

#include "foundation/VxPath.h"
#include "foundation/VxText.h"
#include "foundation/WinHandle.h"

using Mirelta::TWinHandle;

namespace {

const DWORD kProcessCreateFlags = CREATE_DEFAULT_ERROR_MODE | CREATE_NEW_PROCESS_GROUP;
// Every kind of queue input except raw input: keyboard, mouse, posted and sent
// messages, timers, paint and hot keys.
const DWORD kWaitWakeMask = 0xFF;
const DWORD kWaitSliceMs = 1000;

const DWORD kEventAllAccess = 0x1F0003;
const DWORD kTokenAllAccess = 0xF01FF;

const DWORD kMediumIntegrity = 0x2000;
const size_t kMaxObjectName = 260;

typedef BOOL(WINAPI *TCreateProcessWithTokenW)(HANDLE token, DWORD logonFlags,
                                               LPCWSTR applicationName, LPWSTR commandLine,
                                               DWORD creationFlags, LPVOID environment,
                                               LPCWSTR currentDirectory,
                                               LPSTARTUPINFOW startupInfo,
                                               LPPROCESS_INFORMATION processInformation);

// Export addresses come back as FARPROC; going through the catch-all function
// type keeps the cast to the real signature free of warnings.
template <class F>
F FunctionCast(FARPROC proc)
{
    return reinterpret_cast<F>(reinterpret_cast<void (*)()>(proc));
}

// The error of the call that just failed; never 0, so a failure cannot be
// mistaken for success when the platform left no error code behind.
DWORD LastErrorOr(DWORD fallback)
{
    DWORD error = GetLastError();
    return error ? error : fallback;
}

void CloseProcessHandles(PROCESS_INFORMATION &info)
{
    TWinHandle(info.hThread).Close();
    TWinHandle(info.hProcess).Close();
    info.hThread = nullptr;
    info.hProcess = nullptr;
}

// Waits for the process in slices, calling the callback between slices. The
// end of the process is taken from the wait result on its handle, never from
// its exit code (a program may well exit with 259, STILL_ACTIVE).
bool WaitForProcessEnd(HANDLE process, const TVxProcStartOptions &options)
{
    try {
        for (;;) {
            DWORD r = MsgWaitForMultipleObjects(1, &process, FALSE, kWaitSliceMs, kWaitWakeMask);
            if (r == WAIT_OBJECT_0) {
                DWORD code = 0;
                if (!GetExitCodeProcess(process, &code))
                    return false;
                return code == 0;
            }
            if (r != WAIT_TIMEOUT && r != WAIT_OBJECT_0 + 1)
                return false;
            if (options.waitCallback && !options.waitCallback(options.context))
                return true;
        }
    } catch (...) {
        // The callback asked to stop by throwing (a user break, typically):
        // the program goes on running and the start counts as a success.
        return true;
    }
}

void ReplaceChar(std::string &text, char from, char to)
{
    for (char &c : text)
        if (c == from)
            c = to;
}

std::string RunningProgramFolder()
{
    return ExtractFilePath(GetModulePath(nullptr));
}

FARPROC FindExportInLoadedModule(const char *module, const char *function)
{
    HMODULE handle = GetModuleHandleA(module);
    return handle ? GetProcAddress(handle, function) : nullptr;
}

DWORD ShellWindowProcessId()
{
    HWND shell = GetShellWindow();
    if (!shell)
        return 0;
    DWORD processId = 0;
    GetWindowThreadProcessId(shell, &processId);
    return processId;
}

struct TProcessHeapFree {
    void operator()(void *p) const noexcept { HeapFree(GetProcessHeap(), 0, p); }
};

struct TCoTaskMemFree {
    void operator()(void *p) const noexcept { CoTaskMemFree(p); }
};

// Copies text into a 512-byte buffer, cut to 511 bytes.
void CopyCut(char (&buffer)[512], const std::string &text)
{
    size_t n = text.size() < sizeof buffer - 1 ? text.size() : sizeof buffer - 1;
    text.copy(buffer, n);
    buffer[n] = '\0';
}

} // namespace

// ---------------------------------------------------------------------------
// Processes

TVxProcInfo::TVxProcInfo() noexcept : info()
{
}

TVxProcInfo::~TVxProcInfo()
{
    CloseProcessHandles(info);
}

bool RunProcess(const std::string &commandLine, const std::string &workingFolder,
                const TVxProcStartOptions *options, var_a<TVxProcInfo> processInfo)
{
    const TVxProcStartOptions defaults;
    const TVxProcStartOptions &o = options ? *options : defaults;

    STARTUPINFOA startup;
    ZeroMemory(&startup, sizeof startup);
    startup.cb = sizeof startup;
    if (o.useShowCommand) {
        startup.dwFlags = STARTF_USESHOWWINDOW;
        startup.wShowWindow = o.showCommand;
    }

    if (!processInfo)
        processInfo = make_var_a<TVxProcInfo>();
    PROCESS_INFORMATION &info = processInfo->info;
    // A holder used before still owns the handles of its earlier process.
    CloseProcessHandles(info);
    ZeroMemory(&info, sizeof info);

    std::vector<char> command(commandLine.begin(), commandLine.end());
    command.push_back('\0');
    // An empty folder means "the caller's current folder": Windows wants a
    // null pointer for that, an empty text makes the start fail.
    const char *folder = workingFolder.empty() ? nullptr : workingFolder.c_str();

    SetLastError(0);
    if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, kProcessCreateFlags,
                        nullptr, folder, &startup, &info))
        return false;
    if (!o.wait)
        return true;
    return WaitForProcessEnd(info.hProcess, o);
}

bool RunProcessSimple(const std::string &commandLine, const std::string &workingFolder,
                      var_a<TVxProcInfo> processInfo)
{
    return RunProcess(commandLine, workingFolder, nullptr, processInfo);
}

DWORD GetProcessIntegrityLevel(DWORD processId, DWORD *level)
{
    if (level)
        *level = 0;
    TWinHandle process(OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, processId));
    if (!process)
        return LastErrorOr(ERROR_ACCESS_DENIED);
    HANDLE rawToken = nullptr;
    if (!OpenProcessToken(process.Get(), TOKEN_QUERY, &rawToken))
        return LastErrorOr(ERROR_ACCESS_DENIED);
    TWinHandle token(rawToken);

    DWORD size = 0;
    if (!GetTokenInformation(token.Get(), TokenIntegrityLevel, nullptr, 0, &size) &&
        GetLastError() != ERROR_INSUFFICIENT_BUFFER)
        return LastErrorOr(ERROR_INVALID_DATA);
    if (size < sizeof(TOKEN_MANDATORY_LABEL))
        return ERROR_INVALID_DATA;

    std::unique_ptr<void, TProcessHeapFree> buffer(HeapAlloc(GetProcessHeap(), 0, size));
    if (!buffer)
        return ERROR_NOT_ENOUGH_MEMORY;
    if (!GetTokenInformation(token.Get(), TokenIntegrityLevel, buffer.get(), size, &size))
        return LastErrorOr(ERROR_INVALID_DATA);

    PSID sid = static_cast<TOKEN_MANDATORY_LABEL *>(buffer.get())->Label.Sid;
    if (!sid || !IsValidSid(sid))
        return ERROR_INVALID_SID;
    UCHAR count = *GetSidSubAuthorityCount(sid);
    if (count == 0)
        return ERROR_INVALID_SID;
    if (level)
        *level = *GetSidSubAuthority(sid, count - 1);
    SetLastError(0);
    return 0;
}

const TVxUnelevatedStartCalls &SystemUnelevatedStartCalls()
{
    static const TVxUnelevatedStartCalls calls = {
        &FindExportInLoadedModule, &GetProcessIntegrityLevel, &ShellWindowProcessId,
        &StartProcessDirect,       &StartProcessWithTokenOf,
    };
    return calls;
}

DWORD StartProcessUnelevated(const wchar_t *applicationName, wchar_t *commandLine)
{
    return StartProcessUnelevated(SystemUnelevatedStartCalls(), applicationName, commandLine);
}

DWORD StartProcessUnelevated(const TVxUnelevatedStartCalls &calls,
                             const wchar_t *applicationName, wchar_t *commandLine)
{
    // Only a system with integrity levels exports GetProductInfo; on older ones
    // there is nothing to drop.
    bool elevated = false;
    if (calls.findExport("Kernel32", "GetProductInfo")) {
        DWORD level = 0;
        DWORD error = calls.integrityLevel(GetCurrentProcessId(), &level);
        if (error)
            return error;
        elevated = level > kMediumIntegrity;
    }
    if (!elevated)
        return calls.startDirect(applicationName, commandLine);

    FARPROC createWithToken = calls.findExport("Advapi32", "CreateProcessWithTokenW");
    if (!createWithToken)
        return 1;
    // Without a shell there is no user's process to borrow rights from;
    // never fall back to whatever process id 0 would open.
    DWORD shellProcessId = calls.shellProcessId();
    if (!shellProcessId)
        return ERROR_INVALID_WINDOW_HANDLE;
    return calls.startWithTokenOf(shellProcessId, createWithToken, applicationName, commandLine);
}

DWORD StartProcessDirect(const wchar_t *applicationName, wchar_t *commandLine)
{
    STARTUPINFOW startup;
    ZeroMemory(&startup, sizeof startup);
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info;
    ZeroMemory(&info, sizeof info);

    if (!CreateProcessW(applicationName, commandLine, nullptr, nullptr, FALSE, 0, nullptr,
                        nullptr, &startup, &info))
        return LastErrorOr(ERROR_GEN_FAILURE);
    CloseProcessHandles(info);
    return 0;
}

DWORD StartProcessWithTokenOf(DWORD processId, FARPROC createWithToken,
                              const wchar_t *applicationName, wchar_t *commandLine)
{
    if (!processId || !createWithToken)
        return ERROR_INVALID_PARAMETER;

    TWinHandle process(OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, processId));
    if (!process)
        return LastErrorOr(ERROR_ACCESS_DENIED);
    HANDLE raw = nullptr;
    if (!OpenProcessToken(process.Get(), TOKEN_DUPLICATE, &raw))
        return LastErrorOr(ERROR_ACCESS_DENIED);
    TWinHandle processToken(raw);
    raw = nullptr;
    if (!DuplicateTokenEx(processToken.Get(), kTokenAllAccess, nullptr, SecurityImpersonation,
                          TokenPrimary, &raw))
        return LastErrorOr(ERROR_ACCESS_DENIED);
    TWinHandle newToken(raw);

    STARTUPINFOW startup;
    ZeroMemory(&startup, sizeof startup);
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info;
    ZeroMemory(&info, sizeof info);

    TCreateProcessWithTokenW create = FunctionCast<TCreateProcessWithTokenW>(createWithToken);
    if (!create(newToken.Get(), 0, applicationName, commandLine, 0, nullptr, nullptr, &startup,
                &info))
        return LastErrorOr(ERROR_GEN_FAILURE);
    CloseProcessHandles(info);
    SetLastError(0);
    return 0;
}

// ---------------------------------------------------------------------------
// Named events

std::string MakeEventNameA(std::string prefix, std::string folder)
{
    std::string name = prefix + "_";
    if (folder.empty())
        folder = RunningProgramFolder();
    while (!folder.empty() && folder.back() == '\\')
        folder.pop_back();

    char shortPath[256];
    shortPath[0] = '\0';
    DWORD n = GetShortPathNameA(folder.c_str(), shortPath, sizeof shortPath);
    if (n == 0 || n >= sizeof shortPath)
        shortPath[0] = '\0';
    else
        CharLowerBuffA(shortPath, n);

    name += shortPath;
    ReplaceChar(name, '\\', '_');
    return name;
}

std::string MakeEventNameW(const std::string &prefix, const std::string &folder)
{
    std::string path = folder.empty() ? RunningProgramFolder() : folder;
    path = UpperCase(LongPathName(ExcludeTrailingBackslash(path)));
    std::string name = prefix + ":" + path;
    ReplaceChar(name, '\\', ':');
    return name;
}

std::wstring MakeObjectName(const std::string &name)
{
    std::wstring wide = AnsiToWide(name);
    if (wide.size() <= kMaxObjectName)
        return wide;
    // The CRC covers the whole name, so names that differ only beyond the cut
    // still get different objects.
    uLong crc = crc32(0L, reinterpret_cast<const Bytef *>(wide.data()),
                      static_cast<uInt>(wide.size() * sizeof(wchar_t)));
    std::wstring suffix = AnsiToWide(FormatString("::%lX", static_cast<unsigned long>(crc)));
    return wide.substr(0, kMaxObjectName - suffix.size()) + suffix;
}

bool SignalNamedEventA(std::string name)
{
    TWinHandle event(OpenEventA(kEventAllAccess, FALSE, name.c_str()));
    if (!event)
        return true;
    SetEvent(event.Get());
    return false;
}

bool SignalNamedEvent(const std::string &name)
{
    std::wstring objectName = MakeObjectName(name);
    TWinHandle event(OpenEventW(kEventAllAccess, FALSE, objectName.c_str()));
    if (!event)
        return false;
    SetEvent(event.Get());
    return true;
}

std::string GetModulePath(HMODULE module)
{
    // By the wide name: a folder outside the code page would come back with
    // "?" in the narrow one, a path that names no file.
    std::vector<wchar_t> buffer(MAX_PATH);
    for (;;) {
        const DWORD length = GetModuleFileNameW(module, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0)
            return std::string();
        if (length < buffer.size())
            return WideToAnsi(std::wstring(buffer.data(), length));
        if (buffer.size() >= 32768)
            return std::string();
        buffer.resize(buffer.size() * 2);
    }
}

// ---------------------------------------------------------------------------
// Folder dialog

std::string NearestExistingFolder(const std::string &startFolder)
{
    std::string folder = startFolder;
    while (!folder.empty() && !DirectoryExists(folder)) {
        std::string parent =
            ExcludeTrailingBackslash(ExtractFilePath(ExcludeTrailingBackslash(folder)));
        if (parent == folder)
            break;
        folder = parent;
    }
    return folder;
}

std::string BrowseForFolder(HWND owner, const char *title, const char *startFolder)
{
    std::string folder = NearestExistingFolder(startFolder ? startFolder : "");
    CoInitialize(nullptr);

    char displayName[512];
    char selection[512];
    CopyCut(displayName, folder);
    CopyCut(selection, folder);

    BROWSEINFOA info;
    ZeroMemory(&info, sizeof info);
    info.hwndOwner = owner;
    info.pidlRoot = nullptr;
    info.pszDisplayName = displayName;
    info.lpszTitle = title;
    info.ulFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE;
    info.lpfn = &BrowseForFolderCallback;
    info.lParam = reinterpret_cast<LPARAM>(selection);

    std::unique_ptr<ITEMIDLIST, TCoTaskMemFree> chosen(SHBrowseForFolderA(&info));
    if (!chosen)
        return std::string();
    wchar_t path[MAX_PATH + 1] = {};
    if (!SHGetPathFromIDListW(chosen.get(), path))
        return std::string();
    return WideToAnsi(path);
}

int CALLBACK BrowseForFolderCallback(HWND window, UINT message, LPARAM, LPARAM data)
{
    if (message != BFFM_INITIALIZED)
        return 0;
    const char *text = reinterpret_cast<const char *>(data);
    if (!text || !*text)
        return 0;
    try {
        std::wstring path = AnsiToWide(text);
        SendMessageW(window, BFFM_SETSELECTIONW, TRUE, reinterpret_cast<LPARAM>(path.c_str()));
        SendMessageW(window, BFFM_SETEXPANDED, TRUE, reinterpret_cast<LPARAM>(path.c_str()));
    } catch (...) {
        // Nothing may cross back into the shell's dialog code; the dialog
        // simply opens without a preselected folder.
    }
    return 0;
}
