// The progress page: the bar throttle on a counter that wraps, the switch
// between percentages and indefinite steps, the message pump and the cancel
// answer of every report; and in the wizard, the installation's outcomes:
// success on to the finish page, failure and cancel out of the wizard (also
// from the real keyboard: Esc and Alt+F4), and one run of the real engine on
// a small payload.
#include <windows.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "../installer/DialogAnswers.h"
#include "WizardTestUtil.h"
#include "classlib/Forms.h"
#include "foundation/VxMessage.h"
#include "foundation/VxPath.h"
#include "foundation/VxText.h"
#include "installer/wizard/FrameFinishUnit.h"
#include "installer/wizard/FrameProgressUnit.h"
#include "installer/wizard/FrmMainUnit.h"
#include "tests/support/KeyInput.h"
#include "visual/DlgMessageBoxUnit.h"

using namespace ClassLib;
using namespace WizardTest;
using InstallTest::TDialogAnswers;

namespace {

DWORD fakeNow = 0;
DWORD FakeTickCount()
{
    return fakeNow;
}

// A progress page on a form of its own, set up as the main form sets it up.
class ProgressPageTest : public testing::Test {
protected:
    void SetUp() override
    {
        ResetSettings(InstParams);
        ProgressTickCount = &FakeTickCount;
        host.reset(new TForm(nullptr));
        page = new TFrameProgress(host.get());
        page->SetParent(host.get());
        page->SetAlign(alClient);
        page->InitPage();
        bar = page->ProgressBar();
    }
    void TearDown() override
    {
        host.reset();
        ProgressTickCount = savedTicks;
        ProgressThrottle = TUpdateThrottle(0);
        ResetSettings(InstParams);
    }
    // One report at the given tick.
    bool Report(DWORD now, int32_t percent)
    {
        fakeNow = now;
        return page->OnProgress(percent);
    }

    TProgressTickCount savedTicks = ProgressTickCount;
    std::unique_ptr<TForm> host;
    TFrameProgress *page = nullptr;
    TVxProgressBar *bar = nullptr;
};

} // namespace

TEST_F(ProgressPageTest, TextsAndBarAsCreated)
{
    EXPECT_EQ(A("Выполняется установка..."), ToStdString(page->Label1->Caption()));
    EXPECT_EQ((unsigned)fsBold, page->Label1->Font()->Style());
    EXPECT_EQ(-16, page->Label1->Font()->Height());
    EXPECT_EQ("-", ToStdString(page->LbState->Caption()));
    ASSERT_NE(nullptr, bar);
    EXPECT_EQ(0, bar->Min());
    EXPECT_EQ(100, bar->Max());
    EXPECT_EQ(alBottom, bar->Align());
    EXPECT_FALSE(bar->BarIndefinite());
}

TEST_F(ProgressPageTest, TheBarChangesOnlyStrictlyMoreThan250msAfterItsLastChangeAcrossTheTickWrap)
{
    ProgressThrottle = TUpdateThrottle(0xFFFFFF00u);
    Report(0xFFFFFF00u + 250, 40); // exactly 250 ms: nothing
    EXPECT_EQ(0, bar->Position());
    Report(0xFFFFFF00u + 251, 40);
    EXPECT_EQ(40, bar->Position());
    EXPECT_EQ(0xFFFFFFFBu, ProgressThrottle.Last());

    Report(0x000000F0u, 60); // 245 ms later, past the wrap
    EXPECT_EQ(40, bar->Position());
    EXPECT_EQ(0xFFFFFFFBu, ProgressThrottle.Last());
    Report(0x000000F6u, 60); // 251 ms later
    EXPECT_EQ(60, bar->Position());
    EXPECT_EQ(0x000000F6u, ProgressThrottle.Last());
}

