#include "classlib/ObjectInstance.h"

#include <array>
#include <utility>

#include "classlib/Barrier.h"
#include "classlib/Classes.h"

namespace ClassLib {

namespace {

constexpr size_t kSlots = 256;
const wchar_t kUtilClass[] = L"ClassLibUtilWindow";

// A slot may be freed by its own method (a hook that detaches itself while
// handling WM_DESTROY): the method is then destroyed once the call returns.
struct TSlot {
    TWndMethod *method = nullptr;
    int busy = 0;
    bool freed = false;
};

std::array<TSlot, kSlots> &Slots()
{
    static std::array<TSlot, kSlots> slots{};
    return slots;
}

void ReleaseSlot(TSlot &slot)
{
    delete slot.method;
    slot.method = nullptr;
    slot.freed = false;
}

LRESULT Dispatch(size_t index, HWND window, UINT msg, WPARAM wParam, LPARAM lParam)
{
    TSlot &slot = Slots()[index];
    if (!slot.method || slot.freed)
        return DefWindowProcW(window, msg, wParam, lParam);
    LRESULT result = 0;
    ++slot.busy;
    if (!Guarded([&] { result = (*slot.method)(window, msg, wParam, lParam); }))
        result = 0;
    if (--slot.busy == 0 && slot.freed)
        ReleaseSlot(slot);
    return result;
}

template <size_t N>
LRESULT CALLBACK Trampoline(HWND window, UINT msg, WPARAM wParam, LPARAM lParam)
{
    return Dispatch(N, window, msg, wParam, lParam);
}

template <size_t... I>
constexpr std::array<WNDPROC, sizeof...(I)> MakeTrampolines(std::index_sequence<I...>)
{
    return {{&Trampoline<I>...}};
}

const std::array<WNDPROC, kSlots> kTrampolines = MakeTrampolines(std::make_index_sequence<kSlots>{});

} // namespace

TObjectInstance::TObjectInstance(TWndMethod method)
{
    auto &slots = Slots();
    for (size_t i = 0; i < kSlots; ++i) {
        if (!slots[i].method) {
            slots[i].method = new TWndMethod(std::move(method));
            slot_ = i;
            proc_ = kTrampolines[i];
            return;
        }
    }
    throw Exception("Out of object instances");
}

TObjectInstance::~TObjectInstance()
{
    TSlot &slot = Slots()[slot_];
    if (slot.busy > 0)
        slot.freed = true;
    else
        ReleaseSlot(slot);
}

TUtilWindow::TUtilWindow(TWndMethod method) : instance_(std::move(method))
{
    static bool registered = false;
    if (!registered) {
        WNDCLASSEXW wc{};
        wc.cbSize = sizeof(wc);
        wc.lpfnWndProc = DefWindowProcW;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = kUtilClass;
        if (!RegisterClassExW(&wc) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS)
            throw Exception("Cannot register the utility window class");
        registered = true;
    }
    handle_ = CreateWindowExW(0, kUtilClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, GetModuleHandleW(nullptr),
                              nullptr);
    if (!handle_)
        throw Exception("Cannot create a utility window");
    SetWindowLongPtrW(handle_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(instance_.Proc()));
}

TUtilWindow::~TUtilWindow()
{
    if (handle_) {
        SetWindowLongPtrW(handle_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(DefWindowProcW));
        DestroyWindow(handle_);
    }
}

} // namespace ClassLib
