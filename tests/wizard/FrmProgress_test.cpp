// The progress window of run mode 2: its bar throttle, its progress calls
// (which never pump messages) and whole runs through the application's
// message loop with the engine calls replaced.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "foundation/VxText.h"
#include "installer/wizard/FrmProgressUnit.h"
#include "tests/support/Replaced.h"
#include "visual/VxProgressBar.h"

using namespace ClassLib;

namespace {

std::string A(const char *utf8)
{
    return Utf8ToAnsi(utf8);
}

const UINT kProbeMessage = WM_APP + 77;

// Whether the probe message posted to the window is still waiting (and takes it off).
bool ProbeStillQueued(HWND window)
{
    MSG msg;
    return PeekMessageW(&msg, window, kProbeMessage, kProbeMessage, PM_REMOVE) != FALSE;
}

class FrmProgressCallsTest : public testing::Test {
protected:
    void SetUp() override
    {
        FrmProgressThrottle = TUpdateThrottle();
        form_ = new TFrmProgress(Application);
        form_->Engine.tickCount = [this] { return tick_; };
        form_->Show();
    }
    void TearDown() override { delete form_; }

    TFrmProgress *form_ = nullptr;
    DWORD tick_ = 0;
};

// Runs a progress window as the program's main form through the message
// loop; a watchdog ends a loop that does not end by itself within 10 s.
class FrmProgressRunTest : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(nullptr, Application->MainForm());
        FrmProgressThrottle = TUpdateThrottle();
        InstParams.app_title = A("Учёт заявок");
        Application->CreateForm(FrmProgress);
        TFrmProgress *form = FrmProgress;
        form->Engine.setProgress = [this](TInstProgress *sink) {
            sink_ = sink;
            calls_.push_back(sink ? "sink" : "no sink");
        };
        form->Engine.install = [this] {
            calls_.push_back("install");
            return Install();
        };
        form->Engine.finishRun = [this] {
            calls_.push_back("finish");
            FinishRun();
        };
    }
    void TearDown() override
    {
        delete FrmProgress;
        FrmProgress = nullptr;
        InstParams.app_title.clear();
    }

    virtual bool Install() { return true; }
    virtual void FinishRun() {}

    // True when the loop ended by itself.
    bool Run()
    {
        bool timedOut = false;
        TTimer watchdog(nullptr);
        watchdog.SetInterval(10000);
        watchdog.OnTimer = [&](TObject *) {
            timedOut = true;
            watchdog.SetEnabled(false);
            Application->Terminate();
        };
        Application->Run();
        return !timedOut;
    }

    std::vector<std::string> calls_;
    TInstProgress *sink_ = nullptr;
};

class FrmProgressSuccessTest : public FrmProgressRunTest {
protected:
    bool Install() override
    {
        TFrmProgress *form = FrmProgress;
        visibleAtInstall_ = IsWindowVisible(form->Handle()) != FALSE;
        sinkAtInstall_ = sink_;
        EXPECT_TRUE(sink_->OnState(A("Копирование файлов")));
        EXPECT_TRUE(sink_->OnProgress(40));
        return true;
    }

    bool visibleAtInstall_ = false;
    TInstProgress *sinkAtInstall_ = nullptr;
};

class FrmProgressFailureTest : public FrmProgressRunTest {
protected:
    bool Install() override { return false; }
};

class FrmProgressFinishFailureTest : public FrmProgressRunTest {
protected:
    void FinishRun() override { throw Exception("finish failed"); }
};

} // namespace

TEST(UpdateThrottle, PassesStrictlyAfter250msAlsoAcrossTheTickWrap)
{
    struct TStep {
        DWORD now;
        bool passes;
    };
    const TStep steps[] = {
        {100, false},                // from the start value 0
        {0x80000001u, true},         // a counter above 2^31 at start passes at once
        {0x80000001u + 250, false},  // exactly 250 ms later
        {0x80000001u + 251, true},
        {0xFFFFFF80u, true},
        {0x00000010u, false},        // 144 ms later, across the wrap
        {0x0000007Bu, true},         // 251 ms later
        {0x0000007Bu + 100, false},
    };
    TUpdateThrottle throttle;
    for (const TStep &step : steps)
        EXPECT_EQ(step.passes, throttle.Pass(step.now)) << std::hex << step.now;
}

