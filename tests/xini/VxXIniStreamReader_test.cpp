#include "xini/VxXIniStreamReader.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <windows.h>
#include <psapi.h>

#include "foundation/VxGZip.h"
#include "foundation/VxMessage.h"
#include "foundation/VxStream.h"
#include "foundation/VxText.h"
#include "xini/VxXIniTree.h"

namespace {

std::string Ru(const char *utf8)
{
    return Utf8ToAnsi(utf8);
}

VTVxStream TextStream(const std::string &text, const std::string &name = std::string())
{
    var_a<TVxStringStream> stream = make_var_a<TVxStringStream>();
    stream->setText(text);
    stream->setName(name);
    return stream;
}

std::unique_ptr<TVxXIniStreamReader> Reader(const std::string &text, const std::string &name = "doc")
{
    return std::unique_ptr<TVxXIniStreamReader>(new TVxXIniStreamReader(TextStream(text, name), false));
}

// The text of the message that f throws, or "(no message)".
std::string MessageOf(const std::function<void()> &f)
{
    try {
        f();
    } catch (const Mirelta::TVxMessage &m) {
        return m.Text();
    }
    return "(no message)";
}

std::string LoadError(const VTVxStream &stream)
{
    return MessageOf([&] { TVxXIniStreamReader reader(stream, true); });
}

std::string GZip(const std::string &data)
{
    TVxStringStream out;
    TVxGZipWriter writer;
    EXPECT_TRUE(writer.Open(&out, -1));
    EXPECT_EQ(data.size(), writer.Write(data.data(), unsigned(data.size())));
    EXPECT_TRUE(writer.Close());
    return out.getText();
}

std::string GZipTimes(std::string data, int layers)
{
    for (int i = 0; i < layers; ++i)
        data = GZip(data);
    return data;
}

// A stream that cannot tell its size.
class TSizelessStream : public TVxStream {
public:
    unsigned Read(void *, unsigned) override { return 0xFFFFFFFF; }
    unsigned Write(const void *, unsigned) override { return 0xFFFFFFFF; }
    unsigned getSize() override { return 0xFFFFFFFF; }
    bool setSize(unsigned) override { return false; }
    unsigned getPosition() override { return 0; }
    bool setPosition(unsigned) override { return true; }
    bool isOpen() override { return true; }
};

// A stream that announces more bytes than it delivers.
class TShortStream : public TSizelessStream {
public:
    unsigned Read(void *buffer, unsigned count) override
    {
        unsigned n = count < 10 ? count : 10;
        std::memset(buffer, ' ', n);
        return n;
    }
    unsigned getSize() override { return 100; }
};

// ---- Loading

TEST(XIniLoad, IgnoresWhatPrecedesTheRoot)
{
    auto reader = Reader("\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
                         "<!DOCTYPE vxini [ <!ENTITY e '>'> ]>\n<!-- note --><?pi x?>\n"
                         "<vxini attr='ignored'><i v=\"5\"/></vxini>");
    EXPECT_FALSE(reader->IsBroken());
    EXPECT_EQ(1u, reader->Count());
    EXPECT_EQ(5, reader->GetInt(0u, 0));
    EXPECT_EQ(0u, Reader("<vxini/>")->CountRequired());
}

TEST(XIniLoad, LoadErrorsNameTheStream)
{
    EXPECT_EQ(Ru("Ошибка чтения \"cfg\"\nОшибка формата данных VxXIni"),
              LoadError(TextStream("<?xml version=\"1.0\"?><root/>", "cfg")));
    EXPECT_EQ(Ru("Ошибка формата данных VxXIni"), LoadError(TextStream("<?xml version=\"1.0\"?><root/>")));
    EXPECT_EQ(Ru("Ошибка формата данных VxXIni"), LoadError(TextStream("")));
    EXPECT_EQ(Ru("Ошибка формата данных VxXIni"), LoadError(TextStream("</vxini><vxini>")));
    EXPECT_EQ(Ru("Ошибка чтения потока"), LoadError(make_var_a<TSizelessStream>()));
    var_a<TSizelessStream> sizeless = make_var_a<TSizelessStream>();
    sizeless->setName("big");
    EXPECT_EQ(Ru("Ошибка чтения \"big\""), LoadError(sizeless));
    var_a<TShortStream> shortStream = make_var_a<TShortStream>();
    EXPECT_EQ(Ru("Ошибка чтения потока"), LoadError(shortStream));
}

TEST(XIniLoad, MissingStreamIsALoadErrorNotACrash)
{
    EXPECT_EQ(Ru("Ошибка чтения потока"), LoadError(VTVxStream()));
    TVxXIniStreamReader quiet(VTVxStream(), false);
    EXPECT_TRUE(quiet.IsBroken());
    EXPECT_EQ(0u, quiet.Count());
    EXPECT_EQ(7, quiet.GetInt(0u, 7));
}

TEST(XIniLoad, WithoutTheThrowFlagAFailedLoadGivesAnEmptyBrokenRoot)
{
    auto reader = Reader("not x-ini");
    EXPECT_TRUE(reader->IsBroken());
    EXPECT_EQ(0u, reader->Count());
    EXPECT_EQ(Ru("Ошибка чтения \"doc:<#0>\"\nОшибка формата данных VxXIni (\"doc:<#0+>+\")"),
              MessageOf([&] { reader->CountRequired(); }));
}

// ---- Gzip layers

const char SmallDocument[] = "<vxini><i n=\"a\" v=\"1\"/><s n=\"b\" v=\"two\"/></vxini>\n";

TEST(XIniGZip, OneToThreeLayersAreUnwrapped)
{
    for (int layers = 1; layers <= 3; ++layers) {
        TVxXIniStreamReader reader(TextStream(GZipTimes(SmallDocument, layers), "d"), true);
        EXPECT_EQ(2u, reader.Count()) << layers;
        EXPECT_EQ(1, reader.GetIntRequired(reader.FindRequired("a")));
        EXPECT_EQ("two", reader.GetTextRequired(1u));
        // Getters name the stream by its own name.
        EXPECT_EQ(Ru("Ошибка чтения \"d:<#5>\"\nЗапись не найдена"), MessageOf([&] { reader.GetTypeRequired(5u); }));
    }
}

TEST(XIniGZip, LoadErrorsAfterTheLayersNameTheLayers)
{
    EXPECT_EQ(Ru("Ошибка чтения \"d:gzip:gzip\"\nОшибка формата данных VxXIni"),
              LoadError(TextStream(GZipTimes("<other/>", 2), "d")));
}

TEST(XIniGZip, SeventeenLayersAreRefused)
{
    std::string name = "d";
    for (int i = 0; i < 16; ++i)
        name += ":gzip";
    EXPECT_EQ(Ru("Ошибка чтения \"") + name + Ru("\"\nОшибка формата сжатых данных (gzip)"),
              LoadError(TextStream(GZipTimes(SmallDocument, 17), "d")));
    TVxXIniStreamReader sixteen(TextStream(GZipTimes(SmallDocument, 16), "d"), true);
    EXPECT_EQ(2u, sixteen.Count());
}

TEST(XIniGZip, DamagedLayersAreLoadErrors)
{
    const std::string packed = GZip(SmallDocument);

    std::string badCrc = packed;
    badCrc[badCrc.size() - 8] ^= 0x55;
    EXPECT_EQ(Ru("Ошибка чтения \"d:gzip\"\nОшибка чтения сжатых данных (gzip)"), LoadError(TextStream(badCrc, "d")));

    std::string badHeader = packed;
    badHeader[2] = 7; // not deflate
    EXPECT_EQ(Ru("Ошибка чтения \"d\"\nОшибка формата сжатых данных (gzip)"), LoadError(TextStream(badHeader, "d")));

    // An announced size that deflate cannot reach from these few bytes.
    std::string hugeSize = packed;
    hugeSize.replace(hugeSize.size() - 4, 4, "\xF0\xFF\xFF\x7F", 4);
    EXPECT_EQ(Ru("Ошибка чтения \"d\"\nОшибка формата сжатых данных (gzip)"), LoadError(TextStream(hugeSize, "d")));

    std::string maxSize = packed;
    maxSize.replace(maxSize.size() - 4, 4, "\xFF\xFF\xFF\xFF", 4);
    EXPECT_EQ(Ru("Ошибка формата сжатых данных (gzip)"), LoadError(TextStream(maxSize)));

    // Cut inside the compressed data: whatever the last bytes announce, a load error.
    std::string cut = GZip(std::string(2000, ' ') + SmallDocument);
    cut.resize(cut.size() / 2);
    TVxXIniStreamReader quiet(TextStream(cut, "d"), false);
    EXPECT_TRUE(quiet.IsBroken());
    EXPECT_EQ(0u, quiet.Count());
}

TEST(XIniGZip, ConcatenatedMembersAreReadToTheEnd)
{
    std::string first = "<vxini>" + std::string(100000, ' ') + "<i v=\"1\"/>";
    std::string second = "<i v=\"2\"/></vxini>";
    TVxXIniStreamReader reader(TextStream(GZip(first) + GZip(second), "d"), true);
    EXPECT_EQ(2u, reader.CountRequired());
    EXPECT_EQ(2, reader.GetIntRequired(1u));
}

// Gzip member of head, count times the byte c and tail, deflated piece by piece so
// that the test never holds the whole text.
std::string GZipRun(const std::string &head, char c, size_t count, const std::string &tail)
{
    TVxStringStream out;
    TVxGZipWriter writer;
    EXPECT_TRUE(writer.Open(&out, -1));
    writer.Write(head);
    const std::string piece(0x100000, c);
    for (size_t left = count; left > 0;) {
        const unsigned n = unsigned(left < piece.size() ? left : piece.size());
        EXPECT_EQ(n, writer.Write(piece.data(), n));
        left -= n;
    }
    writer.Write(tail);
    EXPECT_TRUE(writer.Close());
    return out.getText();
}

// The most memory the process has held so far.
size_t PeakMemory()
{
    PROCESS_MEMORY_COUNTERS counters = {};
    counters.cb = sizeof counters;
    if (!K32GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters))
        return 0;
    return counters.PeakWorkingSetSize;
}

