// TVxXIniWriter: the write interface of x-ini documents.
//
// Typed value items, sections by depth, comments, binary data, whole trees and
// copied x-ini texts. Every operation reports success; a failed write also
// sets an error flag that stays set, so that closing the document reports the
// failure even when a caller ignored one result. Callers that cannot go on
// after a false result call RaiseWriteError, which throws the program's
// message naming the stream.
//
// Depths: the root's items are at depth 1. BeginSection returns the depth
// before the section opened (1 at the top level); EndSections with that value
// closes the section and every section opened inside it.
#pragma once

#include <cstdint>
#include <string>

class TVxXIniTree;

class TVxXIniWriter {
public:
    virtual ~TVxXIniWriter();

    virtual bool WriteComment(const std::string &text) = 0;
    virtual bool WriteInt32(const std::string &name, const int32_t &value) = 0;
    virtual bool WriteUInt32(const std::string &name, const uint32_t &value) = 0;
    virtual bool WriteInt64(const std::string &name, const int64_t &value) = 0;
    virtual bool WriteUInt64(const std::string &name, const uint64_t &value) = 0;
    virtual bool WriteFloat(const std::string &name, const float &value) = 0;
    virtual bool WriteDouble(const std::string &name, const double &value) = 0;
    // The value is text in the system ANSI code page; it is stored as UTF-8.
    virtual bool WriteString(const std::string &name, const std::string &value) = 0;
    virtual bool WriteHexInt32(const std::string &name, const int32_t &value) = 0;
    virtual bool WriteHexUInt32(const std::string &name, const uint32_t &value) = 0;
    virtual bool WriteHexInt64(const std::string &name, const int64_t &value) = 0;
    virtual bool WriteHexUInt64(const std::string &name, const uint64_t &value) = 0;
    // A section of unnamed string items, one per line of the text; each line
    // keeps its line end (LF, CR or CR LF).
    virtual bool WriteTextLines(const std::string &name, const std::string &text) = 0;
    // The bytes as base64 text.
    virtual bool WriteBinary(const std::string &name, const std::string &bytes) = 0;
    // A section holding the items of a whole x-ini text (see CopyXml).
    virtual bool WriteSectionXml(const std::string &name, const std::string &text) = 0;
    // A section holding the items of a tree (see MergeXIni).
    virtual bool WriteSectionTree(const std::string &name, const TVxXIniTree &tree) = 0;
    // Copies the items of a whole x-ini text at the current position. A text
    // that the reader would not accept is refused before anything is written.
    virtual bool CopyXml(const std::string &text) = 0;
    // Writes the items of a tree at the current position.
    virtual bool MergeXIni(const TVxXIniTree &tree) = 0;
    // Opens a section; returns the depth before it opened, 0 on failure.
    virtual uint32_t BeginSection(const std::string &name) = 0;
    // Opens a section whose items share the line of its start tag.
    virtual uint32_t BeginSectionOneLine(const std::string &name) = 0;
    // Closes the sections down to the depth that BeginSection returned.
    virtual bool EndSections(uint32_t depth) = 0;
    virtual bool EndSectionsOrRaise(uint32_t depth) = 0;
    // Puts the following items of the current depth on one line (true), or
    // ends that mode and the pending line (false).
    virtual void SetOneLine(bool on) = 0;
    // A section of two or three unnamed double items on one line.
    virtual bool WritePoint2(const std::string &name, double x, double y) = 0;
    virtual bool WritePoint3(const std::string &name, double x, double y, double z) = 0;
    // Hands the buffered bytes to the stream.
    virtual bool FlushBuffer() = 0;
    // Throws the write-error message naming the stream.
    [[noreturn]] virtual void RaiseWriteError() = 0;

    bool WriteBool(const std::string &name, const bool &value);
    bool WriteString(const std::string &name, const char *value);
    uint32_t BeginSectionOrRaise(const std::string &name);
};

// Throws Mirelta::TVxMessage 31021 naming the stream, or 31037 when the name
// is empty.
[[noreturn]] void RaiseXIniWriteError(const std::string &streamName);
