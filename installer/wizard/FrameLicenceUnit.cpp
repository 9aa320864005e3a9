#include "installer/wizard/FrameLicenceUnit.h"

#include "foundation/StringIds.h"
#include "foundation/VxMessage.h"
#include "foundation/VxText.h"
#include "installer/InstParams.h"
#include "installer/LoadConfig.h"
#include "installer/wizard/PageParts.h"
#include "installer/wizard/WizardHost.h"

using namespace ClassLib;
using namespace WizardPages;

namespace {

// Why the viewer refused the licence, in words the person installing reads.
unsigned ReasonText(TRichTextFault fault)
{
    switch (fault) {
    case rfNotRichText:
        return IDS_LICENCE_NOT_RTF;
    case rfNestedTooDeep:
        return IDS_LICENCE_TOO_DEEP;
    case rfDamaged:
    default:
        return IDS_LICENCE_DAMAGED;
    }
}

} // namespace

TFrameLicence::TFrameLicence(TComponent *owner) : TBaseFrameClass(owner)
{
    CBAgreed = new TCheckBox(this);
    CBAgreed->SetParent(this);
    CBAgreed->SetCaption(Utf8ToAnsi("Я принимаю условия лицензионного соглашения"));
    CBAgreed->SetHeight(17);
    CBAgreed->SetAlign(alBottom);
    CBAgreed->SetAlignWithMargins(true);
    CBAgreed->Margins()->SetBounds(0, 8, 0, 2);
    CBAgreed->OnClick = Method<&TFrameLicence::CBAgreedClick>(this);

    LicenceViewer = new TRichEdit(this);
    LicenceViewer->SetParent(this);
    LicenceViewer->SetReadOnly(true);
    LicenceViewer->SetScrollBars(ssVertical);
    LicenceViewer->SetAlign(alClient);
    LicenceViewer->SetTabOrder(0);
}

bool TFrameLicence::InitPage()
{
    CBAgreed->SetChecked(InstParams.prev_install_found);
    // The font is the viewer's default format: text the document formats
    // itself keeps its own. Set on the empty viewer, it costs nothing; set
    // after the load, the control would lay the whole document out again.
    LicenceViewer->Font()->SetName("Times New Roman");
    LicenceViewer->Font()->SetSize(10);
    LoadLicence();
    return true;
}

// The resource is a rich-text document in code page 1251; a program without
// it shows an empty viewer.
void TFrameLicence::LoadLicence()
{
    const std::string rtf = LoadResourceBytes("LICENCE_TEXT");
    if (!rtf.empty())
        ShowLicence(rtf);
}

// A licence the viewer cannot read cannot be agreed to: the failure goes on,
// as a message of the product's own (30041) with the reason in it.
void TFrameLicence::ShowLicence(const std::string &rtf)
{
    try {
        LicenceViewer->LoadRtf(rtf);
    } catch (const ERichTextError &error) {
        const Mirelta::TVxMessage message = Mirelta::TVxMessage(IDS_LICENCE_UNREADABLE)
                                            << LoadResStdString(ReasonText(error.Fault()));
        throw Exception(ToAnsiString(message.Text()));
    }
}

void TFrameLicence::EnterPage(bool)
{
    CBAgreedClick(CBAgreed);
}

void TFrameLicence::CBAgreedClick(TObject *)
{
    if (WizardHost)
        WizardHost->SetNextEnabled(CBAgreed->Checked());
}

void TFrameLicence::StorePage()
{
}

bool TFrameLicence::LeavePage()
{
    return true;
}
