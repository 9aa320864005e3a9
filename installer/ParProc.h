// Two steps of the installation that reach beyond the product's own files:
//  - TInstParams::ConnectParProc attaches the product, as a distributed-
//    processing system, to the main system already installed: it writes the
//    main system's configuration file anew naming the product's folder. Its
//    failure is shown (message 30037) and the installation goes on. An empty
//    or relative main-system folder is such a failure (30007 nested): nothing
//    is written or logged, and the attach flag is cleared, so that the
//    installation record records no attach.
//  - TInstParams::InstallRedist runs the redistributable installers that the
//    archive put into the target folder, one after the other, each to its
//    end, minimised, with indefinite progress while it runs. A failed run
//    asks Abort, Retry or Ignore; Abort fails the step (30021), and a cancel
//    the user confirmed while a program ran ends the step as a user break.
// A redistributable item is a program path relative to the target folder,
// possibly followed by arguments (ProgramCommand.h); the program is started by
// its quoted full path in its own folder, so no other program can stand in for
// it.
#pragma once

#include <string>

// Whether ConnectParProc can write into folder: an absolute path, with a drive
// ("C:\...", a drive root too) or a share ("\\server\share..."). Nothing
// in it is emptied, so any such folder will do.
bool IsParProcFolderUsable(const std::string &folder);

// Answers of the redistributable question: IDABORT, IDRETRY or IDIGNORE.
typedef int (*TRedistFailureQuestion)(const std::string &text);
// The warning dialog with Abort, Retry and Ignore (Ignore the default, Abort
// on Escape or close). Tests replace it.
int AskRedistFailure(const std::string &text);
extern TRedistFailureQuestion RedistFailureQuestion;

// How ConnectParProc shows its failure; ShowError unless a test replaces it.
typedef void (*TParProcErrorDisplay)(const std::string &text);
extern TParProcErrorDisplay ParProcErrorDisplay;
