#include "xini/VxXmlParser.h"

#include <cstdlib>
#include <cstring>

#include "foundation/VxProgress.h"
#include "foundation/VxText.h"

namespace {

enum : unsigned char {
    ClassSpace = 1,
    ClassNameStart = 2,
    ClassNameChar = 4,
};

// The scanner's character classes, built once before main.
struct TXmlCharClass {
    unsigned char table[256];

    TXmlCharClass()
    {
        std::memset(table, 0, sizeof table);
        table[' '] = table['\t'] = table['\n'] = table['\r'] = ClassSpace;
        for (int c = 0; c < 256; ++c) {
            bool start = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c >= 0x80 || c == '_' || c == ':';
            bool other = (c >= '0' && c <= '9') || c == '.' || c == '-';
            if (start)
                table[c] |= ClassNameStart | ClassNameChar;
            if (other)
                table[c] |= ClassNameChar;
        }
    }
};

const TXmlCharClass XmlCharClass;

// First c in [p, end), or null. Most runs in a document are short (the
// white space between tags, attribute values), so the first bytes are looked
// at here and only a long run goes to memchr.
inline const char *FindByte(const char *p, const char *end, char c)
{
    const char *stop = end - p > 32 ? p + 32 : end;
    for (; p < stop; ++p)
        if (*p == c)
            return p;
    if (p >= end)
        return nullptr;
    return static_cast<const char *>(std::memchr(p, c, size_t(end - p)));
}

inline bool Is(const char *p, unsigned char cls)
{
    return (XmlCharClass.table[static_cast<unsigned char>(*p)] & cls) != 0;
}

const char *SkipSpace(const char *p, const char *end)
{
    while (p < end && Is(p, ClassSpace))
        ++p;
    return p;
}

// End of a name starting at p; p itself when no name starts there.
const char *ScanName(const char *p, const char *end)
{
    if (p >= end || !Is(p, ClassNameStart))
        return p;
    ++p;
    while (p < end && Is(p, ClassNameChar))
        ++p;
    return p;
}

bool NameIs(const char *begin, const char *end, const char *text)
{
    size_t n = std::strlen(text);
    return size_t(end - begin) == n && std::memcmp(begin, text, n) == 0;
}

// First occurrence of pattern in [from, end), or null.
const char *Search(const char *pattern, const char *from, const char *end)
{
    if (from >= end)
        return nullptr;
    return SearchMemory(pattern, from, unsigned(end - from));
}

// Just past the first occurrence of pattern in [from, end), or end.
const char *PastTerminator(const char *pattern, const char *from, const char *end)
{
    const char *found = Search(pattern, from, end);
    return found ? found + std::strlen(pattern) : end;
}

// From a quote at p: just past its matching quote, or end.
const char *SkipQuoted(const char *p, const char *end)
{
    const char *close = FindByte(p + 1, end, *p);
    return close ? close + 1 : end;
}

// End of a malformed tag whose scan failed at p.
const char *MalformedEnd(const char *p, const char *end)
{
    while (p < end) {
        char c = *p;
        if (c == '"' || c == '\'') {
            p = SkipQuoted(p, end);
            continue;
        }
        if (c == '>')
            return p + 1;
        if (c == '/' && p + 1 < end && p[1] == '>')
            return p + 2;
        ++p;
    }
    return end;
}

// Escape classes of the bytes 0x00-0x3F.
unsigned char EscapeClass(unsigned char c)
{
    if (c < 0x20)
        return XmlEscControl;
    switch (c) {
    case '"':
        return XmlEscQuot;
    case '&':
        return XmlEscAmp;
    case '\'':
        return XmlEscApos;
    case '<':
        return XmlEscLt;
    case '>':
        return XmlEscGt;
    default:
        return 0;
    }
}

} // namespace

bool XmlIsSpace(unsigned char c)
{
    return (XmlCharClass.table[c] & ClassSpace) != 0;
}

