#include "installer/wizard/FrmMainUnit.h"

#include <exception>
#include <string>

#include "foundation/StringIds.h"
#include "foundation/VxText.h"
#include "installer/LoadConfig.h"
#include "installer/wizard/FrameFinishUnit.h"
#include "installer/wizard/FrameGroupUnit.h"
#include "installer/wizard/FrameLicenceUnit.h"
#include "installer/wizard/FrameParProcUnit.h"
#include "installer/wizard/FrameProgressUnit.h"
#include "installer/wizard/FrameReadyUnit.h"
#include "installer/wizard/FrameTargetUnit.h"
#include "installer/wizard/FrameWelcomeUnit.h"
#include "installer/wizard/PageParts.h"
#include "visual/DlgMessageBoxUnit.h"

using namespace ClassLib;

TFrmMain *FrmMain = nullptr;

namespace {

const int kClientWidth = 515;
const int kClientHeight = 329;
const int kSidePanelWidth = 137;
const TColor kSidePanelColor = 8093051;
const int kButtonWidth = 75;
const int kButtonHeight = 25;

void RunFinishActions(TInstParams &params)
{
    params.FinishRun();
}

TButton *MakeButton(TFrmMain *form, TWinControl *parent, const char *captionUtf8, int left)
{
    TButton *button = new TButton(form);
    button->SetParent(parent);
    button->SetBounds(left, (parent->Height() - kButtonHeight) / 2, kButtonWidth, kButtonHeight);
    button->SetCaption(Utf8ToAnsi(captionUtf8));
    return button;
}

// The build label's text as it fits into width pixels in the font: cut with
// "..." when the whole text is wider.
AnsiString FitText(const AnsiString &text, const TFont &font, int width)
{
    TCanvas canvas;
    canvas.Font()->Assign(font);
    if (canvas.TextWidth(text) <= width)
        return text;
    const AnsiString ellipsis("...");
    int fits = 0, tooLong = text.Length();
    while (tooLong - fits > 1) {
        const int middle = fits + (tooLong - fits) / 2;
        if (canvas.TextWidth(text.SubString(1, middle) + ellipsis) <= width)
            fits = middle;
        else
            tooLong = middle;
    }
    return text.SubString(1, fits) + ellipsis;
}

TPanel *MakePanel(TFrmMain *form, TWinControl *parent, TAlign align)
{
    TPanel *panel = new TPanel(form);
    panel->SetParent(parent);
    panel->SetBevelOuter(bvNone);
    panel->SetAlign(align);
    return panel;
}

} // namespace

TWizardPageFactory WizardPageFactory = &CreateWizardPages;
TWizardFinishRun WizardFinishRun = &RunFinishActions;

namespace {

template <class TPage>
TWizardPageSlot PageOf()
{
    TWizardPageSlot slot;
    slot.make = [](TFrmMain *form) -> TBaseFrameClass * { return new TPage(form); };
    return slot;
}

} // namespace

std::vector<TWizardPageSlot> CreateWizardPages(TFrmMain *, const TInstParams &params)
{
    std::vector<TWizardPageSlot> pages;
    if (params.run_mode == rmWizard) {
        pages.push_back(PageOf<TFrameWelcome>());
        if (params.licence)
            pages.push_back(PageOf<TFrameLicence>());
        if (params.target)
            pages.push_back(PageOf<TFrameTarget>());
        if (params.group)
            pages.push_back(PageOf<TFrameGroup>());
        if (params.has_par_proc)
            pages.push_back(PageOf<TFrameParProc>());
        if (params.ready)
            pages.push_back(PageOf<TFrameReady>());
    }
    pages.push_back(PageOf<TFrameProgress>());
    pages.push_back(PageOf<TFrameFinish>());
    return pages;
}

bool LoadPictureResource(TPicture *picture, const char *name)
{
    const std::string bytes = LoadResourceBytes(name);
    if (bytes.empty())
        return false;
    try {
        picture->Bitmap()->LoadFromBytes(bytes.data(), bytes.size());
    } catch (const Exception &) {
        return false;
    }
    return true;
}

