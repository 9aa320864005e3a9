// Shows the end-to-end tests what another program's windows look like from
// inside Windows: the z-order, the texts and the places on the screen that
// the X side cannot tell; and which programs run. Output is UTF-8, one window
// (or process) a line.
//
//   e2e_windows list
//     every visible top-level window of the other processes, top of the
//     z-order first:
//       <window> <program> <enabled 0|1> <foreground 0|1> <x> <y> <width> <height> <title>
//     (<program>: the file name of the process's program, "?" when unknown)
//   e2e_windows texts <window>
//     every visible window inside it, in creation order:
//       <window> <class> <checked 0|1|-> <enabled 0|1> <x> <y> <width> <height> <text>
//     (screen co-ordinates; the check state only for check boxes)
//   e2e_windows raise <window>
//     puts the window on top of the z-order, as Windows does with a window
//     that is clicked (Wine on an X server without a window manager leaves a
//     clicked window where it is)
//   e2e_windows processes
//     the file name of every running process's program (Wine's own
//     tasklist lists nothing)
//
// Windows are given as decimal numbers. Exit code 0, 1 when the processes
// cannot be listed, or 2 on a bad call.
#include <windows.h>
#include <tlhelp32.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "foundation/VxText.h"
#include "foundation/WinHandle.h"
#include "tests/helpers/ForeignWindowText.h"

namespace {

// The text as the window's own procedure gives it (across processes too),
// with line breaks shown as "\n".
std::string WindowText(HWND window)
{
    std::string shown;
    for (char c : WideToUtf8(ForeignWindowText(window))) {
        if (c == '\r')
            continue;
        if (c == '\n')
            shown += "\\n";
        else
            shown += c;
    }
    return shown;
}

std::string ClassName(HWND window)
{
    wchar_t name[256] = {};
    GetClassNameW(window, name, 256);
    return WideToUtf8(name);
}

void PrintLine(const std::string &line)
{
    std::fwrite(line.data(), 1, line.size(), stdout);
    std::fputc('\n', stdout);
}

std::string Place(HWND window)
{
    RECT r{};
    GetWindowRect(window, &r);
    char text[64];
    std::snprintf(text, sizeof text, "%ld %ld %ld %ld", static_cast<long>(r.left), static_cast<long>(r.top),
                  static_cast<long>(r.right - r.left), static_cast<long>(r.bottom - r.top));
    return text;
}

std::string Number(HWND window)
{
    return std::to_string(static_cast<unsigned long long>(reinterpret_cast<UINT_PTR>(window)));
}

std::string ProgramName(DWORD process)
{
    HANDLE handle = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, process);
    if (!handle)
        return "?";
    wchar_t path[MAX_PATH * 4] = {};
    DWORD size = MAX_PATH * 4;
    const BOOL ok = QueryFullProcessImageNameW(handle, 0, path, &size);
    CloseHandle(handle);
    if (!ok)
        return "?";
    const std::wstring full(path, size);
    return WideToUtf8(full.substr(full.find_last_of(L"\\/") + 1));
}

BOOL CALLBACK ListTopLevel(HWND window, LPARAM)
{
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process == GetCurrentProcessId() || !IsWindowVisible(window))
        return TRUE;
    PrintLine(Number(window) + " " + ProgramName(process) + " " + (IsWindowEnabled(window) ? "1" : "0") + " " +
              (GetForegroundWindow() == window ? "1" : "0") + " " + Place(window) + " " + WindowText(window));
    return TRUE;
}

BOOL CALLBACK ListInside(HWND window, LPARAM)
{
    if (!IsWindowVisible(window))
        return TRUE;
    const std::string kind = ClassName(window);
    std::string checked = "-";
    if (kind == "Button") {
        const LONG style = GetWindowLongW(window, GWL_STYLE) & BS_TYPEMASK;
        if (style == BS_CHECKBOX || style == BS_AUTOCHECKBOX)
            checked = SendMessageW(window, BM_GETCHECK, 0, 0) == BST_CHECKED ? "1" : "0";
    }
    PrintLine(Number(window) + " " + kind + " " + checked + " " + (IsWindowEnabled(window) ? "1" : "0") + " " +
              Place(window) + " " + WindowText(window));
    return TRUE;
}

bool ListProcesses()
{
    const Mirelta::TWinHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot)
        return false;
    PROCESSENTRY32W entry = {};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32FirstW(snapshot.Get(), &entry); more; more = Process32NextW(snapshot.Get(), &entry))
        PrintLine(WideToUtf8(entry.szExeFile));
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    const std::string command = argc > 1 ? argv[1] : "";
    if (command == "list" && argc == 2) {
        EnumWindows(&ListTopLevel, 0);
    } else if (command == "processes" && argc == 2) {
        if (!ListProcesses())
            return 1;
    } else if ((command == "texts" || command == "raise") && argc == 3) {
        HWND window = reinterpret_cast<HWND>(static_cast<UINT_PTR>(std::strtoull(argv[2], nullptr, 10)));
        if (!IsWindow(window))
            return 2;
        if (command == "texts")
            EnumChildWindows(window, &ListInside, 0);
        else if (!SetWindowPos(window, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE))
            return 2;
    } else {
        std::fputs("usage: e2e_windows list | texts <window> | raise <window> | processes\n", stderr);
        return 2;
    }
    std::fflush(stdout);
    return 0;
}
