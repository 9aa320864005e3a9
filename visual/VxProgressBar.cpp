#include "visual/VxProgressBar.h"

#include <commctrl.h>

#include <cstdint>
#include <vector>

#include "foundation/WinHandle.h"

using namespace ClassLib;

namespace {

#ifndef PBS_MARQUEE
const DWORD PBS_MARQUEE = 0x08;
#endif
#ifndef PBM_SETMARQUEE
const UINT PBM_SETMARQUEE = WM_USER + 10;
#endif

typedef BOOL(WINAPI *TIsAppThemed)();

struct TThemeQuery {
    bool looked = false;
    bool unavailable = false;
    TIsAppThemed isAppThemed = nullptr;
};

TThemeQuery &ThemeQuery()
{
    static TThemeQuery query;
    return query;
}

BYTE BlendChannel(unsigned a, unsigned b, double f)
{
    double v = a * f + b * (1.0 - f);
    if (v >= 255.0)
        return 255;
    if (v <= 0.0)
        return 0;
    return static_cast<BYTE>(v);
}

// The window's device context, released with the object.
class TWindowDc {
public:
    explicit TWindowDc(HWND window) : window_(window), dc_(GetDC(window)) {}
    ~TWindowDc()
    {
        if (dc_)
            ReleaseDC(window_, dc_);
    }
    TWindowDc(const TWindowDc &) = delete;
    TWindowDc &operator=(const TWindowDc &) = delete;
    HDC Get() const noexcept { return dc_; }

private:
    HWND window_;
    HDC dc_;
};

int RectWidth(const RECT &r)
{
    return r.right - r.left;
}

int RectHeight(const RECT &r)
{
    return r.bottom - r.top;
}

} // namespace

COLORREF BlendColors(COLORREF c1, COLORREF c2, double f)
{
    return RGB(BlendChannel(GetRValue(c1), GetRValue(c2), f), BlendChannel(GetGValue(c1), GetGValue(c2), f),
               BlendChannel(GetBValue(c1), GetBValue(c2), f));
}

bool VisualStylesActive(bool availabilityOnly)
{
    TThemeQuery &q = ThemeQuery();
    if (q.unavailable)
        return false;
    if (!q.looked) {
        q.looked = true;
        // Only asked when already loaded: the bar never loads the theme library.
        HMODULE module = GetModuleHandleA("UxTheme.dll");
        FARPROC proc = module ? GetProcAddress(module, "IsAppThemed") : nullptr;
        if (!proc) {
            q.unavailable = true;
            return false;
        }
        q.isAppThemed = reinterpret_cast<TIsAppThemed>(reinterpret_cast<void (*)()>(proc));
    }
    if (!q.isAppThemed)
        return false;
    if (availabilityOnly)
        return true;
    return q.isAppThemed() != FALSE;
}

TVxProgressBar::TVxProgressBar(TComponent *owner) : TProgressBar(owner)
{
    SetControlState(ControlState() | csCustomPaint);
}

TVxProgressBar::~TVxProgressBar()
{
    BuildFrames(true);
}

RECT TVxProgressBar::InnerRect() const
{
    RECT r = ClientRect();
    r.left += 1;
    r.top += 1;
    r.right -= 2;
    r.bottom -= 1;
    return r;
}

void TVxProgressBar::SetBarIndefinite(bool v)
{
    if (v == barIndefinite_)
        return;
    if (VisualStylesActive(true)) {
        HWND window = Handle();
        if (v) {
            SetWindowLongPtrW(window, GWL_STYLE, GetWindowLongPtrW(window, GWL_STYLE) | PBS_MARQUEE);
            Perform(PBM_SETMARQUEE, 1, MarqueeInterval);
        } else {
            Perform(PBM_SETMARQUEE, 0, 0);
            SetWindowLongPtrW(window, GWL_STYLE, GetWindowLongPtrW(window, GWL_STYLE) & ~LONG_PTR(PBS_MARQUEE));
        }
    }
    barIndefinite_ = v;
    Repaint();
}

void TVxProgressBar::Step()
{
    ++counter_;
    if (!barIndefinite_ || !Handle())
        return;
    InvalidateRect(Handle(), nullptr, FALSE);
    UpdateWindow(Handle());
}

void TVxProgressBar::PaintWindow(HDC dc)
{
    if (barIndefinite_ && !VisualStylesActive(false)) {
        PaintIndefinite(dc);
        return;
    }
    TProgressBar::PaintWindow(dc);
}

LRESULT TVxProgressBar::WndProc(UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg == WM_SIZE || msg == CM_SYSCOLORCHANGE)
        BuildFrames(true);
    return TProgressBar::WndProc(msg, wParam, lParam);
}

