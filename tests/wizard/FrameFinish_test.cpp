// The finish page: its boxes for the changeable finish items (none, fewer
// than three, more than three), their tags and the group box height, and the
// exec flags stored from the boxes.
#include <windows.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "WizardTestUtil.h"
#include "classlib/Forms.h"
#include "installer/wizard/FrameFinishUnit.h"

using namespace ClassLib;
using namespace WizardTest;

namespace {

TRunData Item(const char *descriptionUtf8, bool exec, bool allowChange)
{
    TRunData item;
    item.target_file = "prog.exe";
    item.description = A(descriptionUtf8);
    item.exec = exec;
    item.allow_change = allowChange;
    return item;
}

class FinishPageTest : public testing::Test {
protected:
    void SetUp() override { ResetSettings(InstParams); }
    void TearDown() override
    {
        host.reset();
        ResetSettings(InstParams);
    }
    // Builds the page from the settings as the main form does.
    TFrameFinish *Build()
    {
        host.reset(new TForm(nullptr));
        host->SetClientWidth(373);
        host->SetClientHeight(260);
        auto *page = new TFrameFinish(host.get());
        page->SetVisible(false);
        page->SetParent(host.get());
        page->SetAlign(alClient);
        page->InitPage();
        page->SetVisible(true);
        return page;
    }
    std::vector<bool> Exec() const
    {
        std::vector<bool> flags;
        for (const TRunData &item : InstParams.finish_run)
            flags.push_back(item.exec);
        return flags;
    }

    std::unique_ptr<TForm> host;
};

} // namespace

TEST_F(FinishPageTest, Texts)
{
    TFrameFinish *page = Build();
    EXPECT_EQ(A("Установка выполнена успешно."), ToStdString(page->Label1->Caption()));
    EXPECT_EQ((unsigned)fsBold, page->Label1->Font()->Style());
    EXPECT_EQ(-16, page->Label1->Font()->Height());
    EXPECT_EQ(A("Нажмите \"Завершить\" для выхода из программы установки."), ToStdString(page->Label5->Caption()));
    EXPECT_EQ(A("После выхода из программы установки:"), ToStdString(page->GBStart->Caption()));
    EXPECT_EQ("%s", ToStdString(page->CBStart1->Caption()));
}

TEST_F(FinishPageTest, WithoutChangeableItemsTheGroupIsHiddenAndNothingIsStored)
{
    InstParams.finish_run = {Item("Один", true, false), Item("Два", false, false)};
    TFrameFinish *page = Build();
    EXPECT_FALSE(page->GBStart->Visible());
    page->CBStart1->SetChecked(false);
    page->CBStart2->SetChecked(true);
    EXPECT_TRUE(page->LeavePage());
    EXPECT_EQ((std::vector<bool>{true, false}), Exec());
}

TEST_F(FinishPageTest, TwoChangeableItemsGetTheFirstTwoBoxesAndTheThirdIsIgnored)
{
    InstParams.finish_run = {Item("Запустить «Учёт» на 100%", true, true), Item("Скрыто", true, false),
                             Item("Открыть %s", false, true)};
    TFrameFinish *page = Build();
    ASSERT_TRUE(page->GBStart->Visible());
    EXPECT_TRUE(page->CBStart1->Visible());
    EXPECT_TRUE(page->CBStart2->Visible());
    EXPECT_FALSE(page->CBStart3->Visible());
    EXPECT_EQ(1, page->CBStart1->Tag());
    EXPECT_EQ(3, page->CBStart2->Tag());
    EXPECT_EQ(0, page->CBStart3->Tag());
    EXPECT_EQ(A("Запустить «Учёт» на 100%"), ToStdString(page->CBStart1->Caption()));
    EXPECT_EQ(A("Открыть %s"), ToStdString(page->CBStart2->Caption()));
    EXPECT_TRUE(page->CBStart1->Checked());
    EXPECT_FALSE(page->CBStart2->Checked());
    EXPECT_LT(page->CBStart1->Top(), page->CBStart2->Top());
    EXPECT_EQ(page->CBStart2->Top() + 2 * page->CBStart2->Height(), page->GBStart->Height());
    // The group box's panel fits it.
    EXPECT_EQ(page->GBStart->Height(), page->Panel2->Height());

    page->CBStart1->SetChecked(false);
    page->CBStart2->SetChecked(true);
    page->CBStart3->SetChecked(true); // no item: ignored
    EXPECT_EQ((std::vector<bool>{true, true, false}), Exec()); // nothing before Next
    EXPECT_TRUE(page->LeavePage());
    EXPECT_EQ((std::vector<bool>{false, true, true}), Exec());
}

TEST_F(FinishPageTest, OnlyTheFirstThreeOfFourChangeableItemsGetBoxes)
{
    InstParams.finish_run = {Item("1", true, true), Item("2", true, true), Item("3", true, true),
                             Item("4", false, true)};
    TFrameFinish *page = Build();
    EXPECT_EQ(1, page->CBStart1->Tag());
    EXPECT_EQ(2, page->CBStart2->Tag());
    EXPECT_EQ(3, page->CBStart3->Tag());
    EXPECT_TRUE(page->CBStart3->Visible());
    EXPECT_EQ(page->CBStart3->Top() + 2 * page->CBStart3->Height(), page->GBStart->Height());
    // The boxes fit inside the page.
    EXPECT_LE(page->Panel2->Top() + page->Panel2->Height(), page->ClientHeight());
    for (TCheckBox *box : {page->CBStart1, page->CBStart2, page->CBStart3})
        box->SetChecked(false);
    page->StorePage();
    EXPECT_EQ((std::vector<bool>{false, false, false, false}), Exec());
}
