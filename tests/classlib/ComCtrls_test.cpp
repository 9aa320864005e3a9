// The progress bar's range and position, and the rich-text box loading an
// RTF document from memory.
#include <windows.h>

#include <gtest/gtest.h>

#include "classlib/ComCtrls.h"
#include "classlib/Forms.h"
#include "foundation/VxText.h"

using namespace ClassLib;

TEST(ComCtrls, ProgressBarRangeAndPosition)
{
    TForm form(nullptr);
    auto *bar = new TProgressBar(&form);
    bar->SetParent(&form);
    bar->SetMax(100);
    bar->SetMin(0);
    bar->SetPosition(42);
    EXPECT_EQ(42, bar->Position());
    bar->SetPosition(250); // clamped by the control
    EXPECT_EQ(100, bar->Position());
}

TEST(ComCtrls, RichEditShowsAnRtfDocumentInCodePage1251)
{
    TForm form(nullptr);
    auto *viewer = new TRichEdit(&form);
    viewer->SetParent(&form);
    viewer->SetReadOnly(true);
    viewer->SetScrollBars(ssVertical);
    // "Лицензия" as \'xx escapes of code page 1251.
    viewer->LoadRtf("{\\rtf1\\ansi\\ansicpg1251\\deff0{\\fonttbl{\\f0\\fcharset204 Arial;}}"
                    "\\f0\\fs20 \\'cb\\'e8\\'f6\\'e5\\'ed\\'e7\\'e8\\'ff\\par Second}");
    AnsiString text = viewer->PlainText();
    EXPECT_NE(std::string::npos, text.find(Utf8ToAnsi("Лицензия"))) << text;
    EXPECT_NE(std::string::npos, text.find("Second"));
    EXPECT_EQ(std::string::npos, text.find("rtf1"));
    viewer->Font()->SetName("Times New Roman");
    viewer->Font()->SetSize(10);
    EXPECT_EQ("Times New Roman", viewer->Font()->Name());
}
