// The target-folder page: where the product is installed.
//
// The folder must be one the installation accepts (an absolute folder below
// a drive root or a share, without "." or ".." parts); otherwise the page
// shows the missing-folder error and stays. Because the installation empties
// its target folder, a folder that exists, holds anything and is not the
// previous installation's own asks first whether its content may go.
#pragma once

#include "classlib/Buttons.h"
#include "classlib/StdCtrls.h"
#include "installer/wizard/BaseFrameClass.h"

class TFrameTarget : public TBaseFrameClass {
public:
    explicit TFrameTarget(ClassLib::TComponent *owner);

    ClassLib::TLabel *Label1;
    ClassLib::TLabel *Label2;
    ClassLib::TLabel *Label3;
    ClassLib::TLabel *Label4;
    ClassLib::TGroupBox *GroupBox1;
    ClassLib::TEdit *DirEdit;
    ClassLib::TButton *ButBrowse;
    ClassLib::TBitBtn *BitBtn1;

    bool InitPage() override;
    void EnterPage(bool forward) override;
    void StorePage() override;
    bool LeavePage() override;

    void ButBrowseClick(ClassLib::TObject *sender);
    void ButResetClick(ClassLib::TObject *sender);
};
