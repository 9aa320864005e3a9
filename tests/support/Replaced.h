// Process-wide state that a test changes (a hook of the code under test, a
// global setting, an application event, the exception handler) comes back
// when the test ends, however it ends: a failed ASSERT or an exception leaves
// the test body early, past any restoring line at its end, and the change
// would reach every later test of the executable.
#pragma once

#include <functional>
#include <utility>

// Gives variable the value for the guard's life; the destructor puts the
// earlier value back.
//   const TReplaced<TRedistFailureQuestion> question(RedistFailureQuestion, &AbortRedist);
template <class T>
class TReplaced {
public:
    TReplaced(T &variable, T value) : variable_(variable), saved_(std::move(variable))
    {
        variable_ = std::move(value);
    }
    ~TReplaced() { variable_ = std::move(saved_); }
    TReplaced(const TReplaced &) = delete;
    TReplaced &operator=(const TReplaced &) = delete;

private:
    T &variable_;
    T saved_;
};

// Runs restore when the guard's scope ends: for state that is set through a
// call rather than held in a variable.
//   const TExceptionHandler previous = Application->SetExceptionHandler(mine);
//   const TRestoredAtEnd restoreHandler([previous] { Application->SetExceptionHandler(previous); });
class TRestoredAtEnd {
public:
    explicit TRestoredAtEnd(std::function<void()> restore) : restore_(std::move(restore)) {}
    ~TRestoredAtEnd()
    {
        if (restore_)
            restore_();
    }
    TRestoredAtEnd(const TRestoredAtEnd &) = delete;
    TRestoredAtEnd &operator=(const TRestoredAtEnd &) = delete;

private:
    std::function<void()> restore_;
};
