// Panels with bevels, images, bevel lines and the timer.
#pragma once

#include "classlib/Controls.h"
#include "classlib/Graphics.h"

namespace ClassLib {

enum TBevelCut { bvNone, bvLowered, bvRaised, bvSpace };

// A container with an optional raised or lowered frame, a colour and a
// centred caption.
class TPanel : public TWinControl {
public:
    explicit TPanel(TComponent *owner);
    TBevelCut BevelOuter() const noexcept { return bevelOuter_; }
    void SetBevelOuter(TBevelCut cut);
    TBevelCut BevelInner() const noexcept { return bevelInner_; }
    void SetBevelInner(TBevelCut cut);
    int BevelWidth() const noexcept { return bevelWidth_; }
    void SetBevelWidth(int width);
    int BorderWidth() const noexcept { return borderWidth_; }
    void SetBorderWidth(int width);
    void SetText(const AnsiString &text) override;

protected:
    void AdjustClientRect(RECT &rect) const override;
    void PaintWindow(HDC dc) override;
    void Resized() override;

private:
    void FrameChanged();
    TBevelCut bevelOuter_ = bvRaised;
    TBevelCut bevelInner_ = bvNone;
    int bevelWidth_ = 1;
    int borderWidth_ = 0;
};

// Shows a picture (bitmap, icon or decoded JPEG), optionally centred,
// stretched and proportional.
class TImage : public TControl {
public:
    explicit TImage(TComponent *owner);
    TPicture *Picture() noexcept { return &picture_; }
    bool Center() const noexcept { return center_; }
    void SetCenter(bool v);
    bool Stretch() const noexcept { return stretch_; }
    void SetStretch(bool v);
    bool Proportional() const noexcept { return proportional_; }
    void SetProportional(bool v);
    // Where the picture is drawn in the client area.
    RECT DestRect() const;

protected:
    void PaintWindow(HDC dc) override;
    void CanAutoSize(int &width, int &height) override;
    void Resized() override { Invalidate(); }

private:
    TPicture picture_;
    bool center_ = false;
    bool stretch_ = false;
    bool proportional_ = false;
};

enum TBevelShape { bsBox, bsFrame, bsTopLine, bsBottomLine, bsLeftLine, bsRightLine, bsSpacer };
enum TBevelStyle { bsLowered, bsRaised };

// A drawn box or line.
class TBevel : public TControl {
public:
    explicit TBevel(TComponent *owner);
    TBevelShape Shape() const noexcept { return shape_; }
    void SetShape(TBevelShape shape);
    TBevelStyle Style() const noexcept { return style_; }
    void SetStyle(TBevelStyle style);

protected:
    void PaintWindow(HDC dc) override;
    void Resized() override { Invalidate(); }

private:
    TBevelShape shape_ = bsBox;
    TBevelStyle style_ = bsLowered;
};

// Runs OnTimer every Interval milliseconds while enabled. The handler runs
// behind the exception barrier.
class TTimer : public TComponent {
public:
    explicit TTimer(TComponent *owner);
    ~TTimer() override;
    bool Enabled() const noexcept { return enabled_; }
    void SetEnabled(bool v);
    unsigned Interval() const noexcept { return interval_; }
    void SetInterval(unsigned ms);
    TNotifyEvent OnTimer;

    // Called by the timer window.
    void Timer();

private:
    void UpdateTimer();
    bool enabled_ = true;
    unsigned interval_ = 1000;
    UINT_PTR id_ = 0;
    bool running_ = false;
};

} // namespace ClassLib