bool XmlIsNameStart(unsigned char c)
{
    return (XmlCharClass.table[c] & ClassNameStart) != 0;
}

bool XmlIsNameChar(unsigned char c)
{
    return (XmlCharClass.table[c] & ClassNameChar) != 0;
}

// ---- TVxXmlColl: accept every well-formed construct, stop at the rest.

TVxXmlColl::~TVxXmlColl() {}

bool TVxXmlColl::OnMarkup(const char *, const char *)
{
    return false;
}

bool TVxXmlColl::OnText(const char *, const char *)
{
    return true;
}

bool TVxXmlColl::OnCData(const char *, const char *, const char *, const char *)
{
    return true;
}

bool TVxXmlColl::OnComment(const char *, const char *)
{
    return true;
}

bool TVxXmlColl::OnProcessingInstruction(const char *, const char *)
{
    return true;
}

bool TVxXmlColl::OnDoctype(const char *, const char *)
{
    return true;
}

bool TVxXmlColl::OnStartTag(const char *, const char *, const char *, const char *,
                            const TVxXmlParserLow &)
{
    return true;
}

bool TVxXmlColl::OnEndTag(const char *, const char *, const char *, const char *)
{
    return true;
}

bool TVxXmlColl::OnEmptyTag(const char *, const char *, const char *, const char *,
                            const TVxXmlParserLow &)
{
    return true;
}

// ---- TVxXmlParserLow

bool TVxXmlParserLow::Parse(const char *begin, size_t length, const char *&position,
                            size_t &remaining, TVxXmlColl &sink)
{
    return Scan(begin, length, position, remaining, sink, nullptr);
}

bool TVxXmlParserLow::ParseWithProgress(const char *begin, size_t length, const char *&position,
                                        size_t &remaining, TVxXmlColl &sink,
                                        TVxProgressHandler *progress)
{
    return Scan(begin, length, position, remaining, sink, progress);
}

