// Placeholder of the ready page: a blank page that lets the user pass.
#pragma once

#include "installer/wizard/BaseFrameClass.h"

class TFrameReady : public TBaseFrameClass {
public:
    explicit TFrameReady(ClassLib::TComponent *owner);

    bool InitPage() override;
    void EnterPage(bool forward) override;
    void StorePage() override;
    bool LeavePage() override;
};
