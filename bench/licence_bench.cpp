// How soon the licence page comes after Next on the welcome page: the wizard
// is made as setup.exe makes it (full wizard, the licence page on) with the
// licence this program carries as its "LICENCE_TEXT" resource, its welcome
// page is shown, then Next is clicked and the clock runs until the licence
// page is current, its messages handled and its window painted. Prints that
// time and the process's peak memory. bench/licence_bench.cmake builds it
// twice: with the sample's licence and with a generated one of about 6 MB.
#include <windows.h>
#include <psapi.h>

#include <cstdio>
#include <string>

#include "classlib/Forms.h"
#include "installer/InstParams.h"
#include "installer/wizard/FrmMainUnit.h"

using namespace ClassLib;

namespace {

double Seconds()
{
    LARGE_INTEGER frequency, counter;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&counter);
    return static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// Handles messages until the condition holds (at most the time given).
template <class F>
bool PumpUntil(F done, double limit)
{
    const double start = Seconds();
    while (!done()) {
        if (Seconds() - start > limit)
            return false;
        Application->ProcessMessages();
        Sleep(1);
    }
    Application->ProcessMessages();
    return true;
}

double PeakMegabytes()
{
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof counters;
    GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters);
    return static_cast<double>(counters.PeakPagefileUsage) / 1048576.0;
}

} // namespace

int main(int, char **argv)
{
    // The program's name tells which licence it carries.
    std::string label = argv[0];
    label = label.substr(label.find_last_of("\\/") + 1);
    Application->Initialize();
    InstParams.run_mode = rmWizard;
    InstParams.licence = true;
    InstParams.app_title = "Bench";
    InstParams.app_long_title = "Bench";
    Application->CreateForm(FrmMain);
    ShowWindow(Application->Handle(), SW_SHOWNOACTIVATE);
    FrmMain->Show();
    if (!PumpUntil([] { return FrmMain->CurrentPage() == 0; }, 60)) {
        std::printf("%s: the welcome page did not come\n", label.c_str());
        return 1;
    }
    const double start = Seconds();
    FrmMain->ButNext->Click();
    if (!PumpUntil([] { return FrmMain->CurrentPage() == 1; }, 600)) {
        std::printf("%s: the licence page did not come\n", label.c_str());
        return 1;
    }
    RedrawWindow(FrmMain->Handle(), nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
    const double shown = Seconds() - start;
    std::printf("%s: licence page %.2f s after Next, peak memory %.0f MB\n", label.c_str(), shown, PeakMegabytes());
    std::fflush(stdout);
    FrmMain->SetCloseAllowed(true);
    FrmMain->Close();
    return 0;
}
