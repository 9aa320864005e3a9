// A small non-validating XML scanner over text held in memory, and the entity
// codec of the x-ini format.
//
// TVxXmlParserLow walks a byte range once and reports every construct to a
// TVxXmlColl sink with pointers into the range; it copies nothing, keeps no
// element stack and checks no nesting: the sink decides what a document may
// hold. A sink method that returns false stops the scan.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

class TVxProgressHandler;
class TVxXmlParserLow;

// Character classes of the scanner.
bool XmlIsSpace(unsigned char c);      // space, TAB, LF, CR
bool XmlIsNameStart(unsigned char c);  // A-Z a-z _ : and 0x80-0xFF
bool XmlIsNameChar(unsigned char c);   // a name start, 0-9 . -

// One attribute of the tag being reported. The value excludes the quotes and
// is raw: references in it are not decoded.
struct TVxXmlAttrData {
    const char *nameBegin;
    const char *nameEnd;
    const char *valueBegin;
    const char *valueEnd;
};

// Event sink. Every position points into the scanned range; a tag begins at
// its '<' and ends just past its last byte. The defaults accept every
// well-formed construct and stop at everything else (OnMarkup).
class TVxXmlColl {
public:
    virtual ~TVxXmlColl();
    // "<!" declarations other than DOCTYPE, "<![" sections other than CDATA,
    // and malformed tags.
    virtual bool OnMarkup(const char *tagBegin, const char *tagEnd);
    virtual bool OnText(const char *begin, const char *end);
    virtual bool OnCData(const char *tagBegin, const char *tagEnd, const char *contentBegin,
                         const char *contentEnd);
    virtual bool OnComment(const char *tagBegin, const char *tagEnd);
    virtual bool OnProcessingInstruction(const char *tagBegin, const char *tagEnd);
    virtual bool OnDoctype(const char *tagBegin, const char *tagEnd);
    // The parser describes the tag's attributes during this call only.
    virtual bool OnStartTag(const char *tagBegin, const char *tagEnd, const char *nameBegin,
                            const char *nameEnd, const TVxXmlParserLow &parser);
    virtual bool OnEndTag(const char *tagBegin, const char *tagEnd, const char *nameBegin,
                          const char *nameEnd);
    virtual bool OnEmptyTag(const char *tagBegin, const char *tagEnd, const char *nameBegin,
                            const char *nameEnd, const TVxXmlParserLow &parser);
};

class TVxXmlParserLow {
public:
    // Scans [begin, begin + length). True when the end was reached; false when
    // a sink returned false or a DOCTYPE had no closing '>'. position and
    // remaining always describe the scan point: the start of a text run, the
    // '<' of a construct, then just past the construct before its event; after
    // a normal end the end of the range and 0.
    bool Parse(const char *begin, size_t length, const char *&position, size_t &remaining,
               TVxXmlColl &sink);
    // The same scan, reporting its position (consumed / length) about every
    // 64 KiB to the handler; a null handler gets nothing.
    bool ParseWithProgress(const char *begin, size_t length, const char *&position,
                           size_t &remaining, TVxXmlColl &sink, TVxProgressHandler *progress);

    // Attributes of the start or empty-element tag being reported.
    size_t AttrCount() const { return attrs_.size(); }
    const TVxXmlAttrData &Attr(size_t index) const { return attrs_[index]; }

private:
    bool Scan(const char *begin, size_t length, const char *&position, size_t &remaining,
              TVxXmlColl &sink, TVxProgressHandler *progress);

    std::vector<TVxXmlAttrData> attrs_;
};

// Decodes entity and character references of length bytes at source into
// target and returns the bytes written. target may equal source: the output is
// never longer than the input read so far. Known: &amp; &lt; &gt; &quot;
// &apos;, &#N; and &#xN;. A character reference is decoded only when its UTF-8
// form is no longer than the reference itself; every reference that does not
// decode stays as it stands.
size_t DecodeXmlEntities(const char *source, size_t length, char *target);

// Escape classes for EncodeXmlEntities' mask: control bytes 0x00-0x1F 1,
// '"' 2, '&' 4, '\'' 8, '<' 16, '>' 32. Classes 1, 4, 16 and 32 are always
// escaped; bytes from 0x40 up never are. Control bytes become "&#x%X;".
enum : unsigned char {
    XmlEscControl = 1,
    XmlEscQuot = 2,
    XmlEscAmp = 4,
    XmlEscApos = 8,
    XmlEscLt = 16,
    XmlEscGt = 32,
};
std::string EncodeXmlEntities(const char *bytes, size_t length, unsigned char mask);
std::string EncodeXmlEntities(const std::string &text, unsigned char mask);
