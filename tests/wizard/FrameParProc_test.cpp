// The distributed-processing page: its texts, the round trip of the box and
// the folder, the checks of a ticked box, and the reset and browse buttons.
#include <gtest/gtest.h>

#include "installer/InstParams.h"
#include "installer/wizard/FrameParProcUnit.h"
#include "tests/installer/DialogAnswers.h"
#include "tests/installer/StepsTestUtil.h"
#include "visual/DlgMessageBoxUnit.h"
#include "PagesTestUtil.h"

using namespace PagesTest;
using InstallTest::TDialogAnswers;

namespace {

class FrameParProc : public PageTest {
protected:
    void SetUp() override
    {
        PageTest::SetUp();
        page = host.AddPage<TFrameParProc>();
        host.Enter(page);
    }

    bool LeaveWith(bool attach, const std::string &folder)
    {
        page->CBParProcInstall->SetChecked(attach);
        page->DirEdit->SetText(folder);
        TDialogAnswers dialogs;
        const bool left = page->LeavePage();
        shown = dialogs.Shown();
        return left;
    }

    TPageHost host;
    TFrameParProc *page = nullptr;
    std::vector<InstallTest::TShownDialog> shown;
    StepsTest::TTempFolder temp;
};

} // namespace

TEST_F(FrameParProc, ShowsItsTextsTheBoxAndTheFolder)
{
    EXPECT_EQ(page->Label1->Caption(), A("Данный продукт может быть автоматически подключен в качестве системы "
                                         "распределенной обработки к установленной системе MIRELTA."));
    EXPECT_EQ(page->Label3->Caption(), A("Требуется указать папку установки системы MIRELTA. По умолчанию "
                                         "выбирается папка последней установки системы."));
    EXPECT_EQ(page->CBParProcInstall->Caption(), A("Подключить к установленной системе MIRELTA"));
    EXPECT_EQ(page->GroupBox1->Caption(), A("Папка установленной системы MIRELTA"));
    EXPECT_EQ(page->ButBrowse->Caption(), "...");
    EXPECT_EQ(page->ButBrowse->Hint(), A("Обзор"));
    EXPECT_EQ(page->ButReset->Hint(), A("Восстановить значение по умолчанию"));
    EXPECT_TRUE(page->CBParProcInstall->Checked());
    EXPECT_EQ(page->DirEdit->Text(), "C:\\Program Files\\Main");
    ExpectFitsPage(page);
    EXPECT_LT(page->CBParProcInstall->Top(), page->GroupBox1->Top());

    // The folder stays editable whatever the box says.
    page->CBParProcInstall->SetChecked(false);
    EXPECT_TRUE(page->DirEdit->Enabled());
    EXPECT_TRUE(page->ButBrowse->Enabled());
    EXPECT_TRUE(page->ButReset->Enabled());
}

TEST_F(FrameParProc, StoresTheBoxAndTheFolderAndShowsWhatWasStored)
{
    page->CBParProcInstall->SetChecked(false);
    page->DirEdit->SetText("D:\\Main");
    page->StorePage();
    EXPECT_FALSE(InstParams.par_proc_install);
    EXPECT_EQ(InstParams.par_proc_folder, "D:\\Main");

    InstParams.par_proc_install = true;
    InstParams.par_proc_folder = "E:\\Other";
    host.Enter(page);
    EXPECT_TRUE(page->CBParProcInstall->Checked());
    EXPECT_EQ(page->DirEdit->Text(), "E:\\Other");
}

TEST_F(FrameParProc, UntickedBoxAcceptsAnyFolder)
{
    for (const char *folder : {"", "relative", "C:\\"}) {
        EXPECT_TRUE(LeaveWith(false, folder)) << folder;
        EXPECT_TRUE(shown.empty()) << folder;
        EXPECT_FALSE(InstParams.par_proc_install);
        EXPECT_EQ(InstParams.par_proc_folder, folder);
    }
}

TEST_F(FrameParProc, TickedBoxRefusesWhatTheAttachStepRefusesAndNoMore)
{
    for (const char *folder : {"", "relative", "C:main", "\\main"}) {
        EXPECT_FALSE(LeaveWith(true, folder)) << folder;
        ASSERT_EQ(shown.size(), 1u) << folder;
        EXPECT_EQ(shown[0].text, A("Пожалуйста, укажите папку с установленной системой MIRELTA.")) << folder;
        EXPECT_EQ(shown[0].caption, A("Ошибка"));
        EXPECT_EQ(shown[0].buttons, mbOk);
    }
    // The step writes one file into the folder and empties nothing: a drive
    // or share root and a system folder are folders like any other.
    ASSERT_TRUE(InstParams.par_proc_check_file.empty());
    for (const char *folder : {"M:\\", "\\\\srv\\share", "C:\\Program Files", "C:\\a\\..\\b"}) {
        EXPECT_TRUE(LeaveWith(true, folder)) << folder;
        EXPECT_TRUE(shown.empty()) << folder;
        EXPECT_EQ(InstParams.par_proc_folder, folder);
    }
}

TEST_F(FrameParProc, CheckFileMustBeInTheFolderWhenConfigured)
{
    const std::string folder = MakeFolder(temp / "Main");
    InstParams.par_proc_check_file = "Bin\\main.exe";
    EXPECT_FALSE(LeaveWith(true, folder));
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].text, A("Система MIRELTA не обнаружена в указанной папке."));
    EXPECT_EQ(shown[0].caption, A("Ошибка"));

    MakeFile(temp / "Main\\Bin\\main.exe");
    EXPECT_TRUE(LeaveWith(true, folder));
    EXPECT_TRUE(shown.empty());
    EXPECT_TRUE(LeaveWith(true, folder + "\\"));
    EXPECT_TRUE(shown.empty());

    // Without a check file any acceptable folder passes, even a missing one.
    InstParams.par_proc_check_file.clear();
    EXPECT_TRUE(LeaveWith(true, temp / "Missing"));
    EXPECT_TRUE(shown.empty());
    EXPECT_TRUE(InstParams.par_proc_install);
    EXPECT_EQ(InstParams.par_proc_folder, temp / "Missing");
}

TEST_F(FrameParProc, ResetAndBrowseChangeOnlyTheEdit)
{
    InstParams.default_par_proc_folder = "C:\\Default\\Main";
    page->DirEdit->SetText("D:\\Typed");
    page->ButReset->Click();
    EXPECT_EQ(page->DirEdit->Text(), "C:\\Default\\Main");

    TBrowseStub browse("F:\\Systems");
    page->ButBrowse->Click();
    ASSERT_EQ(browse.calls.size(), 1u);
    EXPECT_EQ(browse.calls[0].owner, host.Handle());
    EXPECT_EQ(browse.calls[0].title, A("Выбор папки для установки"));
    EXPECT_EQ(browse.calls[0].startFolder, "C:\\Default\\Main");
    EXPECT_EQ(page->DirEdit->Text(), "F:\\Systems\\Main"); // the name of par_proc_tgt_folder
    EXPECT_EQ(InstParams.par_proc_folder, "C:\\Program Files\\Main");
}
