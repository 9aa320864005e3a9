#include "installer/wizard/FrameParProcUnit.h"

TFrameParProc::TFrameParProc(ClassLib::TComponent *owner) : TBaseFrameClass(owner) {}

bool TFrameParProc::InitPage()
{
    return true;
}

void TFrameParProc::EnterPage(bool) {}

void TFrameParProc::StorePage() {}

bool TFrameParProc::LeavePage()
{
    return true;
}
