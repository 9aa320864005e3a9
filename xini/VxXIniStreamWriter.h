// TVxXIniStreamWriter: writes indented x-ini text onto a TVxStream.
//
// Output goes through one 16384-byte buffer, and optionally through gzip
// layers chosen by the options word (see VxXIniFormat.h): the first layer
// writes onto the caller's stream, the last one receives the text. The header
// style decides the lines before the root and whether the whole document is
// one line. Lines end with LF; every level of depth indents by two spaces.
//
// Promises:
//  - any write the stream does not take in full sets the error flag, which
//    stays set: CloseDocument then reports false;
//  - CloseDocument closes the open sections, ends the root, flushes and
//    finishes the gzip layers, and answers whether all of it reached the
//    caller's stream; calling it again gives the same answer; nothing can be
//    written after it;
//  - sections deeper than VxXIniMaxDepth are refused, so every document
//    written is one the reader accepts.
// The destructor closes the document when the caller did not.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "foundation/var_a.h"
#include "xini/VxXIniWriter.h"

class TVxStream;

class TVxXIniStreamWriter : public TVxXIniWriter {
public:
    class TVxXmlCollIniQCopy;
    struct TVxGZipWriterChain;

    // Buffer size: the stream receives writes of this size and one shorter
    // write per flush.
    static const unsigned BufferSize = 16384;
    // One-line mode ends a line once it holds this many bytes beyond the
    // indentation of the one-line depth.
    static const unsigned OneLineLimit = 1024;

    // Throws std::logic_error "@Null stream in TVxXIniStreamWriter" for an
    // empty holder. A gzip layer that cannot be opened sets the error flag.
    TVxXIniStreamWriter(VTVxStream stream, uint32_t options = 0, unsigned char headerStyle = 0);
    ~TVxXIniStreamWriter() override;
    TVxXIniStreamWriter(const TVxXIniStreamWriter &) = delete;
    TVxXIniStreamWriter &operator=(const TVxXIniStreamWriter &) = delete;

    using TVxXIniWriter::WriteString;

    bool WriteComment(const std::string &text) override;
    bool WriteInt32(const std::string &name, const int32_t &value) override;
    bool WriteUInt32(const std::string &name, const uint32_t &value) override;
    bool WriteInt64(const std::string &name, const int64_t &value) override;
    bool WriteUInt64(const std::string &name, const uint64_t &value) override;
    bool WriteFloat(const std::string &name, const float &value) override;
    bool WriteDouble(const std::string &name, const double &value) override;
    bool WriteString(const std::string &name, const std::string &value) override;
    bool WriteHexInt32(const std::string &name, const int32_t &value) override;
    bool WriteHexUInt32(const std::string &name, const uint32_t &value) override;
    bool WriteHexInt64(const std::string &name, const int64_t &value) override;
    bool WriteHexUInt64(const std::string &name, const uint64_t &value) override;
    bool WriteTextLines(const std::string &name, const std::string &text) override;
    bool WriteBinary(const std::string &name, const std::string &bytes) override;
    bool WriteSectionXml(const std::string &name, const std::string &text) override;
    bool WriteSectionTree(const std::string &name, const TVxXIniTree &tree) override;
    bool CopyXml(const std::string &text) override;
    bool MergeXIni(const TVxXIniTree &tree) override;
    uint32_t BeginSection(const std::string &name) override;
    uint32_t BeginSectionOneLine(const std::string &name) override;
    bool EndSections(uint32_t depth) override;
    bool EndSectionsOrRaise(uint32_t depth) override;
    void SetOneLine(bool on) override;
    bool WritePoint2(const std::string &name, double x, double y) override;
    bool WritePoint3(const std::string &name, double x, double y, double z) override;
    bool FlushBuffer() override;
    [[noreturn]] void RaiseWriteError() override;

    // Closes the document (see above); true when everything was written.
    bool CloseDocument();
    // Writes one item from character ranges of a loaded document (UTF-8, not
    // converted, escaped again): type 5 as a b item, 3 as d, 4 as s, every
    // other type as i.
    bool WriteRawItem(unsigned char type, const char *nameBegin, const char *nameEnd,
                      const char *valueBegin, const char *valueEnd);

    // The error flag: some write failed.
    bool HasError() const { return error_; }
    // Depth of the items being written (1 after construction, 0 once closed).
    uint32_t Depth() const { return depth_; }

private:
    bool IsClosed() const { return closed_; }
    void SetDepth(uint32_t depth);
    bool Fail();
    bool WriteRaw(const char *bytes, size_t length);
    bool WriteRaw(const std::string &text) { return WriteRaw(text.data(), text.size()); }
    bool EndItemLine(bool space);
    bool BufferedWrite(const char *bytes, size_t length);
    bool WriteOutBuffer();
    bool FinishLayers();
    bool CanNest() const;
    bool WriteItemStart(char letter, const char *nameBegin, size_t nameLength);
    bool WriteValueItem(char letter, const std::string &name, const std::string &valueText);
    bool WriteEscapedValueItem(char letter, const char *nameBegin, size_t nameLength,
                               const char *valueBegin, size_t valueLength);
    bool WriteBase64Item(const char *nameBegin, size_t nameLength, const char *textBegin,
                         size_t textLength);
    bool WritePoint(const std::string &name, const double *values, unsigned count);
    bool CopyCheckedXml(const std::string &text);

    VTVxStream stream_;                       // the caller's stream or the last gzip layer
    uint32_t depth_;
    std::string indent_;
    uint32_t oneLineDepth_;                   // 0: one-line mode is off
    uint32_t lineLength_;                     // bytes of the current line, indentation included
    std::unique_ptr<char[]> buffer_;
    uint32_t fill_;
    bool error_;
    bool closed_;
    bool closeResult_;
    std::vector<TVxGZipWriterChain *> layers_; // owned through stream_, first layer first
};
