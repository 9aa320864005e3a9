// Runs a piece of work on a thread of its own with a small stack, for tests of
// code that must not recurse with the size of its input: such code overflows
// the small stack, where work that needs little stack whatever the input
// finishes. Assertions belong on the calling thread, after the run.
#pragma once

#include <cstddef>
#include <functional>

// Runs work on a new thread whose stack reserve is stackBytes and waits for
// it; what the work throws is thrown again here. False when the thread ended
// without the work coming back (its stack overflowed). When it has not ended
// after timeoutMs, the test process ends with a message, since the thread
// cannot be stopped safely.
bool RunOnSmallStack(const std::function<void()> &work, std::size_t stackBytes, unsigned long timeoutMs);