TFrmMain::TFrmMain(TComponent *owner) : TForm(owner)
{
    BuildLayout();

    // The label sizes itself to its text; a long build title would widen the
    // form, so it is cut to the width beside the side panel, then shown as it
    // stands ("&" no mnemonic).
    const int labelRoom = kClientWidth - kSidePanelWidth - LabelBuild->Margins()->Left() -
                          LabelBuild->Margins()->Right();
    LabelBuild->SetCaption(
        WizardPages::AsCaption(FitText(InstParams.app_long_title, *LabelBuild->Font(), labelRoom)));
    LabelBuild->SetHint(InstParams.app_long_title);
    SetCaption(AnsiString::Format(LoadResString(IDS_WIZARD_CAPTION).c_str(), InstParams.app_title.c_str()));

    WizardHost = this;
    pages_ = WizardPageFactory(this, InstParams);
    for (TWizardPageSlot &slot : pages_) {
        if (slot.page)
            PlaceWizardPage(slot.page, PanBase);
    }

    LoadPictureResource(Image1->Picture(), "LEFT_IMG");
}

TFrmMain::~TFrmMain()
{
    if (FrmMain == this)
        FrmMain = nullptr;
    if (WizardHost == this)
        WizardHost = nullptr;
}

void TFrmMain::SetNextEnabled(bool enabled)
{
    ButNext->SetEnabled(enabled);
}

HWND TFrmMain::DialogOwner()
{
    return Handle();
}

void TFrmMain::BuildLayout()
{
    SetBorderStyle(bsSingle);
    SetBorderIcons(0);
    Font()->SetName("Tahoma");
    Font()->SetHeight(-11);
    SetClientWidth(kClientWidth);
    SetClientHeight(kClientHeight);
    SetPosition(poScreenCenter);
    SetShowHint(true);

    Panel5 = MakePanel(this, this, alBottom);
    Panel5->SetHeight(35);
    const int cancelLeft = kClientWidth - 8 - kButtonWidth;
    const int nextLeft = cancelLeft - 10 - kButtonWidth;
    ButBack = MakeButton(this, Panel5, "< Назад", nextLeft - kButtonWidth);
    ButNext = MakeButton(this, Panel5, "Далее >", nextLeft);
    ButCancel = MakeButton(this, Panel5, "Отмена", cancelLeft);
    ButCancel->SetCancel(true);
    ButNext->SetTabOrder(0);
    ButCancel->SetTabOrder(1);
    ButBack->SetTabOrder(2);
    // No page is current yet: there is nothing to go back to.
    ButBack->SetEnabled(false);

    Panel2 = MakePanel(this, this, alBottom);
    Panel2->SetHeight(24);
    LabelBuild = new TLabel(this);
    LabelBuild->SetParent(Panel2);
    LabelBuild->SetAlignment(taRightJustify);
    LabelBuild->Font()->SetColor(clBtnShadow);
    LabelBuild->SetCaption("-");
    LabelBuild->Margins()->SetBounds(6, 5, 8, 0);
    LabelBuild->SetAlignWithMargins(true);
    LabelBuild->SetAlign(alRight);
    Panel1 = MakePanel(this, Panel2, alNone);
    Panel1->Margins()->SetBounds(8, 0, 0, 11);
    Panel1->SetAlignWithMargins(true);
    Panel1->SetAlign(alClient);
    Bevel1 = new TBevel(this);
    Bevel1->SetParent(Panel1);
    Bevel1->SetShape(bsBottomLine);
    Bevel1->SetAlign(alClient);

    Panel3 = MakePanel(this, this, alNone);
    Panel3->SetWidth(kSidePanelWidth);
    Panel3->SetAlign(alLeft);
    Panel4 = MakePanel(this, Panel3, alNone);
    Panel4->SetBevelOuter(bvLowered);
    Panel4->SetColor(kSidePanelColor);
    Panel4->Margins()->SetBounds(5, 5, 0, 0);
    Panel4->SetAlignWithMargins(true);
    Panel4->SetAlign(alClient);
    Image1 = new TImage(this);
    Image1->SetParent(Panel4);
    Image1->SetCenter(true);
    Image1->SetProportional(true);
    Image1->SetAlign(alClient);

    PanBase = MakePanel(this, this, alNone);
    PanBase->Margins()->SetBounds(5, 5, 5, 5);
    PanBase->SetAlignWithMargins(true);
    PanBase->SetAlign(alClient);
    // The page's controls come before the buttons in the tab order.
    PanBase->SetTabOrder(0);

    StartTimer = new TTimer(this);
    StartTimer->SetEnabled(false);
    StartTimer->SetInterval(10);

    OnShow = Method<&TFrmMain::FormShow>(this);
    OnClose = Method<&TFrmMain::FormClose>(this);
    StartTimer->OnTimer = Method<&TFrmMain::StartTimerTimer>(this);
    ButBack->OnClick = Method<&TFrmMain::ButBackClick>(this);
    ButNext->OnClick = Method<&TFrmMain::ButNextClick>(this);
    ButCancel->OnClick = Method<&TFrmMain::ButCancelClick>(this);
}

