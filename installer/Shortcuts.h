// Shortcuts of an installation: the start-menu group's links and the desktop
// links (TInstParams::CreateShortcuts), written through the shell's link
// object.
//
// The start-menu group is a name below the common programs folder. It comes
// from the user or from a previous installation's record, so it is checked
// before anything is touched: a name that is absolute, holds a drive or stream
// colon, steps out with a dot component or is no name Windows can give a
// folder is refused (message 30024, like a missing group). The group folder is
// emptied first only when it is the group that the previous installation of
// this product made; any other existing folder of that name keeps its content
// and just receives the links. A group folder that cannot be made fails the
// step (30020 with the folder), and so does a shortcut file that cannot be
// saved (30042 with its path and the system's reason). The desktop part makes
// no folders: a desktop shortcut in a sub-folder that the desktop lacks is
// left out.
#pragma once

#include <cstdint>
#include <string>

// Writes one shortcut file at link (a full path) to target (a full path),
// with description, the argument text and the icon location (icon empty: the
// target's own icon). Texts are in the ANSI code page. The calling thread
// must have COM initialised. Without a target, or without the shell's link
// object, no shortcut is made and nothing is reported; a shortcut file that
// the system refuses to save throws 30042 with the link's path and the
// system's reason for the refusal.
void CreateShellLink(const std::string &target, const std::string &link, const std::string &description,
                     const std::string &arguments, const std::string &icon, int32_t iconIndex);

// Whether group may name a folder below the common programs folder: not
// empty, not absolute, no colon, none of the characters < > " | ? * nor a
// control character, no component made of dots and blanks only (".", "..",
// "...") or of blanks only, and no component that names a device (CON, NUL,
// COM1, LPT1 and the others, also with an extension). Both separators count.
bool IsValidStartMenuGroup(const std::string &group);
