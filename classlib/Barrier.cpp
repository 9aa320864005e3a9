#include "classlib/Barrier.h"

#include <exception>

#include "classlib/Forms.h"

namespace ClassLib {

void HandleCallbackException() noexcept
{
    try {
        Application->HandleException(std::current_exception());
    } catch (...) {
        // Nothing may leave a callback; a failing error display is dropped.
    }
}

} // namespace ClassLib
