#include "classlib/Forms.h"

#include <commctrl.h>

#include <algorithm>

#include "classlib/ActnList.h"
#include "classlib/Barrier.h"
#include "classlib/CommonControls.h"
#include "classlib/StdCtrls.h"
#include "foundation/VxText.h"

namespace ClassLib {

namespace {

const wchar_t kFormClass[] = L"ClassLibForm";
const wchar_t kFrameClass[] = L"ClassLibFrame";
const wchar_t kApplicationClass[] = L"ClassLibApplication";

enum : UINT { CM_RELEASE = CM_BASE + 2 };

DWORD BorderStyleBits(TFormBorderStyle style, unsigned icons, DWORD &exStyle)
{
    exStyle = 0;
    DWORD s = WS_CLIPCHILDREN | WS_CLIPSIBLINGS;
    switch (style) {
    case bsNone:
        return s | WS_POPUP;
    case bsSingle:
        s |= WS_CAPTION | WS_BORDER;
        break;
    case bsSizeable:
        s |= WS_CAPTION | WS_THICKFRAME;
        break;
    case bsDialog:
        exStyle = WS_EX_DLGMODALFRAME | WS_EX_WINDOWEDGE;
        s |= WS_CAPTION | DS_MODALFRAME;
        icons &= biSystemMenu;
        break;
    case bsToolWindow:
        exStyle = WS_EX_TOOLWINDOW;
        s |= WS_CAPTION;
        icons &= biSystemMenu;
        break;
    case bsSizeToolWin:
        exStyle = WS_EX_TOOLWINDOW;
        s |= WS_CAPTION | WS_THICKFRAME;
        icons &= biSystemMenu;
        break;
    }
    if (icons & biSystemMenu) {
        s |= WS_SYSMENU;
        if (icons & biMinimize)
            s |= WS_MINIMIZEBOX;
        if (icons & biMaximize)
            s |= WS_MAXIMIZEBOX;
    }
    return s;
}

// Top-level windows of the thread that a modal form disables meanwhile.
struct TTaskWindows {
    HWND except;
    std::vector<HWND> windows;
};

BOOL CALLBACK DisableTaskWindowProc(HWND window, LPARAM data)
{
    auto *task = reinterpret_cast<TTaskWindows *>(data);
    Guarded([&] {
        if (window != task->except && IsWindowVisible(window) && IsWindowEnabled(window))
            task->windows.push_back(window);
    });
    return TRUE;
}

std::vector<HWND> DisableTaskWindows(HWND except)
{
    TTaskWindows task{except, {}};
    EnumThreadWindows(GetCurrentThreadId(), &DisableTaskWindowProc, reinterpret_cast<LPARAM>(&task));
    for (HWND w : task.windows)
        EnableWindow(w, FALSE);
    return task.windows;
}

void EnableTaskWindows(const std::vector<HWND> &windows)
{
    for (HWND w : windows)
        if (IsWindow(w))
            EnableWindow(w, TRUE);
}

struct TTopMostWindows {
    HWND except;
    std::vector<HWND> windows;
};

BOOL CALLBACK TopMostWindowProc(HWND window, LPARAM data)
{
    auto *list = reinterpret_cast<TTopMostWindows *>(data);
    Guarded([&] {
        if (window != list->except && IsWindowVisible(window) &&
            (GetWindowLongW(window, GWL_EXSTYLE) & WS_EX_TOPMOST))
            list->windows.push_back(window);
    });
    return TRUE;
}

bool OwnedBy(HWND window, HWND owner)
{
    for (HWND o = GetWindow(window, GW_OWNER); o; o = GetWindow(o, GW_OWNER))
        if (o == owner)
            return true;
    return false;
}

struct TOwnedWindows {
    HWND owner;
    std::vector<HWND> windows; // top of the z-order first
};

BOOL CALLBACK OwnedWindowProc(HWND window, LPARAM data)
{
    auto *list = reinterpret_cast<TOwnedWindows *>(data);
    Guarded([&] {
        if (IsWindowVisible(window) && OwnedBy(window, list->owner))
            list->windows.push_back(window);
    });
    return TRUE;
}

// The control of this layer that a window belongs to (itself or an ancestor).
TControl *ControlOfWindow(HWND window)
{
    for (HWND w = window; w; w = GetParent(w)) {
        if (TControl *c = TControl::FromHandle(w))
            return c;
        if (!(GetWindowLongW(w, GWL_STYLE) & WS_CHILD))
            break;
    }
    return nullptr;
}

AnsiString ExceptionText(std::exception_ptr error)
{
    try {
        if (error)
            std::rethrow_exception(error);
    } catch (const std::exception &e) {
        return AnsiString(e.what());
    } catch (...) {
    }
    return AnsiString();
}

bool IsModifierKey(WORD key)
{
    return key == VK_SHIFT || key == VK_CONTROL || key == VK_MENU || key == VK_LSHIFT ||
           key == VK_RSHIFT || key == VK_LCONTROL || key == VK_RCONTROL || key == VK_LMENU ||
           key == VK_RMENU || key == VK_CAPITAL;
}

// Offers a dialog key or character to every visible, enabled control of the
// container, depth first; stops at the first that uses it.
template <class F>
bool Broadcast(TWinControl *container, F &&offer)
{
    for (int i = 0; i < container->ControlCount(); ++i) {
        TControl *c = container->Controls(i);
        if (!c->Visible() || !c->Enabled())
            continue;
        if (offer(c))
            return true;
        if (auto *inner = dynamic_cast<TWinControl *>(c))
            if (Broadcast(inner, offer))
                return true;
    }
    return false;
}

} // namespace

// ---------------------------------------------------------------- TForm

TForm::TForm(TComponent *owner) : TWinControl(owner)
{
    SetIsForm();
    visible_ = false;
    parentFont_ = false;
    parentColor_ = false;
    color_ = clBtnFace;
    SetOpaque(true);
    DWORD ex = 0;
    DWORD style = BorderStyleBits(borderStyle_, borderIcons_, ex);
    CreateHandle(kFormClass, style, ex);
    SetBounds(0, 0, 320, 240);
    Screen->AddForm(this);
}

TForm::~TForm()
{
    MarkDestroying();
    Screen->RemoveForm(this);
    Application->FormDestroyed(this);
    if (Handle() && IsWindowVisible(Handle()))
        ShowWindow(Handle(), SW_HIDE);
}

void TForm::SetBorderStyle(TFormBorderStyle style)
{
    if (style == borderStyle_)
        return;
    borderStyle_ = style;
    ApplyBorder();
}

void TForm::SetBorderIcons(unsigned icons)
{
    if (icons == borderIcons_)
        return;
    borderIcons_ = icons;
    ApplyBorder();
}

void TForm::ApplyBorder()
{
    DWORD ex = 0;
    DWORD style = BorderStyleBits(borderStyle_, borderIcons_, ex);
    const DWORD styleMask = WS_POPUP | WS_CAPTION | WS_BORDER | WS_THICKFRAME | WS_SYSMENU | WS_MINIMIZEBOX |
                            WS_MAXIMIZEBOX | DS_MODALFRAME;
    const DWORD exMask = WS_EX_DLGMODALFRAME | WS_EX_WINDOWEDGE | WS_EX_TOOLWINDOW;
    ChangeStyle(style & styleMask, styleMask & ~style);
    ChangeStyle(ex & exMask, exMask & ~ex, true);
    UpdateBoundsFromWindow();
}

TWindowState TForm::WindowState() const
{
    if (Handle() && IsWindowVisible(Handle())) {
        if (IsZoomed(Handle()))
            return wsMaximized;
        if (IsIconic(Handle()))
            return wsMinimized;
        return wsNormal;
    }
    return windowState_;
}

void TForm::SetWindowState(TWindowState state)
{
    windowState_ = state;
    if (!Handle() || !IsWindowVisible(Handle()))
        return;
    ShowWindow(Handle(), state == wsMaximized ? SW_MAXIMIZE : state == wsMinimized ? SW_MINIMIZE : SW_RESTORE);
}

void TForm::SetActiveControl(TControl *control)
{
    if (control && GetParentForm(control) != this)
        throw Exception("Invalid ActiveControl: the control is not on this form");
    activeControl_ = control;
    if (control && Handle() && GetActiveWindow() == Handle() && control->CanFocus() && !control->Focused())
        ::SetFocus(control->Handle());
}

bool TForm::Active() const
{
    return Handle() && GetActiveWindow() == Handle();
}

void TForm::FocusChanged(TControl *control)
{
    if (!Destroying())
        activeControl_ = control;
}

void TForm::FocusNextAfter(TControl *lost)
{
    if (Destroying() || !Handle())
        return;
    std::vector<TControl *> stops;
    GetTabOrderList(stops);
    auto at = std::find(stops.begin(), stops.end(), lost);
    const size_t first = at == stops.end() ? 0 : static_cast<size_t>(at - stops.begin()) + 1;
    for (size_t i = 0; i < stops.size(); ++i) {
        TControl *c = stops[(first + i) % stops.size()];
        if (c->CanFocus()) {
            c->SetFocus();
            return;
        }
    }
    ::SetFocus(Handle());
}

void TForm::FocusActiveControl()
{
    if (activeControl_ && activeControl_->CanFocus()) {
        ::SetFocus(activeControl_->Handle());
        return;
    }
    std::vector<TControl *> stops;
    GetTabOrderList(stops);
    for (TControl *c : stops)
        if (c->CanFocus()) {
            ::SetFocus(c->Handle());
            return;
        }
    ::SetFocus(Handle());
}

TCanvas *TForm::Canvas()
{
    if (!canvas_)
        canvas_.reset(new TCanvas());
    canvas_->Font()->Assign(*Font());
    return canvas_.get();
}

void TForm::SetVisible(bool v)
{
    if (v == visible_ || !Handle())
        return;
    if (v) {
        DoShow();
        if (!shownOnce_ && position_ == poScreenCenter)
            SetBounds((Screen->Width() - Width()) / 2, (Screen->Height() - Height()) / 2, Width(), Height());
        shownOnce_ = true;
        visible_ = true;
        ShowWindow(Handle(), windowState_ == wsMaximized ? SW_SHOWMAXIMIZED
                             : windowState_ == wsMinimized ? SW_SHOWMINIMIZED
                                                           : SW_SHOWNORMAL);
        UpdateBoundsFromWindow();
        Realign();
    } else {
        visible_ = false;
        DoHide();
        ShowWindow(Handle(), SW_HIDE);
    }
}

void TForm::DoShow()
{
    OnShow(this);
}

void TForm::DoHide()
{
    OnHide(this);
}

void TForm::DoClose(TCloseAction &action)
{
    OnClose(this, action);
}

bool TForm::CloseQuery()
{
    bool canClose = true;
    OnCloseQuery(this, canClose);
    return canClose;
}

void TForm::Close()
{
    if (modal_) {
        modalResult_ = mrCancel;
        return;
    }
    if (!CloseQuery())
        return;
    TCloseAction action = caHide;
    DoClose(action);
    if (action == caNone)
        return;
    if (Application->MainForm() == this)
        Application->Terminate();
    else if (action == caHide)
        Hide();
    else if (action == caMinimize)
        SetWindowState(wsMinimized);
    else
        Release();
}

void TForm::Release()
{
    if (Handle())
        PostMessageW(Handle(), CM_RELEASE, 0, 0);
}

void TForm::CloseModal()
{
    TCloseAction action = caNone;
    if (CloseQuery()) {
        action = caHide;
        DoClose(action);
    }
    if (action == caNone)
        modalResult_ = mrNone;
}

TModalResult TForm::ShowModal()
{
    if (Visible() || !Enabled() || modal_)
        throw Exception("Cannot make a visible window modal");
    if (HWND capture = GetCapture())
        SendMessageW(capture, WM_CANCELMODE, 0, 0);
    ReleaseCapture();
    HWND activeWindow = GetActiveWindow();
    HWND previousOwner = GetWindow(Handle(), GW_OWNER);
    // A modal form stays above the window that opened it.
    if (activeWindow && activeWindow != Handle() && ControlOfWindow(activeWindow))
        SetWindowLongPtrW(Handle(), GWLP_HWNDPARENT, reinterpret_cast<LONG_PTR>(activeWindow));
    modal_ = true;
    modalResult_ = mrNone;
    std::vector<HWND> disabled = DisableTaskWindows(Handle());
    auto finish = [&] {
        EnableTaskWindows(disabled);
        if (activeWindow && IsWindow(activeWindow))
            SetActiveWindow(activeWindow);
        modal_ = false;
        if (Handle()) {
            Hide();
            SetWindowLongPtrW(Handle(), GWLP_HWNDPARENT, reinterpret_cast<LONG_PTR>(previousOwner));
        }
    };
    try {
        Show();
        if (Handle())
            SetActiveWindow(Handle());
        do {
            Application->HandleMessage();
            if (Application->Terminated())
                modalResult_ = mrCancel;
            else if (modalResult_ != mrNone)
                CloseModal();
        } while (modalResult_ == mrNone && Handle());
        if (!Handle() && modalResult_ == mrNone)
            modalResult_ = mrCancel;
    } catch (...) {
        finish();
        throw;
    }
    finish();
    return modalResult_;
}

bool TForm::IsShortCut(TShortCut shortCut)
{
    if (shortCut == scNone)
        return false;
    for (int i = 0; i < ComponentCount(); ++i)
        if (auto *list = dynamic_cast<TActionList *>(Components(i)))
            if (list->IsShortCut(shortCut))
                return true;
    return false;
}

void TForm::SelectNext(TControl *current, bool forward)
{
    std::vector<TControl *> stops;
    GetTabOrderList(stops);
    stops.erase(std::remove_if(stops.begin(), stops.end(), [](TControl *c) { return !c->CanFocus(); }),
                stops.end());
    if (stops.empty())
        return;
    auto it = std::find(stops.begin(), stops.end(), current);
    size_t index;
    if (it == stops.end())
        index = forward ? 0 : stops.size() - 1;
    else if (forward)
        index = (static_cast<size_t>(it - stops.begin()) + 1) % stops.size();
    else
        index = (static_cast<size_t>(it - stops.begin()) + stops.size() - 1) % stops.size();
    stops[index]->SetFocus();
    // As in dialogs, tabbing into an edit selects its text.
    if (auto *edit = dynamic_cast<TEdit *>(stops[index]))
        edit->SelectAll();
}

bool TForm::RouteKey(const MSG &msg, TControl *focused)
{
    if (!Enabled() || !IsWindowEnabled(Handle()))
        return false;
    if (msg.message == WM_KEYDOWN || msg.message == WM_SYSKEYDOWN) {
        const WORD key = static_cast<WORD>(msg.wParam);
        if (IsModifierKey(key))
            return false;
        const unsigned shift = KeyboardShiftState();
        if (IsShortCut(ShortCut(key, shift)))
            return true;
        if (msg.message == WM_SYSKEYDOWN || (shift & (ssCtrl | ssAlt)))
            return false;
        if (focused && focused != this && focused->WantsKey(key))
            return false;
        switch (key) {
        case VK_TAB:
            SelectNext(focused, !(shift & ssShift));
            return true;
        case VK_RETURN:
            if (focused && focused != this && focused->DialogKey(key, true))
                return true;
            return Broadcast(this, [&](TControl *c) { return c->DialogKey(key, false); });
        case VK_ESCAPE:
            return Broadcast(this, [&](TControl *c) { return c->DialogKey(key, false); });
        default:
            return false;
        }
    }
    const bool plainMnemonic = msg.message == WM_CHAR && msg.wParam >= 0x20 && focused && focused != this &&
                               !focused->WantsChars() && !(KeyboardShiftState() & ssCtrl);
    if (msg.message == WM_SYSCHAR || plainMnemonic) {
        const wchar_t ch = static_cast<wchar_t>(msg.wParam);
        return Broadcast(this, [&](TControl *c) { return c->DialogChar(ch); });
    }
    return false;
}

void TForm::CollectHintTools(TControl *control, std::map<HWND, std::wstring> &tools)
{
    if (control != this && control->Handle() && !control->Hint().IsEmpty() && control->EffectiveShowHint())
        tools[control->Handle()] = AnsiToWide(control->Hint());
    if (auto *container = dynamic_cast<TWinControl *>(control))
        for (int i = 0; i < container->ControlCount(); ++i)
            CollectHintTools(container->Controls(i), tools);
}

void TForm::UpdateHints()
{
    if (Destroying() || !Handle())
        return;
    std::map<HWND, std::wstring> wanted;
    CollectHintTools(this, wanted);
    if (wanted == tools_)
        return;
    if (!tooltip_ || !IsWindow(tooltip_)) {
        if (wanted.empty())
            return;
        tooltip_ = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr,
                                   WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, CW_USEDEFAULT, CW_USEDEFAULT,
                                   CW_USEDEFAULT, CW_USEDEFAULT, Handle(), nullptr, GetModuleHandleW(nullptr),
                                   nullptr);
        if (!tooltip_)
            return;
        SendMessageW(tooltip_, TTM_SETMAXTIPWIDTH, 0, 400);
        tools_.clear();
    }
    for (auto &tool : tools_) {
        TOOLINFOW ti{};
        ti.cbSize = sizeof(ti);
        ti.hwnd = Handle();
        ti.uId = reinterpret_cast<UINT_PTR>(tool.first);
        SendMessageW(tooltip_, TTM_DELTOOLW, 0, reinterpret_cast<LPARAM>(&ti));
    }
    tools_.clear();
    for (auto &tool : wanted) {
        TOOLINFOW ti{};
        ti.cbSize = sizeof(ti);
        ti.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
        ti.hwnd = Handle();
        ti.uId = reinterpret_cast<UINT_PTR>(tool.first);
        ti.lpszText = const_cast<wchar_t *>(tool.second.c_str());
        if (SendMessageW(tooltip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&ti)))
            tools_.insert(tool);
    }
}

