// Controls: every control of the class layer is a real window, created with the
// object and parked under a hidden window until it gets a parent. A control's
// bounds are held in the object and pushed to the window at once, so what was
// set reads back immediately.
//
// Alignment: a container places its visible aligned children whenever one of
// them (or the container's size) changes, synchronously: first the top band
// (by their Top), then the bottom band (lowest first), the left and right
// bands, and last the client control in what remains; a control with
// AlignWithMargins keeps its Margins clear around it. A control that has just
// joined a band (its Align or Parent set) goes innermost: below the others of
// the top band, above the others of the bottom band, and so on. Layouts built
// in code therefore stack in the order their controls are aligned.
//
// Window procedures: every window is subclassed to the object's virtual
// WndProc behind the exception barrier (ClassLib::Guarded); a container hands
// its children's WM_COMMAND, WM_NOTIFY and WM_CTLCOLOR* back to them.
#pragma once

#include <windows.h>

#include <vector>

#include "classlib/Classes.h"
#include "classlib/Graphics.h"

namespace ClassLib {

class TControl;
class TWinControl;
class TForm;

enum TAlign { alNone, alTop, alBottom, alLeft, alRight, alClient };
enum TFormBorderStyle { bsNone, bsSingle, bsSizeable, bsDialog, bsToolWindow, bsSizeToolWin };

// The layer's own control messages.
enum : UINT {
    CM_BASE = WM_APP + 0x3000,
    // A system colour changed (sent down to every control of a form).
    CM_SYSCOLORCHANGE = CM_BASE + 1,
};

enum TControlStateFlag : unsigned {
    // The control's WM_PAINT goes through PaintWindow.
    csCustomPaint = 1,
};

// Space kept clear around a control aligned with margins (3 on each side by default).
class TMargins {
public:
    int Left() const noexcept { return left_; }
    int Top() const noexcept { return top_; }
    int Right() const noexcept { return right_; }
    int Bottom() const noexcept { return bottom_; }
    void SetLeft(int v) { Set(v, top_, right_, bottom_); }
    void SetTop(int v) { Set(left_, v, right_, bottom_); }
    void SetRight(int v) { Set(left_, top_, v, bottom_); }
    void SetBottom(int v) { Set(left_, top_, right_, v); }
    void SetBounds(int left, int top, int right, int bottom) { Set(left, top, right, bottom); }

private:
    friend class TControl;
    void Set(int left, int top, int right, int bottom);
    int left_ = 3, top_ = 3, right_ = 3, bottom_ = 3;
    TControl *control_ = nullptr;
};

// Size limits of a control; 0 means no limit.
class TSizeConstraints {
public:
    int MinWidth() const noexcept { return minWidth_; }
    int MinHeight() const noexcept { return minHeight_; }
    int MaxWidth() const noexcept { return maxWidth_; }
    int MaxHeight() const noexcept { return maxHeight_; }
    void SetMinWidth(int v);
    void SetMinHeight(int v);
    void SetMaxWidth(int v);
    void SetMaxHeight(int v);

private:
    friend class TControl;
    void Changed();
    int minWidth_ = 0, minHeight_ = 0, maxWidth_ = 0, maxHeight_ = 0;
    TControl *control_ = nullptr;
};

class TControl : public TComponent {
public:
    explicit TControl(TComponent *owner);
    ~TControl() override;

    // The control's window; every control has one from its construction on.
    HWND Handle() const noexcept { return handle_; }
    bool HandleAllocated() const noexcept { return handle_ != nullptr; }
    // The control object of a window of this layer, or null.
    static TControl *FromHandle(HWND window) noexcept;

    TWinControl *Parent() const noexcept { return parent_; }
    virtual void SetParent(TWinControl *parent);

    int Left() const noexcept { return left_; }
    int Top() const noexcept { return top_; }
    int Width() const noexcept { return width_; }
    int Height() const noexcept { return height_; }
    void SetLeft(int v) { SetBounds(v, top_, width_, height_); }
    void SetTop(int v) { SetBounds(left_, v, width_, height_); }
    void SetWidth(int v) { SetBounds(left_, top_, v, height_); }
    void SetHeight(int v) { SetBounds(left_, top_, width_, v); }
    virtual void SetBounds(int left, int top, int width, int height);
    RECT BoundsRect() const noexcept { return RECT{left_, top_, left_ + width_, top_ + height_}; }
    RECT ClientRect() const;
    int ClientWidth() const;
    int ClientHeight() const;
    void SetClientWidth(int v);
    void SetClientHeight(int v);

