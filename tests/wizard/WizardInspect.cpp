#include "WizardInspect.h"

#include "classlib/Forms.h"
#include "installer/wizard/FrameFinishUnit.h"
#include "installer/wizard/FrameGroupUnit.h"
#include "installer/wizard/FrameLicenceUnit.h"
#include "installer/wizard/FrameParProcUnit.h"
#include "installer/wizard/FrameProgressUnit.h"
#include "installer/wizard/FrameReadyUnit.h"
#include "installer/wizard/FrameTargetUnit.h"
#include "installer/wizard/FrameWelcomeUnit.h"
#include "visual/DlgMessageBoxUnit.h"

namespace WizardTest {

const char *PageKind(TBaseFrameClass *page)
{
    return dynamic_cast<TFrameWelcome *>(page)    ? "welcome"
           : dynamic_cast<TFrameLicence *>(page)  ? "licence"
           : dynamic_cast<TFrameTarget *>(page)   ? "target"
           : dynamic_cast<TFrameGroup *>(page)    ? "group"
           : dynamic_cast<TFrameParProc *>(page)  ? "par_proc"
           : dynamic_cast<TFrameReady *>(page)    ? "ready"
           : dynamic_cast<TFrameProgress *>(page) ? "progress"
           : dynamic_cast<TFrameFinish *>(page)   ? "finish"
                                                  : "page";
}

TDlgMessageBox *ShownDialog()
{
    using ClassLib::Screen;
    for (int i = Screen->FormCount() - 1; i >= 0; --i)
        if (auto *dialog = dynamic_cast<TDlgMessageBox *>(Screen->Forms(i)))
            if (dialog->Visible() && IsWindowVisible(dialog->Handle()))
                return dialog;
    return nullptr;
}

} // namespace WizardTest
