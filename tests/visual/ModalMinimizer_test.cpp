// The application hook's handler order and the minimiser on real forms.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "VisualTestUtil.h"
#include "classlib/StdCtrls.h"
#include "tests/support/Replaced.h"
#include "visual/DlgMessageBoxUnit.h"
#include "visual/ModalMinimizer.h"

using namespace ClassLib;
using namespace VisualTest;

namespace {

// Records calls into a shared log.
struct TRecorder : TObject {
    TRecorder(std::vector<std::string> &log, const char *name) : log_(log), name_(name) {}
    void Handler(TObject *) { log_.push_back(name_); }
    TNotifyEvent Event() { return Method<&TRecorder::Handler>(this); }
    std::vector<std::string> &log_;
    std::string name_;
};

// Whether any form of the program is on screen.
bool AnyFormVisible()
{
    for (int i = 0; i < Screen->FormCount(); ++i)
        if (IsWindowVisible(Screen->Forms(i)->Handle()))
            return true;
    return false;
}

} // namespace

TEST(AppHook, MinimiseRunsNewestFirstThenThePreviousHandlerAndRestoreTheReverse)
{
    std::vector<std::string> log;
    TRecorder previous(log, "previous"), first(log, "first"), second(log, "second");
    const TReplaced<TNotifyEvent> onMinimize(Application->OnMinimize, previous.Event());
    const TReplaced<TNotifyEvent> onRestore(Application->OnRestore, previous.Event());
    {
        TAppHook hook;
        hook.AddHandler(hook.MinimizeHandlers, first.Event());
        hook.AddHandler(hook.MinimizeHandlers, second.Event());
        hook.AddHandler(hook.RestoreHandlers, first.Event());
        hook.AddHandler(hook.RestoreHandlers, second.Event());
        Application->OnMinimize(nullptr);
        EXPECT_EQ((std::vector<std::string>{"second", "first", "previous"}), log);
        log.clear();
        Application->OnRestore(nullptr);
        EXPECT_EQ((std::vector<std::string>{"previous", "first", "second"}), log);

        // Removal finds the handler by method and object, newest first.
        hook.AddHandler(hook.MinimizeHandlers, first.Event());
        hook.RemoveHandler(hook.MinimizeHandlers, first.Event());
        hook.RemoveHandler(hook.MinimizeHandlers, previous.Event()); // not there: nothing
        log.clear();
        Application->OnMinimize(nullptr);
        EXPECT_EQ((std::vector<std::string>{"second", "first", "previous"}), log);
    }
    // The hook gives the previous handlers back.
    log.clear();
    Application->OnMinimize(nullptr);
    EXPECT_EQ((std::vector<std::string>{"previous"}), log);
}

TEST(ModalMinimizer, NeedsAFormInTheOwnerChain)
{
    TComponent loose(nullptr);
    try {
        TModalMinimizer minimizer(&loose);
        FAIL() << "no exception";
    } catch (const Exception &e) {
        EXPECT_STREQ("@TModalMinimizer::TModalMinimizer(): Owner doesn't have a parent form.", e.what());
    }
}

TEST(ModalMinimizer, MinimisingAFormMinimisesTheApplicationAndActivationBringsItBack)
{
    std::vector<std::string> log;
    TRecorder lowerMin(log, "lower min"), upperMin(log, "upper min"), lowerRes(log, "lower res"),
        upperRes(log, "upper res");
    auto *lower = new TForm(nullptr);
    auto *upper = new TForm(nullptr);
    // A minimiser found through the owner chain of a control on the form.
    auto *label = new TLabel(lower);
    auto *lowerMinimizer = new TModalMinimizer(label);
    auto *upperMinimizer = new TModalMinimizer(upper);
    EXPECT_EQ(lower, lowerMinimizer->Form());
    lowerMinimizer->OnMinimize = lowerMin.Event();
    lowerMinimizer->OnRestore = lowerRes.Event();
    upperMinimizer->OnMinimize = upperMin.Event();
    upperMinimizer->OnRestore = upperRes.Event();
    lower->Show();
    upper->Show();
    Pump();

    // The low four bits of the command are the system's and do not matter.
    SendMessageW(upper->Handle(), WM_SYSCOMMAND, SC_MINIMIZE | 2, 0);
    EXPECT_EQ((std::vector<std::string>{"upper min", "lower min"}), log);
    EXPECT_TRUE(upperMinimizer->Minimized());
    EXPECT_FALSE(lowerMinimizer->Minimized());
    EXPECT_TRUE(IsIconic(Application->Handle()));
    EXPECT_FALSE(IsIconic(upper->Handle())); // the form itself is not minimised
    EXPECT_FALSE(AnyFormVisible());

    log.clear();
    SendMessageW(upper->Handle(), WM_ACTIVATE, WA_ACTIVE, 0);
    EXPECT_FALSE(upperMinimizer->Minimized());
    EXPECT_FALSE(IsIconic(Application->Handle()));
    EXPECT_TRUE(IsWindowVisible(lower->Handle()));
    EXPECT_TRUE(IsWindowVisible(upper->Handle()));
    EXPECT_EQ((std::vector<std::string>{"lower res", "upper res"}), log);

    // A second activation restores nothing.
    log.clear();
    SendMessageW(upper->Handle(), WM_ACTIVATE, WA_ACTIVE, 0);
    EXPECT_TRUE(log.empty());

    delete upper;
    delete lower;
    // The freed minimisers are off the hook's lists.
    log.clear();
    Application->OnMinimize(nullptr);
    EXPECT_TRUE(log.empty());
    ShowWindow(Application->Handle(), SW_RESTORE);
    Pump();
}

TEST(ModalMinimizer, MinimisingAMessageDialogHidesTheWholeProgramAndTheTaskbarButtonBringsItBack)
{
    auto *main = new TForm(nullptr);
    main->SetCaption("main");
    main->Show();
    Pump();
    bool hidden = false, iconic = false, back = false, dialogActive = false;
    OnDialog([&](TDlgMessageBox *dialog) {
        // The dialog is owned by the form it was opened over.
        EXPECT_EQ(main->Handle(), GetWindow(dialog->Handle(), GW_OWNER));
        SendMessageW(dialog->Handle(), WM_SYSCOMMAND, SC_MINIMIZE, 0);
        hidden = !AnyFormVisible();
        iconic = IsIconic(Application->Handle()) != FALSE;
        // A click on the taskbar button restores the application window.
        SendMessageW(Application->Handle(), WM_SYSCOMMAND, SC_RESTORE, 0);
        back = IsWindowVisible(main->Handle()) && IsWindowVisible(dialog->Handle()) &&
               !IsIconic(Application->Handle());
        dialogActive = GetActiveWindow() == dialog->Handle();
        dialog->BtnOk->Click();
    });
    ShowMessageDialog("Minimise me", mkInformation, mbOk, mbOk, mbOk);
    EXPECT_TRUE(hidden);
    EXPECT_TRUE(iconic);
    EXPECT_TRUE(back);
    EXPECT_TRUE(dialogActive);
    delete main;
    Pump();
}
