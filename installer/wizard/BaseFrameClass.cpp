#include "installer/wizard/BaseFrameClass.h"

using namespace ClassLib;

void PlaceWizardPage(TBaseFrameClass *page, TWinControl *area)
{
    page->SetVisible(false);
    page->SetParent(area);
    page->SetAlign(alClient);
    const RECT place = area->AlignArea();
    page->SetBounds(place.left, place.top, place.right - place.left, place.bottom - place.top);
    page->InitPage();
}
