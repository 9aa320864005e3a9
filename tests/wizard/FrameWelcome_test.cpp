// The welcome page: its texts with the product's title, their order, and the
// layout within the wizard's page area.
#include <gtest/gtest.h>

#include "installer/InstParams.h"
#include "installer/wizard/FrameWelcomeUnit.h"
#include "PagesTestUtil.h"

using namespace PagesTest;

using FrameWelcome = PageTest;

TEST_F(FrameWelcome, ShowsTheProductTitleAndTheAdviceInOrder)
{
    TPageHost host;
    auto *page = host.AddPage<TFrameWelcome>();
    host.Enter(page);

    EXPECT_EQ(page->LabelCaption->Caption(), A("Добро пожаловать в программу установки Учёт заявок."));
    EXPECT_EQ(page->LabelCaption->Font()->Height(), -16);
    EXPECT_EQ(page->LabelCaption->Font()->Style(), unsigned(ClassLib::fsBold));
    EXPECT_EQ(page->LabelClose->Caption(),
              A("Рекомендуется закрыть все запущенные программы перед выполнением установки."));
    EXPECT_EQ(page->LabelWarn1->Caption(), "");
    EXPECT_EQ(page->LabelWarn2->Caption(), "");
    for (ClassLib::TLabel *spacer : {page->Label3, page->Label4, page->Label5, page->Label7})
        EXPECT_EQ(spacer->Caption(), " ");

    const ClassLib::TLabel *order[] = {page->Label4,     page->LabelCaption, page->Label5, page->LabelClose,
                                       page->Label3,     page->LabelWarn1,   page->Label7, page->LabelWarn2};
    for (size_t i = 1; i < sizeof order / sizeof order[0]; ++i)
        EXPECT_EQ(order[i]->Top(), order[i - 1]->Top() + order[i - 1]->Height()) << i;
    ExpectFitsPage(page);

    page->StorePage();
    EXPECT_TRUE(page->LeavePage());
}

TEST_F(FrameWelcome, TitleIsAnArgumentNotAFormat)
{
    InstParams.app_title = "100%s %d";
    TPageHost host;
    auto *page = host.AddPage<TFrameWelcome>();
    EXPECT_EQ(page->LabelCaption->Caption(), A("Добро пожаловать в программу установки 100%s %d."));
}

TEST_F(FrameWelcome, AmpersandsInTheTitleAreShownAsTheyStand)
{
    InstParams.app_title = "Tom & Jerry && Co";
    TPageHost host;
    auto *page = host.AddPage<TFrameWelcome>();
    EXPECT_EQ(ShownText(page->LabelCaption->Caption()),
              A("Добро пожаловать в программу установки Tom & Jerry && Co."));
}
