// The progress bar's colour blend and its own indefinite painting, read back
// pixel by pixel from a memory bitmap.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <vector>

#include "VisualTestUtil.h"
#include "visual/VxProgressBar.h"

using namespace ClassLib;
using namespace VisualTest;

TEST(BlendColors, WeighsEachChannelAndTruncates)
{
    struct {
        COLORREF c1, c2;
        double f;
        COLORREF expected;
    } cases[] = {
        {RGB(10, 20, 30), RGB(200, 100, 50), 0.0, RGB(200, 100, 50)},
        {RGB(10, 20, 30), RGB(200, 100, 50), 1.0, RGB(10, 20, 30)},
        {RGB(0, 0, 0), RGB(255, 255, 255), 0.5, RGB(127, 127, 127)}, // 127.5 truncated
        {RGB(1, 2, 3), RGB(0, 0, 0), 0.999, RGB(0, 1, 2)},
        {RGB(255, 255, 255), RGB(255, 255, 255), 1.5, RGB(255, 255, 255)}, // clamped
        {0xFF000000 | RGB(9, 9, 9), RGB(9, 9, 9), 1.0, RGB(9, 9, 9)},      // top byte dropped
    };
    for (const auto &c : cases)
        EXPECT_EQ(c.expected, BlendColors(c.c1, c.c2, c.f)) << c.f;
}

namespace {

// Exposes the bar's own paintings, which run without visual styles.
struct TTestBar : TVxProgressBar {
    using TVxProgressBar::TVxProgressBar;
    void Frames(HDC dc) { PaintIndefinite(dc); }
    void Bands(HDC dc) { PaintBands(dc, InnerRect()); }
};

// A memory bitmap of 32 bits per pixel to paint into and read back.
class TCanvasBitmap {
public:
    TCanvasBitmap(int w, int h) : w_(w), h_(h)
    {
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
        info.bmiHeader.biWidth = w;
        info.bmiHeader.biHeight = -h;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        dc_ = CreateCompatibleDC(nullptr);
        bitmap_ = CreateDIBSection(dc_, &info, DIB_RGB_COLORS, reinterpret_cast<void **>(&bits_), nullptr, 0);
        old_ = SelectObject(dc_, bitmap_);
        Fill(RGB(1, 2, 3));
    }
    ~TCanvasBitmap()
    {
        SelectObject(dc_, old_);
        DeleteObject(bitmap_);
        DeleteDC(dc_);
    }
    HDC Dc() const { return dc_; }
    void Fill(COLORREF c)
    {
        GdiFlush();
        for (int i = 0; i < w_ * h_; ++i)
            bits_[i] = (GetRValue(c) << 16) | (GetGValue(c) << 8) | GetBValue(c);
    }
    COLORREF At(int x, int y) const
    {
        GdiFlush();
        DWORD v = bits_[y * w_ + x];
        return RGB((v >> 16) & 0xFF, (v >> 8) & 0xFF, v & 0xFF);
    }

private:
    int w_, h_;
    HDC dc_;
    HBITMAP bitmap_;
    HGDIOBJ old_;
    DWORD *bits_ = nullptr;
};

bool Near(COLORREF a, COLORREF b)
{
    return std::abs(GetRValue(a) - GetRValue(b)) <= 8 && std::abs(GetGValue(a) - GetGValue(b)) <= 8 &&
           std::abs(GetBValue(a) - GetBValue(b)) <= 8;
}

// The colour of frame k at column x of a band w pixels wide.
COLORREF FramePixel(int k, int x, int w)
{
    const int v = (30 * x / w + (29 - k)) % 30;
    const int index = v < 16 ? v : 30 - v;
    return BlendColors(GetSysColor(COLOR_BTNFACE), GetSysColor(COLOR_HIGHLIGHT), index / 15.0);
}

struct ProgressBarTest : testing::Test {
    void SetUp() override
    {
        form.reset(new TForm(nullptr));
        bar = new TTestBar(form.get());
        bar->SetParent(form.get());
        bar->SetBounds(10, 10, 123, 20);
        form->Show();
        Pump();
    }
    // Paints the bar into the bitmap and counts the inner pixels that differ
    // from the expected frame.
    int FrameMismatches(TCanvasBitmap &canvas, int frame)
    {
        canvas.Fill(RGB(1, 2, 3));
        bar->Frames(canvas.Dc());
        const RECT r = bar->InnerRect();
        const int w = r.right - r.left;
        int bad = 0;
        for (int y = r.top; y < r.bottom; ++y)
            for (int x = 0; x < w; ++x)
                if (!Near(FramePixel(frame, x, w), canvas.At(r.left + x, y)))
                    ++bad;
        return bad;
    }
    std::unique_ptr<TForm> form;
    TTestBar *bar = nullptr;
};

} // namespace