void TForm::Resized()
{
    if (!Destroying())
        OnResize(this);
}

LRESULT TForm::WndProc(UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_CLOSE:
        Close();
        return 0;
    case WM_ACTIVATE:
        if (LOWORD(wParam) != WA_INACTIVE) {
            if (!HIWORD(wParam)) // not minimised
                FocusActiveControl();
            if (!Destroying())
                OnActivate(this);
            return 0;
        }
        if (!Destroying())
            OnDeactivate(this);
        break;
    case WM_SETFOCUS:
        if (activeControl_ && activeControl_->CanFocus()) {
            ::SetFocus(activeControl_->Handle());
            return 0;
        }
        break;
    case WM_SYSCOMMAND:
        if ((wParam & 0xFFF0) == SC_MINIMIZE && Application->MainForm() == this) {
            Application->Minimize();
            return 0;
        }
        break;
    case WM_GETMINMAXINFO: {
        LRESULT result = TWinControl::WndProc(msg, wParam, lParam);
        auto *info = reinterpret_cast<MINMAXINFO *>(lParam);
        int minW = Constraints()->MinWidth(), minH = Constraints()->MinHeight();
        int cw = 0, ch = 0;
        MinClientSize(cw, ch);
        RECT client = ClientRect();
        minW = std::max(minW, cw + Width() - static_cast<int>(client.right));
        minH = std::max(minH, ch + Height() - static_cast<int>(client.bottom));
        if (minW > 0)
            info->ptMinTrackSize.x = std::max(static_cast<int>(info->ptMinTrackSize.x), minW);
        if (minH > 0)
            info->ptMinTrackSize.y = std::max(static_cast<int>(info->ptMinTrackSize.y), minH);
        if (Constraints()->MaxWidth() > 0)
            info->ptMaxTrackSize.x = Constraints()->MaxWidth();
        if (Constraints()->MaxHeight() > 0)
            info->ptMaxTrackSize.y = Constraints()->MaxHeight();
        return result;
    }
    case CM_RELEASE:
        delete this;
        return 0;
    default:
        break;
    }
    return TWinControl::WndProc(msg, wParam, lParam);
}

