#include "visual/VxWZManager.h"

#include <algorithm>
#include <stdexcept>
#include <tuple>

#include "foundation/VxMessage.h"
#include "foundation/VxText.h"
#include "foundation/VxTrace.h"

TVxWZManager VxWZManager;

namespace Mirelta {
namespace VxAcs {

guard_lock_bool::guard_lock_bool(bool *lock) : lock_(lock)
{
    if (!lock || *lock)
        throw std::logic_error("guard_lock_bool::guard_lock_bool( bool *lock): (!lock || *lock)");
    *lock = true;
}

guard_lock_bool::~guard_lock_bool()
{
    *lock_ = false;
}

} // namespace VxAcs
} // namespace Mirelta

namespace {

template <class Map>
typename Map::mapped_type &map_find_e(Map &map, const typename Map::key_type &key)
{
    auto it = map.find(key);
    if (it == map.end())
        throw std::out_of_range("map_find_e");
    return it->second;
}

struct TArrangeEnumWindowsData {
    std::map<HWND, int> positions;
    int counter = 0;
    bool disabledSeen = false;
    HWND foreign = nullptr;
    // The foreign window's place among the thread's windows; -1 when it is
    // another thread's window.
    int foreignPosition = -1;
    // The highest visible registered window, and the window walked last.
    HWND highest = nullptr;
    HWND previous = nullptr;
};

// One window of the wanted stack: by level, then by its current place, then
// by handle.
struct TLOW {
    int level;
    int position;
    HWND window;
    bool operator<(const TLOW &o) const
    {
        return std::make_tuple(level, position, reinterpret_cast<UINT_PTR>(window)) <
               std::make_tuple(o.level, o.position, reinterpret_cast<UINT_PTR>(o.window));
    }
};

// Walks the thread's top-level windows from the top down; never throws.
BOOL CALLBACK ArrangeEnumWindowsProc(HWND window, LPARAM param)
{
    auto *data = reinterpret_cast<TArrangeEnumWindowsData *>(param);
    auto it = data->positions.find(window);
    if (it != data->positions.end()) {
        it->second = data->counter;
        if (IsWindowVisible(window)) {
            if (!data->highest)
                data->highest = window;
            if (!data->disabledSeen && !IsWindowEnabled(window))
                data->disabledSeen = true;
            if (data->disabledSeen) {
                HWND above = GetWindow(window, GW_HWNDPREV);
                if (above && data->positions.find(above) == data->positions.end()) {
                    data->foreign = above;
                    data->foreignPosition = above == data->previous ? data->counter - 1 : -1;
                }
            }
        }
    }
    data->previous = window;
    ++data->counter;
    return TRUE;
}

const UINT kRestack = SWP_NOSIZE | SWP_NOMOVE | SWP_NOACTIVATE;

// Brings the top of the wanted stack up to directly above the highest
// registered window, when that one lies above it: moving the others down
// below it puts the z-order right as well, but Wine, without a window manager,
// raises a window on the screen only when the window itself comes to the top.
// Other programs' windows above ours stay above.
void BringUpTop(const TArrangeEnumWindowsData &data, const TLOW &top)
{
    const int position = top.position < 0 ? data.foreignPosition : top.position;
    if (position < 0 || !data.highest || data.positions.at(data.highest) >= position)
        return;
    HWND above = GetWindow(data.highest, GW_HWNDPREV);
    SetWindowPos(top.window, above ? above : HWND_TOP, 0, 0, 0, 0, kRestack);
}

// Traces that someone subclassed the window after the hook.
void TraceForeignProcedure(HWND window) noexcept
{
    try {
        wchar_t caption[1024] = {};
        GetWindowTextW(window, caption, 1024);
        const Mirelta::TVxMessage message =
            Mirelta::TVxMessage("@void TVxWZManager::TWindowHook::Detach(): wnd_proc != FThisWndProc; caption=\"%1%\"")
            << WideToAnsi(caption);
        TraceLog(GetTraceLog(), std::string(), message.Text(), 0, 0);
    } catch (...) {
        // A trace that cannot be written is left out.
    }
}

} // namespace

// ---------------------------------------------------------------- TWindowHook

TVxWZManager::TWindowHook::TWindowHook(TVxWZManager *manager, HWND window) : manager_(manager)
{
    if (window)
        Attach(window);
}

TVxWZManager::TWindowHook::~TWindowHook()
{
    Detach();
}

void TVxWZManager::TWindowHook::Attach(HWND window)
{
    subclass_.Install(window, [this](HWND w, UINT msg, WPARAM wParam, LPARAM lParam,
                                        WNDPROC next) { return WndProc(w, msg, wParam, lParam, next); });
    window_ = window;
}

void TVxWZManager::TWindowHook::Detach() noexcept
{
    if (!window_)
        return;
    if (subclass_.Installed() && IsWindow(window_) && !subclass_.OnTop())
        TraceForeignProcedure(window_);
    // A subclass installed after ours stays in place: ours then only forwards.
    subclass_.Remove();
    window_ = nullptr;
}

