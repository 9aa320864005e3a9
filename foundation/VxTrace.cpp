#include "foundation/VxTrace.h"

#include <cstdio>
#include <cstdlib>

#include "foundation/VxStream.h"

namespace {

VTVxStream g_traceLog;

const std::size_t kMaxSource = 100;

// Appends a printf piece when it formats to 0..99 characters; longer or failed
// pieces are left out.
template <class... A>
void AppendPiece(std::string &out, const char *format, A... args)
{
    char piece[100];
    const int n = std::snprintf(piece, sizeof(piece), format, args...);
    if (n >= 0 && n < int(sizeof(piece)))
        out.append(piece, std::size_t(n));
}

std::string TimeColumn()
{
    SYSTEMTIME utc;
    GetSystemTime(&utc);
    TIME_ZONE_INFORMATION zone;
    const DWORD zoneId = GetTimeZoneInformation(&zone);
    SYSTEMTIME local;
    if (zoneId != TIME_ZONE_ID_INVALID && SystemTimeToTzSpecificLocalTime(&zone, &utc, &local))
        return TraceTimeText(local, true, TraceZoneOffset(zone, zoneId));
    return TraceTimeText(utc, false, 0);
}

void WriteText(TVxStream *sink, const std::string &text)
{
    sink->Write(text.data(), unsigned(text.size()));
}

} // namespace

VTVxStream &TraceLogHolder()
{
    return g_traceLog;
}

TVxStream *GetTraceLog()
{
    return g_traceLog.get();
}

int TraceZoneOffset(const TIME_ZONE_INFORMATION &zone, DWORD zoneId)
{
    long bias = zone.Bias;
    if (zoneId == TIME_ZONE_ID_DAYLIGHT)
        bias += zone.DaylightBias;
    else if (zoneId == TIME_ZONE_ID_STANDARD)
        bias += zone.StandardBias;
    return int(-bias);
}

std::string TraceTimeText(const SYSTEMTIME &time, bool localKnown, int offsetMinutes)
{
    std::string text;
    AppendPiece(text, "%.4i-%.2i-%.2iT%.2i:%.2i:%.2i.%.3i", int(time.wYear), int(time.wMonth), int(time.wDay),
                int(time.wHour), int(time.wMinute), int(time.wSecond), int(time.wMilliseconds));
    if (!localKnown) {
        text += "-00:00";
        return text;
    }
    const int magnitude = std::abs(offsetMinutes);
    AppendPiece(text, "%c%.2i:%.2i", offsetMinutes < 0 ? '-' : '+', magnitude / 60, magnitude % 60);
    return text;
}

void FormatTraceLine(TVxStream *sink, const char *source, unsigned char columns, char kind, unsigned char level,
                     int code)
{
    std::string head;
    head.reserve(1024);
    head += '\n';
    if (columns & tcTime)
        head += TimeColumn();
    head += '\t';
    if (columns & tcKind) {
        AppendPiece(head, "%c%c", kind, char('0' + level));
        if (code != 0)
            AppendPiece(head, ",%i", code);
    }
    head += '\t';
    if (source) {
        for (std::size_t i = 0; i < kMaxSource && source[i]; ++i) {
            const char c = source[i];
            head += (c == '\t' || c == '\n') ? '_' : c;
        }
    }
    head += '\t';
    WriteText(sink, head);
}

void WriteTraceMessage(TVxStream *sink, const char *text, unsigned length)
{
    unsigned start = 0;
    for (unsigned i = 0; i < length; ++i) {
        if (text[i] != '\n')
            continue;
        if (i > start)
            sink->Write(text + start, i - start);
        start = i + 1;
        if (start < length)
            FormatTraceLine(sink, nullptr, 0, 0, 0, 0);
    }
    if (start < length)
        sink->Write(text + start, length - start);
    sink->Write("\n", 1);
}

void TraceLog(TVxStream *sink, const std::string &category, const std::string &text, unsigned char level,
              int code)
{
    if (!sink)
        return;
    FormatTraceLine(sink, category.c_str(), tcTime | tcKind, 'E', level, code);
    WriteTraceMessage(sink, text.data(), unsigned(text.size()));
}
