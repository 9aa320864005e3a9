#include "xini/VxXIniStreamReader.h"

#include <cstdlib>
#include <cstring>
#include <new>

#include "foundation/StringIds.h"
#include "foundation/VxGZip.h"
#include "foundation/VxMessage.h"
#include "foundation/VxProgress.h"
#include "foundation/VxStream.h"
#include "foundation/VxText.h"
#include "foundation/VxTrace.h"
#include "xini/VxXIniStreamWriter.h"
#include "xini/VxXIniTree.h"

// The whole document: its text and every item and section parsed from it.
// Members are destroyed in reverse order: sections, items, then the text.
struct TRootXIniSectionData {
    struct TText {
        char *data = nullptr;
        ~TText() { std::free(data); }
    };

    TText text;
    TFixStack<TVxXIniSectionQ::TItem> itemPool;
    TFixStack<TVxXIniSectionQ> sectionPool;
    bool error = false;
    TVxXIniSectionQ *root = nullptr;
};

namespace {

const char *const EmptyText = TVxXIniSectionQ::EmptyText;

const unsigned ReadChunk = 0x100000;
// Raw deflate cannot expand data by more than about 1032 to 1: gzip layers
// that unpack to more than that, all together, are damage, not data.
const unsigned MaxDeflateRatio = 1032;
// Never more than this is unpacked, whatever the ratio allows.
const size_t MaxUnpacked = 0x7FFFFFF0;

const char TraceCategory[] = "VxXIni";
const unsigned char TraceLevel = 5;

typedef TVxXIniSectionQ::TItem TItem;

bool NameEquals(const TItem *item, const char *begin, const char *end)
{
    return CompareRanges(item->nameBegin, item->NameEnd(), begin, end) == 0;
}

std::string Utf8Range(const char *begin, const char *end)
{
    return Utf8ToAnsi(std::string(begin, end));
}

// Value text in the system code page. ASCII reads the same in every ANSI
// code page, so text without other bytes skips the conversion; "{@" must still
// go through it, because the conversion escapes it.
std::string ToAnsi(const char *begin, const char *end)
{
    for (const char *p = begin; p < end; ++p)
        if (static_cast<unsigned char>(*p) >= 0x80 || (*p == '{' && p + 1 < end && p[1] == '@'))
            return Utf8ToAnsi(std::string(begin, end));
    return std::string(begin, end);
}

std::string ItemPiece(const TItem *item, unsigned index)
{
    std::string piece = "<";
    piece += VxXIniTypeLetter(item->type);
    piece += '#';
    piece += VxXIniFormatUInt32(index);
    if (item->nameBegin != item->NameEnd()) {
        piece += " \"";
        piece += Utf8Range(item->nameBegin, item->NameEnd());
        piece += '"';
    }
    piece += '>';
    return piece;
}

std::string PositionPiece(unsigned index)
{
    return "<#" + VxXIniFormatUInt32(index) + ">";
}

std::string SearchPiece(unsigned start, const std::string &ansiName)
{
    return "<#" + VxXIniFormatUInt32(start) + "+ \"" + ansiName + "\">";
}

// Thrown inside the loader; turned into the message of the load error.
struct TLoadError {
    Mirelta::TVxMessage message;
    bool wrap;        // wrap as 31020 with the name
    std::string name; // name in force
};

[[noreturn]] void FailLoad(unsigned id, const std::string &name, bool wrap)
{
    TLoadError error{Mirelta::TVxMessage(id), wrap, name};
    if (!wrap && id == IDS_READ_ERROR)
        error.message << name;
    throw error;
}

// Reads the stream in chunks of 1 MiB into buffer; a failed chunk counts as
// no bytes, the first short chunk ends the reading.
unsigned ReadStreamWhole(TVxStream *stream, char *buffer, unsigned size, TVxProgress &progress,
                         double from, double to)
{
    unsigned done = 0;
    while (done < size) {
        unsigned want = size - done < ReadChunk ? size - done : ReadChunk;
        unsigned got = stream->Read(buffer + done, want);
        if (got == 0xFFFFFFFF)
            got = 0;
        done += got;
        if (progress.IsActive())
            progress.SetPosition(from + (to - from) * double(done) / double(size));
        if (got < want)
            break;
    }
    return done;
}

// How a gzip layer was read.
enum class TUnpack {
    Complete, // to the end, at least the announced size
    Short,    // ended before the announced size
    Damaged,  // the gzip reader failed
    TooLarge, // more than the limit
};

// Reads a gzip layer until the reader ends. The announced size only sizes the
// first buffer: concatenated members give more, and the buffer grows, but
// never beyond limit bytes; the reading stops as soon as the data pass it.
// Throws std::bad_alloc when memory runs out. buffer holds length bytes and
// room for one more in every case (the caller frees it).
TUnpack ReadGZipWhole(TVxGZipReader &reader, unsigned announced, size_t limit, char *&buffer, size_t &length,
                      TVxProgress &progress, double from, double to)
{
    size_t capacity = announced;
    buffer = static_cast<char *>(std::malloc(capacity + 1));
    if (!buffer)
        throw std::bad_alloc();
    length = 0;
    char probe[4096];
    for (;;) {
        if (length == capacity) {
            // Full: is there more?
            unsigned got = reader.Read(probe, sizeof probe);
            if (got == 0xFFFFFFFF)
                return TUnpack::Damaged;
            if (got == 0)
                break;
            if (got > limit - length)
                return TUnpack::TooLarge;
            size_t grown = capacity < 0x10000 ? 0x20000 : capacity * 2;
            if (grown > limit)
                grown = limit;
            char *bigger = static_cast<char *>(std::realloc(buffer, grown + 1));
            if (!bigger)
                throw std::bad_alloc();
            buffer = bigger;
            capacity = grown;
            std::memcpy(buffer + length, probe, got);
            length += got;
            if (got < sizeof probe)
                break;
            continue;
        }
        size_t room = capacity - length;
        unsigned want = room < ReadChunk ? unsigned(room) : ReadChunk;
        unsigned got = reader.Read(buffer + length, want);
        if (got == 0xFFFFFFFF)
            return TUnpack::Damaged;
        length += got;
        if (progress.IsActive() && announced)
            progress.SetPosition(from + (to - from) * (length < announced ? double(length) / announced : 1.0));
        if (got < want)
            break;
    }
    return length >= announced ? TUnpack::Complete : TUnpack::Short;
}

// Section loader: the reading side of the x-ini grammar. Any breach stops the
// scan with done false.
class TVxXmlCollIniQ : public TVxXmlColl {
public:
    TVxXmlCollIniQ(const std::vector<TVxXIniSectionQ *> &chain, unsigned targetIndex,
                   const char *nameBegin, const char *nameEnd)
        : chain_(chain), section_(chain.front()), targetIndex_(targetIndex), nameBegin_(nameBegin),
          nameEnd_(nameEnd), found_(false), bItem_(nullptr), skipDepth_(unsigned(chain.size() - 1)),
          chainDepth_(skipDepth_), expected_('x'), done_(false)
    {
    }

