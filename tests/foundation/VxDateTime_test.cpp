// Date and time texts: the missing time, the local short and long forms in the
// Russian locale, and the user's locale overrides being ignored.
#include "foundation/VxDateTime.h"

#include <cctype>
#include <cstring>
#include <string>
#include <windows.h>
#include <gtest/gtest.h>

namespace {

std::string Cp1251(const wchar_t *text)
{
    char buffer[1024];
    int n = WideCharToMultiByte(1251, 0, text, -1, buffer, sizeof buffer, nullptr, nullptr);
    return std::string(buffer, n > 0 ? n - 1 : 0);
}

// 2024-03-05 12:34:56 UTC: the same calendar day in every zone within 11 hours of UTC.
FILETIME SampleTime()
{
    SYSTEMTIME utc = {};
    utc.wYear = 2024;
    utc.wMonth = 3;
    utc.wDay = 5;
    utc.wHour = 12;
    utc.wMinute = 34;
    utc.wSecond = 56;
    FILETIME time;
    SystemTimeToFileTime(&utc, &time);
    return time;
}

bool EndsWith(const std::string &text, const std::string &tail)
{
    return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

// The time part: digits, then ":34:56".
void ExpectTimeTail(const std::string &text, size_t timeStart)
{
    ASSERT_TRUE(EndsWith(text, ":34:56")) << text;
    const std::string hour = text.substr(timeStart, text.size() - 6 - timeStart);
    ASSERT_FALSE(hour.empty()) << text;
    for (char c : hour)
        EXPECT_TRUE(std::isdigit(static_cast<unsigned char>(c))) << text;
}

TEST(VxDateTime, NoTimeGivesTheNoneText)
{
    const FILETIME none = {0, 0};
    EXPECT_EQ(FormatLocalDateTime(none, false), Cp1251(L"(нет)"));
    EXPECT_EQ(FormatLocalDateTime(none, true), Cp1251(L"(нет)"));

    SYSTEMTIME local;
    std::memset(&local, 0xFF, sizeof local);
    ToLocalSystemTime(none, &local);
    const SYSTEMTIME zero = {};
    EXPECT_EQ(std::memcmp(&local, &zero, sizeof local), 0) << "all 16 bytes zeroed";

    const FILETIME highWordOnly = {0, 1};
    EXPECT_NE(FormatLocalDateTime(highWordOnly, true), Cp1251(L"(нет)"));
}

TEST(VxDateTime, ShortFormIsTheDateABlankAndTheTime)
{
    const std::string text = FormatLocalDateTime(SampleTime(), true);
    const std::string date = "05.03.2024 ";
    ASSERT_EQ(text.compare(0, date.size(), date), 0) << text;
    ExpectTimeTail(text, date.size());
}

TEST(VxDateTime, LongFormNamesTheMonth)
{
    const std::string text = FormatLocalDateTime(SampleTime(), false);
    // The long form may lead with the weekday and close with a year mark.
    const std::string date = "5 " + Cp1251(L"марта") + " 2024";
    ASSERT_NE(text.find(date), std::string::npos) << text;
    const size_t blank = text.rfind(' ');
    ASSERT_NE(blank, std::string::npos);
    ExpectTimeTail(text, blank + 1);
}

TEST(VxDateTime, TheUsersOverridesOfTheLocaleAreIgnored)
{
    char saved[100] = {};
    ASSERT_GT(GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_SSHORTDATE, saved, sizeof saved), 0);
    if (!SetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_SSHORTDATE, "yyyy/MM/dd"))
        GTEST_SKIP() << "the user's short date cannot be changed here";

    SYSTEMTIME local;
    ToLocalSystemTime(SampleTime(), &local);
    char overridden[100] = {};
    GetDateFormatA(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &local, nullptr, overridden, sizeof overridden);
    const std::string text = FormatLocalDateTime(SampleTime(), true);
    SetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_SSHORTDATE, saved);

    if (std::string(overridden) != "2024/03/05")
        GTEST_SKIP() << "the system does not apply the user's override";
    EXPECT_EQ(text.compare(0, 11, "05.03.2024 "), 0) << text;
}

} // namespace