TEST_F(ProgressPageTest, PercentAndIndefiniteSwitchAtOnceAndShareOneThrottle)
{
    ProgressThrottle = TUpdateThrottle(1000);
    Report(1251, InstProgressIndefinite);
    EXPECT_TRUE(bar->BarIndefinite());
    EXPECT_EQ(1, bar->Counter());
    EXPECT_EQ(1251u, ProgressThrottle.Last());

    // The percentage ends the indefinite mode at once; its position waits.
    Report(1300, 70);
    EXPECT_FALSE(bar->BarIndefinite());
    EXPECT_EQ(0, bar->Position());
    Report(1400, InstProgressIndefinite);
    EXPECT_TRUE(bar->BarIndefinite());
    EXPECT_EQ(1, bar->Counter()); // no step: the last change was 149 ms ago

    Report(1502, 80);
    EXPECT_FALSE(bar->BarIndefinite());
    EXPECT_EQ(80, bar->Position());
    // The percentage's change holds back the next step too.
    Report(1600, InstProgressIndefinite);
    EXPECT_EQ(1, bar->Counter());
    Report(1753, InstProgressIndefinite);
    EXPECT_EQ(2, bar->Counter());
}

namespace {
int timerCalls = 0;
void CALLBACK CountTimer(HWND, UINT, UINT_PTR id, DWORD)
{
    ++timerCalls;
    KillTimer(nullptr, id);
}
} // namespace

TEST_F(ProgressPageTest, EveryReportPumpsTheQueueAndAnswersFalseOnceCancelled)
{
    ProgressThrottle = TUpdateThrottle(5000);
    for (int call = 0; call < 2; ++call) {
        timerCalls = 0;
        SetTimer(nullptr, 0, 1, &CountTimer);
        Sleep(30);
        // Throttled: the bar stays, the queue is still pumped.
        if (call == 0)
            EXPECT_TRUE(Report(5001, 50));
        else
            EXPECT_TRUE(page->OnState(A("Копирование")));
        EXPECT_EQ(1, timerCalls) << call;
    }
    EXPECT_EQ(0, bar->Position());
    EXPECT_EQ(A("Копирование"), ToStdString(page->LbState->Caption()));

    InstParams.cancel = true;
    EXPECT_FALSE(Report(5002, 60));
    EXPECT_FALSE(Report(5002, InstProgressIndefinite));
    EXPECT_FALSE(page->OnState("x"));
    InstParams.cancel = false;
    EXPECT_TRUE(page->OnState("y"));
}

TEST_F(ProgressPageTest, AnOrderToTerminateCountsAsAConfirmedCancel)
{
    ASSERT_EQ(nullptr, Application->MainForm());
    Application->Terminate();
    EXPECT_FALSE(Report(1, 10)); // the pump meets the order
    EXPECT_TRUE(InstParams.cancel);
    ClearTermination();
}

// ---------------------------------------------------------------- in the wizard

namespace {

int finishRuns = 0;
void CountFinishRun(TInstParams &)
{
    ++finishRuns;
}

class ProgressWizardTest : public testing::Test {
protected:
    void SetUp() override
    {
        ResetSettings(InstParams);
        InstParams.run_mode = rmExpressWizard;
        // Express mode ignores the page flags.
        InstParams.licence = InstParams.target = InstParams.group = InstParams.ready = true;
        InstParams.has_par_proc = true;
        finishRuns = 0;
        WizardFinishRun = &CountFinishRun;
        UseStandIn(standIn);
        ProgressThrottle = TUpdateThrottle(0);
    }
    void TearDown() override
    {
        WizardInstall = savedInstall;
        WizardFinishRun = savedFinish;
        ResetSettings(InstParams);
    }

    TWizardInstall savedInstall = WizardInstall;
    TWizardFinishRun savedFinish = WizardFinishRun;
    TStandIn standIn;
};

TFrameProgress *ProgressPage()
{
    return dynamic_cast<TFrameProgress *>(FrmMain->Pages().at(0));
}

} // namespace

