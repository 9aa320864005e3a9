// The wizard's main form driven in its message loop: the pages by run mode
// and configuration, stepping with Back and Next, the captions, a failing
// page check, the close question, the finish actions and the layout.
#include <windows.h>

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "../installer/DialogAnswers.h"
#include "PagesTestUtil.h"
#include "WizardTestUtil.h"
#include "classlib/Forms.h"
#include "foundation/VxMessage.h"
#include "foundation/VxText.h"
#include "installer/wizard/FrameLicenceUnit.h"
#include "installer/wizard/FrameProgressUnit.h"
#include "installer/wizard/FrmMainUnit.h"
#include "tests/support/Replaced.h"
#include "visual/DlgMessageBoxUnit.h"

using namespace ClassLib;
using namespace WizardTest;
using InstallTest::TDialogAnswers;

namespace {

int finishRuns = 0;
std::vector<bool> execAtFinish;
void RecordFinishRun(TInstParams &params)
{
    ++finishRuns;
    execAtFinish.clear();
    for (const TRunData &item : params.finish_run)
        execAtFinish.push_back(item.exec);
}

int thrownKind = 0;
void ThrowingFinishRun(TInstParams &)
{
    ++finishRuns;
    switch (thrownKind) {
    case 0:
        throw Mirelta::TVxMessage("@finish failed");
    case 1:
        throw std::runtime_error("finish failed");
    default:
        throw 42;
    }
}

class FrmMainTest : public testing::Test {
protected:
    void SetUp() override
    {
        ResetSettings(InstParams);
        finishRuns = 0;
        execAtFinish.clear();
        WizardFinishRun = &RecordFinishRun;
        previousHandler = Application->SetExceptionHandler([this](std::exception_ptr) { ++escapedExceptions; });
    }
    void TearDown() override
    {
        Application->SetExceptionHandler(previousHandler);
        WizardPageFactory = savedFactory;
        WizardFinishRun = savedFinish;
        WizardInstall = savedInstall;
        ResetSettings(InstParams);
        EXPECT_EQ(0, escapedExceptions) << "an exception reached the message loop";
    }

    // Button states as one text: Back, Next, Cancel enabled (1/0), Next's caption.
    static std::string Buttons()
    {
        return std::string(FrmMain->ButBack->Enabled() ? "1" : "0") + (FrmMain->ButNext->Enabled() ? "1" : "0") +
               (FrmMain->ButCancel->Enabled() ? "1" : "0") + " " + ToStdString(FrmMain->ButNext->Caption());
    }

    TWizardPageFactory savedFactory = WizardPageFactory;
    TWizardFinishRun savedFinish = WizardFinishRun;
    TWizardInstall savedInstall = WizardInstall;
    TExceptionHandler previousHandler;
    int escapedExceptions = 0;
};

const std::string kNext = A("Далее >");
const std::string kFinish = A("Завершить");

} // namespace

TEST_F(FrmMainTest, FullWizardHasTheConfiguredPagesAndExpressOnlyProgressAndFinish)
{
    struct {
        int mode;
        bool licence, target, group, parProc, ready;
        std::vector<std::string> pages;
    } cases[] = {
        {0, false, false, false, false, false, {"welcome", "progress", "finish"}},
        {0, true, true, true, true, true,
         {"welcome", "licence", "target", "group", "par_proc", "ready", "progress", "finish"}},
        {0, true, false, true, false, true, {"welcome", "licence", "group", "ready", "progress", "finish"}},
        {0, false, true, false, true, false, {"welcome", "target", "par_proc", "progress", "finish"}},
        {1, true, true, true, true, true, {"progress", "finish"}},
        {1, false, false, false, false, false, {"progress", "finish"}},
    };
    for (const auto &c : cases) {
        ResetSettings(InstParams);
        InstParams.run_mode = static_cast<TRunMode>(c.mode);
        InstParams.licence = c.licence;
        InstParams.target = c.target;
        InstParams.group = c.group;
        InstParams.has_par_proc = c.parProc;
        InstParams.ready = c.ready;
        TFrmMain form(nullptr);
        EXPECT_EQ(c.pages, PageKinds(form)) << "mode " << c.mode;
        // Every page is placed, hidden, in the page area.
        for (TBaseFrameClass *page : form.Pages()) {
            EXPECT_EQ(form.PanBase, page->Parent());
            EXPECT_EQ(alClient, page->Align());
            EXPECT_FALSE(page->Visible());
        }
        EXPECT_EQ(-1, form.CurrentPage());
    }
}

