// The program's entry point.
#include <windows.h>

#include "installer/InstallerMain.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    InstallMathErrorHook();
    return InstallerMain();
}
