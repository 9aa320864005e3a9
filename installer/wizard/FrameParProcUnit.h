// The distributed-processing page: whether to connect the product to an
// installed main system, and that system's folder. With the box ticked the
// folder must be one the installation accepts and, when the configuration
// names a check file, hold that file.
#pragma once

#include "classlib/Buttons.h"
#include "classlib/StdCtrls.h"
#include "installer/wizard/BaseFrameClass.h"

class TFrameParProc : public TBaseFrameClass {
public:
    explicit TFrameParProc(ClassLib::TComponent *owner);

    ClassLib::TLabel *Label1;
    ClassLib::TLabel *Label2;
    ClassLib::TLabel *Label3;
    ClassLib::TLabel *Label4;
    ClassLib::TCheckBox *CBParProcInstall;
    ClassLib::TGroupBox *GroupBox1;
    ClassLib::TEdit *DirEdit;
    ClassLib::TButton *ButBrowse;
    ClassLib::TBitBtn *ButReset;

    bool InitPage() override;
    void EnterPage(bool forward) override;
    void StorePage() override;
    bool LeavePage() override;

    void ButBrowseClick(ClassLib::TObject *sender);
    void ButResetClick(ClassLib::TObject *sender);
};
