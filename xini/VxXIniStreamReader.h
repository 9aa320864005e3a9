// TVxXIniStreamReader: the x-ini reader over a TVxStream.
//
// The constructor reads the whole stream into one buffer, removes gzip layers
// (while the data starts with 1F 8B, at most VxXIniMaxGZipLayers of them, and
// all of them together never unpacking more than deflate can make of the
// stream's bytes) and finds the root element. Sections are parsed lazily: a
// section's items are parsed when a caller first asks for one of them, and
// only as far as the request needs. Items point into the buffer, whose values
// are entity-decoded in place, so nothing is copied. A section whose text
// breaks the grammar is marked broken where the breach is met: the items
// before it stay readable, the optional getters see only those, the required
// ones raise. A b item cut off before its end tag is not one of the items
// before it: its value is incomplete.
//
// The document (buffer, items and sections) is shared by the reader's root
// holder; it goes with its last holder.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <new>
#include <string>
#include <utility>
#include <vector>

#include "foundation/var_a.h"
#include "xini/VxXIniReader.h"
#include "xini/VxXmlParser.h"

class TVxProgressHandler;
namespace Mirelta {
class TVxMessage;
}

// Append-only paged pool of objects: objects never move and are destroyed
// only with the pool. Pages grow 1, 2, 3, 5, 8, 12, 18, 27... slots.
template <class T>
class TFixStack {
public:
    TFixStack() : newest_(nullptr), count_(0) {}
    ~TFixStack();
    TFixStack(const TFixStack &) = delete;
    TFixStack &operator=(const TFixStack &) = delete;

    // Constructs a new object in the pool; throws std::bad_alloc when no page
    // can be had.
    template <class... A>
    T *Push(A &&...args);
    size_t Count() const { return count_; }

private:
    struct TPageHeader {
        size_t capacity;
        size_t used;
        TPageHeader *next; // older page
    };
    static size_t SlotOffset() { return (sizeof(TPageHeader) + alignof(T) - 1) / alignof(T) * alignof(T); }
    static T *Slots(TPageHeader *page)
    {
        return reinterpret_cast<T *>(reinterpret_cast<char *>(page) + SlotOffset());
    }

    TPageHeader *newest_;
    size_t count_;
};

// One section of a loaded document: the root or an x element.
class TVxXIniSectionQ {
public:
    // One item. Name and value lie in the loaded text, each followed by a
    // zero byte, or at EmptyText when absent. A section item's value is empty;
    // its storage holds the child section instead (items are kept small: a
    // document holds many of them).
    struct TItem {
        const char *nameBegin;
        union {
            const char *value;      // value items: decoded text (base64 for b)
            TVxXIniSectionQ *child; // section items
        };
        uint32_t nameLength;
        uint32_t valueLength;       // 0 for sections
        unsigned char type;         // TE_VxXIniItemType

        const char *NameEnd() const { return nameBegin + nameLength; }
        // Zero-terminated value text.
        const char *ValueBegin() const { return type == VxXIniSection ? EmptyText : value; }
        const char *ValueEnd() const { return ValueBegin() + valueLength; }
    };

    static const char EmptyText[1];

    TVxXIniSectionQ(TVxXIniSectionQ *parent, unsigned indexInParent, TFixStack<TItem> *itemPool,
                    TFixStack<TVxXIniSectionQ> *sectionPool);

    // Items whose name equals [begin, end) byte for byte.
    unsigned CountByName(const char *begin, const char *end) const;
    // First such item at or after start; VxXIniNotFound when none.
    unsigned FindByName(const char *begin, const char *end, unsigned start) const;
    bool FullyLoaded() const { return resume == nullptr; }

    std::vector<TItem *> items;     // document order
    TVxXIniSectionQ *parent;        // null for the root
    unsigned indexInParent;         // index of the x item that holds this section
    unsigned level;                 // 0 for the root, parent's level + 1 else
    TFixStack<TItem> *itemPool;
    TFixStack<TVxXIniSectionQ> *sectionPool;
    const char *resume;             // where parsing goes on; null when done
    TVxXIniSectionQ *skipping;      // child whose content the last parse stopped in
    bool broken;                    // a parse of this section failed
};