TEST_F(FrmMainTest, EachPageIsMadeWhenItIsFirstShownAndKeptAfterwards)
{
    InstParams.licence = InstParams.target = InstParams.group = InstParams.ready = true;
    TFrmMain form(nullptr);
    ASSERT_EQ(7u, form.PageCount());
    for (size_t i = 0; i < form.PageCount(); ++i)
        EXPECT_FALSE(form.PageMade(i)) << i;
    // Made pages are owned by the form: none yet beyond its own controls.
    const int ownComponents = form.ComponentCount();

    form.ShowPage(0);
    EXPECT_TRUE(form.PageMade(0));
    for (size_t i = 1; i < form.PageCount(); ++i)
        EXPECT_FALSE(form.PageMade(i)) << i;
    EXPECT_EQ(ownComponents + 1, form.ComponentCount());

    form.ShowPage(1);
    form.ShowPage(0);
    form.ShowPage(1);
    EXPECT_TRUE(form.PageMade(1));
    EXPECT_FALSE(form.PageMade(2));
    EXPECT_EQ(ownComponents + 2, form.ComponentCount());
    EXPECT_EQ((std::vector<std::string>{"welcome", "licence", "target", "group", "ready", "progress", "finish"}),
              PageKinds(form));
    EXPECT_TRUE(form.PageMade(6));
}

TEST_F(FrmMainTest, APageIsMadeAtTheSizeItIsShownAt)
{
    // A page laid out at one size and shown at another lays out its content
    // twice: for the licence page, the whole licence.
    InstParams.licence = true;
    TFrmMain form(nullptr);
    auto *licence = dynamic_cast<TFrameLicence *>(form.Pages().at(1));
    ASSERT_NE(nullptr, licence);
    ASSERT_FALSE(licence->Visible());
    const RECT made = licence->LicenceViewer->BoundsRect();
    form.ShowPage(0);
    form.ShowPage(1);
    ASSERT_TRUE(licence->Visible());
    const RECT shown = licence->LicenceViewer->BoundsRect();
    EXPECT_TRUE(EqualRect(&made, &shown)) << "made " << made.right - made.left << " x " << made.bottom - made.top
                                          << ", shown " << shown.right - shown.left << " x "
                                          << shown.bottom - shown.top;
}

TEST_F(FrmMainTest, LayoutCaptionsAndSidePicture)
{
    TFrmMain form(nullptr);
    EXPECT_EQ(515, form.ClientWidth());
    EXPECT_EQ(329, form.ClientHeight());
    EXPECT_EQ(bsSingle, form.BorderStyle());
    EXPECT_EQ(0u, form.BorderIcons());
    EXPECT_EQ(-11, form.Font()->Height());
    EXPECT_EQ("Tahoma", form.Font()->Name());
    EXPECT_EQ(FormatString(LoadResStdString(30009).c_str(), InstParams.app_title.c_str()),
              ToStdString(form.Caption()));
    EXPECT_EQ(A("Установка Тест мастера"), ToStdString(form.Caption()));
    EXPECT_EQ(InstParams.app_long_title, ToStdString(form.LabelBuild->Caption()));
    EXPECT_EQ(A("< Назад"), ToStdString(form.ButBack->Caption()));
    EXPECT_EQ(kNext, ToStdString(form.ButNext->Caption()));
    EXPECT_EQ(A("Отмена"), ToStdString(form.ButCancel->Caption()));
    EXPECT_TRUE(form.ButCancel->Cancel());
    EXPECT_EQ(0, form.ButNext->TabOrder());
    EXPECT_EQ(1, form.ButCancel->TabOrder());
    EXPECT_EQ(2, form.ButBack->TabOrder());
    EXPECT_EQ(35, form.Panel5->Height());
    EXPECT_EQ(24, form.Panel2->Height());
    EXPECT_EQ(137, form.Panel3->Width());
    EXPECT_FALSE(form.StartTimer->Enabled());
    EXPECT_EQ(10u, form.StartTimer->Interval());
    // The buttons sit inside the form, Cancel rightmost.
    EXPECT_LT(form.ButBack->Left() + form.ButBack->Width(), form.ButNext->Left() + 1);
    EXPECT_LT(form.ButNext->Left() + form.ButNext->Width(), form.ButCancel->Left());
    EXPECT_LE(form.ButCancel->Left() + form.ButCancel->Width(), form.Panel5->Width());
    // The test program carries the side picture: 128 x 256.
    EXPECT_EQ(128, form.Image1->Picture()->Width());
    EXPECT_EQ(256, form.Image1->Picture()->Height());
}

