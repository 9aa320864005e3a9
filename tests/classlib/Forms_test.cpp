// The application object and forms under Wine: modal loops ended by
// ModalResult, OnCloseQuery refusing, key routing in the modal loop and the
// exception barrier of window procedures and timers.
#include <windows.h>

#include <gtest/gtest.h>

#include <commctrl.h>

#include <stdexcept>

#include "classlib/ActnList.h"
#include "classlib/ExtCtrls.h"
#include "classlib/Forms.h"
#include "classlib/StdCtrls.h"
#include "foundation/VxText.h"
#include "tests/support/Replaced.h"

using namespace ClassLib;

namespace {
// Source literals are UTF-8; the controls take ANSI text.
AnsiString A(const char *utf8)
{
    return Utf8ToAnsi(utf8);
}
} // namespace

namespace {

// Collects what reaches the application's exception handler instead of
// showing a box.
class ExceptionCatcher {
public:
    ExceptionCatcher()
    {
        previous_ = Application->SetExceptionHandler([this](std::exception_ptr e) {
            try {
                std::rethrow_exception(e);
            } catch (const std::exception &x) {
                messages.push_back(x.what());
            } catch (...) {
                messages.push_back("?");
            }
        });
    }
    ~ExceptionCatcher() { Application->SetExceptionHandler(previous_); }
    std::vector<std::string> messages;

private:
    TExceptionHandler previous_;
};

// A dialog-like form: an edit, a check box, OK (default) and Cancel (cancel).
struct TTestDialog : TForm {
    explicit TTestDialog(TComponent *owner) : TForm(owner)
    {
        SetBorderStyle(bsDialog);
        SetClientWidth(300);
        SetClientHeight(120);
        Edit1 = new TEdit(this);
        Edit1->SetParent(this);
        Edit1->SetBounds(8, 8, 120, 21);
        Edit2 = new TEdit(this);
        Edit2->SetParent(this);
        Edit2->SetBounds(8, 36, 120, 21);
        Check = new TCheckBox(this);
        Check->SetParent(this);
        Check->SetCaption(A("&Флажок"));
        Check->SetBounds(140, 8, 120, 17);
        BtnOk = new TButton(this);
        BtnOk->SetParent(this);
        BtnOk->SetCaption("OK");
        BtnOk->SetBounds(130, 88, 75, 25);
        BtnOk->SetModalResult(mrOk);
        BtnOk->SetDefault(true);
        BtnCancel = new TButton(this);
        BtnCancel->SetParent(this);
        BtnCancel->SetCaption(A("Отмена"));
        BtnCancel->SetBounds(215, 88, 75, 25);
        BtnCancel->SetModalResult(mrCancel);
        BtnCancel->SetCancel(true);
        BtnYes = new TButton(this);
        BtnYes->SetParent(this);
        BtnYes->SetCaption(A("&Да"));
        BtnYes->SetBounds(8, 88, 75, 25);
        BtnYes->SetModalResult(mrYes);
        SetActiveControl(Edit1);
    }
    TEdit *Edit1, *Edit2;
    TCheckBox *Check;
    TButton *BtnOk, *BtnCancel, *BtnYes;
};

void PostKey(HWND window, WORD key, UINT msg = WM_KEYDOWN)
{
    PostMessageW(window, msg, key, 1);
}

// Runs a modal loop for the dialog after queuing what the test posts from
// within OnShow (the window exists and is shown by then).
TModalResult ShowWith(TTestDialog *dlg, std::function<void()> whenShown)
{
    dlg->OnShow = [whenShown](TObject *) { whenShown(); };
    return dlg->ShowModal();
}

BOOL CALLBACK FindTooltip(HWND w, LPARAM p)
{
    wchar_t cls[64] = {};
    GetClassNameW(w, cls, 64);
    if (wcscmp(cls, TOOLTIPS_CLASSW) == 0)
        *reinterpret_cast<HWND *>(p) = w;
    return TRUE;
}

} // namespace

TEST(Forms, ModalLoopEndsWithModalResultSetFromATimer)
{
    TTestDialog dlg(nullptr);
    TTimer timer(nullptr);
    timer.SetInterval(20);
    timer.OnTimer = [&](TObject *) { dlg.SetModalResult(mrRetry); };
    EXPECT_EQ(mrRetry, dlg.ShowModal());
    EXPECT_FALSE(dlg.Visible());
    EXPECT_FALSE(IsWindowVisible(dlg.Handle()));
}

