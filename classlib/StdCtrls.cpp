#include "classlib/StdCtrls.h"

#include "classlib/Forms.h"
#include "foundation/VxText.h"

namespace ClassLib {

namespace {

const wchar_t kGroupBoxClass[] = L"ClassLibGroupBox";

// Height of one text line in the font.
int LineHeight(HFONT font)
{
    HDC dc = GetDC(nullptr);
    HGDIOBJ old = SelectObject(dc, font);
    TEXTMETRICW tm{};
    GetTextMetricsW(dc, &tm);
    SelectObject(dc, old);
    ReleaseDC(nullptr, dc);
    return tm.tmHeight;
}

// LF or CR alone become CR LF, so that the edit control breaks the line.
AnsiString ToCrLf(const AnsiString &text)
{
    AnsiString out;
    out.reserve(text.size() + 16);
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == '\r') {
            out += "\r\n";
            if (i + 1 < text.size() && text[i + 1] == '\n')
                ++i;
        } else if (c == '\n') {
            out += "\r\n";
        } else {
            out += c;
        }
    }
    return out;
}

} // namespace

// ---------------------------------------------------------------- TLabel

TLabel::TLabel(TComponent *owner) : TControl(owner)
{
    CreateHandle(L"STATIC", WS_CHILD | WS_CLIPSIBLINGS | SS_LEFTNOWORDWRAP, 0);
    SetBounds(0, 0, 65, 13);
    SetAutoSize(true);
}

void TLabel::SetAlignment(TAlignment alignment)
{
    alignment_ = alignment;
    ApplyStyle();
}

void TLabel::SetWordWrap(bool v)
{
    if (v == wordWrap_)
        return;
    wordWrap_ = v;
    ApplyStyle();
    AdjustSize();
}

void TLabel::ApplyStyle()
{
    DWORD style = alignment_ == taRightJustify ? SS_RIGHT
                  : alignment_ == taCenter     ? SS_CENTER
                  : wordWrap_                  ? SS_LEFT
                                               : SS_LEFTNOWORDWRAP;
    ChangeStyle(style, SS_TYPEMASK & ~style);
    Invalidate();
}

void TLabel::CanAutoSize(int &width, int &height)
{
    std::wstring text = AnsiToWide(Text());
    if (text.empty())
        text = L" ";
    HDC dc = GetDC(nullptr);
    HGDIOBJ old = SelectObject(dc, Font()->Handle());
    RECT r{0, 0, wordWrap_ ? (width > 0 ? width : 1) : 0, 0};
    UINT flags = DT_CALCRECT | DT_EXPANDTABS | (wordWrap_ ? DT_WORDBREAK : 0);
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &r, flags);
    SelectObject(dc, old);
    ReleaseDC(nullptr, dc);
    height = r.bottom - r.top;
    if (!wordWrap_)
        width = r.right - r.left;
}

void TLabel::SetBounds(int left, int top, int width, int height)
{
    // A right-aligned label that sizes itself keeps its right edge.
    if (AutoSize() && alignment_ == taRightJustify && Align() == alNone && !wordWrap_) {
        int w = width, h = height;
        CanAutoSize(w, h);
        left += width - w;
        width = w;
    }
    TControl::SetBounds(left, top, width, height);
}

bool TLabel::DialogChar(wchar_t ch)
{
    if (!focusControl_ || !IsAccel(ch) || !focusControl_->CanFocus())
        return false;
    focusControl_->SetFocus();
    return true;
}

// ---------------------------------------------------------------- TEdit

TEdit::TEdit(TComponent *owner) : TControl(owner)
{
    SetParentColor(false);
    SetColor(clWindow);
    SetTabStop(true);
    CreateHandle(L"EDIT", WS_CHILD | WS_CLIPSIBLINGS | WS_TABSTOP | ES_AUTOHSCROLL, WS_EX_CLIENTEDGE);
    SetBounds(0, 0, 121, 21);
}

void TEdit::SetReadOnly(bool v)
{
    readOnly_ = v;
    Perform(EM_SETREADONLY, v ? TRUE : FALSE);
}

void TEdit::SelectAll()
{
    Perform(EM_SETSEL, 0, -1);
}

void TEdit::SetText(const AnsiString &text)
{
    if (text == Text())
        return;
    settingText_ = true;
    try {
        TControl::SetText(text);
    } catch (...) {
        settingText_ = false;
        throw;
    }
    settingText_ = false;
    OnChange(this);
}

void TEdit::CommandNotify(WORD code)
{
    if (code == EN_CHANGE && !settingText_)
        OnChange(this);
}

// ---------------------------------------------------------------- TMemo