// Layers whose stored bytes are few but whose text is huge: each layer on its own
// keeps within what deflate can do, all of them together do not. The load fails
// as soon as the bound of the stored bytes is passed, before much is unpacked.
TEST(XIniGZip, LayersTogetherAreBoundByWhatTheStoredBytesCanHold)
{
    const size_t MiB = 0x100000;
    // Two layers: the inner one is 256 members of 1 MiB of blanks each, and its
    // announced size is the last member's, 8 bytes.
    const std::string blanks = GZipRun("", ' ', MiB, "");
    std::string members = GZip("<vxini>");
    for (int i = 0; i < 256; ++i)
        members += blanks;
    members += GZip("</vxini>");
    const std::string twoLayers = GZip(members);
    // Three layers around one member of 64 MiB: each layer announces what
    // deflate can make of the layer below it.
    const std::string threeLayers = GZipTimes(GZipRun("<vxini>", ' ', 64 * MiB, "</vxini>"), 2);
    EXPECT_LT(twoLayers.size(), 4096u);
    EXPECT_LT(threeLayers.size(), 1024u);

    const size_t peakBefore = PeakMemory();
    const DWORD start = GetTickCount();
    EXPECT_EQ(Ru("Ошибка чтения \"d:gzip\"\nОшибка формата сжатых данных (gzip)"),
              LoadError(TextStream(twoLayers, "d")));
    EXPECT_EQ(Ru("Ошибка чтения \"d:gzip:gzip\"\nОшибка формата сжатых данных (gzip)"),
              LoadError(TextStream(threeLayers, "d")));
    TVxXIniStreamReader quiet(TextStream(twoLayers, "d"), false);
    EXPECT_TRUE(quiet.IsBroken());
    EXPECT_LT(GetTickCount() - start, 10000u);
    EXPECT_LT(PeakMemory() - peakBefore, 16 * MiB) << "unpacked far beyond the bound";

    // A member followed by an empty one announces no bytes at all; the buffer
    // grows for the text, which loads.
    TVxXIniStreamReader trailed(TextStream(GZip(SmallDocument) + GZip(""), "d"), true);
    EXPECT_EQ(2u, trailed.CountRequired());

    // A document of ordinary text loads through as many layers.
    std::string text = "<vxini>";
    for (int i = 0; i < 20000; ++i)
        text += "<i n=\"key" + std::to_string(i) + "\" v=\"" + std::to_string(i * 7919 % 100003) + "\"/>\n";
    text += "</vxini>";
    TVxXIniStreamReader reader(TextStream(GZipTimes(text, 3), "d"), true);
    EXPECT_EQ(20000u, reader.CountRequired());
}

