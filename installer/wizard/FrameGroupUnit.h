// The start-menu group page: the name of the group (a folder below the
// common programs folder) that receives the product's shortcuts, picked from
// the groups that exist in the user's and the common programs folders or
// typed; the desktop-shortcut box and the autorun box.
//
// The name must stay inside the programs folder (not absolute, no colon, no
// part made of dots or blanks only, not blank); otherwise the page warns,
// puts the configured group back and stays.
#pragma once

#include "classlib/Buttons.h"
#include "classlib/ExtCtrls.h"
#include "classlib/StdCtrls.h"
#include "installer/wizard/BaseFrameClass.h"

class TFrameGroup : public TBaseFrameClass {
public:
    explicit TFrameGroup(ClassLib::TComponent *owner);

    ClassLib::TLabel *Label1;
    ClassLib::TGroupBox *GroupBox1;
    ClassLib::TEdit *GroupEdit;
    ClassLib::TBitBtn *ButReset;
    ClassLib::TListBox *GroupsListBox;
    ClassLib::TPanel *Panel5;
    ClassLib::TCheckBox *CBDesktopShortcut;
    ClassLib::TPanel *PanAutoRun;
    ClassLib::TCheckBox *CBAutoRun;

    bool InitPage() override;
    void EnterPage(bool forward) override;
    void StorePage() override;
    bool LeavePage() override;

    void ButResetClick(ClassLib::TObject *sender);
    void GroupsListBoxClick(ClassLib::TObject *sender);
};
