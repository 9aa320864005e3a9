// The records an installation leaves for the system and for the next run of
// the installer (the TInstParams steps WriteAutorunRecord,
// WriteUninstallRecord and WriteInstallData):
//  - the autorun value under the machine's Run key, the program's path quoted;
//  - the product's entry in the machine's uninstall list, replaced as a whole
//    (its key is deleted with all sub-keys and written anew), its uninstall
//    command with the program's path quoted and its arguments after it;
//  - the "InstallPath" value under HKEY_LOCAL_MACHINE\Software\<install key>
//    and the record "InstData.x-ini" in the target folder, which the loader
//    reads back to recognise the installation and take over its choices.
// Every record is entered in the install log. Failures are thrown: registry
// writes as ERegistryException, a bad uninstall key or missing uninstall data
// as 30030, a record file that cannot be created or completely written as the
// stream's or the writer's message.
#pragma once

#include <string>

class TVxXIniWriter;

// Key paths below HKEY_LOCAL_MACHINE.
extern const char AutorunKeyPath[];   // Software\Microsoft\Windows\CurrentVersion\Run
extern const char UninstallKeyPath[]; // Software\Microsoft\Windows\CurrentVersion\Uninstall
// The installation record's file name in the target folder.
extern const char InstallDataFileName[];

// A string item; a refused write raises the writer's error.
void XIniWriteString(TVxXIniWriter &writer, const std::string &name, const std::string &value);
// An integer item holding 1 or 0; a refused write raises the writer's error.
void XIniWriteBool(TVxXIniWriter &writer, const std::string &name, bool value);

// Whether key may name one product's entry below the uninstall list: every
// component between backslashes holds something other than blanks. An empty
// or blank component would make the entry the uninstall list itself.
bool IsValidUninstallKey(const std::string &key);
