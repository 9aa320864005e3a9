#include "installer/wizard/FrameReadyUnit.h"

TFrameReady::TFrameReady(ClassLib::TComponent *owner) : TBaseFrameClass(owner) {}

bool TFrameReady::InitPage()
{
    return true;
}

void TFrameReady::EnterPage(bool) {}

void TFrameReady::StorePage() {}

bool TFrameReady::LeavePage()
{
    return true;
}
