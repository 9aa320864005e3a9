// The target-folder page: its texts, the round trip through the settings,
// the reset and browse buttons, the refusal of folders the installation would
// refuse, and the question before a foreign folder with content is emptied.
#include <gtest/gtest.h>

#include "foundation/VxMessage.h"
#include "foundation/VxPath.h"
#include "foundation/VxText.h"
#include "installer/InstParams.h"
#include "installer/wizard/FrameTargetUnit.h"
#include "tests/installer/DialogAnswers.h"
#include "tests/installer/StepsTestUtil.h"
#include "visual/DlgMessageBoxUnit.h"
#include "PagesTestUtil.h"

using namespace PagesTest;
using InstallTest::TDialogAnswers;

namespace {

class FrameTarget : public PageTest {
protected:
    void SetUp() override
    {
        PageTest::SetUp();
        page = host.AddPage<TFrameTarget>();
        host.Enter(page);
    }

    // Types folder and presses Next; the boxes shown are answered in order.
    bool LeaveWith(const std::string &folder, std::vector<int> answers = {})
    {
        page->DirEdit->SetText(folder);
        TDialogAnswers dialogs(std::move(answers));
        const bool left = page->LeavePage();
        shown = dialogs.Shown();
        return left;
    }

    std::string Question(const std::string &folder) { return (Mirelta::TVxMessage(30039) << folder).Text(); }

    TPageHost host;
    TFrameTarget *page = nullptr;
    std::vector<InstallTest::TShownDialog> shown;
    StepsTest::TTempFolder temp;
};

} // namespace

TEST_F(FrameTarget, ShowsItsTextsAndTheTargetFolder)
{
    EXPECT_EQ(page->Label1->Caption(), A("Установка будет произведена в указанную папку."));
    EXPECT_EQ(page->Label3->Caption(), A("Если продукт уже был ранее установлен на данном компьютере, по умолчанию "
                                         "выбирается папка предыдущей установки."));
    EXPECT_EQ(page->GroupBox1->Caption(), A("Целевая папка"));
    EXPECT_EQ(page->ButBrowse->Caption(), "...");
    EXPECT_EQ(page->ButBrowse->Hint(), A("Обзор"));
    EXPECT_EQ(page->BitBtn1->Hint(), A("Восстановить значение по умолчанию"));
    EXPECT_FALSE(page->BitBtn1->Glyph()->Empty());
    EXPECT_EQ(page->DirEdit->Text(), "C:\\Program Files\\Viewer");
    ExpectFitsPage(page);
    // The edit takes the row's width beside the two buttons.
    EXPECT_GT(page->DirEdit->Width(), 250);
    EXPECT_LT(page->DirEdit->Left() + page->DirEdit->Width(), page->ButBrowse->Left());
    EXPECT_LT(page->ButBrowse->Left(), page->BitBtn1->Left());
}

TEST_F(FrameTarget, StoresTheEditAndShowsWhatWasStored)
{
    page->DirEdit->SetText(A("D:\\Программы\\Учёт"));
    page->StorePage();
    EXPECT_EQ(InstParams.target_folder, A("D:\\Программы\\Учёт"));

    // Going back stores without any check, an empty folder too.
    page->DirEdit->SetText("");
    TDialogAnswers dialogs;
    page->StorePage();
    EXPECT_EQ(InstParams.target_folder, "");
    EXPECT_TRUE(dialogs.Shown().empty());

    InstParams.target_folder = "E:\\Other";
    host.Enter(page);
    EXPECT_EQ(page->DirEdit->Text(), "E:\\Other");
}

TEST_F(FrameTarget, ResetChangesOnlyTheEdit)
{
    InstParams.default_target_folder = "C:\\Default";
    page->DirEdit->SetText("D:\\Typed");
    page->BitBtn1->Click();
    EXPECT_EQ(page->DirEdit->Text(), "C:\\Default");
    EXPECT_EQ(InstParams.target_folder, "C:\\Program Files\\Viewer");
    page->StorePage();
    EXPECT_EQ(InstParams.target_folder, "C:\\Default");
}

TEST_F(FrameTarget, RefusesFoldersTheInstallationWouldRefuse)
{
    const std::string file = temp / "file.txt";
    MakeFile(file);
    for (const std::string &folder : {std::string(), std::string("relative"), std::string("C:"),
                                      std::string("C:foo"), std::string("C:\\"), std::string("\\\\server\\share\\"),
                                      std::string("C:\\a\\..\\b"), std::string("C:\\.\\a"), std::string("\\a\\b"), file,
                                      file + "\\"}) {
        EXPECT_FALSE(LeaveWith(folder)) << folder;
        ASSERT_EQ(shown.size(), 1u) << folder;
        // An empty field asks for a folder; any other names the one typed.
        EXPECT_EQ(shown[0].text, folder.empty() ? A("Необходимо указать целевую папку для установки")
                                                : A("Установка в папку \"") + folder +
                                                      A("\" невозможна. Укажите другую папку."))
            << folder;
        EXPECT_EQ(shown[0].caption, A("Ошибка")) << folder;
        EXPECT_EQ(shown[0].buttons, mbOk) << folder;
        EXPECT_EQ(page->DirEdit->Text(), folder);
    }
}

