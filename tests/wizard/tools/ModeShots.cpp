// Saves pictures of what the run modes show besides the wizard's pages, built
// from the program's own configuration resource as setup.exe builds it, as
// BMP files for review by eye, in the folder given as the first argument
// (default: the current folder):
//   mode_express_question   the express-update question of a returning user
//   mode_progress_window    the progress window of run mode 2 during an
//                           installation (a stand-in that reports a state and
//                           a percentage; nothing is installed)
//   mode_backdrop           the whole screen: the backdrop with the wizard
//                           above it, as run modes 0 and 1 start
// Prints each file written; exit code 1 when a picture could not be taken.
#include <windows.h>

#include <string>

#include "../../tools/ReviewTool.h"
#include "../WizardInspect.h"
#include "WizardReview.h"
#include "classlib/Barrier.h"
#include "classlib/Forms.h"
#include "foundation/VxText.h"
#include "installer/InstParams.h"
#include "installer/wizard/FrmBackgroundUnit.h"
#include "installer/wizard/FrmMainUnit.h"
#include "installer/wizard/FrmProgressUnit.h"
#include "visual/DlgMessageBoxUnit.h"
#include "visual/VxWZManager.h"

using namespace ClassLib;

namespace {

using WizardReview::Shoot;

// The question is pictured once it has been up for a while, then cancelled.
DWORD questionSeen = 0;

void CALLBACK QuestionTimer(HWND, UINT, UINT_PTR, DWORD)
{
    Guarded([] {
        TDlgMessageBox *dialog = WizardTest::ShownDialog();
        if (!dialog)
            return;
        if (!questionSeen)
            questionSeen = GetTickCount();
        if (GetTickCount() - questionSeen < 400)
            return;
        Shoot(dialog->Handle(), "mode_express_question");
        dialog->BtnCancel->Click();
    });
}

void ShootExpressQuestion()
{
    const UINT_PTR timer = SetTimer(nullptr, 0, 50, &QuestionTimer);
    AskYesNoCancel(FormatString(LoadResStdString(30034).c_str(), InstParams.app_title.c_str()));
    KillTimer(nullptr, timer);
}

void ShootProgressWindow()
{
    TFrmProgress *window = new TFrmProgress(Application);
    bool done = false;
    window->Engine.setProgress = [](TInstProgress *) {};
    window->Engine.install = [window] {
        window->OnState(FormatString(LoadResStdString(30023).c_str(), Utf8ToAnsi("Help\\Руководство.txt").c_str()));
        window->OnProgress(60);
        PumpFor(400);
        Shoot(window->Handle(), "mode_progress_window");
        return true;
    };
    window->Engine.finishRun = [&done] { done = true; };
    window->Show();
    const DWORD start = GetTickCount();
    while (!done && GetTickCount() - start < 10000)
        PumpFor(20);
    delete window;
}

void ShootBackdrop()
{
    Application->CreateForm(FrmMain);
    VxWZManager.AddWindow(FrmMain->Handle(), -1);
    Application->CreateForm(FrmBackground);
    VxWZManager.AddWindow(FrmBackground->Handle(), 0);
    FrmMain->Show();
    const DWORD start = GetTickCount();
    while (FrmMain->CurrentPage() < 0 && GetTickCount() - start < 5000)
        PumpFor(20);
    PumpFor(600);
    Shoot(GetDesktopWindow(), "mode_backdrop");
    FrmMain->SetCloseAllowed(true);
    FrmMain->Close();
}

} // namespace

int main(int argc, char **argv)
{
    if (!WizardReview::Start(argc, argv))
        return 1;
    ShootExpressQuestion();
    ShootProgressWindow();
    ShootBackdrop();
    WizardReview::Finish();
    return WizardReview::ExitCode();
}