// Pre-scan sink: finds the root. The first start or empty-element tag decides:
// when it is named exactly "vxini", contentPosition is set just past it (and
// emptyRoot for "<vxini/>"); any other first tag, an end tag or other markup
// before it leave contentPosition null. Text, comments, processing
// instructions and DOCTYPE before the root are ignored.
class TVxXmlCollIniQPre : public TVxXmlColl {
public:
    TVxXmlCollIniQPre() : contentPosition(nullptr), emptyRoot(false) {}
    bool OnStartTag(const char *tagBegin, const char *tagEnd, const char *nameBegin,
                    const char *nameEnd, const TVxXmlParserLow &parser) override;
    bool OnEndTag(const char *tagBegin, const char *tagEnd, const char *nameBegin,
                  const char *nameEnd) override;
    bool OnEmptyTag(const char *tagBegin, const char *tagEnd, const char *nameBegin,
                    const char *nameEnd, const TVxXmlParserLow &parser) override;

    const char *contentPosition;
    bool emptyRoot;
};

struct TRootXIniSectionData;

class TVxXIniStreamReader : public TVxXIniReader {
public:
    // Loads the document at once. A failed load throws Mirelta::TVxMessage when
    // throwOnError is set; otherwise it is logged and the reader stands over an
    // empty broken root (IsBroken is true). An empty holder fails the load
    // (31023). progress may be null.
    TVxXIniStreamReader(const VTVxStream &stream, bool throwOnError,
                        TVxProgressHandler *progress = nullptr);
    ~TVxXIniStreamReader() override;
    TVxXIniStreamReader(const TVxXIniStreamReader &) = delete;
    TVxXIniStreamReader &operator=(const TVxXIniStreamReader &) = delete;

    using TVxXIniReader::Find;
    using TVxXIniReader::FindRequired;
    using TVxXIniReader::OpenSection;
    using TVxXIniReader::OpenSectionRequired;

    unsigned Count() override;
    unsigned CountRequired() override;
    unsigned CountByName(const char *name, size_t nameLength) override;
    unsigned CountByNameRequired(const char *name, size_t nameLength) override;
    unsigned Find(const char *name, size_t nameLength, unsigned start) override;
    unsigned FindRequired(const char *name, size_t nameLength, unsigned start) override;
    bool Exists(unsigned index) override;
    bool ExistsRequired(unsigned index) override;
    TE_VxXIniItemType GetType(unsigned index) override;
    TE_VxXIniItemType GetTypeRequired(unsigned index) override;
    std::string GetName(unsigned index) override;
    std::string GetNameRequired(unsigned index) override;
    unsigned OpenSection(unsigned index) override;
    unsigned OpenSectionRequired(unsigned index) override;
    bool CloseSection(unsigned level) override;
    void CloseSectionRequired(unsigned level) override;
    int32_t GetInt(unsigned index, int32_t defaultValue) override;
    int32_t GetIntRequired(unsigned index) override;
    uint32_t GetUInt(unsigned index, uint32_t defaultValue) override;
    uint32_t GetUIntRequired(unsigned index) override;
    int64_t GetInt64(unsigned index, int64_t defaultValue) override;
    int64_t GetInt64Required(unsigned index) override;
    uint64_t GetUInt64(unsigned index, uint64_t defaultValue) override;
    uint64_t GetUInt64Required(unsigned index) override;
    double GetDouble(unsigned index, double defaultValue) override;
    double GetDoubleRequired(unsigned index) override;
    std::string GetText(unsigned index, const std::string &defaultValue) override;
    std::string GetTextRequired(unsigned index) override;
    std::string GetBinary(unsigned index, const std::string &defaultValue) override;
    std::string GetBinaryRequired(unsigned index) override;
    std::string GetSectionXml(unsigned index) override;
    std::string GetSectionXmlRequired(unsigned index) override;
    VTVxXIniTree GetSectionTree(unsigned index) override;
    VTVxXIniTree GetSectionTreeRequired(unsigned index) override;
    unsigned GetPoint2(unsigned index, double &x, double &y) override;
    void GetPoint2Required(unsigned index, double &x, double &y) override;
    unsigned GetPoint3(unsigned index, double &x, double &y, double &z) override;
    void GetPoint3Required(unsigned index, double &x, double &y, double &z) override;
    bool IsBroken() override;
    [[noreturn]] void RaiseItemError(unsigned index, const std::string &text) override;

    // The decompressed document text.
    const char *TextBegin() const { return textBegin_; }
    size_t TextLength() const { return textLength_; }
    // Current level of the cursor (0 = root).
    unsigned Level() const { return level_; }