    bool Done() const { return done_; }

    // After a failed scan: a b item whose end tag was never reached has only
    // part of its value, so it belongs to the broken rest of the section
    // rather than to its items. (It is always the section's last item: no
    // item is added while the scan is inside one.)
    void DropUnfinished()
    {
        if (bItem_)
            section_->items.pop_back();
        bItem_ = nullptr;
    }

    bool OnText(const char *begin, const char *end) override { return Text(begin, end, true); }

    bool OnCData(const char *, const char *, const char *contentBegin, const char *contentEnd) override
    {
        return Text(contentBegin, contentEnd, false);
    }

    bool OnStartTag(const char *, const char *tagEnd, const char *nameBegin, const char *nameEnd,
                    const TVxXmlParserLow &parser) override
    {
        return Element(tagEnd, nameBegin, nameEnd, parser, false);
    }

    bool OnEmptyTag(const char *, const char *tagEnd, const char *nameBegin, const char *nameEnd,
                    const TVxXmlParserLow &parser) override
    {
        return Element(tagEnd, nameBegin, nameEnd, parser, true);
    }

    bool OnEndTag(const char *, const char *tagEnd, const char *nameBegin, const char *nameEnd) override;

private:
    bool Element(const char *tagEnd, const char *nameBegin, const char *nameEnd,
                 const TVxXmlParserLow &parser, bool empty);
    bool Text(const char *begin, const char *end, bool decode);
    void EndBinary();