bool TVxXmlParserLow::Scan(const char *begin, size_t length, const char *&position,
                           size_t &remaining, TVxXmlColl &sink, TVxProgressHandler *handler)
{
    const char *const end = begin + length;
    const char *p = begin;

    TVxProgress progress(handler);
    if (handler)
        progress.Begin();
    size_t threshold = length;

    for (;;) {
        position = p;
        remaining = size_t(end - p);
        const char *found = FindByte(p, end, '<');
        const char *lt = found ? found : end;

        if (handler && length > 0) {
            size_t left = size_t(end - lt);
            if (left <= threshold) {
                if (progress.IsActive())
                    progress.SetPosition(double(length - left) / double(length));
                threshold = left > 65536 ? left - 65536 : 0;
            }
        }
        if (lt > p && !sink.OnText(p, lt))
            return false;

        position = lt;
        remaining = size_t(end - lt);
        if (lt == end)
            return true;

        const size_t rest = size_t(end - lt);
        const char *tagEnd = end;
        bool go = true;

        if (rest >= 4 && lt[1] == '!' && lt[2] == '-' && lt[3] == '-') {
            tagEnd = PastTerminator("-->", lt + 4, end);
            position = tagEnd;
            remaining = size_t(end - tagEnd);
            go = sink.OnComment(lt, tagEnd);
        } else if (rest >= 3 && lt[1] == '!' && lt[2] == '[') {
            const char *nameEnd = ScanName(lt + 3, end);
            if (NameIs(lt + 3, nameEnd, "CDATA") && nameEnd < end && *nameEnd == '[') {
                const char *content = nameEnd + 1;
                const char *close = Search("]]>", content, end);
                const char *contentEnd = close ? close : end;
                tagEnd = close ? close + 3 : end;
                position = tagEnd;
                remaining = size_t(end - tagEnd);
                go = sink.OnCData(lt, tagEnd, content, contentEnd);
            } else {
                tagEnd = PastTerminator("]>", lt + 3, end);
                position = tagEnd;
                remaining = size_t(end - tagEnd);
                go = sink.OnMarkup(lt, tagEnd);
            }
        } else if (rest >= 2 && lt[1] == '!') {
            const char *nameEnd = ScanName(lt + 2, end);
            if (NameIs(lt + 2, nameEnd, "DOCTYPE")) {
                const char *q = nameEnd;
                for (;;) {
                    if (q >= end)
                        return false; // no '>': the scan ends at the '<'
                    if (*q == '"' || *q == '\'') {
                        q = SkipQuoted(q, end);
                    } else if (*q == '[') {
                        ++q;
                        while (q < end && *q != ']') {
                            if (*q == '"' || *q == '\'')
                                q = SkipQuoted(q, end);
                            else
                                ++q;
                        }
                        if (q < end)
                            ++q;
                    } else if (*q == '>') {
                        break;
                    } else {
                        ++q;
                    }
                }
                tagEnd = q + 1;
                position = tagEnd;
                remaining = size_t(end - tagEnd);
                go = sink.OnDoctype(lt, tagEnd);
            } else {
                const void *gt = std::memchr(lt + 2, '>', size_t(end - lt - 2));
                tagEnd = gt ? static_cast<const char *>(gt) + 1 : end;
                position = tagEnd;
                remaining = size_t(end - tagEnd);
                go = sink.OnMarkup(lt, tagEnd);
            }
        } else if (rest >= 2 && lt[1] == '/') {
            const char *nameBegin = lt + 2;
            const char *nameEnd = ScanName(nameBegin, end);
            const char *gt = FindByte(nameEnd, end, '>');
            tagEnd = gt ? gt + 1 : end;
            position = tagEnd;
            remaining = size_t(end - tagEnd);
            go = sink.OnEndTag(lt, tagEnd, nameBegin, nameEnd);
        } else if (rest >= 2 && lt[1] == '?') {
            tagEnd = PastTerminator("?>", lt + 2, end);
            position = tagEnd;
            remaining = size_t(end - tagEnd);
            go = sink.OnProcessingInstruction(lt, tagEnd);
        } else {
            // Start or empty-element tag.
            const char *nameBegin = lt + 1;
            const char *nameEnd = ScanName(nameBegin, end);
            const char *q = nameEnd;
            bool malformed = nameEnd == nameBegin;
            attrs_.clear();
            while (!malformed) {
                const char *s = SkipSpace(q, end);
                if (s == q || s == end) {
                    q = s;
                    break;
                }
                q = s;
                const char *attrEnd = ScanName(q, end);
                if (attrEnd == q)
                    break;
                TVxXmlAttrData attr;
                attr.nameBegin = q;
                attr.nameEnd = attrEnd;
                q = SkipSpace(attrEnd, end);
                if (q == end || *q != '=') {
                    malformed = true;
                    break;
                }
                q = SkipSpace(q + 1, end);
                if (q == end || (*q != '"' && *q != '\'')) {
                    malformed = true;
                    break;
                }
                attr.valueBegin = q + 1;
                const char *close = FindByte(q + 1, end, *q);
                attr.valueEnd = close ? close : end;
                q = close ? attr.valueEnd + 1 : end;
                attrs_.push_back(attr);
            }
            bool empty = false;
            if (!malformed) {
                if (q == end) {
                    malformed = true;
                } else if (*q == '/' && q + 1 < end && q[1] == '>') {
                    empty = true;
                    tagEnd = q + 2;
                } else if (*q == '>') {
                    tagEnd = q + 1;
                } else {
                    malformed = true;
                }
            }
            if (malformed) {
                tagEnd = MalformedEnd(q, end);
                position = tagEnd;
                remaining = size_t(end - tagEnd);
                go = sink.OnMarkup(lt, tagEnd);
            } else {
                position = tagEnd;
                remaining = size_t(end - tagEnd);
                go = empty ? sink.OnEmptyTag(lt, tagEnd, nameBegin, nameEnd, *this)
                           : sink.OnStartTag(lt, tagEnd, nameBegin, nameEnd, *this);
            }
        }
        if (!go)
            return false;
        p = tagEnd;
    }
}

