// The start-menu group page: its texts, the desktop and autorun boxes, the
// list of existing groups from both programs folders, the list click, the
// round trip through the settings and the refusal of names that would leave
// the programs folder.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "foundation/VxPath.h"
#include "installer/InstParams.h"
#include "installer/wizard/FrameGroupUnit.h"
#include "tests/installer/DialogAnswers.h"
#include "tests/installer/StepsTestUtil.h"
#include "visual/DlgMessageBoxUnit.h"
#include "PagesTestUtil.h"

using namespace PagesTest;
using InstallTest::TDialogAnswers;

namespace {

class FrameGroup : public PageTest {
protected:
    TFrameGroup *NewPage()
    {
        auto *page = host.AddPage<TFrameGroup>();
        host.Enter(page);
        return page;
    }

    static std::vector<std::string> ListItems(TFrameGroup *page)
    {
        std::vector<std::string> items;
        for (int i = 0; i < page->GroupsListBox->Items()->Count(); ++i)
            items.push_back(page->GroupsListBox->Items()->Get(i));
        return items;
    }

    TPageHost host;
    StepsTest::TTempFolder temp;
};

std::vector<TLinkData> Links(size_t count)
{
    return std::vector<TLinkData>(count);
}

} // namespace

TEST_F(FrameGroup, ShowsItsTextsAndTheSettings)
{
    InstParams.autorun = true;
    InstParams.create_autorun_record = true;
    InstParams.create_desktop_links = true;
    InstParams.desktop_links = Links(1);
    auto *page = NewPage();

    EXPECT_EQ(page->Label1->Caption(), A("Введите имя папки в меню «Пуск», в которую будут установлены ярлыки для "
                                         "запуска Учёт заявок."));
    EXPECT_EQ(page->GroupBox1->Caption(), A("Папка для ярлыков"));
    EXPECT_EQ(page->ButReset->Hint(), A("Восстановить значение по умолчанию"));
    EXPECT_EQ(page->GroupEdit->Text(), A("Учёт заявок"));
    EXPECT_TRUE(page->CBDesktopShortcut->Checked());
    EXPECT_EQ(page->CBAutoRun->Caption(), A("Запускать при входе в Windows"));
    EXPECT_EQ(page->CBAutoRun->Hint(), A("Напоминания появятся после входа."));
    EXPECT_TRUE(page->CBAutoRun->Checked());
    EXPECT_TRUE(page->PanAutoRun->Visible());
    EXPECT_FALSE(page->GroupsListBox->Sorted());
    ExpectFitsPage(page);
    // Top to bottom: the text, the group box, the desktop box, the autorun box.
    EXPECT_LT(page->Label1->Top(), page->GroupBox1->Top());
    EXPECT_LT(page->GroupBox1->Top(), page->Panel5->Top());
    EXPECT_LT(page->Panel5->Top(), page->PanAutoRun->Top());
    EXPECT_GT(page->GroupsListBox->Height(), 60);
}

TEST_F(FrameGroup, DesktopBoxByTheNumberOfDesktopLinks)
{
    const std::string one = A("Создать ярлык на рабочем столе");
    const std::string many = A("Создать ярлыки на рабочем столе");
    struct {
        size_t links;
        bool visible;
        std::string caption;
    } cases[] = {{0, false, one}, {1, true, one}, {2, true, many}, {3, true, many}};
    for (const auto &c : cases) {
        InstParams.desktop_links = Links(c.links);
        TPageHost pageHost;
        auto *page = pageHost.AddPage<TFrameGroup>();
        EXPECT_EQ(page->Panel5->Visible(), c.visible) << c.links;
        EXPECT_EQ(page->CBDesktopShortcut->Caption(), c.caption) << c.links;
    }
}