int TMemoStrings::Count() const
{
    if (!memo_->Handle())
        return 0;
    int count = static_cast<int>(memo_->Perform(EM_GETLINECOUNT));
    // The edit control counts the empty line after a final line break (and
    // the one line of an empty text); the list does not.
    if (count > 0) {
        LRESULT lastStart = memo_->Perform(EM_LINEINDEX, static_cast<WPARAM>(count - 1));
        if (memo_->Perform(EM_LINELENGTH, static_cast<WPARAM>(lastStart)) == 0)
            --count;
    }
    return count;
}

AnsiString TMemoStrings::Get(int index) const
{
    if (index < 0 || index >= Count())
        throw Exception("List index out of bounds");
    int start = static_cast<int>(memo_->Perform(EM_LINEINDEX, static_cast<WPARAM>(index)));
    int length = static_cast<int>(memo_->Perform(EM_LINELENGTH, static_cast<WPARAM>(start)));
    std::wstring line(static_cast<size_t>(length) + 2, L'\0');
    *reinterpret_cast<WORD *>(&line[0]) = static_cast<WORD>(line.size());
    int got = static_cast<int>(memo_->Perform(EM_GETLINE, static_cast<WPARAM>(index),
                                              reinterpret_cast<LPARAM>(&line[0])));
    line.resize(static_cast<size_t>(got < 0 ? 0 : got));
    return WideToAnsi(line);
}

int TMemoStrings::Add(const AnsiString &text)
{
    AnsiString all = memo_->Text();
    if (!all.empty() && all.compare(all.size() - 2 < all.size() ? all.size() - 2 : 0, 2, "\r\n") != 0)
        all += "\r\n";
    all += text;
    memo_->SetText(all);
    return Count() - 1;
}

void TMemoStrings::Clear()
{
    memo_->SetText(AnsiString());
}

AnsiString TMemoStrings::Text() const
{
    return TStrings::Text();
}

void TMemoStrings::SetText(const AnsiString &text)
{
    memo_->SetText(text);
}

TMemo::TMemo(TComponent *owner) : TControl(owner), lines_(this)
{
    SetParentColor(false);
    SetColor(clWindow);
    SetTabStop(true);
    CreateHandle(L"EDIT", EditStyle(), WS_EX_CLIENTEDGE);
    SetBounds(0, 0, 185, 89);
}

DWORD TMemo::EditStyle() const
{
    DWORD s = WS_CHILD | WS_CLIPSIBLINGS | WS_TABSTOP | ES_MULTILINE | ES_AUTOVSCROLL;
    if (wantReturns_)
        s |= ES_WANTRETURN;
    if (readOnly_)
        s |= ES_READONLY;
    if (!hideSelection_)
        s |= ES_NOHIDESEL;
    if (!wordWrap_)
        s |= ES_AUTOHSCROLL;
    if (scrollBars_ == ssVertical || scrollBars_ == ssBoth)
        s |= WS_VSCROLL;
    if (scrollBars_ == ssHorizontal || scrollBars_ == ssBoth)
        s |= WS_HSCROLL;
    return s;
}

void TMemo::Rebuild()
{
    DWORD ex = borderStyle_ != bsNone ? WS_EX_CLIENTEDGE : 0;
    if (EditStyle() == WindowStyle() && ex == WindowExStyle())
        return;
    ChangeStyle(EditStyle(), ~EditStyle() & ~(WS_VISIBLE | WS_DISABLED));
    ChangeStyle(ex, WS_EX_CLIENTEDGE & ~ex, true);
    RecreateWnd();
}

void TMemo::SetText(const AnsiString &text)
{
    TControl::SetText(ToCrLf(text));
}

void TMemo::SetReadOnly(bool v)
{
    readOnly_ = v;
    Perform(EM_SETREADONLY, v ? TRUE : FALSE);
    if (v)
        ChangeStyle(ES_READONLY, 0);
    else
        ChangeStyle(0, ES_READONLY);
}

void TMemo::SetScrollBars(TScrollStyle style)
{
    if (style == scrollBars_)
        return;
    scrollBars_ = style;
    Rebuild();
}

void TMemo::SetWordWrap(bool v)
{
    if (v == wordWrap_)
        return;
    wordWrap_ = v;
    Rebuild();
}

void TMemo::SetWantReturns(bool v)
{
    if (v == wantReturns_)
        return;
    wantReturns_ = v;
    Rebuild();
}

void TMemo::SetHideSelection(bool v)
{
    if (v == hideSelection_)
        return;
    hideSelection_ = v;
    Rebuild();
}

void TMemo::SetBorderStyle(TFormBorderStyle style)
{
    if (style == borderStyle_)
        return;
    borderStyle_ = style;
    Rebuild();
}

