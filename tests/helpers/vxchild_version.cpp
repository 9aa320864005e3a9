// Child program for the version check: carries the program's manifest and
// exits with the Windows version that GetVersionExA reports to such a
// program, as major * 100 + minor (1000 for 10.0, 602 for 6.2).
//   vxchild_version
#include <windows.h>

int main()
{
    OSVERSIONINFOA info = {};
    info.dwOSVersionInfoSize = sizeof(info);
    if (!GetVersionExA(&info))
        ExitProcess(1);
    ExitProcess(info.dwMajorVersion * 100 + info.dwMinorVersion);
}
