// The progress bar's range and position, and the rich-text box loading an
// RTF document from memory.
#include <windows.h>
#include <richedit.h>

#include <gtest/gtest.h>

#include <string>

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

TEST(ComCtrls, RichEditRefusesGroupsNestedDeeperThanADocumentNeeds)
{
    TForm form(nullptr);
    auto *viewer = new TRichEdit(&form);
    viewer->SetParent(&form);
    auto nested = [](size_t depth, const std::string &inside) {
        return "{\\rtf1\\ansi " + std::string(depth - 1, '{') + inside + std::string(depth - 1, '}') + "}";
    };
    EXPECT_THROW(viewer->LoadRtf(nested(100000, "deep")), Exception);
    EXPECT_THROW(viewer->LoadRtf(nested(33, "deep")), Exception);
    // Braces in binary data count as groups opened: a reader may take them so.
    EXPECT_THROW(viewer->LoadRtf(nested(30, "{\\*\\skip\\bin3 {{{}deep")), Exception);

    // Escaped braces open no group.
    std::string braces;
    for (int i = 0; i < 100; ++i)
        braces += "\\{";
    viewer->LoadRtf(nested(32, braces + " level"));
    EXPECT_NE(std::string::npos, viewer->PlainText().find("{{{{ level")) << viewer->PlainText();
}

TEST(ComCtrls, RichEditSaysWhyItRefusesADocument)
{
    TForm form(nullptr);
    auto *viewer = new TRichEdit(&form);
    viewer->SetParent(&form);
    const std::string document = "{\\rtf1\\ansi\\ansicpg1251{\\fonttbl{\\f0\\fcharset204 Arial;}}"
                                 "\\f0 First\\par {\\b Bold} last\\par}";
    const struct {
        std::string rtf;
        TRichTextFault fault;
    } cases[] = {
        {"Plain text where a document should be.", rfNotRichText},
        {" " + document, rfNotRichText},
        {"", rfNotRichText},
        // Cut short: some controls show what they read and report nothing.
        {document.substr(0, document.size() - 1), rfDamaged},
        {document.substr(0, document.find("Bold")), rfDamaged},
        {"{\\rtf1\\ansi " + std::string(32, '{') + "deep" + std::string(32, '}') + "}", rfNestedTooDeep},
        // Groups that close, but braces in binary data the control reads as groups.
        {"{\\rtf1\\ansi{\\*\\pict\\bin4 {{{{} after}", rfDamaged},
    };
    for (const auto &c : cases) {
        try {
            viewer->LoadRtf(c.rtf);
            ADD_FAILURE() << "accepted: " << c.rtf;
        } catch (const ERichTextError &error) {
            EXPECT_EQ(c.fault, error.Fault()) << c.rtf << ": " << error.Message();
        }
    }
    viewer->LoadRtf(document);
    EXPECT_NE(std::string::npos, viewer->PlainText().find("Bold last")) << viewer->PlainText();
}

