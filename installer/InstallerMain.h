// The program's main routine and the unattended displays.
//
// InstallerMain loads the settings, checks the install conditions, asks the
// express-update question and runs one of the five run modes: 0 full wizard,
// 1 express wizard, 2 progress window, 3 console, 4 silent. Its result is the
// process exit code: 1 when loading fails, the conditions refuse, the
// question is cancelled or a console or silent installation fails; 0
// otherwise. The wizard modes are not part of this build: they show that and
// end with 1.
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

// The steps after a successful load on the given settings: the condition
// check and the express question (wizard modes only), then the run mode. The
// console mode reports to console, or to a console of its own when it is null.
int RunInstaller(TInstParams &params, TInstProgress *console = nullptr);

// The text shown when a wizard run mode is asked for.
std::string WizardUnavailableText();
