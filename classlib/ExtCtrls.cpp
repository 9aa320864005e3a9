#include "classlib/ExtCtrls.h"

#include <map>

#include "classlib/Barrier.h"
#include "foundation/VxText.h"

namespace ClassLib {

namespace {

const wchar_t kPanelClass[] = L"ClassLibPanel";
const wchar_t kImageClass[] = L"ClassLibImage";
const wchar_t kBevelClass[] = L"ClassLibBevel";
const wchar_t kTimerClass[] = L"ClassLibTimerHost";

std::map<UINT_PTR, TTimer *> &Timers()
{
    static std::map<UINT_PTR, TTimer *> timers;
    return timers;
}

LRESULT CALLBACK TimerWndProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg != WM_TIMER)
        return DefWindowProcW(window, msg, wParam, lParam);
    Guarded([&] {
        auto it = Timers().find(static_cast<UINT_PTR>(wParam));
        if (it != Timers().end())
            it->second->Timer();
    });
    return 0;
}

// The hidden window that receives every timer's WM_TIMER.
HWND TimerWindow()
{
    static HWND window = nullptr;
    if (window && IsWindow(window))
        return window;
    static bool registered = false;
    if (!registered) {
        WNDCLASSEXW wc{};
        wc.cbSize = sizeof(wc);
        wc.lpfnWndProc = &TimerWndProc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = kTimerClass;
        if (!RegisterClassExW(&wc) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS)
            throw Exception("Cannot register the timer window class");
        registered = true;
    }
    window = CreateWindowExW(0, kTimerClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, GetModuleHandleW(nullptr),
                             nullptr);
    if (!window)
        throw Exception("Cannot create the timer window");
    return window;
}

void DrawBevelCut(HDC dc, RECT &r, TBevelCut cut, int width)
{
    if (cut == bvNone)
        return;
    for (int i = 0; i < width; ++i) {
        if (cut == bvLowered)
            DrawEdge(dc, &r, BDR_SUNKENOUTER, BF_RECT | BF_ADJUST);
        else if (cut == bvRaised)
            DrawEdge(dc, &r, BDR_RAISEDINNER, BF_RECT | BF_ADJUST);
        else
            InflateRect(&r, -1, -1);
    }
}

} // namespace

// ---------------------------------------------------------------- TPanel

TPanel::TPanel(TComponent *owner) : TWinControl(owner)
{
    SetOpaque(true);
    SetParentColor(false);
    SetControlState(ControlState() | csCustomPaint);
    CreateHandle(kPanelClass, WS_CHILD | WS_CLIPCHILDREN | WS_CLIPSIBLINGS, WS_EX_CONTROLPARENT);
    SetBounds(0, 0, 185, 41);
}

void TPanel::SetBevelOuter(TBevelCut cut)
{
    bevelOuter_ = cut;
    FrameChanged();
}

void TPanel::SetBevelInner(TBevelCut cut)
{
    bevelInner_ = cut;
    FrameChanged();
}

void TPanel::SetBevelWidth(int width)
{
    bevelWidth_ = width < 1 ? 1 : width;
    FrameChanged();
}

void TPanel::SetBorderWidth(int width)
{
    borderWidth_ = width < 0 ? 0 : width;
    FrameChanged();
}

void TPanel::FrameChanged()
{
    Realign();
    Invalidate();
}

void TPanel::SetText(const AnsiString &text)
{
    TWinControl::SetText(text);
    Invalidate();
}

void TPanel::AdjustClientRect(RECT &rect) const
{
    int inset = borderWidth_;
    if (bevelOuter_ != bvNone)
        inset += bevelWidth_;
    if (bevelInner_ != bvNone)
        inset += bevelWidth_;
    InflateRect(&rect, -inset, -inset);
    if (rect.right < rect.left)
        rect.right = rect.left;
    if (rect.bottom < rect.top)
        rect.bottom = rect.top;
}

void TPanel::PaintWindow(HDC dc)
{
    RECT r = ClientRect();
    DrawBevelCut(dc, r, bevelOuter_, bevelWidth_);
    InflateRect(&r, -borderWidth_, -borderWidth_);
    DrawBevelCut(dc, r, bevelInner_, bevelWidth_);
    std::wstring text = AnsiToWide(Text());
    if (text.empty())
        return;
    HGDIOBJ old = SelectObject(dc, Font()->Handle());
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, ColorToRGB(Font()->Color()));
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &r, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    SelectObject(dc, old);
}

void TPanel::Resized()
{
    Invalidate();
}

// ---------------------------------------------------------------- TImage

