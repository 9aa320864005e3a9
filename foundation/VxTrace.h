// Trace log: diagnostic entries written to an optional process-wide sink.
//
// The sink holder starts empty and nothing in the program fills it, so entries
// go nowhere unless a host puts a stream into TraceLogHolder(). An entry is one
// line of TAB-separated columns, each line started by LF:
//   LF time TAB kind+level[,code] TAB source TAB message LF
// The time is local with its UTC offset ("2024-05-01T12:34:56.789+03:00"), or
// UTC followed by "-00:00" when the local time cannot be found. Each further
// line of a multi-line message starts with LF and three TABs.
#pragma once

#include <windows.h>
#include <string>

#include "foundation/var_a.h"

class TVxStream;

// Columns of an entry head.
enum : unsigned char {
    tcTime = 1, // the time column
    tcKind = 2, // the kind and level column (with the code when not 0)
};

// The process-wide sink holder (empty by default).
VTVxStream &TraceLogHolder();
// The sink's stream, null while none is installed.
TVxStream *GetTraceLog();

// Writes one entry of kind 'E' to sink; does nothing for a null sink.
void TraceLog(TVxStream *sink, const std::string &category, const std::string &text, unsigned char level,
              int code);

// Writes the head of a line in one Write: LF, the chosen columns and, when
// source is not null, the source (at most 100 characters, TAB and LF shown as
// '_'); the three column TABs are always written.
void FormatTraceLine(TVxStream *sink, const char *source, unsigned char columns, char kind, unsigned char level,
                     int code);
// Writes the message and the closing LF; each LF that has text after it starts
// a continuation line (LF and three TABs).
void WriteTraceMessage(TVxStream *sink, const char *text, unsigned length);

// UTC offset in minutes of the zone, with the bias in force: the daylight bias
// when zoneId is TIME_ZONE_ID_DAYLIGHT, the standard bias when it is
// TIME_ZONE_ID_STANDARD.
int TraceZoneOffset(const TIME_ZONE_INFORMATION &zone, DWORD zoneId);
// The time column: the time, then "+hh:mm"/"-hh:mm" of the offset when
// localKnown, else "-00:00" (the time is then UTC).
std::string TraceTimeText(const SYSTEMTIME &time, bool localKnown, int offsetMinutes);