    const std::vector<TVxXIniSectionQ *> &chain_;
    TVxXIniSectionQ *section_;
    unsigned targetIndex_;
    const char *nameBegin_;
    const char *nameEnd_;
    bool found_;
    TItem *bItem_;
    unsigned skipDepth_;
    unsigned chainDepth_; // depth down to which the scan is still inside the chain
    char expected_;
    bool done_;
};

// Decodes an attribute value in place and ends it with a zero byte.
const char *DecodeAttribute(const TVxXmlAttrData *attr, uint32_t &length)
{
    if (!attr) {
        length = 0;
        return EmptyText;
    }
    char *text = const_cast<char *>(attr->valueBegin);
    size_t decoded = DecodeXmlEntities(text, size_t(attr->valueEnd - attr->valueBegin), text);
    text[decoded] = 0;
    length = uint32_t(decoded);
    return text;
}

bool TVxXmlCollIniQ::Element(const char *tagEnd, const char *nameBegin, const char *nameEnd,
                             const TVxXmlParserLow &parser, bool empty)
{
    if (nameEnd - nameBegin != 1)
        return false;
    const char letter = *nameBegin;
    const TE_VxXIniItemType type = VxXIniTypeFromLetter(letter);
    if (type == VxXIniNone)
        return false;

    if (skipDepth_ > 0) {
        // Inside the content of one of this section's elements: only x holds
        // elements; their attributes are the business of their own section.
        if (expected_ != 'x')
            return false;
        if (!empty) {
            ++skipDepth_;
            expected_ = letter;
        }
        return true;
    }

    const TVxXmlAttrData *n = nullptr;
    const TVxXmlAttrData *v = nullptr;
    for (size_t i = 0; i < parser.AttrCount(); ++i) {
        const TVxXmlAttrData &attr = parser.Attr(i);
        if (attr.nameEnd - attr.nameBegin != 1)
            return false;
        if (*attr.nameBegin == 'n' && !n) {
            n = &attr;
        } else if (*attr.nameBegin == 'v' && !v && type != VxXIniSection && type != VxXIniBinary) {
            v = &attr;
        } else {
            return false;
        }
    }
    if (!v && type != VxXIniSection && type != VxXIniBinary)
        return false;
    if (type == VxXIniSection && section_->level + 1 >= VxXIniMaxDepth)
        return false; // nested beyond the limit

    TItem *item = section_->itemPool->Push();
    item->type = type;
    item->nameBegin = DecodeAttribute(n, item->nameLength);
    item->value = DecodeAttribute(v, item->valueLength);
    const unsigned index = unsigned(section_->items.size());
    if (section_->items.empty())
        section_->items.reserve(8);
    section_->items.push_back(item);

    if (type == VxXIniSection) {
        TVxXIniSectionQ *child =
            section_->sectionPool->Push(section_, index, section_->itemPool, section_->sectionPool);
        item->child = child;
        if (!empty) {
            child->resume = tagEnd;
            section_->skipping = child;
        }
    } else if (type == VxXIniBinary && !empty) {
        bItem_ = item;
    }

    if (section_->items.size() > targetIndex_ && (!nameBegin_ || NameEquals(item, nameBegin_, nameEnd_))) {
        if (empty || type == VxXIniSection) {
            done_ = true;
            section_->resume = tagEnd;
            return false;
        }
        found_ = true;
    }
    if (!empty) {
        ++skipDepth_;
        expected_ = letter;
    }
    return true;
}

bool TVxXmlCollIniQ::OnEndTag(const char *, const char *tagEnd, const char *nameBegin, const char *nameEnd)
{
    if (skipDepth_ > 0) {
        if (nameEnd - nameBegin != 1 || *nameBegin != expected_)
            return false;
        --skipDepth_;
        expected_ = 'x';
        if (skipDepth_ < chainDepth_) {
            // A section of the skip chain ends: its parent goes on after it.
            chainDepth_ = skipDepth_;
            TVxXIniSectionQ *parent = chain_[skipDepth_];
            parent->resume = tagEnd;
            parent->skipping = nullptr;
        }
        if (skipDepth_ == 0) {
            EndBinary();
            section_->resume = tagEnd;
            section_->skipping = nullptr;
            if (found_) {
                done_ = true;
                return false;
            }
        }
        return true;
    }

    const bool own = section_->parent ? (nameEnd - nameBegin == 1 && *nameBegin == 'x')
                                      : CompareRange(nameBegin, nameEnd, VxXIniRootName) == 0;
    if (!own)
        return false;
    done_ = true;
    section_->resume = nullptr;
    section_->skipping = nullptr;
    TVxXIniSectionQ *parent = section_->parent;
    if (parent && parent->skipping == section_) {
        parent->skipping = nullptr;
        parent->resume = tagEnd;
    }
    return false;
}

bool TVxXmlCollIniQ::Text(const char *begin, const char *end, bool decode)
{
    if (!bItem_)
        return true;
    char *piece = const_cast<char *>(begin);
    size_t length = size_t(end - begin);
    if (decode)
        length = DecodeXmlEntities(piece, length, piece);
    if (bItem_->valueLength == 0)
        bItem_->value = piece;
    // Kept bytes move down in place; everything below has been scanned.
    char *const kept = const_cast<char *>(bItem_->value);
    char *out = kept + bItem_->valueLength;
    for (size_t i = 0; i < length; ++i)
        if (IsBase64Char(static_cast<unsigned char>(piece[i])))
            *out++ = piece[i];
    bItem_->valueLength = uint32_t(out - kept);
    return true;
}

void TVxXmlCollIniQ::EndBinary()
{
    if (!bItem_)
        return;
    if (bItem_->value != EmptyText)
        const_cast<char *>(bItem_->value)[bItem_->valueLength] = 0;
    bItem_ = nullptr;
}

} // namespace

// ---- TVxXIniSectionQ

const char TVxXIniSectionQ::EmptyText[1] = "";

TVxXIniSectionQ::TVxXIniSectionQ(TVxXIniSectionQ *parentSection, unsigned index,
                                 TFixStack<TItem> *items_, TFixStack<TVxXIniSectionQ> *sections)
    : parent(parentSection), indexInParent(index), level(parentSection ? parentSection->level + 1 : 0),
      itemPool(items_), sectionPool(sections), resume(nullptr), skipping(nullptr), broken(false)
{
}

unsigned TVxXIniSectionQ::CountByName(const char *begin, const char *end) const
{
    unsigned count = 0;
    for (const TItem *item : items)
        if (NameEquals(item, begin, end))
            ++count;
    return count;
}

unsigned TVxXIniSectionQ::FindByName(const char *begin, const char *end, unsigned start) const
{
    for (size_t i = start; i < items.size(); ++i)
        if (NameEquals(items[i], begin, end))
            return unsigned(i);
    return VxXIniNotFound;
}

// ---- Pre-scan

bool TVxXmlCollIniQPre::OnStartTag(const char *, const char *tagEnd, const char *nameBegin,
                                   const char *nameEnd, const TVxXmlParserLow &)
{
    if (CompareRange(nameBegin, nameEnd, VxXIniRootName) == 0)
        contentPosition = tagEnd;
    return false;
}

bool TVxXmlCollIniQPre::OnEndTag(const char *, const char *, const char *, const char *)
{
    return false;
}

bool TVxXmlCollIniQPre::OnEmptyTag(const char *, const char *tagEnd, const char *nameBegin,
                                   const char *nameEnd, const TVxXmlParserLow &)
{
    if (CompareRange(nameBegin, nameEnd, VxXIniRootName) == 0) {
        contentPosition = tagEnd;
        emptyRoot = true;
    }
    return false;
}

// ---- Loading

TVxXIniStreamReader::TVxXIniStreamReader(const VTVxStream &stream, bool throwOnError,
                                         TVxProgressHandler *progress)
    : errorFlag_(nullptr), textBegin_(EmptyText), textLength_(0), current_(nullptr), level_(0)
{
    if (stream)
        name_ = stream->getName();
    Load(stream, throwOnError, progress);
}

