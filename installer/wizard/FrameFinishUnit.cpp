#include "installer/wizard/FrameFinishUnit.h"

#include <vector>

#include "foundation/VxText.h"
#include "installer/InstParams.h"
#include "installer/wizard/FrmMainUnit.h"

using namespace ClassLib;

namespace {

TLabel *MakeTopLabel(TWinControl *parent, TComponent *owner, const char *captionUtf8)
{
    TLabel *label = new TLabel(owner);
    label->SetParent(parent);
    label->SetCaption(Utf8ToAnsi(captionUtf8));
    label->SetWordWrap(true);
    label->SetAlign(alTop);
    return label;
}

} // namespace

TFrameFinish::TFrameFinish(TComponent *owner) : TBaseFrameClass(owner)
{
    Label1 = MakeTopLabel(this, this, "Установка выполнена успешно.");
    Label1->Font()->SetStyle(fsBold);
    Label1->Font()->SetHeight(-16);
    Label2 = MakeTopLabel(this, this, " ");
    Label5 = MakeTopLabel(this, this, "Нажмите \"Завершить\" для выхода из программы установки.");
    Label3 = MakeTopLabel(this, this, " ");

    Panel2 = new TPanel(this);
    Panel2->SetParent(this);
    Panel2->SetBevelOuter(bvNone);
    Panel2->SetAutoSize(true);
    Panel2->SetAlign(alTop);
    GBStart = new TGroupBox(this);
    GBStart->SetParent(Panel2);
    GBStart->SetCaption(Utf8ToAnsi("После выхода из программы установки:"));
    GBStart->SetAlign(alTop);
    for (TCheckBox **box : {&CBStart1, &CBStart2, &CBStart3}) {
        *box = new TCheckBox(this);
        (*box)->SetParent(GBStart);
        (*box)->SetCaption("%s");
        (*box)->Margins()->SetBounds(10, 5, 10, 10);
        (*box)->SetAlignWithMargins(true);
        (*box)->SetAlign(alTop);
    }
}

TCheckBox *TFrameFinish::Box(int k) const
{
    return k == 0 ? CBStart1 : k == 1 ? CBStart2 : CBStart3;
}

bool TFrameFinish::InitPage()
{
    std::vector<size_t> items;
    for (size_t i = 0; i < InstParams.finish_run.size() && items.size() < static_cast<size_t>(MaxItems); ++i)
        if (InstParams.finish_run[i].allow_change)
            items.push_back(i);
    if (items.empty()) {
        GBStart->SetVisible(false);
        return true;
    }
    for (int k = 0; k < MaxItems; ++k) {
        Box(k)->SetVisible(false);
        Box(k)->SetTag(0);
    }
    TCheckBox *last = nullptr;
    for (size_t k = 0; k < items.size(); ++k) {
        const TRunData &item = InstParams.finish_run[items[k]];
        last = Box(static_cast<int>(k));
        last->SetCaption(AnsiString::Format(last->Caption().c_str(), item.description.c_str()));
        last->SetChecked(item.exec);
        last->SetVisible(true);
        last->SetTag(static_cast<int>(items[k]) + 1);
    }
    GBStart->SetHeight(last->Top() + 2 * last->Height());
    return true;
}

void TFrameFinish::EnterPage(bool)
{
    if (FrmMain)
        FrmMain->ButBack->SetEnabled(false);
}

void TFrameFinish::StorePage()
{
    for (int k = 0; k < MaxItems; ++k) {
        const int tag = Box(k)->Tag();
        if (tag != 0)
            InstParams.finish_run.at(static_cast<size_t>(tag - 1)).exec = Box(k)->Checked();
    }
}

bool TFrameFinish::LeavePage()
{
    StorePage();
    return true;
}