TEST_F(FrmMainTest, ALongBuildTitleIsCutToFitAndTheFormKeepsItsSize)
{
    for (size_t length : {96u, 213u}) {
        std::string title;
        while (title.size() < length)
            title += A("Сборка 1.0.") + std::to_string(title.size()) + " ";
        title.resize(length);
        InstParams.app_long_title = title;
        TFrmMain form(nullptr);
        EXPECT_EQ(515, form.ClientWidth()) << length;
        EXPECT_EQ(329, form.ClientHeight()) << length;
        const std::string shown = ToStdString(form.LabelBuild->Caption());
        ASSERT_GT(shown.size(), 3u);
        EXPECT_EQ("...", shown.substr(shown.size() - 3)) << shown;
        EXPECT_EQ(title.substr(0, shown.size() - 3), shown.substr(0, shown.size() - 3));
        // The label lies beside the side panel, inside the form.
        EXPECT_GE(form.LabelBuild->Left(), form.Panel3->Width()) << length;
        EXPECT_LE(form.LabelBuild->Left() + form.LabelBuild->Width(), form.Panel2->Width()) << length;
    }
}

TEST(WizardSidePicture, AMissingOrBrokenResourceLeavesThePictureEmpty)
{
    TPicture picture;
    EXPECT_FALSE(LoadPictureResource(&picture, "NO_SUCH_IMAGE"));
    EXPECT_TRUE(picture.Empty());
    EXPECT_FALSE(LoadPictureResource(&picture, "FILES")); // an archive, not a bitmap
    EXPECT_TRUE(picture.Empty());
    EXPECT_TRUE(LoadPictureResource(&picture, "LEFT_IMG"));
    EXPECT_FALSE(picture.Empty());
}

TEST_F(FrmMainTest, AmpersandsInTheLongTitleAreShownAsTheyStand)
{
    InstParams.app_long_title = A("Учёт & контроль 2.0");
    TFrmMain form(nullptr);
    EXPECT_EQ(A("Учёт & контроль 2.0"), PagesTest::ShownText(form.LabelBuild->Caption()));
}

TEST_F(FrmMainTest, BackStartsDisabledAndAClickBeforeTheFirstPageDoesNothing)
{
    TProbeSetup probes{{"a", "b", "c"}, {}, {}};
    UseProbePages(probes);
    TDialogAnswers answers;
    TWizardRun run;
    EXPECT_FALSE(FrmMain->ButBack->Enabled());
    FrmMain->ButBack->Click(); // would ask for page -2
    EXPECT_EQ(-1, FrmMain->CurrentPage());
    for (TProbePage *page : probes.pages)
        EXPECT_EQ(1, page->initCalls);
    std::vector<std::string> states;
    run.Run({
        WaitForPage(0),
        Do([&] { states.push_back(Buttons()); }),
        Do([&] { FrmMain->ButNext->Click(); }),
        Do([&] { states.push_back(Buttons()); }),
        Do([&] { FrmMain->ButNext->Click(); }),
        Do([&] { states.push_back(Buttons()); }),
        Do([&] { FrmMain->ButBack->Click(); }),
        Do([&] { FrmMain->ButBack->Click(); }),
        Do([&] { states.push_back(Buttons()); }),
    });
    EXPECT_EQ((std::vector<std::string>{"011 " + kNext, "111 " + kNext, "111 " + kFinish, "011 " + kNext}), states);
    EXPECT_EQ((std::vector<std::string>{"enter a fwd", "leave a", "enter b fwd", "leave b", "enter c fwd", "store c",
                                        "enter b back", "store b", "enter a back"}),
              probes.log);
    EXPECT_TRUE(answers.Shown().empty());
    EXPECT_EQ(0, finishRuns);
}