TEST_F(FrameGroup, AmpersandsInConfiguredTextsAreShownAsTheyStand)
{
    InstParams.app_title = "R&D";
    InstParams.cb_caption = A("Запуск & проверка");
    auto *page = NewPage();
    EXPECT_EQ(ShownText(page->Label1->Caption()),
              A("Введите имя папки в меню «Пуск», в которую будут установлены ярлыки для запуска R&D."));
    EXPECT_EQ(ShownText(page->CBAutoRun->Caption()), A("Запуск & проверка"));
}

TEST_F(FrameGroup, AutorunBoxOnlyWhenConfigured)
{
    auto *page = NewPage();
    EXPECT_FALSE(page->PanAutoRun->Visible());
    EXPECT_FALSE(page->CBAutoRun->Checked());
    ExpectFitsPage(page);
}

TEST_F(FrameGroup, ListsEachExistingGroupOnceInByteOrderAndRebuildsOnEachVisit)
{
    const std::string user = MakeFolder(temp / "User");
    const std::string common = MakeFolder(temp / "Common");
    for (const char *name : {"Zeta", "alpha", "Shared", "Яблоко"})
        MakeFolder(temp / ("User\\" + A(name)));
    for (const char *name : {"Shared", "Alpha", "Ёлка"})
        MakeFolder(temp / ("Common\\" + A(name)));
    MakeFile(temp / "User\\Notes.lnk");
    MakeFile(temp / "Common\\Shared\\inner.lnk");
    MakeFolder(temp / "Common\\Shared\\Deeper");
    InstParams.user_programs_folder = user;
    InstParams.common_programs_folder = common + "\\";

    auto *page = NewPage();
    const std::vector<std::string> expected = {"Alpha", "Shared", "Zeta", "alpha", A("Ёлка"), A("Яблоко")};
    EXPECT_EQ(ListItems(page), expected);

    // Folders made or removed meanwhile show on the next visit.
    MakeFolder(temp / "Common\\Beta");
    DirectoryRemove(temp / "User\\Zeta");
    EXPECT_EQ(ListItems(page), expected);
    host.Enter(page);
    EXPECT_EQ(ListItems(page), (std::vector<std::string>{"Alpha", "Beta", "Shared", "alpha", A("Ёлка"), A("Яблоко")}));

    // A programs folder the settings do not name is skipped.
    InstParams.user_programs_folder.clear();
    host.Enter(page);
    EXPECT_EQ(ListItems(page), (std::vector<std::string>{"Alpha", "Beta", "Shared", A("Ёлка")}));
    InstParams.common_programs_folder = temp / "Missing";
    host.Enter(page);
    EXPECT_TRUE(ListItems(page).empty());
}

// Filled item by item with a redraw after each, 3,000 groups took over a
// minute; in one go well under half a second on an idle machine. The bound
// leaves room for a machine busy with other tests.
TEST_F(FrameGroup, ThreeThousandGroupsAreListedOnTheShownPageInOneGo)
{
    const std::string common = MakeFolder(temp / "Common");
    for (int i = 0; i < 3000; ++i)
        ASSERT_TRUE(CreateDirectoryA((common + "\\Group " + std::to_string(10000 + i)).c_str(), nullptr)) << i;
    InstParams.common_programs_folder = common;
    auto *page = host.AddPage<TFrameGroup>();
    // A person sees the page: the list redraws on screen.
    host.Show();
    ClassLib::Application->ProcessMessages();

    const DWORD start = GetTickCount();
    host.Enter(page);
    const DWORD elapsed = GetTickCount() - start;
    EXPECT_LT(elapsed, 5000u);
    const std::vector<std::string> items = ListItems(page);
    ASSERT_EQ(3000u, items.size());
    EXPECT_EQ("Group 10000", items.front());
    EXPECT_EQ("Group 12999", items.back());
    EXPECT_TRUE(IsWindowVisible(page->GroupsListBox->Handle()));
}

