// Answers the program's message dialogs while a test runs the installer: each
// dialog shown is recorded (text and kind) and closed with the next button bit
// of the list. A dialog beyond the list is closed by its cancel-like button
// (Cancel, Abort or No, else the first) and still recorded, so that a test
// sees an unexpected question instead of hanging.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace InstallTest {

struct TShownDialog {
    std::string text;    // ANSI, as shown
    int buttons = 0;     // the bits of the buttons shown
    std::string caption; // the title, which tells the kind (error, warning, question...)
};

class TDialogAnswers {
public:
    explicit TDialogAnswers(std::vector<int> answers = {});
    ~TDialogAnswers();
    TDialogAnswers(const TDialogAnswers &) = delete;
    TDialogAnswers &operator=(const TDialogAnswers &) = delete;

    const std::vector<TShownDialog> &Shown() const { return shown_; }
    // Runs before each dialog is answered, with the dialog as recorded.
    std::function<void(const TShownDialog &)> beforeAnswer;

private:
    static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD);
    void Answer();

    std::vector<int> answers_;
    std::vector<TShownDialog> shown_;
    UINT_PTR timer_ = 0;
};

// Source literals are UTF-8; the program's texts are ANSI.
std::string A(const char *utf8);

} // namespace InstallTest
