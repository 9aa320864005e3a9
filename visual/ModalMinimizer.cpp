#include "visual/ModalMinimizer.h"

#include <algorithm>


using namespace ClassLib;

namespace {

// Built with the program's static objects; the application object it hooks
// is built on first use, so it is there already and outlives the hook.
TAppHook GlobalAppHook;

} // namespace

TAppHook &AppHook()
{
    return GlobalAppHook;
}

// ---------------------------------------------------------------- TAppHook

TAppHook::TAppHook()
{
    oldMinimize_ = Application->OnMinimize;
    Application->OnMinimize = Method<&TAppHook::AppMinimize>(this);
    oldRestore_ = Application->OnRestore;
    Application->OnRestore = Method<&TAppHook::AppRestore>(this);
}

TAppHook::~TAppHook()
{
    Application->OnRestore = oldRestore_;
    Application->OnMinimize = oldMinimize_;
}

void TAppHook::AddHandler(THandlerList &list, const TNotifyEvent &handler)
{
    list.push_back(handler);
}

void TAppHook::RemoveHandler(THandlerList &list, const TNotifyEvent &handler)
{
    for (auto it = list.rbegin(); it != list.rend(); ++it) {
        if (*it == handler) {
            list.erase(std::next(it).base());
            return;
        }
    }
}

void TAppHook::AppMinimize(TObject *sender)
{
    // A handler may unsubscribe while it runs: walk a copy.
    THandlerList handlers = MinimizeHandlers;
    for (auto it = handlers.rbegin(); it != handlers.rend(); ++it)
        (*it)(sender);
    if (oldMinimize_)
        oldMinimize_(sender);
}

void TAppHook::AppRestore(TObject *sender)
{
    if (oldRestore_)
        oldRestore_(sender);
    THandlerList handlers = RestoreHandlers;
    for (const TNotifyEvent &handler : handlers)
        handler(sender);
}

// ---------------------------------------------------------------- TModalMinimizer

TModalMinimizer::TModalMinimizer(TComponent *owner) : TComponent(owner)
{
    if (ComponentState() & csDesigning)
        return;
    for (TComponent *c = owner; c; c = c->Owner()) {
        if (auto *form = dynamic_cast<TForm *>(c)) {
            form_ = form;
            break;
        }
    }
    if (!form_)
        throw Exception("@TModalMinimizer::TModalMinimizer(): Owner doesn't have a parent form.");
    subclass_.Install(form_->Handle(), [this](HWND window, UINT msg, WPARAM wParam, LPARAM lParam, WNDPROC next) {
        return WndProc(window, msg, wParam, lParam, next);
    });
    TAppHook &hook = AppHook();
    hook.AddHandler(hook.MinimizeHandlers, Method<&TModalMinimizer::DoMinimize>(this));
    hook.AddHandler(hook.RestoreHandlers, Method<&TModalMinimizer::DoRestore>(this));
}

TModalMinimizer::~TModalMinimizer()
{
    if (!(ComponentState() & csDesigning) && form_) {
        TAppHook &hook = AppHook();
        hook.RemoveHandler(hook.RestoreHandlers, Method<&TModalMinimizer::DoRestore>(this));
        hook.RemoveHandler(hook.MinimizeHandlers, Method<&TModalMinimizer::DoMinimize>(this));
    }
    subclass_.Remove();
}

void TModalMinimizer::DoMinimize(TObject *sender)
{
    if (OnMinimize)
        OnMinimize(sender);
}

void TModalMinimizer::DoRestore(TObject *sender)
{
    if (OnRestore)
        OnRestore(sender);
}

LRESULT TModalMinimizer::WndProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam, WNDPROC next)
{
    HWND app = Application->Handle();
    switch (msg) {
    case WM_SYSCOMMAND:
        // The low four bits of the command are the system's own.
        if ((wParam & 0xFFF0) == SC_MINIMIZE) {
            minimised_ = true;
            if (Application->OnMinimize)
                Application->OnMinimize(this);
            // The form may be owned through another form (a modal dialog over
            // the main form): the system would leave both on screen.
            Application->HideForms();
            SetWindowPos(app, window, form_->Left(), form_->Top(), form_->Width(), 0, SWP_SHOWWINDOW);
            ShowWindow(app, SW_SHOWMINNOACTIVE);
            EnableWindow(app, TRUE);
            return 0;
        }
        break;
    case WM_ACTIVATE:
        if (minimised_ && LOWORD(wParam) != WA_INACTIVE) {
            minimised_ = false;
            SetActiveWindow(app);
            SetWindowPos(app, HWND_TOP, GetSystemMetrics(SM_CXSCREEN) / 2, GetSystemMetrics(SM_CYSCREEN) / 2, 0,
                         0, SWP_SHOWWINDOW);
            ShowWindow(app, SW_SHOWNORMAL);
            Application->ShowForms();
            SetActiveWindow(window);
            if (Application->OnRestore)
                Application->OnRestore(this);
        }
        EnableWindow(app, TRUE);
        break;
    case WM_DESTROY:
        subclass_.Remove();
        break;
    default:
        break;
    }
    return CallWindowProcW(next, window, msg, wParam, lParam);
}