    TAlign Align() const noexcept { return align_; }
    void SetAlign(TAlign align);
    bool AlignWithMargins() const noexcept { return alignWithMargins_; }
    void SetAlignWithMargins(bool v);
    TMargins *Margins() noexcept { return &margins_; }
    TSizeConstraints *Constraints() noexcept { return &constraints_; }

    bool Visible() const noexcept { return visible_; }
    virtual void SetVisible(bool v);
    void Show() { SetVisible(true); }
    void Hide() { SetVisible(false); }
    // Visible here and in every parent, with windows on screen.
    bool Showing() const;
    bool Enabled() const noexcept { return enabled_; }
    virtual void SetEnabled(bool v);

    AnsiString Caption() const { return Text(); }
    void SetCaption(const AnsiString &text) { SetText(text); }
    AnsiString Text() const;
    virtual void SetText(const AnsiString &text);

    TFont *Font() noexcept { return &font_; }
    bool ParentFont() const noexcept { return parentFont_; }
    void SetParentFont(bool v);
    TColor Color() const noexcept { return color_; }
    void SetColor(TColor color);
    bool ParentColor() const noexcept { return parentColor_; }
    void SetParentColor(bool v);

    AnsiString Hint() const { return hint_; }
    void SetHint(const AnsiString &hint);
    bool ShowHint() const noexcept { return showHint_; }
    void SetShowHint(bool v);
    bool ParentShowHint() const noexcept { return parentShowHint_; }
    void SetParentShowHint(bool v);
    // ShowHint as inherited through ParentShowHint.
    bool EffectiveShowHint() const noexcept;

    bool AutoSize() const noexcept { return autoSize_; }
    virtual void SetAutoSize(bool v);

    bool TabStop() const noexcept { return tabStop_; }
    void SetTabStop(bool v) { tabStop_ = v; }
    // Position in the parent's tab order.
    int TabOrder() const;
    void SetTabOrder(int order);
    bool Focused() const noexcept;
    bool CanFocus() const;
    void SetFocus();

    unsigned ControlState() const noexcept { return controlState_; }
    void SetControlState(unsigned state) noexcept { controlState_ = state; }

    void Invalidate();
    void Update();
    // Invalidates and paints at once.
    void Repaint();
    void Refresh() { Repaint(); }
    // Sends a message to the control's own window procedure.
    LRESULT Perform(UINT msg, WPARAM wParam = 0, LPARAM lParam = 0);
    void BringToFront();

    // The control's click: OnClick, whatever the Enabled state.
    virtual void Click();
    TNotifyEvent OnClick;

protected:
    // Creates the window (called by each control's constructor). Custom classes
    // are registered by name with a default window procedure.
    void CreateHandle(const wchar_t *className, DWORD style, DWORD exStyle);
    // Builds the window anew with the current styles (for styles a window
    // reads only at creation); text, font, bounds and children carry over.
    void RecreateWnd();
    DWORD WindowStyle() const noexcept { return style_; }
    DWORD WindowExStyle() const noexcept { return exStyle_; }
    // Changes style bits that the window honours at run time.
    void ChangeStyle(DWORD add, DWORD remove, bool ex = false);

    virtual LRESULT WndProc(UINT msg, WPARAM wParam, LPARAM lParam);
    // The window's own procedure (the common control or DefWindowProc).
    LRESULT DefaultHandler(UINT msg, WPARAM wParam, LPARAM lParam);
    // Painting with csCustomPaint; the default lets the window paint itself.
    virtual void PaintWindow(HDC dc);
    // A WM_COMMAND notification of this control, handed back by its parent.
    virtual void CommandNotify(WORD code);
    // A WM_NOTIFY of this control; true when handled (result set).
    virtual bool NotifyReflect(NMHDR *header, LRESULT &result);
    // Colours for WM_CTLCOLOR* of this control.
    virtual HBRUSH CtlColor(HDC dc);
    // The brush of the background colour.
    HBRUSH ColorBrush();
    // Auto-size: the size the control wants, given the proposed one.
    virtual void CanAutoSize(int &width, int &height);
    // Re-applies AutoSize now.
    void AdjustSize();
    virtual void FontChanged();
    virtual void ColorChanged();
    // After the window's size changed.
    virtual void Resized();
    // Keys the focused control keeps for itself (Tab, Return, Escape...).
    virtual bool WantsKey(WORD key) const;
    // Whether typed characters are the control's input (else they may be
    // mnemonics of other controls).
    virtual bool WantsChars() const { return false; }
    // A dialog key offered by the form (Return, Escape); focused tells whether
    // this control has the focus. True when the control used it.
    virtual bool DialogKey(WORD key, bool focused);
    // A mnemonic character offered by the form; true when used.
    virtual bool DialogChar(wchar_t ch);
    // True when the caption marks ch as its mnemonic ("&x").
    bool IsAccel(wchar_t ch) const;
    // Erase the background with the colour (for the layer's own classes).
    void SetOpaque(bool v) noexcept { opaque_ = v; }
    // Tells the parent to place its children again.
    void RequestAlign();
    void UpdateHintOfForm();

