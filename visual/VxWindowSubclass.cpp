#include "visual/VxWindowSubclass.h"

#include <memory>

#include "classlib/Classes.h"
#include "classlib/ObjectInstance.h"

// One procedure in a window's chain. It lives while its owner holds it, or,
// once orphaned inside a foreign chain, until the window's last message.
class TVxWindowSubclass::TLink {
public:
    TLink(HWND window, TVxSubclassMethod method)
        : window_(window), method_(std::move(method)),
          instance_([this](HWND w, UINT msg, WPARAM wParam, LPARAM lParam) { return Proc(w, msg, wParam, lParam); })
    {
    }

    bool Install()
    {
        saved_ = reinterpret_cast<WNDPROC>(
            SetWindowLongPtrW(window_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(instance_.Proc())));
        return saved_ != nullptr;
    }

    HWND Window() const noexcept { return window_; }

    bool OnTop() const noexcept
    {
        return IsWindow(window_) &&
               reinterpret_cast<WNDPROC>(GetWindowLongPtrW(window_, GWLP_WNDPROC)) == instance_.Proc();
    }

    // Unhooks; true when the link may be freed now.
    bool Release() noexcept
    {
        method_ = nullptr;
        if (!IsWindow(window_))
            return true;
        if (OnTop()) {
            SetWindowLongPtrW(window_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(saved_));
            return true;
        }
        orphan_ = true; // a later subclass calls us: keep forwarding
        return false;
    }

private:
    LRESULT Proc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam)
    {
        const WNDPROC next = saved_;
        if (method_) {
            // The method may release this link while it runs.
            TVxSubclassMethod method = method_;
            return method(window, msg, wParam, lParam, next);
        }
        LRESULT result = CallWindowProcW(next, window, msg, wParam, lParam);
        if (orphan_ && msg == WM_NCDESTROY)
            delete this;
        return result;
    }

    HWND window_;
    TVxSubclassMethod method_;
    WNDPROC saved_ = nullptr;
    bool orphan_ = false;
    ClassLib::TObjectInstance instance_;
};

void TVxWindowSubclass::Install(HWND window, TVxSubclassMethod method)
{
    Remove();
    std::unique_ptr<TLink> link(new TLink(window, std::move(method)));
    if (!window || !link->Install())
        throw ClassLib::Exception("Cannot subclass the window");
    link_ = link.release();
}

HWND TVxWindowSubclass::Window() const noexcept
{
    return link_ ? link_->Window() : nullptr;
}

bool TVxWindowSubclass::OnTop() const noexcept
{
    return link_ && link_->OnTop();
}

void TVxWindowSubclass::Remove() noexcept
{
    if (!link_)
        return;
    TLink *link = link_;
    link_ = nullptr;
    if (link->Release())
        delete link;
}
