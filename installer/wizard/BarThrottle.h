// Throttled progress on a bar, shared by the wizard's progress page and the
// progress window: a switch between a percentage and an indefinite step shows
// at once, while the bar itself (position, marquee step, repaint) changes only
// when strictly more than 250 ms have gone by since its last change of either
// kind.
#pragma once

#include <windows.h>

#include <cstdint>

class TVxProgressBar;

// A throttle of display updates: an update passes when strictly more than
// Interval milliseconds have gone by since the last one that passed. The
// difference is taken unsigned, so the tick counter's wrap past 2^32 (or a
// counter already above 2^31 at start) does not stall it.
class TUpdateThrottle {
public:
    static const DWORD Interval = 250;

    explicit TUpdateThrottle(DWORD last = 0) noexcept : last_(last) {}

    // True, and now becomes the last update, when an update is due.
    bool Pass(DWORD now) noexcept
    {
        if (now - last_ <= Interval)
            return false;
        last_ = now;
        return true;
    }
    // The tick of the last update that passed.
    DWORD Last() const noexcept { return last_; }

private:
    DWORD last_;
};

// Shows one progress report (a percentage, or InstProgressIndefinite) on bar
// at tick now, through throttle.
void ShowBarProgress(TVxProgressBar &bar, TUpdateThrottle &throttle, DWORD now, int32_t percent);
