// The z-order manager on real top-level windows: the levels held against
// perturbations and a modal dialog, on the screen as well as in the z-order,
// one arrange for a burst of changes, and
// the subclass chain left intact.
#include <windows.h>

#include <gtest/gtest.h>

#include <memory>

#include "VisualTestUtil.h"
#include "foundation/VxStream.h"
#include "foundation/VxTrace.h"
#include "visual/DlgMessageBoxUnit.h"
#include "visual/VxWZManager.h"

using namespace ClassLib;
using namespace VisualTest;

namespace {

const UINT kRestack = SWP_NOSIZE | SWP_NOMOVE | SWP_NOACTIVATE;

void ToTop(HWND window)
{
    SetWindowPos(window, HWND_TOP, 0, 0, 0, 0, kRestack);
}

// The nearest visible window above (hidden helper windows of the thread may
// lie in between).
HWND VisibleAbove(HWND window)
{
    HWND w = GetWindow(window, GW_HWNDPREV);
    while (w && !IsWindowVisible(w))
        w = GetWindow(w, GW_HWNDPREV);
    return w;
}

// Runs the queued arrange request.
void Settle()
{
    Pump();
    Pump();
}

struct WZManagerTest : testing::Test {
    void SetUp() override
    {
        manager.reset(new TVxWZManager());
        main.reset(new TForm(nullptr));
        back.reset(new TForm(nullptr));
        main->SetCaption("main");
        back->SetCaption("back");
        main->Show();
        back->Show(); // shown last: on top
        Pump();
    }
    void TearDown() override
    {
        main.reset();
        back.reset();
        manager.reset();
        Pump();
    }
    std::unique_ptr<TVxWZManager> manager;
    std::unique_ptr<TForm> main;
    std::unique_ptr<TForm> back;
};

} // namespace

TEST_F(WZManagerTest, LowerLevelStaysAboveAfterEveryPerturbation)
{
    ASSERT_EQ(back->Handle(), VisibleAbove(main->Handle()));
    manager->AddWindow(main->Handle(), -1);
    manager->AddWindow(back->Handle(), 0);
    Settle();
    EXPECT_EQ(main->Handle(), VisibleAbove(back->Handle()));

    ToTop(back->Handle());
    EXPECT_TRUE(manager->Posted());
    Settle();
    EXPECT_FALSE(manager->Posted());
    EXPECT_EQ(main->Handle(), VisibleAbove(back->Handle()));

    // A second registration only changes the level.
    manager->AddWindow(main->Handle(), 1);
    Settle();
    EXPECT_EQ(back->Handle(), VisibleAbove(main->Handle()));
}

TEST_F(WZManagerTest, ARaiseOfAWindowAlreadyOnTopStillPutsTheLevelsRight)
{
    manager->AddWindow(main->Handle(), -1);
    manager->AddWindow(back->Handle(), 0);
    Settle();
    // The backdrop gets on top unseen by the manager, as a click raises it
    // under Wine; the raise that follows changes nothing in the z-order.
    manager->SetEnabled(false);
    ToTop(back->Handle());
    Settle();
    manager->SetEnabled(true);
    ASSERT_EQ(back->Handle(), VisibleAbove(main->Handle()));

    ToTop(back->Handle());
    EXPECT_TRUE(manager->Posted());
    Settle();
    EXPECT_EQ(main->Handle(), VisibleAbove(back->Handle()));
}

namespace {

// The colour the screen itself shows at a point, whatever the windows'
// z-order says.
COLORREF ScreenPixel(POINT at)
{
    HDC screen = GetDC(nullptr);
    const COLORREF c = GetPixel(screen, at.x, at.y);
    ReleaseDC(nullptr, screen);
    return c;
}

POINT CentreOf(HWND window)
{
    RECT r{};
    GetWindowRect(window, &r);
    return POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
}

} // namespace

// Without a window manager, Wine puts a window on top of the screen only when
// the window itself comes to the top of the z-order: moving the others down
// is not enough.
TEST_F(WZManagerTest, AfterTheBackdropCameUpTheScreenShowsTheMainFormAndWindowsAboveStayAbove)
{
    back->SetBounds(0, 0, 500, 400);
    back->SetColor(0xFF0000); // blue
    main->SetBounds(150, 100, 200, 150);
    main->SetColor(clRed);
    manager->AddWindow(main->Handle(), -1);
    manager->AddWindow(back->Handle(), 0);
    Settle();
    Pump(300);
    ASSERT_EQ(RGB(255, 0, 0), ScreenPixel(CentreOf(main->Handle())));

    ToTop(back->Handle()); // a click on the backdrop
    Settle();
    Pump(300);
    EXPECT_EQ(main->Handle(), VisibleAbove(back->Handle()));
    EXPECT_EQ(RGB(255, 0, 0), ScreenPixel(CentreOf(main->Handle())));

    // A window that is not ours and lies above the backdrop stays above both.
    TForm other(nullptr);
    other.SetCaption("other");
    other.Show();
    SetWindowPos(back->Handle(), other.Handle(), 0, 0, 0, 0, kRestack);
    Settle();
    EXPECT_EQ(other.Handle(), VisibleAbove(main->Handle()));
    EXPECT_EQ(main->Handle(), VisibleAbove(back->Handle()));
}

