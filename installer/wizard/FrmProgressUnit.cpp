#include "installer/wizard/FrmProgressUnit.h"

#include "visual/VxProgressBar.h"
#include "foundation/StringIds.h"

using namespace ClassLib;

TFrmProgress *FrmProgress = nullptr;
TUpdateThrottle FrmProgressThrottle;

namespace {

const int kClientWidth = 460;
const int kClientHeight = 138;
const int kMargin = 10;

void SetMargins(TControl *control)
{
    control->SetAlignWithMargins(true);
    control->Margins()->SetBounds(kMargin, kMargin, kMargin, kMargin);
}

} // namespace

TFrmProgressEngine TFrmProgressEngine::Global()
{
    TFrmProgressEngine engine;
    engine.setProgress = [](TInstProgress *sink) { InstParams.SetProgress(sink); };
    engine.install = [] { return InstParams.Install(); };
    engine.finishRun = [] { InstParams.FinishRun(); };
    engine.tickCount = [] { return GetTickCount(); };
    return engine;
}

TFrmProgress::TFrmProgress(TComponent *owner) : TForm(owner), Engine(TFrmProgressEngine::Global())
{
    SetBorderStyle(bsSingle);
    SetClientWidth(kClientWidth);
    SetClientHeight(kClientHeight);
    Font()->SetName("Tahoma");
    Font()->SetHeight(-11);
    SetPosition(poScreenCenter);
    OnShow = Method<&TFrmProgress::FormShow>(this);

    Label = new TLabel(this);
    Label->SetParent(this);
    Label->SetAlign(alTop);
    SetMargins(Label);
    Label->SetCaption("-");

    StartTimer = new TTimer(this);
    StartTimer->SetEnabled(false);
    StartTimer->SetInterval(10);
    StartTimer->OnTimer = Method<&TFrmProgress::StartTimerTimer>(this);

    Bar = new TVxProgressBar(this);
    Bar->SetParent(this);
    Bar->SetAlign(alBottom);
    SetMargins(Bar);

    SetCaption(AnsiString::Format(LoadResString(IDS_WIZARD_CAPTION).c_str(), InstParams.app_title.c_str()));

    Bar->SetBarIndefinite(false);
    Bar->SetPosition(0);
    Bar->SetMin(0);
    Bar->SetMax(100);

    Label->SetCaption("");
}

void TFrmProgress::FormShow(TObject *)
{
    // The bar moves from the bottom band to directly under the label, and the
    // window shrinks around the two.
    Label->SetAlign(alTop);
    Bar->SetAlign(alTop);
    SetAutoSize(true);
    StartTimer->SetEnabled(true);
}

void TFrmProgress::StartTimerTimer(TObject *)
{
    StartTimer->SetEnabled(false);
    Engine.setProgress(this);
    if (Engine.install()) {
        installed_ = true;
        Engine.finishRun();
    }
    Engine.setProgress(nullptr);
    Close();
}

bool TFrmProgress::OnState(const std::string &text)
{
    Label->SetCaption(text);
    Label->Repaint();
    return true;
}

bool TFrmProgress::OnProgress(int32_t percent)
{
    ShowBarProgress(*Bar, FrmProgressThrottle, Engine.tickCount(), percent);
    return true;
}