    // Section lookups. The item at index, loading the section up to it when
    // needed; null when absent. The required form raises 31039 when the item
    // is absent and the section's load failed (now or earlier).
    TVxXIniSectionQ::TItem *FindItemLoading(TVxXIniSectionQ *section, unsigned index);
    TVxXIniSectionQ::TItem *FindItemLoadingRequired(TVxXIniSectionQ *section, unsigned index);
    // As above, but a section item stands for its first item; null when that
    // is absent or is itself a section.
    TVxXIniSectionQ::TItem *FindValueItem(TVxXIniSectionQ *section, unsigned index);
    TVxXIniSectionQ::TItem *FindValueItemRequired(TVxXIniSectionQ *section, unsigned index);
    // Parses more of the section: up to the item at targetIndex (VxXIniNotFound:
    // the whole section), or, with a name, up to the first item of that name at
    // or after targetIndex. False when the text breaks the grammar: the section
    // is then broken, the failure logged and the document's error flag set.
    bool LoadSectionPart(TVxXIniSectionQ *section, unsigned targetIndex,
                         const char *nameBegin = nullptr, const char *nameEnd = nullptr);

private:
    friend bool VxXIniCheckText(const char *text, size_t length);

    void Load(const VTVxStream &stream, bool throwOnError, TVxProgressHandler *progress);
    void LoadWhole(TVxXIniSectionQ *section);
    TVxXIniSectionQ::TItem *Lookup(TVxXIniSectionQ *section, unsigned index, bool required);
    // The item at index in the current section; raises 31039 or 31040.
    TVxXIniSectionQ::TItem *RequiredItem(unsigned index);

    // Paths: pieces separated by one space, names in the system code page.
    std::string Prefixed(const std::string &path) const;
    std::string AncestorPath(const TVxXIniSectionQ *section) const;
    std::string LastLoadedPath(const TVxXIniSectionQ *section) const;
    std::string RequestPiece(TVxXIniSectionQ *section, unsigned index) const;
    // 31020 with the path of piece in section and the inner message.
    [[noreturn]] void Raise(const TVxXIniSectionQ *section, const std::string &piece,
                            const Mirelta::TVxMessage &inner);
    [[noreturn]] void RaiseBroken(const TVxXIniSectionQ *section, const std::string &piece);
    [[noreturn]] void RaiseNotFound(const TVxXIniSectionQ *section, const std::string &piece);
    [[noreturn]] void RaiseType(const TVxXIniSectionQ *section, const std::string &piece, const char *word);

    template <class T>
    T GetNumber(unsigned index, T defaultValue);
    template <class T>
    T GetNumberRequired(unsigned index);
    std::string CollectText(TVxXIniSectionQ::TItem *item, bool required);
    bool ExportSection(TVxXIniSectionQ *section, bool required, std::string &text);
    VTVxXIniTree BuildTree(TVxXIniSectionQ *section, bool required);
    unsigned ReadPoint(unsigned index, double *values[], unsigned count, bool required);

    bool *errorFlag_;
    const char *textBegin_;
    size_t textLength_;
    var_a<TVxXIniSectionQ> root_;
    TVxXIniSectionQ *current_;
    unsigned level_;
    TVxXmlParserLow parser_;
    std::vector<TVxXIniSectionQ *> chain_; // the skip chain of the load in progress
    std::string name_;
};

// True when text is an x-ini document that the reader accepts in full: a
// root, and every section, however deep, within the grammar and the nesting
// limit. The text itself is not changed (the check works on a copy).
bool VxXIniCheckText(const char *text, size_t length);

// ---- TFixStack

template <class T>
TFixStack<T>::~TFixStack()
{
    while (newest_) {
        TPageHeader *page = newest_;
        newest_ = page->next;
        T *slots = Slots(page);
        for (size_t i = page->used; i > 0; --i)
            slots[i - 1].~T();
        std::free(page);
    }
}

template <class T>
template <class... A>
T *TFixStack<T>::Push(A &&...args)
{
    if (!newest_ || newest_->used == newest_->capacity) {
        size_t capacity = newest_ ? newest_->capacity + (newest_->capacity + 1) / 2 : 1;
        void *memory = std::malloc(SlotOffset() + capacity * sizeof(T));
        if (!memory)
            throw std::bad_alloc();
        TPageHeader *page = static_cast<TPageHeader *>(memory);
        page->capacity = capacity;
        page->used = 0;
        page->next = newest_;
        newest_ = page;
    }
    T *object = ::new (static_cast<void *>(Slots(newest_) + newest_->used)) T(std::forward<A>(args)...);
    ++newest_->used;
    ++count_;
    return object;
}
