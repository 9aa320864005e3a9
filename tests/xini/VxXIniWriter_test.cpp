#include <cmath>
#include <cstring>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "foundation/VxGZip.h"
#include "foundation/VxMessage.h"
#include "foundation/VxStream.h"
#include "foundation/VxText.h"
#include "xini/VxXIniFormat.h"
#include "xini/VxXIniStreamReader.h"
#include "xini/VxXIniStreamWriter.h"
#include "xini/VxXIniTree.h"
#include "tests/xini/ExampleDocument.h"

namespace {

typedef std::function<void(TVxXIniStreamWriter &)> TBody;

std::string Written(const TBody &body, unsigned char style = 2, uint32_t options = 0)
{
    var_a<TVxStringStream> stream = make_var_a<TVxStringStream>();
    TVxXIniStreamWriter writer(stream, options, style);
    body(writer);
    EXPECT_TRUE(writer.CloseDocument());
    return stream->getText();
}

std::string Doc(const std::string &items) { return "<vxini>\n" + items + "</vxini>\n"; }

// Takes `accept` bytes in all, then answers each write short (`part` bytes
// of it, or the error value when failValue is set).
class TFailingStream : public TVxStream {
public:
    TFailingStream(unsigned accept, bool errorValue) : TVxStream("out.x-ini"), accept_(accept), errorValue_(errorValue) {}
    using TVxStream::Write;
    unsigned Write(const void *data, unsigned count) override
    {
        const unsigned part = std::min(count, accept_ - unsigned(text.size()));
        text.append(static_cast<const char *>(data), part);
        sizes.push_back(count);
        return part == count || !errorValue_ ? part : ErrorValue;
    }
    unsigned Read(void *, unsigned) override { return ErrorValue; }
    unsigned getSize() override { return unsigned(text.size()); }
    bool setSize(unsigned) override { return false; }
    unsigned getPosition() override { return unsigned(text.size()); }
    bool setPosition(unsigned) override { return false; }
    bool isOpen() override { return true; }

    unsigned accept_;
    bool errorValue_;
    std::string text;
    std::vector<unsigned> sizes;
};

std::string Gunzip(const std::string &bytes)
{
    TVxStringStream source;
    source.setText(bytes);
    TVxGZipReader reader;
    EXPECT_TRUE(reader.Open(&source, nullptr));
    std::string text(reader.getSize(), '\0');
    EXPECT_EQ(text.size(), reader.Read(&text[0], unsigned(text.size())));
    return text;
}

} // namespace

TEST(VxXIniStreamWriter, WritesTheReferenceDocumentByteForByte)
{
    const std::string text = Written([](TVxXIniStreamWriter &w) {
        w.WriteComment("sample");
        w.WriteInt32("count", 3);
        w.WriteHexUInt32("mask", 31);
        w.WriteHexInt32("offset", -16);
        w.WriteDouble("scale", 2.5);
        w.WriteString("title", "A & B \"1\"");
        w.WriteString("empty", "");
        EXPECT_EQ(1u, w.BeginSection("window"));
        w.WriteInt32("left", -10);
        w.WritePoint2("pos", 1.0, 2.0);
        EXPECT_EQ(2u, w.BeginSectionOneLine("flags"));
        w.WriteInt32("a", 1);
        w.WriteBool("b", false);
        EXPECT_TRUE(w.EndSections(2));
        EXPECT_TRUE(w.EndSections(1));
        w.WriteTextLines("notes", "first\r\nsecond");
        w.WriteBinary("blob", std::string("\0\1\2\3", 4));
    }, 0);
    EXPECT_EQ(XIniTest::ExampleDocument, text);
}

