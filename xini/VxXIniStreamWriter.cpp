#include "xini/VxXIniStreamWriter.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>
#include <utility>

#include "foundation/VxGZip.h"
#include "foundation/VxStream.h"
#include "foundation/VxText.h"
#include "xini/VxXIniFormat.h"
#include "xini/VxXIniStreamReader.h"
#include "xini/VxXIniTree.h"
#include "xini/VxXmlParser.h"

namespace {

const char InvalidItemComment[] = "MergeXIni error: invalid item type";

// Sits between a gzip layer and the stream below it and remembers whether any
// write was not taken in full, also while the layer finishes its member (its
// trailer writes report nothing themselves).
class TWriteGuard : public TVxStream {
public:
    explicit TWriteGuard(TVxStream *below) : below_(below), failed_(false) {}

    bool Failed() const { return failed_; }

    using TVxStream::Write;
    unsigned Read(void *buffer, unsigned count) override { return below_->Read(buffer, count); }
    unsigned Write(const void *data, unsigned count) override
    {
        const unsigned written = below_->Write(data, count);
        if (written != count)
            failed_ = true;
        return written;
    }
    unsigned getSize() override { return below_->getSize(); }
    bool setSize(unsigned size) override { return below_->setSize(size); }
    unsigned getPosition() override { return below_->getPosition(); }
    bool setPosition(unsigned position) override { return below_->setPosition(position); }
    bool isOpen() override { return below_->isOpen(); }

private:
    TVxStream *below_;
    bool failed_;
};

// "a--b" -> "a-~b", "---" -> "-~-": a comment never holds two dashes in a row.
std::string BreakDashes(const std::string &text)
{
    std::string result(text);
    size_t run = 0;
    for (char &c : result) {
        if (c != '-') {
            run = 0;
            continue;
        }
        if (run % 2 == 1)
            c = '~';
        ++run;
    }
    return result;
}

std::string Base64CharsOnly(const char *begin, size_t length)
{
    std::string result;
    result.reserve(length);
    for (size_t i = 0; i < length; ++i)
        if (IsBase64Char(static_cast<unsigned char>(begin[i])))
            result += begin[i];
    return result;
}

char ValueLetter(unsigned char type)
{
    switch (type) {
    case VxXIniDouble:
        return 'd';
    case VxXIniString:
        return 's';
    default:
        return 'i';
    }
}

} // namespace

// One gzip layer: the stream below it, the guard over that stream and the
// gzip writer that receives the layer's input. Members go in reverse order:
// the gzip writer finishes its member first, then the stream below is let go.
struct TVxXIniStreamWriter::TVxGZipWriterChain {
    explicit TVxGZipWriterChain(const VTVxStream &stream) : below(stream), guard(stream.get()) {}

    // Finishes the member; true when all of it reached the stream below.
    bool Finish()
    {
        const bool closed = gzip.Close();
        return closed && !guard.Failed() && (gzip.getState() & TVxStream::stWriteError) == 0;
    }

    VTVxStream below;
    TWriteGuard guard;
    TVxGZipWriter gzip;
};

// Copies the content of an x-ini root verbatim, re-indented to the writer's
// depth. Stops at the root's end tag (done) or at anything that is not an
// x-ini item.
class TVxXIniStreamWriter::TVxXmlCollIniQCopy : public TVxXmlColl {
public:
    TVxXmlCollIniQCopy(TVxXIniStreamWriter &writer, bool oneLine)
        : writer_(writer), oneLine_(oneLine), depth_(0), done_(false)
    {
    }

    bool Done() const { return done_; }