    bool Destroying() const noexcept { return destroying_ || (ComponentState() & csDestroying); }
    void MarkDestroying() noexcept { destroying_ = true; }
    void SetIsForm() noexcept { isForm_ = true; }

public:
    bool IsForm() const noexcept { return isForm_; }

private:

private:
    friend class TWinControl;
    friend class TForm;
    friend class TMargins;
    friend class TSizeConstraints;
    friend LRESULT CALLBACK ControlWndProc(HWND, UINT, WPARAM, LPARAM);
    friend class TApplication;

    void Attach(HWND window);
    // A control that loses its window's focus by being disabled or hidden
    // hands it on to the next tab stop of its form, so that the form keeps
    // the keyboard (Esc, Alt+F4). FocusedWithin is the control of this layer,
    // this one or one inside it, that has the focus, else null.
    TControl *FocusedWithin() const;
    void PassFocusOn(TControl *lost);
    void ApplyFont();
    void InheritFont(const TFont &font);
    void InheritColor(TColor color);
    void UpdateBoundsFromWindow();
    void ApplyConstraints(int &width, int &height) const;
    void ConstraintsChanged();

    HWND handle_ = nullptr;
    WNDPROC defProc_ = nullptr;
    std::wstring className_;
    DWORD style_ = 0;
    DWORD exStyle_ = 0;
    TWinControl *parent_ = nullptr;
    int left_ = 0, top_ = 0, width_ = 0, height_ = 0;
    TAlign align_ = alNone;
    bool alignWithMargins_ = false;
    TMargins margins_;
    TSizeConstraints constraints_;
    bool visible_ = true;
    bool enabled_ = true;
    TFont font_;
    bool parentFont_ = true;
    bool inheritingFont_ = false;
    TColor color_ = clBtnFace;
    bool parentColor_ = true;
    Mirelta::TGdiObject brush_;
    AnsiString hint_;
    bool showHint_ = false;
    bool parentShowHint_ = true;
    bool autoSize_ = false;
    bool adjusting_ = false;
    bool tabStop_ = false;
    bool opaque_ = false;
    bool destroying_ = false;
    bool isForm_ = false;
    unsigned controlState_ = 0;
};

// A control that holds other controls, places the aligned ones and keeps
// their tab order.
class TWinControl : public TControl {
public:
    explicit TWinControl(TComponent *owner);
    ~TWinControl() override;

    int ControlCount() const noexcept { return static_cast<int>(controls_.size()); }
    TControl *Controls(int index) const { return controls_.at(static_cast<size_t>(index)); }
    // Places the aligned children; changed (may be null) is one that has just
    // joined its band.
    void AlignControls(TControl *changed);
    void Realign() { AlignControls(nullptr); }
    // The part of the client area the children are aligned in: the place a
    // client-aligned child fills when nothing else is aligned.
    RECT AlignArea() const;
    bool Aligning() const noexcept { return aligning_ > 0; }
    // Tab stops inside, in tab order, depth first.
    void GetTabOrderList(std::vector<TControl *> &list) const;
    // The smallest client size the aligned children and constraints allow.
    void MinClientSize(int &width, int &height) const;

protected:
    // The part of the client area the children are aligned in.
    virtual void AdjustClientRect(RECT &rect) const;
    void CanAutoSize(int &width, int &height) override;

private:
    friend class TControl;
    void InsertControl(TControl *control);
    void RemoveControl(TControl *control);

    std::vector<TControl *> controls_;
    std::vector<TControl *> tabList_;
    int aligning_ = 0;
};

// The form a control sits on, or null.
TForm *GetParentForm(const TControl *control);

} // namespace ClassLib
