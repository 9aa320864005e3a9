// The message dialog under Wine, driven in-process: every front-end function
// answered by each button and each way of closing, the refused close, the
// layout computed from measured text, and copying to the clipboard.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "VisualTestUtil.h"
#include "foundation/VxMessage.h"
#include "visual/DlgMessageBoxUnit.h"

using namespace ClassLib;
using namespace VisualTest;

namespace {

enum TCloseWay { cwClick, cwWmClose, cwEscape, cwEnter, cwAltF4 };

const char *WayName(TCloseWay way)
{
    switch (way) {
    case cwClick:
        return "click";
    case cwWmClose:
        return "WM_CLOSE";
    case cwEscape:
        return "Escape";
    case cwEnter:
        return "Enter";
    default:
        return "Alt+F4";
    }
}

TBitBtn *ButtonOf(TDlgMessageBox *dialog, int bit)
{
    for (const auto &data : dialog->ButtonList())
        if (data.bit == bit)
            return data.button;
    return nullptr;
}

// Queues closing the next dialog the given way.
void CloseDialog(TCloseWay way, int bit = 0)
{
    OnDialog([way, bit](TDlgMessageBox *dialog) {
        switch (way) {
        case cwClick:
            if (TBitBtn *button = ButtonOf(dialog, bit))
                button->Click();
            else
                ADD_FAILURE() << "no button " << bit;
            break;
        case cwWmClose:
            PostMessageW(dialog->Handle(), WM_CLOSE, 0, 0);
            break;
        case cwEscape:
            PressKeys({VK_ESCAPE});
            break;
        case cwEnter:
            PressKeys({VK_RETURN});
            break;
        case cwAltF4:
            PressKeys({VK_MENU, VK_F4});
            break;
        }
    });
}

struct TFrontEndCase {
    const char *function;
    TCloseWay way;
    int bit; // the button clicked
    int expected;
};

int Call(const std::string &function, const std::string &text)
{
    if (function == "AskYesNo")
        return AskYesNo(text) ? 1 : 0;
    if (function == "AskYesNoCancel")
        return AskYesNoCancel(text);
    if (function == "AskOkCancel")
        return AskOkCancel(text) ? 1 : 0;
    if (function == "AskAbortIgnore")
        return AskAbortIgnore(text);
    if (function == "ShowError") {
        ShowError(text);
        return 0;
    }
    ShowWarning(text);
    return 0;
}

} // namespace

TEST(DlgMessageBoxFrontEnd, EachFunctionAnswersByButtonAndByEveryWayOfClosing)
{
    const TFrontEndCase cases[] = {
        {"AskYesNo", cwClick, mbYes, 1},          {"AskYesNo", cwClick, mbNo, 0},
        {"AskYesNo", cwWmClose, 0, 0},            {"AskYesNo", cwEscape, 0, 0},
        {"AskYesNo", cwEnter, 0, 1},              {"AskYesNo", cwAltF4, 0, 0},
        {"AskYesNoCancel", cwClick, mbYes, 6},    {"AskYesNoCancel", cwClick, mbNo, 7},
        {"AskYesNoCancel", cwClick, mbCancel, 2}, {"AskYesNoCancel", cwWmClose, 0, 2},
        {"AskYesNoCancel", cwEscape, 0, 2},       {"AskYesNoCancel", cwEnter, 0, 6},
        {"AskYesNoCancel", cwAltF4, 0, 2},        {"AskOkCancel", cwClick, mbOk, 1},
        {"AskOkCancel", cwClick, mbCancel, 0},    {"AskOkCancel", cwWmClose, 0, 0},
        {"AskOkCancel", cwEscape, 0, 0},          {"AskOkCancel", cwEnter, 0, 1},
        {"AskOkCancel", cwAltF4, 0, 0},           {"AskAbortIgnore", cwClick, mbAbort, 3},
        {"AskAbortIgnore", cwClick, mbIgnore, 5}, {"AskAbortIgnore", cwWmClose, 0, 3},
        {"AskAbortIgnore", cwEscape, 0, 3},       {"AskAbortIgnore", cwEnter, 0, 5},
        {"AskAbortIgnore", cwAltF4, 0, 3},        {"ShowError", cwClick, mbOk, 0},
        {"ShowError", cwWmClose, 0, 0},           {"ShowError", cwEscape, 0, 0},
        {"ShowError", cwEnter, 0, 0},             {"ShowError", cwAltF4, 0, 0},
        {"ShowWarning", cwClick, mbOk, 0},        {"ShowWarning", cwWmClose, 0, 0},
        {"ShowWarning", cwEscape, 0, 0},          {"ShowWarning", cwEnter, 0, 0},
        {"ShowWarning", cwAltF4, 0, 0},
    };
    for (const TFrontEndCase &c : cases) {
        SCOPED_TRACE(std::string(c.function) + " closed by " + WayName(c.way) + " button " + std::to_string(c.bit));
        CloseDialog(c.way, c.bit);
        EXPECT_EQ(c.expected, Call(c.function, "Question?"));
        EXPECT_EQ(nullptr, FindDialog());
    }
}

