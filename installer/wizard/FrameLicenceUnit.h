// The licence page: the licence agreement (the program's rich-text resource
// "LICENCE_TEXT") in a read-only viewer and the box by which the user
// accepts it. Next is usable only while the box is ticked; a returning user
// (a previous installation was found) finds it ticked.
#pragma once

#include <string>

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

    // Shows the rich-text document; throws Exception (text 30041 with the
    // reason, 30043-30045) when the viewer cannot read it.
    void ShowLicence(const std::string &rtf);

private:
    void LoadLicence();
};