    bool OnText(const char *begin, const char *end) override { return CopyRange(begin, end, false); }
    bool OnCData(const char *tagBegin, const char *tagEnd, const char *, const char *) override
    {
        return CopyRange(tagBegin, tagEnd, false);
    }
    bool OnComment(const char *tagBegin, const char *tagEnd) override { return CopyRange(tagBegin, tagEnd, true); }
    bool OnProcessingInstruction(const char *tagBegin, const char *tagEnd) override
    {
        return CopyRange(tagBegin, tagEnd, true);
    }
    bool OnDoctype(const char *, const char *) override { return true; }
    bool OnStartTag(const char *tagBegin, const char *tagEnd, const char *nameBegin, const char *nameEnd,
                    const TVxXmlParserLow &) override
    {
        if (nameEnd - nameBegin != 1)
            return false;
        ++depth_;
        return CopyRange(tagBegin, tagEnd, true);
    }
    bool OnEmptyTag(const char *tagBegin, const char *tagEnd, const char *nameBegin, const char *nameEnd,
                    const TVxXmlParserLow &) override
    {
        if (nameEnd - nameBegin != 1)
            return false;
        return CopyRange(tagBegin, tagEnd, true);
    }
    bool OnEndTag(const char *tagBegin, const char *tagEnd, const char *nameBegin, const char *nameEnd) override
    {
        if (depth_ == 0) {
            if (CompareRange(nameBegin, nameEnd, VxXIniRootName) == 0)
                done_ = true;
            return false;
        }
        if (nameEnd - nameBegin != 1)
            return false;
        --depth_;
        return CopyRange(tagBegin, tagEnd, true);
    }

private:
    // Writes the bytes with their line structure; after each line end, up to
    // N indentation units (one or two spaces, or a TAB) of the source are
    // dropped: N is 1 in normal layout (the source's own first level), and
    // depth + 1 in one-line mode (all of it).
    bool CopyRange(const char *begin, const char *end, bool space)
    {
        const char *piece = begin;
        const char *p = begin;
        while (p < end) {
            if (*p != '\r' && *p != '\n') {
                ++p;
                continue;
            }
            if (!writer_.WriteRaw(piece, size_t(p - piece)) || !writer_.EndItemLine(space))
                return false;
            if (*p == '\r' && p + 1 < end && p[1] == '\n')
                p += 2;
            else
                ++p;
            const unsigned units = oneLine_ ? depth_ + 1 : 1;
            for (unsigned k = 0; k < units && p < end; ++k) {
                if (*p == '\t') {
                    ++p;
                } else if (*p == ' ') {
                    ++p;
                    if (p < end && *p == ' ')
                        ++p;
                } else {
                    break;
                }
            }
            piece = p;
        }
        return writer_.WriteRaw(piece, size_t(end - piece));
    }

    TVxXIniStreamWriter &writer_;
    bool oneLine_;
    unsigned depth_;
    bool done_;
};

TVxXIniStreamWriter::TVxXIniStreamWriter(VTVxStream stream, uint32_t options, unsigned char headerStyle)
    : stream_(std::move(stream)), depth_(0), oneLineDepth_(0), lineLength_(0), fill_(0), error_(false),
      closed_(false), closeResult_(false)
{
    if (!stream_)
        throw std::logic_error("@Null stream in TVxXIniStreamWriter");
    if (VxXIniOptionsGZip(options)) {
        const int level = VxXIniOptionsLevel(options);
        const unsigned layers = VxXIniOptionsLayers(options);
        for (unsigned i = 0; i < layers; ++i) {
            var_a<TVxGZipWriterChain> chain = make_var_a<TVxGZipWriterChain>(stream_);
            if (!chain->gzip.Open(&chain->guard, level))
                error_ = true;
            layers_.push_back(chain.get());
            stream_ = VTVxStream(chain.item(), &chain->gzip);
        }
    }
    buffer_.reset(new char[BufferSize]);

    // Failures here show in the error flag only.
    if (headerStyle == VxXIniHeaderFull || headerStyle == VxXIniHeaderDecl) {
        WriteRaw(VxXIniDeclaration, std::strlen(VxXIniDeclaration));
        EndItemLine(false);
    }
    if (headerStyle == VxXIniHeaderFull) {
        WriteRaw(VxXIniDoctype, std::strlen(VxXIniDoctype));
        EndItemLine(false);
    }
    WriteRaw(VxXIniRootStart, std::strlen(VxXIniRootStart));
    if (headerStyle == VxXIniHeaderOneLine)
        oneLineDepth_ = 1;
    else
        EndItemLine(false);
    SetDepth(1);
}

