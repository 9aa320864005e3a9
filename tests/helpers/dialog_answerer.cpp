// Test helper: runs a program and closes each message box it shows, so that an
// unattended run that reports a failure in a box still comes to an end.
//   dialog_answerer <texts file> <program> [arguments...]
// A box is a visible top-level window of the program with push buttons; it is
// closed with its first button. For each box one UTF-8 line is appended to the
// texts file: its caption, ": ", and the text of its edit controls, each run
// of line breaks turned into one blank. Exit code: the program's, or 3 when
// it cannot be started.
#include <windows.h>
#include <shellapi.h>

#include <set>
#include <string>
#include <vector>

#include "foundation/VxText.h"
#include "tests/helpers/ForeignWindowText.h"

namespace {

std::wstring OneLine(const std::wstring &text)
{
    std::wstring line;
    bool lineBreak = false;
    for (wchar_t c : text) {
        if (c == L'\r' || c == L'\n') {
            lineBreak = true;
            continue;
        }
        if (lineBreak && !line.empty())
            line += L' ';
        lineBreak = false;
        line += c;
    }
    return line;
}

std::wstring ClassOf(HWND window)
{
    wchar_t name[64] = {};
    GetClassNameW(window, name, 64);
    return name;
}

struct TBox {
    std::vector<HWND> buttons;
    std::wstring text;
};

BOOL CALLBACK CollectChild(HWND child, LPARAM context)
{
    TBox &box = *reinterpret_cast<TBox *>(context);
    const std::wstring kind = ClassOf(child);
    if (lstrcmpiW(kind.c_str(), L"Button") == 0) {
        LONG style = GetWindowLongW(child, GWL_STYLE) & BS_TYPEMASK;
        if (IsWindowVisible(child) && (style == BS_PUSHBUTTON || style == BS_DEFPUSHBUTTON))
            box.buttons.push_back(child);
    } else if (lstrcmpiW(kind.c_str(), L"Edit") == 0) {
        if (!box.text.empty())
            box.text += L' ';
        box.text += OneLine(ForeignWindowText(child));
    }
    return TRUE;
}

struct TWatch {
    DWORD processId;
    std::set<HWND> seen;
    std::string lines;
};

BOOL CALLBACK AnswerWindow(HWND window, LPARAM context)
{
    TWatch &watch = *reinterpret_cast<TWatch *>(context);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner != watch.processId || !IsWindowVisible(window))
        return TRUE;
    TBox box;
    EnumChildWindows(window, &CollectChild, reinterpret_cast<LPARAM>(&box));
    if (box.buttons.empty())
        return TRUE;
    if (watch.seen.insert(window).second)
        watch.lines += WideToUtf8(ForeignWindowText(window) + L": " + box.text) + "\n";
    // Again at each round while the box stays: a click may come before the
    // box takes input.
    PostMessageW(box.buttons.front(), BM_CLICK, 0, 0);
    return TRUE;
}

void AppendToFile(const wchar_t *path, const std::string &text)
{
    HANDLE file = CreateFileW(path, FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                              nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return;
    DWORD written = 0;
    WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    CloseHandle(file);
}

} // namespace

int main()
{
    int argc = 0;
    wchar_t **argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (!argv || argc < 3)
        return 3;

    std::wstring commandLine;
    for (int i = 2; i < argc; ++i) {
        if (i > 2)
            commandLine += L' ';
        commandLine += L'"' + std::wstring(argv[i]) + L'"';
    }
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return 3;
    CloseHandle(process.hThread);

    TWatch watch;
    watch.processId = process.dwProcessId;
    while (WaitForSingleObject(process.hProcess, 200) == WAIT_TIMEOUT)
        EnumWindows(&AnswerWindow, reinterpret_cast<LPARAM>(&watch));

    DWORD code = 3;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hProcess);
    AppendToFile(argv[1], watch.lines);
    return static_cast<int>(code);
}
