// The stopwatch of the wizard start-up benchmark (bench/wizard_bench.sh): a
// console program in the same Wine prefix that watches other programs' windows
// from outside, through the window manager's own records (visibility, texts,
// what is left to paint), without sending them a message. It reads one
// request a line on its input (UTF-8, fields separated by tabs) and answers
// each with one line:
//
//   shown <title> [<text>...]  waits until a visible top-level window with that
//       title holds, for each text, a visible window (at any depth) whose text
//       begins with it, and neither that window nor any visible window inside
//       it has anything left to paint; that must hold on two polls in a row
//       (a window just shown may not yet have been marked for painting).
//       Answers the time of the first of the two, in nanoseconds since
//       1970-01-01 UTC (the host's clock, as `date +%s%N` reads it).
//   gone <title>  waits until no top-level window has that title; answers "gone".
//
// Either answers "timeout" after 60 s. It prints "ready" once at the start,
// when it has joined the desktop: from then on Wine's desktop stays up while
// the watcher runs, as a Windows session always has its desktop.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

const DWORD kTimeoutMs = 60000;
const DWORD kPollMs = 2;

typedef VOID(WINAPI *TGetTime)(LPFILETIME);

// The system time in nanoseconds since 1970, as precise as the system keeps it.
unsigned long long NowNs()
{
    static const TGetTime getTime = [] {
        FARPROC precise = GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "GetSystemTimePreciseAsFileTime");
        return precise ? reinterpret_cast<TGetTime>(reinterpret_cast<void *>(precise)) : &GetSystemTimeAsFileTime;
    }();
    FILETIME time;
    getTime(&time);
    const unsigned long long ticks = (static_cast<unsigned long long>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
    const unsigned long long kEpochTicks = 116444736000000000ull; // 1601 to 1970 in 100 ns
    return (ticks - kEpochTicks) * 100;
}

std::wstring FromUtf8(const std::string &text)
{
    if (text.empty())
        return std::wstring();
    const int length = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(length), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &wide[0], length);
    return wide;
}

std::vector<std::wstring> SplitTabs(const std::wstring &line)
{
    std::vector<std::wstring> fields;
    size_t start = 0;
    for (;;) {
        const size_t tab = line.find(L'\t', start);
        fields.push_back(line.substr(start, tab == std::wstring::npos ? std::wstring::npos : tab - start));
        if (tab == std::wstring::npos)
            return fields;
        start = tab + 1;
    }
}

std::wstring WindowText(HWND window)
{
    wchar_t buffer[512];
    const int length = GetWindowTextW(window, buffer, 512);
    return std::wstring(buffer, length > 0 ? static_cast<size_t>(length) : 0);
}

struct TTitleSearch {
    std::wstring title;
    std::vector<HWND> found;
};

// Enumeration callbacks: nothing may be thrown across them.
BOOL CALLBACK CollectTitled(HWND window, LPARAM context)
{
    try {
        TTitleSearch &search = *reinterpret_cast<TTitleSearch *>(context);
        if (WindowText(window) == search.title)
            search.found.push_back(window);
        return TRUE;
    } catch (...) {
        return FALSE;
    }
}

BOOL CALLBACK CollectChild(HWND child, LPARAM context)
{
    try {
        reinterpret_cast<std::vector<HWND> *>(context)->push_back(child);
        return TRUE;
    } catch (...) {
        return FALSE;
    }
}

// Every top-level window with the title.
std::vector<HWND> TopLevelWindows(const std::wstring &title)
{
    TTitleSearch search = {title, {}};
    EnumWindows(&CollectTitled, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// Every window inside the given one, at any depth.
std::vector<HWND> Descendants(HWND window)
{
    std::vector<HWND> found;
    EnumChildWindows(window, &CollectChild, reinterpret_cast<LPARAM>(&found));
    return found;
}

// Visible, and no part of it waits to be painted.
bool IsShownAndPainted(HWND window)
{
    RECT pending;
    return IsWindowVisible(window) && !GetUpdateRect(window, &pending, FALSE);
}

// The window is visible and painted, shows every text at the start of a
// visible window inside it, and every visible window inside it is painted.
bool ShowsTexts(HWND top, const std::vector<std::wstring> &texts)
{
    if (!IsShownAndPainted(top))
        return false;
    const std::vector<HWND> inside = Descendants(top);
    std::vector<bool> seen(texts.size(), false);
    for (HWND window : inside) {
        if (!IsWindowVisible(window))
            continue;
        if (!IsShownAndPainted(window))
            return false;
        const std::wstring text = WindowText(window);
        for (size_t i = 0; i < texts.size(); ++i) {
            if (text.compare(0, texts[i].size(), texts[i]) == 0)
                seen[i] = true;
        }
    }
    for (bool s : seen) {
        if (!s)
            return false;
    }
    return true;
}

bool AnyShowsTexts(const std::wstring &title, const std::vector<std::wstring> &texts)
{
    for (HWND window : TopLevelWindows(title)) {
        if (ShowsTexts(window, texts))
            return true;
    }
    return false;
}

std::string WaitShown(const std::wstring &title, const std::vector<std::wstring> &texts)
{
    const DWORD start = GetTickCount();
    unsigned long long firstSeen = 0;
    while (GetTickCount() - start < kTimeoutMs) {
        const unsigned long long now = NowNs();
        if (AnyShowsTexts(title, texts)) {
            if (firstSeen != 0)
                return std::to_string(firstSeen);
            firstSeen = now;
        } else {
            firstSeen = 0;
        }
        Sleep(kPollMs);
    }
    return "timeout";
}

std::string WaitGone(const std::wstring &title)
{
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < kTimeoutMs) {
        if (TopLevelWindows(title).empty())
            return "gone";
        Sleep(kPollMs);
    }
    return "timeout";
}

std::string Answer(const std::wstring &line)
{
    std::vector<std::wstring> fields = SplitTabs(line);
    if (fields.size() >= 2 && fields[0] == L"shown")
        return WaitShown(fields[1], std::vector<std::wstring>(fields.begin() + 2, fields.end()));
    if (fields.size() == 2 && fields[0] == L"gone")
        return WaitGone(fields[1]);
    return "bad request";
}

} // namespace

int main()
{
    // The first call of the window manager connects the probe to the desktop.
    GetDesktopWindow();
    std::printf("ready\n");
    std::fflush(stdout);
    char buffer[4096];
    while (std::fgets(buffer, sizeof buffer, stdin)) {
        std::string line(buffer);
        while (!line.empty() && (line.back() == '\n' || line.back() == '\r'))
            line.pop_back();
        std::printf("%s\n", Answer(FromUtf8(line)).c_str());
        std::fflush(stdout);
    }
    return 0;
}
