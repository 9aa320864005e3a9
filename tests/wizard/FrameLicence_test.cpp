// The licence page: the agreement read from the program's rich-text resource,
// and the box that gates Next, ticked for a returning user.
#include <gtest/gtest.h>

#include "installer/InstParams.h"
#include "installer/wizard/FrameLicenceUnit.h"
#include "PagesTestUtil.h"

using namespace PagesTest;

using FrameLicence = PageTest;

TEST_F(FrameLicence, ShowsTheLicenceResourceAsRichTextReadOnly)
{
    TPageHost host;
    auto *page = host.AddPage<TFrameLicence>();
    host.Enter(page);

    EXPECT_EQ(page->CBAgreed->Caption(), A("Я принимаю условия лицензионного соглашения"));
    const std::string text = page->LicenceViewer->PlainText();
    EXPECT_NE(text.find(A("Лицензионное соглашение")), std::string::npos) << text;
    EXPECT_NE(text.find(A("Продукт предоставляется «как есть».")), std::string::npos) << text;
    EXPECT_EQ(text.find("rtf"), std::string::npos) << text;
    EXPECT_TRUE(page->LicenceViewer->ReadOnly());
    EXPECT_EQ(page->LicenceViewer->ScrollBars(), ClassLib::ssVertical);
    EXPECT_EQ(page->LicenceViewer->Font()->Name(), "Times New Roman");
    EXPECT_EQ(page->LicenceViewer->Font()->Size(), 10);
    ExpectFitsPage(page);
}

TEST_F(FrameLicence, NextIsUsableOnlyWhileTheBoxIsTicked)
{
    TPageHost host;
    auto *page = host.AddPage<TFrameLicence>();
    host.Enter(page);
    EXPECT_FALSE(page->CBAgreed->Checked());
    EXPECT_FALSE(host.ButNext->Enabled());

    page->CBAgreed->SetChecked(true);
    EXPECT_TRUE(host.ButNext->Enabled());
    page->CBAgreed->SetChecked(false);
    EXPECT_FALSE(host.ButNext->Enabled());

    // A real click on the box.
    SendMessageW(page->CBAgreed->Handle(), BM_CLICK, 0, 0);
    EXPECT_TRUE(page->CBAgreed->Checked());
    EXPECT_TRUE(host.ButNext->Enabled());
    EXPECT_TRUE(page->LeavePage());

    // Coming back to the page finds the box as it was left.
    page->CBAgreed->SetChecked(false);
    host.Enter(page);
    EXPECT_FALSE(host.ButNext->Enabled());
}

TEST_F(FrameLicence, ReturningUserFindsTheBoxTickedAndNextEnabled)
{
    InstParams.prev_install_found = true;
    TPageHost host;
    auto *page = host.AddPage<TFrameLicence>();
    host.Enter(page);
    EXPECT_TRUE(page->CBAgreed->Checked());
    EXPECT_TRUE(host.ButNext->Enabled());
    page->CBAgreed->SetChecked(false);
    EXPECT_FALSE(host.ButNext->Enabled());
}

TEST_F(FrameLicence, WithoutAHostTheBoxStillWorks)
{
    ClassLib::TForm form(nullptr);
    TFrameLicence page(&form);
    page.SetParent(&form);
    page.InitPage();
    page.EnterPage(true);
    page.CBAgreed->SetChecked(true);
    EXPECT_TRUE(page.LeavePage());
}
