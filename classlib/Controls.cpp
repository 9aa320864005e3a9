#include "classlib/Controls.h"

#include <algorithm>
#include <set>

#include "classlib/Barrier.h"
#include "classlib/CommonControls.h"
#include "classlib/Forms.h"
#include "foundation/VxText.h"

namespace ClassLib {

namespace {

const wchar_t kControlProp[] = L"ClassLib.Control";
const wchar_t kParkingClass[] = L"ClassLibParking";
const wchar_t kOwnClassPrefix[] = L"ClassLib";

void RegisterOwnClass(const std::wstring &name)
{
    static std::set<std::wstring> registered;
    if (registered.count(name))
        return;
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.style = CS_DBLCLKS;
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    wc.lpszClassName = name.c_str();
    if (!RegisterClassExW(&wc) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS)
        throw Exception("Cannot register window class " + WideToAnsi(name));
    registered.insert(name);
}

// The hidden window under which controls wait for a parent.
HWND ParkingWindow()
{
    static HWND parking = nullptr;
    if (parking && IsWindow(parking))
        return parking;
    RegisterOwnClass(kParkingClass);
    parking = CreateWindowExW(0, kParkingClass, L"", WS_POPUP | WS_CLIPCHILDREN, 0, 0, 0, 0, nullptr,
                              nullptr, GetModuleHandleW(nullptr), nullptr);
    if (!parking)
        throw Exception("Cannot create the parking window");
    return parking;
}

bool IsOwnClass(const std::wstring &name)
{
    return name.compare(0, wcslen(kOwnClassPrefix), kOwnClassPrefix) == 0;
}

// Ends a paint on every path.
class TPaintScope {
public:
    explicit TPaintScope(HWND window) : window_(window), dc_(BeginPaint(window, &ps_)) {}
    ~TPaintScope() { EndPaint(window_, &ps_); }
    HDC Dc() const noexcept { return dc_; }

private:
    HWND window_;
    PAINTSTRUCT ps_{};
    HDC dc_;
};

int OuterWidth(TControl *c)
{
    return c->Width() + (c->AlignWithMargins() ? c->Margins()->Left() + c->Margins()->Right() : 0);
}

int OuterHeight(TControl *c)
{
    return c->Height() + (c->AlignWithMargins() ? c->Margins()->Top() + c->Margins()->Bottom() : 0);
}

int OuterTop(TControl *c)
{
    return c->Top() - (c->AlignWithMargins() ? c->Margins()->Top() : 0);
}

int OuterLeft(TControl *c)
{
    return c->Left() - (c->AlignWithMargins() ? c->Margins()->Left() : 0);
}

// Whether c1 goes before c2 in the band of the alignment.
bool InsertBefore(TControl *c1, TControl *c2, TAlign align)
{
    switch (align) {
    case alTop:
        return OuterTop(c1) < OuterTop(c2);
    case alBottom:
        return OuterTop(c1) + OuterHeight(c1) >= OuterTop(c2) + OuterHeight(c2);
    case alLeft:
        return OuterLeft(c1) < OuterLeft(c2);
    case alRight:
        return OuterLeft(c1) + OuterWidth(c1) >= OuterLeft(c2) + OuterWidth(c2);
    default:
        return false;
    }
}

void PositionControl(TControl *c, TAlign align, RECT &r)
{
    const bool m = c->AlignWithMargins();
    const int ml = m ? c->Margins()->Left() : 0, mt = m ? c->Margins()->Top() : 0;
    const int mr = m ? c->Margins()->Right() : 0, mb = m ? c->Margins()->Bottom() : 0;
    const int availW = std::max(0, static_cast<int>(r.right - r.left) - ml - mr);
    const int availH = std::max(0, static_cast<int>(r.bottom - r.top) - mt - mb);
    switch (align) {
    case alTop:
        c->SetBounds(r.left + ml, r.top + mt, availW, c->Height());
        r.top += c->Height() + mt + mb;
        break;
    case alBottom:
        c->SetBounds(r.left + ml, r.bottom - mb - c->Height(), availW, c->Height());
        if (c->Top() != r.bottom - mb - c->Height()) // auto-size changed the height
            c->SetBounds(r.left + ml, r.bottom - mb - c->Height(), availW, c->Height());
        r.bottom -= c->Height() + mt + mb;
        break;
    case alLeft:
        c->SetBounds(r.left + ml, r.top + mt, c->Width(), availH);
        r.left += c->Width() + ml + mr;
        break;
    case alRight:
        c->SetBounds(r.right - mr - c->Width(), r.top + mt, c->Width(), availH);
        if (c->Left() != r.right - mr - c->Width())
            c->SetBounds(r.right - mr - c->Width(), r.top + mt, c->Width(), availH);
        r.right -= c->Width() + ml + mr;
        break;
    case alClient:
        c->SetBounds(r.left + ml, r.top + mt, availW, availH);
        break;
    default:
        break;
    }
    if (r.bottom < r.top)
        r.bottom = r.top;
    if (r.right < r.left)
        r.right = r.left;
}

} // namespace

LRESULT CALLBACK ControlWndProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam)
{
    TControl *control = static_cast<TControl *>(GetPropW(window, kControlProp));
    if (!control)
        return DefWindowProcW(window, msg, wParam, lParam);
    LRESULT result = 0;
    if (!Guarded([&] { result = control->WndProc(msg, wParam, lParam); })) {
        result = 0;
        if (msg == WM_PAINT)
            ValidateRect(window, nullptr);
    }
    return result;
}

