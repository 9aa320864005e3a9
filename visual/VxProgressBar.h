// The progress bar with an indefinite mode, for work whose total is open.
//
// With visual styles the indefinite mode is the common control's own marquee.
// Without them the bar paints its own: a gradient band between the button
// face and the highlight colour that moves one step each time the owner calls
// Step. The 30 frames of the band are rendered once per size and colour
// scheme into an off-screen bitmap; a step is one BitBlt of a frame. When the
// frames cannot be built the bar draws 16 gradient bands directly, moving one
// pixel a step.
#pragma once

#include <windows.h>

#include "classlib/ComCtrls.h"

// Per channel c1 * f + c2 * (1 - f), truncated and clamped to 255.
COLORREF BlendColors(COLORREF c1, COLORREF c2, double f);
// Whether "IsAppThemed" exists in an already loaded UxTheme (availabilityOnly),
// or whether it answers that the application is themed.
bool VisualStylesActive(bool availabilityOnly);

class TVxProgressBar : public ClassLib::TProgressBar {
public:
    static const int FrameCount = 30;
    static const int BandCount = 16;
    static const int MarqueeInterval = 100;

    explicit TVxProgressBar(ClassLib::TComponent *owner);
    ~TVxProgressBar() override;

    bool BarIndefinite() const noexcept { return barIndefinite_; }
    void SetBarIndefinite(bool v);
    // Advances the animation by one; in indefinite mode the bar is painted
    // before Step returns.
    void Step();
    int Counter() const noexcept { return counter_; }
    bool FramesBuilt() const noexcept { return memDc_ != nullptr && frames_ != nullptr; }

    // The client rectangle less the bar's frame.
    RECT InnerRect() const;

protected:
    void PaintWindow(HDC dc) override;
    LRESULT WndProc(UINT msg, WPARAM wParam, LPARAM lParam) override;
    // Builds the frame cache, or only releases it.
    void BuildFrames(bool releaseOnly);
    void PaintIndefinite(HDC dc);
    // The painting used when there is no frame cache.
    void PaintBands(HDC dc, const RECT &inner);

private:
    int counter_ = 0;
    bool barIndefinite_ = false;
    HDC memDc_ = nullptr;      // owned, with frames_ selected into it
    HBITMAP frames_ = nullptr; // owned
    HGDIOBJ oldBitmap_ = nullptr;
    bool built_ = false;
    int frameCount_ = 0;
};