TVxXIniStreamWriter::~TVxXIniStreamWriter()
{
    try {
        CloseDocument();
    } catch (...) {
        // A destructor reports nothing; the caller who cares calls CloseDocument.
    }
}

// ---- bytes, lines and depth

void TVxXIniStreamWriter::SetDepth(uint32_t depth)
{
    depth_ = depth;
    indent_.assign(2 * size_t(oneLineDepth_ != 0 ? oneLineDepth_ : depth), ' ');
}

bool TVxXIniStreamWriter::Fail()
{
    error_ = true;
    return false;
}

bool TVxXIniStreamWriter::WriteRaw(const char *bytes, size_t length)
{
    if (length == 0)
        return true;
    if (lineLength_ == 0 && !indent_.empty()) {
        if (!BufferedWrite(indent_.data(), indent_.size()))
            return false;
        lineLength_ = uint32_t(indent_.size());
    }
    if (!BufferedWrite(bytes, length))
        return false;
    lineLength_ += uint32_t(length);
    return true;
}

bool TVxXIniStreamWriter::EndItemLine(bool space)
{
    if (lineLength_ == 0)
        return true;
    if (oneLineDepth_ != 0 && lineLength_ < indent_.size() + OneLineLimit)
        return space ? BufferedWrite(" ", 1) : true;
    if (!BufferedWrite("\n", 1))
        return false;
    lineLength_ = 0;
    return true;
}

bool TVxXIniStreamWriter::BufferedWrite(const char *bytes, size_t length)
{
    // A piece that exactly fills the buffer sends it at once.
    while (length >= BufferSize - fill_) {
        const size_t part = BufferSize - fill_;
        std::memcpy(buffer_.get() + fill_, bytes, part);
        fill_ = BufferSize;
        bytes += part;
        length -= part;
        if (!WriteOutBuffer())
            return false;
    }
    std::memcpy(buffer_.get() + fill_, bytes, length);
    fill_ += uint32_t(length);
    return true;
}

// Every answer but the full count is a failure, the error value included.
// Bytes the stream did take leave the buffer, so a retry cannot repeat them.
bool TVxXIniStreamWriter::WriteOutBuffer()
{
    const unsigned written = stream_->Write(buffer_.get(), fill_);
    if (written == fill_) {
        fill_ = 0;
        return true;
    }
    if (written != TVxStream::ErrorValue && written < fill_) {
        std::memmove(buffer_.get(), buffer_.get() + written, fill_ - written);
        fill_ -= written;
    }
    return Fail();
}

bool TVxXIniStreamWriter::FlushBuffer()
{
    if (closed_)
        return closeResult_;
    return fill_ == 0 || WriteOutBuffer();
}

// The innermost layer first: its member's end goes into the layer below,
// which is finished next.
bool TVxXIniStreamWriter::FinishLayers()
{
    bool ok = true;
    for (size_t i = layers_.size(); i > 0; --i)
        if (!layers_[i - 1]->Finish())
            ok = false;
    if (!ok)
        error_ = true;
    return ok;
}

bool TVxXIniStreamWriter::CloseDocument()
{
    if (closed_)
        return closeResult_;
    if (depth_ > 1)
        EndSections(1);
    SetDepth(0);
    bool ok = WriteRaw(VxXIniRootEnd, std::strlen(VxXIniRootEnd)) && EndItemLine(false) &&
              (fill_ == 0 || WriteOutBuffer());
    closed_ = true;
    if (!FinishLayers())
        ok = false;
    closeResult_ = ok && !error_;
    return closeResult_;
}

void TVxXIniStreamWriter::RaiseWriteError()
{
    RaiseXIniWriteError(stream_ ? stream_->getName() : std::string());
}

// ---- items

bool TVxXIniStreamWriter::CanNest() const
{
    return depth_ < VxXIniMaxDepth;
}