TVxXIniStreamReader::~TVxXIniStreamReader() {}

void TVxXIniStreamReader::Load(const VTVxStream &stream, bool throwOnError, TVxProgressHandler *handler)
{
    var_a<TRootXIniSectionData> data = make_var_a<TRootXIniSectionData>();
    TRootXIniSectionData *root = data.get();
    TVxXIniSectionQ *rootSection = root->sectionPool.Push(nullptr, 0, &root->itemPool, &root->sectionPool);
    root->root = rootSection;
    root_ = var_a<TVxXIniSectionQ>(data.item(), rootSection);
    errorFlag_ = &root->error;
    current_ = rootSection;

    TVxProgress progress(handler);
    progress.Begin();
    std::string currentName = name_;
    try {
        // The stream, whole.
        if (!stream)
            FailLoad(IDS_STREAM_READ_ERROR, currentName, false);
        const unsigned readError = currentName.empty() ? IDS_STREAM_READ_ERROR : IDS_READ_ERROR;
        TVxStream *source = stream.get();
        source->setPosition(0);
        unsigned size = source->getSize();
        if (size == 0xFFFFFFFF)
            FailLoad(readError, currentName, false);
        char *buffer = static_cast<char *>(std::malloc(size_t(size) + 1));
        if (!buffer)
            FailLoad(readError, currentName, false);
        root->text.data = buffer;
        if (ReadStreamWhole(source, buffer, size, progress, 0.0, 0.5) < size)
            FailLoad(readError, currentName, false);
        buffer[size] = 0;
        size_t length = size;
        if (progress.IsActive())
            progress.SetPosition(0.5);

        // Gzip layers, at most as many as the writer makes. What all of them
        // unpack together is bounded by what deflate can make of the stored
        // bytes, so that layers cannot multiply the bound.
        double from = 0.5;
        unsigned layers = 0;
        const unsigned long long bound = (unsigned long long)length * MaxDeflateRatio + 1024;
        size_t budget = bound < MaxUnpacked ? size_t(bound) : MaxUnpacked;
        while (length >= 2 && std::memcmp(root->text.data, GZipMagic(), 2) == 0) {
            if (layers == VxXIniMaxGZipLayers || length >= 0xFFFFFFFF)
                FailLoad(IDS_GZIP_FORMAT_ERROR, currentName, true);
            ++layers;
            TVxFixedMemStream packed(root->text.data, unsigned(length), TVxFixedMemStream::omRead, currentName);
            TVxGZipReader unpacker;
            if (!unpacker.Open(&packed, nullptr))
                FailLoad(IDS_GZIP_FORMAT_ERROR, currentName, true);
            unsigned announced = unpacker.getSize();
            if (announced == 0xFFFFFFFF || announced > budget)
                FailLoad(IDS_GZIP_FORMAT_ERROR, currentName, true);
            const double mid = (from + 0.95) / 2;
            char *unpacked = nullptr;
            size_t unpackedLength = 0;
            TUnpack result = TUnpack::Damaged;
            try {
                result = ReadGZipWhole(unpacker, announced, budget, unpacked, unpackedLength, progress, from, mid);
            } catch (const std::bad_alloc &) {
                std::free(unpacked);
                FailLoad(IDS_GZIP_READ_ERROR, unpacker.getName(), true);
            }
            std::free(root->text.data);
            root->text.data = unpacked;
            unpacked[unpackedLength] = 0;
            length = unpackedLength;
            if (result == TUnpack::TooLarge)
                FailLoad(IDS_GZIP_FORMAT_ERROR, currentName, true);
            if (result != TUnpack::Complete)
                FailLoad(IDS_GZIP_READ_ERROR, unpacker.getName(), true);
            budget -= unpackedLength;
            from = mid;
            if (progress.IsActive())
                progress.SetPosition(from);
            currentName = unpacker.getName();
        }

        // The root.
        TVxXmlParserLow scanner;
        TVxXmlCollIniQPre pre;
        const char *position = nullptr;
        size_t remaining = 0;
        {
            var_a<TVxProgressHandler> part = progress.SubRange(from, 1.0, 5, 3);
            scanner.ParseWithProgress(root->text.data, length, position, remaining, pre, part.get());
        }
        if (!pre.contentPosition)
            FailLoad(IDS_XINI_FORMAT_ERROR, currentName, true);
        textBegin_ = root->text.data;
        textLength_ = length;
        rootSection->resume = pre.emptyRoot ? nullptr : pre.contentPosition;
        if (progress.IsActive())
            progress.SetPosition(1.0);
        progress.End();
    } catch (TLoadError &error) {
        Mirelta::TVxMessage message = error.message;
        if (error.wrap && !error.name.empty())
            message = Mirelta::TVxMessage(IDS_READ_ERROR_DETAIL) << error.name << error.message;
        progress.End();
        if (throwOnError)
            throw message;
        TraceLog(GetTraceLog(), TraceCategory, message.Text(), TraceLevel, 0);
        textBegin_ = EmptyText;
        textLength_ = 0;
        rootSection->resume = nullptr;
        rootSection->broken = true;
        root->error = true;
    }
}

