#include "foundation/VxText.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "foundation/WinHandle.h"

namespace {

std::string Bytes(std::initializer_list<unsigned char> bytes)
{
    return std::string(bytes.begin(), bytes.end());
}

// ---- base64 ----------------------------------------------------------------

TEST(Base64, EncodesWithPadding)
{
    const std::pair<std::string, std::string> cases[] = {
        {"", ""},          {"a", "YQ=="},           {"ab", "YWI="},
        {"abc", "YWJj"},   {"abcd", "YWJjZA=="},    {Bytes({0xFF, 0xFE, 0x00}), "//4A"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(Base64Encode(c.first), c.second) << c.second;
}

TEST(Base64, DecodesPaddedUnpaddedAndDanglingTexts)
{
    const std::pair<std::string, std::string> cases[] = {
        {"", ""},      {"YWI=", "ab"},  {"YWI", "ab"},     {"YQ", "a"},
        {"YQ==", "a"}, {"YQ=", "a"},    {"YWJjZ", "abc"},  {"YWJj", "abc"},
        {"Y", ""},     {"//4A", Bytes({0xFF, 0xFE, 0x00})},
        {"Y W=", Bytes({0x60, 0x05})}, // the blank is not cleaned: it decodes as 0
    };
    for (const auto &c : cases)
        EXPECT_EQ(Base64Decode(c.first), c.second) << c.first;
}

TEST(Base64, EveryLengthAndByteRoundTrips)
{
    std::string bytes;
    for (int n = 0; n < 260; ++n) {
        EXPECT_EQ(Base64Decode(Base64Encode(bytes)), bytes) << n;
        EXPECT_EQ(Base64Encode(bytes).size(), (bytes.size() + 2) / 3 * 4);
        bytes += static_cast<char>(255 - n);
    }
}

// ---- UTF-8 -----------------------------------------------------------------

TEST(Utf8, BadInputBecomesByteEscapes)
{
    const std::pair<std::string, std::wstring> cases[] = {
        {Bytes({0xC3, 0xA9}), L"\u00E9"},
        {Bytes({0xC3}), L"{?cC3}"},
        {Bytes({0xC3, 'A'}), L"{?cC3}A"},
        {Bytes({0xC0, 0x80}), L"{?cC0}{?c80}"},
        {Bytes({0xED, 0xA0, 0x80}), L"{?cED}{?cA0}{?c80}"},
        {Bytes({0xF4, 0x90, 0x80, 0x80}), L"{?cF4}{?c90}{?c80}{?c80}"},
        {Bytes({0xFE, 0xFF}), L"{?cFE}{?cFF}"},
        {Bytes({0xF0, 0x9F, 0x98, 0x80}), L"\U0001F600"},
        {Bytes({0xF4, 0x8F, 0xBF, 0xBF}), L"\U0010FFFF"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(Utf8ToWide(c.first), c.second);
}

TEST(Utf8, UnpairedSurrogatesBecomeUnitEscapes)
{
    EXPECT_EQ(WideToUtf8(std::wstring(1, wchar_t(0xD800))), "{?wD800}");
    EXPECT_EQ(WideToUtf8(std::wstring{wchar_t(0xDC01), L'a'}), "{?wDC01}a");
    EXPECT_EQ(WideToUtf8(std::wstring{wchar_t(0xD83D), wchar_t(0xD83D), wchar_t(0xDE00)}),
              "{?wD83D}" + Bytes({0xF0, 0x9F, 0x98, 0x80}));
}

TEST(Utf8, EncodesEachLengthBoundary)
{
    const std::pair<int, std::string> cases[] = {
        {0x7F, Bytes({0x7F})},
        {0x80, Bytes({0xC2, 0x80})},
        {0x800, Bytes({0xE0, 0xA0, 0x80})},
        {0x10000, Bytes({0xF0, 0x90, 0x80, 0x80})},
        {0x200000, Bytes({0xF8, 0x88, 0x80, 0x80, 0x80})},
        {-1, Bytes({0xFD, 0xBF, 0xBF, 0xBF, 0xBF, 0xBF})}, // low 31 bits only
    };
    for (const auto &c : cases) {
        unsigned char out[6] = {};
        int n = EncodeUtf8(c.first, out);
        EXPECT_EQ(std::string(reinterpret_cast<char *>(out), n), c.second) << std::hex << c.first;
    }
}

// ---- the ANSI code page (1251 under test) and its escapes ------------------

TEST(AnsiEscapes, NarrowEscapesTurnBackIntoCharacters)
{
    const std::pair<std::string, std::wstring> cases[] = {
        {"{@@", L"{@"},
        {"{@@@", L"{@@"},
        {"{@u20AC}", L"\u20AC"},
        {"{@u41}", L"{@u41}"},          // below 0x7F: stays as it stands
        {"{@u7F}", L"\u007F"},
        {"{@u20ac}", L"{@u20ac}"},       // lower case digits are not hex here
        {"{@u1234567}", L"{@u1234567}"}, // seven digits
        {"{@uD800}", L"{@uD800}"},       // a surrogate is not a character
        {"{@u110000}", L"{@u110000}"},
        {"{@u1F600}", L"\U0001F600"},
        {"{@u}", L"{@u}"},
        {"{@u20AC", L"{@u20AC"},
        {"{{@u20AC}}", L"{\u20AC}"},
        {"\xCF\xF0\xE8\xE2\xE5\xF2", L"\u041F\u0440\u0438\u0432\u0435\u0442"},
        {std::string("a\0b", 3), std::wstring(L"a\0b", 3)},
        {"", L""},
    };
    for (const auto &c : cases)
        EXPECT_EQ(AnsiToWide(c.first), c.second) << c.first;
}

TEST(AnsiEscapes, MissingCharactersBecomeEscapes)
{
    const std::pair<std::wstring, std::string> cases[] = {
        {L"{@", "{@@"},
        {L"@{@", "@{@@"},
        {L"\u00E9", "{@uE9}"},
        {L"\u4E00x", "{@u4E00}x"},
        {L"\U0001F600", "{@u1F600}"},
        {std::wstring(1, wchar_t(0xDC00)), "{?wDC00}"},
        {L"\u041F\u20AC", "\xCF\x88"},
        {L"\u0101", "{@u101}"}, // a look-alike of the code page would not convert back
    };
    for (const auto &c : cases)
        EXPECT_EQ(WideToAnsi(c.first), c.second);
}

TEST(AnsiEscapes, EveryWideTextSurvivesTheNarrowString)
{
    const std::wstring texts[] = {
        L"plain", L"{@", L"{@@", L"{@u41}", L"{@u20AC}", L"{{@@}}", L"\u00E9t\u00E9",
        L"\u041F\u0440\u0438\u0432\u0435\u0442 \u4E16\u754C", L"\U0001F600{@\U0001F600", L"@{", L"{",
        std::wstring(L"x\0{@y", 5),
    };
    for (const std::wstring &text : texts)
        EXPECT_EQ(AnsiToWide(WideToAnsi(text)), text);
}

TEST(AnsiEscapes, WithoutEscapesUnwritableCharactersBecomeQuestionMarks)
{
    EXPECT_EQ(WideToCodePage(CP_ACP, L"a\u4E00{@" + std::wstring(1, wchar_t(0xD800)), 0), "a?{@?");
}

TEST(AnsiEscapes, Utf8CodePagesStillConvert)
{
    // These code pages refuse the used-default flag; every character must go
    // through all the same.
    const std::wstring text = L"\u00E9\u20AC\U0001F600{@";
    EXPECT_EQ(WideToCodePage(CP_UTF8, text, 1),
              Bytes({0xC3, 0xA9, 0xE2, 0x82, 0xAC, 0xF0, 0x9F, 0x98, 0x80}) + "{@@");
    EXPECT_EQ(WideToCodePage(CP_UTF7, L"\u00E9", 0), "+AOk-");
}

TEST(AnsiEscapes, Utf8DocumentTextsKeepUnwritableCharacters)
{
    const std::string utf8 = Bytes({0xE6, 0x97, 0xA5, 0xD0, 0x96, 0x7B, 0x40});
    const std::string ansi = Utf8ToAnsi(utf8);
    EXPECT_EQ(ansi, "{@u65E5}\xC6{@@");
    EXPECT_EQ(AnsiToUtf8(ansi), utf8);
}

TEST(AnsiEscapes, OemTextForTheConsole)
{
    EXPECT_EQ(AnsiToOem("\xCE\xF8\xE8\xE1\xEA\xE0 1"), "\x8E\xE8\xA8\xA1\xAA\xA0 1");
    EXPECT_EQ(AnsiToOem(std::string("a\0b", 3)), "a");
}

// ---- string table ----------------------------------------------------------

TEST(StringTable, TextsArriveInTheAnsiCodePage)
{
    EXPECT_EQ(LoadResStdString(31014), "\xCE\xF8\xE8\xE1\xEA\xE0");
    EXPECT_EQ(LoadResStdString(31019), "\xCE\xF8\xE8\xE1\xEA\xE0 \xF7\xF2\xE5\xED\xE8\xFF \"%1%\"");
    EXPECT_EQ(LoadResStdString(31020), "\xCE\xF8\xE8\xE1\xEA\xE0 \xF7\xF2\xE5\xED\xE8\xFF \"%1%\"\n%2%");
    EXPECT_EQ(LoadResStdString(39999), "");
    HINSTANCE slot = nullptr;
    EXPECT_EQ(LoadResStringW(nullptr, 31014, &slot), "\xCE\xF8\xE8\xE1\xEA\xE0");
}

// A copy of this executable with a string table block of long texts, loaded
// as a data file.
class LongStringTable : public testing::Test {
protected:
    static constexpr unsigned kFirstId = 40000; // the first id of a block of 16

    void SetUp() override
    {
        wchar_t exe[MAX_PATH], folder[MAX_PATH];
        ASSERT_NE(GetModuleFileNameW(nullptr, exe, MAX_PATH), 0u);
        ASSERT_NE(GetTempPathW(MAX_PATH, folder), 0u);
        path_ = std::wstring(folder) + L"vxtext_strings_" + std::to_wstring(GetCurrentProcessId()) + L".exe";
        ASSERT_TRUE(CopyFileW(exe, path_.c_str(), FALSE));

        std::vector<WORD> block;
        const std::wstring texts[16] = {
            std::wstring(1024, L'\u0416'), std::wstring(1023, L'b'), std::wstring(3000, L'c') + L"\u4E00",
        };
        for (const std::wstring &text : texts) {
            block.push_back(static_cast<WORD>(text.size()));
            block.insert(block.end(), text.begin(), text.end());
        }
        HANDLE update = BeginUpdateResourceW(path_.c_str(), FALSE);
        ASSERT_NE(update, nullptr);
        ASSERT_TRUE(UpdateResourceW(update, MAKEINTRESOURCEW(6) /* string table */, MAKEINTRESOURCEW(kFirstId / 16 + 1),
                                    MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL), block.data(),
                                    static_cast<DWORD>(block.size() * sizeof(WORD))));
        ASSERT_TRUE(EndUpdateResourceW(update, FALSE));
        module_.Set(LoadLibraryExW(path_.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
        ASSERT_TRUE(module_.IsValid());
    }

    void TearDown() override
    {
        module_.Close();
        if (!path_.empty())
            DeleteFileW(path_.c_str());
    }

    HINSTANCE Module() const { return module_.Get(); }

private:
    std::wstring path_;
    Mirelta::TLibraryHandle module_;
};

TEST_F(LongStringTable, TextsOfAnyLengthLoadWhole)
{
    const std::string exact = LoadResStringW(Module(), kFirstId, nullptr);
    ASSERT_EQ(exact.size(), 1024u);
    EXPECT_EQ(exact, std::string(1024, '\xC6'));
    const std::string shorter = LoadResStringW(Module(), kFirstId + 1, nullptr);
    ASSERT_EQ(shorter.size(), 1023u);
    EXPECT_EQ(shorter, std::string(1023, 'b'));
    const std::string longer = LoadResStringW(Module(), kFirstId + 2, nullptr);
    ASSERT_EQ(longer.size(), 3008u);
    EXPECT_EQ(longer, std::string(3000, 'c') + "{@u4E00}");
    EXPECT_EQ(LoadResStringW(Module(), kFirstId + 3, nullptr), "");
}

// ---- formatting and string helpers -----------------------------------------

TEST(FormatString, KeepsTheLastCharacter)
{
    EXPECT_EQ(FormatString("%li", 5L), "5");
    EXPECT_EQ(FormatString("+%s: %s", "App", "x"), "+App: x");
    EXPECT_EQ(FormatString("::%lX", 0xDEADBEEFUL), "::DEADBEEF");
    EXPECT_EQ(FormatString("%s", ""), "");
    const std::string big(5000, 'q');
    EXPECT_EQ(FormatString("<%s>", big.c_str()), "<" + big + ">");
    EXPECT_EQ(FormatString("%llu %zu", 1ULL << 40, static_cast<std::size_t>(3)), "1099511627776 3");
}

// The system's reason goes in brackets into a message: one line without its
// full stop, and never nothing, also for a code the system has no text for.
TEST(SystemErrorText, OneLineWithoutFullStopOrTheCodesNumber)
{
    const std::string text = SystemErrorText(ERROR_DISK_FULL);
    ASSERT_FALSE(text.empty());
    EXPECT_EQ(text.find_first_of("\r\n"), std::string::npos);
    EXPECT_NE(text.back(), '.');
    EXPECT_NE(text.back(), ' ');
    EXPECT_EQ(SystemErrorText(0x2000FFFFUL), "536936447");
}

// A COM call's result: one of the Win32 facility reads as the Win32 code it
// carries, one the system has no text for as its number in hexadecimal.
TEST(SystemErrorText, ResultReadsAsItsWin32CodeOrItsNumber)
{
    EXPECT_EQ(SystemResultText(HRESULT_FROM_WIN32(ERROR_DISK_FULL)), SystemErrorText(ERROR_DISK_FULL));
    EXPECT_EQ(SystemResultText(static_cast<HRESULT>(0xA004FFFFUL)), "0xA004FFFF");
}

TEST(SearchMemory, FindsEveryPlaceIncludingTheLastByte)
{
    const std::string data = "<?xml?>\xE0\xFF<x a=\"\xFF\xE0\"/>";
    const struct {
        const char *pattern;
        long offset; // -1: not found
    } cases[] = {
        {"", -1},      {"<?xml", 0}, {"/>", static_cast<long>(data.size()) - 2},
        {">", 6},      {"\xFF\xE0", 15}, {"\xE0\xFF", 7},
        {"/>x", -1},
    };
    for (const auto &c : cases) {
        const char *found = SearchMemory(c.pattern, data.data(), data.size());
        long offset = found ? static_cast<long>(found - data.data()) : -1;
        EXPECT_EQ(offset, c.offset) << c.pattern;
    }
    EXPECT_EQ(SearchMemory("ab", "xab", 2), nullptr); // only the given length counts
}

TEST(CompareRange, CommonBytesFirstThenTheLongerSideIsGreater)
{
    const char ab[] = "ab", abc[] = "abc", b[] = "b", high[] = "\xE0";
    EXPECT_EQ(CompareRanges(ab, ab + 2, abc, abc + 3), -1);
    EXPECT_EQ(CompareRanges(abc, abc + 3, ab, ab + 2), 1);
    EXPECT_EQ(CompareRanges(ab, ab + 2, abc, abc + 2), 0);
    EXPECT_LT(CompareRanges(abc, abc + 3, b, b + 1), 0);
    EXPECT_EQ(CompareRange(abc, abc + 2, "abc"), -1);
    EXPECT_GT(CompareRange(high, high + 1, "a"), 0); // bytes compare unsigned
}

TEST(StringHelpers, LowerCaseAndTrailingCharacter)
{
    EXPECT_EQ(LowerCase("AbC-Z09\xC0\xDF\xFF\x80"), "abc-z09\xC0\xDF\xFF\x80");
    EXPECT_EQ(IncludeTrailingChar("", '\\'), "");
    EXPECT_EQ(IncludeTrailingChar("C:\\dir", '\\'), "C:\\dir\\");
    EXPECT_EQ(IncludeTrailingChar("C:\\dir\\", '\\'), "C:\\dir\\");
}

} // namespace
