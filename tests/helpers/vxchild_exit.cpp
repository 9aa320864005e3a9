// Child program for the process tests: waits the given number of milliseconds,
// then exits with the given code.
//   vxchild_exit <exit code> [delay ms]
#include <windows.h>
#include <cstdlib>

int main(int argc, char **argv)
{
    unsigned long code = argc > 1 ? std::strtoul(argv[1], nullptr, 0) : 0;
    unsigned long delay = argc > 2 ? std::strtoul(argv[2], nullptr, 0) : 0;
    if (delay)
        Sleep(delay);
    ExitProcess(code);
}
