// What the wizard's review tools (wizard_shots, mode_shots) share: their
// start, with the settings loaded from the program's own configuration as
// setup.exe loads them, and the pictures they save and name.
#pragma once

#include <windows.h>

#include <string>

namespace WizardReview {

// Starts the application, COM and the hint fix, takes the picture folder from
// the first argument (none: the current folder) and loads the settings for
// run mode 0. False, after a line saying so, when loading failed.
bool Start(int argc, char **argv);
// Ends what Start began.
void Finish();

// Saves the window's picture as <folder><name>.bmp and prints the path, or
// "failed: <path>" when it could not.
void Shoot(HWND window, const std::string &name);

// The tool's exit code: 1 when a picture could not be taken.
int ExitCode();
// Counts a failure that is not a picture.
void CountFailure();

} // namespace WizardReview
