// Standard controls: memo lines and selection, window rebuilds that keep the
// text, check box and list box events, buttons clicked in code.
#include <windows.h>

#include <commctrl.h>

#include <gtest/gtest.h>

#include "classlib/Buttons.h"
#include "classlib/Forms.h"
#include "classlib/StdCtrls.h"
#include "foundation/VxText.h"

using namespace ClassLib;

namespace {

AnsiString A(const char *utf8)
{
    return Utf8ToAnsi(utf8);
}

template <class T>
T *Child(TForm *form)
{
    T *c = new T(form);
    c->SetParent(form);
    return c;
}

} // namespace

TEST(StdCtrls, MemoBreaksLinesAtBareLineFeeds)
{
    TForm form(nullptr);
    auto *memo = Child<TMemo>(&form);
    memo->SetBounds(0, 0, 300, 200);
    memo->SetText(A("\n\nПервая строка\nвторая\r\nтретья"));
    EXPECT_EQ(5, memo->Lines()->Count());
    EXPECT_EQ(A("Первая строка"), memo->Lines()->Get(2));
    EXPECT_EQ(A("третья"), memo->Lines()->Get(4));
    EXPECT_EQ(A("\r\n\r\nПервая строка\r\nвторая\r\nтретья"), memo->Text());
    memo->SetText("last\n");
    EXPECT_EQ(1, memo->Lines()->Count());
    memo->SetText("");
    EXPECT_EQ(0, memo->Lines()->Count());
}

TEST(StdCtrls, MemoSelectionText)
{
    TForm form(nullptr);
    auto *memo = Child<TMemo>(&form);
    memo->SetText(A("Ошибка установки"));
    EXPECT_EQ("", memo->SelText());
    memo->SetSelStart(7);
    memo->SetSelLength(9);
    EXPECT_EQ(A("установки"), memo->SelText());
    EXPECT_EQ(9, memo->SelLength());
}

TEST(StdCtrls, MemoCreationStylesRebuildTheWindowAndKeepTheText)
{
    TForm form(nullptr);
    auto *memo = Child<TMemo>(&form);
    memo->SetBounds(5, 6, 200, 100);
    memo->SetText("one\r\ntwo");
    memo->SetReadOnly(true);
    memo->SetBorderStyle(bsNone);
    memo->SetScrollBars(ssVertical);
    memo->SetHideSelection(false);
    memo->SetWantReturns(false);
    const LONG style = GetWindowLongW(memo->Handle(), GWL_STYLE);
    EXPECT_TRUE(style & WS_VSCROLL);
    EXPECT_TRUE(style & ES_NOHIDESEL);
    EXPECT_TRUE(style & ES_READONLY);
    EXPECT_FALSE(style & ES_WANTRETURN);
    EXPECT_FALSE(GetWindowLongW(memo->Handle(), GWL_EXSTYLE) & WS_EX_CLIENTEDGE);
    EXPECT_EQ("one\r\ntwo", memo->Text());
    EXPECT_EQ(form.Handle(), GetParent(memo->Handle()));
    EXPECT_EQ(memo, TControl::FromHandle(memo->Handle()));
    RECT r{};
    GetWindowRect(memo->Handle(), &r);
    MapWindowPoints(nullptr, form.Handle(), reinterpret_cast<POINT *>(&r), 2);
    EXPECT_EQ(5, r.left);
    EXPECT_EQ(6, r.top);
    memo->SetScrollBars(ssNone);
    EXPECT_FALSE(GetWindowLongW(memo->Handle(), GWL_STYLE) & WS_VSCROLL);
}

TEST(StdCtrls, CheckBoxRunsOnClickWhenCheckedChanges)
{
    TForm form(nullptr);
    auto *box = Child<TCheckBox>(&form);
    int clicks = 0;
    box->OnClick = [&](TObject *) { ++clicks; };
    box->SetChecked(true);
    box->SetChecked(true);
    EXPECT_TRUE(box->Checked());
    EXPECT_EQ(1, clicks);
    SendMessageW(box->Handle(), BM_CLICK, 0, 0); // a user click
    EXPECT_FALSE(box->Checked());
    EXPECT_EQ(2, clicks);
}

TEST(StdCtrls, ListBoxKeepsItemsInOrderAndReportsSelection)
{
    TForm form(nullptr);
    auto *list = Child<TListBox>(&form);
    int clicks = 0;
    list->OnClick = [&](TObject *) { ++clicks; };
    list->Items()->Add(A("Стандартные"));
    list->Items()->Add("Accessories");
    ASSERT_EQ(2, list->Items()->Count());
    EXPECT_EQ(A("Стандартные"), list->Items()->Get(0));
    EXPECT_EQ(-1, list->ItemIndex());
    list->SetItemIndex(1);
    SendMessageW(form.Handle(), WM_COMMAND, MAKEWPARAM(0, LBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(list->Handle()));
    EXPECT_EQ(1, clicks);
    EXPECT_EQ(1, list->ItemIndex());
    list->Items()->Clear();
    EXPECT_EQ(0, list->Items()->Count());
}

TEST(StdCtrls, ButtonClickedInCodeRunsEvenWhenDisabledAndSetsTheModalResult)
{
    TForm form(nullptr);
    auto *button = Child<TBitBtn>(&form);
    button->SetModalResult(mrRetry);
    button->SetEnabled(false);
    int clicks = 0;
    button->OnClick = [&](TObject *) { ++clicks; };
    button->Click();
    EXPECT_EQ(1, clicks);
    EXPECT_EQ(mrRetry, form.ModalResult());
}

TEST(StdCtrls, EditTextRoundTripsThroughTheWindow)
{
    TForm form(nullptr);
    auto *edit = Child<TEdit>(&form);
    int changes = 0;
    edit->OnChange = [&](TObject *) { ++changes; };
    edit->SetText(A("C:\\Program Files\\Установка"));
    EXPECT_EQ(A("C:\\Program Files\\Установка"), edit->Text());
    EXPECT_EQ(1, changes);
}

TEST(StdCtrls, RightAlignedAutoSizedLabelKeepsItsRightEdge)
{
    TForm form(nullptr);
    auto *label = Child<TLabel>(&form);
    label->SetAlignment(taRightJustify);
    label->SetCaption("-");
    label->SetLeft(300 - label->Width());
    const int right = label->Left() + label->Width();
    label->SetCaption("Product 1.2 build 345");
    EXPECT_EQ(right, label->Left() + label->Width());
    EXPECT_GT(label->Width(), 20);
}

TEST(StdCtrls, BitBtnShowsItsGlyphThroughAnImageList)
{
    TForm form(nullptr);
    auto *button = Child<TBitBtn>(&form);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = 16;
    info.bmiHeader.biHeight = 16;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    void *bits = nullptr;
    button->Glyph()->SetHandle(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    button->GlyphChanged();
    BUTTON_IMAGELIST list{};
    ASSERT_TRUE(SendMessageW(button->Handle(), BCM_GETIMAGELIST, 0, reinterpret_cast<LPARAM>(&list)));
    ASSERT_NE(nullptr, list.himl);
    int w = 0, h = 0;
    ImageList_GetIconSize(list.himl, &w, &h);
    EXPECT_EQ(16, w);
    button->Glyph()->Clear();
    button->GlyphChanged();
    BUTTON_IMAGELIST none{};
    SendMessageW(button->Handle(), BCM_GETIMAGELIST, 0, reinterpret_cast<LPARAM>(&none));
    EXPECT_EQ(nullptr, none.himl);
}