TEST(DlgMessageBoxClose, WithoutDefaultOrCancelTheCloseBoxIsGreyAndClosingIsRefused)
{
    bool grey = false;
    bool stillOpen = false;
    OnDialog([&](TDlgMessageBox *dialog) {
        UINT state = GetMenuState(GetSystemMenu(dialog->Handle(), FALSE), SC_CLOSE, MF_BYCOMMAND);
        grey = state != UINT(-1) && (state & MF_GRAYED);
        PostMessageW(dialog->Handle(), WM_CLOSE, 0, 0);
        PressKeys({VK_ESCAPE});
        PressKeys({VK_MENU, VK_F4});
    });
    ThenOnDialog([&](TDlgMessageBox *dialog) {
        stillOpen = dialog->Visible() && dialog->Result() == 0;
        ButtonOf(dialog, mbNo)->Click();
    });
    EXPECT_EQ(mbNo, ShowMessageDialog("Text", mkQuestion, mbYes | mbNo, 0x100, 0x200));
    EXPECT_TRUE(grey);
    EXPECT_TRUE(stillOpen);
}

TEST(DlgMessageBoxClose, WithoutCancelButtonClosingAnswersWithTheDefault)
{
    bool grey = true;
    OnDialog([&](TDlgMessageBox *dialog) {
        UINT state = GetMenuState(GetSystemMenu(dialog->Handle(), FALSE), SC_CLOSE, MF_BYCOMMAND);
        grey = state != UINT(-1) && (state & MF_GRAYED);
        PostMessageW(dialog->Handle(), WM_CLOSE, 0, 0);
    });
    EXPECT_EQ(mbNo, ShowMessageDialog("Text", mkQuestion, mbYes | mbNo, mbNo, 0));
    EXPECT_FALSE(grey);
}

TEST(DlgMessageBoxButtons, NoButtonsMeansOkAndTheRowKeepsTheFixedOrder)
{
    TDlgMessageBox plain(nullptr, "Text", mkPlain, 0, 0, 0);
    ASSERT_EQ(1u, plain.ButtonList().size());
    EXPECT_EQ(mbOk, plain.ButtonList()[0].bit);
    EXPECT_EQ(plain.BtnOk, plain.ButtonList()[0].button);

    TDlgMessageBox all(nullptr, "Text", mkPlain, 0x7F, mbRetry, mbAbort);
    const int order[] = {mbOk, mbYes, mbNo, mbAbort, mbRetry, mbIgnore, mbCancel};
    ASSERT_EQ(7u, all.ButtonList().size());
    for (size_t i = 0; i < 7; ++i) {
        EXPECT_EQ(order[i], all.ButtonList()[i].bit) << i;
        EXPECT_TRUE(all.ButtonList()[i].button->Visible());
        EXPECT_EQ(static_cast<int>(i), all.ButtonList()[i].button->TabOrder());
    }
    EXPECT_TRUE(all.BtnRetry->Default());
    EXPECT_TRUE(all.BtnAbort->Cancel());
    EXPECT_EQ(all.BtnRetry, all.ActiveControl());
    EXPECT_FALSE(all.BtnDebug->Visible());
}

TEST(DlgMessageBoxKinds, CaptionAndIconFollowTheKind)
{
    Application->SetTitle("Title of the app");
    struct {
        unsigned char kind;
        unsigned captionId; // 0: the application's title
        bool icon;
    } cases[] = {{0, 0, false}, {1, 31016, true}, {2, 31017, true}, {3, 31015, true}, {4, 31014, true}, {7, 0, false}};
    for (const auto &c : cases) {
        SCOPED_TRACE(static_cast<int>(c.kind));
        TDlgMessageBox dialog(nullptr, "Text", c.kind, mbOk, mbOk, mbOk);
        std::string expected = c.captionId ? std::string(Mirelta::TVxMessage(c.captionId).what())
                                           : std::string("Title of the app");
        EXPECT_EQ(expected, dialog.Caption());
        EXPECT_EQ(c.icon, !dialog.ImIcon->Picture()->Empty());
        if (!c.icon) {
            EXPECT_EQ(GetSystemMetrics(SM_CXVSCROLL), dialog.PnIcon->Width());
        }
    }
}

