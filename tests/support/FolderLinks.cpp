#include "tests/support/FolderLinks.h"

#include <windows.h>
#include <winioctl.h>

#include <cstddef>
#include <cstring>

namespace TestLinks {

namespace {

std::wstring Widen(const std::string &text)
{
    const int length = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(length, L'\0');
    if (length > 0)
        MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), &wide[0], length);
    return wide;
}

bool IsReparsePoint(const std::string &path)
{
    const DWORD attributes = GetFileAttributesW(Widen(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

// Whether something answers to the path. A link to a device shows no
// attributes but can be opened.
bool Exists(const std::string &path)
{
    const std::wstring wide = Widen(path);
    if (GetFileAttributesW(wide.c_str()) != INVALID_FILE_ATTRIBUTES)
        return true;
    HANDLE handle = CreateFileW(wide.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return false;
    CloseHandle(handle);
    return true;
}

// A host program started through Wine gives no handle to wait on: the tests
// wait for its effect instead.
bool WaitForPresence(const std::string &path, bool present)
{
    for (int i = 0; i < 200; ++i) {
        if (Exists(path) == present)
            return true;
        Sleep(25);
    }
    return false;
}

typedef char *(__cdecl *TUnixFileName)(LPCWSTR);
typedef WCHAR *(__cdecl *TDosFileName)(LPCSTR);

// Wine only: runs a host program (by its host path) with raw options and then
// arguments given as Windows paths; false when this is not Wine or the program
// cannot start. It does not wait for the program.
bool RunHostProgram(const char *program, const char *options, const std::vector<std::string> &windowsPaths)
{
    HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
    auto unixName = reinterpret_cast<TUnixFileName>(
        reinterpret_cast<void *>(GetProcAddress(kernel, "wine_get_unix_file_name")));
    auto dosName = reinterpret_cast<TDosFileName>(
        reinterpret_cast<void *>(GetProcAddress(kernel, "wine_get_dos_file_name")));
    if (!unixName || !dosName)
        return false;
    WCHAR *dosProgram = dosName(program);
    if (!dosProgram)
        return false;
    std::wstring commandLine = Widen(program) + L" " + Widen(options);
    for (const std::string &path : windowsPaths) {
        // The last component may not exist yet: convert its folder and append it.
        const size_t slash = path.rfind('\\');
        char *folder = unixName(Widen(path.substr(0, slash)).c_str());
        if (!folder)
            return false;
        // Wine's host names are UTF-8.
        const std::wstring name = Widen(path.substr(slash + 1));
        const int length = WideCharToMultiByte(CP_UTF8, 0, name.c_str(), -1, nullptr, 0, nullptr, nullptr);
        std::string utf8(length > 0 ? length - 1 : 0, '\0');
        if (length > 1)
            WideCharToMultiByte(CP_UTF8, 0, name.c_str(), -1, &utf8[0], length, nullptr, nullptr);
        const std::string hostPath = std::string(folder) + "/" + utf8;
        HeapFree(GetProcessHeap(), 0, folder);
        const int wideLength = MultiByteToWideChar(CP_UTF8, 0, hostPath.c_str(), -1, nullptr, 0);
        std::wstring wideHost(wideLength > 0 ? wideLength - 1 : 0, L'\0');
        if (wideLength > 1)
            MultiByteToWideChar(CP_UTF8, 0, hostPath.c_str(), -1, &wideHost[0], wideLength);
        commandLine += L" \"" + wideHost + L"\"";
    }
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    const BOOL started =
        CreateProcessW(dosProgram, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process);
    HeapFree(GetProcessHeap(), 0, dosProgram);
    if (!started)
        return false;
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return true;
}

// The layout of a mount-point (junction) reparse buffer.
struct TMountPointBuffer {
    DWORD tag;
    WORD dataLength;
    WORD reserved;
    WORD substituteOffset;
    WORD substituteLength;
    WORD printOffset;
    WORD printLength;
    WCHAR names[1];
};

bool MakeJunction(const std::string &link, const std::string &target)
{
    if (!CreateDirectoryW(Widen(link).c_str(), nullptr))
        return false;
    const std::wstring substitute = L"\\??\\" + Widen(target);
    const std::wstring print = Widen(target);
    const size_t namesBytes = (substitute.size() + 1 + print.size() + 1) * sizeof(WCHAR);
    std::vector<BYTE> buffer(offsetof(TMountPointBuffer, names) + namesBytes, 0);
    auto *mount = reinterpret_cast<TMountPointBuffer *>(buffer.data());
    mount->tag = IO_REPARSE_TAG_MOUNT_POINT;
    mount->dataLength = static_cast<WORD>(4 * sizeof(WORD) + namesBytes);
    mount->substituteLength = static_cast<WORD>(substitute.size() * sizeof(WCHAR));
    mount->printOffset = static_cast<WORD>(mount->substituteLength + sizeof(WCHAR));
    mount->printLength = static_cast<WORD>(print.size() * sizeof(WCHAR));
    std::memcpy(mount->names, substitute.c_str(), mount->substituteLength);
    std::memcpy(reinterpret_cast<BYTE *>(mount->names) + mount->printOffset, print.c_str(), mount->printLength);

    HANDLE handle = CreateFileW(Widen(link).c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    DWORD returned = 0;
    const bool made = handle != INVALID_HANDLE_VALUE &&
                      DeviceIoControl(handle, FSCTL_SET_REPARSE_POINT, buffer.data(),
                                      static_cast<DWORD>(buffer.size()), nullptr, 0, &returned, nullptr);
    if (handle != INVALID_HANDLE_VALUE)
        CloseHandle(handle);
    if (!made)
        RemoveDirectoryW(Widen(link).c_str());
    return made;
}

bool MakeSymbolicLink(const std::string &link, const std::string &target)
{
    const DWORD attributes = GetFileAttributesW(Widen(target).c_str());
    DWORD flags = (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
                      ? SYMBOLIC_LINK_FLAG_DIRECTORY
                      : 0;
    // Allowed without elevation in developer mode (Windows 10 and later).
    if (CreateSymbolicLinkW(Widen(link).c_str(), Widen(target).c_str(), flags | 0x2))
        return true;
    return CreateSymbolicLinkW(Widen(link).c_str(), Widen(target).c_str(), flags) != FALSE;
}

} // namespace

bool MakeLink(const std::string &link, const std::string &target, TLinkKind kind)
{
    const bool made = kind == TLinkKind::Junction ? MakeJunction(link, target) : MakeSymbolicLink(link, target);
    // Wine answers success without making a symbolic link.
    if (made && IsReparsePoint(link))
        return true;
    RemoveLink(link);
    if (!RunHostProgram("/bin/ln", "-s", {target, link}) || !WaitForPresence(link, true))
        return false;
    if (IsReparsePoint(link))
        return true;
    // Not a link to the code under test (a host link to a file lists as a
    // plain file): it does not stay behind.
    RemoveLink(link);
    return false;
}

bool MakeHostLink(const std::string &link, const std::string &hostTarget)
{
    return RunHostProgram("/bin/ln", ("-s " + hostTarget).c_str(), {link}) && WaitForPresence(link, true);
}

void RemoveLink(const std::string &link)
{
    // Wine removes what a host link points to, not the link: anything but a
    // plain folder (which Wine may leave where it made no link) the host
    // removes.
    const std::wstring wide = Widen(link);
    const DWORD attributes = GetFileAttributesW(wide.c_str());
    const bool plainFolder = attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) &&
                             !(attributes & FILE_ATTRIBUTE_REPARSE_POINT);
    if (attributes != INVALID_FILE_ATTRIBUTES && !plainFolder && RunHostProgram("/bin/rm", "-f", {link})) {
        WaitForPresence(link, false);
        return;
    }
    if (!Exists(link) || RemoveDirectoryW(wide.c_str()) || DeleteFileW(wide.c_str()))
        return;
    if (RunHostProgram("/bin/rm", "-f", {link}))
        WaitForPresence(link, false);
}

const char *KindName(TLinkKind kind)
{
    return kind == TLinkKind::Junction ? "junction" : "symbolic link";
}

} // namespace TestLinks
