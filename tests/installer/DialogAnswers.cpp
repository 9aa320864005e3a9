#include "DialogAnswers.h"

#include <gtest/gtest.h>

#include "classlib/Forms.h"
#include "foundation/VxText.h"
#include "installer/InstParams.h"
#include "visual/DlgMessageBoxUnit.h"

namespace InstallTest {

namespace {

TDialogAnswers *activeAnswers = nullptr;

TDlgMessageBox *ShownDialog()
{
    for (int i = ClassLib::Screen->FormCount() - 1; i >= 0; --i)
        if (auto *dialog = dynamic_cast<TDlgMessageBox *>(ClassLib::Screen->Forms(i)))
            if (dialog->Visible() && IsWindowVisible(dialog->Handle()))
                return dialog;
    return nullptr;
}

} // namespace

TDialogAnswers::TDialogAnswers(std::vector<int> answers) : answers_(std::move(answers))
{
    activeAnswers = this;
    timer_ = SetTimer(nullptr, 0, 20, &TDialogAnswers::Tick);
}

TDialogAnswers::~TDialogAnswers()
{
    if (timer_)
        KillTimer(nullptr, timer_);
    activeAnswers = nullptr;
}

void CALLBACK TDialogAnswers::Tick(HWND, UINT, UINT_PTR, DWORD)
{
    try {
        if (activeAnswers)
            activeAnswers->Answer();
    } catch (...) {
        ADD_FAILURE() << "answering a dialog failed";
    }
}

void TDialogAnswers::Answer()
{
    TDlgMessageBox *dialog = ShownDialog();
    if (!dialog || dialog->ButtonList().empty())
        return;
    TShownDialog shown;
    // The memo shows line breaks as CR LF and centres short texts with
    // leading ones; the text is recorded as the program passed it.
    const std::string memo = ToStdString(dialog->MmMessage->Text());
    for (size_t i = memo.find_first_not_of("\r\n"); i < memo.size(); ++i)
        if (!(memo[i] == '\r' && i + 1 < memo.size() && memo[i + 1] == '\n'))
            shown.text += memo[i];
    for (const TDlgMessageBox::TBtnData &data : dialog->ButtonList())
        shown.buttons |= data.bit;
    shown.caption = ToStdString(dialog->Caption());

    int answer = 0;
    if (shown_.size() < answers_.size()) {
        answer = answers_[shown_.size()];
    } else {
        for (int bit : {mbCancel, mbAbort, mbNo})
            if (!answer && (shown.buttons & bit))
                answer = bit;
    }
    shown_.push_back(shown);
    if (beforeAnswer)
        beforeAnswer(shown);
    for (const TDlgMessageBox::TBtnData &data : dialog->ButtonList()) {
        if (data.bit == answer) {
            data.button->Click();
            return;
        }
    }
    dialog->ButtonList().front().button->Click();
}

std::string A(const char *utf8)
{
    return Utf8ToAnsi(utf8);
}

} // namespace InstallTest
