// TInstLog: the record of what one installation created, saved as
// "Install.log" in the target folder after a successful installation.
//
// The file is UTF-8 with a byte-order mark: a separator line, "+App: ...",
// "+Title: ...", "+Start: <time>", one "+Folder: ", "+File: " or "+Reg: "
// line per folder, file and registry value created (in the order of the work),
// "+End: <time>" and a closing separator; lines are separated by CR LF and the
// last one has no line break after it. Lines are kept already converted to
// UTF-8. Nothing here throws; Save answers whether the file was written whole,
// and a file it could not write whole (a full disk) is removed rather than
// left cut short.
#pragma once

#include <string>

#include "foundation/VxText.h"

class TInstParams;

class TInstLog {
public:
    // Text of the current local date and time, as written on the Start and End
    // lines; replaceable so that a test can fix the clock.
    typedef std::string (*TTimeTextFunc)();

    // The log reads the product's signature and long title from its owner at
    // Begin.
    explicit TInstLog(const TInstParams &owner);
    TInstLog(const TInstLog &) = delete;
    TInstLog &operator=(const TInstLog &) = delete;

    // Starts a new log: the separator with the byte-order mark, App, Title and
    // Start.
    void Begin();
    // One "+key: value" line; key and value in the ANSI code page.
    void Add(const std::string &key, const std::string &value);
    void AddFolder(const std::string &path);
    void AddFile(const std::string &path);
    // A "Reg" line: the key path, one backslash and the value name.
    void AddReg(const std::string &key, const std::string &valueName);
    // The End line and the closing separator.
    void End();
    // Creates or replaces the file with the lines. False when the file could
    // not be written whole, with the system's reason as the last error; a file
    // cut short is deleted.
    bool Save(const std::string &path) const;

    const Mirelta::string_vector &Lines() const { return lines_; }

    // The default time source: the local long date, a blank and the time.
    static std::string CurrentTimeText();
    TTimeTextFunc timeText = &CurrentTimeText;

private:
    const TInstParams &owner_;
    Mirelta::string_vector lines_;
};