int TMemo::SelStart() const
{
    DWORD start = 0, end = 0;
    if (Handle())
        SendMessageW(Handle(), EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    return static_cast<int>(start);
}

int TMemo::SelLength() const
{
    DWORD start = 0, end = 0;
    if (Handle())
        SendMessageW(Handle(), EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    return static_cast<int>(end - start);
}

void TMemo::SetSelStart(int start)
{
    Perform(EM_SETSEL, static_cast<WPARAM>(start), static_cast<LPARAM>(start));
}

void TMemo::SetSelLength(int length)
{
    int start = SelStart();
    Perform(EM_SETSEL, static_cast<WPARAM>(start), static_cast<LPARAM>(start + length));
}

AnsiString TMemo::SelText() const
{
    if (!Handle())
        return AnsiString();
    DWORD start = 0, end = 0;
    SendMessageW(Handle(), EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    if (end <= start)
        return AnsiString();
    int length = GetWindowTextLengthW(Handle());
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    text.resize(static_cast<size_t>(GetWindowTextW(Handle(), &text[0], length + 1)));
    if (start >= text.size())
        return AnsiString();
    return WideToAnsi(text.substr(start, end - start));
}

void TMemo::SelectAll()
{
    Perform(EM_SETSEL, 0, -1);
}

void TMemo::CommandNotify(WORD code)
{
    if (code == EN_CHANGE)
        OnChange(this);
}

bool TMemo::WantsKey(WORD key) const
{
    return (key == VK_RETURN && wantReturns_) || (key == VK_TAB && wantTabs_);
}

// ---------------------------------------------------------------- TListBox

int TListBoxStrings::Count() const
{
    LRESULT n = box_->Perform(LB_GETCOUNT);
    return n < 0 ? 0 : static_cast<int>(n);
}

AnsiString TListBoxStrings::Get(int index) const
{
    if (index < 0 || index >= Count())
        throw Exception("List index out of bounds");
    LRESULT length = box_->Perform(LB_GETTEXTLEN, static_cast<WPARAM>(index));
    if (length <= 0)
        return AnsiString();
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    LRESULT got = box_->Perform(LB_GETTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&text[0]));
    text.resize(got < 0 ? 0 : static_cast<size_t>(got));
    return WideToAnsi(text);
}

int TListBoxStrings::Add(const AnsiString &text)
{
    std::wstring wide = AnsiToWide(text);
    LRESULT index = box_->Perform(LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(wide.c_str()));
    if (index < 0)
        throw Exception("List box is full");
    return static_cast<int>(index);
}

void TListBoxStrings::Clear()
{
    box_->Perform(LB_RESETCONTENT);
}

TListBox::TListBox(TComponent *owner) : TControl(owner), items_(this)
{
    SetParentColor(false);
    SetColor(clWindow);
    SetTabStop(true);
    CreateHandle(L"LISTBOX",
                 WS_CHILD | WS_CLIPSIBLINGS | WS_TABSTOP | WS_VSCROLL | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT |
                     LBS_HASSTRINGS,
                 WS_EX_CLIENTEDGE);
    SetBounds(0, 0, 121, 97);
}

namespace {

// Drawing of a window switched off for the scope; on again, and the window
// painted once, at its end.
class TRedrawOff {
public:
    explicit TRedrawOff(HWND window) : window_(window) { SendMessageW(window_, WM_SETREDRAW, FALSE, 0); }
    ~TRedrawOff()
    {
        SendMessageW(window_, WM_SETREDRAW, TRUE, 0);
        RedrawWindow(window_, nullptr, nullptr, RDW_ERASE | RDW_FRAME | RDW_INVALIDATE | RDW_ALLCHILDREN);
    }
    TRedrawOff(const TRedrawOff &) = delete;
    TRedrawOff &operator=(const TRedrawOff &) = delete;

private:
    HWND window_;
};

} // namespace

void TListBox::SetItems(const std::vector<AnsiString> &items)
{
    // The box stores its texts as UTF-16: an ANSI byte is one unit at most.
    size_t bytes = 0;
    for (const AnsiString &item : items)
        bytes += (item.size() + 1) * sizeof(wchar_t);
    TRedrawOff redrawOff(Handle());
    items_.Clear();
    Perform(LB_INITSTORAGE, static_cast<WPARAM>(items.size()), static_cast<LPARAM>(bytes));
    for (const AnsiString &item : items)
        items_.Add(item);
}

int TListBox::ItemIndex() const
{
    LRESULT index = Handle() ? SendMessageW(Handle(), LB_GETCURSEL, 0, 0) : LB_ERR;
    return index == LB_ERR ? -1 : static_cast<int>(index);
}

void TListBox::SetItemIndex(int index)
{
    Perform(LB_SETCURSEL, static_cast<WPARAM>(index));
}

void TListBox::SetSorted(bool v)
{
    if (v == sorted_)
        return;
    sorted_ = v;
    TStringList saved;
    for (int i = 0; i < items_.Count(); ++i)
        saved.Add(items_.Get(i));
    ChangeStyle(v ? LBS_SORT : 0, v ? 0 : LBS_SORT);
    RecreateWnd();
    items_.Clear();
    for (int i = 0; i < saved.Count(); ++i)
        items_.Add(saved.Get(i));
}

void TListBox::CommandNotify(WORD code)
{
    if (code == LBN_SELCHANGE)
        Click();
}

// ---------------------------------------------------------------- TCheckBox

TCheckBox::TCheckBox(TComponent *owner) : TControl(owner)
{
    SetTabStop(true);
    CreateHandle(L"BUTTON", WS_CHILD | WS_CLIPSIBLINGS | WS_TABSTOP | BS_AUTOCHECKBOX, 0);
    SetBounds(0, 0, 97, 17);
}

bool TCheckBox::Checked() const
{
    return Handle() && SendMessageW(Handle(), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void TCheckBox::SetChecked(bool v)
{
    if (v == Checked())
        return;
    Perform(BM_SETCHECK, v ? BST_CHECKED : BST_UNCHECKED);
    Click();
}

void TCheckBox::SetWordWrap(bool v)
{
    wordWrap_ = v;
    ChangeStyle(v ? BS_MULTILINE : 0, v ? 0 : BS_MULTILINE);
    Invalidate();
}

void TCheckBox::CommandNotify(WORD code)
{
    if (code == BN_CLICKED)
        Click();
}

bool TCheckBox::DialogChar(wchar_t ch)
{
    if (!IsAccel(ch) || !CanFocus())
        return false;
    SetFocus();
    SetChecked(!Checked());
    return true;
}

// ---------------------------------------------------------------- TButton

TButton::TButton(TComponent *owner) : TControl(owner)
{
    SetTabStop(true);
    CreateHandle(L"BUTTON", WS_CHILD | WS_CLIPSIBLINGS | WS_TABSTOP | BS_PUSHBUTTON, 0);
    SetBounds(0, 0, 75, 25);
}

void TButton::SetDefault(bool v)
{
    default_ = v;
    Perform(BM_SETSTYLE, v ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON, TRUE);
}

void TButton::Click()
{
    if (TForm *form = GetParentForm(this))
        form->SetModalResult(modalResult_);
    TControl::Click();
}

void TButton::CommandNotify(WORD code)
{
    if (code == BN_CLICKED)
        Click();
}

bool TButton::DialogKey(WORD key, bool focused)
{
    if (!Visible() || !Enabled())
        return false;
    if ((key == VK_RETURN && (focused || default_)) || (key == VK_ESCAPE && cancel_)) {
        Click();
        return true;
    }
    return false;
}

bool TButton::DialogChar(wchar_t ch)
{
    if (!IsAccel(ch) || !CanFocus())
        return false;
    SetFocus();
    Click();
    return true;
}

// ---------------------------------------------------------------- TGroupBox

TGroupBox::TGroupBox(TComponent *owner) : TWinControl(owner)
{
    SetOpaque(true);
    SetControlState(ControlState() | csCustomPaint);
    CreateHandle(kGroupBoxClass, WS_CHILD | WS_CLIPCHILDREN | WS_CLIPSIBLINGS, WS_EX_CONTROLPARENT);
    SetBounds(0, 0, 185, 105);
}

void TGroupBox::SetText(const AnsiString &text)
{
    TWinControl::SetText(text);
    Invalidate();
}

void TGroupBox::AdjustClientRect(RECT &rect) const
{
    int h = LineHeight(const_cast<TGroupBox *>(this)->Font()->Handle());
    rect.left += 2;
    rect.right -= 2;
    rect.top += h;
    rect.bottom -= 2;
    if (rect.right < rect.left)
        rect.right = rect.left;
    if (rect.bottom < rect.top)
        rect.bottom = rect.top;
}

void TGroupBox::PaintWindow(HDC dc)
{
    RECT r = ClientRect();
    HGDIOBJ old = SelectObject(dc, Font()->Handle());
    TEXTMETRICW tm{};
    GetTextMetricsW(dc, &tm);
    RECT frame = r;
    frame.top += tm.tmHeight / 2;
    DrawEdge(dc, &frame, EDGE_ETCHED, BF_RECT);
    std::wstring text = AnsiToWide(Text());
    if (!text.empty()) {
        SetBkColor(dc, ColorToRGB(Color()));
        SetTextColor(dc, ColorToRGB(Font()->Color()));
        SetBkMode(dc, OPAQUE);
        RECT t{r.left + 8, r.top, r.right - 8, r.top + tm.tmHeight};
        text = L" " + text + L" ";
        DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &t, DT_LEFT | DT_SINGLELINE | DT_NOCLIP);
    }
    SelectObject(dc, old);
}

} // namespace ClassLib