// ---------------------------------------------------------------- TFrame

TFrame::TFrame(TComponent *owner) : TWinControl(owner)
{
    SetOpaque(true);
    CreateHandle(kFrameClass, WS_CHILD | WS_CLIPCHILDREN | WS_CLIPSIBLINGS, WS_EX_CONTROLPARENT);
    SetBounds(0, 0, 320, 240);
}

// ---------------------------------------------------------------- TApplication

TApplication::TApplication() : TComponent(nullptr)
{
}

TApplication::~TApplication()
{
    // The forms' windows and memory end with the process: their destructors
    // could reach objects that static finalisation has already destroyed.
    while (ComponentCount() > 0)
        RemoveComponent(Components(ComponentCount() - 1));
    if (handle_ && IsWindow(handle_))
        DestroyWindow(handle_);
}

void TApplication::Initialize()
{
    // The common controls are loaded with the first window (CreateHandle), so
    // that a run that shows none never loads them.
    initialized_ = true;
}

HWND TApplication::Handle()
{
    if (handle_ && IsWindow(handle_))
        return handle_;
    Initialize();
    LoadCommonControls();
    static bool registered = false;
    if (!registered) {
        WNDCLASSEXW wc{};
        wc.cbSize = sizeof(wc);
        wc.lpfnWndProc = &TApplication::AppWndProc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.hIcon = LoadIconW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(1));
        wc.lpszClassName = kApplicationClass;
        if (!RegisterClassExW(&wc) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS)
            throw Exception("Cannot register the application window class");
        registered = true;
    }
    const int x = GetSystemMetrics(SM_CXSCREEN) / 2, y = GetSystemMetrics(SM_CYSCREEN) / 2;
    handle_ = CreateWindowExW(0, kApplicationClass, AnsiToWide(title_).c_str(),
                              WS_POPUP | WS_CAPTION | WS_CLIPSIBLINGS | WS_SYSMENU | WS_MINIMIZEBOX, x, y, 0, 0,
                              nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    if (!handle_)
        throw Exception("Cannot create the application window");
    return handle_;
}

