// Looking into a running wizard, for the tests and the screenshot tool: the
// kind of a page and the message dialog on screen.
#pragma once

#include "installer/wizard/BaseFrameClass.h"

class TDlgMessageBox;

namespace WizardTest {

// "welcome", "licence", "target", "group", "par_proc", "ready", "progress",
// "finish", or "page" for a page of another class.
const char *PageKind(TBaseFrameClass *page);

// The message dialog on screen (the newest when several are), or null.
TDlgMessageBox *ShownDialog();

} // namespace WizardTest
