#include "installer/wizard/FrameReadyUnit.h"

#include "installer/wizard/PageParts.h"

using namespace ClassLib;
using namespace WizardPages;

TFrameReady::TFrameReady(TComponent *owner) : TBaseFrameClass(owner)
{
    Label1 = AddTopLabel(this, "Все готово для установки %s.");
    MakeTitle(Label1);
    Label2 = AddSpacer(this);
    Label3 = AddTopLabel(this, "Нажмите \"Далее\", чтобы приступить к копированию файлов, или \"Назад\", чтобы "
                               "изменить параметры установки.");
}

bool TFrameReady::InitPage()
{
    Label1->SetCaption(WithTitle(Label1->Caption()));
    return true;
}

void TFrameReady::EnterPage(bool)
{
    Remeasure({Label1, Label3});
}

void TFrameReady::StorePage()
{
}

bool TFrameReady::LeavePage()
{
    return true;
}