// ---- Malformed documents

TEST(XIniGrammar, EachBreachStopsTheSectionAfterTheItemsBeforeIt)
{
    const char *const breaches[] = {
        "<i n=\"b\"/>",                 // i without v
        "<q v=\"2\"/>",                 // unknown element
        "<ii v=\"2\"/>",                // two letters
        "<i n=\"b\" w=\"2\"/>",         // unknown attribute
        "<i n=\"b\" n=\"c\" v=\"2\"/>", // second name
        "<i v=\"1\" v=\"2\"/>",         // second value
        "<x n=\"b\" v=\"2\"/>",         // value on a section
        "<b v=\"2\">QUJD</b>",          // value on binary data
        "<i n=\"b\" v=2/>",             // malformed tag
        "</x>",                         // foreign end tag
        "<!ELEMENT x>",                 // other markup
        "",                             // no end at all
    };
    for (const char *breach : breaches) {
        std::string text = std::string("<vxini><i n=\"a\" v=\"1\"/>") + breach + (*breach ? "</vxini>" : "");
        auto reader = Reader(text);
        EXPECT_EQ(1, reader->GetIntRequired(0u)) << breach;
        EXPECT_FALSE(reader->IsBroken()) << breach;
        EXPECT_EQ(1u, reader->Count()) << breach;
        EXPECT_TRUE(reader->IsBroken()) << breach;
        EXPECT_EQ(7, reader->GetInt(1u, 7)) << breach;
        EXPECT_EQ(Ru("Ошибка чтения \"doc:<#1>\"\nОшибка формата данных VxXIni (\"doc:<i#0 \"a\">+\")"),
                  MessageOf([&] { reader->CountRequired(); }))
            << breach;
        EXPECT_EQ(Ru("Ошибка чтения \"doc:<#1>\"\nОшибка формата данных VxXIni (\"doc:<i#0 \"a\">+\")"),
                  MessageOf([&] { reader->GetIntRequired(1u); }))
            << breach;
        EXPECT_EQ(1, reader->GetIntRequired(0u)) << "still readable after the breach: " << breach;
    }
}