TEST_F(FrameTarget, MissingOrEmptyFolderIsAcceptedWithoutAQuestion)
{
    const std::string empty = MakeFolder(temp / "empty");
    for (const std::string &folder : {temp / "new\\sub", empty, empty + "\\"}) {
        EXPECT_TRUE(LeaveWith(folder)) << folder;
        EXPECT_TRUE(shown.empty()) << folder;
        EXPECT_EQ(InstParams.target_folder, folder);
    }
}

TEST_F(FrameTarget, FolderWithContentAsksBeforeItIsEmptied)
{
    const std::string withFile = MakeFolder(temp / "docs");
    MakeFile(temp / "docs\\letter.txt");
    const std::string withFolder = MakeFolder(temp / A("фото\\2024"));
    const std::string photos = temp / A("фото");

    for (const std::string &folder : {withFile, photos, withFile + "\\"}) {
        EXPECT_FALSE(LeaveWith(folder, {mbNo})) << folder;
        ASSERT_EQ(shown.size(), 1u) << folder;
        EXPECT_EQ(shown[0].text, Question(folder));
        EXPECT_EQ(shown[0].caption, A("Внимание"));
        EXPECT_EQ(shown[0].buttons, mbYes | mbNo);

        EXPECT_TRUE(LeaveWith(folder, {mbYes})) << folder;
        ASSERT_EQ(shown.size(), 1u) << folder;
        EXPECT_EQ(shown[0].text, Question(folder));
        EXPECT_EQ(InstParams.target_folder, folder);
    }
    // Closing the question without an answer keeps the page.
    EXPECT_FALSE(LeaveWith(withFile));
    EXPECT_EQ(shown.size(), 1u);
    // Nothing was touched.
    EXPECT_TRUE(FileExists(withFile + "\\letter.txt"));
    EXPECT_TRUE(DirectoryExists(withFolder));
}

TEST_F(FrameTarget, QuestionTextNamesTheFolder)
{
    EXPECT_EQ(Question("D:\\Docs"), A("Папка \"D:\\Docs\" не пуста. Все находящиеся в ней файлы и папки будут "
                                      "удалены.\nПродолжить установку?"));
}

TEST_F(FrameTarget, PreviousInstallationsFolderIsNotAskedAbout)
{
    const std::string folder = MakeFolder(temp / "Viewer");
    MakeFile(temp / "Viewer\\viewer.exe");
    InstParams.prev_install_found = true;
    InstParams.default_target_folder = folder;
    EXPECT_TRUE(LeaveWith(folder));
    EXPECT_TRUE(shown.empty());
    // Another spelling of the same folder.
    EXPECT_TRUE(LeaveWith(UpperCase(folder) + "\\"));
    EXPECT_TRUE(shown.empty());

    // Another folder with content still asks.
    MakeFile(temp / "Other\\file.txt");
    EXPECT_FALSE(LeaveWith(temp / "Other", {mbNo}));
    EXPECT_EQ(shown.size(), 1u);

    // Without a previous installation the default folder is just configured:
    // its content is not ours.
    InstParams.prev_install_found = false;
    EXPECT_FALSE(LeaveWith(folder, {mbNo}));
    EXPECT_EQ(shown.size(), 1u);
}

TEST_F(FrameTarget, BrowseOpensAtTheEditAndAppliesTheFolderNameRule)
{
    {
        TBrowseStub browse("D:\\Programs\\");
        page->DirEdit->SetText("C:\\Start\\Here");
        page->ButBrowse->Click();
        ASSERT_EQ(browse.calls.size(), 1u);
        EXPECT_EQ(browse.calls[0].owner, host.Handle());
        EXPECT_EQ(browse.calls[0].title, A("Выбор папки для установки"));
        EXPECT_EQ(browse.calls[0].startFolder, "C:\\Start\\Here");
        EXPECT_EQ(page->DirEdit->Text(), "D:\\Programs\\Viewer");
        EXPECT_EQ(InstParams.target_folder, "C:\\Program Files\\Viewer"); // stored only on leaving
    }
    {
        TBrowseStub browse("D:\\Programs\\Viewer 2");
        page->ButBrowse->Click();
        EXPECT_EQ(page->DirEdit->Text(), "D:\\Programs\\Viewer 2");
    }
    {
        TBrowseStub cancelled("");
        page->ButBrowse->Click();
        EXPECT_EQ(cancelled.calls.size(), 1u);
        EXPECT_EQ(page->DirEdit->Text(), "D:\\Programs\\Viewer 2");
    }
    {
        InstParams.tgt_folder = "%ProgramFiles%\\";
        TBrowseStub browse("E:\\Apps");
        page->ButBrowse->Click();
        EXPECT_EQ(page->DirEdit->Text(), "E:\\Apps");
    }
}
