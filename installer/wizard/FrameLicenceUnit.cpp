#include "installer/wizard/FrameLicenceUnit.h"

TFrameLicence::TFrameLicence(ClassLib::TComponent *owner) : TBaseFrameClass(owner) {}

bool TFrameLicence::InitPage()
{
    return true;
}

void TFrameLicence::EnterPage(bool) {}

void TFrameLicence::StorePage() {}

bool TFrameLicence::LeavePage()
{
    return true;
}
