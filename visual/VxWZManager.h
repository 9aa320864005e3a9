// The window z-order manager: keeps the program's own top-level windows of
// the UI thread stacked by level (a lower level stacks higher), whatever the
// user or the system does to them.
//
// Each registered window is subclassed to learn when its place in the
// z-order changes or is asked to change; the manager then re-stacks the
// registered windows later, from its own message queue entry, in one deferred
// positioning pass. At most one arrange request waits in the queue at a time.
// A visible window that is not registered but sits directly above a disabled
// registered one (a modal dialog) is kept on top of them all. Windows of one
// level keep their relative order. The window meant to be on top is itself
// brought up to directly above the highest registered window when one lies
// above it, never above other programs' windows; the others are ordered below
// it.
#pragma once

#include <windows.h>

#include <climits>
#include <map>
#include <memory>
#include <vector>

#include "classlib/ObjectInstance.h"
#include "foundation/var_a.h"
#include "visual/VxWindowSubclass.h"

namespace Mirelta {
namespace VxAcs {

// Sets a flag for the lifetime of the guard; throws std::logic_error when the
// pointer is null or the flag is set already.
class guard_lock_bool {
public:
    explicit guard_lock_bool(bool *lock);
    ~guard_lock_bool();
    guard_lock_bool(const guard_lock_bool &) = delete;
    guard_lock_bool &operator=(const guard_lock_bool &) = delete;

private:
    bool *lock_;
};

} // namespace VxAcs
} // namespace Mirelta

class TVxWZManager {
public:
    enum : UINT {
        WM_WZ_ARRANGE = WM_USER + 100,
        WM_WZ_REMOVE = WM_USER + 101,
    };

    // Subclasses one registered window for the manager while it lives.
    class TWindowHook {
    public:
        TWindowHook(TVxWZManager *manager, HWND window);
        ~TWindowHook();
        TWindowHook(const TWindowHook &) = delete;
        TWindowHook &operator=(const TWindowHook &) = delete;
        HWND Window() const noexcept { return window_; }
        void Detach() noexcept;

    private:
        void Attach(HWND window);
        LRESULT WndProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam, WNDPROC next);
        TVxWZManager *manager_;
        HWND window_ = nullptr;
        TVxWindowSubclass subclass_;
    };

    struct TWindowData {
        var_a<TWindowHook> hook;
        int level = 0;
        bool valid = false; // false once the window is being destroyed
    };

    TVxWZManager();
    virtual ~TVxWZManager();
    TVxWZManager(const TVxWZManager &) = delete;
    TVxWZManager &operator=(const TVxWZManager &) = delete;

    // Registers a top-level window of this thread with its level; for a
    // window registered already only the level changes.
    void AddWindow(HWND window, int level);
    // Queues one arrange pass unless one is queued or running.
    void RequestArrange();
    // Re-stacks the registered windows now.
    void Arrange();

    bool Enabled() const noexcept { return enabled_; }
    void SetEnabled(bool v) noexcept { enabled_ = v; }
    bool Posted() const noexcept { return posted_; }
    bool Registered(HWND window) const;
    HWND UtilWindow() const noexcept { return util_ ? util_->Handle() : nullptr; }

private:
    void FilterMessage(HWND window, UINT msg, LPARAM lParam);
    LRESULT UtilWndProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam);
    void RemoveWindow(HWND window);

    bool enabled_ = true;
    std::unique_ptr<ClassLib::TUtilWindow> util_;
    std::map<HWND, TWindowData> registry_;
    bool arranging_ = false;
    bool posted_ = false;
};

// The program's one z-order manager.
extern TVxWZManager VxWZManager;