bool TVxXIniStreamWriter::WriteItemStart(char letter, const char *nameBegin, size_t nameLength)
{
    std::string text;
    text += '<';
    text += letter;
    if (nameLength != 0) {
        text += " n=\"";
        text += EncodeXmlEntities(nameBegin, nameLength, VxXIniEscapeMask);
        text += '"';
    }
    return WriteRaw(text);
}

bool TVxXIniStreamWriter::WriteEscapedValueItem(char letter, const char *nameBegin, size_t nameLength,
                                                const char *valueBegin, size_t valueLength)
{
    if (closed_)
        return false;
    std::string text(" v=\"");
    text += EncodeXmlEntities(valueBegin, valueLength, VxXIniEscapeMask);
    text += "\"/>";
    return WriteItemStart(letter, nameBegin, nameLength) && WriteRaw(text) && EndItemLine(false);
}

bool TVxXIniStreamWriter::WriteValueItem(char letter, const std::string &name, const std::string &valueText)
{
    return WriteEscapedValueItem(letter, name.data(), name.size(), valueText.data(), valueText.size());
}

bool TVxXIniStreamWriter::WriteBase64Item(const char *nameBegin, size_t nameLength, const char *textBegin,
                                          size_t textLength)
{
    if (closed_)
        return false;
    const std::string text = Base64CharsOnly(textBegin, textLength);
    if (!WriteItemStart('b', nameBegin, nameLength) || !WriteRaw(">", 1) || !EndItemLine(false))
        return false;
    SetDepth(depth_ + 1);
    bool ok = true;
    for (size_t pos = 0; ok && pos < text.size(); pos += VxXIniBase64LineLength) {
        const size_t length = std::min<size_t>(VxXIniBase64LineLength, text.size() - pos);
        ok = WriteRaw(text.data() + pos, length) && EndItemLine(false);
    }
    SetDepth(depth_ - 1);
    return ok && WriteRaw("</b>", 4) && EndItemLine(false);
}

bool TVxXIniStreamWriter::WriteComment(const std::string &text)
{
    if (closed_)
        return false;
    return WriteRaw("<!-- ", 5) && WriteRaw(BreakDashes(text)) && WriteRaw(" -->", 4) && EndItemLine(false);
}

bool TVxXIniStreamWriter::WriteInt32(const std::string &name, const int32_t &value)
{
    return WriteValueItem('i', name, VxXIniFormatInt32(value));
}

bool TVxXIniStreamWriter::WriteUInt32(const std::string &name, const uint32_t &value)
{
    return WriteValueItem('i', name, VxXIniFormatUInt32(value));
}

bool TVxXIniStreamWriter::WriteInt64(const std::string &name, const int64_t &value)
{
    return WriteValueItem('i', name, VxXIniFormatInt64(value));
}

bool TVxXIniStreamWriter::WriteUInt64(const std::string &name, const uint64_t &value)
{
    return WriteValueItem('i', name, VxXIniFormatUInt64(value));
}

bool TVxXIniStreamWriter::WriteFloat(const std::string &name, const float &value)
{
    return WriteValueItem('d', name, VxXIniFormatFloat(value));
}

bool TVxXIniStreamWriter::WriteDouble(const std::string &name, const double &value)
{
    return WriteValueItem('d', name, VxXIniFormatDouble(value));
}

bool TVxXIniStreamWriter::WriteString(const std::string &name, const std::string &value)
{
    return WriteValueItem('s', name, AnsiToUtf8(value));
}

bool TVxXIniStreamWriter::WriteHexInt32(const std::string &name, const int32_t &value)
{
    return WriteValueItem('i', name, VxXIniFormatHexInt32(value));
}

bool TVxXIniStreamWriter::WriteHexUInt32(const std::string &name, const uint32_t &value)
{
    return WriteValueItem('i', name, VxXIniFormatHexUInt32(value));
}