TEST_F(WZManagerTest, ABurstOfChangesQueuesOneArrange)
{
    manager->AddWindow(main->Handle(), -1);
    manager->AddWindow(back->Handle(), 0);
    Settle();
    for (int i = 0; i < 5; ++i) {
        ToTop(back->Handle());
        ToTop(main->Handle());
    }
    int queued = 0;
    MSG msg;
    while (PeekMessageW(&msg, manager->UtilWindow(), TVxWZManager::WM_WZ_ARRANGE, TVxWZManager::WM_WZ_ARRANGE,
                        PM_REMOVE)) {
        ++queued;
        DispatchMessageW(&msg);
    }
    EXPECT_EQ(1, queued);
    EXPECT_EQ(main->Handle(), VisibleAbove(back->Handle()));
}

TEST_F(WZManagerTest, AModalDialogStaysOnTopWithTheMainFormDirectlyBelow)
{
    manager->AddWindow(main->Handle(), -1);
    manager->AddWindow(back->Handle(), 0);
    Settle();
    HWND dialogWindow = nullptr, aboveMain = nullptr, aboveBack = nullptr;
    OnDialog([&](TDlgMessageBox *dialog) {
        dialogWindow = dialog->Handle();
        ToTop(back->Handle()); // perturb while the dialog is up
    });
    ThenOnDialog([&](TDlgMessageBox *) {}); // the arrange runs in between
    ThenOnDialog([&](TDlgMessageBox *dialog) {
        aboveMain = VisibleAbove(main->Handle());
        aboveBack = VisibleAbove(back->Handle());
        dialog->BtnOk->Click();
    });
    ShowMessageDialog("Modal", mkInformation, mbOk, mbOk, mbOk);
    EXPECT_EQ(dialogWindow, aboveMain);
    EXPECT_EQ(main->Handle(), aboveBack);
}

TEST_F(WZManagerTest, HiddenWindowsAreLeftAndDestroyedOnesDropped)
{
    manager->AddWindow(main->Handle(), -1);
    manager->AddWindow(back->Handle(), 0);
    Settle();
    back->Hide();
    ToTop(main->Handle());
    Settle();
    EXPECT_TRUE(manager->Registered(back->Handle()));

    // A removal request for a window that is still alive changes nothing.
    PostMessageW(manager->UtilWindow(), TVxWZManager::WM_WZ_REMOVE, 0, reinterpret_cast<LPARAM>(back->Handle()));
    Settle();
    EXPECT_TRUE(manager->Registered(back->Handle()));

    HWND backWindow = back->Handle();
    back.reset();
    EXPECT_FALSE(manager->Registered(backWindow));
    Settle();
    ToTop(main->Handle());
    Settle(); // arranging over the remaining window still works
    EXPECT_TRUE(manager->Registered(main->Handle()));
}

namespace {
WNDPROC laterSaved = nullptr;
int laterSeen = 0;
LRESULT CALLBACK LaterSubclass(HWND window, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg == WM_USER + 77)
        ++laterSeen;
    return CallWindowProcW(laterSaved, window, msg, wParam, lParam);
}
} // namespace

// Collects the trace entries written while it lives.
class TTraceCapture {
public:
    TTraceCapture() : previous_(TraceLogHolder())
    {
        sink_ = make_var_a<TVxStringStream>();
        TraceLogHolder() = sink_;
    }
    ~TTraceCapture() { TraceLogHolder() = previous_; }
    std::string Text() const { return sink_->getText(); }

private:
    VTVxStream previous_;
    var_a<TVxStringStream> sink_;
};

TEST_F(WZManagerTest, AHookLeavingQuietlyTracesNothing)
{
    TTraceCapture trace;
    manager->AddWindow(main->Handle(), -1);
    manager.reset();
    EXPECT_EQ("", trace.Text());
}

TEST_F(WZManagerTest, ASubclassInstalledAfterTheHookSurvivesTheHooksRemoval)
{
    TTraceCapture trace;
    manager->AddWindow(main->Handle(), -1);
    laterSaved = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(main->Handle(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&LaterSubclass)));
    laterSeen = 0;
    manager.reset(); // releases every hook
    // The hook found another procedure on top and says so, with the caption.
    const std::string entry = trace.Text();
    EXPECT_NE(std::string::npos,
              entry.find("\tE0\t\t@void TVxWZManager::TWindowHook::Detach(): wnd_proc != FThisWndProc; "
                         "caption=\"main\"\n"))
        << entry;
    SendMessageW(main->Handle(), WM_USER + 77, 0, 0);
    EXPECT_EQ(1, laterSeen);
    // The form itself still gets its messages.
    main->SetCaption("still alive");
    EXPECT_EQ("still alive", main->Caption());
    SetWindowLongPtrW(main->Handle(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(laterSaved));
}