TEST_F(FrmProgressCallsTest, ModeSwitchesAreImmediateAndBarUpdatesThrottledAcrossTheWrap)
{
    tick_ = 0xFFFFFF00u;
    EXPECT_TRUE(form_->OnProgress(30));
    EXPECT_EQ(30, form_->Bar->Position());

    tick_ += 100;
    EXPECT_TRUE(form_->OnProgress(InstProgressIndefinite));
    EXPECT_TRUE(form_->Bar->BarIndefinite());
    EXPECT_EQ(0, form_->Bar->Counter());

    tick_ += 151; // 251 ms after the last update, past the wrap
    EXPECT_TRUE(form_->OnProgress(InstProgressIndefinite));
    EXPECT_EQ(1, form_->Bar->Counter());

    tick_ += 10;
    EXPECT_TRUE(form_->OnProgress(55));
    EXPECT_FALSE(form_->Bar->BarIndefinite());
    EXPECT_EQ(30, form_->Bar->Position());

    tick_ += 240; // exactly 250 ms
    EXPECT_TRUE(form_->OnProgress(56));
    EXPECT_EQ(30, form_->Bar->Position());
    tick_ += 1;
    EXPECT_TRUE(form_->OnProgress(57));
    EXPECT_EQ(57, form_->Bar->Position());
}

TEST_F(FrmProgressCallsTest, StateAndProgressRepaintWithoutPumpingMessages)
{
    HWND window = form_->Handle();
    ASSERT_TRUE(PostMessageW(window, kProbeMessage, 0, 0));
    EXPECT_TRUE(form_->OnState(A("Удаление предыдущей версии")));
    EXPECT_EQ(A("Удаление предыдущей версии"), form_->Label->Caption());
    tick_ = 1000;
    EXPECT_TRUE(form_->OnProgress(InstProgressIndefinite));
    tick_ = 2000;
    EXPECT_TRUE(form_->OnProgress(75));
    EXPECT_EQ(75, form_->Bar->Position());
    EXPECT_TRUE(ProbeStillQueued(window));
}

TEST_F(FrmProgressSuccessTest, InstallsOnceShownThenRunsTheFinishActionsAndEndsTheProgram)
{
    TFrmProgress *form = FrmProgress;
    EXPECT_EQ(A("Установка Учёт заявок"), form->Caption());
    EXPECT_TRUE(form->Label->Caption().IsEmpty());
    EXPECT_FALSE(form->Installed());

    ASSERT_TRUE(Run());
    EXPECT_EQ((std::vector<std::string>{"sink", "install", "finish", "no sink"}), calls_);
    EXPECT_TRUE(visibleAtInstall_);
    EXPECT_EQ(static_cast<TInstProgress *>(form), sinkAtInstall_);
    EXPECT_TRUE(form->Installed());
    EXPECT_FALSE(form->StartTimer->Enabled());
    EXPECT_EQ(A("Копирование файлов"), form->Label->Caption());
    EXPECT_EQ(40, form->Bar->Position());

    // Shown, the window shrank around the label with the bar directly under it.
    EXPECT_EQ(460, form->ClientWidth());
    EXPECT_EQ(10, form->Label->Top());
    EXPECT_EQ(form->Label->Top() + form->Label->Height() + 20, form->Bar->Top());
    EXPECT_EQ(form->Bar->Top() + form->Bar->Height() + 10, form->ClientHeight());
    EXPECT_LT(form->ClientHeight(), 138);
}

TEST_F(FrmProgressFailureTest, AFailedInstallationSkipsTheFinishActionsAndEndsTheProgram)
{
    ASSERT_TRUE(Run());
    EXPECT_EQ((std::vector<std::string>{"sink", "install", "no sink"}), calls_);
    EXPECT_FALSE(FrmProgress->Installed());
}

TEST_F(FrmProgressFinishFailureTest, AFailingFinishActionIsShownAndTheWindowStaysUntilClosed)
{
    std::string shown;
    const TExceptionHandler previous = Application->SetExceptionHandler([&](std::exception_ptr error) {
        try {
            std::rethrow_exception(error);
        } catch (const std::exception &e) {
            shown = e.what();
        }
        // The user closes the window that stayed open.
        PostMessageW(FrmProgress->Handle(), WM_CLOSE, 0, 0);
    });
    const TRestoredAtEnd restoreHandler([previous] { Application->SetExceptionHandler(previous); });
    const bool ended = Run();

    ASSERT_TRUE(ended);
    EXPECT_EQ("finish failed", shown);
    EXPECT_EQ((std::vector<std::string>{"sink", "install", "finish"}), calls_);
    EXPECT_TRUE(FrmProgress->Installed());
}
