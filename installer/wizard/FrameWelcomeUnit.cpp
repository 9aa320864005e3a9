#include "installer/wizard/FrameWelcomeUnit.h"

TFrameWelcome::TFrameWelcome(ClassLib::TComponent *owner) : TBaseFrameClass(owner) {}

bool TFrameWelcome::InitPage()
{
    return true;
}

void TFrameWelcome::EnterPage(bool) {}

void TFrameWelcome::StorePage() {}

bool TFrameWelcome::LeavePage()
{
    return true;
}
