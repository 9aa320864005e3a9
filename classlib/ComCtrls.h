// Common controls: the progress bar and the rich-text box.
#pragma once

#include <string>

#include "classlib/Controls.h"
#include "classlib/StdCtrls.h"

namespace ClassLib {

// The common progress bar. Subclasses may paint it themselves (csCustomPaint
// and PaintWindow) and see its messages through WndProc.
class TProgressBar : public TControl {
public:
    explicit TProgressBar(TComponent *owner);
    int Min() const noexcept { return min_; }
    void SetMin(int v);
    int Max() const noexcept { return max_; }
    void SetMax(int v);
    int Position() const;
    void SetPosition(int v);
    // Advances Position by StepSize.
    void StepIt();
    int StepSize() const noexcept { return step_; }
    void SetStepSize(int v);

private:
    int min_ = 0;
    int max_ = 100;
    int step_ = 10;
};

// Why the rich-text box refused a document.
enum TRichTextFault {
    rfNotRichText,  // it does not begin as an RTF document does ("{\rtf")
    rfDamaged,      // it ends inside a group (cut short), or the control rejected it
    rfNestedTooDeep // its groups nest deeper than a real document's
};

// A document the rich-text box cannot show; Fault says why.
class ERichTextError : public Exception {
public:
    ERichTextError(TRichTextFault fault, const AnsiString &message) : Exception(message), fault_(fault) {}
    TRichTextFault Fault() const noexcept { return fault_; }

private:
    TRichTextFault fault_;
};

// A rich-text box; LoadRtf shows an RTF document held in memory.
class TRichEdit : public TControl {
public:
    explicit TRichEdit(TComponent *owner);
    // Replaces the content by the RTF document; throws ERichTextError when it
    // is not RTF, is damaged or nests too deeply (the content is then
    // undefined).
    void LoadRtf(const std::string &rtf);
    bool ReadOnly() const noexcept { return readOnly_; }
    void SetReadOnly(bool v);
    TScrollStyle ScrollBars() const noexcept { return scrollBars_; }
    void SetScrollBars(TScrollStyle style);
    // The text as plain text (paragraphs ended by CR).
    AnsiString PlainText() const { return Text(); }

protected:
    // The font's face and size are the default format: text the document
    // formats itself keeps its own.
    void FontChanged() override;
    LRESULT WndProc(UINT msg, WPARAM wParam, LPARAM lParam) override;
    void ColorChanged() override;
    bool WantsChars() const override { return !readOnly_; }

private:
    void ShowVerticalScrollBarAhead();
    // Makes the control take text of that many characters (its text limit).
    void AdmitText(size_t characters);

    bool readOnly_ = false;
    TScrollStyle scrollBars_ = ssNone;
};

} // namespace ClassLib