bool TVxXIniStreamWriter::WriteHexInt64(const std::string &name, const int64_t &value)
{
    return WriteValueItem('i', name, VxXIniFormatHexInt64(value));
}

bool TVxXIniStreamWriter::WriteHexUInt64(const std::string &name, const uint64_t &value)
{
    return WriteValueItem('i', name, VxXIniFormatHexUInt64(value));
}

bool TVxXIniStreamWriter::WriteBinary(const std::string &name, const std::string &bytes)
{
    const std::string text = Base64Encode(bytes);
    return WriteBase64Item(name.data(), name.size(), text.data(), text.size());
}

bool TVxXIniStreamWriter::WriteRawItem(unsigned char type, const char *nameBegin, const char *nameEnd,
                                       const char *valueBegin, const char *valueEnd)
{
    const size_t nameLength = size_t(nameEnd - nameBegin);
    const size_t valueLength = size_t(valueEnd - valueBegin);
    if (type == VxXIniBinary)
        return WriteBase64Item(nameBegin, nameLength, valueBegin, valueLength);
    return WriteEscapedValueItem(ValueLetter(type), nameBegin, nameLength, valueBegin, valueLength);
}

// Pieces end after every LF, every CR not followed by LF and every CR LF pair;
// each keeps its line end.
bool TVxXIniStreamWriter::WriteTextLines(const std::string &name, const std::string &text)
{
    const uint32_t depth = BeginSection(name);
    if (depth == 0)
        return false;
    size_t start = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\n' && text[i] != '\r')
            continue;
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
            ++i;
        if (!WriteString(std::string(), text.substr(start, i + 1 - start)))
            return false;
        start = i + 1;
    }
    if (start < text.size() && !WriteString(std::string(), text.substr(start)))
        return false;
    return EndSections(depth);
}

bool TVxXIniStreamWriter::WritePoint(const std::string &name, const double *values, unsigned count)
{
    if (closed_)
        return false;
    if (!CanNest())
        return Fail();
    std::string text(">");
    for (unsigned i = 0; i < count; ++i) {
        text += "<d v=\"";
        text += EncodeXmlEntities(VxXIniFormatDouble(values[i]), VxXIniEscapeMask);
        text += "\"/>";
    }
    text += "</x>";
    return WriteItemStart('x', name.data(), name.size()) && WriteRaw(text) && EndItemLine(false);
}

bool TVxXIniStreamWriter::WritePoint2(const std::string &name, double x, double y)
{
    const double values[] = {x, y};
    return WritePoint(name, values, 2);
}

bool TVxXIniStreamWriter::WritePoint3(const std::string &name, double x, double y, double z)
{
    const double values[] = {x, y, z};
    return WritePoint(name, values, 3);
}

// ---- sections

uint32_t TVxXIniStreamWriter::BeginSection(const std::string &name)
{
    if (closed_)
        return 0;
    if (!CanNest()) {
        Fail();
        return 0;
    }
    if (!WriteItemStart('x', name.data(), name.size()) || !WriteRaw(">", 1) || !EndItemLine(false))
        return 0;
    const uint32_t before = depth_;
    SetDepth(depth_ + 1);
    return before;
}

uint32_t TVxXIniStreamWriter::BeginSectionOneLine(const std::string &name)
{
    if (closed_)
        return 0;
    const uint32_t oldOneLineDepth = oneLineDepth_;
    if (oneLineDepth_ == 0)
        oneLineDepth_ = depth_ + 1;
    const uint32_t depth = BeginSection(name);
    if (depth == 0)
        oneLineDepth_ = oldOneLineDepth;
    return depth;
}

bool TVxXIniStreamWriter::EndSections(uint32_t depth)
{
    if (closed_)
        return false;
    if (depth < 1 || depth >= depth_)
        return Fail();
    while (depth_ > depth) {
        if (depth_ <= oneLineDepth_)
            oneLineDepth_ = 0;
        SetDepth(depth_ - 1);
        if (!WriteRaw("</x>", 4) || !EndItemLine(false))
            return false;
    }
    return true;
}