bool TVxXIniStreamReader::LoadSectionPart(TVxXIniSectionQ *section, unsigned targetIndex,
                                          const char *nameBegin, const char *nameEnd)
{
    if (!section->resume)
        return !section->broken;
    std::vector<TVxXIniSectionQ *> &chain = chain_;
    chain.assign(1, section);
    while (chain.back()->skipping)
        chain.push_back(chain.back()->skipping);
    const char *start = chain.back()->resume;
    const char *end = textBegin_ + textLength_;

    TVxXmlCollIniQ loader(chain, targetIndex, nameBegin, nameEnd);
    if (start) {
        const char *position = nullptr;
        size_t remaining = 0;
        parser_.Parse(start, size_t(end - start), position, remaining, loader);
        if (loader.Done())
            return true;
        loader.DropUnfinished();
    }

    Mirelta::TVxMessage failure = Mirelta::TVxMessage(IDS_XINI_FORMAT_ERROR_AT) << Prefixed(LastLoadedPath(section));
    TraceLog(GetTraceLog(), TraceCategory, failure.Text(), TraceLevel, 0);
    for (TVxXIniSectionQ *s = section;;) {
        TVxXIniSectionQ *parent = s->parent;
        s->resume = nullptr;
        s->skipping = nullptr;
        s->broken = true;
        if (!parent || parent->skipping != s)
            break;
        s = parent;
    }
    *errorFlag_ = true;
    return false;
}

void TVxXIniStreamReader::LoadWhole(TVxXIniSectionQ *section)
{
    if (section->resume)
        LoadSectionPart(section, VxXIniNotFound);
}

// ---- Lookups

TItem *TVxXIniStreamReader::FindItemLoading(TVxXIniSectionQ *section, unsigned index)
{
    if (index < section->items.size())
        return section->items[index];
    if (!section->resume)
        return nullptr;
    LoadSectionPart(section, index);
    return index < section->items.size() ? section->items[index] : nullptr;
}

TItem *TVxXIniStreamReader::FindItemLoadingRequired(TVxXIniSectionQ *section, unsigned index)
{
    TItem *item = FindItemLoading(section, index);
    if (!item && section->broken)
        RaiseBroken(section, PositionPiece(index));
    return item;
}

TItem *TVxXIniStreamReader::FindValueItem(TVxXIniSectionQ *section, unsigned index)
{
    TItem *item = FindItemLoading(section, index);
    if (item && item->type == VxXIniSection) {
        item = FindItemLoading(item->child, 0);
        if (item && item->type == VxXIniSection)
            return nullptr;
    }
    return item;
}

TItem *TVxXIniStreamReader::FindValueItemRequired(TVxXIniSectionQ *section, unsigned index)
{
    TItem *item = FindItemLoadingRequired(section, index);
    if (item && item->type == VxXIniSection) {
        item = FindItemLoadingRequired(item->child, 0);
        if (item && item->type == VxXIniSection)
            return nullptr;
    }
    return item;
}

TItem *TVxXIniStreamReader::Lookup(TVxXIniSectionQ *section, unsigned index, bool required)
{
    return required ? FindItemLoadingRequired(section, index) : FindItemLoading(section, index);
}

// ---- Paths and messages

std::string TVxXIniStreamReader::Prefixed(const std::string &path) const
{
    return name_.empty() ? path : name_ + ":" + path;
}

std::string TVxXIniStreamReader::AncestorPath(const TVxXIniSectionQ *section) const
{
    std::vector<std::string> pieces;
    for (const TVxXIniSectionQ *s = section; s->parent; s = s->parent)
        pieces.push_back(ItemPiece(s->parent->items[s->indexInParent], s->indexInParent));
    std::string path;
    for (size_t i = pieces.size(); i > 0; --i) {
        path += pieces[i - 1];
        path += ' ';
    }
    return path;
}

std::string TVxXIniStreamReader::LastLoadedPath(const TVxXIniSectionQ *section) const
{
    while (!section->items.empty() && section->items.back()->type == VxXIniSection)
        section = section->items.back()->child;
    if (section->items.empty())
        return AncestorPath(section) + "<#0+>";
    unsigned last = unsigned(section->items.size() - 1);
    return AncestorPath(section) + ItemPiece(section->items[last], last);
}

std::string TVxXIniStreamReader::RequestPiece(TVxXIniSectionQ *section, unsigned index) const
{
    return index < section->items.size() ? ItemPiece(section->items[index], index) : PositionPiece(index);
}

void TVxXIniStreamReader::Raise(const TVxXIniSectionQ *section, const std::string &piece,
                                const Mirelta::TVxMessage &inner)
{
    throw Mirelta::TVxMessage(IDS_READ_ERROR_DETAIL) << Prefixed(AncestorPath(section) + piece) << inner;
}

void TVxXIniStreamReader::RaiseBroken(const TVxXIniSectionQ *section, const std::string &piece)
{
    Raise(section, piece, Mirelta::TVxMessage(IDS_XINI_FORMAT_ERROR_AT) << Prefixed(LastLoadedPath(section)));
}

void TVxXIniStreamReader::RaiseNotFound(const TVxXIniSectionQ *section, const std::string &piece)
{
    Raise(section, piece, Mirelta::TVxMessage(IDS_ITEM_NOT_FOUND));
}

void TVxXIniStreamReader::RaiseType(const TVxXIniSectionQ *section, const std::string &piece, const char *word)
{
    Raise(section, piece, Mirelta::TVxMessage(IDS_TYPE_MISMATCH) << word);
}

void TVxXIniStreamReader::RaiseItemError(unsigned index, const std::string &text)
{
    FindItemLoading(current_, index);
    throw Mirelta::TVxMessage(IDS_READ_ERROR_DETAIL) << Prefixed(AncestorPath(current_) + RequestPiece(current_, index))
                                                     << text;
}

