// Alignment, margins, auto-size and constraints, read back at once after
// each change (the layouts of the forms are built in code and rely on it).
#include <windows.h>

#include <gtest/gtest.h>

#include "classlib/ComCtrls.h"
#include "classlib/ExtCtrls.h"
#include "classlib/Forms.h"
#include "classlib/StdCtrls.h"
#include "foundation/VxText.h"

using namespace ClassLib;

namespace {
// Source literals are UTF-8; the controls take ANSI text.
AnsiString A(const char *utf8)
{
    return Utf8ToAnsi(utf8);
}
} // namespace

namespace {

RECT Bounds(TControl *c)
{
    return c->BoundsRect();
}

// The window's real place in its parent, to check that the object and the
// window agree.
RECT WindowBounds(TControl *c)
{
    RECT r{};
    GetWindowRect(c->Handle(), &r);
    MapWindowPoints(nullptr, GetParent(c->Handle()), reinterpret_cast<POINT *>(&r), 2);
    return r;
}

#define EXPECT_RECT(l, t, r, b, rect)                                                                        \
    do {                                                                                                     \
        RECT rc_ = (rect);                                                                                   \
        EXPECT_EQ(l, rc_.left);                                                                              \
        EXPECT_EQ(t, rc_.top);                                                                               \
        EXPECT_EQ(r, rc_.right);                                                                             \
        EXPECT_EQ(b, rc_.bottom);                                                                            \
    } while (0)

template <class T>
T *Child(TForm *form, TWinControl *parent)
{
    T *c = new T(form);
    c->SetParent(parent);
    return c;
}

} // namespace

TEST(Controls, AlignBandsAreLaidOutSynchronously)
{
    TForm form(nullptr);
    form.SetClientWidth(400);
    form.SetClientHeight(300);
    auto *top = Child<TPanel>(&form, &form);
    top->SetHeight(30);
    top->SetAlign(alTop);
    auto *bottom = Child<TPanel>(&form, &form);
    bottom->SetHeight(40);
    bottom->SetAlign(alBottom);
    auto *left = Child<TPanel>(&form, &form);
    left->SetWidth(50);
    left->SetAlign(alLeft);
    auto *right = Child<TPanel>(&form, &form);
    right->SetWidth(60);
    right->SetAlign(alRight);
    auto *client = Child<TPanel>(&form, &form);
    client->SetAlign(alClient);

    EXPECT_RECT(0, 0, 400, 30, Bounds(top));
    EXPECT_RECT(0, 260, 400, 300, Bounds(bottom));
    EXPECT_RECT(0, 30, 50, 260, Bounds(left));
    EXPECT_RECT(340, 30, 400, 260, Bounds(right));
    EXPECT_RECT(50, 30, 340, 260, Bounds(client));
    EXPECT_RECT(50, 30, 340, 260, WindowBounds(client));

    // Resizing the form re-aligns before the call returns.
    form.SetClientWidth(500);
    EXPECT_RECT(0, 0, 500, 30, Bounds(top));
    EXPECT_RECT(440, 30, 500, 260, Bounds(right));
    EXPECT_RECT(50, 30, 440, 260, WindowBounds(client));

    // A hidden band gives its space away.
    top->Hide();
    EXPECT_RECT(50, 0, 440, 260, Bounds(client));
}

TEST(Controls, MarginsAreKeptClearAroundAlignedControls)
{
    TForm form(nullptr);
    form.SetClientWidth(300);
    form.SetClientHeight(200);
    auto *bar = Child<TProgressBar>(&form, &form);
    bar->SetHeight(17);
    bar->SetAlign(alBottom);
    bar->SetAlignWithMargins(true);
    bar->Margins()->SetBounds(10, 10, 10, 10);
    EXPECT_RECT(10, 173, 290, 190, Bounds(bar));
    auto *label = Child<TLabel>(&form, &form);
    label->SetAlignWithMargins(true);
    label->Margins()->SetBounds(10, 10, 10, 10);
    label->SetAlign(alTop);
    EXPECT_EQ(10, label->Left());
    EXPECT_EQ(10, label->Top());
    EXPECT_EQ(280, label->Width());
}

TEST(Controls, ControlMovedFromTopToBottomBandLandsAboveTheBottomControl)
{
    // The progress page: heading on top, state line under it, bar at the
    // bottom; the state line then moves to the bottom band, above the bar.
    TForm form(nullptr);
    form.SetClientWidth(400);
    form.SetClientHeight(300);
    auto *heading = Child<TLabel>(&form, &form);
    heading->SetCaption(A("Выполняется установка..."));
    heading->SetAlign(alTop);
    auto *state = Child<TLabel>(&form, &form);
    state->SetCaption("-");
    state->SetAlign(alTop);
    auto *bar = Child<TProgressBar>(&form, &form);
    bar->SetAlign(alBottom);
    ASSERT_EQ(heading->Height(), state->Top());

    bar->SetAlign(alBottom);
    state->SetAlign(alTop);
    state->SetAlign(alBottom);
    EXPECT_EQ(bar->Top(), state->Top() + state->Height());
    EXPECT_EQ(300, bar->Top() + bar->Height());
    EXPECT_EQ(0, heading->Top());
}