TEST_F(ProgressBarTest, StartsDeterminateAndSettingTheSameModeChangesNothing)
{
    EXPECT_FALSE(bar->BarIndefinite());
    bar->SetBarIndefinite(false);
    EXPECT_FALSE(bar->BarIndefinite());
    EXPECT_FALSE(bar->FramesBuilt());
    bar->Step();
    EXPECT_EQ(1, bar->Counter()); // determinate: only the counter moves
    EXPECT_FALSE(bar->FramesBuilt());
}

TEST_F(ProgressBarTest, IndefiniteModeUsesTheThemedMarqueeOrTheBarsOwnPainting)
{
    const DWORD marquee = 0x08;
    bar->SetBarIndefinite(true);
    EXPECT_TRUE(bar->BarIndefinite());
    const bool styled = (GetWindowLongPtrW(bar->Handle(), GWL_STYLE) & marquee) != 0;
    EXPECT_EQ(VisualStylesActive(true), styled);
    TCanvasBitmap painted(bar->Width(), bar->Height());
    bar->Perform(WM_PAINT, reinterpret_cast<WPARAM>(painted.Dc()), 0);
    if (!VisualStylesActive(false)) {
        TCanvasBitmap own(bar->Width(), bar->Height());
        bar->Frames(own.Dc());
        for (int x = 0; x < bar->Width(); ++x)
            EXPECT_EQ(own.At(x, bar->Height() / 2), painted.At(x, bar->Height() / 2)) << x;
    }
    bar->SetBarIndefinite(false);
    EXPECT_EQ(0, GetWindowLongPtrW(bar->Handle(), GWL_STYLE) & marquee);
}

TEST_F(ProgressBarTest, IndefiniteFramesMoveRightAndCycleIn30Steps)
{
    bar->SetBarIndefinite(true);
    TCanvasBitmap canvas(bar->Width(), bar->Height());
    EXPECT_EQ(0, FrameMismatches(canvas, 0));
    EXPECT_TRUE(bar->FramesBuilt());
    // Outside the inner rectangle nothing is painted.
    EXPECT_EQ(RGB(1, 2, 3), canvas.At(0, 0));
    EXPECT_EQ(RGB(1, 2, 3), canvas.At(bar->Width() - 1, bar->Height() - 1));
    for (int step = 1; step <= 30; ++step) {
        bar->Step();
        EXPECT_EQ(0, FrameMismatches(canvas, step % 30)) << step;
    }
    EXPECT_EQ(0, bar->Counter());
}

TEST_F(ProgressBarTest, AResizeRebuildsTheFramesForTheNewWidth)
{
    bar->SetBarIndefinite(true);
    TCanvasBitmap before(bar->Width(), bar->Height());
    EXPECT_EQ(0, FrameMismatches(before, 0));
    bar->SetBounds(10, 10, 201, 25);
    EXPECT_FALSE(bar->FramesBuilt());
    TCanvasBitmap after(bar->Width(), bar->Height());
    EXPECT_EQ(0, FrameMismatches(after, 0));
    // A system colour change releases the cache too.
    bar->Perform(CM_SYSCOLORCHANGE);
    EXPECT_FALSE(bar->FramesBuilt());
}

TEST_F(ProgressBarTest, NoInsidePaintsNothingInEitherPainting)
{
    bar->SetBarIndefinite(true);
    for (int width : {3, 2, 0}) {
        SCOPED_TRACE(width);
        bar->SetBounds(10, 10, width, 20);
        TCanvasBitmap canvas(8, 20);
        bar->Frames(canvas.Dc());
        bar->Step();
        bar->Bands(canvas.Dc());
        for (int y = 0; y < 20; ++y)
            for (int x = 0; x < 8; ++x)
                ASSERT_EQ(RGB(1, 2, 3), canvas.At(x, y)) << x << "," << y;
    }
}

TEST_F(ProgressBarTest, FallbackBandsMoveOnePixelPerStep)
{
    bar->SetBarIndefinite(true);
    const RECT r = bar->InnerRect();
    const int w = r.right - r.left;
    TCanvasBitmap first(bar->Width(), bar->Height());
    bar->Bands(first.Dc());
    bar->Step();
    TCanvasBitmap second(bar->Width(), bar->Height());
    bar->Bands(second.Dc());
    const COLORREF face = GetSysColor(COLOR_BTNFACE), highlight = GetSysColor(COLOR_HIGHLIGHT);
    for (int x = 0; x < w; ++x) {
        // Band i covers [w*i/16, w*(i+1)/16); its colour peaks in the middle.
        int band = 0;
        while (band < 15 && x >= w * (band + 1) / 16)
            ++band;
        const double f = band < 8 ? 2.0 * band / 16 : 2.0 * (16 - band) / 16;
        EXPECT_TRUE(Near(BlendColors(face, highlight, f), first.At(r.left + x, r.top))) << x;
        EXPECT_EQ(first.At(r.left + x, r.top), second.At(r.left + (x + 1) % w, r.top)) << x;
    }
}
