#include "installer/InstallProcedure.h"

#include <windows.h>

#include <string>

#include "foundation/StringIds.h"
#include "foundation/VxMessage.h"
#include "foundation/VxPath.h"
#include "foundation/VxProcess.h"
#include "foundation/VxText.h"
#include "installer/ExtractArchive.h"
#include "installer/InstParams.h"
#include "installer/OwnedFolders.h"
#include "visual/DlgMessageBoxUnit.h"

namespace {

const int CloseSignalAttempts = 3;
const DWORD CloseSignalWait = 2000;
const DWORD DeleteRetryWait = 200;
const unsigned DeleteRetryBudget = 20;

void SystemSleep(DWORD milliseconds)
{
    Sleep(milliseconds);
}

// The path's long form, upper-cased: two names of one existing file compare
// equal. A name differs from its long form other than in case only when it
// is a short (8.3) alias, and every alias the system makes holds a "~"; a
// path without one is its own long form and needs no lookup of each of its
// folders.
std::string ComparablePath(const std::string &path)
{
    if (path.find('~') == std::string::npos)
        return UpperCase(path);
    return UpperCase(LongPathName(path));
}

// ---------------------------------------------------------------------------
// The target check

std::string WithBackslashes(std::string path)
{
    for (char &c : path) {
        if (c == '/')
            c = '\\';
    }
    return path;
}

// Whether a path written with backslashes only, without a trailing one, has
// the shape of a target: a drive or a share, at least one folder below the
// root or the share, no empty, "." or ".." part and no character that no
// file name may hold.
bool HasTargetShape(const std::string &path)
{
    if (!IsAbsolutePath(path))
        return false;
    const bool share = path[0] == '\\';
    const size_t minimumParts = share ? 3 : 1; // server, share and a folder on it
    size_t parts = 0;
    size_t pos = share ? 2 : 3;
    while (pos <= path.size()) {
        size_t end = path.find('\\', pos);
        if (end == std::string::npos)
            end = path.size();
        const std::string part = path.substr(pos, end - pos);
        if (part.empty() || part == "." || part == ".." || part.find_first_of(":*?\"<>|") != std::string::npos)
            return false;
        for (char c : part) {
            if (static_cast<unsigned char>(c) < 0x20)
                return false;
        }
        ++parts;
        pos = end + 1;
    }
    return parts >= minimumParts;
}

// The full path that the system makes of path; "" when it makes none.
std::string FullPathName(const std::string &path)
{
    const std::wstring wide = AnsiToWide(path);
    const DWORD needed = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
    if (needed == 0)
        return std::string();
    std::wstring full(needed, L'\0');
    const DWORD length = GetFullPathNameW(wide.c_str(), needed, &full[0], nullptr);
    if (length == 0 || length >= needed)
        return std::string();
    full.resize(length);
    return WideToAnsi(full);
}

// A folder as IsSafeTargetFolder compares it: backslashes only, no trailing
// one, the long form, upper-cased.
std::string ComparableFolder(const std::string &folder)
{
    return ComparablePath(ExcludeTrailingBackslash(WithBackslashes(folder)));
}

// Whether inner is outer or lies below it; both comparable folders.
bool IsSameOrBelow(const std::string &inner, const std::string &outer)
{
    if (inner.compare(0, outer.size(), outer) != 0)
        return false;
    return inner.size() == outer.size() || inner[outer.size()] == '\\';
}

// Asks the modules that hold a close event of the folder to close, and waits
// until none holds it any more or the user gives up (message 30015).
// stillHeld answers whether a module still holds the event after being told.
void CloseRunningModules(TInstParams &params, const std::string &folder, bool (*stillHeld)(const std::string &))
{
    params.State(LoadResStdString(IDS_STATE_CLOSING_MODULES));
    params.Progress(InstProgressIndefinite);

    for (int attempt = 1; attempt <= CloseSignalAttempts; ++attempt) {
        if (!stillHeld(folder))
            break;
        InstallSleep(CloseSignalWait);
        params.Progress(InstProgressIndefinite);
    }
    while (stillHeld(folder)) {
        if (!AskOkCancel(FormatString(LoadResStdString(IDS_CLOSE_RUNNING_MODULES).c_str(), params.app_title.c_str())))
            throw Mirelta::TVxMessage(IDS_CLOSE_MODULES_FAILED);
    }
}

bool NarrowEventHeld(const std::string &folder)
{
    return !SignalCloseEventA(folder);
}

bool WideEventHeld(const std::string &folder)
{
    return SignalCloseEventW(folder);
}

// A read-only file cannot be deleted as it stands. A link is left as it is:
// its attributes might be set on what it leads to.
void ClearReadOnly(const std::string &path)
{
    const unsigned attributes = FileAttributes(path);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) &&
        !(attributes & FILE_ATTRIBUTE_REPARSE_POINT))
        SetFileAttributesW(AnsiToWide(path).c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
}

