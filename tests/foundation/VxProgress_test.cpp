// Progress client and trace log: the client without and with a handler, runs
// ended exactly once, sub-ranges mapped into their parent's range, and the
// trace entry format byte for byte.
#include "foundation/VxProgress.h"
#include "foundation/VxTrace.h"

#include <string>
#include <vector>
#include <gtest/gtest.h>

#include "foundation/VxStream.h"

namespace {

// Records every call it receives.
class TRecordingHandler : public TVxProgressHandler {
public:
    int begins = 0;
    int ends = 0;
    bool active = true;
    std::vector<double> positions;

    void Begin() override { ++begins; }
    void End() override { ++ends; }
    bool IsActive() override { return active; }
    void SetPosition(double fraction) override { positions.push_back(fraction); }
    var_a<TVxProgressHandler> SubRange(double from, double to, unsigned char, unsigned char) override
    {
        return MakeProgressSubRange(this, from, to);
    }
};

TEST(VxProgress, WithoutHandlerEveryCallDoesNothing)
{
    TVxProgress progress(nullptr);
    progress.Begin();
    EXPECT_FALSE(progress.isStarted());
    EXPECT_FALSE(progress.IsActive());
    progress.SetPosition(0.5);
    EXPECT_FALSE(progress.SubRange(0.2, 1.0, 5, 3));
    progress.End();

    TVxProgressVar empty{var_a<TVxProgressHandler>()};
    empty.Begin();
    EXPECT_FALSE(empty.IsActive());
}

TEST(VxProgress, StartedRunEndsExactlyOnce)
{
    TRecordingHandler handler;
    {
        TVxProgress progress(&handler);
        progress.Begin();
        progress.End();
    }
    EXPECT_EQ(1, handler.begins);
    EXPECT_EQ(1, handler.ends) << "End, then destruction: no second End";
    {
        TVxProgress progress(&handler);
        progress.Begin();
        EXPECT_TRUE(progress.isStarted());
    }
    EXPECT_EQ(2, handler.ends) << "destruction ends a started run";
    {
        TVxProgress progress(&handler);
    }
    EXPECT_EQ(2, handler.ends) << "never started, never ended";
}

TEST(VxProgress, SubRangesMapIntoTheParentRange)
{
    TRecordingHandler parent;
    TVxProgress progress(&parent);
    progress.Begin();
    {
        TVxProgressVar sub(progress.SubRange(0.5, 1.0, 5, 3));
        EXPECT_TRUE(sub.IsActive());
        sub.Begin();
        sub.SetPosition(0.0);
        sub.SetPosition(0.5);
        sub.SetPosition(1.0);
        sub.SetPosition(2.0); // beyond its part: held at the part's end
        {
            TVxProgressVar nested(sub.SubRange(0.5, 1.0, 5, 3));
            nested.SetPosition(0.5);
        }
        sub.End();
        parent.active = false;
        EXPECT_FALSE(sub.IsActive());
    }
    const std::vector<double> expected = {0.5, 0.75, 1.0, 1.0, 0.875};
    ASSERT_EQ(expected.size(), parent.positions.size());
    for (std::size_t i = 0; i < expected.size(); ++i)
        EXPECT_DOUBLE_EQ(expected[i], parent.positions[i]) << i;
    EXPECT_EQ(1, parent.begins) << "sub-ranges leave the parent's run alone";
    EXPECT_EQ(0, parent.ends);
}

// The client releases its holder last: a handler that lives only in the holder
// still receives the End of a started run.
TEST(VxProgress, ProgressVarEndsItsRunBeforeReleasingTheHandler)
{
    struct TCounted : TRecordingHandler {
        int *endsSeen;
        explicit TCounted(int *seen) : endsSeen(seen) {}
        ~TCounted() override { *endsSeen = ends; }
    };
    int endsAtDestruction = -1;
    {
        TVxProgressVar progress(make_var_a<TCounted>(&endsAtDestruction));
        progress.Begin();
    }
    EXPECT_EQ(1, endsAtDestruction);
}

std::string Traced(const std::string &category, const std::string &text, unsigned char level, int code)
{
    TVxStringStream sink;
    TraceLog(&sink, category, text, level, code);
    return sink.getText();
}

// Cuts the time column out of an entry: LF, time, TAB.
std::string WithoutTime(const std::string &entry, std::string *time = nullptr)
{
    const std::size_t tab = entry.find('\t');
    if (entry.empty() || entry[0] != '\n' || tab == std::string::npos)
        return "<bad head>" + entry;
    if (time)
        *time = entry.substr(1, tab - 1);
    return entry.substr(tab);
}

TEST(VxTrace, EntryHasTheExactColumnsAndLineBreaks)
{
    struct TCase {
        std::string category, text;
        unsigned char level;
        int code;
        std::string afterTime;
    };
    const TCase cases[] = {
        {"VxXIni", "first\nsecond", 5, 0, "\tE5\tVxXIni\tfirst\n\t\t\tsecond\n"},
        {"", "one line", 0, 0, "\tE0\t\tone line\n"},
        {"Cat", "x", 5, 7, "\tE5,7\tCat\tx\n"},
        {"Cat", "x", 1, -12, "\tE1,-12\tCat\tx\n"},
        {"a\tb\nc", "", 2, 0, "\tE2\ta_b_c\t\n"},
        {"C", "ends with LF\n", 3, 0, "\tE3\tC\tends with LF\n"},
        {"C", "a\n\nb", 3, 0, "\tE3\tC\ta\n\t\t\t\n\t\t\tb\n"},
        {std::string(150, 'k'), "t", 4, 0, "\tE4\t" + std::string(100, 'k') + "\tt\n"},
    };
    for (const TCase &c : cases) {
        SCOPED_TRACE(c.afterTime);
        std::string time;
        EXPECT_EQ(c.afterTime, WithoutTime(Traced(c.category, c.text, c.level, c.code), &time));
        ASSERT_EQ(29u, time.size()) << time;
        EXPECT_EQ('T', time[10]);
        EXPECT_TRUE(time[23] == '+' || time[23] == '-');
    }
}

TEST(VxTrace, OffsetUsesTheBiasInForce)
{
    struct TCase {
        long bias, standardBias, daylightBias;
        DWORD zoneId;
        int offset;
    };
    const TCase cases[] = {
        {-180, 0, 0, TIME_ZONE_ID_UNKNOWN, 180},
        {210, 0, -60, TIME_ZONE_ID_STANDARD, -210},
        {210, 0, -60, TIME_ZONE_ID_DAYLIGHT, -150},
        {-345, 0, 0, TIME_ZONE_ID_UNKNOWN, 345},
        {0, 0, -60, TIME_ZONE_ID_DAYLIGHT, 60},
        {60, 30, -60, TIME_ZONE_ID_STANDARD, -90}, // a standard bias counts too
    };
    for (const TCase &c : cases) {
        TIME_ZONE_INFORMATION zone = {};
        zone.Bias = c.bias;
        zone.StandardBias = c.standardBias;
        zone.DaylightBias = c.daylightBias;
        EXPECT_EQ(c.offset, TraceZoneOffset(zone, c.zoneId)) << c.bias << " " << c.zoneId;
    }
}

TEST(VxTrace, TimeTextCarriesTheOffsetOrUtcMark)
{
    SYSTEMTIME t = {};
    t.wYear = 2024;
    t.wMonth = 5;
    t.wDay = 1;
    t.wHour = 12;
    t.wMinute = 34;
    t.wSecond = 56;
    t.wMilliseconds = 789;
    EXPECT_EQ("2024-05-01T12:34:56.789+03:00", TraceTimeText(t, true, 180));
    EXPECT_EQ("2024-05-01T12:34:56.789-03:30", TraceTimeText(t, true, -210));
    EXPECT_EQ("2024-05-01T12:34:56.789+05:45", TraceTimeText(t, true, 345));
    EXPECT_EQ("2024-05-01T12:34:56.789+00:00", TraceTimeText(t, true, 0));
    EXPECT_EQ("2024-05-01T12:34:56.789-00:00", TraceTimeText(t, false, 0));
}

} // namespace
