// Standard controls: label, edit, memo, list box, check box, push button and
// group box, each over its common control (the group box is drawn here).
#pragma once

#include <memory>
#include <vector>

#include "classlib/Controls.h"

namespace ClassLib {

enum TAlignment { taLeftJustify, taRightJustify, taCenter };
enum TScrollStyle { ssNone, ssHorizontal, ssVertical, ssBoth };

// A text. AutoSize (on by default) fits the height to the text, and the width
// too unless WordWrap is set; flipping AutoSize off and on re-measures.
class TLabel : public TControl {
public:
    explicit TLabel(TComponent *owner);
    TAlignment Alignment() const noexcept { return alignment_; }
    void SetAlignment(TAlignment alignment);
    bool WordWrap() const noexcept { return wordWrap_; }
    void SetWordWrap(bool v);
    // The control that Alt+mnemonic of the caption focuses.
    TControl *FocusControl() const noexcept { return focusControl_; }
    void SetFocusControl(TControl *control) noexcept { focusControl_ = control; }
    void SetBounds(int left, int top, int width, int height) override;

protected:
    void CanAutoSize(int &width, int &height) override;
    bool DialogChar(wchar_t ch) override;

private:
    void ApplyStyle();
    TAlignment alignment_ = taLeftJustify;
    bool wordWrap_ = false;
    TControl *focusControl_ = nullptr;
};

class TEdit : public TControl {
public:
    explicit TEdit(TComponent *owner);
    bool ReadOnly() const noexcept { return readOnly_; }
    void SetReadOnly(bool v);
    void SelectAll();
    // Runs OnChange once, as typing does.
    void SetText(const AnsiString &text) override;
    TNotifyEvent OnChange;

protected:
    void CommandNotify(WORD code) override;
    bool WantsChars() const override { return true; }

private:
    bool readOnly_ = false;
    bool settingText_ = false;
};

class TMemo;

// The lines of a memo as a string list (the lines as the memo wraps them).
class TMemoStrings : public TStrings {
public:
    explicit TMemoStrings(TMemo *memo) : memo_(memo) {}
    int Count() const override;
    AnsiString Get(int index) const override;
    int Add(const AnsiString &text) override;
    void Clear() override;
    AnsiString Text() const override;
    void SetText(const AnsiString &text) override;

private:
    TMemo *memo_;
};

// A multi-line edit. Bare LF line breaks in a text set are shown as breaks
// (stored as CR LF).
class TMemo : public TControl {
public:
    explicit TMemo(TComponent *owner);
    TStrings *Lines() noexcept { return &lines_; }
    void SetText(const AnsiString &text) override;
    bool ReadOnly() const noexcept { return readOnly_; }
    void SetReadOnly(bool v);
    TScrollStyle ScrollBars() const noexcept { return scrollBars_; }
    void SetScrollBars(TScrollStyle style);
    bool WordWrap() const noexcept { return wordWrap_; }
    void SetWordWrap(bool v);
    bool WantReturns() const noexcept { return wantReturns_; }
    void SetWantReturns(bool v);
    bool WantTabs() const noexcept { return wantTabs_; }
    void SetWantTabs(bool v) noexcept { wantTabs_ = v; }
    bool HideSelection() const noexcept { return hideSelection_; }
    void SetHideSelection(bool v);
    // bsNone: no border; any other style: the sunken edit border.
    TFormBorderStyle BorderStyle() const noexcept { return borderStyle_; }
    void SetBorderStyle(TFormBorderStyle style);

    int SelStart() const;
    int SelLength() const;
    void SetSelStart(int start);
    void SetSelLength(int length);
    AnsiString SelText() const;
    void SelectAll();

    TNotifyEvent OnChange;

protected:
    void CommandNotify(WORD code) override;
    bool WantsKey(WORD key) const override;
    bool WantsChars() const override { return !readOnly_; }

private:
    DWORD EditStyle() const;
    void Rebuild();

    TMemoStrings lines_;
    bool readOnly_ = false;
    TScrollStyle scrollBars_ = ssNone;
    bool wordWrap_ = true;
    bool wantReturns_ = true;
    bool wantTabs_ = false;
    bool hideSelection_ = true;
    TFormBorderStyle borderStyle_ = bsSingle;
};

class TListBox;

class TListBoxStrings : public TStrings {
public:
    explicit TListBoxStrings(TListBox *box) : box_(box) {}
    int Count() const override;
    AnsiString Get(int index) const override;
    int Add(const AnsiString &text) override;
    void Clear() override;

private:
    TListBox *box_;
};

class TListBox : public TControl {
public:
    explicit TListBox(TComponent *owner);
    TStrings *Items() noexcept { return &items_; }
    // Replaces every item in one go: storage for all is reserved, the box is
    // not redrawn while it is filled and is painted once afterwards.
    void SetItems(const std::vector<AnsiString> &items);
    int ItemIndex() const;
    void SetItemIndex(int index);
    bool Sorted() const noexcept { return sorted_; }
    void SetSorted(bool v);

protected:
    void CommandNotify(WORD code) override;
    bool WantsChars() const override { return true; }

private:
    TListBoxStrings items_;
    bool sorted_ = false;
};

// A check box; setting Checked to a new value runs OnClick as a click does.
class TCheckBox : public TControl {
public:
    explicit TCheckBox(TComponent *owner);
    bool Checked() const;
    void SetChecked(bool v);
    bool WordWrap() const noexcept { return wordWrap_; }
    void SetWordWrap(bool v);

protected:
    void CommandNotify(WORD code) override;
    bool DialogChar(wchar_t ch) override;

private:
    bool wordWrap_ = false;
};

// A push button. Clicking it sets its form's ModalResult to the button's
// ModalResult, then runs OnClick. Return clicks the focused button or else
// the Default one; Escape clicks the Cancel one.
class TButton : public TControl {
public:
    explicit TButton(TComponent *owner);
    bool Default() const noexcept { return default_; }
    void SetDefault(bool v);
    bool Cancel() const noexcept { return cancel_; }
    void SetCancel(bool v) noexcept { cancel_ = v; }
    int ModalResult() const noexcept { return modalResult_; }
    void SetModalResult(int result) noexcept { modalResult_ = result; }
    void Click() override;

protected:
    void CommandNotify(WORD code) override;
    bool DialogKey(WORD key, bool focused) override;
    bool DialogChar(wchar_t ch) override;

private:
    bool default_ = false;
    bool cancel_ = false;
    int modalResult_ = 0;
};

// A framed group of controls with a caption.
class TGroupBox : public TWinControl {
public:
    explicit TGroupBox(TComponent *owner);
    void SetText(const AnsiString &text) override;

protected:
    void AdjustClientRect(RECT &rect) const override;
    void PaintWindow(HDC dc) override;
};

} // namespace ClassLib
