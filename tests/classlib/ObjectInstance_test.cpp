// Window procedures bound to objects: subclassing, freeing the procedure
// from inside its own call, exceptions, and the utility window.
#include <windows.h>

#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>
#include <vector>

#include "classlib/Forms.h"
#include "classlib/ObjectInstance.h"
#include "tests/support/Replaced.h"

using namespace ClassLib;

TEST(ObjectInstance, SubclassSeesMessagesAndMayFreeItselfOnDestroy)
{
    auto *form = new TForm(nullptr);
    HWND window = form->Handle();
    WNDPROC saved = reinterpret_cast<WNDPROC>(GetWindowLongPtrW(window, GWLP_WNDPROC));
    std::unique_ptr<TObjectInstance> hook;
    int seen = 0;
    bool destroyed = false;
    hook.reset(new TObjectInstance([&](HWND w, UINT msg, WPARAM wp, LPARAM lp) -> LRESULT {
        if (msg == WM_USER + 7)
            ++seen;
        if (msg == WM_DESTROY) {
            destroyed = true;
            SetWindowLongPtrW(w, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(saved));
            hook.reset(); // the procedure frees itself while it runs
        }
        return CallWindowProcW(saved, w, msg, wp, lp);
    }));
    SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(hook->Proc()));
    EXPECT_EQ(reinterpret_cast<LONG_PTR>(hook->Proc()), GetWindowLongPtrW(window, GWLP_WNDPROC));
    SendMessageW(window, WM_USER + 7, 0, 0);
    EXPECT_EQ(1, seen);
    delete form;
    EXPECT_TRUE(destroyed);
    EXPECT_FALSE(hook);
}

TEST(ObjectInstance, ExceptionInTheMethodIsHandledAndAnswersZero)
{
    std::vector<std::string> seen;
    const TExceptionHandler previous = Application->SetExceptionHandler([&](std::exception_ptr e) {
        try {
            std::rethrow_exception(e);
        } catch (const std::exception &x) {
            seen.push_back(x.what());
        }
    });
    const TRestoredAtEnd restoreHandler([previous] { Application->SetExceptionHandler(previous); });
    TUtilWindow util([](HWND, UINT msg, WPARAM, LPARAM) -> LRESULT {
        if (msg == WM_USER + 1)
            throw std::runtime_error("arrange failed");
        return 5;
    });
    EXPECT_EQ(0, SendMessageW(util.Handle(), WM_USER + 1, 0, 0));
    EXPECT_EQ(5, SendMessageW(util.Handle(), WM_USER + 2, 0, 0));
    ASSERT_EQ(1u, seen.size());
    EXPECT_EQ("arrange failed", seen[0]);
}

TEST(ObjectInstance, PoolExhaustionThrowsAndFreedSlotsAreReused)
{
    std::vector<std::unique_ptr<TObjectInstance>> all;
    auto method = [](HWND, UINT, WPARAM, LPARAM) -> LRESULT { return 0; };
    try {
        for (int i = 0; i < 1000; ++i)
            all.emplace_back(new TObjectInstance(method));
        FAIL() << "the pool never ran out";
    } catch (const Exception &) {
    }
    EXPECT_GE(all.size(), 200u);
    WNDPROC freed = all.back()->Proc();
    all.pop_back();
    all.emplace_back(new TObjectInstance(method));
    EXPECT_EQ(freed, all.back()->Proc());
}