// ---- Counting and searching

unsigned TVxXIniStreamReader::Count()
{
    LoadWhole(current_);
    return unsigned(current_->items.size());
}

unsigned TVxXIniStreamReader::CountRequired()
{
    LoadWhole(current_);
    if (current_->broken)
        RaiseBroken(current_, PositionPiece(unsigned(current_->items.size())));
    return unsigned(current_->items.size());
}

unsigned TVxXIniStreamReader::CountByName(const char *name, size_t nameLength)
{
    LoadWhole(current_);
    return current_->CountByName(name, name + nameLength);
}

unsigned TVxXIniStreamReader::CountByNameRequired(const char *name, size_t nameLength)
{
    LoadWhole(current_);
    if (current_->broken)
        RaiseBroken(current_, SearchPiece(unsigned(current_->items.size()), Utf8Range(name, name + nameLength)));
    return current_->CountByName(name, name + nameLength);
}

unsigned TVxXIniStreamReader::Find(const char *name, size_t nameLength, unsigned start)
{
    const char *nameEnd = name + nameLength;
    unsigned index = current_->FindByName(name, nameEnd, start);
    if (index != VxXIniNotFound || !current_->resume)
        return index;
    unsigned former = unsigned(current_->items.size());
    LoadSectionPart(current_, start, name, nameEnd);
    return current_->FindByName(name, nameEnd, start > former ? start : former);
}

unsigned TVxXIniStreamReader::FindRequired(const char *name, size_t nameLength, unsigned start)
{
    unsigned index = Find(name, nameLength, start);
    if (index != VxXIniNotFound)
        return index;
    std::string piece = SearchPiece(start, Utf8Range(name, name + nameLength));
    if (current_->broken)
        RaiseBroken(current_, piece);
    RaiseNotFound(current_, piece);
}

bool TVxXIniStreamReader::Exists(unsigned index)
{
    return FindItemLoading(current_, index) != nullptr;
}

bool TVxXIniStreamReader::ExistsRequired(unsigned index)
{
    TItem *item = FindItemLoading(current_, index);
    if (current_->broken)
        RaiseBroken(current_, PositionPiece(unsigned(current_->items.size())));
    return item != nullptr;
}

TE_VxXIniItemType TVxXIniStreamReader::GetType(unsigned index)
{
    TItem *item = FindItemLoading(current_, index);
    return item ? TE_VxXIniItemType(item->type) : VxXIniNone;
}

TE_VxXIniItemType TVxXIniStreamReader::GetTypeRequired(unsigned index)
{
    return TE_VxXIniItemType(RequiredItem(index)->type);
}

std::string TVxXIniStreamReader::GetName(unsigned index)
{
    TItem *item = FindItemLoading(current_, index);
    return item ? std::string(item->nameBegin, item->NameEnd()) : std::string();
}

std::string TVxXIniStreamReader::GetNameRequired(unsigned index)
{
    TItem *item = RequiredItem(index);
    return std::string(item->nameBegin, item->NameEnd());
}

TItem *TVxXIniStreamReader::RequiredItem(unsigned index)
{
    TItem *item = FindItemLoadingRequired(current_, index);
    if (!item)
        RaiseNotFound(current_, PositionPiece(index));
    return item;
}

// ---- Sections

unsigned TVxXIniStreamReader::OpenSection(unsigned index)
{
    TItem *item = FindItemLoading(current_, index);
    if (!item || item->type != VxXIniSection)
        return 0;
    current_ = item->child;
    return ++level_;
}

unsigned TVxXIniStreamReader::OpenSectionRequired(unsigned index)
{
    TItem *item = RequiredItem(index);
    if (item->type != VxXIniSection)
        RaiseType(current_, ItemPiece(item, index), "section");
    current_ = item->child;
    return ++level_;
}

bool TVxXIniStreamReader::CloseSection(unsigned level)
{
    if (level == 0 || level > level_)
        return false;
    while (level_ >= level) {
        current_ = current_->parent;
        --level_;
    }
    return true;
}

void TVxXIniStreamReader::CloseSectionRequired(unsigned level)
{
    if (!CloseSection(level))
        Raise(current_, SearchPiece(level, "*"), Mirelta::TVxMessage(IDS_WRONG_LEVEL));
}

// ---- Numbers

namespace {

template <class T>
struct TNumberRule;

template <>
struct TNumberRule<int32_t> {
    static bool Parse(const char *text, int32_t &value) { return VxXIniParseInt32(text, value); }
    static const char *Word() { return "int"; }
};

template <>
struct TNumberRule<uint32_t> {
    static bool Parse(const char *text, uint32_t &value) { return VxXIniParseUInt32(text, value); }
    static const char *Word() { return "uint"; }
};

template <>
struct TNumberRule<int64_t> {
    static bool Parse(const char *text, int64_t &value) { return VxXIniParseInt64(text, value); }
    static const char *Word() { return "int64"; }
};

template <>
struct TNumberRule<uint64_t> {
    static bool Parse(const char *text, uint64_t &value) { return VxXIniParseUInt64(text, value); }
    static const char *Word() { return "uint64"; }
};

template <>
struct TNumberRule<double> {
    static bool Parse(const char *text, double &value) { return VxXIniParseDouble(text, value); }
    static const char *Word() { return "double"; }
};

} // namespace

template <class T>
T TVxXIniStreamReader::GetNumber(unsigned index, T defaultValue)
{
    TItem *item = FindValueItem(current_, index);
    T value = T();
    if (!item || !TNumberRule<T>::Parse(item->ValueBegin(), value))
        return defaultValue;
    return value;
}