TEST_F(FrameGroup, ListClickTakesTheSelectedGroupAndNothingWithoutOne)
{
    MakeFolder(temp / "Common\\First");
    MakeFolder(temp / "Common\\Second");
    InstParams.common_programs_folder = temp / "Common";
    auto *page = NewPage();

    page->GroupsListBox->SetItemIndex(1);
    page->GroupsListBox->Click();
    EXPECT_EQ(page->GroupEdit->Text(), "Second");
    EXPECT_EQ(InstParams.start_menu_group, A("Учёт заявок")); // stored only on leaving

    page->GroupEdit->SetText("Typed");
    page->GroupsListBox->SetItemIndex(-1);
    page->GroupsListBox->Click();
    EXPECT_EQ(page->GroupEdit->Text(), "Typed");

    // A click on an empty list.
    InstParams.common_programs_folder.clear();
    host.Enter(page);
    page->GroupEdit->SetText("Typed");
    page->GroupsListBox->Click();
    EXPECT_EQ(page->GroupEdit->Text(), "Typed");
}

TEST_F(FrameGroup, StoresTheGroupAndBothBoxes)
{
    InstParams.autorun = true;
    InstParams.desktop_links = Links(2);
    auto *page = NewPage();
    page->GroupEdit->SetText(A("Мои программы\\Учёт"));
    page->CBDesktopShortcut->SetChecked(true);
    page->CBAutoRun->SetChecked(true);
    EXPECT_TRUE(page->LeavePage());
    EXPECT_EQ(InstParams.start_menu_group, A("Мои программы\\Учёт"));
    EXPECT_TRUE(InstParams.create_desktop_links);
    EXPECT_TRUE(InstParams.create_autorun_record);

    InstParams.start_menu_group = "Other";
    InstParams.create_desktop_links = false;
    host.Enter(page);
    EXPECT_EQ(page->GroupEdit->Text(), "Other");
    EXPECT_FALSE(page->CBDesktopShortcut->Checked());
}

TEST_F(FrameGroup, HiddenAutorunBoxKeepsTheConfiguredChoice)
{
    InstParams.create_autorun_record = true;
    auto *page = NewPage();
    InstParams.create_autorun_record = false;
    page->StorePage();
    EXPECT_TRUE(InstParams.create_autorun_record);
}

TEST_F(FrameGroup, NamesOutsideTheProgramsFolderAreRefusedAndTheConfiguredGroupFilledIn)
{
    auto *page = NewPage();
    InstParams.configured_start_menu_group = A("Учёт заявок");
    for (const char *name : {"", "   ", "\\Absolute", "C:Group", "..", "...", "a\\..\\..\\b", "a/../b", "a\\ \\b",
                             "a|b", "a*b", "a?b", "a<b>", "a\"b", "CON", "NUL\\x"}) {
        page->GroupEdit->SetText(name);
        TDialogAnswers dialogs;
        EXPECT_FALSE(page->LeavePage()) << name;
        ASSERT_EQ(dialogs.Shown().size(), 1u) << name;
        EXPECT_EQ(dialogs.Shown()[0].text, A("Необходимо указать папку")) << name;
        EXPECT_EQ(dialogs.Shown()[0].caption, A("Внимание")) << name;
        EXPECT_EQ(dialogs.Shown()[0].buttons, mbOk) << name;
        EXPECT_EQ(page->GroupEdit->Text(), A("Учёт заявок")) << name;
        EXPECT_EQ(InstParams.start_menu_group, A("Учёт заявок")) << name;
    }
    // Next again goes on with the configured group.
    TDialogAnswers dialogs;
    EXPECT_TRUE(page->LeavePage());
    EXPECT_TRUE(dialogs.Shown().empty());
}

TEST_F(FrameGroup, ResetPutsTheConfiguredGroupIntoTheSettingsAndTheEdit)
{
    InstParams.start_menu_group = "Previous";
    auto *page = NewPage();
    EXPECT_EQ(page->GroupEdit->Text(), "Previous");
    page->ButReset->Click();
    EXPECT_EQ(page->GroupEdit->Text(), A("Учёт заявок"));
    EXPECT_EQ(InstParams.start_menu_group, A("Учёт заявок"));
}