void TMargins::Set(int left, int top, int right, int bottom)
{
    if (left == left_ && top == top_ && right == right_ && bottom == bottom_)
        return;
    left_ = left;
    top_ = top;
    right_ = right;
    bottom_ = bottom;
    if (control_ && control_->AlignWithMargins())
        control_->RequestAlign();
}

void TSizeConstraints::SetMinWidth(int v)
{
    minWidth_ = v;
    Changed();
}
void TSizeConstraints::SetMinHeight(int v)
{
    minHeight_ = v;
    Changed();
}
void TSizeConstraints::SetMaxWidth(int v)
{
    maxWidth_ = v;
    Changed();
}
void TSizeConstraints::SetMaxHeight(int v)
{
    maxHeight_ = v;
    Changed();
}

void TSizeConstraints::Changed()
{
    if (control_)
        control_->ConstraintsChanged();
}

TControl::TControl(TComponent *owner) : TComponent(owner)
{
    margins_.control_ = this;
    constraints_.control_ = this;
    font_.OnChange = [this] {
        if (!inheritingFont_)
            parentFont_ = false;
        ApplyFont();
        if (auto *container = dynamic_cast<TWinControl *>(this))
            for (TControl *c : container->controls_)
                c->InheritFont(font_);
        FontChanged();
    };
}

TControl::~TControl()
{
    destroying_ = true;
    if (parent_)
        parent_->RemoveControl(this);
    parent_ = nullptr;
    if (handle_) {
        HWND window = handle_;
        DestroyWindow(window);
        if (handle_) { // the window outlived the call: detach it from this object
            RemovePropW(window, kControlProp);
            handle_ = nullptr;
        }
    }
}

TControl *TControl::FromHandle(HWND window) noexcept
{
    return window ? static_cast<TControl *>(GetPropW(window, kControlProp)) : nullptr;
}

void TControl::CreateHandle(const wchar_t *className, DWORD style, DWORD exStyle)
{
    LoadCommonControls();
    className_ = className;
    if (IsOwnClass(className_))
        RegisterOwnClass(className_);
    style_ = style;
    exStyle_ = exStyle;
    HWND parentWindow = nullptr;
    if (style & WS_CHILD)
        parentWindow = parent_ && parent_->Handle() ? parent_->Handle() : ParkingWindow();
    else
        parentWindow = Application->Handle();
    HWND window = CreateWindowExW(exStyle, className, L"", style | (visible_ && (style & WS_CHILD) ? WS_VISIBLE : 0),
                                  left_, top_, width_, height_, parentWindow, nullptr,
                                  GetModuleHandleW(nullptr), nullptr);
    if (!window) {
        const unsigned long error = GetLastError();
        throw Exception(AnsiString::Format("Cannot create a window of class %s (error %lu)",
                                           WideToAnsi(className).c_str(), error));
    }
    Attach(window);
    ApplyFont();
}