template <class T>
T TVxXIniStreamReader::GetNumberRequired(unsigned index)
{
    TItem *item = FindValueItemRequired(current_, index);
    if (!item)
        RaiseNotFound(current_, RequestPiece(current_, index));
    T value = T();
    if (!TNumberRule<T>::Parse(item->ValueBegin(), value))
        RaiseType(current_, RequestPiece(current_, index), TNumberRule<T>::Word());
    return value;
}

int32_t TVxXIniStreamReader::GetInt(unsigned index, int32_t defaultValue)
{
    return GetNumber<int32_t>(index, defaultValue);
}

int32_t TVxXIniStreamReader::GetIntRequired(unsigned index)
{
    return GetNumberRequired<int32_t>(index);
}

uint32_t TVxXIniStreamReader::GetUInt(unsigned index, uint32_t defaultValue)
{
    return GetNumber<uint32_t>(index, defaultValue);
}

uint32_t TVxXIniStreamReader::GetUIntRequired(unsigned index)
{
    return GetNumberRequired<uint32_t>(index);
}

int64_t TVxXIniStreamReader::GetInt64(unsigned index, int64_t defaultValue)
{
    return GetNumber<int64_t>(index, defaultValue);
}

int64_t TVxXIniStreamReader::GetInt64Required(unsigned index)
{
    return GetNumberRequired<int64_t>(index);
}

uint64_t TVxXIniStreamReader::GetUInt64(unsigned index, uint64_t defaultValue)
{
    return GetNumber<uint64_t>(index, defaultValue);
}

uint64_t TVxXIniStreamReader::GetUInt64Required(unsigned index)
{
    return GetNumberRequired<uint64_t>(index);
}

double TVxXIniStreamReader::GetDouble(unsigned index, double defaultValue)
{
    return GetNumber<double>(index, defaultValue);
}

double TVxXIniStreamReader::GetDoubleRequired(unsigned index)
{
    return GetNumberRequired<double>(index);
}

// ---- Text and binary

std::string TVxXIniStreamReader::CollectText(TItem *item, bool required)
{
    if (item->type != VxXIniSection)
        return ToAnsi(item->ValueBegin(), item->ValueEnd());
    // Depth-first without recursion: a frame per open section.
    struct TFrame {
        TVxXIniSectionQ *section;
        unsigned next;
    };
    std::vector<TFrame> stack(1, TFrame{item->child, 0});
    std::string utf8;
    while (!stack.empty()) {
        TFrame &frame = stack.back();
        TItem *child = Lookup(frame.section, frame.next, required);
        if (!child) {
            stack.pop_back();
            continue;
        }
        ++frame.next;
        if (child->type == VxXIniSection)
            stack.push_back(TFrame{child->child, 0});
        else
            utf8.append(child->ValueBegin(), child->ValueEnd());
    }
    return ToAnsi(utf8.data(), utf8.data() + utf8.size());
}

std::string TVxXIniStreamReader::GetText(unsigned index, const std::string &defaultValue)
{
    TItem *item = FindItemLoading(current_, index);
    return item ? CollectText(item, false) : defaultValue;
}

std::string TVxXIniStreamReader::GetTextRequired(unsigned index)
{
    return CollectText(RequiredItem(index), true);
}

std::string TVxXIniStreamReader::GetBinary(unsigned index, const std::string &defaultValue)
{
    TItem *item = FindItemLoading(current_, index);
    if (!item || item->type != VxXIniBinary)
        return defaultValue;
    return Base64Decode(item->ValueBegin(), unsigned(item->ValueEnd() - item->ValueBegin()));
}

std::string TVxXIniStreamReader::GetBinaryRequired(unsigned index)
{
    TItem *item = RequiredItem(index);
    if (item->type != VxXIniBinary)
        RaiseType(current_, ItemPiece(item, index), "binary");
    return Base64Decode(item->ValueBegin(), unsigned(item->ValueEnd() - item->ValueBegin()));
}

// ---- Whole sections

bool TVxXIniStreamReader::ExportSection(TVxXIniSectionQ *section, bool required, std::string &text)
{
    var_a<TVxStringStream> target = make_var_a<TVxStringStream>();
    bool ok = true;
    {
        TVxXIniStreamWriter writer(target, 0, VxXIniHeaderFull);
        struct TFrame {
            TVxXIniSectionQ *section;
            unsigned next;
            uint32_t depth; // what BeginSection returned; 0 for the exported section
        };
        std::vector<TFrame> stack(1, TFrame{section, 0, 0});
        while (ok && !stack.empty()) {
            TFrame &frame = stack.back();
            TItem *item = Lookup(frame.section, frame.next, required);
            if (!item) {
                if (frame.depth)
                    ok = writer.EndSections(frame.depth);
                stack.pop_back();
                continue;
            }
            ++frame.next;
            if (item->type == VxXIniSection) {
                uint32_t depth = writer.BeginSection(std::string(item->nameBegin, item->NameEnd()));
                if (!depth)
                    ok = false;
                else
                    stack.push_back(TFrame{item->child, 0, depth});
            } else {
                ok = writer.WriteRawItem(item->type, item->nameBegin, item->NameEnd(), item->ValueBegin(),
                                         item->ValueEnd());
            }
        }
        if (!writer.CloseDocument())
            ok = false;
    }
    if (ok)
        text = target->getText();
    return ok;
}