LRESULT TVxWZManager::TWindowHook::WndProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam, WNDPROC next)
{
    try {
        manager_->FilterMessage(window, msg, lParam);
    } catch (...) {
        // The window's own procedure still gets the message.
    }
    if (msg == WM_DESTROY || msg == WM_NCDESTROY)
        Detach();
    return CallWindowProcW(next, window, msg, wParam, lParam);
}

// ---------------------------------------------------------------- TVxWZManager

TVxWZManager::TVxWZManager()
{
    util_.reset(new ClassLib::TUtilWindow(
        [this](HWND window, UINT msg, WPARAM wParam, LPARAM lParam) { return UtilWndProc(window, msg, wParam, lParam); }));
}

TVxWZManager::~TVxWZManager()
{
    util_.reset();
    registry_.clear();
}

bool TVxWZManager::Registered(HWND window) const
{
    auto it = registry_.find(window);
    return it != registry_.end() && it->second.valid;
}

void TVxWZManager::AddWindow(HWND window, int level)
{
    auto it = registry_.find(window);
    if (it != registry_.end() && it->second.valid) {
        it->second.level = level;
    } else {
        TWindowData data;
        data.hook = make_var_a<TWindowHook>(this, window);
        data.level = level;
        data.valid = true;
        registry_[window] = data;
    }
    RequestArrange();
}

void TVxWZManager::RequestArrange()
{
    if (arranging_ || posted_ || !util_)
        return;
    if (PostMessageA(util_->Handle(), WM_WZ_ARRANGE, 0, 0))
        posted_ = true;
}

void TVxWZManager::FilterMessage(HWND window, UINT msg, LPARAM lParam)
{
    switch (msg) {
    case WM_DESTROY: {
        auto it = registry_.find(window);
        if (it != registry_.end() && it->second.valid) {
            it->second.valid = false;
            if (util_)
                PostMessageA(util_->Handle(), WM_WZ_REMOVE, 0, reinterpret_cast<LPARAM>(window));
        }
        break;
    }
    // A request to move in the z-order counts as well as a done move: a
    // window the system has already raised by itself (Wine raises a clicked
    // window without telling it) sees the later raise only as a request,
    // which the system then drops, so no WM_WINDOWPOSCHANGED follows.
    case WM_WINDOWPOSCHANGING:
    case WM_WINDOWPOSCHANGED: {
        const auto *pos = reinterpret_cast<const WINDOWPOS *>(lParam);
        if (pos && !(pos->flags & SWP_NOZORDER))
            RequestArrange();
        break;
    }
    default:
        break;
    }
}

LRESULT TVxWZManager::UtilWndProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_WZ_ARRANGE:
        posted_ = false;
        try {
            Arrange();
        } catch (...) {
        }
        return 0;
    case WM_WZ_REMOVE:
        RemoveWindow(reinterpret_cast<HWND>(lParam));
        return 0;
    default:
        return DefWindowProcW(window, msg, wParam, lParam);
    }
}

void TVxWZManager::RemoveWindow(HWND window)
{
    // The handle may have been registered again for a new window meanwhile:
    // only the stale entry goes.
    auto it = registry_.find(window);
    if (it != registry_.end() && !it->second.valid)
        registry_.erase(it);
}

void TVxWZManager::Arrange()
{
    if (arranging_ || !enabled_)
        return;
    Mirelta::VxAcs::guard_lock_bool guard(&arranging_);

    TArrangeEnumWindowsData data;
    for (const auto &entry : registry_)
        if (entry.second.valid)
            data.positions[entry.first] = INT_MAX;
    EnumThreadWindows(GetCurrentThreadId(), &ArrangeEnumWindowsProc, reinterpret_cast<LPARAM>(&data));

    std::vector<TLOW> list;
    for (const auto &entry : registry_)
        if (entry.second.valid && IsWindowVisible(entry.first))
            list.push_back(TLOW{entry.second.level, map_find_e(data.positions, entry.first), entry.first});
    if (data.disabledSeen && data.foreign)
        list.push_back(TLOW{INT_MIN, -1, data.foreign});
    std::sort(list.begin(), list.end());
    if (list.empty())
        return;

    BringUpTop(data, list.front());
    HDWP defer = BeginDeferWindowPos(static_cast<int>(list.size()));
    for (size_t i = 1; defer && i < list.size(); ++i)
        defer = DeferWindowPos(defer, list[i].window, list[i - 1].window, 0, 0, 0, 0, kRestack);
    if (defer)
        EndDeferWindowPos(defer);
    // Put right whatever the deferred pass missed.
    for (size_t i = 1; i < list.size(); ++i)
        if (GetWindow(list[i].window, GW_HWNDPREV) != list[i - 1].window)
            SetWindowPos(list[i].window, list[i - 1].window, 0, 0, 0, 0, kRestack);
}
