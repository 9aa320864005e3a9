// The program's main routine and the console display.
//
// InstallerMain loads the settings, checks the install conditions, asks the
// express-update question and runs one of the five run modes: 0 full wizard,
// 1 express wizard (both over the backdrop when the configuration asks for
// it), 2 progress window, 3 console, 4 silent. Its result is the process exit
// code: 0 only after a completed installation; 1 when loading fails, the
// conditions refuse, the question is cancelled, the installation fails or is
// cancelled, the wizard is closed before the installation completed, or an
// exception ended the run (shown in the application's exception box).
//
// TConsProgress is the progress sink of the console mode: one line per state
// text, in the console's OEM code page.
#pragma once

#include <cstdio>
#include <string>

#include "installer/InstParams.h"

class TConsProgress : public TInstProgress {
public:
    // Opens a console for the process and writes to it through the standard
    // output reopened on "CONOUT$". When either fails, nothing is written.
    TConsProgress();
    // Writes to an already open stream instead (a file, for example); null
    // writes nothing. The stream is not closed.
    explicit TConsProgress(std::FILE *output) : output_(output) {}

    // Writes a line break and the text in the OEM code page.
    bool OnState(const std::string &text) override;
    // Writes nothing.
    bool OnProgress(int32_t percent) override;

    // Whether the sink has somewhere to write.
    bool IsOpen() const { return output_ != nullptr; }

private:
    std::FILE *output_ = nullptr;
};

// Installed as the runtime's handler of floating-point library errors: every
// error counts as handled, no message is shown and the result stands.
int __cdecl MathErrorHandled(struct _exception *error);
// Installs MathErrorHandled.
void InstallMathErrorHook();

// The whole program after WinMain: exit code 0 or 1.
int InstallerMain();

// The end of a run whose configuration could not be loaded: exit code 1,
// after message 30033 in the wizard modes and, in the console mode, the
// load error's text (it names the item) on console, or on a console of its
// own when it is null. The progress window and the silent mode say nothing.
int LoadFailed(const TInstParams &params, TInstProgress *console = nullptr);

// The steps after a successful load on the given settings: PrepareRunMode,
// then RunMode. The console mode reports to console, or to a console of its
// own when it is null.
int RunInstaller(TInstParams &params, TInstProgress *console = nullptr);

// The wizard modes' checks: the install conditions, then, in mode 0 after a
// matching previous installation, the express-update question (Yes: mode 1,
// or mode 2 while Shift is held; No: mode 0 stays). False when the run ends
// here with exit code 1: the conditions refused or the question was
// cancelled. Modes 2, 3 and 4 pass unchecked.
bool PrepareRunMode(TInstParams &params);

// Runs params.run_mode and gives its exit code. Modes 0 and 1 create the
// wizard FrmMain as the main form (z-order level -1) and, with
// show_background, the backdrop FrmBackground under it (level 0); mode 2
// creates the progress window FrmProgress; these modes then run the message
// loop until the main form closes. The forms work on the global settings
// object, so params is the global one in the program. Modes 3 and 4 install
// with params and then start the finish programs.
int RunMode(TInstParams &params, TInstProgress *console = nullptr);
