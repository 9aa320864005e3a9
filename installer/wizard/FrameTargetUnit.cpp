#include "installer/wizard/FrameTargetUnit.h"

TFrameTarget::TFrameTarget(ClassLib::TComponent *owner) : TBaseFrameClass(owner) {}

bool TFrameTarget::InitPage()
{
    return true;
}

void TFrameTarget::EnterPage(bool) {}

void TFrameTarget::StorePage() {}

bool TFrameTarget::LeavePage()
{
    return true;
}