TEST(Forms, ModalFormDisablesOtherWindowsAndRestoresThem)
{
    TForm owner(nullptr);
    owner.Show();
    TTestDialog dlg(nullptr);
    bool ownerEnabledDuringModal = true;
    TTimer timer(nullptr);
    timer.SetInterval(20);
    timer.OnTimer = [&](TObject *) {
        ownerEnabledDuringModal = IsWindowEnabled(owner.Handle()) != FALSE;
        dlg.SetModalResult(mrOk);
    };
    dlg.ShowModal();
    EXPECT_FALSE(ownerEnabledDuringModal);
    EXPECT_TRUE(IsWindowEnabled(owner.Handle()));
    owner.Hide();
}

TEST(Forms, CloseQueryRefusalKeepsTheModalFormOpen)
{
    TTestDialog dlg(nullptr);
    int asked = 0;
    dlg.OnCloseQuery = [&](TObject *, bool &canClose) { canClose = ++asked >= 2; };
    int closed = 0;
    dlg.OnClose = [&](TObject *, TCloseAction &) { ++closed; };
    TTimer timer(nullptr);
    timer.SetInterval(20);
    timer.OnTimer = [&](TObject *) { dlg.SetModalResult(mrOk); };
    EXPECT_EQ(mrOk, dlg.ShowModal());
    EXPECT_EQ(2, asked);
    EXPECT_EQ(1, closed);
}

TEST(Forms, CloseActionNoneKeepsTheModalFormOpen)
{
    TTestDialog dlg(nullptr);
    int closes = 0;
    dlg.OnClose = [&](TObject *, TCloseAction &action) {
        if (++closes == 1)
            action = caNone;
    };
    TTimer timer(nullptr);
    timer.SetInterval(20);
    timer.OnTimer = [&](TObject *) { dlg.SetModalResult(mrAbort); };
    EXPECT_EQ(mrAbort, dlg.ShowModal());
    EXPECT_EQ(2, closes);
}

TEST(Forms, WmCloseOnAModalFormAnswersCancel)
{
    TTestDialog dlg(nullptr);
    EXPECT_EQ(mrCancel, ShowWith(&dlg, [&] { PostMessageW(dlg.Handle(), WM_CLOSE, 0, 0); }));
}

TEST(Forms, ShowModalOfAVisibleFormThrows)
{
    TTestDialog dlg(nullptr);
    dlg.Show();
    EXPECT_THROW(dlg.ShowModal(), Exception);
    dlg.Hide();
}

TEST(Forms, KeyRoutingInTheModalLoop)
{
    struct Case {
        const char *name;
        WORD key;
        int focus; // 0 Edit1, 1 Cancel button, 2 Yes button
        TModalResult expected;
    } cases[] = {
        {"Return in an edit clicks the default button", VK_RETURN, 0, mrOk},
        {"Escape clicks the cancel button", VK_ESCAPE, 0, mrCancel},
        {"Return on a focused button clicks that button", VK_RETURN, 2, mrYes},
        {"Escape on a focused button still cancels", VK_ESCAPE, 2, mrCancel},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        TTestDialog dlg(nullptr);
        TControl *target = c.focus == 0 ? static_cast<TControl *>(dlg.Edit1)
                                        : c.focus == 1 ? static_cast<TControl *>(dlg.BtnCancel) : dlg.BtnYes;
        dlg.SetActiveControl(target);
        EXPECT_EQ(c.expected, ShowWith(&dlg, [&] { PostKey(target->Handle(), c.key); }));
    }
}

TEST(Forms, ReturnWithoutADefaultButtonDoesNothing)
{
    TTestDialog dlg(nullptr);
    dlg.BtnOk->SetDefault(false);
    TTimer timer(nullptr);
    timer.SetInterval(150);
    timer.OnTimer = [&](TObject *) { dlg.SetModalResult(mrIgnore); };
    EXPECT_EQ(mrIgnore, ShowWith(&dlg, [&] { PostKey(dlg.Edit1->Handle(), VK_RETURN); }));
}

