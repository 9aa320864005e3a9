// The wizard's finish page, shown after a successful installation.
//
// It offers one check box for each of the first three finish_run items that
// the configuration lets the user change (allow_change); a box's Tag links it
// to its item (item index + 1, 0 for a box without an item). Without such
// items the group box is hidden. The boxes are set up once from the
// configuration; their states reach the items' exec flags when the user
// presses Next ("Завершить"), after which the main form runs the finish
// actions. Items that get no box keep their exec flag.
#pragma once

#include "classlib/ExtCtrls.h"
#include "classlib/StdCtrls.h"
#include "installer/wizard/BaseFrameClass.h"

class TFrameFinish : public TBaseFrameClass {
public:
    static const int MaxItems = 3;

    explicit TFrameFinish(ClassLib::TComponent *owner);

    ClassLib::TLabel *Label1;
    ClassLib::TLabel *Label2;
    ClassLib::TLabel *Label5;
    ClassLib::TLabel *Label3;
    ClassLib::TPanel *Panel2;
    ClassLib::TGroupBox *GBStart;
    ClassLib::TCheckBox *CBStart1;
    ClassLib::TCheckBox *CBStart2;
    ClassLib::TCheckBox *CBStart3;

    bool InitPage() override;
    // No way back into the installation: Back is disabled.
    void EnterPage(bool forward) override;
    void StorePage() override;
    bool LeavePage() override;

private:
    ClassLib::TCheckBox *Box(int k) const;
};