TEST_F(ProgressWizardTest, SuccessLandsOnTheFinishPageWithFinishFocused)
{
    standIn.states = {A("Первый шаг"), A("Второй шаг")};
    standIn.percents = {10, InstProgressIndefinite, 50};
    bool sinkInstalled = false, lineAboveBar = false;
    std::string buttonsDuring;
    standIn.during = [&] {
        sinkInstalled = InstParams.progress_sink == static_cast<TInstProgress *>(ProgressPage());
        buttonsDuring = std::string(FrmMain->ButBack->Enabled() ? "1" : "0") +
                        (FrmMain->ButNext->Enabled() ? "1" : "0") + (FrmMain->ButCancel->Enabled() ? "1" : "0");
        const TFrameProgress *page = ProgressPage();
        lineAboveBar = page->LbState->Top() > page->Label1->Top() &&
                       page->LbState->Top() + page->LbState->Height() <= page->ProgressBar()->Top();
    };
    TDialogAnswers answers;
    TWizardRun run;
    ASSERT_EQ((std::vector<std::string>{"progress", "finish"}), PageKinds(*FrmMain));
    bool finishFocused = false, backOff = false;
    std::string caption, state;
    run.Run(
        {
            WaitForPage(1),
            Do([&] {
                finishFocused = FrmMain->ActiveControl() == FrmMain->ButNext;
                caption = ToStdString(FrmMain->ButNext->Caption());
                backOff = !FrmMain->ButBack->Enabled() && FrmMain->ButNext->Enabled();
                state = ToStdString(ProgressPage()->LbState->Caption());
            }),
            Do([] { FrmMain->ButNext->Click(); }),
        },
        true);
    EXPECT_FALSE(run.ForcedClose());
    EXPECT_EQ(1, standIn.calls);
    EXPECT_TRUE(sinkInstalled);
    EXPECT_EQ("001", buttonsDuring);
    EXPECT_TRUE(lineAboveBar);
    EXPECT_EQ(nullptr, InstParams.progress_sink);
    EXPECT_TRUE(finishFocused);
    EXPECT_EQ(A("Завершить"), caption);
    EXPECT_TRUE(backOff);
    EXPECT_EQ(A("Второй шаг"), state);
    EXPECT_EQ(1, finishRuns);
    EXPECT_TRUE(answers.Shown().empty());
    EXPECT_TRUE(FrmMain->Installed());
}

TEST_F(ProgressWizardTest, AFailureClosesTheWizardAfterTheEnginesBoxAndNeverShowsTheFinishPage)
{
    standIn.states = {A("Шаг")};
    standIn.fail = true;
    TDialogAnswers answers;
    TWizardRun run;
    run.Run({}, true);
    EXPECT_FALSE(run.ForcedClose());
    EXPECT_EQ(0, FrmMain->CurrentPage());
    EXPECT_TRUE(FrmMain->CloseAllowed());
    EXPECT_EQ(nullptr, InstParams.progress_sink);
    ASSERT_EQ(1u, answers.Shown().size()); // the engine's error, no question after it
    EXPECT_EQ((Mirelta::TVxMessage(30021) << Mirelta::TVxMessage("stand-in failure")).Text(), answers.Shown()[0].text);
    EXPECT_EQ(0, finishRuns);
    EXPECT_FALSE(FrmMain->Installed());
}

TEST_F(ProgressWizardTest, EscapeThenYesCancelsTheInstallationAndClosesWithoutASecondQuestion)
{
    standIn.waitForCancel = true;
    TDialogAnswers answers({mbYes});
    TWizardRun run;
    run.Run(
        {
            WaitFor([] { return InstParams.running; }),
            Do([] { PostMessageW(FrmMain->Handle(), WM_KEYDOWN, VK_ESCAPE, 0); }),
        },
        true);
    EXPECT_FALSE(run.ForcedClose());
    EXPECT_TRUE(standIn.userBreak);
    EXPECT_TRUE(InstParams.cancel);
    EXPECT_EQ(0, FrmMain->CurrentPage());
    ASSERT_EQ(1u, answers.Shown().size());
    EXPECT_EQ(LoadResStdString(30010), answers.Shown()[0].text);
    EXPECT_EQ(0, finishRuns);
    EXPECT_FALSE(FrmMain->Installed());
}

