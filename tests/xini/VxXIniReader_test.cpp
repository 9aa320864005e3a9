// The typed getters of the x-ini reader, their defaults and messages, and
// round trips of every item type through the writer.
#include "xini/VxXIniReader.h"

#include <cmath>
#include <cstdint>
#include <functional>
#include <limits>
#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "foundation/VxMessage.h"
#include "foundation/VxStream.h"
#include "foundation/VxText.h"
#include "xini/VxXIniStreamReader.h"
#include "xini/VxXIniStreamWriter.h"
#include "xini/VxXIniTree.h"
#include "tests/xini/ExampleDocument.h"

namespace {

using XIniTest::ExampleDocument;

std::string Ru(const char *utf8)
{
    return Utf8ToAnsi(utf8);
}

std::unique_ptr<TVxXIniReader> Reader(const std::string &text, const std::string &name = "t.x-ini")
{
    var_a<TVxStringStream> stream = make_var_a<TVxStringStream>();
    stream->setText(text);
    stream->setName(name);
    return std::unique_ptr<TVxXIniReader>(new TVxXIniStreamReader(stream, true));
}

std::string MessageOf(const std::function<void()> &f)
{
    try {
        f();
    } catch (const Mirelta::TVxMessage &m) {
        return m.Text();
    }
    return "(no message)";
}


TEST(XIniReader, ReadsEveryItemOfTheExampleDocument)
{
    auto r = Reader(ExampleDocument);
    EXPECT_EQ(9u, r->CountRequired());
    const TE_VxXIniItemType types[] = {VxXIniInteger, VxXIniInteger, VxXIniInteger, VxXIniDouble, VxXIniString,
                                       VxXIniString,  VxXIniSection, VxXIniSection, VxXIniBinary};
    for (unsigned i = 0; i < 9; ++i)
        EXPECT_EQ(types[i], r->GetTypeRequired(i)) << i;
    EXPECT_EQ(3, r->GetIntRequired(r->FindRequired("count")));
    EXPECT_EQ(31u, r->GetUIntRequired(r->FindRequired("mask")));
    EXPECT_EQ(-16, r->GetIntRequired(r->FindRequired("offset")));
    EXPECT_EQ(2.5, r->GetDoubleRequired(r->FindRequired("scale")));
    EXPECT_EQ("A & B \"1\"", r->GetTextRequired(r->FindRequired("title")));
    EXPECT_EQ("", r->GetTextRequired(r->FindRequired("empty")));
    EXPECT_EQ("first\r\nsecond", r->GetTextRequired(r->FindRequired("notes")));
    EXPECT_EQ(std::string("\x00\x01\x02\x03", 4), r->GetBinaryRequired(r->FindRequired("blob")));

    unsigned window = r->OpenSectionRequired("window");
    EXPECT_EQ(1u, window);
    EXPECT_EQ(-10, r->GetIntRequired(r->FindRequired("left")));
    double x = 0, y = 0;
    r->GetPoint2Required(r->FindRequired("pos"), x, y);
    EXPECT_EQ(1.0, x);
    EXPECT_EQ(2.0, y);
    EXPECT_EQ(2u, r->OpenSectionRequired("flags"));
    EXPECT_TRUE(r->GetBoolRequired(r->FindRequired("a")));
    EXPECT_FALSE(r->GetBool(r->Find("b"), true));
    r->CloseSectionRequired(window);
    EXPECT_EQ(9u, r->Count());
    EXPECT_FALSE(r->IsBroken());
}

TEST(XIniReader, ExportsASectionAsADocumentOfItsOwn)
{
    auto r = Reader(ExampleDocument);
    EXPECT_EQ("<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
              "<!DOCTYPE vxini SYSTEM \"vxini4.dtd\">\n"
              "<vxini>\n"
              "  <i n=\"left\" v=\"-10\"/>\n"
              "  <x n=\"pos\">\n"
              "    <d v=\"1.0000000000000000e+00\"/>\n"
              "    <d v=\"2.0000000000000000e+00\"/>\n"
              "  </x>\n"
              "  <x n=\"flags\">\n"
              "    <i n=\"a\" v=\"1\"/>\n"
              "    <i n=\"b\" v=\"0\"/>\n"
              "  </x>\n"
              "</vxini>\n",
              r->GetSectionXmlRequired(r->FindRequired("window")));
    EXPECT_EQ("<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
              "<!DOCTYPE vxini SYSTEM \"vxini4.dtd\">\n"
              "<vxini>\n"
              "  <s v=\"first&#xD;&#xA;\"/>\n"
              "  <s v=\"second\"/>\n"
              "</vxini>\n",
              r->GetSectionXml(r->Find("notes")));
}

TEST(XIniReader, GettersConvertTheValueItem)
{
    auto r = Reader("<vxini><i v=\"0x1F\"/><i v=\"010\"/><d v=\"1.5e3\"/><x><i v=\"7\"/></x><x/><x><x/></x>"
                    "<s v=\"\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82\"/>"
                    "<x><s v=\"a\"/><x><s v=\"b\"/><b>QUJD</b></x><s v=\"c\"/></x><b>QUJD</b></vxini>");
    EXPECT_EQ(31, r->GetInt(0u, 0));
    EXPECT_EQ(31u, r->GetUInt64(0u, 0)); // hexadecimal reads as written
    EXPECT_EQ(8, r->GetInt64(1u, 0));
    EXPECT_EQ(10u, r->GetUInt64(1u, 0)); // decimal stays decimal
    EXPECT_EQ(1500.0, r->GetDouble(2u, 0));
    EXPECT_EQ(7, r->GetIntRequired(3u)); // a section stands for its first item
    EXPECT_EQ(99, r->GetInt(4u, 99));
    EXPECT_EQ(99, r->GetInt(5u, 99)); // ... unless that is a section
    EXPECT_EQ(Ru("Привет"), r->GetText(6u, ""));
    EXPECT_EQ("abQUJDc", r->GetText(7u, ""));
    EXPECT_EQ("ABC", r->GetBinary(8u, ""));
    EXPECT_EQ("dflt", r->GetBinary(6u, "dflt"));
    EXPECT_EQ("", r->GetName(0u));
}

TEST(XIniReader, PointsCountTheValuesReadBeforeTheFirstFailure)
{
    auto r = Reader("<vxini><x><d v=\"1.5\"/><s v=\"x\"/><d v=\"3\"/></x><x><d v=\"1\"/><d v=\"2\"/></x></vxini>");
    double x = 0, y = 0, z = 0;
    EXPECT_EQ(1u, r->GetPoint2(0u, x, y));
    EXPECT_EQ(1.5, x);
    EXPECT_EQ(0.0, y);
    EXPECT_EQ(2u, r->GetPoint3(1u, x, y, z));
    EXPECT_EQ(0.0, z);
    EXPECT_EQ(Ru("Ошибка чтения \"t.x-ini:<x#1> <#2>\"\nЗапись не найдена"),
              MessageOf([&] { r->GetPoint3Required(1u, x, y, z); }));
    EXPECT_EQ(Ru("Ошибка чтения \"t.x-ini:<x#0> <s#1>\"\nНесоответствие типа (double)"),
              MessageOf([&] { r->GetPoint2Required(0u, x, y); }));
}

TEST(XIniReader, CursorMovesOnlyThroughOpenAndClose)
{
    auto r = Reader("<vxini><i n=\"v\" v=\"1\"/><x n=\"a\"><x n=\"b\"><i v=\"2\"/></x></x>"
                    "<i n=\"v\" v=\"3\"/><i n=\"V\" v=\"4\"/></vxini>");
    EXPECT_EQ(0u, r->OpenSection(0u));
    EXPECT_FALSE(r->CloseSection(0));
    EXPECT_FALSE(r->CloseSection(1));
    EXPECT_EQ(1u, r->OpenSection("a"));
    EXPECT_EQ(2u, r->OpenSection("b"));
    EXPECT_EQ(2, r->GetIntRequired(0u));
    EXPECT_FALSE(r->CloseSection(3));
    EXPECT_TRUE(r->CloseSection(1));
    EXPECT_EQ(0u, r->Find("v"));
    EXPECT_EQ(2u, r->Find("v", 1));
    EXPECT_EQ(3u, r->Find("V"));
    EXPECT_EQ(2u, r->CountByName("v", 1));
    EXPECT_EQ(0u, r->OpenSection("missing"));
    EXPECT_EQ(Ru("Ошибка чтения \"t.x-ini:<#1+ \"*\">\"\nНеправильный уровень"),
              MessageOf([&] { r->CloseSectionRequired(1); }));
}

// Every getter: the optional form gives the default where the required form
// raises, with the exact text.
TEST(XIniReader, OptionalGettersDefaultWhereRequiredOnesRaise)
{
    auto r = Reader("<vxini><s n=\"t\" v=\"abc\"/><x n=\"e\"/><i n=\"n\" v=\"5\"/></vxini>");
    const std::string missing = Ru("Ошибка чтения \"t.x-ini:<#9>\"\nЗапись не найдена");
    auto wrongType = [](const char *word) {
        return Ru("Ошибка чтения \"t.x-ini:<s#0 \"t\">\"\nНесоответствие типа (") + word + ")";
    };
    double a = 0, b = 0, c = 0;
    struct TRow {
        const char *what;
        std::function<bool()> givesDefault;
        std::function<void()> required;
        std::string message;
    };
    const TRow rows[] = {
        {"GetType", [&] { return r->GetType(9u) == VxXIniNone; }, [&] { r->GetTypeRequired(9u); }, missing},
        {"GetName", [&] { return r->GetName(9u).empty(); }, [&] { r->GetNameRequired(9u); }, missing},
        {"OpenSection", [&] { return r->OpenSection(9u) == 0; }, [&] { r->OpenSectionRequired(9u); }, missing},
        {"GetInt", [&] { return r->GetInt(9u, -3) == -3; }, [&] { r->GetIntRequired(9u); }, missing},
        {"GetUInt", [&] { return r->GetUInt(9u, 3) == 3; }, [&] { r->GetUIntRequired(9u); }, missing},
        {"GetInt64", [&] { return r->GetInt64(9u, -3) == -3; }, [&] { r->GetInt64Required(9u); }, missing},
        {"GetUInt64", [&] { return r->GetUInt64(9u, 3) == 3; }, [&] { r->GetUInt64Required(9u); }, missing},
        {"GetDouble", [&] { return r->GetDouble(9u, 0.5) == 0.5; }, [&] { r->GetDoubleRequired(9u); }, missing},
        {"GetBool", [&] { return r->GetBool(9u, true); }, [&] { r->GetBoolRequired(9u); }, missing},
        {"GetText", [&] { return r->GetText(9u, "d") == "d"; }, [&] { r->GetTextRequired(9u); }, missing},
        {"GetBinary", [&] { return r->GetBinary(9u, "d") == "d"; }, [&] { r->GetBinaryRequired(9u); }, missing},
        {"GetSectionXml", [&] { return r->GetSectionXml(9u).empty(); }, [&] { r->GetSectionXmlRequired(9u); },
         missing},
        {"GetSectionTree", [&] { return r->GetSectionTree(9u)->Count() == 0; },
         [&] { r->GetSectionTreeRequired(9u); }, missing},
        {"GetPoint2", [&] { return r->GetPoint2(9u, a, b) == 0; }, [&] { r->GetPoint2Required(9u, a, b); }, missing},
        {"GetPoint3", [&] { return r->GetPoint3(9u, a, b, c) == 0; }, [&] { r->GetPoint3Required(9u, a, b, c); },
         missing},
        {"Find", [&] { return r->Find("zz") == VxXIniNotFound; }, [&] { r->FindRequired("zz"); },
         Ru("Ошибка чтения \"t.x-ini:<#0+ \"zz\">\"\nЗапись не найдена")},
        {"GetInt of text", [&] { return r->GetInt(0u, -3) == -3; }, [&] { r->GetIntRequired(0u); }, wrongType("int")},
        {"GetUInt of text", [&] { return r->GetUInt(0u, 3) == 3; }, [&] { r->GetUIntRequired(0u); },
         wrongType("uint")},
        {"GetInt64 of text", [&] { return r->GetInt64(0u, -3) == -3; }, [&] { r->GetInt64Required(0u); },
         wrongType("int64")},
        {"GetUInt64 of text", [&] { return r->GetUInt64(0u, 3) == 3; }, [&] { r->GetUInt64Required(0u); },
         wrongType("uint64")},
        {"GetDouble of text", [&] { return r->GetDouble(0u, 0.5) == 0.5; }, [&] { r->GetDoubleRequired(0u); },
         wrongType("double")},
        {"GetBinary of text", [&] { return r->GetBinary(0u, "d") == "d"; }, [&] { r->GetBinaryRequired(0u); },
         wrongType("binary")},
        {"OpenSection of text", [&] { return r->OpenSection(0u) == 0; }, [&] { r->OpenSectionRequired(0u); },
         wrongType("section")},
        {"GetSectionXml of text", [&] { return r->GetSectionXml(0u).empty(); },
         [&] { r->GetSectionXmlRequired(0u); }, wrongType("section")},
        {"GetSectionTree of text", [&] { return r->GetSectionTree(0u)->Count() == 0; },
         [&] { r->GetSectionTreeRequired(0u); }, wrongType("section")},
        {"GetPoint2 of text", [&] { return r->GetPoint2(0u, a, b) == 0; }, [&] { r->GetPoint2Required(0u, a, b); },
         wrongType("section")},
        {"GetInt of an empty section", [&] { return r->GetInt(1u, -3) == -3; }, [&] { r->GetIntRequired(1u); },
         Ru("Ошибка чтения \"t.x-ini:<x#1 \"e\">\"\nЗапись не найдена")},
        {"GetPoint2 of an empty section", [&] { return r->GetPoint2(1u, a, b) == 0; },
         [&] { r->GetPoint2Required(1u, a, b); }, Ru("Ошибка чтения \"t.x-ini:<x#1 \"e\"> <#0>\"\nЗапись не найдена")},
    };
    for (const TRow &row : rows) {
        EXPECT_TRUE(row.givesDefault()) << row.what;
        EXPECT_EQ(row.message, MessageOf(row.required)) << row.what;
        EXPECT_EQ(0u, static_cast<TVxXIniStreamReader *>(r.get())->Level()) << row.what;
    }
    EXPECT_EQ(Ru("Ошибка чтения \"t.x-ini:<i#2 \"n\">\"\nкуку"), MessageOf([&] { r->RaiseItemError(2, Ru("куку")); }));
    EXPECT_FALSE(r->ExistsRequired(9u));
    EXPECT_EQ(5, r->GetIntRequired(2u));
}

TEST(XIniReader, RequiredTreeOfABrokenSubsectionRaises)
{
    auto r = Reader("<vxini><x n=\"s\"><i v=\"1\"/><x n=\"t\"><i v=\"2\"/><q/></x></x></vxini>");
    VTVxXIniTree partial = r->GetSectionTree(0u);
    ASSERT_EQ(2u, partial->Count());
    EXPECT_EQ("1", partial->Item(0).value);
    EXPECT_EQ(1u, partial->Item(1).Child().Count());
    EXPECT_EQ(Ru("Ошибка чтения \"t.x-ini:<x#0 \"s\"> <x#1 \"t\"> <#1>\"\n"
                 "Ошибка формата данных VxXIni (\"t.x-ini:<x#0 \"s\"> <x#1 \"t\"> <i#0>+\")"),
              MessageOf([&] { r->GetSectionTreeRequired(0u); }));
}

// ---- Round trips through the writer

std::string Written(const std::function<void(TVxXIniStreamWriter &)> &write)
{
    var_a<TVxStringStream> stream = make_var_a<TVxStringStream>();
    {
        TVxXIniStreamWriter writer(stream, 0, 2);
        write(writer);
        EXPECT_TRUE(writer.CloseDocument());
    }
    return stream->getText();
}

TEST(XIniRoundTrip, NumbersComeBackExactly)
{
    auto r = Reader(Written([](TVxXIniStreamWriter &w) {
        w.WriteHexInt32("a", INT32_MIN);
        w.WriteHexInt64("b", INT64_MIN);
        w.WriteHexUInt64("c", UINT64_MAX);
        w.WriteHexUInt32("d", UINT32_MAX);
        w.WriteInt64("e", INT64_MIN);
        w.WriteUInt64("f", UINT64_MAX);
        w.WriteFloat("g", 0.1f);
        w.WriteDouble("h", std::numeric_limits<double>::infinity());
        w.WriteDouble("i", -std::numeric_limits<double>::infinity());
        w.WriteDouble("j", std::numeric_limits<double>::quiet_NaN());
        w.WriteDouble("k", 1.0 / 3);
        w.WriteHexInt32("l", -1);
    }));
    EXPECT_EQ(INT32_MIN, r->GetIntRequired(0u));
    EXPECT_EQ(INT64_MIN, r->GetInt64Required(1u));
    EXPECT_EQ(UINT64_MAX, r->GetUInt64Required(2u));
    EXPECT_EQ(UINT32_MAX, r->GetUIntRequired(3u));
    EXPECT_EQ(INT64_MIN, r->GetInt64Required(4u));
    EXPECT_EQ(UINT64_MAX, r->GetUInt64Required(5u));
    EXPECT_EQ(0.1f, float(r->GetDoubleRequired(6u)));
    EXPECT_EQ(std::numeric_limits<double>::infinity(), r->GetDoubleRequired(7u));
    EXPECT_EQ(-std::numeric_limits<double>::infinity(), r->GetDoubleRequired(8u));
    EXPECT_TRUE(std::isnan(r->GetDoubleRequired(9u)));
    EXPECT_EQ(1.0 / 3, r->GetDoubleRequired(10u));
    EXPECT_EQ(-1, r->GetIntRequired(11u));
}

TEST(XIniRoundTrip, TextsAndBytesComeBackExactly)
{
    const std::string texts[] = {"\x01\x1F\t tab", "\"double\" and 'single'", "<&>", Ru("Кириллица: ёЁ"),
                                 "{@u4E2D} outside the code page", "{@@ stays escaped", "", std::string(5000, 'x')};
    std::string bytes;
    for (int c = 0; c < 256; ++c)
        bytes += char(c);
    const size_t binarySizes[] = {0, 1, 48, 49, 256};
    auto r = Reader(Written([&](TVxXIniStreamWriter &w) {
        for (const std::string &text : texts)
            w.WriteString(text, text); // also as the name
        for (size_t size : binarySizes)
            w.WriteBinary("bin", bytes.substr(0, size));
        w.WriteTextLines("lines", "a\r\nb\rc\nlast");
        w.WriteTextLines("none", "");
    }));
    unsigned i = 0;
    for (const std::string &text : texts) {
        EXPECT_EQ(text, r->GetTextRequired(i)) << i;
        EXPECT_EQ(text, r->GetNameRequired(i)) << "names keep the caller's bytes: " << i;
        ++i;
    }
    for (size_t size : binarySizes)
        EXPECT_EQ(bytes.substr(0, size), r->GetBinaryRequired(i++)) << size;
    EXPECT_EQ("a\r\nb\rc\nlast", r->GetTextRequired(r->FindRequired("lines")));
    unsigned level = r->OpenSectionRequired("lines");
    EXPECT_EQ(4u, r->CountRequired());
    r->CloseSectionRequired(level);
    EXPECT_EQ("", r->GetTextRequired(r->FindRequired("none")));
    EXPECT_FALSE(r->IsBroken());
}

TEST(XIniRoundTrip, SectionsCarriedAsTreeOrTextWriteTheSameDocument)
{
    auto source = Reader(ExampleDocument);
    unsigned window = source->FindRequired("window");
    VTVxXIniTree tree = source->GetSectionTreeRequired(window);
    std::string xml = source->GetSectionXmlRequired(window);

    auto viaTree = Reader(Written([&](TVxXIniStreamWriter &w) { w.WriteSectionTree("copy", *tree); }));
    auto viaText = Reader(Written([&](TVxXIniStreamWriter &w) { w.WriteSectionXml("copy", xml); }));
    EXPECT_EQ(xml, viaTree->GetSectionXmlRequired(0u));
    EXPECT_EQ(xml, viaText->GetSectionXmlRequired(0u));
    EXPECT_EQ(-10, viaText->GetIntRequired(0u));
}

} // namespace