bool TFrmMain::IsLastPage(int index) const noexcept
{
    return index >= 0 && static_cast<size_t>(index) + 1 == pages_.size();
}

TBaseFrameClass *TFrmMain::Page(size_t index)
{
    TWizardPageSlot &slot = pages_.at(index);
    if (slot.page)
        return slot.page;
    TBaseFrameClass *page = slot.make(this);
    try {
        PlaceWizardPage(page, PanBase);
    } catch (...) {
        delete page;
        throw;
    }
    slot.page = page;
    return page;
}

// A page that cannot be set up (its licence cannot be read, for one) would
// fail again each time: the user cannot get past it. The reason is shown in
// the one box the application shows for a failure, and the wizard ends
// without asking, nothing installed.
void TFrmMain::EndForUnusablePage()
{
    Application->HandleException(std::current_exception());
    closeAllowed_ = true;
    Close();
}

std::vector<TBaseFrameClass *> TFrmMain::Pages()
{
    std::vector<TBaseFrameClass *> pages;
    for (size_t i = 0; i < pages_.size(); ++i)
        pages.push_back(Page(i));
    return pages;
}

void TFrmMain::ShowPage(unsigned index)
{
    // Indices compare unsigned: -1 (no page yet) is never a page index.
    if (index == static_cast<unsigned>(currentPage_))
        return;
    if (index >= pages_.size()) {
        if (!Application->Terminated())
            ShowError(LoadResStdString(IDS_INSTALL_FAILED));
        return;
    }
    const bool hadPage = currentPage_ >= 0;
    if (hadPage && static_cast<unsigned>(currentPage_) < index && !Page(currentPage_)->LeavePage())
        return;
    if (hadPage && static_cast<unsigned>(currentPage_) > index)
        Page(currentPage_)->StorePage();

    TBaseFrameClass *shown = nullptr;
    try {
        shown = Page(index);
    } catch (...) {
        EndForUnusablePage();
        return;
    }
    for (const TWizardPageSlot &slot : pages_) {
        if (slot.page)
            slot.page->SetVisible(false);
    }
    shown->SetVisible(true);

    const bool forward = !hadPage || static_cast<unsigned>(currentPage_) < index;
    currentPage_ = static_cast<int>(index);

    ButBack->SetEnabled(index != 0);
    ButCancel->SetEnabled(true);
    ButNext->SetEnabled(true);
    ButNext->SetCaption(LoadResString(IsLastPage(currentPage_) ? IDS_BUTTON_FINISH : IDS_BUTTON_NEXT));

    shown->EnterPage(forward);

    SetFocus();
    if (IsLastPage(currentPage_))
        SetActiveControl(ButNext);
}

void TFrmMain::FormShow(TObject *)
{
    StartTimer->SetEnabled(true);
}

void TFrmMain::StartTimerTimer(TObject *)
{
    StartTimer->SetEnabled(false);
    ShowPage(0);
}

void TFrmMain::ButBackClick(TObject *)
{
    // Before the first page there is no page to go back to.
    if (currentPage_ > 0)
        ShowPage(static_cast<unsigned>(currentPage_ - 1));
}

void TFrmMain::ButNextClick(TObject *)
{
    if (!IsLastPage(currentPage_)) {
        ShowPage(static_cast<unsigned>(currentPage_ + 1));
        return;
    }
    if (!Page(currentPage_)->LeavePage())
        return;
    try {
        WizardFinishRun(InstParams);
    } catch (...) {
        // The finish actions report nothing; the wizard ends all the same.
    }
    closeAllowed_ = true;
    Close();
}

void TFrmMain::ButCancelClick(TObject *)
{
    Close();
}

void TFrmMain::FormClose(TObject *, TCloseAction &action)
{
    if (closeAllowed_)
        return;
    // A terminating application shows no box: closing counts as confirmed.
    if (!Application->Terminated() && !AskYesNo(LoadResStdString(IDS_ASK_ABORT))) {
        action = caNone;
        return;
    }
    if (InstParams.running) {
        // The progress page closes the form once the engine has stopped.
        InstParams.cancel = true;
        action = caNone;
    }
}
