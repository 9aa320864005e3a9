// Placeholder of the target folder page: a blank page that lets the user pass.
#pragma once

#include "installer/wizard/BaseFrameClass.h"

class TFrameTarget : public TBaseFrameClass {
public:
    explicit TFrameTarget(ClassLib::TComponent *owner);

    bool InitPage() override;
    void EnterPage(bool forward) override;
    void StorePage() override;
    bool LeavePage() override;
};