// Deletes one file of the removal, waiting and asking while it resists. The
// retry budget is shared by the whole removal.
void DeleteWithRetries(TInstParams &params, const std::string &entry, int32_t percent, unsigned &budget)
{
    ClearReadOnly(entry);
    for (;;) {
        if (!FileExists(entry) || FileDelete(entry))
            return;
        if (budget < DeleteRetryBudget) {
            InstallSleep(DeleteRetryWait);
            params.Progress(percent);
            ++budget;
            continue;
        }
        if (AskRetryCancel(FormatString(LoadResStdString(IDS_ASK_RETRY_DELETE).c_str(), entry.c_str())) != IDRETRY)
            throw Mirelta::TVxMessage(IDS_REMOVE_PREVIOUS_FAILED) << entry;
    }
}

// Removes the previous version: everything in the target folder except the
// preserved entries, entries named like the constants file and the running
// program's own file.
void RemovePreviousVersion(TInstParams &params)
{
    params.State(LoadResStdString(IDS_STATE_REMOVING_PREVIOUS));
    params.Progress(0);

    unsigned budget = 0;
    const std::string root = IncludeTrailingBackslash(params.target_folder);
    Mirelta::string_vector entries;
    if (!params.preserve_root_folder) {
        ListDirectory(entries, params.target_folder, "*.*", true, true);
    } else {
        Mirelta::string_vector firstLevel;
        ListDirectory(firstLevel, params.target_folder, "*.*", true, false);
        for (const std::string &entry : firstLevel)
            ListDirectory(entries, entry, "*.*", true, true);
    }

    const std::string constsName = UpperCase(params.vx_consts_file);
    // The wide module name gives the program's path with the same escapes
    // as the listing, also in a folder outside the ANSI code page.
    const std::string programPath = GetModulePath(nullptr);
    const std::string ownFile = programPath.empty() ? std::string() : ComparablePath(programPath);
    const size_t count = entries.size();
    for (size_t i = 0; i < count; ++i) {
        const std::string &entry = entries[i];
        const int32_t percent = static_cast<int32_t>(100 * (i + 1) / count);
        params.Progress(percent);

        if (!params.vx_consts_file.empty() && UpperCase(ExtractFileName(entry)) == constsName)
            continue;
        const std::string relative = entry.size() > root.size() ? entry.substr(root.size()) : std::string();
        if (params.preserve_files.count(UpperCase(relative)))
            continue;
        if (DirectoryExists(entry)) {
            DirectoryRemove(entry);
            continue;
        }
        if (!ownFile.empty() && ComparablePath(entry) == ownFile)
            continue;
        DeleteWithRetries(params, entry, percent, budget);
    }
}

// Copies the constants file from the program's folder into the target (or its
// configured sub-folder), replacing an older copy.
void CopyConstantsFile(TInstParams &params)
{
    std::string folder = params.target_folder;
    if (!params.vx_consts_path.empty())
        folder = IncludeTrailingBackslash(folder) + params.vx_consts_path;
    ForceDirectories(folder);

    params.State(LoadResStdString(IDS_STATE_INSTALLING));
    params.Progress(InstProgressIndefinite);

    const std::string source = IncludeTrailingBackslash(params.own_folder) + params.vx_consts_file;
    const std::string target = IncludeTrailingBackslash(folder) + params.vx_consts_file;
    if (FileExists(source)) {
        if (FileExists(target)) {
            ClearReadOnly(target);
            if (!FileDelete(target))
                throw Mirelta::TVxMessage(IDS_INSTALL_FILE_FAILED) << params.vx_consts_file;
        }
        if (!FileCopy(source, target, true))
            throw Mirelta::TVxMessage(IDS_INSTALL_FILE_FAILED) << params.vx_consts_file;
    }
    if (FileExists(target))
        SetFileAttributesW(AnsiToWide(target).c_str(), FILE_ATTRIBUTE_NORMAL);
}

