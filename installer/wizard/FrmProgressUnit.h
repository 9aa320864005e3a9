// The progress window: the whole user interface of run mode 2. A small window
// with one state line and a progress bar; shown as the main form, it installs
// on its first timer tick with itself as the installation's progress sink,
// starts the finish programs only after a successful installation and then
// closes, which ends the program. It asks nothing, so the installation cannot
// be cancelled from it.
//
// Its progress calls never pump the message queue: they repaint the label and
// the bar directly, and the bar at most once every 250 ms. The window
// remembers whether the installation completed, so that the main routine can
// give the process its exit code.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>

#include "classlib/ExtCtrls.h"
#include "classlib/Forms.h"
#include "classlib/StdCtrls.h"
#include "installer/InstParams.h"
#include "installer/wizard/BarThrottle.h"

class TVxProgressBar;

// The engine calls of the progress window.
struct TFrmProgressEngine {
    std::function<void(TInstProgress *)> setProgress;
    std::function<bool()> install;
    std::function<void()> finishRun;
    std::function<DWORD()> tickCount;

    // Those of the global settings object, with GetTickCount.
    static TFrmProgressEngine Global();
};

class TFrmProgress : public ClassLib::TForm, public TInstProgress {
public:
    explicit TFrmProgress(ClassLib::TComponent *owner);

    ClassLib::TLabel *Label;
    ClassLib::TTimer *StartTimer;
    TVxProgressBar *Bar; // owned by the form

    void FormShow(ClassLib::TObject *sender);
    void StartTimerTimer(ClassLib::TObject *sender);

    // TInstProgress: both always answer true.
    bool OnState(const std::string &text) override;
    bool OnProgress(int32_t percent) override;

    // Whether the installation has run and completed successfully.
    bool Installed() const noexcept { return installed_; }

    // What the window installs with; a test may replace it before the window
    // is shown.
    TFrmProgressEngine Engine;

private:
    bool installed_ = false;
};

extern TFrmProgress *FrmProgress;
// The bar throttle of the progress window, one for the whole program.
extern TUpdateThrottle FrmProgressThrottle;