TEST_F(FrmMainTest, BackStoresWithoutCheckingAndAFailedCheckKeepsThePageAndItsButtons)
{
    TProbeSetup probes{{"a", "b", "c"}, {}, {}};
    UseProbePages(probes);
    TDialogAnswers answers;
    TWizardRun run;
    probes.pages[1]->leaveResult = false;
    // The page disables Back itself on entry; a refused Next keeps that.
    probes.pages[1]->onEnter = [] { FrmMain->ButBack->SetEnabled(false); };
    std::string before, after;
    run.Run({
        WaitForPage(0),
        Do([] { FrmMain->ButNext->Click(); }),
        Do([&] { before = Buttons(); }),
        Do([] { FrmMain->ButNext->Click(); }),
        Do([&] { after = Buttons(); }),
        Do([] { EXPECT_EQ(1, FrmMain->CurrentPage()); }),
        Do([] { FrmMain->ButBack->Click(); }),
        Do([] { EXPECT_EQ(0, FrmMain->CurrentPage()); }),
    });
    EXPECT_EQ("011 " + kNext, before);
    EXPECT_EQ(before, after);
    EXPECT_EQ((std::vector<std::string>{"enter a fwd", "leave a", "enter b fwd", "leave b", "store b",
                                        "enter a back"}),
              probes.log);
    EXPECT_TRUE(answers.Shown().empty());
}

TEST_F(FrmMainTest, ShowPageBeyondTheLastOrOfTheCurrentPageChangesNothing)
{
    TProbeSetup probes{{"a", "b"}, {}, {}};
    UseProbePages(probes);
    TDialogAnswers answers({mbOk});
    TWizardRun run;
    // Before the first page the current index -1 compares as 0xFFFFFFFF.
    FrmMain->ShowPage(0xFFFFFFFFu);
    EXPECT_TRUE(answers.Shown().empty());
    run.Run({
        WaitForPage(0),
        Do([] { FrmMain->ShowPage(0); }),
        Do([] { FrmMain->ShowPage(2); }),
        Do([] { EXPECT_EQ(0, FrmMain->CurrentPage()); }),
    });
    EXPECT_EQ((std::vector<std::string>{"enter a fwd"}), probes.log);
    // Only an index beyond the last page is an error.
    ASSERT_EQ(1u, answers.Shown().size());
    EXPECT_EQ(LoadResStdString(30011), answers.Shown()[0].text);
    EXPECT_EQ(mbOk, answers.Shown()[0].buttons);
}

TEST_F(FrmMainTest, EscapeAsksToCancelNoKeepsTheWizardAndYesEndsIt)
{
    TProbeSetup probes{{"a", "b"}, {}, {}};
    UseProbePages(probes);
    TDialogAnswers answers({mbNo, mbYes});
    TWizardRun run;
    auto escape = [] { PostMessageW(FrmMain->Handle(), WM_KEYDOWN, VK_ESCAPE, 0); };
    run.Run(
        {
            WaitForPage(0),
            Do(escape),
            WaitFor([&] { return answers.Shown().size() == 1 && !DialogOpen(); }),
            Do([] { FrmMain->ButNext->Click(); }),
            Do(escape),
        },
        true);
    EXPECT_FALSE(run.ForcedClose());
    ASSERT_EQ(2u, answers.Shown().size());
    for (const auto &shown : answers.Shown()) {
        EXPECT_EQ(LoadResStdString(30010), shown.text);
        EXPECT_EQ(mbYes | mbNo, shown.buttons);
    }
    EXPECT_EQ(0, finishRuns);
}

TEST_F(FrmMainTest, NextOnTheLastPageStoresItRunsTheFinishActionsAndClosesWithoutAQuestion)
{
    TProbeSetup probes{{"a", "b"}, {}, {}};
    UseProbePages(probes);
    TDialogAnswers answers;
    TWizardRun run;
    bool nextFocused = false;
    run.Run(
        {
            WaitForPage(0),
            Do([] { FrmMain->ButNext->Click(); }),
            Do([&] { nextFocused = FrmMain->ActiveControl() == FrmMain->ButNext; }),
            Do([] { FrmMain->ButNext->Click(); }),
        },
        true);
    EXPECT_FALSE(run.ForcedClose());
    EXPECT_TRUE(nextFocused);
    EXPECT_EQ("leave b", probes.log.back());
    EXPECT_EQ(1, finishRuns);
    EXPECT_TRUE(answers.Shown().empty());
}

TEST_F(FrmMainTest, AFailedCheckOnTheLastPageRunsNoFinishActions)
{
    TProbeSetup probes{{"a"}, {}, {}};
    UseProbePages(probes);
    TWizardRun run;
    probes.pages[0]->leaveResult = false;
    run.Run({
        WaitForPage(0),
        Do([] { FrmMain->ButNext->Click(); }),
        Do([] { EXPECT_EQ(0, FrmMain->CurrentPage()); }),
    });
    EXPECT_TRUE(run.ForcedClose());
    EXPECT_EQ(0, finishRuns);
}

