#include "xini/VxXIniFormat.h"

#include <cfloat>
#include <cmath>
#include <cstdint>
#include <float.h>
#include <limits>
#include <string>

#include <gtest/gtest.h>

namespace {

TEST(XIniFormat, OptionsWordCarriesModeLevelAndLayers)
{
    EXPECT_EQ(0x1001u, MakeVxXIniGZipOptions(2));
    EXPECT_FALSE(VxXIniOptionsGZip(0x102)); // mode byte 2: plain text
    EXPECT_TRUE(VxXIniOptionsGZip(0xFFFF0001));
    EXPECT_EQ(9, VxXIniOptionsLevel(0x0A01));
    EXPECT_EQ(16u, VxXIniOptionsLayers(0xF001));
}

TEST(XIniFormat, ValueTextsAreTheWrittenForms)
{
    struct {
        std::string text;
        std::string expected;
    } cases[] = {
        {VxXIniFormatInt32(3), "3"},
        {VxXIniFormatInt32(-10), "-10"},
        {VxXIniFormatInt32(INT32_MIN), "-2147483648"},
        {VxXIniFormatUInt32(UINT32_MAX), "4294967295"},
        {VxXIniFormatInt64(INT64_MIN), "-9223372036854775808"},
        {VxXIniFormatUInt64(UINT64_MAX), "18446744073709551615"},
        {VxXIniFormatHexUInt32(31), "0x1F"},
        {VxXIniFormatHexUInt32(0), "0x0"},
        {VxXIniFormatHexInt32(-16), "-0x10"},
        {VxXIniFormatHexInt32(-1), "-0x1"},
        {VxXIniFormatHexInt32(INT32_MIN), "-0x80000000"},
        {VxXIniFormatHexInt64(INT64_MIN), "-0x8000000000000000"},
        {VxXIniFormatHexInt64(INT64_MAX), "0x7FFFFFFFFFFFFFFF"},
        {VxXIniFormatHexUInt64(UINT64_MAX), "0xFFFFFFFFFFFFFFFF"},
        {VxXIniFormatFloat(0.1f), "1.00000001e-01"},
        {VxXIniFormatDouble(0.0), "0.0000000000000000e+00"},
        {VxXIniFormatDouble(2.5), "2.5000000000000000e+00"},
        {VxXIniFormatDouble(-1e-5), "-1.0000000000000001e-05"},
        {VxXIniFormatDouble(1e100), "1.0000000000000000e+100"},
        {VxXIniFormatDouble(std::numeric_limits<double>::infinity()), "inf"},
        {VxXIniFormatDouble(-std::numeric_limits<double>::infinity()), "-inf"},
        {VxXIniFormatDouble(std::numeric_limits<double>::quiet_NaN()), "nan"},
        {VxXIniFormatFloat(-std::numeric_limits<float>::infinity()), "-inf"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(c.expected, c.text);
}

TEST(XIniFormat, NumberTextsIgnoreAChangedFpuControlWord)
{
    std::string plain = VxXIniFormatDouble(0.1);
    double parsed = 0;
    ASSERT_TRUE(VxXIniParseDouble("0.1", parsed));
#if defined(__i386__)
    _controlfp(_RC_UP | _PC_24, _MCW_RC | _MCW_PC);
#else
    _controlfp(_RC_UP, _MCW_RC);
#endif
    std::string changed = VxXIniFormatDouble(0.1);
    double reparsed = 0;
    ASSERT_TRUE(VxXIniParseDouble("0.1", reparsed));
    ResetFpu();
    EXPECT_EQ(plain, changed);
    EXPECT_EQ(parsed, reparsed);
}

TEST(XIniFormat, IntegerTextsFollowTheBaseRules)
{
    struct {
        const char *text;
        bool ok;
        int32_t i32;
        int64_t i64;
        uint64_t u64;
    } cases[] = {
        {"0x1F", true, 31, 31, 31},
        {"-0x10", true, -16, -16, uint64_t(-16)},
        {"010", true, 8, 8, 10}, // unsigned 64-bit text is decimal
        {"12abc", true, 12, 12, 12},
        {" \t7", true, 7, 7, 7},
        {"abc", false, 0, 0, 0},
        {"", false, 0, 0, 0},
        {"-", false, 0, 0, 0},
    };
    for (const auto &c : cases) {
        int32_t i32 = 99;
        int64_t i64 = 99;
        uint64_t u64 = 99;
        EXPECT_EQ(c.ok, VxXIniParseInt32(c.text, i32)) << c.text;
        EXPECT_EQ(c.ok, VxXIniParseInt64(c.text, i64)) << c.text;
        EXPECT_EQ(c.ok, VxXIniParseUInt64(c.text, u64)) << c.text;
        if (c.ok) {
            EXPECT_EQ(c.i32, i32) << c.text;
            EXPECT_EQ(c.i64, i64) << c.text;
            EXPECT_EQ(c.u64, u64) << c.text;
        } else {
            EXPECT_EQ(99, i32) << "untouched on failure: " << c.text;
        }
    }
    uint32_t u32 = 0;
    EXPECT_TRUE(VxXIniParseUInt32("0xFFFFFFFF", u32));
    EXPECT_EQ(UINT32_MAX, u32);
}

TEST(XIniFormat, IntegerOverflowClampsLikeTheCLibrary)
{
    int32_t i32 = 0;
    uint32_t u32 = 0;
    int64_t i64 = 0;
    uint64_t u64 = 0;
    EXPECT_TRUE(VxXIniParseInt32("99999999999", i32) && i32 == INT32_MAX);
    EXPECT_TRUE(VxXIniParseInt32("-2147483649", i32) && i32 == INT32_MIN);
    EXPECT_TRUE(VxXIniParseUInt32("4294967296", u32) && u32 == UINT32_MAX);
    EXPECT_TRUE(VxXIniParseUInt32("-1", u32) && u32 == UINT32_MAX);
    EXPECT_TRUE(VxXIniParseInt64("-9223372036854775809", i64) && i64 == INT64_MIN);
    EXPECT_TRUE(VxXIniParseUInt64("99999999999999999999999", u64) && u64 == UINT64_MAX);
    EXPECT_TRUE(VxXIniParseInt32("0x", i32) && i32 == 0); // the 0 is the number, "x" the rest
}

TEST(XIniFormat, DoubleTextsParseWithAPointWhateverTheForm)
{
    struct {
        const char *text;
        bool ok;
        double value;
    } cases[] = {
        {"1.5e3", true, 1500.0},
        {" -2.5", true, -2.5},
        {"+.5", true, 0.5},
        {"5.", true, 5.0},
        {"2.5000000000000000e+00/>", true, 2.5},
        {"0x1.8p1", true, 3.0},
        {"1e999", true, std::numeric_limits<double>::infinity()},
        {"-1e999", true, -std::numeric_limits<double>::infinity()},
        {"1e-999", true, 0.0},
        {"inf", true, std::numeric_limits<double>::infinity()},
        {"-Infinity", true, -std::numeric_limits<double>::infinity()},
        {"abc", false, 0},
        {"+-1", false, 0},
        {"", false, 0},
        {"1,5", true, 1.0},
    };
    for (const auto &c : cases) {
        double v = 42;
        EXPECT_EQ(c.ok, VxXIniParseDouble(c.text, v)) << c.text;
        EXPECT_EQ(c.ok ? c.value : 42.0, v) << c.text;
    }
    double nan = 0;
    EXPECT_TRUE(VxXIniParseDouble("nan", nan));
    EXPECT_TRUE(std::isnan(nan));
    EXPECT_TRUE(VxXIniParseDouble("-nan", nan));
    EXPECT_TRUE(std::isnan(nan));
}

TEST(XIniFormat, EveryWrittenFloatingValueReadsBackAsItself)
{
    const double doubles[] = {0.1, 1.0 / 3, -0.0, DBL_MAX, DBL_MIN, 4.9406564584124654e-324, 123456789.125,
                              std::numeric_limits<double>::infinity()};
    for (double v : doubles) {
        double back = 0;
        ASSERT_TRUE(VxXIniParseDouble(VxXIniFormatDouble(v).c_str(), back));
        EXPECT_EQ(v, back) << VxXIniFormatDouble(v);
        EXPECT_EQ(std::signbit(v), std::signbit(back));
    }
    const float floats[] = {0.1f, 1.0f / 3, FLT_MAX, FLT_MIN, -7.5f};
    for (float v : floats) {
        double back = 0;
        ASSERT_TRUE(VxXIniParseDouble(VxXIniFormatFloat(v).c_str(), back));
        EXPECT_EQ(v, float(back)) << VxXIniFormatFloat(v);
    }
    double nan = 0;
    ASSERT_TRUE(VxXIniParseDouble(VxXIniFormatDouble(std::nan("")).c_str(), nan));
    EXPECT_TRUE(std::isnan(nan));
}

} // namespace