namespace {

// Whether the box shows its vertical scroll bar now.
bool ShowsVerticalScrollBar(TRichEdit *viewer)
{
    SCROLLBARINFO info{};
    info.cbSize = sizeof info;
    return GetScrollBarInfo(viewer->Handle(), OBJID_VSCROLL, &info) && !(info.rgstate[0] & STATE_SYSTEM_INVISIBLE);
}

// The width the box lays its text out at now.
LONG LayoutWidth(HWND box)
{
    RECT r{};
    SendMessageW(box, EM_GETRECT, 0, reinterpret_cast<LPARAM>(&r));
    return r.right - r.left;
}

// A rich-text box that notes the width it has when a document starts to come
// in: the width of the document's first layout.
class TLayoutWatch : public TRichEdit {
public:
    using TRichEdit::TRichEdit;
    LONG widthAtLoad = 0;

protected:
    LRESULT WndProc(UINT msg, WPARAM wParam, LPARAM lParam) override
    {
        if (msg == EM_STREAMIN)
            widthAtLoad = LayoutWidth(Handle());
        return TRichEdit::WndProc(msg, wParam, lParam);
    }
};

// A read-only box of the form with a vertical scroll bar, as the licence page
// has, in a view of 300 by 150 pixels.
template <class Box>
Box *NewViewer(TForm &form)
{
    auto *viewer = new Box(&form);
    viewer->SetParent(&form);
    viewer->SetReadOnly(true);
    viewer->SetScrollBars(ssVertical);
    viewer->SetBounds(0, 0, 300, 150);
    return viewer;
}

// An RTF document of count paragraphs, each its number between before and
// after, then the tail.
std::string NumberedParagraphs(int count, const std::string &before, const std::string &after,
                               const std::string &tail = "")
{
    std::string document = "{\\rtf1\\ansi ";
    for (int i = 0; i < count; ++i)
        document += before + std::to_string(i) + after + "\\par ";
    return document + tail + "}";
}

// The box shows the document as a new box without a scroll bar shows it: at
// its start, nothing selected, nothing to undo, the same text.
void ExpectLoadedAsNew(TRichEdit *viewer, const std::string &document)
{
    TRichEdit fresh(nullptr);
    fresh.SetParent(viewer->Parent());
    fresh.SetBounds(viewer->Left(), viewer->Top(), viewer->Width(), viewer->Height());
    fresh.LoadRtf(document);
    EXPECT_EQ(0, SendMessageW(viewer->Handle(), EM_GETFIRSTVISIBLELINE, 0, 0));
    CHARRANGE selection{-1, -1};
    SendMessageW(viewer->Handle(), EM_EXGETSEL, 0, reinterpret_cast<LPARAM>(&selection));
    EXPECT_EQ(0, selection.cpMin);
    EXPECT_EQ(0, selection.cpMax);
    EXPECT_FALSE(SendMessageW(viewer->Handle(), EM_CANUNDO, 0, 0));
    EXPECT_EQ(GetWindowTextLengthW(fresh.Handle()), GetWindowTextLengthW(viewer->Handle()));
    const std::string text = fresh.PlainText(), shown = viewer->PlainText();
    EXPECT_EQ(text, shown);
}

} // namespace

// A long document is laid out once, with its scroll bar already there: at the
// width it keeps. What stood in for the bar until then leaves no trace, and a
// document that fits has no bar.
TEST(ComCtrls, RichEditShowsTheScrollBarOnlyForADocumentLongerThanItsView)
{
    TForm form(nullptr);
    auto *viewer = NewViewer<TLayoutWatch>(form);
    const std::string longer = NumberedParagraphs(200, "Line ", "");
    viewer->LoadRtf(longer);
    EXPECT_TRUE(ShowsVerticalScrollBar(viewer));
    EXPECT_EQ(LayoutWidth(viewer->Handle()), viewer->widthAtLoad);
    EXPECT_EQ(0u, viewer->PlainText().find("Line 0")) << viewer->PlainText().substr(0, 40);
    ExpectLoadedAsNew(viewer, longer);

    const std::string shorter = "{\\rtf1\\ansi Short\\par}";
    viewer->LoadRtf(shorter);
    EXPECT_FALSE(ShowsVerticalScrollBar(viewer));
    EXPECT_EQ(0u, viewer->PlainText().find("Short")) << viewer->PlainText().substr(0, 40);
    ExpectLoadedAsNew(viewer, shorter);
}

// The control stops reading a document at its text limit without a word. Wine
// reads on, raising the limit as the text comes, but to less than the text's
// length counted with CR LF. A document of four times the default limit
// (32,767 characters) is taken whole, and the limit admits it.
TEST(ComCtrls, RichEditTakesADocumentOfManyTimesTheDefaultTextLimit)
{
    TForm form(nullptr);
    auto *viewer = NewViewer<TRichEdit>(form);
    viewer->LoadRtf(
        NumberedParagraphs(2000, "Paragraph ", " of a document far longer than the box takes at first", "The end."));
    const int length = GetWindowTextLengthW(viewer->Handle());
    EXPECT_GT(length, 2 * 65536);
    EXPECT_GE(SendMessageW(viewer->Handle(), EM_GETLIMITTEXT, 0, 0), length);
    const std::string text = viewer->PlainText();
    EXPECT_NE(std::string::npos, text.find("Paragraph 1999 of")) << text.substr(text.size() - 100);
    EXPECT_NE(std::string::npos, text.find("The end.")) << text.substr(text.size() - 100);
}
