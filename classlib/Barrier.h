// The exception barrier of the class layer. No C++ exception may cross a
// Win32 callback (window procedures, timers, enumerations, stream callbacks):
// every such callback runs its body through Guarded, which catches whatever
// is thrown and hands it to the application object to be shown.
//
//     LRESULT result = 0;
//     ClassLib::Guarded([&] { result = object->WndProc(msg, wParam, lParam); });
#pragma once

namespace ClassLib {

// Passes the exception in flight to Application->HandleException; call only
// inside a catch handler. Never throws.
void HandleCallbackException() noexcept;

// Runs f; true when it returned normally, false when it threw (the exception
// has then been handled).
template <class F>
bool Guarded(F &&f) noexcept
{
    try {
        f();
        return true;
    } catch (...) {
        HandleCallbackException();
        return false;
    }
}

} // namespace ClassLib
