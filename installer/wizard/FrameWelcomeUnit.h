// The welcome page: the product's name and the advice to close other
// programs. It has no inputs.
#pragma once

#include "classlib/StdCtrls.h"
#include "installer/wizard/BaseFrameClass.h"

class TFrameWelcome : public TBaseFrameClass {
public:
    explicit TFrameWelcome(ClassLib::TComponent *owner);

    ClassLib::TLabel *Label4;
    ClassLib::TLabel *LabelCaption;
    ClassLib::TLabel *Label5;
    ClassLib::TLabel *LabelClose;
    ClassLib::TLabel *Label3;
    ClassLib::TLabel *LabelWarn1;
    ClassLib::TLabel *Label7;
    ClassLib::TLabel *LabelWarn2;

    bool InitPage() override;
    void EnterPage(bool forward) override;
    void StorePage() override;
    bool LeavePage() override;
};