// Runs the redistributable installers; a failure may be ignored by the user,
// who then goes on without the remaining ones. A user break is never asked
// about: the user has already confirmed it.
void RunRedistributables(TInstParams &params)
{
    try {
        params.InstallRedist();
    } catch (...) {
        // After a confirmed cancel the installation ends without a question.
        if (params.cancel)
            throw;
        const Mirelta::TVxMessage message = CurrentExceptionToMessage();
        if (AskAbortIgnore(message.Text()) != IDIGNORE)
            throw;
    }
}

} // namespace

TInstallSleepFunc InstallSleep = &SystemSleep;
const char *InstallPayloadResource = "FILES";

bool SignalCloseEventA(const std::string &folder)
{
    // A missing folder has no short name; its event would be the one shared
    // by every missing folder, so it is never signalled.
    if (!DirectoryExists(folder))
        return true;
    return SignalNamedEventA(MakeCloseEventNameA(folder));
}

bool SignalCloseEventW(const std::string &folder)
{
    if (!DirectoryExists(folder))
        return false;
    return SignalNamedEvent(MakeCloseEventNameW(folder));
}

int AskRetryCancel(const std::string &text)
{
    return ShowMessageDialog(text, mkWarning, mbRetry | mbCancel, mbRetry, mbCancel) == mbRetry ? IDRETRY
                                                                                                 : IDCANCEL;
}

bool IsSafeTargetFolder(const std::string &folder)
{
    const std::string path = ExcludeTrailingBackslash(WithBackslashes(folder));
    if (!HasTargetShape(path))
        return false;
    if (UpperCase(ExcludeTrailingBackslash(FullPathName(folder))) != UpperCase(path))
        return false;

    const std::string target = ComparablePath(path);
    for (const std::string &owned : OwnedFoldersQuery()) {
        if (!owned.empty() && IsSameOrBelow(ComparableFolder(owned), target))
            return false;
    }
    return true;
}

void CheckTargetFolder(const std::string &folder)
{
    if (folder.empty())
        throw Mirelta::TVxMessage(IDS_NO_TARGET_FOLDER);
    if (!IsSafeTargetFolder(folder) || FileExists(ExcludeTrailingBackslash(folder)))
        throw Mirelta::TVxMessage(IDS_TARGET_FOLDER_REFUSED) << folder;
}

bool TInstParams::Install()
{
    try {
        cancel = false;
        running = true;
        install_log.Begin();

        // Nothing below may run on a folder that is not safe to empty.
        CheckTargetFolder(target_folder);

        const std::string folder = ExcludeTrailingBackslash(target_folder);
        if (use_vx_close_event)
            CloseRunningModules(*this, folder, &NarrowEventHeld);
        if (use_vx_close_event2)
            CloseRunningModules(*this, folder, &WideEventHeld);

        RemovePreviousVersion(*this);
        if (!vx_consts_file.empty())
            CopyConstantsFile(*this);

        // The target exists whatever the payload holds: the records written
        // after it need it even when the archive holds no file.
        if (!CreateFolderChain(*this, target_folder))
            throw Mirelta::TVxMessage(IDS_CREATE_FOLDER_FAILED) << target_folder;
        ExtractArchive(*this, InstallPayloadResource);
        CreateShortcuts();
        ConnectParProc();
        RunRedistributables(*this);
        WriteAutorunRecord();
        WriteUninstallRecord();
        WriteInstallData();

        install_log.End();
        // A log cut short by a full disk would not tell what was installed.
        const std::string logPath = IncludeTrailingBackslash(target_folder) + "Install.log";
        if (!install_log.Save(logPath)) {
            const DWORD error = GetLastError();
            throw Mirelta::TVxMessage(IDS_WRITE_ERROR_REASON) << logPath << SystemErrorText(error);
        }
        running = false;
        return true;
    } catch (...) {
        running = false;
        if (!cancel) {
            try {
                ShowError((Mirelta::TVxMessage(IDS_INSTALL_ERROR) << CurrentExceptionToMessage()).Text());
            } catch (...) {
                // The failure has been reported as far as the dialog allows.
            }
        }
        return false;
    }
}