TEST(Forms, AltMnemonicClicksTheButtonAndTogglesTheCheckBox)
{
    TTestDialog dlg(nullptr);
    bool checkedBeforeYes = false;
    dlg.BtnYes->OnClick = [&](TObject *) { checkedBeforeYes = dlg.Check->Checked(); };
    // Alt+Ф ticks the box, then Alt+Д presses the Yes button.
    EXPECT_EQ(mrYes, ShowWith(&dlg, [&] {
                  PostKey(dlg.Edit1->Handle(), 0x0424 /* Ф */, WM_SYSCHAR);
                  PostKey(dlg.Edit1->Handle(), 0x0434 /* д */, WM_SYSCHAR);
              }));
    EXPECT_TRUE(checkedBeforeYes);
}

TEST(Forms, TabAndShiftTabMoveTheFocusInTabOrder)
{
    TTestDialog dlg(nullptr);
    dlg.Show();
    SetActiveWindow(dlg.Handle());
    dlg.Edit1->SetFocus();
    Application->ProcessMessages();
    ASSERT_TRUE(dlg.Edit1->Focused());

    PostKey(dlg.Edit1->Handle(), VK_TAB);
    Application->ProcessMessages();
    EXPECT_TRUE(dlg.Edit2->Focused());

    BYTE keys[256];
    GetKeyboardState(keys);
    keys[VK_SHIFT] = 0x80;
    SetKeyboardState(keys);
    PostKey(dlg.Edit2->Handle(), VK_TAB);
    Application->ProcessMessages();
    keys[VK_SHIFT] = 0;
    SetKeyboardState(keys);
    EXPECT_TRUE(dlg.Edit1->Focused());

    // Backwards from the first stop wraps to the last one.
    dlg.SelectNext(dlg.Edit1, false);
    EXPECT_TRUE(dlg.BtnYes->Focused());
    dlg.Hide();
}

TEST(Forms, DisablingOrHidingTheFocusedControlHandsTheFocusToTheNextTabStop)
{
    TTestDialog dlg(nullptr);
    dlg.Show();
    SetActiveWindow(dlg.Handle());
    dlg.BtnOk->SetFocus();
    Application->ProcessMessages();
    ASSERT_TRUE(dlg.BtnOk->Focused());

    dlg.BtnOk->SetEnabled(false);
    EXPECT_TRUE(dlg.BtnCancel->Focused());
    dlg.BtnCancel->Hide();
    EXPECT_TRUE(dlg.BtnYes->Focused());
    // Past the last stop it goes round to the first one that can take it.
    dlg.Edit1->SetEnabled(false);
    dlg.BtnYes->SetEnabled(false);
    EXPECT_TRUE(dlg.Edit2->Focused());
    // With no stop left the form itself keeps the keyboard, so that Escape
    // still reaches it as a key of its own.
    dlg.Edit2->SetEnabled(false);
    dlg.Check->SetEnabled(false);
    EXPECT_EQ(dlg.Handle(), GetFocus());
    dlg.Hide();
}

TEST(Forms, ActionShortcutRunsBeforeTheFocusedControl)
{
    TTestDialog dlg(nullptr);
    auto *list = new TActionList(&dlg);
    auto *copy = new TAction(&dlg);
    copy->SetActionList(list);
    copy->SetShortCut(ShortCut('C', ssCtrl));
    int runs = 0;
    copy->OnExecute = [&](TObject *) {
        ++runs;
        dlg.SetModalResult(mrOk);
    };
    EXPECT_EQ(mrOk, ShowWith(&dlg, [&] {
                  BYTE keys[256];
                  GetKeyboardState(keys);
                  keys[VK_CONTROL] = 0x80;
                  SetKeyboardState(keys);
                  PostKey(dlg.Edit1->Handle(), 'C');
              }));
    BYTE keys[256];
    GetKeyboardState(keys);
    keys[VK_CONTROL] = 0;
    SetKeyboardState(keys);
    EXPECT_EQ(1, runs);
}

