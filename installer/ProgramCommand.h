// A program with its arguments, as the configuration writes one for a
// redistributable installer or for the uninstall program: a path relative to
// the target folder, possibly followed by arguments. Such an item is split
// into the program's full path and its arguments, and started (or recorded)
// with the program's path alone in quotes, so that a path with blanks names
// one program and no other program can stand in for it.
#pragma once

#include <string>

// The program and the argument text of an item. A quoted program path ends at
// its closing quote; otherwise the program is the shortest blank-separated
// beginning of the item that names an existing file below targetFolder (which
// ends with a backslash), or, when none does, the text up to the first blank.
// program is the full path; arguments start at the first non-blank character
// after the program.
struct TProgramCommand {
    std::string program;
    std::string arguments;
};
TProgramCommand SplitProgramCommand(const std::string &targetFolder, const std::string &item);

// The command line of a program: its path in double quotes, then one blank
// and the arguments when there are any.
std::string QuotedCommandLine(const std::string &program, const std::string &arguments);
