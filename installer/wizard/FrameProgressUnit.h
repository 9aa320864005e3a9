// The wizard's progress page: it runs the installation the moment it is
// entered and is the engine's progress sink meanwhile.
//
// State texts show under the heading; percentages and indefinite steps move
// the bar. Switching between a percentage and an indefinite step happens at
// once, while the bar itself (position, marquee step, repaint) changes at
// most once per 250 ms, strictly more than 250 ms after the last change of
// either kind. Every report pumps the message queue, so the wizard stays
// painted and Cancel works; a report answers false once the user has
// confirmed cancelling (the settings' cancel flag) or the application was
// told to terminate (which then counts as a confirmed cancel). After success
// the page clicks Next itself; after a failure or a cancel it closes the
// wizard without a further question.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "classlib/StdCtrls.h"
#include "installer/InstParams.h"
#include "installer/wizard/BarThrottle.h"
#include "installer/wizard/BaseFrameClass.h"
#include "visual/VxProgressBar.h"

// The installation the page runs: TInstParams::Install unless a test
// replaces it. The page has installed itself as the sink when it is called.
typedef bool (*TWizardInstall)(TInstParams &params);
extern TWizardInstall WizardInstall;

// The tick counter of the bar throttle: GetTickCount unless a test replaces it.
typedef DWORD (*TProgressTickCount)();
extern TProgressTickCount ProgressTickCount;
// The bar throttle of the page, one for the whole program (last change at tick 0).
extern TUpdateThrottle ProgressThrottle;

class TFrameProgress : public TBaseFrameClass, public TInstProgress {
public:
    explicit TFrameProgress(ClassLib::TComponent *owner);

    ClassLib::TLabel *Label1;
    ClassLib::TLabel *LbState;

    // The bar InitPage creates (null before).
    TVxProgressBar *ProgressBar() const noexcept { return bar_; }

    bool InitPage() override;
    void EnterPage(bool forward) override;
    void StorePage() override;
    bool LeavePage() override;

    bool OnState(const std::string &text) override;
    bool OnProgress(int32_t percent) override;

private:
    // Whether the installation is to go on; a terminating application
    // cancels it.
    bool GoOn();

    TVxProgressBar *bar_ = nullptr; // owned by the page
};
