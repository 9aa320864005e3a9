#include "installer/wizard/FrameProgressUnit.h"

#include "classlib/Forms.h"
#include "foundation/VxText.h"
#include "installer/wizard/FrmMainUnit.h"

using namespace ClassLib;

namespace {

bool RunInstallation(TInstParams &params)
{
    return params.Install();
}

DWORD SystemTickCount()
{
    return GetTickCount();
}

// The page is the engine's sink for the life of the object.
class TSinkInstalled {
public:
    TSinkInstalled(TInstParams &params, TInstProgress *sink) : params_(params) { params_.SetProgress(sink); }
    ~TSinkInstalled() { params_.SetProgress(nullptr); }
    TSinkInstalled(const TSinkInstalled &) = delete;
    TSinkInstalled &operator=(const TSinkInstalled &) = delete;

private:
    TInstParams &params_;
};

TLabel *MakeTopLabel(TFrameProgress *page, const char *captionUtf8)
{
    TLabel *label = new TLabel(page);
    label->SetParent(page);
    label->Margins()->SetBounds(10, 10, 10, 10);
    label->SetAlignWithMargins(true);
    label->SetCaption(Utf8ToAnsi(captionUtf8));
    label->SetAlign(alTop);
    return label;
}

} // namespace

TWizardInstall WizardInstall = &RunInstallation;
TProgressTickCount ProgressTickCount = &SystemTickCount;
TUpdateThrottle ProgressThrottle;

TFrameProgress::TFrameProgress(TComponent *owner) : TBaseFrameClass(owner)
{
    Label1 = MakeTopLabel(this, "Выполняется установка...");
    Label1->Font()->SetStyle(fsBold);
    Label1->Font()->SetHeight(-16);
    Label1->SetWordWrap(true);
    LbState = MakeTopLabel(this, "-");
}

bool TFrameProgress::InitPage()
{
    bar_ = new TVxProgressBar(this);
    bar_->SetParent(this);
    bar_->Margins()->SetBounds(10, 10, 10, 10);
    bar_->SetAlignWithMargins(true);
    bar_->SetAlign(alBottom);
    bar_->SetMax(100);
    bar_->SetMin(0);
    return true;
}

void TFrameProgress::EnterPage(bool)
{
    // The state line moves down into the bottom band, right above the bar.
    bar_->SetAlign(alBottom);
    LbState->SetAlign(alTop);
    LbState->SetAlign(alBottom);

    bar_->SetBarIndefinite(false);
    bar_->SetPosition(0);
    FrmMain->ButBack->SetEnabled(false);
    FrmMain->ButNext->SetEnabled(false);

    bool installed;
    {
        TSinkInstalled sink(InstParams, this);
        installed = WizardInstall(InstParams);
    }
    if (installed) {
        FrmMain->SetInstalled(true);
        // Next runs although it is disabled: on to the finish page.
        FrmMain->ButNext->Click();
        return;
    }
    // The engine has shown its error, or the user confirmed cancelling.
    FrmMain->SetCloseAllowed(true);
    FrmMain->Close();
}

void TFrameProgress::StorePage() {}

bool TFrameProgress::LeavePage()
{
    return true;
}

bool TFrameProgress::GoOn()
{
    if (Application->Terminated())
        InstParams.cancel = true;
    return !InstParams.cancel;
}

bool TFrameProgress::OnState(const std::string &text)
{
    LbState->SetCaption(text);
    Application->ProcessMessages();
    return GoOn();
}

bool TFrameProgress::OnProgress(int32_t percent)
{
    ShowBarProgress(*bar_, ProgressThrottle, ProgressTickCount(), percent);
    Application->ProcessMessages();
    return GoOn();
}
