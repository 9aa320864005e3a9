// Placeholder of the licence page: a blank page that lets the user pass.
#pragma once

#include "installer/wizard/BaseFrameClass.h"

class TFrameLicence : public TBaseFrameClass {
public:
    explicit TFrameLicence(ClassLib::TComponent *owner);

    bool InitPage() override;
    void EnterPage(bool forward) override;
    void StorePage() override;
    bool LeavePage() override;
};
