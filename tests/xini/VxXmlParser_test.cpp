#include "xini/VxXmlParser.h"

#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "foundation/VxProgress.h"

namespace {

// Writes every event as a short text: kind(payload).
class TRecordingSink : public TVxXmlColl {
public:
    std::string log;

    bool OnMarkup(const char *b, const char *e) override
    {
        Add("M", b, e);
        return TVxXmlColl::OnMarkup(b, e);
    }
    bool OnText(const char *b, const char *e) override { return Add("T", b, e); }
    bool OnCData(const char *, const char *, const char *cb, const char *ce) override { return Add("CD", cb, ce); }
    bool OnComment(const char *b, const char *e) override { return Add("C", b, e); }
    bool OnProcessingInstruction(const char *b, const char *e) override { return Add("P", b, e); }
    bool OnDoctype(const char *b, const char *e) override { return Add("D", b, e); }
    bool OnStartTag(const char *, const char *, const char *nb, const char *ne, const TVxXmlParserLow &p) override
    {
        return Add("S", nb, ne, &p);
    }
    bool OnEndTag(const char *, const char *, const char *nb, const char *ne) override { return Add("E", nb, ne); }
    bool OnEmptyTag(const char *, const char *, const char *nb, const char *ne, const TVxXmlParserLow &p) override
    {
        return Add("Z", nb, ne, &p);
    }

private:
    bool Add(const char *kind, const char *b, const char *e, const TVxXmlParserLow *p = nullptr)
    {
        log += kind;
        log += '(';
        log.append(b, e);
        for (size_t i = 0; p && i < p->AttrCount(); ++i) {
            const TVxXmlAttrData &a = p->Attr(i);
            log += i ? ',' : '|';
            log.append(a.nameBegin, a.nameEnd);
            log += '=';
            log.append(a.valueBegin, a.valueEnd);
        }
        log += ')';
        return true;
    }
};

struct TScanCase {
    const char *text;
    const char *events;
    bool result;
};

const TScanCase ScanCases[] = {
    {"", "", true},
    {"abc", "T(abc)", true},
    {" \r\n", "T( \r\n)", true},
    {"<a b='1' c = \"2\" />", "Z(a|b=1,c=2)", true},
    {"x<a>y</a>z", "T(x)S(a)T(y)E(a)T(z)", true},
    {"<a b='x>y'>", "S(a|b=x>y)", true},
    {"<a b=\"it's\"/>", "Z(a|b=it's)", true},
    {"</a junk>", "E(a)", true},
    {"</>", "E()", true},
    {"<!-- a -- b -->", "C(<!-- a -- b -->)", true},
    {"<!-- open", "C(<!-- open)", true},
    {"<?xml version=\"1.0\"?><r/>", "P(<?xml version=\"1.0\"?>)Z(r)", true},
    {"<![CDATA[a<b]]>", "CD(a<b)", true},
    {"<![CDATA[open", "CD(open)", true},
    {"<!DOCTYPE r [ <!ENTITY e ']>'> ]>", "D(<!DOCTYPE r [ <!ENTITY e ']>'> ]>)", true},
    {"<!DOCTYPE vxini SYSTEM \"vxini4.dtd\">\n", "D(<!DOCTYPE vxini SYSTEM \"vxini4.dtd\">)T(\n)", true},
    // Everything malformed ends at OnMarkup, which stops by default.
    {"<a b=1>", "M(<a b=1>)", false},
    {"<a b>", "M(<a b>)", false},
    {"<a b='1'c='2'>", "M(<a b='1'c='2'>)", false},
    {"<1a>", "M(<1a>)", false},
    {"<a/", "M(<a/)", false},
    {"<a b='1'", "M(<a b='1')", false},
    {"<![cdata[x]]>", "M(<![cdata[x]]>)", false},
    {"<!ELEMENT x>", "M(<!ELEMENT x>)", false},
    {"<!-", "M(<!-)", false},
    {"ab<", "T(ab)M(<)", false},
    {"<!DOCTYPE r", "", false},
};

TEST(XmlParser, ReportsEachConstructAsTheScannerRulesSay)
{
    for (const TScanCase &c : ScanCases) {
        TRecordingSink sink;
        TVxXmlParserLow parser;
        const char *position = nullptr;
        size_t remaining = 99;
        bool result = parser.Parse(c.text, std::strlen(c.text), position, remaining, sink);
        EXPECT_EQ(c.events, sink.log) << c.text;
        EXPECT_EQ(c.result, result) << c.text;
    }
}

TEST(XmlParser, PositionDescribesWhereTheScanStopped)
{
    TVxXmlParserLow parser;
    const char *position = nullptr;
    size_t remaining = 0;

    const char ok[] = "<a/>text";
    TRecordingSink sink;
    EXPECT_TRUE(parser.Parse(ok, 8, position, remaining, sink));
    EXPECT_EQ(ok + 8, position);
    EXPECT_EQ(0u, remaining);

    // A sink that stops leaves the position just past the construct.
    const char bad[] = "ab<x y>cd";
    TRecordingSink stop;
    EXPECT_FALSE(parser.Parse(bad, 9, position, remaining, stop));
    EXPECT_EQ(bad + 7, position);
    EXPECT_EQ(2u, remaining);

    // An unterminated DOCTYPE leaves it at its '<'.
    const char doc[] = "  <!DOCTYPE r [";
    TRecordingSink none;
    EXPECT_FALSE(parser.Parse(doc, std::strlen(doc), position, remaining, none));
    EXPECT_EQ(doc + 2, position);
}

class TRecordingProgress : public TVxProgressHandler {
public:
    int begins = 0, ends = 0;
    std::vector<double> positions;
    void Begin() override { ++begins; }
    void End() override { ++ends; }
    bool IsActive() override { return true; }
    void SetPosition(double fraction) override { positions.push_back(fraction); }
    var_a<TVxProgressHandler> SubRange(double, double, unsigned char, unsigned char) override
    {
        return var_a<TVxProgressHandler>();
    }
};

TEST(XmlParser, ProgressIsReportedAboutEvery64KiBAndAtTheEnd)
{
    std::string text;
    while (text.size() < 300000)
        text += "<i v=\"12345\"/>";
    TRecordingSink sink;
    TRecordingProgress progress;
    TVxXmlParserLow parser;
    const char *position;
    size_t remaining;
    EXPECT_TRUE(parser.ParseWithProgress(text.data(), text.size(), position, remaining, sink, &progress));
    EXPECT_EQ(1, progress.begins);
    EXPECT_EQ(1, progress.ends);
    ASSERT_GE(progress.positions.size(), 5u);
    EXPECT_LE(progress.positions.size(), 7u);
    EXPECT_DOUBLE_EQ(1.0, progress.positions.back());
    for (size_t i = 1; i < progress.positions.size(); ++i)
        EXPECT_LT(progress.positions[i - 1], progress.positions[i]);

    TRecordingProgress empty;
    EXPECT_TRUE(parser.ParseWithProgress("", 0, position, remaining, sink, &empty));
    EXPECT_TRUE(empty.positions.empty());
    EXPECT_EQ(empty.begins, empty.ends);
}

struct TCodecCase {
    std::string input;
    std::string output;
};

std::string Decoded(std::string text)
{
    size_t n = DecodeXmlEntities(text.data(), text.size(), &text[0]);
    return text.substr(0, n);
}

TEST(XmlEntities, DecodesKnownReferencesAndKeepsTheRest)
{
    const TCodecCase cases[] = {
        {"&#65;", "A"},
        {"&#x41;", "A"},
        {"&#x20AC;", "\xE2\x82\xAC"},
        {"&#x10FFFF;", "\xF4\x8F\xBF\xBF"},
        {"&amp;&lt;&gt;&quot;&apos;", "&<>\"'"},
        {"&amp;amp;", "&amp;"},
        {"&#65x;", "&#65x;"},
        {"&AMP;", "&AMP;"},
        {"&nbsp;", "&nbsp;"},
        {"a&b", "a&b"},
        {std::string("&#;"), std::string(1, '\0')},
        {std::string("&#x;"), std::string(1, '\0')},
        {"a & b &lt; c", "a & b &lt; c"},
        {"x&#x9;y&#xD;&#xA;", "x\ty\r\n"},
        // References whose UTF-8 form would be longer than themselves stay text.
        {"&#-1;", "&#-1;"},
        {"&#-1;&#-1;&#-1;", "&#-1;&#-1;&#-1;"},
    };
    for (const TCodecCase &c : cases)
        EXPECT_EQ(c.output, Decoded(c.input)) << c.input;
}

TEST(XmlEntities, DecodingInPlaceNeverWritesPastTheInput)
{
    // A run of references that would each grow, followed by a guard byte.
    std::string text;
    for (int i = 0; i < 100; ++i)
        text += "&#-1;";
    std::string buffer = text + "#";
    size_t n = DecodeXmlEntities(buffer.data(), text.size(), &buffer[0]);
    EXPECT_EQ(text.size(), n);
    EXPECT_EQ(text + "#", buffer);
}

TEST(XmlEntities, EncodesWithTheForcedClassesAndTheMask)
{
    const unsigned char writerMask = 0x37;
    struct {
        std::string input;
        unsigned char mask;
        std::string output;
    } cases[] = {
        {"a<b>c&d", writerMask, "a&lt;b&gt;c&amp;d"},
        {"\t\r\n\x1F", writerMask, "&#x9;&#xD;&#xA;&#x1F;"},
        {std::string(1, '\0'), writerMask, "&#x0;"},
        {"\"'", writerMask, "&quot;'"},
        {"\x80\xFF\xC0", writerMask, "\x80\xFF\xC0"},
        {"\"'<", 0, "\"'&lt;"},
        {"'", 8, "&apos;"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(c.output, EncodeXmlEntities(c.input, c.mask)) << c.input;
}

TEST(XmlEntities, EncodedTextDecodesBack)
{
    std::string all;
    for (int c = 0; c < 256; ++c)
        all += char(c);
    EXPECT_EQ(all, Decoded(EncodeXmlEntities(all, 0x37)));
}

} // namespace