void TControl::Attach(HWND window)
{
    handle_ = window;
    SetPropW(window, kControlProp, this);
    defProc_ = reinterpret_cast<WNDPROC>(GetWindowLongPtrW(window, GWLP_WNDPROC));
    SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&ControlWndProc));
}

void TControl::RecreateWnd()
{
    if (!handle_)
        return;
    HWND old = handle_;
    HWND parentWindow = (style_ & WS_CHILD) ? GetParent(old) : GetWindow(old, GW_OWNER);
    std::wstring text;
    int length = GetWindowTextLengthW(old);
    if (length > 0) {
        text.resize(static_cast<size_t>(length) + 1);
        text.resize(static_cast<size_t>(GetWindowTextW(old, &text[0], length + 1)));
    }
    const bool hadFocus = GetFocus() == old;
    HWND window = CreateWindowExW(exStyle_, className_.c_str(), text.c_str(),
                                  style_ | (visible_ && (style_ & WS_CHILD) ? WS_VISIBLE : 0), left_, top_,
                                  width_, height_, parentWindow, nullptr, GetModuleHandleW(nullptr), nullptr);
    if (!window)
        throw Exception("Cannot recreate a window");
    RemovePropW(old, kControlProp);
    SetWindowLongPtrW(old, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(defProc_));
    Attach(window);
    SetWindowPos(window, old, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    if (auto *container = dynamic_cast<TWinControl *>(this))
        for (TControl *c : container->controls_)
            if (c->handle_)
                ::SetParent(c->handle_, window);
    ApplyFont();
    EnableWindow(window, enabled_ ? TRUE : FALSE);
    DestroyWindow(old);
    if (hadFocus)
        ::SetFocus(window);
    UpdateHintOfForm();
}

void TControl::ChangeStyle(DWORD add, DWORD remove, bool ex)
{
    DWORD &s = ex ? exStyle_ : style_;
    s = (s | add) & ~remove;
    if (!handle_)
        return;
    int index = ex ? GWL_EXSTYLE : GWL_STYLE;
    DWORD current = static_cast<DWORD>(GetWindowLongW(handle_, index));
    SetWindowLongW(handle_, index, static_cast<LONG>((current | add) & ~remove));
    SetWindowPos(handle_, nullptr, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
}

void TControl::SetParent(TWinControl *parent)
{
    if (parent == parent_)
        return;
    if (IsForm() && parent)
        throw Exception("A form cannot have a parent");
    for (TWinControl *p = parent; p; p = p->parent_)
        if (p == this)
            throw Exception("A control cannot be its own parent");
    if (parent_)
        parent_->RemoveControl(this);
    parent_ = parent;
    if (handle_ && (style_ & WS_CHILD)) {
        ::SetParent(handle_, parent && parent->Handle() ? parent->Handle() : ParkingWindow());
        SetWindowPos(handle_, nullptr, left_, top_, width_, height_, SWP_NOZORDER | SWP_NOACTIVATE);
    }
    if (!parent)
        return;
    parent->InsertControl(this);
    InheritFont(*parent->Font());
    InheritColor(parent->Color());
    if (autoSize_)
        AdjustSize();
    if (align_ != alNone || parent->AutoSize())
        parent->AlignControls(align_ != alNone ? this : nullptr);
    UpdateHintOfForm();
}

void TControl::SetBounds(int left, int top, int width, int height)
{
    if (autoSize_ && !Destroying()) {
        int w = width, h = height;
        CanAutoSize(w, h);
        if (align_ != alTop && align_ != alBottom && align_ != alClient)
            width = w;
        if (align_ != alLeft && align_ != alRight && align_ != alClient)
            height = h;
    }
    ApplyConstraints(width, height);
    const bool sized = width != width_ || height != height_;
    const bool moved = left != left_ || top != top_;
    if (!sized && !moved)
        return;
    left_ = left;
    top_ = top;
    width_ = width;
    height_ = height;
    if (handle_)
        SetWindowPos(handle_, nullptr, left, top, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
    if (sized) {
        if (auto *container = dynamic_cast<TWinControl *>(this))
            container->AlignControls(nullptr);
        Resized();
    }
    if (sized || align_ != alNone)
        RequestAlign();
}

void TControl::ApplyConstraints(int &width, int &height) const
{
    int minW = constraints_.minWidth_, minH = constraints_.minHeight_;
    if (auto *container = dynamic_cast<const TWinControl *>(this)) {
        int cw = 0, ch = 0;
        container->MinClientSize(cw, ch);
        if (handle_) {
            RECT client{};
            GetClientRect(handle_, &client);
            cw += width_ - client.right;
            ch += height_ - client.bottom;
        }
        minW = std::max(minW, cw);
        minH = std::max(minH, ch);
    }
    if (constraints_.maxWidth_ > 0 && width > constraints_.maxWidth_)
        width = constraints_.maxWidth_;
    if (constraints_.maxHeight_ > 0 && height > constraints_.maxHeight_)
        height = constraints_.maxHeight_;
    if (width < minW)
        width = minW;
    if (height < minH)
        height = minH;
    if (width < 0)
        width = 0;
    if (height < 0)
        height = 0;
}

void TControl::ConstraintsChanged()
{
    if (Destroying())
        return;
    SetBounds(left_, top_, width_, height_);
    if (parent_)
        parent_->ConstraintsChanged();
}

void TControl::UpdateBoundsFromWindow()
{
    if (!handle_ || Destroying())
        return;
    if (!(style_ & WS_CHILD) && IsIconic(handle_))
        return;
    RECT r{};
    GetWindowRect(handle_, &r);
    if (style_ & WS_CHILD) {
        HWND parentWindow = GetParent(handle_);
        MapWindowPoints(nullptr, parentWindow, reinterpret_cast<POINT *>(&r), 2);
    }
    const int w = r.right - r.left, h = r.bottom - r.top;
    const bool sized = w != width_ || h != height_;
    if (!sized && r.left == left_ && r.top == top_)
        return;
    left_ = r.left;
    top_ = r.top;
    width_ = w;
    height_ = h;
    if (!sized)
        return;
    if (auto *container = dynamic_cast<TWinControl *>(this))
        container->AlignControls(nullptr);
    Resized();
    RequestAlign();
}

RECT TControl::ClientRect() const
{
    RECT r{0, 0, 0, 0};
    if (handle_)
        GetClientRect(handle_, &r);
    return r;
}

int TControl::ClientWidth() const
{
    return ClientRect().right;
}

int TControl::ClientHeight() const
{
    return ClientRect().bottom;
}

void TControl::SetClientWidth(int v)
{
    SetWidth(width_ - ClientWidth() + v);
}

void TControl::SetClientHeight(int v)
{
    SetHeight(height_ - ClientHeight() + v);
}

void TControl::SetAlign(TAlign align)
{
    if (align == align_)
        return;
    TAlign old = align_;
    align_ = align;
    if (parent_ && (old != alNone || align != alNone) && !Destroying())
        parent_->AlignControls(this);
}

void TControl::SetAlignWithMargins(bool v)
{
    if (v == alignWithMargins_)
        return;
    alignWithMargins_ = v;
    RequestAlign();
}

void TControl::SetVisible(bool v)
{
    if (v == visible_)
        return;
    visible_ = v;
    TControl *focused = v ? nullptr : FocusedWithin();
    if (handle_)
        ShowWindow(handle_, v ? SW_SHOWNOACTIVATE : SW_HIDE);
    if (focused)
        PassFocusOn(focused);
    if (parent_ && !Destroying() && (align_ != alNone || parent_->AutoSize()))
        parent_->AlignControls(nullptr);
}

bool TControl::Showing() const
{
    return handle_ && IsWindowVisible(handle_);
}

void TControl::SetEnabled(bool v)
{
    if (v == enabled_)
        return;
    enabled_ = v;
    TControl *focused = v ? nullptr : FocusedWithin();
    if (handle_)
        EnableWindow(handle_, v ? TRUE : FALSE);
    if (focused)
        PassFocusOn(focused);
}

TControl *TControl::FocusedWithin() const
{
    if (!handle_ || isForm_)
        return nullptr;
    HWND focus = GetFocus();
    if (focus != handle_ && !IsChild(handle_, focus))
        return nullptr;
    for (HWND w = focus; w && w != handle_; w = GetParent(w))
        if (TControl *c = FromHandle(w))
            return c;
    return const_cast<TControl *>(this);
}

void TControl::PassFocusOn(TControl *lost)
{
    if (Destroying())
        return;
    TForm *form = GetParentForm(this);
    if (form && !form->Destroying())
        form->FocusNextAfter(lost);
}

AnsiString TControl::Text() const
{
    if (!handle_)
        return AnsiString();
    int length = GetWindowTextLengthW(handle_);
    if (length <= 0)
        return AnsiString();
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    text.resize(static_cast<size_t>(GetWindowTextW(handle_, &text[0], length + 1)));
    return WideToAnsi(text);
}

void TControl::SetText(const AnsiString &text)
{
    if (handle_)
        SetWindowTextW(handle_, AnsiToWide(text).c_str());
    if (autoSize_)
        AdjustSize();
}

void TControl::SetParentFont(bool v)
{
    parentFont_ = v;
    if (v && parent_)
        InheritFont(*parent_->Font());
}

void TControl::InheritFont(const TFont &font)
{
    if (!parentFont_)
        return;
    inheritingFont_ = true;
    try {
        font_.Assign(font);
    } catch (...) {
        inheritingFont_ = false;
        throw;
    }
    inheritingFont_ = false;
}

void TControl::ApplyFont()
{
    if (handle_)
        SendMessageW(handle_, WM_SETFONT, reinterpret_cast<WPARAM>(font_.Handle()), TRUE);
}

void TControl::FontChanged()
{
    if (autoSize_)
        AdjustSize();
}

void TControl::SetColor(TColor color)
{
    parentColor_ = false;
    if (color == color_)
        return;
    color_ = color;
    ColorChanged();
}

void TControl::SetParentColor(bool v)
{
    parentColor_ = v;
    if (v && parent_)
        InheritColor(parent_->Color());
}

void TControl::InheritColor(TColor color)
{
    if (!parentColor_ || color == color_)
        return;
    color_ = color;
    ColorChanged();
}

void TControl::ColorChanged()
{
    brush_.Close();
    Invalidate();
    if (auto *container = dynamic_cast<TWinControl *>(this))
        for (TControl *c : container->controls_)
            c->InheritColor(color_);
}

HBRUSH TControl::ColorBrush()
{
    if (!brush_.IsValid())
        brush_.Set(CreateSolidBrush(ColorToRGB(color_)));
    return static_cast<HBRUSH>(brush_.Get());
}

HBRUSH TControl::CtlColor(HDC dc)
{
    SetTextColor(dc, ColorToRGB(font_.Color()));
    SetBkColor(dc, ColorToRGB(color_));
    return ColorBrush();
}

void TControl::SetHint(const AnsiString &hint)
{
    if (hint == hint_)
        return;
    hint_ = hint;
    UpdateHintOfForm();
}

void TControl::SetShowHint(bool v)
{
    parentShowHint_ = false;
    showHint_ = v;
    UpdateHintOfForm();
}

void TControl::SetParentShowHint(bool v)
{
    parentShowHint_ = v;
    UpdateHintOfForm();
}

bool TControl::EffectiveShowHint() const noexcept
{
    const TControl *c = this;
    while (c->parentShowHint_ && c->parent_)
        c = c->parent_;
    if (c->parentShowHint_ && !c->isForm_)
        return false;
    return c->showHint_;
}

void TControl::UpdateHintOfForm()
{
    if (Destroying())
        return;
    if (TForm *form = GetParentForm(this))
        form->UpdateHints();
}

void TControl::SetAutoSize(bool v)
{
    if (v == autoSize_)
        return;
    autoSize_ = v;
    if (v)
        AdjustSize();
}

void TControl::CanAutoSize(int &, int &)
{
}

void TControl::AdjustSize()
{
    if (!autoSize_ || adjusting_ || Destroying())
        return;
    adjusting_ = true;
    try {
        SetBounds(left_, top_, width_, height_);
    } catch (...) {
        adjusting_ = false;
        throw;
    }
    adjusting_ = false;
}

int TControl::TabOrder() const
{
    if (!parent_)
        return -1;
    auto &list = parent_->tabList_;
    auto it = std::find(list.begin(), list.end(), this);
    return it == list.end() ? -1 : static_cast<int>(it - list.begin());
}

void TControl::SetTabOrder(int order)
{
    if (!parent_)
        return;
    auto &list = parent_->tabList_;
    auto it = std::find(list.begin(), list.end(), this);
    if (it == list.end())
        return;
    list.erase(it);
    order = std::max(0, std::min(order, static_cast<int>(list.size())));
    list.insert(list.begin() + order, this);
}

bool TControl::Focused() const noexcept
{
    return handle_ && GetFocus() == handle_;
}

bool TControl::CanFocus() const
{
    if (!handle_ || !IsWindowVisible(handle_))
        return false;
    for (const TControl *c = this; c; c = c->parent_)
        if (!c->enabled_)
            return false;
    return true;
}

void TControl::SetFocus()
{
    TForm *form = GetParentForm(this);
    if (form && form != this)
        form->SetActiveControl(this);
    if (handle_ && CanFocus() && (!form || form->Showing()))
        ::SetFocus(handle_);
}

void TControl::Invalidate()
{
    if (handle_)
        InvalidateRect(handle_, nullptr, TRUE);
}

void TControl::Update()
{
    if (handle_)
        UpdateWindow(handle_);
}

void TControl::Repaint()
{
    if (!handle_)
        return;
    RedrawWindow(handle_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
}

LRESULT TControl::Perform(UINT msg, WPARAM wParam, LPARAM lParam)
{
    return handle_ ? SendMessageW(handle_, msg, wParam, lParam) : 0;
}

void TControl::BringToFront()
{
    if (handle_)
        SetWindowPos(handle_, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

void TControl::Click()
{
    OnClick(this);
}

void TControl::CommandNotify(WORD)
{
}

bool TControl::NotifyReflect(NMHDR *, LRESULT &)
{
    return false;
}

void TControl::Resized()
{
}

bool TControl::WantsKey(WORD) const
{
    return false;
}

bool TControl::DialogKey(WORD, bool)
{
    return false;
}

bool TControl::DialogChar(wchar_t)
{
    return false;
}

bool TControl::IsAccel(wchar_t ch) const
{
    if (!handle_)
        return false;
    int length = GetWindowTextLengthW(handle_);
    if (length <= 0)
        return false;
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    text.resize(static_cast<size_t>(GetWindowTextW(handle_, &text[0], length + 1)));
    for (size_t i = 0; i + 1 < text.size(); ++i) {
        if (text[i] != L'&')
            continue;
        if (text[i + 1] == L'&') {
            ++i;
            continue;
        }
        wchar_t a[2] = {text[i + 1], 0}, b[2] = {ch, 0};
        CharUpperW(a);
        CharUpperW(b);
        return a[0] == b[0];
    }
    return false;
}

void TControl::RequestAlign()
{
    if (!parent_ || parent_->Aligning() || parent_->Destroying() || Destroying())
        return;
    if (align_ != alNone || parent_->AutoSize())
        parent_->AlignControls(nullptr);
}

void TControl::PaintWindow(HDC dc)
{
    DefaultHandler(WM_PAINT, reinterpret_cast<WPARAM>(dc), 0);
}

LRESULT TControl::DefaultHandler(UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (!handle_)
        return 0;
    if (defProc_)
        return CallWindowProcW(defProc_, handle_, msg, wParam, lParam);
    return DefWindowProcW(handle_, msg, wParam, lParam);
}

LRESULT TControl::WndProc(UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_COMMAND:
        if (lParam) {
            TControl *child = FromHandle(reinterpret_cast<HWND>(lParam));
            if (child && child != this) {
                child->CommandNotify(HIWORD(wParam));
                return 0;
            }
        }
        break;
    case WM_NOTIFY: {
        NMHDR *header = reinterpret_cast<NMHDR *>(lParam);
        TControl *child = header ? FromHandle(header->hwndFrom) : nullptr;
        LRESULT result = 0;
        if (child && child != this && child->NotifyReflect(header, result))
            return result;
        break;
    }
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORLISTBOX: {
        TControl *child = FromHandle(reinterpret_cast<HWND>(lParam));
        if (child && child != this)
            return reinterpret_cast<LRESULT>(child->CtlColor(reinterpret_cast<HDC>(wParam)));
        break;
    }
    case WM_ERASEBKGND:
        if (opaque_) {
            RECT r{};
            GetClientRect(handle_, &r);
            FillRect(reinterpret_cast<HDC>(wParam), &r, ColorBrush());
            return 1;
        }
        break;
    case WM_PAINT:
        if (controlState_ & csCustomPaint) {
            if (wParam) {
                PaintWindow(reinterpret_cast<HDC>(wParam));
                return 0;
            }
            TPaintScope paint(handle_);
            PaintWindow(paint.Dc());
            return 0;
        }
        break;
    case WM_WINDOWPOSCHANGED: {
        LRESULT result = DefaultHandler(msg, wParam, lParam);
        UpdateBoundsFromWindow();
        return result;
    }
    case WM_SETFOCUS: {
        LRESULT result = DefaultHandler(msg, wParam, lParam);
        if (!isForm_ && !Destroying())
            if (TForm *form = GetParentForm(this))
                form->FocusChanged(this);
        return result;
    }
    case WM_SYSCOLORCHANGE:
    case CM_SYSCOLORCHANGE: {
        brush_.Close();
        LRESULT result = msg == WM_SYSCOLORCHANGE ? DefaultHandler(msg, wParam, lParam)
                                                  : DefaultHandler(WM_SYSCOLORCHANGE, 0, 0);
        if (auto *container = dynamic_cast<TWinControl *>(this))
            for (TControl *c : container->controls_)
                c->Perform(CM_SYSCOLORCHANGE);
        Invalidate();
        return result;
    }
    case WM_NCDESTROY: {
        LRESULT result = DefaultHandler(msg, wParam, lParam);
        RemovePropW(handle_, kControlProp);
        handle_ = nullptr;
        return result;
    }
    default:
        break;
    }
    return DefaultHandler(msg, wParam, lParam);
}

TWinControl::TWinControl(TComponent *owner) : TControl(owner)
{
}

TWinControl::~TWinControl()
{
    MarkDestroying();
    while (!controls_.empty()) {
        TControl *last = controls_.back();
        delete last; // takes itself off the list
        if (!controls_.empty() && controls_.back() == last)
            controls_.pop_back();
    }
}

void TWinControl::InsertControl(TControl *control)
{
    controls_.push_back(control);
    tabList_.push_back(control);
}

void TWinControl::RemoveControl(TControl *control)
{
    controls_.erase(std::remove(controls_.begin(), controls_.end(), control), controls_.end());
    tabList_.erase(std::remove(tabList_.begin(), tabList_.end(), control), tabList_.end());
    if (!Destroying() && (control->Align() != alNone || AutoSize()))
        AlignControls(nullptr);
}

void TWinControl::AdjustClientRect(RECT &) const
{
}

RECT TWinControl::AlignArea() const
{
    RECT r = ClientRect();
    AdjustClientRect(r);
    return r;
}

void TWinControl::AlignControls(TControl *changed)
{
    if (!Handle() || Destroying())
        return;
    // An auto-sized container first fits the sizes its children ask for, so
    // that a child filling it can also make it smaller.
    if (AutoSize() && aligning_ == 0)
        AdjustSize();
    ++aligning_;
    try {
        RECT r = AlignArea();
        for (TAlign align : {alTop, alBottom, alLeft, alRight, alClient}) {
            std::vector<TControl *> band;
            for (TControl *c : controls_) {
                if (c == changed || c->Align() != align || !c->Visible())
                    continue;
                size_t j = 0;
                while (j < band.size() && !InsertBefore(c, band[j], align))
                    ++j;
                band.insert(band.begin() + static_cast<std::ptrdiff_t>(j), c);
            }
            // A control that has just joined the band goes innermost.
            if (changed && changed->Parent() == this && changed->Align() == align && changed->Visible())
                band.push_back(changed);
            for (TControl *c : band)
                PositionControl(c, align, r);
        }
    } catch (...) {
        --aligning_;
        throw;
    }
    --aligning_;
    if (AutoSize())
        AdjustSize();
}

void TWinControl::CanAutoSize(int &width, int &height)
{
    if (!Handle())
        return;
    int topBottom = 0, leftRight = 0, bandWidth = 0, sideHeight = 0, right = 0, bottom = 0;
    bool any = false, anyWidth = false;
    for (TControl *c : controls_) {
        if (!c->Visible())
            continue;
        any = true;
        switch (c->Align()) {
        case alTop:
        case alBottom:
            topBottom += OuterHeight(c);
            break;
        case alLeft:
        case alRight:
            leftRight += OuterWidth(c);
            sideHeight = std::max(sideHeight, OuterHeight(c));
            anyWidth = true;
            break;
        case alClient:
            bandWidth = std::max(bandWidth, OuterWidth(c));
            sideHeight = std::max(sideHeight, OuterHeight(c));
            anyWidth = true;
            break;
        default:
            right = std::max(right, c->Left() + c->Width());
            bottom = std::max(bottom, c->Top() + c->Height());
            anyWidth = true;
            break;
        }
    }
    if (!any)
        return;
    RECT client = ClientRect();
    RECT inner = client;
    AdjustClientRect(inner);
    const int extraW = (inner.left - client.left) + (client.right - inner.right);
    const int extraH = (inner.top - client.top) + (client.bottom - inner.bottom);
    const int frameW = Width() - client.right, frameH = Height() - client.bottom;
    const int needH = std::max(topBottom + sideHeight, bottom) + extraH;
    height = needH + frameH;
    if (anyWidth)
        width = std::max(leftRight + bandWidth, right) + extraW + frameW;
}

void TWinControl::MinClientSize(int &width, int &height) const
{
    int topBottomH = 0, bandMinW = 0, sideW = 0, centreW = 0, centreH = 0;
    for (TControl *c : controls_) {
        if (!c->Visible() || c->Align() == alNone)
            continue;
        int mw = c->Constraints()->MinWidth(), mh = c->Constraints()->MinHeight();
        if (auto *container = dynamic_cast<TWinControl *>(c)) {
            int cw = 0, ch = 0;
            container->MinClientSize(cw, ch);
            RECT client = c->ClientRect();
            mw = std::max(mw, cw + c->Width() - static_cast<int>(client.right));
            mh = std::max(mh, ch + c->Height() - static_cast<int>(client.bottom));
        }
        const int mx = c->AlignWithMargins() ? c->Margins()->Left() + c->Margins()->Right() : 0;
        const int my = c->AlignWithMargins() ? c->Margins()->Top() + c->Margins()->Bottom() : 0;
        switch (c->Align()) {
        case alTop:
        case alBottom:
            topBottomH += mh + my;
            bandMinW = std::max(bandMinW, mw + mx);
            break;
        case alLeft:
        case alRight:
            sideW += c->Width() + mx;
            centreH = std::max(centreH, mh + my);
            break;
        case alClient:
            centreW = std::max(centreW, mw + mx);
            centreH = std::max(centreH, mh + my);
            break;
        default:
            break;
        }
    }
    RECT client = ClientRect();
    RECT inner = client;
    AdjustClientRect(inner);
    width = std::max(bandMinW, sideW + centreW) + (inner.left - client.left) + (client.right - inner.right);
    height = topBottomH + centreH + (inner.top - client.top) + (client.bottom - inner.bottom);
    if (width < 0)
        width = 0;
    if (height < 0)
        height = 0;
}

void TWinControl::GetTabOrderList(std::vector<TControl *> &list) const
{
    for (TControl *c : tabList_) {
        if (c->TabStop())
            list.push_back(c);
        if (auto *container = dynamic_cast<TWinControl *>(c))
            container->GetTabOrderList(list);
    }
}

TForm *GetParentForm(const TControl *control)
{
    const TControl *c = control;
    while (c && c->Parent())
        c = c->Parent();
    if (c && c->IsForm())
        return static_cast<TForm *>(const_cast<TControl *>(c));
    return nullptr;
}

} // namespace ClassLib
