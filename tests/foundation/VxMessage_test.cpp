#include "foundation/VxMessage.h"

#include <climits>
#include <cstddef>
#include <new>
#include <stdexcept>
#include <string>

#include <gtest/gtest.h>

#include "foundation/VxText.h"

using Mirelta::TVxMessage;

namespace {

namespace sample {
struct TOddThing {
    int x;
};
} // namespace sample

// Parameter i of a message (from 1) as its text.
std::string ParameterOf(const TVxMessage &message, std::size_t i)
{
    const auto *body = message.Body();
    if (!body || i == 0 || i > body->parameters.size())
        return "<none>";
    return body->parameters[i - 1]->Text(std::string());
}

struct TPlaceholderCase {
    const char *format;
    int parameters; // how many of "a", "b", "c" are appended
    const char *expected;
};

const TPlaceholderCase kPlaceholderCases[] = {
    {"%1%", 0, "???"},
    {"x%1%y", 1, "xay"},
    {"%1%%2%", 2, "ab"},
    {"%2% before %1%", 2, "b before a"},
    {"%3%", 2, "???"},
    {"%-1%", 3, "???"},
    {"%99999999999%", 3, "???"},
    {"100%%", 0, "100%"},
    {"%%1%%", 1, "%1%"},
    {"ends in %", 1, "ends in "},
    {"ab%cd", 1, "ab"},
    {"x%1%y%z", 1, "xay"},
    {"% words %", 1, "% words %"},
    {"%*%", 3, "a, b, c"},
    {"[%*%]", 0, "[]"},
    {"%0%", 1, "%0%"},
    {"%ab%", 1, "%ab%"},
    {"%%", 0, "%"},
    {"%0x2%", 3, "b"},
    {"%0X3%", 3, "c"},
    {"%03%", 3, "c"},
    {"%08%", 3, "%08%"},
    {"%010%", 3, "???"},
    {"% 2%", 3, "b"},
    {"%+1%", 3, "a"},
    {"%2x%", 3, "b"},
    {"", 2, ""},
    {"plain", 2, "plain"},
};

TEST(VxMessageFormat, PlaceholdersFollowTheirRules)
{
    const char *values[] = {"a", "b", "c"};
    for (const TPlaceholderCase &c : kPlaceholderCases) {
        TVxMessage message(c.format);
        for (int i = 0; i < c.parameters; ++i)
            message << values[i];
        EXPECT_EQ(message.Text(), c.expected) << "format \"" << c.format << "\"";
    }
}

TEST(VxMessageFormat, ParameterKindsPrintTheirValues)
{
    TVxMessage all("%*%");
    all << std::string("s") << 5L << 7UL;
    EXPECT_EQ(all.Text(), "s, 5, 7");

    TVxMessage numbers("%1% %2% %3% %4% %5% %6%");
    numbers << -5L << ULONG_MAX << static_cast<std::size_t>(12) << -3 << 4u << static_cast<const char *>(nullptr);
    EXPECT_EQ(numbers.Text(), "-5 4294967295 12 -3 4 (null)");
}

TEST(VxMessageFormat, ParameterTextIsNotExpandedAgain)
{
    TVxMessage inner("%%1%% and %1%");
    inner << "%2%";
    TVxMessage outer("<%1%|%2%>");
    outer << inner << "%1%";
    EXPECT_EQ(outer.Text(), "<%1% and %2%|%1%>");
}

TEST(VxMessage, NestedMessageShowsParametersAppendedLater)
{
    TVxMessage inner("inner %1%");
    TVxMessage outer("outer (%1%)");
    outer << inner;
    EXPECT_EQ(outer.Text(), "outer (inner ???" ")");
    inner << "x";
    EXPECT_EQ(outer.Text(), "outer (inner x)");
    EXPECT_STREQ(outer.what(), "outer (inner x)");
}

// A zero byte would end the C string that what() hands out; it shows as its escape
// and the rest of the text stays, however deep the message that carries it.
TEST(VxMessage, ZeroBytesShowAsEscapesAndKeepTheRestOfTheText)
{
    const std::string name("a\0b", 3);
    TVxMessage inner("item \"%1%\" (%2%)");
    inner << name << std::string("\0", 1);
    TVxMessage outer(31020);
    outer << name << inner;
    const std::string expected = Utf8ToAnsi("Ошибка чтения \"") + "a{@u0}b\"\nitem \"a{@u0}b\" ({@u0})";
    EXPECT_EQ(expected, outer.Text());
    EXPECT_STREQ(expected.c_str(), outer.what());
    EXPECT_EQ("x{@u0}{@u0}y", TVxMessage(std::string("x\0\0y", 4)).Text());
    EXPECT_EQ("plain", TVxMessage("plain").Text());
}

TEST(VxMessage, CopiesShareTheirParameters)
{
    TVxMessage first("%1%-%2%");
    TVxMessage second;
    second = first;
    second << "one";
    first << "two";
    EXPECT_EQ(first.Text(), "one-two");
    EXPECT_EQ(second.Text(), "one-two");
    EXPECT_EQ(first.Body(), second.Body());

    TVxMessage &alias = first;
    first = alias;
    EXPECT_EQ(first.Text(), "one-two");
    EXPECT_EQ(first.Body()->count, 2u);
}

TEST(VxMessage, TemporaryTakesParametersAndIsThrownWhole)
{
    const std::string name = "C:\\f.txt";
    try {
        throw TVxMessage("read %1% at %2%") << name << static_cast<std::size_t>(10);
    } catch (const TVxMessage &m) {
        EXPECT_EQ(m.Text(), "read C:\\f.txt at 10");
        return;
    }
    FAIL() << "nothing thrown";
}

TEST(VxMessage, NumberTakesTheStringTableText)
{
    EXPECT_EQ((TVxMessage(31020) << "f" << "why").Text(),
              "\xCE\xF8\xE8\xE1\xEA\xE0 \xF7\xF2\xE5\xED\xE8\xFF \"f\"\nwhy");
    EXPECT_EQ(TVxMessage(39999u).Text(), "");
    EXPECT_EQ(VxGRes(31002), "%1%");
}

// Runs body inside a catch-all handler and returns what it was turned into.
template <class Throw>
TVxMessage Translate(Throw thrower)
{
    try {
        thrower();
    } catch (...) {
        return CurrentExceptionToMessage();
    }
    return TVxMessage("<nothing thrown>");
}

TEST(VxMessageTranslate, StandardExceptionsKeepTheirTextAndTypeName)
{
    TVxMessage oom = Translate([] { throw std::bad_alloc(); });
    EXPECT_EQ(oom.Text(), "\xCD\xE5\xE4\xEE\xF1\xF2\xE0\xF2\xEE\xF7\xED\xEE \xEF\xE0\xEC\xFF\xF2\xE8 (" +
                              std::string(std::bad_alloc().what()) + ")");
    EXPECT_EQ(ParameterOf(oom, 2), "std::bad_alloc");

    TVxMessage logic = Translate([] { throw std::logic_error("@TVxFixedMemStream: OpenMode not supported"); });
    EXPECT_EQ(logic.Text(), "@TVxFixedMemStream: OpenMode not supported");
    EXPECT_EQ(ParameterOf(logic, 2), "std::logic_error");

    TVxMessage range = Translate([] { throw std::out_of_range("far"); });
    EXPECT_EQ(range.Text(), "far");
    EXPECT_EQ(ParameterOf(range, 2), "std::out_of_range");
}

TEST(VxMessageTranslate, OtherTypesGiveOnlyTheirTypeName)
{
    const std::string unknown = "\xCD\xE5\xE8\xE7\xE2\xE5\xF1\xF2\xED\xEE\xE5 \xE8\xF1\xEA\xEB\xFE\xF7\xE5\xED\xE8\xE5 (";

    TVxMessage text = Translate([] { throw "@User break"; });
    EXPECT_EQ(text.Text(), unknown + "char const*)");
    EXPECT_EQ(text.Body()->parameters.size(), 1u);

    EXPECT_EQ(Translate([] { throw 42; }).Text(), unknown + "int)");
    EXPECT_EQ(Translate([] { throw sample::TOddThing{1}; }).Text(),
              unknown + "(anonymous namespace)::sample::TOddThing)");
}

TEST(VxMessageTranslate, MessagePassesWithItsBody)
{
    TVxMessage original("%1%");
    const auto *body = original.Body();
    TVxMessage caught = Translate([&] { throw original; });
    EXPECT_EQ(caught.Body(), body);
    caught << "added";
    EXPECT_EQ(original.Text(), "added");
}

class VxMessageFactories : public testing::Test {
protected:
    void TearDown() override { MessageFactories.clear(); }
};

TVxMessage IntFactory()
{
    try {
        throw;
    } catch (int value) {
        return TVxMessage("int %1%") << value;
    }
}

TVxMessage DecliningFactory()
{
    throw; // rethrows what is in flight: declines everything
}

TEST_F(VxMessageFactories, NewestFactoryAnswersAndDecliningOnesAreSkipped)
{
    EXPECT_EQ(Translate([] { throw std::runtime_error("r"); }).Text(), "r"); // empty list

    MessageFactories.push_back(&IntFactory);
    MessageFactories.push_back(nullptr);
    MessageFactories.push_back(&DecliningFactory);
    EXPECT_EQ(Translate([] { throw 7; }).Text(), "int 7");
    // IntFactory lets a char pointer escape: the built-in rules answer.
    EXPECT_EQ(ParameterOf(Translate([] { throw "x"; }), 1), "char const*");
}

} // namespace
