#include "VisualTestUtil.h"

#include <gtest/gtest.h>

#include <deque>

#include "foundation/VxText.h"
#include "visual/DlgMessageBoxUnit.h"

using namespace ClassLib;

namespace VisualTest {

namespace {

struct TDriver {
    std::deque<std::function<void(TDlgMessageBox *)>> steps;
    UINT_PTR timer = 0;
    unsigned ticks = 0;      // since the last step ran (or since queuing)
};

TDriver &Driver()
{
    static TDriver driver;
    return driver;
}

const unsigned kTick = 30;

void StopTimer()
{
    TDriver &d = Driver();
    if (d.timer)
        KillTimer(nullptr, d.timer);
    d.timer = 0;
}

void CALLBACK DriverTimer(HWND, UINT, UINT_PTR, DWORD)
{
    TDriver &d = Driver();
    try {
        ++d.ticks;
        TDlgMessageBox *dialog = FindDialog();
        if (d.steps.empty()) {
            // Every step ran: give the dialog time to close, then force it.
            if (!dialog) {
                StopTimer();
                return;
            }
            if (d.ticks * kTick > 5000) {
                ADD_FAILURE() << "the message dialog stayed open after the test's actions";
                d.ticks = 0;
                if (!dialog->ButtonList().empty())
                    dialog->ButtonList().front().button->Click();
            }
            return;
        }
        if (!dialog) {
            if (d.ticks * kTick > 3000) {
                ADD_FAILURE() << "no message dialog was shown";
                d.steps.clear();
                StopTimer();
            }
            return;
        }
        auto step = std::move(d.steps.front());
        d.steps.pop_front();
        d.ticks = 0;
        step(dialog);
    } catch (...) {
        ADD_FAILURE() << "a dialog action threw";
        d.steps.clear();
    }
}

void StartTimer()
{
    TDriver &d = Driver();
    d.ticks = 0;
    if (!d.timer)
        d.timer = SetTimer(nullptr, 0, kTick, &DriverTimer);
}

} // namespace

std::string A(const char *utf8)
{
    return Utf8ToAnsi(utf8);
}

TDlgMessageBox *FindDialog()
{
    for (int i = Screen->FormCount() - 1; i >= 0; --i)
        if (auto *dialog = dynamic_cast<TDlgMessageBox *>(Screen->Forms(i)))
            if (dialog->Visible() && IsWindowVisible(dialog->Handle()))
                return dialog;
    return nullptr;
}

void OnDialog(std::function<void(TDlgMessageBox *)> action)
{
    Driver().steps.push_back(std::move(action));
    StartTimer();
}

void ThenOnDialog(std::function<void(TDlgMessageBox *)> action)
{
    Driver().steps.push_back(std::move(action));
}

void Pump(unsigned ms)
{
    const DWORD start = GetTickCount();
    do {
        Application->ProcessMessages();
        if (ms)
            Sleep(5);
    } while (GetTickCount() - start < ms);
    Application->ProcessMessages();
}

} // namespace VisualTest
