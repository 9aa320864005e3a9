// The ready page: the last word before the installation starts. It has no
// inputs.
#pragma once

#include "classlib/StdCtrls.h"
#include "installer/wizard/BaseFrameClass.h"

class TFrameReady : public TBaseFrameClass {
public:
    explicit TFrameReady(ClassLib::TComponent *owner);

    ClassLib::TLabel *Label1;
    ClassLib::TLabel *Label2;
    ClassLib::TLabel *Label3;

    bool InitPage() override;
    void EnterPage(bool forward) override;
    void StorePage() override;
    bool LeavePage() override;
};