TEST(XIniGrammar, WhatTheReaderAcceptsBesidesTheWritersForm)
{
    auto reader = Reader("<vxini> stray text <i n = 'a' v = '1'></i><![CDATA[ignored]]>"
                         "<s v=\"x &amp; y\">content</s><b n=\"k\">QUJD<!-- c -->REVG\n  R0g=</b>"
                         "<b><![CDATA[QU]]>&#x4A;D</b><?pi?></vxini> trailing <garbage");
    EXPECT_EQ(4u, reader->CountRequired());
    EXPECT_FALSE(reader->IsBroken());
    EXPECT_EQ(1, reader->GetIntRequired(0u));
    EXPECT_EQ("a", reader->GetNameRequired(0u));
    EXPECT_EQ("x & y", reader->GetTextRequired(1u));
    EXPECT_EQ("", reader->GetNameRequired(1u));
    EXPECT_EQ("QUJDREVGR0g=", reader->GetTextRequired(2u));
    EXPECT_EQ("ABCDEFGH", reader->GetBinaryRequired(2u));
    EXPECT_EQ("ABC", reader->GetBinaryRequired(3u));
}

TEST(XIniGrammar, BreachInsideASkippedSectionBreaksTheSectionBeingLoaded)
{
    auto reader = Reader("<vxini><i v=\"1\"/><x n=\"s\"><i v=\"2\"/></b></x><i v=\"3\"/></vxini>");
    EXPECT_EQ(2u, reader->Count());
    EXPECT_TRUE(reader->IsBroken());
    EXPECT_EQ(Ru("Ошибка чтения \"doc:<#2>\"\nОшибка формата данных VxXIni (\"doc:<x#1 \"s\"> <#0+>+\")"),
              MessageOf([&] { reader->CountRequired(); }));

    const char *const insideValues[] = {"<vxini><i v=\"1\"><i v=\"2\"/></i></vxini>",
                                        "<vxini><s v=\"1\">text</x></vxini>"};
    for (const char *text : insideValues) {
        auto values = Reader(text);
        EXPECT_EQ(1u, values->Count()) << text;
        EXPECT_TRUE(values->IsBroken()) << text;
        EXPECT_EQ(1, values->GetIntRequired(0u)) << text;
    }
}

