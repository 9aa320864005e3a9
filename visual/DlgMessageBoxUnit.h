// The program's modal message dialog and the functions through which every
// question, warning and error is shown.
//
// TDlgMessageBox is a resizable form: an icon by message kind, the text in a
// read-only memo that is measured, widened up to the work area and centred
// vertically, and a centred row of buttons chosen by a bit set. Closing it
// without a button answers with the cancel button, else with the default
// button; with neither the close box is greyed and closing is refused.
// Ctrl+C and Ctrl+Insert copy the selection, or the whole text, with the
// user's locale. The dialog's result is the bit of the answering button.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "classlib/ActnList.h"
#include "classlib/Buttons.h"
#include "classlib/ExtCtrls.h"
#include "classlib/Forms.h"
#include "classlib/StdCtrls.h"

// Message kinds; any other value shows as mkPlain.
enum : unsigned char { mkPlain = 0, mkInformation = 1, mkQuestion = 2, mkWarning = 3, mkError = 4 };

// Button bits.
enum : int {
    mbOk = 0x1,
    mbCancel = 0x2,
    mbYes = 0x4,
    mbNo = 0x8,
    mbAbort = 0x10,
    mbRetry = 0x20,
    mbIgnore = 0x40,
    mbDebug = 0x1000,
};

class TModalMinimizer;

class TDlgMessageBox : public ClassLib::TForm {
public:
    struct TBtnData {
        int bit;
        ClassLib::TBitBtn *button;
    };

    static const int Margin = 8;
    static const int Gap = 4;
    static const int SideMargin = 16;

    TDlgMessageBox(ClassLib::TComponent *owner, const std::string &text, unsigned char kind, int buttons,
                   int defaultBit, int cancelBit);

    ClassLib::TPanel *PnButtons;
    ClassLib::TMemo *MmMessage;
    ClassLib::TBitBtn *BtnIgnore;
    ClassLib::TBitBtn *BtnDebug;
    ClassLib::TBitBtn *BtnAbort;
    ClassLib::TBitBtn *BtnOk;
    ClassLib::TBitBtn *BtnCancel;
    ClassLib::TBitBtn *BtnYes;
    ClassLib::TBitBtn *BtnNo;
    ClassLib::TBitBtn *BtnRetry;
    ClassLib::TPanel *PnIcon;
    ClassLib::TImage *ImIcon;
    ClassLib::TPanel *PnTop;
    ClassLib::TActionList *ActionList1;
    ClassLib::TAction *AcCopy;
    ClassLib::TAction *AcCopy1;

    // The bit of the button that closed the dialog, 0 while none.
    int Result() const noexcept { return result_; }
    // The shown buttons, left to right.
    const std::vector<TBtnData> &ButtonList() const noexcept { return buttonList_; }
    TModalMinimizer *Minimizer() const noexcept { return minimizer_; }

    // The answer of a dialog closed without a button press: the cancel
    // button, else the default button. False when the dialog has neither
    // (it then stays unanswered); true at once when it is answered already.
    bool AnswerByCloseRule();

    void FormCloseQuery(ClassLib::TObject *sender, bool &canClose);
    void FormResize(ClassLib::TObject *sender);
    void FormShow(ClassLib::TObject *sender);
    void BtnOkClick(ClassLib::TObject *sender);
    void AcCopyExecute(ClassLib::TObject *sender);

private:
    void BuildLayout();
    ClassLib::TBitBtn *MakeButton(const char *captionUtf8, int modalResult);
    void CreateButtons(int buttons, int defaultBit, int cancelBit);
    void ArrangeButtons();
    void LayoutDialog(const std::string &text);
    void UpdateScrollBars();
    void Answer(const TBtnData &data);

    std::vector<TBtnData> buttonList_;
    int result_ = 0;
    TModalMinimizer *minimizer_ = nullptr; // owned by the form
};

// Shows the dialog modally; repeats it after a Debug answer. Returns the bit
// of the answering button. After the application was told to terminate the
// dialog is not shown (or its modal loop ends at once) and the close rule
// answers. Failures reach the caller.
int ShowMessageDialog(const std::string &text, unsigned char kind, int buttons, int defaultBit, int cancelBit);
// Question: Yes (default) and No (the close answer); true for Yes.
bool AskYesNo(const std::string &text);
// Question: Yes (default), No and Cancel (the close answer): IDYES, IDNO or IDCANCEL.
int AskYesNoCancel(const std::string &text);
// Warning: OK (default) and Cancel (the close answer); true for OK.
bool AskOkCancel(const std::string &text);
void ShowWarning(const std::string &text);
// Warning: Abort (the close answer) and Ignore (default): IDABORT or IDIGNORE.
int AskAbortIgnore(const std::string &text);
// Error; when the dialog itself fails, the system message box shows the text.
void ShowError(const std::string &text);
// The system message box, task-modal, with the error icon.
void ShowFatalMessage(const char *text);
// A string-table text of a module; empty when the id is missing.
ClassLib::AnsiString LoadModuleString(HINSTANCE module, UINT id);
