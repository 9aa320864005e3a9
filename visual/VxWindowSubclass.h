// Subclassing a window with a bound method, safely undone in any order.
//
// TVxWindowSubclass puts a procedure in front of the window's current one and
// hands every message to the method together with the procedure it replaced.
// Removing it restores that procedure only while ours is still the window's
// current one; when someone subclassed the window after us, our procedure
// stays in their chain as a plain forwarder (so theirs keeps working) and
// frees itself when the window is destroyed.
#pragma once

#include <windows.h>

#include <functional>

using TVxSubclassMethod = std::function<LRESULT(HWND window, UINT msg, WPARAM wParam, LPARAM lParam, WNDPROC next)>;

class TVxWindowSubclass {
public:
    TVxWindowSubclass() = default;
    // Throws ClassLib::Exception when no procedure can be made.
    TVxWindowSubclass(HWND window, TVxSubclassMethod method) { Install(window, std::move(method)); }
    ~TVxWindowSubclass() { Remove(); }
    TVxWindowSubclass(const TVxWindowSubclass &) = delete;
    TVxWindowSubclass &operator=(const TVxWindowSubclass &) = delete;

    // Removes what was installed, then subclasses the window. Throws
    // ClassLib::Exception when no procedure can be made.
    void Install(HWND window, TVxSubclassMethod method);
    bool Installed() const noexcept { return link_ != nullptr; }
    HWND Window() const noexcept;
    // Whether our procedure is the window's current one (nobody subclassed
    // the window after us); false when nothing is installed.
    bool OnTop() const noexcept;
    // Takes the method off the window; safe inside the method itself.
    void Remove() noexcept;

    class TLink;

private:
    TLink *link_ = nullptr;
};