TEST_F(FrmMainTest, ExceptionsFromTheFinishActionsAreSwallowedAndTheWizardStillEnds)
{
    WizardFinishRun = &ThrowingFinishRun;
    for (thrownKind = 0; thrownKind < 3; ++thrownKind) {
        SCOPED_TRACE(thrownKind);
        TProbeSetup probes{{"only"}, {}, {}};
        UseProbePages(probes);
        TDialogAnswers answers;
        TWizardRun run;
        run.Run({WaitForPage(0), Do([] { FrmMain->ButNext->Click(); })}, true);
        EXPECT_FALSE(run.ForcedClose());
        EXPECT_TRUE(answers.Shown().empty());
    }
    EXPECT_EQ(3, finishRuns);
}

namespace {

// The wizard's second page cannot be set up: its InitPage throws, as the
// licence page does with a licence it cannot read. Made when first shown.
std::vector<std::string> unusableLog;
int unusableInits = 0;

class TUnusablePage : public TProbePage {
public:
    explicit TUnusablePage(TComponent *owner) : TProbePage(owner, "unusable", unusableLog) {}
    bool InitPage() override
    {
        ++unusableInits;
        throw Exception("cannot be set up");
    }
};

std::vector<TWizardPageSlot> PagesWithAnUnusableOne(TFrmMain *, const TInstParams &)
{
    std::vector<TWizardPageSlot> pages(3);
    pages[0].make = [](TFrmMain *form) -> TBaseFrameClass * { return new TProbePage(form, "a", unusableLog); };
    pages[1].make = [](TFrmMain *form) -> TBaseFrameClass * { return new TUnusablePage(form); };
    pages[2].make = [](TFrmMain *form) -> TBaseFrameClass * { return new TProbePage(form, "c", unusableLog); };
    return pages;
}

} // namespace

TEST_F(FrmMainTest, APageThatCannotBeSetUpEndsTheWizardAfterOneBoxWithNothingInstalled)
{
    unusableLog.clear();
    unusableInits = 0;
    WizardPageFactory = &PagesWithAnUnusableOne;
    std::vector<std::string> boxes;
    const TExceptionHandler previous = Application->SetExceptionHandler([&](std::exception_ptr error) {
        try {
            std::rethrow_exception(error);
        } catch (const Exception &shown) {
            boxes.push_back(ToStdString(shown.Message()));
        } catch (...) {
            boxes.push_back("?");
        }
    });
    const TRestoredAtEnd restoreHandler([previous] { Application->SetExceptionHandler(previous); });
    TDialogAnswers answers;
    {
        TWizardRun run;
        run.Run({WaitForPage(0), Do([] { FrmMain->ButNext->Click(); })}, true);
        EXPECT_FALSE(run.ForcedClose()) << "the wizard stayed";
        EXPECT_EQ(0, FrmMain->CurrentPage());
        EXPECT_FALSE(FrmMain->Installed());
    }
    EXPECT_EQ(std::vector<std::string>{"cannot be set up"}, boxes);
    EXPECT_EQ(1, unusableInits);
    EXPECT_EQ((std::vector<std::string>{"enter a fwd", "leave a"}), unusableLog);
    EXPECT_TRUE(answers.Shown().empty()) << "closing asked " << answers.Shown()[0].text;
    EXPECT_EQ(0, finishRuns);
}

TEST_F(FrmMainTest, AfterTheOrderToTerminateClosingAsksNothing)
{
    TProbeSetup probes{{"a", "b"}, {}, {}};
    UseProbePages(probes);
    TDialogAnswers answers;
    TWizardRun run;
    TCloseAction idle = caNone, installing = caHide;
    bool cancelRaised = false;
    run.Run(
        {
            WaitForPage(0),
            Do([&] {
                Application->Terminate();
                Application->ProcessMessages(); // the order arrives
                ASSERT_TRUE(Application->Terminated());
                idle = caHide;
                FrmMain->FormClose(FrmMain, idle);
                InstParams.running = true;
                FrmMain->FormClose(FrmMain, installing);
                cancelRaised = InstParams.cancel;
                InstParams.running = false;
            }),
        },
        true);
    EXPECT_EQ(caHide, idle);      // closes at once
    EXPECT_EQ(caNone, installing); // only cancels the installation
    EXPECT_TRUE(cancelRaised);
    EXPECT_TRUE(answers.Shown().empty());
}
