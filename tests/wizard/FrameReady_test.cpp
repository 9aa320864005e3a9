// The ready page: its texts with the product's title and its layout.
#include <gtest/gtest.h>

#include "installer/InstParams.h"
#include "installer/wizard/FrameReadyUnit.h"
#include "PagesTestUtil.h"

using namespace PagesTest;

using FrameReady = PageTest;

TEST_F(FrameReady, ShowsTheProductTitleAndWhatTheButtonsDo)
{
    TPageHost host;
    auto *page = host.AddPage<TFrameReady>();
    host.Enter(page);

    EXPECT_EQ(page->Label1->Caption(), A("Все готово для установки Учёт заявок."));
    EXPECT_EQ(page->Label1->Font()->Height(), -16);
    EXPECT_EQ(page->Label1->Font()->Style(), unsigned(ClassLib::fsBold));
    EXPECT_EQ(page->Label2->Caption(), " ");
    EXPECT_EQ(page->Label3->Caption(), A("Нажмите \"Далее\", чтобы приступить к копированию файлов, или "
                                         "\"Назад\", чтобы изменить параметры установки."));
    EXPECT_LT(page->Label1->Top(), page->Label3->Top());
    // The long text wraps at the page's width and shows whole.
    EXPECT_GT(page->Label3->Height(), 2 * 12);
    ExpectFitsPage(page);

    page->StorePage();
    EXPECT_TRUE(page->LeavePage());
}
