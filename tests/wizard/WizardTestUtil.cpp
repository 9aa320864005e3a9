#include "WizardTestUtil.h"

#include <gtest/gtest.h>

#include "WizardInspect.h"
#include "classlib/Forms.h"
#include "foundation/VxMessage.h"
#include "foundation/VxText.h"
#include "installer/wizard/FrameProgressUnit.h"
#include "visual/DlgMessageBoxUnit.h"

using namespace ClassLib;

namespace WizardTest {

namespace {

TProbeSetup *probeSetup = nullptr;
TStandIn *standIn = nullptr;
TWizardRun *activeRun = nullptr;

// The probe pages are made at once, so that a test can set them up before
// the form shows any.
std::vector<TWizardPageSlot> ProbePages(TFrmMain *form, const TInstParams &)
{
    std::vector<TWizardPageSlot> pages;
    probeSetup->pages.clear();
    for (const std::string &name : probeSetup->names) {
        auto *page = new TProbePage(form, name, probeSetup->log);
        probeSetup->pages.push_back(page);
        TWizardPageSlot slot;
        slot.page = page;
        pages.push_back(slot);
    }
    return pages;
}

void Body(TInstParams &params, TStandIn &script)
{
    for (const std::string &state : script.states)
        params.State(state);
    for (int32_t percent : script.percents)
        params.Progress(percent);
    if (script.during)
        script.during();
    if (script.fail)
        throw Mirelta::TVxMessage("stand-in failure");
    if (script.waitForCancel) {
        const DWORD start = GetTickCount();
        while (GetTickCount() - start < 15000) {
            params.Progress(InstProgressIndefinite);
            Sleep(5);
        }
        ADD_FAILURE() << "the stand-in installation was never cancelled";
    }
}

bool StandInInstall(TInstParams &params)
{
    TStandIn &script = *standIn;
    ++script.calls;
    params.cancel = false;
    params.running = true;
    try {
        Body(params, script);
        params.running = false;
        return true;
    } catch (...) {
        params.running = false;
        if (!params.cancel) {
            ShowError((Mirelta::TVxMessage(30021) << CurrentExceptionToMessage()).Text());
            return false;
        }
        script.userBreak = true;
        return false;
    }
}

// Answers the dialog left open by its first button.
void CloseOpenDialog()
{
    if (TDlgMessageBox *dialog = ShownDialog())
        if (!dialog->ButtonList().empty())
            dialog->ButtonList().front().button->Click();
}

} // namespace

std::string A(const char *utf8)
{
    return Utf8ToAnsi(utf8);
}

void ResetSettings(TInstParams &p)
{
    p.SetProgress(nullptr);
    p.app_sign = "Test.Wizard";
    p.app_title = A("Тест мастера");
    p.app_long_title = A("Тест мастера 1.0 (сборка 7)");
    p.show_background = false;
    p.use_vx_close_event = p.use_vx_close_event2 = false;
    p.tgt_folder.clear();
    p.par_proc_install = false;
    p.par_proc_tgt_folder.clear();
    p.par_proc_reg_install_key.clear();
    p.par_proc_cfg_file.clear();
    p.par_proc_check_file.clear();
    p.preserve_root_folder = false;
    p.preserve_files.clear();
    p.start_menu_group.clear();
    p.configured_start_menu_group.clear();
    p.prev_start_menu_group.clear();
    p.start_menu_links.clear();
    p.create_desktop_links = false;
    p.desktop_links.clear();
    p.create_autorun_record = false;
    p.autorun_link = TLinkData();
    p.comment.clear();
    p.cb_caption.clear();
    p.finish_run.clear();
    p.vx_consts_file.clear();
    p.vx_consts_path.clear();
    p.install_redist.clear();
    p.reg_install_key.clear();
    p.reg_uninstall_key.clear();
    p.licence = p.target = p.group = p.ready = p.autorun = p.has_par_proc = false;
    p.target_folder.clear();
    p.default_target_folder.clear();
    p.par_proc_folder.clear();
    p.default_par_proc_folder.clear();
    p.prev_install_found = p.prev_record_matched = false;
    p.run_mode = rmWizard;
    p.running = false;
    p.cancel = false;
}

// ---------------------------------------------------------------- TProbePage

TProbePage::TProbePage(TComponent *owner, const std::string &pageName, std::vector<std::string> &log)
    : TBaseFrameClass(owner), name(pageName), log_(log)
{
}

bool TProbePage::InitPage()
{
    ++initCalls;
    return true;
}

void TProbePage::EnterPage(bool forward)
{
    log_.push_back("enter " + name + (forward ? " fwd" : " back"));
    if (onEnter)
        onEnter();
}

void TProbePage::StorePage()
{
    log_.push_back("store " + name);
}

bool TProbePage::LeavePage()
{
    log_.push_back("leave " + name);
    return leaveResult;
}

void UseProbePages(TProbeSetup &setup)
{
    probeSetup = &setup;
    WizardPageFactory = &ProbePages;
}

void UseStandIn(TStandIn &script)
{
    standIn = &script;
    WizardInstall = &StandInInstall;
}

// ---------------------------------------------------------------- steps

TStep WaitFor(std::function<bool()> ready)
{
    return TStep{std::move(ready), nullptr};
}

TStep Do(std::function<void()> action)
{
    return TStep{nullptr, std::move(action)};
}

TStep WaitForPage(int index)
{
    return WaitFor([index] { return FrmMain && FrmMain->CurrentPage() == index; });
}

// ---------------------------------------------------------------- TWizardRun

TWizardRun::TWizardRun()
{
    EXPECT_EQ(nullptr, Application->MainForm());
    Application->CreateForm(FrmMain);
    EXPECT_EQ(FrmMain, Application->MainForm());
}

TWizardRun::~TWizardRun()
{
    delete FrmMain;
    // Closing the main form orders the application to terminate; an order
    // the loop did not meet must not end the next test's loops.
    MSG msg;
    while (PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
    }
    Application->ProcessMessages();
}

void TWizardRun::Run(std::vector<TStep> steps, bool selfClose, unsigned timeoutMs)
{
    steps_ = std::move(steps);
    next_ = 0;
    selfClose_ = selfClose;
    timeoutMs_ = timeoutMs;
    start_ = GetTickCount();
    forcedClose_ = false;
    closing_ = false;
    activeRun = this;
    const UINT_PTR timer = SetTimer(nullptr, 0, 20, &TWizardRun::Tick);
    Application->Run();
    KillTimer(nullptr, timer);
    activeRun = nullptr;
    EXPECT_EQ(steps_.size(), next_) << "the wizard closed before every step ran";
}

void CALLBACK TWizardRun::Tick(HWND, UINT, UINT_PTR, DWORD)
{
    try {
        if (activeRun)
            activeRun->OnTick();
    } catch (...) {
        ADD_FAILURE() << "a wizard step threw";
        if (activeRun)
            activeRun->ForceClose();
    }
}

void TWizardRun::OnTick()
{
    if (closing_)
        return;
    if (GetTickCount() - start_ > timeoutMs_) {
        ADD_FAILURE() << "the wizard run timed out at step " << next_ << " of " << steps_.size();
        next_ = steps_.size();
        ForceClose();
        return;
    }
    if (next_ == steps_.size()) {
        if (!selfClose_)
            ForceClose();
        return;
    }
    const TStep &step = steps_[next_];
    if (step.ready && !step.ready())
        return;
    // Taken before it runs: the action may run nested loops in which the
    // following steps go on.
    std::function<void()> action = step.action;
    ++next_;
    if (action)
        action();
}

void TWizardRun::ForceClose()
{
    closing_ = true;
    forcedClose_ = true;
    CloseOpenDialog();
    if (FrmMain) {
        FrmMain->SetCloseAllowed(true);
        FrmMain->Close();
    }
}

bool DialogOpen()
{
    return ShownDialog() != nullptr;
}

void ClearTermination()
{
    EXPECT_EQ(nullptr, Application->MainForm());
    Application->Terminate();
    Application->Run();
}

std::vector<std::string> PageKinds(TFrmMain &form)
{
    std::vector<std::string> kinds;
    for (TBaseFrameClass *page : form.Pages())
        kinds.push_back(PageKind(page));
    return kinds;
}

} // namespace WizardTest