TEST_F(ProgressWizardTest, EscapeAndAltF4FromTheKeyboardAskDuringTheInstallationInBothWizardModes)
{
    // The progress page disables Next, which has the focus when the
    // installation starts: the keys must still reach the wizard.
    for (int mode : {0, 1}) {
        SCOPED_TRACE(mode);
        ResetSettings(InstParams);
        InstParams.run_mode = static_cast<TRunMode>(mode);
        standIn = TStandIn();
        standIn.waitForCancel = true;
        std::vector<TStep> steps;
        if (mode == 0)
            steps = {
                WaitForPage(0),
                Do([] {
                    SetForegroundWindow(FrmMain->Handle());
                    FrmMain->ButNext->SetFocus();
                    PressKeys({VK_RETURN});
                }),
            };
        TDialogAnswers answers({mbNo, mbYes});
        bool inFront = false, goesOnAfterNo = false;
        steps.push_back(WaitFor([] { return InstParams.running; }));
        steps.push_back(Do([&] {
            inFront = GetForegroundWindow() == FrmMain->Handle();
            PressKeys({VK_ESCAPE});
        }));
        steps.push_back(WaitFor([&] { return answers.Shown().size() == 1 && !DialogOpen(); }));
        steps.push_back(Do([&] {
            goesOnAfterNo = InstParams.running && !InstParams.cancel;
            PressKeys({VK_MENU, VK_F4});
        }));
        TWizardRun run;
        run.Run(steps, true, 10000);
        EXPECT_FALSE(run.ForcedClose());
        EXPECT_TRUE(inFront);
        EXPECT_TRUE(goesOnAfterNo);
        EXPECT_TRUE(standIn.userBreak);
        ASSERT_EQ(2u, answers.Shown().size());
        EXPECT_EQ(LoadResStdString(30010), answers.Shown()[0].text);
        EXPECT_EQ(LoadResStdString(30010), answers.Shown()[1].text);
        EXPECT_EQ(mode == 0 ? 1 : 0, FrmMain->CurrentPage());
        EXPECT_FALSE(FrmMain->Installed());
    }
}

TEST_F(ProgressWizardTest, NoToTheQuestionLetsTheInstallationGoOn)
{
    standIn.states = {"a"};
    bool goesOn = false;
    standIn.during = [&] {
        // The user presses Cancel and answers No while the engine works.
        FrmMain->ButCancel->Click();
        goesOn = !InstParams.cancel && InstParams.running;
    };
    TDialogAnswers answers({mbNo});
    TWizardRun run;
    run.Run({WaitForPage(1)});
    EXPECT_TRUE(goesOn);
    EXPECT_FALSE(standIn.userBreak);
    EXPECT_EQ(1u, answers.Shown().size());
}

TEST_F(ProgressWizardTest, AnOrderToTerminateStopsTheInstallationWithoutAnyBox)
{
    standIn.during = [] { Application->Terminate(); };
    standIn.waitForCancel = true;
    TDialogAnswers answers;
    TWizardRun run;
    run.Run({}, true);
    EXPECT_TRUE(standIn.userBreak);
    EXPECT_TRUE(InstParams.cancel);
    EXPECT_EQ(0, FrmMain->CurrentPage());
    EXPECT_TRUE(answers.Shown().empty());
}

TEST_F(ProgressWizardTest, TheRealEngineInstallsTheProgramsPayloadFromTheProgressPage)
{
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    const std::string target =
        IncludeTrailingBackslash(WideToAnsi(temp)) + FormatString("vxwizard_%lu\\Target", GetCurrentProcessId());
    DeleteTree(ExtractFilePath(target), true, true, true);
    InstParams.target_folder = target;
    InstParams.finish_run = {TRunData{"app.exe", "", A("Запустить"), true, true}};
    WizardInstall = savedInstall; // the engine itself

    TDialogAnswers answers;
    TWizardRun run;
    std::string state;
    bool boxTicked = false;
    run.Run(
        {
            WaitForPage(1),
            Do([&] {
                state = ToStdString(ProgressPage()->LbState->Caption());
                auto *finish = dynamic_cast<TFrameFinish *>(FrmMain->Pages().at(1));
                boxTicked = finish && finish->CBStart1->Visible() && finish->CBStart1->Checked();
            }),
            Do([] { FrmMain->ButNext->Click(); }),
        },
        true, 60000);
    EXPECT_FALSE(run.ForcedClose());
    EXPECT_TRUE(answers.Shown().empty());
    EXPECT_TRUE(FileExists(IncludeTrailingBackslash(target) + "Install.log"));
    EXPECT_TRUE(FileExists(IncludeTrailingBackslash(target) + "InstData.x-ini"));
    EXPECT_NE("-", state); // the engine's states reached the page
    EXPECT_TRUE(boxTicked);
    EXPECT_EQ(1, finishRuns);
    DeleteTree(ExtractFilePath(target), true, true, true);
}