std::string TVxXIniStreamReader::GetSectionXml(unsigned index)
{
    TItem *item = FindItemLoading(current_, index);
    std::string text;
    if (!item || item->type != VxXIniSection || !ExportSection(item->child, false, text))
        return std::string();
    return text;
}

std::string TVxXIniStreamReader::GetSectionXmlRequired(unsigned index)
{
    TItem *item = RequiredItem(index);
    if (item->type != VxXIniSection)
        RaiseType(current_, ItemPiece(item, index), "section");
    std::string text;
    if (!ExportSection(item->child, true, text))
        Raise(current_, ItemPiece(item, index), Mirelta::TVxMessage(IDS_ITEM_WRITE_ERROR));
    return text;
}

VTVxXIniTree TVxXIniStreamReader::BuildTree(TVxXIniSectionQ *section, bool required)
{
    VTVxXIniTree tree = MakeVxXIniTree();
    struct TFrame {
        TVxXIniSectionQ *section;
        unsigned next;
        VTVxXIniTree tree;
    };
    std::vector<TFrame> stack(1, TFrame{section, 0, tree});
    while (!stack.empty()) {
        TFrame &frame = stack.back();
        TItem *item = Lookup(frame.section, frame.next, required);
        if (!item) {
            stack.pop_back();
            continue;
        }
        ++frame.next;
        std::string name(item->nameBegin, item->NameEnd());
        if (item->type == VxXIniSection) {
            VTVxXIniTree child = frame.tree->AddSection(name);
            stack.push_back(TFrame{item->child, 0, child});
        } else {
            frame.tree->AddItem(item->type, name, std::string(item->ValueBegin(), item->ValueEnd()));
        }
    }
    return tree;
}

VTVxXIniTree TVxXIniStreamReader::GetSectionTree(unsigned index)
{
    TItem *item = FindItemLoading(current_, index);
    if (!item || item->type != VxXIniSection)
        return MakeVxXIniTree();
    return BuildTree(item->child, false);
}

VTVxXIniTree TVxXIniStreamReader::GetSectionTreeRequired(unsigned index)
{
    TItem *item = RequiredItem(index);
    if (item->type != VxXIniSection)
        RaiseType(current_, ItemPiece(item, index), "section");
    // A broken subsection raises like every other required lookup, so the
    // caller never takes a partial tree for the whole.
    return BuildTree(item->child, true);
}

// ---- Points

unsigned TVxXIniStreamReader::ReadPoint(unsigned index, double *values[], unsigned count, bool required)
{
    TItem *item = required ? RequiredItem(index) : FindItemLoading(current_, index);
    if (!item)
        return 0;
    if (item->type != VxXIniSection) {
        if (required)
            RaiseType(current_, ItemPiece(item, index), "section");
        return 0;
    }
    TVxXIniSectionQ *point = item->child;
    for (unsigned k = 0; k < count; ++k) {
        TItem *coordinate = Lookup(point, k, required);
        if (!coordinate) {
            if (required)
                RaiseNotFound(point, PositionPiece(k));
            return k;
        }
        double value = 0;
        if (!VxXIniParseDouble(coordinate->ValueBegin(), value)) {
            if (required)
                RaiseType(point, ItemPiece(coordinate, k), "double");
            return k;
        }
        *values[k] = value;
    }
    return count;
}

unsigned TVxXIniStreamReader::GetPoint2(unsigned index, double &x, double &y)
{
    double *values[] = {&x, &y};
    return ReadPoint(index, values, 2, false);
}

void TVxXIniStreamReader::GetPoint2Required(unsigned index, double &x, double &y)
{
    double *values[] = {&x, &y};
    ReadPoint(index, values, 2, true);
}

unsigned TVxXIniStreamReader::GetPoint3(unsigned index, double &x, double &y, double &z)
{
    double *values[] = {&x, &y, &z};
    return ReadPoint(index, values, 3, false);
}

void TVxXIniStreamReader::GetPoint3Required(unsigned index, double &x, double &y, double &z)
{
    double *values[] = {&x, &y, &z};
    ReadPoint(index, values, 3, true);
}

bool TVxXIniStreamReader::IsBroken()
{
    return *errorFlag_;
}

// ---- Whole-document check

bool VxXIniCheckText(const char *text, size_t length)
{
    // Gzip data are not x-ini text, whatever they hold.
    if (length >= 0xFFFFFFFF || (length >= 2 && std::memcmp(text, GZipMagic(), 2) == 0))
        return false;
    try {
        var_a<TVxFixedMemStream> source = make_var_a<TVxFixedMemStream>(
            const_cast<char *>(text), unsigned(length), TVxFixedMemStream::omRead, std::string());
        TVxXIniStreamReader reader(source, false);
        if (reader.IsBroken())
            return false;
        // Depth-first, item by item: a child is parsed before its parent goes
        // on, and hands the parent the position after its end, so no text is
        // scanned twice however deep the sections are.
        struct TFrame {
            TVxXIniSectionQ *section;
            unsigned next;
        };
        std::vector<TFrame> stack(1, TFrame{reader.root_.get(), 0});
        while (!stack.empty()) {
            TFrame &frame = stack.back();
            TItem *item = reader.FindItemLoading(frame.section, frame.next);
            if (!item) {
                if (frame.section->broken)
                    return false;
                stack.pop_back();
                continue;
            }
            ++frame.next;
            if (item->type == VxXIniSection)
                stack.push_back(TFrame{item->child, 0});
        }
        return true;
    } catch (const std::bad_alloc &) {
        return false;
    }
}
