// The installation procedure, TInstParams::Install (declared with the settings
// object), and the small pieces it is made of: the close-event signals, the
// retry question of the removal, the check of the target folder and the waits.
//
// Install asks running modules of the product to close, removes what lies in
// the target folder (sparing the preserved entries, files named like the
// constants file and the running program itself), copies the constants file,
// makes the target folder (logging each folder it creates, as the extraction
// does; 30020 when it cannot), extracts the payload into it, whatever the
// payload holds, and writes shortcuts, records and the install log (an
// install log that cannot be written whole fails the installation with 30046,
// the log's path and the system's reason, and none is left). Every failure
// ends in one handler that shows message 30021 with the failure nested and
// returns false; a user break returns false silently.
#pragma once

#include <windows.h>

#include <string>

// Sets the narrow close event of the product in folder. True when no module
// holds one (also when the folder does not exist), false when one existed and
// was set.
bool SignalCloseEventA(const std::string &folder);
// Sets the wide close event of the product in folder. The opposite sense: true
// when an event existed and was set, false when none exists (also when the
// folder does not exist).
bool SignalCloseEventW(const std::string &folder);

// Warning with Retry (default) and Cancel (the close answer): IDRETRY (4) or
// IDCANCEL (2).
int AskRetryCancel(const std::string &text);

// Whether a folder may be the target of an installation, whose first step
// empties it. The folder is judged as the system will use it, with '/' a
// separator like '\': it must be absolute, with a drive ("C:\...") or a share
// ("\\server\share\..."), name at least one folder below the drive root or
// the share, hold no empty, "." or ".." part, and be its own full path (the
// system's resolution may change nothing but the separators and trailing
// backslashes). It must neither be nor contain a folder that the system or a
// user owns (OwnedFoldersQuery); a folder below one, such as
// "C:\Program Files\Vendor\Product", is allowed. Names compare in their long
// forms, case-insensitively.
bool IsSafeTargetFolder(const std::string &folder);

// The target check of the installation and of the target page: throws 30000
// for an empty folder, and 30040 with the folder as given for an existing file
// and for every folder that IsSafeTargetFolder refuses.
void CheckTargetFolder(const std::string &folder);

// The waits of the procedure (2000 ms between close signals, 200 ms between
// deletion attempts). Replaceable so that a test need not sit through them.
typedef void (*TInstallSleepFunc)(DWORD milliseconds);
extern TInstallSleepFunc InstallSleep;

// The RCDATA resource of the program that holds the payload, "FILES".
// Replaceable so that a test can install another payload.
extern const char *InstallPayloadResource;