void TApplication::SetTitle(const AnsiString &title)
{
    title_ = title;
    if (handle_)
        SetWindowTextW(handle_, AnsiToWide(title).c_str());
}

void TApplication::FormCreated(TForm *form)
{
    if (!mainForm_)
        mainForm_ = form;
}

void TApplication::FormDestroyed(TForm *form) noexcept
{
    if (mainForm_ == form)
        mainForm_ = nullptr;
}

bool TApplication::ProcessMessage(MSG &msg)
{
    if (!PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
        return false;
    if (msg.message == WM_QUIT) {
        terminated_ = true;
        return true;
    }
    bool used = false;
    try {
        used = IsKeyMsg(msg);
    } catch (...) {
        // An action or a click run from the keyboard failed: shown here, so
        // that it never reaches the caller of ProcessMessages.
        HandleException(std::current_exception());
        used = true;
    }
    if (!used) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return true;
}

void TApplication::ProcessMessages()
{
    MSG msg;
    while (ProcessMessage(msg)) {
    }
}

void TApplication::HandleMessage()
{
    MSG msg;
    try {
        if (!ProcessMessage(msg))
            WaitMessage();
    } catch (...) {
        HandleException(std::current_exception());
    }
}

void TApplication::Run()
{
    terminated_ = false;
    if (mainForm_) {
        ShowWindow(Handle(), SW_SHOWNOACTIVATE);
        mainForm_->Show();
    }
    while (!terminated_)
        HandleMessage();
    terminated_ = false;
}

void TApplication::Terminate()
{
    PostQuitMessage(0);
}

void TApplication::Minimize()
{
    HWND window = Handle();
    HideForms();
    if (!IsWindowVisible(window))
        ShowWindow(window, SW_SHOWNOACTIVATE);
    ShowWindow(window, SW_MINIMIZE);
    OnMinimize(this);
}

void TApplication::Restore()
{
    HWND window = Handle();
    if (IsIconic(window))
        ShowWindow(window, SW_RESTORE);
    ShowForms();
    OnRestore(this);
}

void TApplication::HideForms()
{
    if (minimized_)
        return;
    HWND window = Handle();
    NormalizeTopMosts();
    // The forms are hidden here rather than left to the system, which
    // does not hide windows owned through another form.
    activeBeforeMinimize_ = GetActiveWindow();
    TOwnedWindows owned{window, {}};
    EnumThreadWindows(GetCurrentThreadId(), &OwnedWindowProc, reinterpret_cast<LPARAM>(&owned));
    hiddenByMinimize_ = owned.windows;
    for (HWND w : hiddenByMinimize_)
        ShowWindow(w, SW_HIDE);
    minimized_ = true;
}

void TApplication::ShowForms()
{
    if (!minimized_)
        return;
    minimized_ = false;
    for (auto it = hiddenByMinimize_.rbegin(); it != hiddenByMinimize_.rend(); ++it)
        if (IsWindow(*it))
            ShowWindow(*it, SW_SHOWNA);
    hiddenByMinimize_.clear();
    RestoreTopMosts();
    HWND active = activeBeforeMinimize_;
    activeBeforeMinimize_ = nullptr;
    if (active && IsWindow(active) && IsWindowVisible(active))
        SetActiveWindow(active);
}

void TApplication::NormalizeTopMosts()
{
    if (topMostLevel_++ > 0)
        return;
    TTopMostWindows list{handle_, {}};
    EnumThreadWindows(GetCurrentThreadId(), &TopMostWindowProc, reinterpret_cast<LPARAM>(&list));
    topMostList_ = list.windows;
    for (auto it = topMostList_.rbegin(); it != topMostList_.rend(); ++it)
        SetWindowPos(*it, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

void TApplication::RestoreTopMosts()
{
    if (topMostLevel_ == 0 || --topMostLevel_ > 0)
        return;
    for (auto it = topMostList_.rbegin(); it != topMostList_.rend(); ++it)
        if (IsWindow(*it))
            SetWindowPos(*it, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    topMostList_.clear();
}

void TApplication::HandleException(std::exception_ptr error) noexcept
{
    if (exceptionHandler_) {
        try {
            TExceptionHandler handler = exceptionHandler_;
            handler(error);
            return;
        } catch (...) {
            // The handler failed: fall back to the plain exception box.
        }
    }
    ShowException(ExceptionText(error));
}

void TApplication::ShowException(const AnsiString &message) noexcept
{
    try {
        std::wstring text = AnsiToWide(message);
        std::wstring caption = AnsiToWide(title_);
        MessageBoxW(GetActiveWindow(), text.c_str(), caption.c_str(), MB_OK | MB_ICONSTOP);
    } catch (...) {
        MessageBoxA(nullptr, message.c_str(), nullptr, MB_OK | MB_ICONSTOP | MB_TASKMODAL);
    }
}

TExceptionHandler TApplication::SetExceptionHandler(TExceptionHandler handler)
{
    TExceptionHandler previous = std::move(exceptionHandler_);
    exceptionHandler_ = std::move(handler);
    return previous;
}

bool TApplication::IsKeyMsg(const MSG &msg)
{
    if (msg.message != WM_KEYDOWN && msg.message != WM_SYSKEYDOWN && msg.message != WM_CHAR &&
        msg.message != WM_SYSCHAR)
        return false;
    TControl *focused = ControlOfWindow(msg.hwnd);
    if (!focused)
        return false;
    TForm *form = GetParentForm(focused);
    if (!form)
        return false;
    return form->RouteKey(msg, focused);
}

LRESULT CALLBACK TApplication::AppWndProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam)
{
    LRESULT result = 0;
    if (!Guarded([&] {
            TApplication &app = ApplicationInstance();
            result = app.handle_ == window ? app.AppWndMessage(msg, wParam, lParam)
                                           : DefWindowProcW(window, msg, wParam, lParam);
        }))
        result = 0;
    return result;
}

LRESULT TApplication::AppWndMessage(UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_SYSCOMMAND:
        switch (wParam & 0xFFF0) {
        case SC_MINIMIZE:
            Minimize();
            return 0;
        case SC_RESTORE:
            Restore();
            return 0;
        default:
            break;
        }
        break;
    case WM_ACTIVATE:
        if (LOWORD(wParam) != WA_INACTIVE && !IsIconic(handle_)) {
            HWND popup = GetLastActivePopup(handle_);
            if (popup && popup != handle_ && IsWindowVisible(popup) && IsWindowEnabled(popup)) {
                SetActiveWindow(popup);
                return 0;
            }
        }
        break;
    case WM_CLOSE:
        if (mainForm_)
            mainForm_->Close();
        return 0;
    default:
        break;
    }
    return DefWindowProcW(handle_, msg, wParam, lParam);
}

TApplication &ApplicationInstance()
{
    static TApplication application;
    return application;
}

// ---------------------------------------------------------------- TScreen

TScreen::TScreen() : own_(new TList()), forms_(own_.get())
{
}

int TScreen::Width() const
{
    return GetSystemMetrics(SM_CXSCREEN);
}

int TScreen::Height() const
{
    return GetSystemMetrics(SM_CYSCREEN);
}

RECT TScreen::WorkAreaRect() const
{
    RECT r{0, 0, Width(), Height()};
    if (!SystemParametersInfoW(SPI_GETWORKAREA, 0, &r, 0))
        r = RECT{0, 0, Width(), Height()};
    return r;
}

TForm *TScreen::ActiveForm() const
{
    TControl *c = TControl::FromHandle(GetActiveWindow());
    return c ? GetParentForm(c) : nullptr;
}

void TScreen::AddForm(TForm *form)
{
    forms_->Add(form);
}

void TScreen::RemoveForm(TForm *form) noexcept
{
    try {
        forms_->Remove(form);
        if (forms_ != own_.get())
            own_->Remove(form);
    } catch (...) {
    }
}

TScreen &ScreenInstance()
{
    static TScreen screen;
    return screen;
}

} // namespace ClassLib