TEST(DlgMessageBoxLayout, OneShortLineIsCentredWithLeadingLineFeeds)
{
    TDlgMessageBox dialog(nullptr, "Short", mkInformation, mbOk, mbOk, mbOk);
    int h = dialog.Canvas()->TextHeight("1");
    ASSERT_GT(h, 0);
    // The button row is one button high plus the margins; the client area
    // shrinks by what the row lost against its design height.
    EXPECT_EQ(dialog.BtnOk->Height() + 16, dialog.PnButtons->Height());
    EXPECT_EQ(131 - 77 + dialog.PnButtons->Height(), dialog.ClientHeight());
    const int memoHeight = dialog.MmMessage->Height();
    const int n = memoHeight >= 3 * h ? (memoHeight - h) / (2 * h) : 0;
    std::string expected;
    for (int i = 0; i < n; ++i)
        expected += "\r\n";
    EXPECT_EQ(expected + "Short", dialog.MmMessage->Text());
    EXPECT_EQ(ssNone, dialog.MmMessage->ScrollBars());
}

TEST(DlgMessageBoxLayout, ManyLinesGetAScrollBarAndNoCentring)
{
    std::string text;
    for (int i = 0; i < 300; ++i)
        text += "Line " + std::to_string(i) + "\n";
    TDlgMessageBox dialog(nullptr, text, mkError, mbOk, mbOk, mbOk);
    RECT area{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
    const int maxH = area.bottom - area.top - 2 * GetSystemMetrics(SM_CYFRAME) - GetSystemMetrics(SM_CYCAPTION);
    EXPECT_EQ(maxH, dialog.ClientHeight());
    EXPECT_EQ(0u, dialog.MmMessage->Text().find("Line 0"));
    EXPECT_EQ(ssVertical, dialog.MmMessage->ScrollBars());
    // Centred in the work area.
    EXPECT_EQ(area.left + (area.right - area.left - dialog.Width()) / 2, dialog.Left());
    EXPECT_EQ(area.top + (area.bottom - area.top - dialog.Height()) / 2, dialog.Top());
}

TEST(DlgMessageBoxLayout, WidthFollowsTheLongestLineUpToTheWorkArea)
{
    RECT area{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
    const int maxW = area.right - area.left - 2 * GetSystemMetrics(SM_CXFRAME);

    const std::string medium(60, 'W');
    TDlgMessageBox mediumDialog(nullptr, "x\n" + medium + "\n", mkWarning, mbOk, mbOk, mbOk);
    const int wanted = mediumDialog.Canvas()->TextWidth(medium) + mediumDialog.PnIcon->Width() +
                       GetSystemMetrics(SM_CXVSCROLL);
    EXPECT_EQ(std::max(367, std::min(maxW, wanted)), mediumDialog.ClientWidth());

    const std::string overlong(3000, 'W');
    TDlgMessageBox wide(nullptr, overlong, mkWarning, mbOk, mbOk, mbOk);
    EXPECT_EQ(maxW, wide.ClientWidth());
    EXPECT_GT(wide.MmMessage->Lines()->Count(), 1); // wrapped
}

TEST(DlgMessageBoxLayout, ButtonsAreCentredWithGapsAndLimitTheWidth)
{
    TDlgMessageBox dialog(nullptr, "Text", mkQuestion, mbYes | mbNo | mbCancel, mbYes, mbCancel);
    auto check = [&] {
        const auto &list = dialog.ButtonList();
        ASSERT_EQ(3u, list.size());
        int total = 0;
        for (size_t i = 0; i < list.size(); ++i)
            total += list[i].button->Width() + (i ? 4 : 0);
        EXPECT_EQ((dialog.PnButtons->Width() - total) / 2, list[0].button->Left());
        for (size_t i = 1; i < list.size(); ++i)
            EXPECT_EQ(list[i - 1].button->Left() + list[i - 1].button->Width() + 4, list[i].button->Left());
        for (const auto &data : list)
            EXPECT_EQ(8, data.button->Top());
        EXPECT_EQ(total + 32 - dialog.PnIcon->Width(), dialog.PnButtons->Constraints()->MinWidth());
    };
    check();
    dialog.SetClientWidth(801);
    check();

    // A row wider than the design width widens the dialog to its limit.
    TDlgMessageBox wide(nullptr, "Text", mkQuestion, 0x1F, mbOk, mbCancel);
    int total = 0;
    for (const auto &data : wide.ButtonList())
        total += data.button->Width() + 4;
    total -= 4;
    EXPECT_EQ(std::max(367, total + 32 - wide.PnIcon->Width()), wide.ClientWidth());
}

TEST(DlgMessageBoxCopy, CtrlCCopiesTheWholeTextAndCtrlInsertTheSelectionWithTheLocale)
{
    std::string whole, selected, memoText;
    LCID locale = 0;
    auto readClipboard = [&](std::string &text) {
        if (!OpenClipboard(nullptr))
            return;
        if (HANDLE data = GetClipboardData(CF_TEXT)) {
            text = static_cast<const char *>(GlobalLock(data));
            GlobalUnlock(data);
        }
        if (HANDLE data = GetClipboardData(CF_LOCALE)) {
            locale = *static_cast<const LCID *>(GlobalLock(data));
            GlobalUnlock(data);
        }
        CloseClipboard();
    };
    OnDialog([&](TDlgMessageBox *dialog) {
        memoText = dialog->MmMessage->Text();
        PressKeys({VK_CONTROL, 'C'});
    });
    ThenOnDialog([&](TDlgMessageBox *dialog) {
        readClipboard(whole);
        dialog->MmMessage->SetSelStart(static_cast<int>(memoText.find("second")));
        dialog->MmMessage->SetSelLength(6);
        PressKeys({VK_CONTROL, VK_INSERT});
    });
    ThenOnDialog([&](TDlgMessageBox *dialog) {
        readClipboard(selected);
        dialog->BtnOk->Click();
    });
    ShowMessageDialog("first line\nsecond line", mkInformation, mbOk, mbOk, mbOk);
    EXPECT_EQ(memoText, whole);
    EXPECT_NE(std::string::npos, whole.find("first line\r\nsecond line"));
    EXPECT_EQ("second", selected);
    EXPECT_EQ(GetUserDefaultLCID(), locale);
}

namespace {

// Ends the application's terminated state: a loop that meets the order to
// terminate ends and clears it.
void ClearTermination()
{
    Application->Terminate();
    Application->Run();
}

} // namespace

TEST(DlgMessageBoxTerminated, AfterTerminationEachFunctionAnswersByTheCloseRuleWithoutADialog)
{
    ASSERT_EQ(nullptr, Application->MainForm());
    Application->Terminate();
    Pump(); // the loop meets the order to terminate
    ASSERT_TRUE(Application->Terminated());
    const int formsBefore = Screen->FormCount();
    EXPECT_EQ(IDABORT, AskAbortIgnore("Ignore?"));
    EXPECT_FALSE(AskYesNo("Yes?"));
    EXPECT_EQ(IDCANCEL, AskYesNoCancel("Yes?"));
    EXPECT_FALSE(AskOkCancel("OK?"));
    ShowWarning("Warning");
    ShowError("Error");
    EXPECT_EQ(mbNo, ShowMessageDialog("Text", mkQuestion, mbYes | mbNo, mbYes, mbNo));
    // Neither a cancel nor a default button: no answer at all.
    EXPECT_EQ(0, ShowMessageDialog("Text", mkQuestion, mbYes | mbNo, 0x100, 0x200));
    EXPECT_EQ(formsBefore, Screen->FormCount());
    ClearTermination();
    EXPECT_FALSE(Application->Terminated());
}

TEST(DlgMessageBoxTerminated, AnOrderToTerminateWhileTheDialogIsUpAnswersByTheCloseRule)
{
    ASSERT_EQ(nullptr, Application->MainForm());
    bool shown = false;
    OnDialog([&](TDlgMessageBox *) {
        shown = true;
        Application->Terminate();
    });
    EXPECT_EQ(IDABORT, AskAbortIgnore("Ignore?"));
    EXPECT_TRUE(shown);
    EXPECT_TRUE(Application->Terminated());
    EXPECT_EQ(nullptr, FindDialog());
    ClearTermination();
}
