// The licence page: the licence agreement (the program's rich-text resource
// "LICENCE_TEXT") in a read-only viewer and the box by which the user
// accepts it. Next is usable only while the box is ticked; a returning user
// (a previous installation was found) finds it ticked.
#pragma once

#include "classlib/ComCtrls.h"
#include "classlib/StdCtrls.h"
#include "installer/wizard/BaseFrameClass.h"

class TFrameLicence : public TBaseFrameClass {
public:
    explicit TFrameLicence(ClassLib::TComponent *owner);

    ClassLib::TRichEdit *LicenceViewer;
    ClassLib::TCheckBox *CBAgreed;

    bool InitPage() override;
    void EnterPage(bool forward) override;
    void StorePage() override;
    bool LeavePage() override;

    void CBAgreedClick(ClassLib::TObject *sender);

private:
    void LoadLicence();
};
