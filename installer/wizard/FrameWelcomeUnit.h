// Placeholder of the welcome page: a blank page that lets the user pass.
#pragma once

#include "installer/wizard/BaseFrameClass.h"

class TFrameWelcome : public TBaseFrameClass {
public:
    explicit TFrameWelcome(ClassLib::TComponent *owner);

    bool InitPage() override;
    void EnterPage(bool forward) override;
    void StorePage() override;
    bool LeavePage() override;
};