// ---- Entities

size_t DecodeXmlEntities(const char *source, size_t length, char *target)
{
    const char *p = source;
    const char *const end = source + length;
    char *out = target;

    while (p < end) {
        const char *amp = FindByte(p, end, '&');
        const char *a = amp ? amp : end;
        if (out != p)
            std::memmove(out, p, size_t(a - p));
        out += a - p;
        if (a == end)
            break;

        const char *semi = FindByte(a + 1, end, ';');
        if (!semi) {
            if (out != a)
                std::memmove(out, a, size_t(end - a));
            out += end - a;
            break;
        }
        const char *s = semi;
        const char *body = a + 1;
        const size_t bodyLength = size_t(s - body);
        const size_t referenceLength = size_t(s - a) + 1;

        char replacement[8];
        size_t replacementLength = 0;
        bool decoded = false;
        if (bodyLength >= 1 && body[0] == '#') {
            bool hex = bodyLength >= 2 && body[1] == 'x';
            const char *number = body + (hex ? 2 : 1);
            char *numberEnd = nullptr;
            // The ';' stops the conversion at the latest.
            unsigned long value = std::strtoul(number, &numberEnd, hex ? 16 : 10);
            if (numberEnd == s) {
                unsigned char utf8[8];
                int n = EncodeUtf8(int(value & 0x7FFFFFFFul), utf8);
                // A reference whose UTF-8 form is longer than itself would
                // overrun the in-place output: it stays text.
                if (n > 0 && size_t(n) <= referenceLength) {
                    std::memcpy(replacement, utf8, size_t(n));
                    replacementLength = size_t(n);
                    decoded = true;
                }
            }
        } else {
            static const struct {
                const char *name;
                char c;
            } named[] = {{"amp", '&'}, {"lt", '<'}, {"gt", '>'}, {"quot", '"'}, {"apos", '\''}};
            for (const auto &entry : named) {
                if (NameIs(body, s, entry.name)) {
                    replacement[0] = entry.c;
                    replacementLength = 1;
                    decoded = true;
                    break;
                }
            }
        }
        if (decoded) {
            std::memcpy(out, replacement, replacementLength);
            out += replacementLength;
        } else {
            if (out != a)
                std::memmove(out, a, referenceLength);
            out += referenceLength;
        }
        p = s + 1;
    }
    return size_t(out - target);
}

std::string EncodeXmlEntities(const char *bytes, size_t length, unsigned char mask)
{
    const unsigned char effective = mask | XmlEscControl | XmlEscAmp | XmlEscLt | XmlEscGt;
    std::string result;
    result.reserve(length);
    for (size_t i = 0; i < length; ++i) {
        unsigned char c = static_cast<unsigned char>(bytes[i]);
        unsigned char cls = c < 0x40 ? EscapeClass(c) : 0;
        if (!(cls & effective)) {
            result += char(c);
            continue;
        }
        switch (cls) {
        case XmlEscControl: {
            static const char digits[] = "0123456789ABCDEF";
            result += "&#x";
            if (c >= 0x10)
                result += digits[c >> 4];
            result += digits[c & 0xF];
            result += ';';
            break;
        }
        case XmlEscQuot:
            result += "&quot;";
            break;
        case XmlEscAmp:
            result += "&amp;";
            break;
        case XmlEscApos:
            result += "&apos;";
            break;
        case XmlEscLt:
            result += "&lt;";
            break;
        default:
            result += "&gt;";
            break;
        }
    }
    return result;
}

std::string EncodeXmlEntities(const std::string &text, unsigned char mask)
{
    return EncodeXmlEntities(text.data(), text.size(), mask);
}
