// Helpers of the visual tests: driving a modal dialog from a queued action,
// real key presses, pumping messages and reading pixels.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "classlib/Forms.h"
#include "tests/support/KeyInput.h"

class TDlgMessageBox;

namespace VisualTest {

// Source literals are UTF-8; the controls take ANSI text.
std::string A(const char *utf8);

// The shown message dialog, or null.
TDlgMessageBox *FindDialog();

// Runs action once a message dialog is shown (polled every 30 ms from a
// thread timer, so it runs inside the dialog's modal loop). When no dialog
// comes within 3 s, or the dialog is still up 5 s after the action, the
// watchdog closes it by its first button and records a failure. Call before
// the blocking call; the queued action is cleared when it has run.
void OnDialog(std::function<void(TDlgMessageBox *)> action);
// Queues a second step that runs the next time the timer fires after action
// (for checks that need the loop to run in between).
void ThenOnDialog(std::function<void(TDlgMessageBox *)> action);

// Handles every waiting message, also for ms milliseconds afterwards.
void Pump(unsigned ms = 0);

} // namespace VisualTest