bool TVxXIniStreamWriter::EndSectionsOrRaise(uint32_t depth)
{
    if (!EndSections(depth))
        RaiseWriteError();
    return true;
}

void TVxXIniStreamWriter::SetOneLine(bool on)
{
    if (closed_)
        return;
    if (on) {
        if (oneLineDepth_ == 0)
            oneLineDepth_ = depth_;
        return;
    }
    if (oneLineDepth_ != 0 && oneLineDepth_ >= depth_) {
        oneLineDepth_ = 0;
        SetDepth(depth_);
        EndItemLine(false);
    }
}

// ---- copies and trees

bool TVxXIniStreamWriter::CopyXml(const std::string &text)
{
    if (closed_)
        return false;
    if (!VxXIniCheckText(text.data(), text.size()))
        return false;
    return CopyCheckedXml(text);
}

bool TVxXIniStreamWriter::CopyCheckedXml(const std::string &text)
{
    TVxXmlParserLow parser;
    const char *position = nullptr;
    size_t remaining = 0;
    TVxXmlCollIniQPre pre;
    parser.Parse(text.data(), text.size(), position, remaining, pre);
    if (!pre.contentPosition)
        return false;
    if (pre.emptyRoot)
        return true;

    TVxXmlCollIniQCopy copy(*this, oneLineDepth_ != 0);
    const char *end = text.data() + text.size();
    parser.Parse(pre.contentPosition, size_t(end - pre.contentPosition), position, remaining, copy);
    if (!copy.Done())
        return false;
    return EndItemLine(false);
}

bool TVxXIniStreamWriter::WriteSectionXml(const std::string &name, const std::string &text)
{
    if (closed_)
        return false;
    // Checked before the section opens, so a refused text leaves nothing behind.
    if (!VxXIniCheckText(text.data(), text.size()))
        return false;
    const uint32_t depth = BeginSection(name);
    if (depth == 0)
        return false;
    return CopyCheckedXml(text) && EndSections(depth);
}

bool TVxXIniStreamWriter::WriteSectionTree(const std::string &name, const TVxXIniTree &tree)
{
    const uint32_t depth = BeginSection(name);
    if (depth == 0)
        return false;
    return MergeXIni(tree) && EndSections(depth);
}

// Walks the tree with a list of open levels instead of recursion, so the
// depth of a tree costs no stack; the writer's nesting limit ends a tree that
// is deeper than any document may be.
bool TVxXIniStreamWriter::MergeXIni(const TVxXIniTree &tree)
{
    if (closed_)
        return false;
    struct TLevel {
        const TVxXIniTree *tree;
        size_t next;
        uint32_t depth; // what BeginSection returned; 0 for the tree itself
    };
    std::vector<TLevel> levels;
    levels.push_back(TLevel{&tree, 0, 0});
    bool invalid = false;
    while (!levels.empty()) {
        TLevel &level = levels.back();
        if (level.next >= level.tree->Count()) {
            const uint32_t depth = level.depth;
            levels.pop_back();
            if (depth != 0 && !EndSections(depth))
                return false;
            continue;
        }
        const TVxXIniTree::TItem &item = level.tree->Item(level.next++);
        switch (item.type) {
        case VxXIniSection: {
            if (!item.child)
                break;
            const uint32_t depth = BeginSection(item.name);
            if (depth == 0)
                return false;
            levels.push_back(TLevel{item.child.get(), 0, depth});
            break;
        }
        case VxXIniInteger:
        case VxXIniDouble:
        case VxXIniString:
            if (!WriteValueItem(ValueLetter(item.type), item.name, item.value))
                return false;
            break;
        case VxXIniBinary:
            if (!WriteBase64Item(item.name.data(), item.name.size(), item.value.data(), item.value.size()))
                return false;
            break;
        default:
            // Marked in the document, counted as a failure, and the merge goes on.
            if (!WriteComment(InvalidItemComment))
                return false;
            invalid = true;
            error_ = true;
            break;
        }
    }
    return !invalid;
}