// A b item that the text ends inside, or that a breach cuts off, holds only part of
// its value: it belongs to the broken rest of the section, so the required getters
// raise 31039 for it and the optional ones do not see it.
TEST(XIniGrammar, ABinaryItemCutOffBeforeItsEndTagIsNotAnItem)
{
    EXPECT_EQ(Ru("Ошибка чтения \"doc:<#0>\"\nОшибка формата данных VxXIni (\"doc:<#0+>+\")"),
              MessageOf([] { Reader("<vxini><b n=\"k\">AAEC")->GetBinaryRequired(0u); }));

    const char *const texts[] = {
        "<vxini><i n=\"a\" v=\"1\"/><b n=\"k\">AAEC",                      // the text ends inside it
        "<vxini><i n=\"a\" v=\"1\"/><b n=\"k\">AAEC<i v=\"2\"/></b></vxini>", // an element inside it
        "<vxini><i n=\"a\" v=\"1\"/><b n=\"k\">AAEC</s></vxini>",           // a foreign end tag
    };
    const std::string broken = Ru("Ошибка формата данных VxXIni (\"doc:<i#0 \"a\">+\")");
    for (const char *text : texts) {
        auto reader = Reader(text);
        EXPECT_EQ(Ru("Ошибка чтения \"doc:<#1>\"\n") + broken, MessageOf([&] { reader->GetBinaryRequired(1u); }))
            << text;
        EXPECT_TRUE(reader->IsBroken()) << text;
        EXPECT_EQ(Ru("Ошибка чтения \"doc:<#1>\"\n") + broken, MessageOf([&] { reader->GetTextRequired(1u); }))
            << text;
        EXPECT_EQ(Ru("Ошибка чтения \"doc:<#0+ \"k\">\"\n") + broken, MessageOf([&] { reader->FindRequired("k"); }))
            << text;
        EXPECT_EQ("none", reader->GetBinary(1u, "none")) << text;
        EXPECT_EQ(VxXIniNotFound, reader->Find("k")) << text;
        EXPECT_EQ(1u, reader->Count()) << text;
        EXPECT_EQ(1, reader->GetIntRequired(0u)) << text;
    }
    EXPECT_EQ(std::string("\0\1\2", 3), Reader("<vxini><b n=\"k\">AAEC</b></vxini>")->GetBinaryRequired(0u));
}

// A name written with a reference to the zero character keeps its whole text, and
// the inner message, in every message about the item.
TEST(XIniMessages, ANameWithAZeroCharacterStaysWholeInMessages)
{
    auto reader = Reader("<vxini><i n=\"a&#0;b\" v=\"x\"/></vxini>");
    EXPECT_EQ(std::string("a\0b", 3), reader->GetNameRequired(0u));
    const std::string item = Ru("Ошибка чтения \"") + "doc:<i#0 \"a{@u0}b\">\"\n";
    EXPECT_EQ(item + Ru("Несоответствие типа (int)"), MessageOf([&] { reader->GetIntRequired(0u); }));
    EXPECT_EQ(item + Ru("Несоответствие типа (section)"), MessageOf([&] { reader->OpenSectionRequired(0u); }));
}

