#include "installer/wizard/FrameWelcomeUnit.h"

#include "installer/wizard/PageParts.h"

using namespace ClassLib;
using namespace WizardPages;

TFrameWelcome::TFrameWelcome(TComponent *owner) : TBaseFrameClass(owner)
{
    Label4 = AddSpacer(this);
    LabelCaption = AddTopLabel(this, "Добро пожаловать в программу установки %s.");
    MakeTitle(LabelCaption);
    Label5 = AddSpacer(this);
    LabelClose = AddTopLabel(this, "Рекомендуется закрыть все запущенные программы перед выполнением установки.");
    Label3 = AddSpacer(this);
    LabelWarn1 = AddTopLabel(this, "");
    Label7 = AddSpacer(this);
    LabelWarn2 = AddTopLabel(this, "");
}

bool TFrameWelcome::InitPage()
{
    LabelCaption->SetCaption(WithTitle(LabelCaption->Caption()));
    return true;
}

void TFrameWelcome::EnterPage(bool)
{
    Remeasure({LabelCaption, LabelClose, LabelWarn1, LabelWarn2});
}

void TFrameWelcome::StorePage()
{
}

bool TFrameWelcome::LeavePage()
{
    return true;
}