TEST(Forms, ExceptionInAClickHandlerIsCaughtAndHandedToTheApplication)
{
    ExceptionCatcher catcher;
    TTestDialog dlg(nullptr);
    dlg.BtnYes->OnClick = [](TObject *) { throw std::runtime_error("boom in click"); };
    SendMessageW(dlg.BtnYes->Handle(), BM_CLICK, 0, 0);
    ASSERT_EQ(1u, catcher.messages.size());
    EXPECT_EQ("boom in click", catcher.messages[0]);
    // The form still works afterwards.
    dlg.BtnYes->OnClick = nullptr;
    SendMessageW(dlg.BtnYes->Handle(), BM_CLICK, 0, 0);
    EXPECT_EQ(mrYes, dlg.ModalResult());
}

TEST(Forms, ExceptionInATimerHandlerIsCaughtAndTheLoopGoesOn)
{
    ExceptionCatcher catcher;
    TTestDialog dlg(nullptr);
    TTimer timer(nullptr);
    timer.SetInterval(10);
    int ticks = 0;
    timer.OnTimer = [&](TObject *) {
        if (++ticks == 1)
            throw Exception("timer failed");
        dlg.SetModalResult(mrOk);
    };
    EXPECT_EQ(mrOk, dlg.ShowModal());
    ASSERT_EQ(1u, catcher.messages.size());
    EXPECT_EQ("timer failed", catcher.messages[0]);
}

TEST(Forms, FailingExceptionHandlerDoesNotEscapeTheCallback)
{
    // The handler itself throws: the barrier must still hold (the fallback
    // box is replaced by a handler that throws once and then collects).
    int calls = 0;
    const TExceptionHandler previous = Application->SetExceptionHandler([&](std::exception_ptr) {
        ++calls;
        throw std::runtime_error("handler broken");
    });
    const TRestoredAtEnd restoreHandler([previous] { Application->SetExceptionHandler(previous); });
    TTestDialog dlg(nullptr);
    dlg.BtnYes->OnClick = [](TObject *) { throw 42; };
    // Showing the fallback box would block: answer it from a timer.
    TTimer closer(nullptr);
    closer.SetInterval(50);
    closer.OnTimer = [](TObject *) {
        HWND box = FindWindowW(L"#32770", nullptr);
        if (box)
            PostMessageW(box, WM_COMMAND, IDOK, 0);
    };
    SendMessageW(dlg.BtnYes->Handle(), BM_CLICK, 0, 0);
    EXPECT_EQ(1, calls);
}

TEST(Forms, CreateFormSetsTheReferenceBeforeTheConstructorAndTheFirstIsMain)
{
    struct TProbe : TForm {
        static TProbe *&Ref()
        {
            static TProbe *ref = nullptr;
            return ref;
        }
        explicit TProbe(TComponent *owner) : TForm(owner) { sawSelf = Ref() == this; }
        bool sawSelf = false;
    };
    TForm *mainBefore = Application->MainForm();
    Application->CreateForm(TProbe::Ref());
    TProbe *probe = TProbe::Ref();
    EXPECT_TRUE(probe->sawSelf);
    if (!mainBefore) {
        EXPECT_EQ(probe, Application->MainForm());
    }
    delete probe;
    EXPECT_EQ(mainBefore, Application->MainForm());
}

TEST(Forms, RunEndsWhenTheMainFormCloses)
{
    ASSERT_EQ(nullptr, Application->MainForm());
    TForm *main = nullptr;
    Application->CreateForm(main);
    ASSERT_EQ(main, Application->MainForm());
    int closeCalls = 0;
    main->OnClose = [&](TObject *, TCloseAction &action) {
        if (++closeCalls == 1)
            action = caNone; // refused: the loop goes on
    };
    TTimer timer(nullptr);
    timer.SetInterval(20);
    timer.OnTimer = [&](TObject *) { main->Close(); };
    Application->Run();
    EXPECT_EQ(2, closeCalls);
    timer.SetEnabled(false);
    delete main;
    EXPECT_EQ(nullptr, Application->MainForm());
}

