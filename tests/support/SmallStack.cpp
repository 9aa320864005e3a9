#include "tests/support/SmallStack.h"

#include <cstdio>
#include <exception>
#include <windows.h>

namespace {

struct TRun {
    const std::function<void()> *work;
    bool returned;
    std::exception_ptr failure;
};

DWORD WINAPI RunWork(void *parameter)
{
    TRun &run = *static_cast<TRun *>(parameter);
    try {
        (*run.work)();
        run.returned = true;
    } catch (...) {
        run.failure = std::current_exception();
    }
    return 0;
}

[[noreturn]] void Abandon(const char *why)
{
    std::fprintf(stderr, "RunOnSmallStack: %s\n", why);
    std::fflush(stderr);
    TerminateProcess(GetCurrentProcess(), 3);
    ExitProcess(3);
}

} // namespace

bool RunOnSmallStack(const std::function<void()> &work, std::size_t stackBytes, unsigned long timeoutMs)
{
    TRun run{&work, false, nullptr};
    HANDLE thread = CreateThread(nullptr, stackBytes, RunWork, &run, STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr);
    if (!thread)
        Abandon("no thread");
    if (WaitForSingleObject(thread, timeoutMs) != WAIT_OBJECT_0)
        Abandon("the work did not finish in time");
    CloseHandle(thread);
    if (run.failure)
        std::rethrow_exception(run.failure);
    return run.returned;
}
