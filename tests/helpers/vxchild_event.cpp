// Child program for the named-event tests: creates a manual-reset event of the
// given name, creates the ready file once the event exists, and waits until the
// event is set or the timeout passes.
//   vxchild_event <event name> <ready file> [timeout ms]
// Exit code: 0 when the event was set, 2 on timeout, 3 on a bad start.
#include <windows.h>
#include <shellapi.h>
#include <cwchar>

int main()
{
    int argc = 0;
    wchar_t **argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (!argv || argc < 3)
        return 3;
    DWORD timeout = argc > 3 ? std::wcstoul(argv[3], nullptr, 0) : 30000;

    HANDLE event = CreateEventW(nullptr, TRUE, FALSE, argv[1]);
    if (!event)
        return 3;
    HANDLE ready = CreateFileW(argv[2], GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
    if (ready == INVALID_HANDLE_VALUE)
        return 3;
    CloseHandle(ready);

    DWORD r = WaitForSingleObject(event, timeout);
    CloseHandle(event);
    return r == WAIT_OBJECT_0 ? 0 : 2;
}
