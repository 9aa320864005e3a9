// Window procedures bound to objects, for subclassing foreign windows and for
// hidden utility windows.
//
// TObjectInstance hands out a plain WNDPROC that calls a bound method; it can
// be installed with SetWindowLongPtr and compared with what the window holds
// later. The procedures come from a fixed pool (256 live at a time); each
// call runs behind the exception barrier and answers 0 after a throw.
//
// TUtilWindow is a hidden message-only window whose messages go to a method.
#pragma once

#include <windows.h>

#include <functional>

namespace ClassLib {

using TWndMethod = std::function<LRESULT(HWND window, UINT msg, WPARAM wParam, LPARAM lParam)>;

class TObjectInstance {
public:
    // Throws Exception when the pool is exhausted.
    explicit TObjectInstance(TWndMethod method);
    ~TObjectInstance();
    TObjectInstance(const TObjectInstance &) = delete;
    TObjectInstance &operator=(const TObjectInstance &) = delete;

    WNDPROC Proc() const noexcept { return proc_; }

private:
    size_t slot_;
    WNDPROC proc_;
};

class TUtilWindow {
public:
    explicit TUtilWindow(TWndMethod method);
    ~TUtilWindow();
    TUtilWindow(const TUtilWindow &) = delete;
    TUtilWindow &operator=(const TUtilWindow &) = delete;

    HWND Handle() const noexcept { return handle_; }

private:
    TObjectInstance instance_;
    HWND handle_ = nullptr;
};

} // namespace ClassLib