TEST(Forms, ScreenListsFormsAndNotifiesItsReplacementList)
{
    struct TCountingList : TList {
        int added = 0;
        void Notify(void *item, TListNotification action) override
        {
            if (action == lnAdded && item)
                ++added;
        }
    };
    TCountingList list;
    TList *old = Screen->FormList();
    for (int i = 0; i < old->Count(); ++i)
        list.Add(old->Items(i));
    list.added = 0;
    Screen->SetFormList(&list);
    {
        TForm form(nullptr);
        EXPECT_EQ(1, list.added);
        EXPECT_EQ(&form, Screen->Forms(Screen->FormCount() - 1));
    }
    Screen->SetFormList(old);
    EXPECT_EQ(-1, old->IndexOf(nullptr));
}

TEST(Forms, ClientSizeBorderAndCentredPosition)
{
    TForm form(nullptr);
    form.SetBorderStyle(bsSingle);
    form.SetBorderIcons(0);
    form.SetClientWidth(515);
    form.SetClientHeight(329);
    EXPECT_EQ(515, form.ClientWidth());
    EXPECT_EQ(329, form.ClientHeight());
    EXPECT_EQ(0, GetWindowLongW(form.Handle(), GWL_STYLE) & WS_SYSMENU);
    EXPECT_EQ(0, GetWindowLongW(form.Handle(), GWL_STYLE) & WS_THICKFRAME);
    form.SetPosition(poScreenCenter);
    form.Show();
    EXPECT_EQ((Screen->Width() - form.Width()) / 2, form.Left());
    EXPECT_EQ((Screen->Height() - form.Height()) / 2, form.Top());
    EXPECT_EQ(515, form.ClientWidth());
    form.Hide();
}

TEST(Forms, HintsGoThroughOneTooltipPerForm)
{
    TForm form(nullptr);
    auto *button = new TButton(&form);
    button->SetParent(&form);
    button->SetHint(A("Обзор"));
    HWND tooltip = nullptr;
    auto findTooltip = [&] {
        tooltip = nullptr;
        EnumThreadWindows(GetCurrentThreadId(), &FindTooltip, reinterpret_cast<LPARAM>(&tooltip));
    };
    // No ShowHint yet: no tool.
    findTooltip();
    int before = tooltip ? static_cast<int>(SendMessageW(tooltip, TTM_GETTOOLCOUNT, 0, 0)) : 0;
    EXPECT_EQ(0, before);
    form.SetShowHint(true);
    findTooltip();
    ASSERT_NE(nullptr, tooltip);
    EXPECT_EQ(1, SendMessageW(tooltip, TTM_GETTOOLCOUNT, 0, 0));
    form.SetShowHint(false);
    EXPECT_EQ(0, SendMessageW(tooltip, TTM_GETTOOLCOUNT, 0, 0));
}

TEST(Forms, MinimisingTheApplicationHidesItsFormsAndRestoreBringsThemBack)
{
    TForm form(nullptr);
    form.Show();
    int minimised = 0, restored = 0;
    const TReplaced<TNotifyEvent> onMinimize(Application->OnMinimize, [&](TObject *) { ++minimised; });
    const TReplaced<TNotifyEvent> onRestore(Application->OnRestore, [&](TObject *) { ++restored; });
    Application->Minimize();
    Application->ProcessMessages();
    EXPECT_TRUE(IsIconic(Application->Handle()));
    EXPECT_FALSE(IsWindowVisible(form.Handle()));
    Application->Restore();
    Application->ProcessMessages();
    EXPECT_FALSE(IsIconic(Application->Handle()));
    EXPECT_TRUE(IsWindowVisible(form.Handle()));
    EXPECT_EQ(1, minimised);
    EXPECT_EQ(1, restored);
    ShowWindow(Application->Handle(), SW_HIDE);
    form.Hide();
}

TEST(Forms, ExceptionFromAShortcutNeverLeavesProcessMessages)
{
    ExceptionCatcher catcher;
    TTestDialog dlg(nullptr);
    auto *list = new TActionList(&dlg);
    auto *action = new TAction(&dlg);
    action->SetActionList(list);
    action->SetShortCut(ShortCut(VK_F5, 0));
    action->OnExecute = [](TObject *) { throw Exception("action failed"); };
    PostKey(dlg.Edit1->Handle(), VK_F5);
    EXPECT_NO_THROW(Application->ProcessMessages());
    ASSERT_EQ(1u, catcher.messages.size());
    EXPECT_EQ("action failed", catcher.messages[0]);
}
