#include "installer/InstallerMain.h"

#include <windows.h>
#include <objbase.h>

#include <math.h>

#include "classlib/Classes.h"
#include "classlib/Forms.h"
#include "foundation/StringIds.h"
#include "foundation/VxText.h"
#include "installer/wizard/FrmBackgroundUnit.h"
#include "installer/wizard/FrmMainUnit.h"
#include "installer/wizard/FrmProgressUnit.h"
#include "visual/DlgMessageBoxUnit.h"
#include "visual/VxShowHintFix.h"
#include "visual/VxWZManager.h"

namespace {

const int ExitSuccess = 0;
const int ExitFailure = 1;

// The Shift key is held at this moment.
bool ShiftHeld()
{
    return (GetAsyncKeyState(VK_SHIFT) & ~1) != 0;
}

// Mode 0 of a previous installation of this product: an express update is
// offered. Answers false when the user cancels.
bool AskExpressUpdate(TInstParams &params)
{
    const std::string text = FormatString(LoadResStdString(IDS_ASK_EXPRESS_UPDATE).c_str(), params.app_title.c_str());
    switch (AskYesNoCancel(text)) {
    case IDYES:
        params.run_mode = ShiftHeld() ? rmProgressWindow : rmExpressWizard;
        return true;
    case IDNO:
        return true;
    default:
        return false;
    }
}

// Runs the installation with the given sink (null: none) and, after success,
// the finish programs.
int InstallUnattended(TInstParams &params, TInstProgress *sink)
{
    params.SetProgress(sink);
    const bool installed = params.Install();
    params.SetProgress(nullptr);
    if (!installed)
        return ExitFailure;
    params.FinishRun();
    return ExitSuccess;
}

int ExitCodeOf(bool installed)
{
    return installed ? ExitSuccess : ExitFailure;
}

// The message loop of the windowed modes, until the main form has closed;
// then the hint fix comes off.
void RunMessageLoop()
{
    ClassLib::Application->Run();
    if (VxShowHintFix.Installed())
        VxShowHintFix.Done();
}

// Modes 0 and 1: the wizard as the main form, the backdrop below it.
int RunWizard(const TInstParams &params)
{
    ClassLib::Application->CreateForm(FrmMain);
    VxWZManager.AddWindow(FrmMain->Handle(), -1);
    if (params.show_background) {
        ClassLib::Application->CreateForm(FrmBackground);
        VxWZManager.AddWindow(FrmBackground->Handle(), 0);
    }
    RunMessageLoop();
    return ExitCodeOf(FrmMain->Installed());
}

// Mode 2: the progress window installs by itself and closes.
int RunProgressWindow()
{
    ClassLib::Application->CreateForm(FrmProgress);
    RunMessageLoop();
    return ExitCodeOf(FrmProgress->Installed());
}

} // namespace

TConsProgress::TConsProgress()
{
    // A process that has a console already cannot get another one; it writes
    // to the one it has.
    if (!AllocConsole() && GetLastError() != ERROR_ACCESS_DENIED)
        return;
    output_ = std::freopen("CONOUT$", "w", stdout);
}

bool TConsProgress::OnState(const std::string &text)
{
    if (!output_)
        return true;
    std::fprintf(output_, "\r\n%s", AnsiToOem(text).c_str());
    std::fflush(output_);
    return true;
}

bool TConsProgress::OnProgress(int32_t)
{
    return true;
}

int __cdecl MathErrorHandled(struct _exception *)
{
    return 1;
}

void InstallMathErrorHook()
{
    __mingw_setusermatherr(&MathErrorHandled);
}

bool PrepareRunMode(TInstParams &params)
{
    if (IsWizardMode(params.run_mode) && !params.CheckConditions())
        return false;
    if (params.run_mode == rmWizard && params.prev_record_matched && !AskExpressUpdate(params))
        return false;
    return true;
}

int RunMode(TInstParams &params, TInstProgress *console)
{
    switch (params.run_mode) {
    case rmWizard:
    case rmExpressWizard:
        return RunWizard(params);
    case rmProgressWindow:
        return RunProgressWindow();
    case rmConsole: {
        if (console)
            return InstallUnattended(params, console);
        TConsProgress ownConsole;
        return InstallUnattended(params, &ownConsole);
    }
    case rmSilent:
    default:
        return InstallUnattended(params, nullptr);
    }
}

int LoadFailed(const TInstParams &params, TInstProgress *console)
{
    if (IsWizardMode(params.run_mode)) {
        ShowError(LoadResStdString(IDS_INIT_ERROR));
    } else if (params.run_mode == rmConsole) {
        const std::string text = params.load_error.empty() ? LoadResStdString(IDS_INIT_ERROR) : params.load_error;
        if (console) {
            console->OnState(text);
        } else {
            TConsProgress ownConsole;
            ownConsole.OnState(text);
        }
    }
    return ExitFailure;
}

int RunInstaller(TInstParams &params, TInstProgress *console)
{
    if (!PrepareRunMode(params))
        return ExitFailure;
    return RunMode(params, console);
}

int InstallerMain()
{
    try {
        ClassLib::Application->Initialize();
        CoInitialize(nullptr);
        VxShowHintFix.Init();

        if (!InstParams.Load())
            return LoadFailed(InstParams);
        return RunInstaller(InstParams);
    } catch (const ClassLib::Exception &error) {
        ClassLib::Application->ShowException(error.Message());
    } catch (...) {
        ClassLib::Application->ShowException(ClassLib::AnsiString());
    }
    // Whatever ended the run here, nothing was installed.
    return ExitFailure;
}
