#include "WizardReview.h"

#include <objbase.h>

#include <cstdio>

#include "../../tools/ReviewTool.h"
#include "classlib/Forms.h"
#include "installer/InstParams.h"
#include "visual/VxShowHintFix.h"

namespace WizardReview {

namespace {

std::string folder;
int failures = 0;

} // namespace

bool Start(int argc, char **argv)
{
    folder = argc > 1 ? std::string(argv[1]) + "\\" : std::string();
    ClassLib::Application->Initialize();
    CoInitialize(nullptr);
    VxShowHintFix.Init();
    if (!InstParams.Load()) {
        std::printf("failed: the configuration could not be loaded\n");
        return false;
    }
    InstParams.run_mode = rmWizard;
    return true;
}

void Finish()
{
    VxShowHintFix.Done();
}

void Shoot(HWND window, const std::string &name)
{
    const std::string path = folder + name + ".bmp";
    if (SaveWindowBitmap(window, path)) {
        std::printf("%s\n", path.c_str());
    } else {
        std::printf("failed: %s\n", path.c_str());
        ++failures;
    }
    std::fflush(stdout);
}

int ExitCode()
{
    return failures ? 1 : 0;
}

void CountFailure()
{
    ++failures;
}

} // namespace WizardReview