// ---- Lazy parsing

TEST(XIniLazy, BreachAfterTheFirstItemIsUnnoticedUntilReached)
{
    auto reader = Reader("<vxini><i n=\"a\" v=\"1\"/><i n=\"b\"/></vxini>");
    EXPECT_EQ(1, reader->GetInt(0u, 0));
    EXPECT_TRUE(reader->Exists(0u));
    EXPECT_FALSE(reader->IsBroken());
    EXPECT_EQ(5, reader->GetInt(1u, 5));
    EXPECT_TRUE(reader->IsBroken());
}

TEST(XIniLazy, NameSearchParsesOnlyUpToTheName)
{
    auto reader = Reader("<vxini><i n=\"a\" v=\"1\"/><i n=\"b\" v=\"2\"/><i n=\"a\" v=\"3\"/><i n=\"c\"/></vxini>");
    EXPECT_EQ(0u, reader->Find("a"));
    EXPECT_EQ(2u, reader->Find("a", 1));
    EXPECT_EQ(3, reader->GetInt(reader->Find("a", 1), 0));
    EXPECT_FALSE(reader->IsBroken());
    EXPECT_EQ(VxXIniNotFound, reader->Find("zz"));
    EXPECT_TRUE(reader->IsBroken());
    // A broken section answers 31039, not 31040.
    EXPECT_EQ(Ru("Ошибка чтения \"doc:<#0+ \"zz\">\"\nОшибка формата данных VxXIni (\"doc:<i#2 \"a\">+\")"),
              MessageOf([&] { reader->FindRequired("zz"); }));
}

const char ChainDocument[] = "<vxini><x n=\"a\"><x n=\"b\"><i v=\"1\"/><i v=\"2\"/></x><i v=\"3\"/></x>"
                             "<i v=\"4\"/></vxini>";

// Reads every value of ChainDocument in the order given by the steps.
void ReadChainInOrder(const std::vector<int> &steps)
{
    auto reader = Reader(ChainDocument);
    for (int step : steps) {
        switch (step) {
        case 1: { // b's first value
            unsigned l = reader->OpenSectionRequired("a");
            reader->OpenSectionRequired("b");
            EXPECT_EQ(1, reader->GetIntRequired(0u));
            reader->CloseSectionRequired(l);
            break;
        }
        case 2: { // b's second value and its end
            unsigned l = reader->OpenSectionRequired(0u);
            reader->OpenSectionRequired(0u);
            EXPECT_EQ(2, reader->GetIntRequired(1u));
            EXPECT_EQ(2u, reader->CountRequired());
            reader->CloseSectionRequired(l);
            break;
        }
        case 3: { // a's value after b
            unsigned l = reader->OpenSectionRequired(0u);
            EXPECT_EQ(3, reader->GetIntRequired(1u));
            EXPECT_EQ(2u, reader->CountRequired());
            reader->CloseSectionRequired(l);
            break;
        }
        case 4: // the root's value after a
            EXPECT_EQ(4, reader->GetIntRequired(1u));
            EXPECT_EQ(2u, reader->CountRequired());
            break;
        }
        EXPECT_EQ(0u, reader->Level());
    }
    EXPECT_FALSE(reader->IsBroken());
    EXPECT_EQ("1234", reader->GetTextRequired(0u) + reader->GetTextRequired(1u));
}

TEST(XIniLazy, EveryAccessOrderReadsTheSameValues)
{
    std::vector<int> steps = {1, 2, 3, 4};
    do {
        SCOPED_TRACE(::testing::PrintToString(steps));
        ReadChainInOrder(steps);
    } while (std::next_permutation(steps.begin(), steps.end()));
}