TImage::TImage(TComponent *owner) : TControl(owner)
{
    SetOpaque(true);
    SetControlState(ControlState() | csCustomPaint);
    CreateHandle(kImageClass, WS_CHILD | WS_CLIPSIBLINGS, 0);
    SetBounds(0, 0, 105, 105);
    picture_.OnChange = [this] {
        if (AutoSize())
            AdjustSize();
        Invalidate();
    };
}

void TImage::SetCenter(bool v)
{
    center_ = v;
    Invalidate();
}

void TImage::SetStretch(bool v)
{
    stretch_ = v;
    Invalidate();
}

void TImage::SetProportional(bool v)
{
    proportional_ = v;
    Invalidate();
}

RECT TImage::DestRect() const
{
    RECT client = ClientRect();
    const int cw = client.right, ch = client.bottom;
    int w = picture_.Width(), h = picture_.Height();
    if (w <= 0 || h <= 0)
        return RECT{0, 0, 0, 0};
    if (stretch_ || (proportional_ && (w > cw || h > ch))) {
        if (proportional_) {
            if (static_cast<long long>(w) * ch > static_cast<long long>(h) * cw) {
                h = static_cast<int>(static_cast<long long>(h) * cw / w);
                w = cw;
            } else {
                w = static_cast<int>(static_cast<long long>(w) * ch / h);
                h = ch;
            }
        } else {
            w = cw;
            h = ch;
        }
    }
    int x = 0, y = 0;
    if (center_) {
        x = (cw - w) / 2;
        y = (ch - h) / 2;
    }
    return RECT{x, y, x + w, y + h};
}

void TImage::PaintWindow(HDC dc)
{
    picture_.Draw(dc, DestRect());
}

void TImage::CanAutoSize(int &width, int &height)
{
    if (picture_.Empty())
        return;
    width = picture_.Width();
    height = picture_.Height();
}

// ---------------------------------------------------------------- TBevel

TBevel::TBevel(TComponent *owner) : TControl(owner)
{
    SetOpaque(true);
    SetControlState(ControlState() | csCustomPaint);
    CreateHandle(kBevelClass, WS_CHILD | WS_CLIPSIBLINGS, 0);
    SetBounds(0, 0, 50, 50);
}

void TBevel::SetShape(TBevelShape shape)
{
    shape_ = shape;
    Invalidate();
}

void TBevel::SetStyle(TBevelStyle style)
{
    style_ = style;
    Invalidate();
}

void TBevel::PaintWindow(HDC dc)
{
    RECT r = ClientRect();
    const UINT edge = style_ == bsLowered ? EDGE_ETCHED : EDGE_BUMP;
    switch (shape_) {
    case bsBox:
        DrawEdge(dc, &r, style_ == bsLowered ? BDR_SUNKENOUTER : BDR_RAISEDINNER, BF_RECT);
        break;
    case bsFrame:
        DrawEdge(dc, &r, edge, BF_RECT);
        break;
    case bsTopLine:
        r.bottom = r.top + 2;
        DrawEdge(dc, &r, edge, BF_TOP);
        break;
    case bsBottomLine:
        r.top = r.bottom - 2;
        DrawEdge(dc, &r, edge, BF_BOTTOM | BF_TOP);
        break;
    case bsLeftLine:
        r.right = r.left + 2;
        DrawEdge(dc, &r, edge, BF_LEFT);
        break;
    case bsRightLine:
        r.left = r.right - 2;
        DrawEdge(dc, &r, edge, BF_RIGHT | BF_LEFT);
        break;
    case bsSpacer:
        break;
    }
}

// ---------------------------------------------------------------- TTimer

TTimer::TTimer(TComponent *owner) : TComponent(owner)
{
    static UINT_PTR nextId = 0x1000;
    id_ = nextId++;
    UpdateTimer();
}

TTimer::~TTimer()
{
    if (running_)
        KillTimer(TimerWindow(), id_);
    Timers().erase(id_);
}

void TTimer::SetEnabled(bool v)
{
    if (v == enabled_)
        return;
    enabled_ = v;
    UpdateTimer();
}

void TTimer::SetInterval(unsigned ms)
{
    if (ms == interval_)
        return;
    interval_ = ms;
    UpdateTimer();
}

void TTimer::UpdateTimer()
{
    HWND window = TimerWindow();
    if (running_) {
        KillTimer(window, id_);
        running_ = false;
        Timers().erase(id_);
    }
    if (!enabled_ || interval_ == 0)
        return;
    if (!SetTimer(window, id_, interval_, nullptr))
        throw Exception("Not enough timers available");
    Timers()[id_] = this;
    running_ = true;
}

void TTimer::Timer()
{
    OnTimer(this);
}

} // namespace ClassLib