TEST(VxXIniStreamWriter, EmptyDocumentOfEachHeaderStyle)
{
    const std::string decl = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n";
    const std::string doctype = "<!DOCTYPE vxini SYSTEM \"vxini4.dtd\">\n";
    const struct {
        unsigned char style;
        std::string text;
    } cases[] = {
        {0, decl + doctype + Doc("")}, {1, decl + Doc("")}, {2, Doc("")}, {7, Doc("")}, {3, "<vxini></vxini>"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(c.text, Written([](TVxXIniStreamWriter &) {}, c.style)) << int(c.style);
}

TEST(VxXIniStreamWriter, OneLineDocumentBreaksOnceTheLineHoldsTheLimit)
{
    // "<vxini>" and 102 items of 10 bytes make 1027 bytes: the line ends after
    // the item that reaches 2 + 1024; the rest goes on indented by two spaces.
    const std::string item = "<i v=\"1\"/>";
    std::string expected = "<vxini>";
    for (int i = 0; i < 102; ++i)
        expected += item;
    expected += "\n  " + item + "</vxini>";
    EXPECT_EQ(expected, Written([](TVxXIniStreamWriter &w) {
        for (int i = 0; i < 103; ++i)
            w.WriteInt32("", 1);
    }, 3));

    // The end tag itself reaching the limit gets the line end.
    const std::string comment(1004, 'c');
    EXPECT_EQ("<vxini><!-- " + comment + " --></vxini>\n",
              Written([&](TVxXIniStreamWriter &w) { w.WriteComment(comment); }, 3));
}

TEST(VxXIniStreamWriter, OneLineModeEndsWithSetOneLineOrAnOuterSection)
{
    EXPECT_EQ(Doc("  <i n=\"a\" v=\"1\"/><i n=\"b\" v=\"2\"/>\n  <i n=\"c\" v=\"3\"/>\n"),
              Written([](TVxXIniStreamWriter &w) {
                  w.SetOneLine(true);
                  w.WriteInt32("a", 1);
                  w.WriteInt32("b", 2);
                  w.SetOneLine(false);
                  w.WriteInt32("c", 3);
              }));
    EXPECT_EQ(Doc("  <x n=\"o\">\n    <x n=\"p\"><x><i v=\"1\"/></x></x>\n  </x>\n  <i v=\"2\"/>\n"),
              Written([](TVxXIniStreamWriter &w) {
                  w.BeginSection("o");
                  w.BeginSectionOneLine("p");
                  w.BeginSection("");
                  w.WriteInt32("", 1);
                  EXPECT_TRUE(w.EndSections(1));
                  w.WriteInt32("", 2);
              }));
}

TEST(VxXIniStreamWriter, ItemTextsEscapesAndLineSplitting)
{
    const struct {
        TBody body;
        std::string items;
    } cases[] = {
        {[](TVxXIniStreamWriter &w) { w.WriteHexInt64("", std::numeric_limits<int64_t>::min()); }, "<i v=\"-0x8000000000000000\"/>"},
        {[](TVxXIniStreamWriter &w) { w.WriteFloat("", 0.1f); }, "<d v=\"1.00000001e-01\"/>"},
        {[](TVxXIniStreamWriter &w) { w.WriteString("", "\t\r\n'\xCF\xF0"); }, "<s v=\"&#x9;&#xD;&#xA;'\xD0\x9F\xD1\x80\"/>"},
        {[](TVxXIniStreamWriter &w) { w.WriteInt32("a<\"\x01\xE9", 1); }, "<i n=\"a&lt;&quot;&#x1;\xE9\" v=\"1\"/>"},
        {[](TVxXIniStreamWriter &w) { w.WriteComment("a--b---"); }, "<!-- a-~b-~- -->"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(Doc("  " + c.items + "\n"), Written(c.body));

    const std::string line64(64, 'A');
    EXPECT_EQ(Doc("  <b>\n  </b>\n"), Written([](TVxXIniStreamWriter &w) { w.WriteBinary("", ""); }));
    EXPECT_EQ(Doc("  <b>\n    " + line64 + "\n  </b>\n"),
              Written([](TVxXIniStreamWriter &w) { w.WriteBinary("", std::string(48, '\0')); }));
    EXPECT_EQ(Doc("  <b>\n    " + line64 + "\n    AA==\n  </b>\n"),
              Written([](TVxXIniStreamWriter &w) { w.WriteBinary("", std::string(49, '\0')); }));
    EXPECT_EQ(Doc("  <x>\n    <s v=\"a&#xD;&#xA;\"/>\n    <s v=\"b&#xD;\"/>\n    <s v=\"c&#xA;\"/>\n  </x>\n"),
              Written([](TVxXIniStreamWriter &w) { w.WriteTextLines("", "a\r\nb\rc\n"); }));
    EXPECT_EQ(Doc("  <x>\n  </x>\n"), Written([](TVxXIniStreamWriter &w) { w.WriteTextLines("", ""); }));
}

TEST(VxXIniStreamWriter, EndSectionsWithoutAnOpenSectionFailsTheDocument)
{
    var_a<TVxStringStream> stream = make_var_a<TVxStringStream>();
    TVxXIniStreamWriter writer(stream, 0, 2);
    EXPECT_FALSE(writer.EndSections(1));
    EXPECT_FALSE(writer.CloseDocument());
    EXPECT_EQ(Doc(""), stream->getText());
}

TEST(VxXIniStreamWriter, RefusesSectionsBeyondTheNestingLimit)
{
    // One-line layout keeps the deep document small.
    var_a<TVxStringStream> stream = make_var_a<TVxStringStream>();
    TVxXIniStreamWriter writer(stream, 0, 3);
    for (unsigned depth = 1; depth < VxXIniMaxDepth; ++depth)
        ASSERT_EQ(depth, writer.BeginSection(""));
    EXPECT_EQ(0u, writer.BeginSection(""));
    EXPECT_FALSE(writer.WritePoint2("", 1, 2));
    EXPECT_TRUE(writer.WriteInt32("", 1));
    EXPECT_FALSE(writer.CloseDocument());
    EXPECT_TRUE(VxXIniCheckText(stream->getText().data(), stream->getText().size()));
}

TEST(VxXIniStreamWriter, HandsTheStreamFullBuffersAndTheRestAtFlush)
{
    // "<vxini>\n" (8) + "  <!-- " ... " -->\n" (L + 12): L = 16364 fills the buffer exactly.
    for (unsigned length : {16363u, 16364u}) {
        TFailingStream *raw = new TFailingStream(~0u, false);
        VTVxStream stream = make_var_a_s<TVxStream>(raw);
        TVxXIniStreamWriter writer(stream, 0, 2);
        writer.WriteComment(std::string(length, 'c'));
        EXPECT_EQ(length == 16364u ? std::vector<unsigned>{16384} : std::vector<unsigned>{}, raw->sizes);
        EXPECT_TRUE(writer.FlushBuffer());
        EXPECT_EQ(length + 20, raw->text.size());
    }
}

TEST(VxXIniStreamWriter, AFailedWriteIsNeverReportedAsSuccess)
{
    for (bool errorValue : {false, true}) {
        TFailingStream *raw = new TFailingStream(5, errorValue);
        VTVxStream stream = make_var_a_s<TVxStream>(raw);
        TVxXIniStreamWriter writer(stream, 0, 2);
        EXPECT_TRUE(writer.WriteInt32("a", 1));
        EXPECT_FALSE(writer.FlushBuffer()) << errorValue;
        EXPECT_TRUE(writer.HasError());
        EXPECT_FALSE(writer.CloseDocument());
        EXPECT_FALSE(writer.CloseDocument());
        EXPECT_FALSE(writer.WriteInt32("b", 2));
        EXPECT_EQ(0u, writer.BeginSection("c"));
    }
    // A long item that meets a failing buffer write fails at once.
    TFailingStream *raw = new TFailingStream(100, true);
    VTVxStream stream = make_var_a_s<TVxStream>(raw);
    TVxXIniStreamWriter writer(stream, 0, 2);
    EXPECT_FALSE(writer.WriteComment(std::string(20000, 'c')));
}

TEST(VxXIniStreamWriter, BytesAStreamTookAreNotWrittenTwice)
{
    TFailingStream *raw = new TFailingStream(10, false);
    VTVxStream stream = make_var_a_s<TVxStream>(raw);
    TVxXIniStreamWriter writer(stream, 0, 2);
    writer.WriteInt32("a", 1);
    EXPECT_FALSE(writer.FlushBuffer());
    raw->accept_ = ~0u;
    EXPECT_TRUE(writer.FlushBuffer());
    EXPECT_FALSE(writer.CloseDocument());
    EXPECT_EQ(Doc("  <i n=\"a\" v=\"1\"/>\n"), raw->text);
}

TEST(VxXIniStreamWriter, RaiseWriteErrorNamesTheStream)
{
    std::string expected = LoadResStdString(31021);
    expected.replace(expected.find("%1%"), 3, "out.x-ini");
    const struct {
        uint32_t options;
        std::string text;
    } cases[] = {{0, expected}, {0x1001, LoadResStdString(31037)}};
    for (const auto &c : cases) {
        VTVxStream stream = make_var_a_s<TVxStream>(new TFailingStream(~0u, false));
        TVxXIniStreamWriter writer(stream, c.options, 2);
        bool raised = false;
        try {
            writer.RaiseWriteError();
        } catch (const Mirelta::TVxMessage &message) {
            raised = true;
            EXPECT_EQ(c.text, message.Text());
        }
        EXPECT_TRUE(raised);
    }
}

TEST(VxXIniStreamWriter, GZipLayersWrapTheTextAndFinishAtClose)
{
    const TBody body = [](TVxXIniStreamWriter &w) { w.WriteString("s", std::string(3000, 'x') + "y"); };
    const std::string plain = Written(body);
    for (unsigned layers = 1; layers <= 3; ++layers) {
        var_a<TVxStringStream> stream = make_var_a<TVxStringStream>();
        TVxXIniStreamWriter writer(stream, MakeVxXIniGZipOptions(layers), 2);
        body(writer);
        ASSERT_TRUE(writer.CloseDocument());
        // Complete while the writer still lives.
        std::string text = stream->getText();
        for (unsigned i = 0; i < layers; ++i) {
            ASSERT_EQ("\x1F\x8B", text.substr(0, 2));
            text = Gunzip(text);
        }
        EXPECT_EQ(plain, text) << layers;

        // A stream that refuses the very last byte of the outermost member.
        TFailingStream *raw = new TFailingStream(unsigned(stream->getText().size() - 1), false);
        TVxXIniStreamWriter failing(make_var_a_s<TVxStream>(raw), MakeVxXIniGZipOptions(layers), 2);
        body(failing);
        EXPECT_FALSE(failing.CloseDocument()) << layers;
    }
}

TEST(VxXIniStreamWriter, CopyXmlReindentsTheSourceUnderTheCurrentDepth)
{
    const std::string source = Doc("  <i n=\"a\" v=\"1\"/>\n  <x>\n    <i v=\"2\"/>\n  </x>\n");
    EXPECT_EQ(Doc("  <x>\n    <i n=\"a\" v=\"1\"/>\n    <x>\n      <i v=\"2\"/>\n    </x>\n  </x>\n"),
              Written([&](TVxXIniStreamWriter &w) {
                  w.BeginSection("");
                  EXPECT_TRUE(w.CopyXml(source));
              }));
    EXPECT_EQ(Doc("  <i n=\"a\" v=\"1\"/><x><i v=\"2\"/></x>\n"), Written([&](TVxXIniStreamWriter &w) {
        w.SetOneLine(true);
        EXPECT_TRUE(w.CopyXml(source));
        w.SetOneLine(false);
    }));
    EXPECT_EQ(Doc("  <x n=\"e\">\n  </x>\n"),
              Written([](TVxXIniStreamWriter &w) { EXPECT_TRUE(w.WriteSectionXml("e", "<vxini/>")); }));
}

TEST(VxXIniStreamWriter, CopyXmlRefusesWhatTheReaderWouldRefuseBeforeWriting)
{
    const char *texts[] = {
        "no root here",
        "<vxini><i v=\"1\"/>",                       // root never closed
        "<vxini><i v=\"1\"/><ab/></vxini>",          // two-letter element
        "<vxini><i v=\"1\"/><x v=\"1\"></x></vxini>", // v on a section
        "<vxini><i v=\"1\"/><!ELEMENT a></vxini>",
    };
    for (const char *text : texts) {
        var_a<TVxStringStream> stream = make_var_a<TVxStringStream>();
        TVxXIniStreamWriter writer(stream, 0, 2);
        EXPECT_FALSE(writer.CopyXml(text)) << text;
        EXPECT_FALSE(writer.WriteSectionXml("s", text)) << text;
        writer.CloseDocument();
        EXPECT_EQ(Doc(""), stream->getText()) << text;
    }
}

TEST(VxXIniStreamWriter, MergeXIniMarksInvalidItemsAndKeepsBinaryTextClean)
{
    VTVxXIniTree tree = MakeVxXIniTree();
    tree->AddItem(9, "bad", "1");
    tree->AddItem(VxXIniBinary, "b", "QU\nJD<&");
    tree->AddSection("s")->AddItem(VxXIniString, "", "a&b");

    var_a<TVxStringStream> stream = make_var_a<TVxStringStream>();
    TVxXIniStreamWriter writer(stream, 0, 2);
    EXPECT_FALSE(writer.MergeXIni(*tree));
    EXPECT_FALSE(writer.CloseDocument());
    EXPECT_EQ(Doc("  <!-- MergeXIni error: invalid item type -->\n  <b n=\"b\">\n    QUJD\n  </b>\n"
                  "  <x n=\"s\">\n    <s v=\"a&amp;b\"/>\n  </x>\n"),
              stream->getText());
}

TEST(VxXIniStreamWriter, MergeOfAVeryDeepTreeStopsAtTheLimitWithoutRecursion)
{
    VTVxXIniTree root = MakeVxXIniTree();
    VTVxXIniTree tree = root;
    for (int i = 0; i < 100000; ++i)
        tree = tree->AddSection("");
    var_a<TVxStringStream> stream = make_var_a<TVxStringStream>();
    TVxXIniStreamWriter writer(stream, 0, 3);
    EXPECT_FALSE(writer.MergeXIni(*root));
    EXPECT_FALSE(writer.CloseDocument());
    EXPECT_TRUE(VxXIniCheckText(stream->getText().data(), stream->getText().size()));
}

TEST(VxXIniStreamWriter, EveryItemTypeReadsBackThroughTheReader)
{
    const double inf = std::numeric_limits<double>::infinity();
    const std::string binary49 = [] {
        std::string b;
        for (int i = 0; i < 49; ++i)
            b += char(i * 37);
        return b;
    }();
    var_a<TVxStringStream> stream = make_var_a<TVxStringStream>();
    {
        TVxXIniStreamWriter w(stream, 0, 0);
        w.WriteHexInt32("h32", std::numeric_limits<int32_t>::min());
        w.WriteHexInt64("h64", std::numeric_limits<int64_t>::min());
        w.WriteHexUInt64("hu64", 0xFEDCBA9876543210ull);
        w.WriteInt64("i64", std::numeric_limits<int64_t>::max());
        w.WriteUInt32("u32", 0xFFFFFFFFu);
        w.WriteFloat("f", 0.1f);
        w.WriteDouble("inf", -inf);
        w.WriteDouble("nan", std::numeric_limits<double>::quiet_NaN());
        w.WriteDouble("tiny", 4.9406564584124654e-324);
        w.WriteString("s", "\x01\"'<>&\xCF\xF0\xE8{@u4E2D}\r\n");
        w.WriteBinary("b0", "");
        w.WriteBinary("b1", "\xFF");
        w.WriteBinary("b48", std::string(48, '\x80'));
        w.WriteBinary("b49", binary49);
        w.WriteTextLines("t", "a\r\nb\rc\nd");
        w.WritePoint3("p", 1.5, -2.25, 1e300);
        ASSERT_TRUE(w.CloseDocument());
    }
    TVxXIniStreamReader r(stream, true);
    EXPECT_EQ(std::numeric_limits<int32_t>::min(), r.GetIntRequired(r.FindRequired("h32")));
    EXPECT_EQ(std::numeric_limits<int64_t>::min(), r.GetInt64Required(r.FindRequired("h64")));
    EXPECT_EQ(0xFEDCBA9876543210ull, r.GetUInt64Required(r.FindRequired("hu64")));
    EXPECT_EQ(std::numeric_limits<int64_t>::max(), r.GetInt64Required(r.FindRequired("i64")));
    EXPECT_EQ(0xFFFFFFFFu, r.GetUIntRequired(r.FindRequired("u32")));
    EXPECT_EQ(0.1f, float(r.GetDoubleRequired(r.FindRequired("f"))));
    EXPECT_EQ(-inf, r.GetDoubleRequired(r.FindRequired("inf")));
    EXPECT_TRUE(std::isnan(r.GetDoubleRequired(r.FindRequired("nan"))));
    EXPECT_EQ(4.9406564584124654e-324, r.GetDoubleRequired(r.FindRequired("tiny")));
    EXPECT_EQ("\x01\"'<>&\xCF\xF0\xE8{@u4E2D}\r\n", r.GetTextRequired(r.FindRequired("s")));
    EXPECT_EQ("", r.GetBinaryRequired(r.FindRequired("b0")));
    EXPECT_EQ("\xFF", r.GetBinaryRequired(r.FindRequired("b1")));
    EXPECT_EQ(std::string(48, '\x80'), r.GetBinaryRequired(r.FindRequired("b48")));
    EXPECT_EQ(binary49, r.GetBinaryRequired(r.FindRequired("b49")));
    EXPECT_EQ("a\r\nb\rc\nd", r.GetTextRequired(r.FindRequired("t")));
    double x = 0, y = 0, z = 0;
    r.GetPoint3Required(r.FindRequired("p"), x, y, z);
    EXPECT_EQ(1.5, x);
    EXPECT_EQ(-2.25, y);
    EXPECT_EQ(1e300, z);
}
