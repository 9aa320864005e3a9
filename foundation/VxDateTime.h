// The current time as a FILETIME and its local date-and-time text in the user's
// locale. A FILETIME of 0 stands for "no time".
#pragma once

#include <windows.h>
#include <string>

// True for the value 0 (both words zero): no time.
inline bool IsNoTime(const FILETIME &time)
{
    return time.dwLowDateTime == 0 && time.dwHighDateTime == 0;
}

// Two time values are equal when both words are.
inline bool IsSameTime(const FILETIME &a, const FILETIME &b)
{
    return a.dwLowDateTime == b.dwLowDateTime && a.dwHighDateTime == b.dwHighDateTime;
}

// Now, in UTC.
FILETIME CurrentTime();
// The local (current time zone) calendar form of time; all zero for no time.
void ToLocalSystemTime(const FILETIME &time, SYSTEMTIME *out);
// The locale's short or long date, a blank and the time, with the user's overrides
// of the locale ignored; text 31018 for no time. A part the system cannot format is
// left out.
std::string FormatLocalDateTime(const FILETIME &time, bool shortDate);
