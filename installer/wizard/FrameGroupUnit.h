// Placeholder of the start-menu group page: a blank page that lets the user pass.
#pragma once

#include "installer/wizard/BaseFrameClass.h"

class TFrameGroup : public TBaseFrameClass {
public:
    explicit TFrameGroup(ClassLib::TComponent *owner);

    bool InitPage() override;
    void EnterPage(bool forward) override;
    void StorePage() override;
    bool LeavePage() override;
};
