#include "foundation/StringIds.h"
#include "foundation/VxDateTime.h"

#include <cstring>

#include "foundation/VxMessage.h"

namespace {

const int FormatBufferSize = 1000;

} // namespace

FILETIME CurrentTime()
{
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    return now;
}

void ToLocalSystemTime(const FILETIME &time, SYSTEMTIME *out)
{
    std::memset(out, 0, sizeof *out);
    if (IsNoTime(time))
        return;
    SYSTEMTIME utc;
    if (!FileTimeToSystemTime(&time, &utc))
        return;
    if (!SystemTimeToTzSpecificLocalTime(nullptr, &utc, out))
        std::memset(out, 0, sizeof *out);
}

std::string FormatLocalDateTime(const FILETIME &time, bool shortDate)
{
    if (IsNoTime(time))
        return Mirelta::TVxMessage(IDS_NO_TIME).Text();

    SYSTEMTIME local;
    ToLocalSystemTime(time, &local);

    char date[FormatBufferSize];
    date[0] = '\0';
    const DWORD dateFlags = (shortDate ? DATE_SHORTDATE : DATE_LONGDATE) | LOCALE_NOUSEROVERRIDE;
    if (!GetDateFormatA(LOCALE_USER_DEFAULT, dateFlags, &local, nullptr, date, FormatBufferSize - 1))
        date[0] = '\0';

    char clock[FormatBufferSize];
    clock[0] = '\0';
    if (!GetTimeFormatA(LOCALE_USER_DEFAULT, LOCALE_NOUSEROVERRIDE, &local, nullptr, clock, FormatBufferSize - 1))
        clock[0] = '\0';

    std::string text = date;
    if (clock[0] != '\0') {
        if (!text.empty())
            text += ' ';
        text += clock;
    }
    return text;
}