void TVxProgressBar::BuildFrames(bool releaseOnly)
{
    if (memDc_ || frames_) {
        if (memDc_ && oldBitmap_)
            SelectObject(memDc_, oldBitmap_);
        if (frames_)
            DeleteObject(frames_);
        if (memDc_)
            DeleteDC(memDc_);
        memDc_ = nullptr;
        frames_ = nullptr;
        oldBitmap_ = nullptr;
        built_ = false;
    }
    if (releaseOnly)
        return;
    built_ = true;
    if (!Handle())
        return;

    const RECT r = InnerRect();
    const int w = RectWidth(r) < 1 ? 1 : RectWidth(r);
    const int h = RectHeight(r) < 1 ? 1 : RectHeight(r);

    // One row per frame: a triangle wave 0 -> 15 -> 1 across the width,
    // each row shifted by 1/30 of the width against the previous one.
    const int stride = (w + 3) & ~3;
    std::vector<BYTE> pixels(static_cast<size_t>(stride) * FrameCount, 0);
    for (int row = 0; row < FrameCount; ++row) {
        BYTE *line = &pixels[static_cast<size_t>(row) * static_cast<size_t>(stride)];
        for (int x = 0; x < w; ++x) {
            const int v = static_cast<int>((static_cast<long long>(FrameCount) * x / w + row) % FrameCount);
            line[x] = static_cast<BYTE>(v < BandCount ? v : FrameCount - v);
        }
    }

    struct {
        BITMAPINFOHEADER header;
        RGBQUAD colors[256];
    } info{};
    info.header.biSize = sizeof(BITMAPINFOHEADER);
    info.header.biWidth = stride;
    info.header.biHeight = FrameCount; // bottom-up
    info.header.biPlanes = 1;
    info.header.biBitCount = 8;
    info.header.biCompression = BI_RGB;
    info.header.biXPelsPerMeter = 96;
    info.header.biYPelsPerMeter = 96;
    info.header.biClrUsed = BandCount;
    const COLORREF face = GetSysColor(COLOR_BTNFACE);
    const COLORREF highlight = GetSysColor(COLOR_HIGHLIGHT);
    for (int i = 0; i < 256; ++i) {
        COLORREF c = i < BandCount ? BlendColors(face, highlight, i / 15.0) : RGB(i, i, i);
        info.colors[i].rgbRed = GetRValue(c);
        info.colors[i].rgbGreen = GetGValue(c);
        info.colors[i].rgbBlue = GetBValue(c);
    }

    TWindowDc windowDc(Handle());
    if (!windowDc.Get())
        return;
    HDC memDc = CreateCompatibleDC(windowDc.Get());
    if (!memDc)
        return;
    HBITMAP bitmap = CreateCompatibleBitmap(windowDc.Get(), w, h * FrameCount);
    if (!bitmap) {
        DeleteDC(memDc);
        return;
    }
    memDc_ = memDc;
    frames_ = bitmap;
    oldBitmap_ = SelectObject(memDc_, frames_);
    SetStretchBltMode(memDc_, COLORONCOLOR);
    StretchDIBits(memDc_, 0, 0, w, h * FrameCount, 0, 0, w, FrameCount, pixels.data(),
                  reinterpret_cast<const BITMAPINFO *>(&info), DIB_RGB_COLORS, SRCCOPY);
    frameCount_ = FrameCount;
}

void TVxProgressBar::PaintIndefinite(HDC dc)
{
    if (!built_)
        BuildFrames(false);
    const RECT r = InnerRect();
    const int w = RectWidth(r);
    const int h = RectHeight(r);
    // Nothing to draw, and nothing to divide by, while the bar has no inside.
    if (w <= 0 || h <= 0)
        return;
    if (FramesBuilt()) {
        counter_ %= FrameCount;
        if (counter_ < 0)
            counter_ += FrameCount;
        BitBlt(dc, r.left, r.top, w, h, memDc_, 0, h * counter_, SRCCOPY);
        return;
    }
    PaintBands(dc, r);
}

void TVxProgressBar::PaintBands(HDC dc, const RECT &r)
{
    const int w = RectWidth(r);
    const int h = RectHeight(r);
    if (w <= 0 || h <= 0)
        return;
    SetBrushOrgEx(dc, counter_, 0, nullptr);
    counter_ %= w;
    if (counter_ < 0)
        counter_ += w;
    const COLORREF face = GetSysColor(COLOR_BTNFACE);
    const COLORREF highlight = GetSysColor(COLOR_HIGHLIGHT);
    for (int i = 0; i < BandCount; ++i) {
        int x0 = w * i / BandCount;
        int x1 = w * (i + 1) / BandCount;
        if (x1 <= x0)
            x1 = x0 + 1;
        const double f = i < BandCount / 2 ? 2.0 * i / BandCount : 2.0 * (BandCount - i) / BandCount;
        Mirelta::TGdiObject brush(CreateSolidBrush(BlendColors(face, highlight, f)));
        if (!brush)
            continue;
        HGDIOBJ old = SelectObject(dc, brush.Get());
        const int a = (counter_ + x0) % w;
        const int b = (counter_ + x1 - 1) % w + 1;
        if (a <= b) {
            PatBlt(dc, r.left + a, r.top, b - a, h, PATCOPY);
        } else {
            PatBlt(dc, r.left + a, r.top, w - a, h, PATCOPY);
            PatBlt(dc, r.left, r.top, b, h, PATCOPY);
        }
        SelectObject(dc, old);
    }
}
