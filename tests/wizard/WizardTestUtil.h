// Helpers of the wizard tests: the settings reset to a plain configuration,
// pages that record what the main form calls, a stand-in installation, and
// a run of the wizard in the application's message loop driven by steps.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "installer/InstParams.h"
#include "installer/wizard/BaseFrameClass.h"
#include "installer/wizard/FrmMainUnit.h"

namespace WizardTest {

// Source literals are UTF-8; the program's texts are ANSI.
std::string A(const char *utf8);

// Puts every settings field the wizard and the engine read back to a plain
// configuration (run mode 0, no page flags, no items, nothing running).
void ResetSettings(TInstParams &params);

// A page that logs "enter <name> fwd|back", "store <name>" and
// "leave <name>" and answers LeavePage with leaveResult.
class TProbePage : public TBaseFrameClass {
public:
    TProbePage(ClassLib::TComponent *owner, const std::string &name, std::vector<std::string> &log);

    bool InitPage() override;
    void EnterPage(bool forward) override;
    void StorePage() override;
    bool LeavePage() override;

    std::string name;
    bool leaveResult = true;
    int initCalls = 0;
    // Runs at the end of EnterPage (pages may disable buttons there).
    std::function<void()> onEnter;

private:
    std::vector<std::string> &log_;
};

// Probe pages for the next forms built: one per name, sharing one log.
struct TProbeSetup {
    std::vector<std::string> names;
    std::vector<std::string> log;
    std::vector<TProbePage *> pages; // filled when the form is built
};
// The page factory that builds the probe pages of setup.
void UseProbePages(TProbeSetup &setup);

// What the stand-in installation does, in order: reports the states and the
// percents (InstProgressIndefinite for an indefinite step), runs during()
// when given, then reports indefinite steps until the sink answers false
// (waitForCancel, at most 15 s) or fails (fail: shows the engine's error box
// first) or succeeds. Like the engine it sets the running flag, clears the
// cancel flag at its start and answers false after a user break.
struct TStandIn {
    std::vector<std::string> states;
    std::vector<int32_t> percents;
    std::function<void()> during;
    bool waitForCancel = false;
    bool fail = false;
    // Filled while it runs.
    int calls = 0;
    bool userBreak = false;
};
// Makes the progress page run the stand-in.
void UseStandIn(TStandIn &standIn);

// One step of a driven run: it waits until ready (when given) answers true,
// then runs action once.
struct TStep {
    std::function<bool()> ready;
    std::function<void()> action;
};
TStep WaitFor(std::function<bool()> ready);
TStep Do(std::function<void()> action);
// Waits until the wizard shows page index.
TStep WaitForPage(int index);

// The wizard created as the application's main form (FrmMain) from the
// current settings, deleted again with the object.
class TWizardRun {
public:
    TWizardRun();
    ~TWizardRun();
    TWizardRun(const TWizardRun &) = delete;
    TWizardRun &operator=(const TWizardRun &) = delete;

    // Runs the application's message loop with the wizard shown until the
    // form closes. The steps run in order from a 20 ms timer, also inside
    // nested loops (dialogs, the installation). When the steps are done the
    // run closes the form itself, unless selfClose says the form must close
    // on its own; after timeoutMs a failure is recorded and the form closed.
    void Run(std::vector<TStep> steps, bool selfClose = false, unsigned timeoutMs = 20000);
    // Whether the run had to close the form (steps done, or timeout).
    bool ForcedClose() const noexcept { return forcedClose_; }

private:
    static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD);
    void OnTick();
    void ForceClose();

    std::vector<TStep> steps_;
    size_t next_ = 0;
    bool selfClose_ = false;
    unsigned timeoutMs_ = 0;
    DWORD start_ = 0;
    bool forcedClose_ = false;
    bool closing_ = false;
};

// Whether a message dialog is on screen.
bool DialogOpen();

// Ends the application's terminated state: a loop that meets the order to
// terminate ends and clears it (no main form may exist).
void ClearTermination();

// Pages of a form by kind ("welcome", "licence", "target", "group",
// "par_proc", "ready", "progress", "finish", "page" for another class).
std::vector<std::string> PageKinds(TFrmMain &form);

} // namespace WizardTest