TEST(XIniLazy, ReferencesAreDecodedOnceWhateverTheOrder)
{
    const char text[] = "<vxini><x><s v=\"&amp;amp;\"/><b>QU&amp;JD</b></x><s v=\"&amp;lt;\"/></vxini>";
    auto later = Reader(text);
    EXPECT_EQ("&lt;", later->GetTextRequired(1u));
    later->OpenSectionRequired(0u);
    EXPECT_EQ("&amp;", later->GetTextRequired(0u));
    EXPECT_EQ("&amp;", later->GetTextRequired(0u));
    EXPECT_EQ("QUJD", later->GetTextRequired(1u)); // '&' is no base64 character

    auto first = Reader(text);
    first->OpenSectionRequired(0u);
    EXPECT_EQ("&amp;", first->GetTextRequired(0u));
    first->CloseSectionRequired(1);
    EXPECT_EQ("&lt;", first->GetTextRequired(1u));
    EXPECT_EQ("&amp;QUJD", first->GetTextRequired(0u));
}

// ---- Deep nesting

std::string Nested(int levels)
{
    std::string text = "<vxini>";
    for (int i = 0; i < levels; ++i)
        text += "<x>";
    for (int i = 0; i < levels; ++i)
        text += "</x>";
    return text + "</vxini>";
}

TEST(XIniDepth, SectionsUpToTheLimitAreRead)
{
    const int levels = int(VxXIniMaxDepth) - 1;
    std::string text = Nested(levels);
    EXPECT_TRUE(VxXIniCheckText(text.data(), text.size()));
    auto reader = Reader(text);
    VTVxXIniTree tree = reader->GetSectionTreeRequired(0u);
    int depth = 1;
    for (TVxXIniTree *t = tree.get(); t->Count() == 1; t = &t->Item(0).Child())
        ++depth;
    EXPECT_EQ(levels, depth);
    EXPECT_FALSE(reader->IsBroken());
}

TEST(XIniDepth, HundredThousandLevelsNeitherCrashNorPass)
{
    std::string text = Nested(100000);
    EXPECT_FALSE(VxXIniCheckText(text.data(), text.size()));
    EXPECT_FALSE(VxXIniCheckText(Nested(VxXIniMaxDepth).data(), Nested(VxXIniMaxDepth).size()));

    auto reader = Reader(text);
    EXPECT_EQ(1u, reader->CountRequired()); // the root only skips the content
    EXPECT_EQ("", reader->GetText(0u, "default"));
    EXPECT_TRUE(reader->IsBroken());
    EXPECT_FALSE(reader->GetSectionXml(0u).empty());
    EXPECT_NE("(no message)", MessageOf([&] { reader->GetSectionTreeRequired(0u); }));
    EXPECT_NE("(no message)", MessageOf([&] { reader->GetTextRequired(0u); }));
    {
        VTVxXIniTree partial = reader->GetSectionTree(0u);
        EXPECT_EQ(1u, partial->Count());
    }

    unsigned opened = 0;
    while (reader->OpenSection(0u))
        ++opened;
    EXPECT_EQ(VxXIniMaxDepth - 1, opened);
    EXPECT_TRUE(reader->CloseSection(1));
    EXPECT_EQ(0u, reader->Level());
    EXPECT_EQ(1u, reader->CountRequired());
}

// ---- Whole-document check

TEST(XIniCheck, AcceptsOnlyWhatTheReaderReadsInFull)
{
    const struct {
        const char *text;
        bool ok;
    } cases[] = {
        {"<vxini/>", true},
        {"<vxini><x n=\"a\"><i v=\"1\"/></x><b>QUJD</b></vxini>", true},
        {"<vxini><x n=\"a\"><i v=\"1\"/><i n=\"b\"/></x></vxini>", false}, // deep breach
        {"<vxini><x n=\"a\"><i v=\"1\"/></x>", false},
        {"<other/>", false},
        {"", false},
    };
    for (const auto &c : cases)
        EXPECT_EQ(c.ok, VxXIniCheckText(c.text, std::strlen(c.text))) << c.text;
    std::string packed = GZip("<vxini/>");
    EXPECT_FALSE(VxXIniCheckText(packed.data(), packed.size()));
}

} // namespace
