// The licence page: the agreement read from the program's rich-text resource,
// and the box that gates Next, ticked for a returning user.
#include <windows.h>
#include <richedit.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "installer/InstParams.h"
#include "installer/LoadConfig.h"
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

namespace {

// The character format of the viewer's text from first to last (a character
// index range), or its default format when first is negative.
CHARFORMAT2W FormatOf(ClassLib::TRichEdit *viewer, long first, long last)
{
    CHARFORMAT2W format{};
    format.cbSize = sizeof(format);
    if (first < 0) {
        SendMessageW(viewer->Handle(), EM_GETCHARFORMAT, SCF_DEFAULT, reinterpret_cast<LPARAM>(&format));
        return format;
    }
    SendMessageW(viewer->Handle(), EM_SETSEL, first, last);
    SendMessageW(viewer->Handle(), EM_GETCHARFORMAT, SCF_SELECTION, reinterpret_cast<LPARAM>(&format));
    return format;
}

} // namespace

TEST_F(FrameLicence, TheViewersFontIsTheDefaultAndTheDocumentKeepsItsOwnFormatting)
{
    TPageHost host;
    auto *page = host.AddPage<TFrameLicence>();
    host.Enter(page);
    const std::string text = page->LicenceViewer->PlainText();
    const long body = static_cast<long>(text.find(A("Продукт")));
    ASSERT_GT(body, 0) << text;

    // The sample's title is bold and its text plain, in its own Arial. The
    // title names no size: it has the viewer's 10 pt (not the control's first
    // default, as it would if the viewer's font came after the document).
    const CHARFORMAT2W title = FormatOf(page->LicenceViewer, 0, 5);
    EXPECT_TRUE((title.dwMask & CFM_BOLD) && (title.dwEffects & CFE_BOLD));
    EXPECT_TRUE(title.dwMask & CFM_SIZE);
    EXPECT_EQ(200, title.yHeight);
    const CHARFORMAT2W plain = FormatOf(page->LicenceViewer, body, body + 7);
    EXPECT_TRUE((plain.dwMask & CFM_BOLD) && !(plain.dwEffects & CFE_BOLD));
    EXPECT_EQ(std::wstring(L"Arial"), plain.szFaceName);

    const CHARFORMAT2W byDefault = FormatOf(page->LicenceViewer, -1, -1);
    EXPECT_EQ(std::wstring(L"Times New Roman"), byDefault.szFaceName);
    EXPECT_EQ(200, byDefault.yHeight);
}

TEST_F(FrameLicence, ALicenceTheViewerCannotReadIsReportedInTheProductsLanguage)
{
    TPageHost host;
    auto *page = host.AddPage<TFrameLicence>();
    const std::string prefix = A("Не удалось прочитать текст лицензионного соглашения (");
    const std::string whole = "{\\rtf1\\ansi\\ansicpg1251{\\fonttbl{\\f0\\fcharset204 Arial;}}\\f0 \\'cb\\'e8\\par}";
    const struct {
        std::string rtf;
        const char *reason;
    } unreadable[] = {
        {"Plain text where the licence should be.", "текст не является документом RTF"},
        {whole.substr(0, whole.size() - 1), "документ поврежден"},
        {"{\\rtf1\\ansi " + std::string(100000, '{') + "deep" + std::string(100000, '}') + "}",
         "слишком глубокая вложенность групп документа"},
    };
    for (const auto &c : unreadable) {
        try {
            page->ShowLicence(c.rtf);
            ADD_FAILURE() << "accepted: " << c.rtf.substr(0, 40);
        } catch (const ClassLib::Exception &error) {
            const std::string message = error.Message();
            EXPECT_EQ(prefix + A(c.reason) + ")", message) << message;
        }
    }
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

// A long licence (some 6 MB of RTF in 38,000 paragraphs: the sample's text
// again and again, generated by the build as the resource LICENCE_LARGE) is
// on the page within seconds, formatted as a short one. The bound is generous
// for a busy machine; laid out twice, the document takes far longer.
TEST_F(FrameLicence, ALongLicenceIsShownWithinSecondsAndFormattedAsAShortOne)
{
    const std::string rtf = LoadResourceBytes("LICENCE_LARGE");
    ASSERT_GT(rtf.size(), 6000000u);
    TPageHost host;
    auto *page = host.AddPage<TFrameLicence>();
    const DWORD start = GetTickCount();
    page->ShowLicence(rtf);
    host.Enter(page);
    const DWORD took = GetTickCount() - start;
    EXPECT_LT(took, 30000u);
    std::printf("a licence of %u bytes shown in %.1f s\n", static_cast<unsigned>(rtf.size()), took / 1000.0);

    // The sample's title is bold, its text plain, both in its own Tahoma: at
    // the start and far down.
    FINDTEXTEXW find{};
    find.chrg = {4000000, -1};
    const std::wstring paragraph = L"\u041d\u0430\u0441\u0442\u043e\u044f\u0449\u0435\u0435"; // "Настоящее"
    find.lpstrText = paragraph.c_str();
    const long later = static_cast<long>(
        SendMessageW(page->LicenceViewer->Handle(), EM_FINDTEXTEXW, FR_DOWN, reinterpret_cast<LPARAM>(&find)));
    ASSERT_GT(later, 4000000);
    const CHARFORMAT2W title = FormatOf(page->LicenceViewer, 0, 5);
    EXPECT_TRUE((title.dwMask & CFM_BOLD) && (title.dwEffects & CFE_BOLD));
    EXPECT_EQ(std::wstring(L"Tahoma"), title.szFaceName);
    const CHARFORMAT2W text = FormatOf(page->LicenceViewer, later, later + 1);
    EXPECT_EQ(std::wstring(L"Tahoma"), text.szFaceName);
    EXPECT_EQ(180, text.yHeight);
    const CHARFORMAT2W byDefault = FormatOf(page->LicenceViewer, -1, -1);
    EXPECT_EQ(std::wstring(L"Times New Roman"), byDefault.szFaceName);
    EXPECT_EQ(200, byDefault.yHeight);

    // All of it: the control would stop reading it at its text limit.
    const HWND viewer = page->LicenceViewer->Handle();
    EXPECT_GE(SendMessageW(viewer, EM_GETLIMITTEXT, 0, 0), GetWindowTextLengthW(viewer));
}
