// Common main of the test executables: the tests assume the Russian ANSI and
// OEM code pages, so a run under any other refuses to start.
#include <cstdio>
#include <windows.h>
#include <gtest/gtest.h>

int main(int argc, char **argv)
{
    if (GetACP() != 1251 || GetOEMCP() != 866) {
        std::fprintf(stderr, "tests need ANSI code page 1251 and OEM 866, have %u and %u\n",
                     GetACP(), GetOEMCP());
        return 2;
    }
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