TEST(Controls, ControlMovedIntoTheTopBandGoesBelowTheOnesAboveIt)
{
    // The progress window: label on top, bar at the bottom; the bar then joins
    // the top band under the label and the form shrinks around both.
    TForm form(nullptr);
    form.SetClientWidth(460);
    form.SetClientHeight(138);
    auto *label = Child<TLabel>(&form, &form);
    label->SetAlignWithMargins(true);
    label->Margins()->SetBounds(10, 10, 10, 10);
    label->SetAlign(alTop);
    auto *bar = Child<TProgressBar>(&form, &form);
    bar->SetAlignWithMargins(true);
    bar->Margins()->SetBounds(10, 10, 10, 10);
    bar->SetAlign(alBottom);

    label->SetAlign(alTop);
    bar->SetAlign(alTop);
    EXPECT_EQ(label->Top() + label->Height() + 20, bar->Top());
    form.SetAutoSize(true);
    EXPECT_EQ(10 + label->Height() + 20 + bar->Height() + 10, form.ClientHeight());
    EXPECT_EQ(460, form.ClientWidth());
}

TEST(Controls, WordWrappedLabelMeasuresItsHeightForItsWidth)
{
    TForm form(nullptr);
    form.SetClientWidth(400);
    form.SetClientHeight(300);
    auto *label = Child<TLabel>(&form, &form);
    label->SetWordWrap(true);
    label->SetCaption(A("Рекомендуется закрыть все запущенные программы перед выполнением установки, "
                      "а затем продолжить."));
    label->SetAlign(alTop);
    const int wide = label->Height();
    EXPECT_GT(wide, 0);

    form.SetClientWidth(120);
    EXPECT_EQ(120, label->Width());
    // The re-measure idiom: flip AutoSize.
    label->SetAutoSize(false);
    label->SetAutoSize(true);
    EXPECT_GT(label->Height(), wide);
}

TEST(Controls, AutoSizedLabelFitsItsCaption)
{
    TForm form(nullptr);
    auto *label = Child<TLabel>(&form, &form);
    label->SetCaption("x");
    const int narrow = label->Width();
    label->SetCaption("a much longer caption");
    EXPECT_GT(label->Width(), narrow);
    EXPECT_GT(label->Height(), 0);
}

TEST(Controls, ChildMinimumWidthConstrainsTheForm)
{
    TForm form(nullptr);
    form.SetClientWidth(300);
    form.SetClientHeight(200);
    auto *buttons = Child<TPanel>(&form, &form);
    buttons->SetHeight(41);
    buttons->SetAlign(alBottom);
    buttons->Constraints()->SetMinWidth(350);
    EXPECT_GE(form.ClientWidth(), 350);
    form.SetClientWidth(100);
    EXPECT_GE(form.ClientWidth(), 350);
    EXPECT_GE(buttons->Width(), 350);
}

TEST(Controls, PanelBevelsInsetTheAlignedChildren)
{
    TForm form(nullptr);
    auto *panel = Child<TPanel>(&form, &form);
    panel->SetBounds(0, 0, 100, 100);
    panel->SetBevelOuter(bvLowered);
    auto *image = Child<TImage>(&form, panel);
    image->SetAlign(alClient);
    EXPECT_RECT(1, 1, 99, 99, Bounds(image));
    panel->SetBevelOuter(bvNone);
    EXPECT_RECT(0, 0, 100, 100, Bounds(image));
}

TEST(Controls, FontIsInheritedUntilTheControlSetsItsOwn)
{
    TForm form(nullptr);
    form.Font()->SetName("Tahoma");
    form.Font()->SetHeight(-11);
    auto *panel = Child<TPanel>(&form, &form);
    auto *label = Child<TLabel>(&form, panel);
    EXPECT_EQ("Tahoma", label->Font()->Name());
    form.Font()->SetName("Arial");
    EXPECT_EQ("Arial", label->Font()->Name());
    label->Font()->SetHeight(-16);
    form.Font()->SetName("Courier New");
    EXPECT_EQ("Arial", label->Font()->Name());
    EXPECT_FALSE(label->ParentFont());
    EXPECT_EQ(reinterpret_cast<WPARAM>(label->Font()->Handle()),
              static_cast<WPARAM>(SendMessageW(label->Handle(), WM_GETFONT, 0, 0)));
}

TEST(Controls, DeletingAContainerDeletesItsChildren)
{
    TForm form(nullptr);
    auto *panel = Child<TPanel>(&form, &form);
    auto *edit = Child<TEdit>(&form, panel);
    HWND editWindow = edit->Handle();
    const int before = form.ComponentCount();
    delete panel;
    EXPECT_FALSE(IsWindow(editWindow));
    EXPECT_EQ(before - 2, form.ComponentCount());
    EXPECT_EQ(0, form.ControlCount());
}

TEST(Controls, TabOrderCanBeChanged)
{
    TForm form(nullptr);
    auto *a = Child<TButton>(&form, &form);
    auto *b = Child<TButton>(&form, &form);
    auto *c = Child<TButton>(&form, &form);
    EXPECT_EQ(0, a->TabOrder());
    c->SetTabOrder(0);
    std::vector<TControl *> order;
    form.GetTabOrderList(order);
    ASSERT_EQ(3u, order.size());
    EXPECT_EQ(c, order[0]);
    EXPECT_EQ(a, order[1]);
    EXPECT_EQ(b, order[2]);
}

TEST(Controls, AutoSizedPanelFollowsItsFillingChild)
{
    // The finish page: an auto-sized panel holding the group box, whose
    // height is set from the check boxes shown.
    TForm form(nullptr);
    form.SetClientWidth(300);
    form.SetClientHeight(300);
    auto *panel = Child<TPanel>(&form, &form);
    panel->SetBevelOuter(bvNone);
    panel->SetAlign(alTop);
    panel->SetAutoSize(true);
    auto *group = Child<TGroupBox>(&form, panel);
    group->SetAlign(alClient);
    group->SetHeight(120);
    EXPECT_EQ(120, panel->Height());
    group->SetHeight(70);
    EXPECT_EQ(70, panel->Height());
    EXPECT_EQ(70, group->Height());
    EXPECT_EQ(300, group->Width());
}
