// Stand-in for the sample product's own programs (the application, its
// reminder agent and its uninstaller), built three times under their names
// into the sample's payload. It shows one small window that says which program
// it stands for, and, like a real module of the product, closes as soon as an
// installer asks the modules in its folder to (the narrow close event of that
// folder), so that an update can replace its files.
#include <windows.h>

#include <string>

#include "foundation/VxProcess.h"

namespace {

const wchar_t kClassName[] = L"SampleProductStandIn";

std::wstring OwnFileName()
{
    wchar_t path[MAX_PATH];
    DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
    if (n == 0 || n >= MAX_PATH)
        return L"?";
    std::wstring full(path, n);
    return full.substr(full.find_last_of(L'\\') + 1);
}

// Holds only system calls that do not throw.
LRESULT CALLBACK StandInProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_PAINT: {
        PAINTSTRUCT paint;
        HDC dc = BeginPaint(window, &paint);
        RECT area;
        GetClientRect(window, &area);
        InflateRect(&area, -16, -16);
        std::wstring line = L"«";
        line += OwnFileName();
        line += L"» — программа-образец из примера установки «Учёт заявок». "
                L"Положите на её место свою программу.";
        SetBkMode(dc, TRANSPARENT);
        SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT));
        DrawTextW(dc, line.c_str(), -1, &area, DT_WORDBREAK | DT_NOPREFIX);
        EndPaint(window, &paint);
        return 0;
    }
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    default:
        return DefWindowProcW(window, message, wParam, lParam);
    }
}

} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int show)
{
    // Made before the window, so that an installer that starts right after
    // this program already finds it.
    HANDLE closeEvent = CreateEventA(nullptr, TRUE, FALSE, MakeEventNameA("VxCloseEvent", "").c_str());

    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = StandInProc;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursor(nullptr, IDC_ARROW);
    windowClass.hIcon = LoadIcon(nullptr, IDI_APPLICATION);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    windowClass.lpszClassName = kClassName;
    RegisterClassW(&windowClass);
    HWND window = CreateWindowExW(0, kClassName, L"Учёт заявок", WS_OVERLAPPEDWINDOW,
                                  CW_USEDEFAULT, CW_USEDEFAULT, 420, 160,
                                  nullptr, nullptr, instance, nullptr);
    if (!window)
        return 1;
    ShowWindow(window, show);

    for (;;) {
        DWORD handles = closeEvent ? 1 : 0;
        DWORD woken = MsgWaitForMultipleObjects(handles, &closeEvent, FALSE, INFINITE, QS_ALLINPUT);
        if (handles && woken == WAIT_OBJECT_0)
            break;
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT)
                return 0;
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
    DestroyWindow(window);
    return 0;
}
