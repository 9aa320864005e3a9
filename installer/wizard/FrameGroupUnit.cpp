#include "installer/wizard/FrameGroupUnit.h"

TFrameGroup::TFrameGroup(ClassLib::TComponent *owner) : TBaseFrameClass(owner) {}

bool TFrameGroup::InitPage()
{
    return true;
}

void TFrameGroup::EnterPage(bool) {}

void TFrameGroup::StorePage() {}

bool TFrameGroup::LeavePage()
{
    return true;
}
