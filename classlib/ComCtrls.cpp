#include "classlib/ComCtrls.h"

#include <commctrl.h>
#include <richedit.h>

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstring>
#include <string>

#include "classlib/Barrier.h"
#include "foundation/VxText.h"

namespace ClassLib {

namespace {

// The rich-edit library is loaded once and never freed: rich-edit windows
// may be destroyed after the static objects (the application's forms go last),
// and their window procedure must still be there then.
const wchar_t *RichEditClass()
{
    static HMODULE library = nullptr;
    if (!library)
        library = LoadLibraryW(L"riched20.dll");
    if (!library)
        throw Exception("The rich-text control is not available");
    return RICHEDIT_CLASSW;
}

// Deeper nesting of groups than a real document has. The control keeps a
// state per open group and is not safe against more (it fails at 33 levels
// on some systems).
const size_t kMaxRtfGroupDepth = 32;

// What a look at a document's groups found: whether they nest no deeper than
// the limit (the look stops at the first group beyond it), and whether every
// group opened is closed again (a document cut short is not).
struct TRtfGroups {
    bool withinLimit = true;
    bool closed = true;
};

// Braces escaped as \{ and \} open and close no group. Binary data (\binN)
// is skipped by some readers and read as text by others: for the limit each
// of its opening braces counts, none of its closing ones; for the closing it
// is data.
TRtfGroups ScanRtfGroups(const std::string &rtf, size_t limit)
{
    TRtfGroups groups;
    const size_t n = rtf.size();
    size_t depth = 0, binaryOpened = 0;
    auto opened = [&] {
        if (depth + binaryOpened <= limit)
            return true;
        groups.withinLimit = false;
        return false;
    };
    for (size_t i = 0; i < n; ++i) {
        const char c = rtf[i];
        if (c == '{') {
            ++depth;
            if (!opened())
                return groups;
        } else if (c == '}') {
            if (depth > 0)
                --depth;
        } else if (c == '\\' && i + 1 < n) {
            if (!std::isalpha(static_cast<unsigned char>(rtf[i + 1]))) {
                ++i; // a control symbol: \{ \} \\ and the like
                continue;
            }
            size_t j = i + 1;
            while (j < n && std::isalpha(static_cast<unsigned char>(rtf[j])))
                ++j;
            const bool bin = rtf.compare(i + 1, j - i - 1, "bin") == 0;
            const bool negative = j < n && rtf[j] == '-';
            if (negative)
                ++j;
            unsigned long long count = 0;
            while (j < n && std::isdigit(static_cast<unsigned char>(rtf[j]))) {
                if (count < n)
                    count = count * 10 + static_cast<unsigned>(rtf[j] - '0');
                ++j;
            }
            if (j < n && rtf[j] == ' ') // the delimiter belongs to the control word
                ++j;
            if (bin && !negative) {
                const size_t end = count < n - j ? j + static_cast<size_t>(count) : n;
                for (; j < end; ++j) {
                    if (rtf[j] == '{') {
                        ++binaryOpened;
                        if (!opened())
                            return groups;
                    }
                }
            }
            i = j - 1;
        }
    }
    groups.closed = depth == 0;
    return groups;
}

struct TRtfReader {
    const std::string *data;
    size_t position;
};

DWORD CALLBACK RtfStreamIn(DWORD_PTR cookie, LPBYTE buffer, LONG size, LONG *read)
{
    DWORD result = 1;
    Guarded([&] {
        auto *reader = reinterpret_cast<TRtfReader *>(cookie);
        size_t left = reader->data->size() - reader->position;
        size_t n = std::min(left, static_cast<size_t>(size < 0 ? 0 : size));
        std::memcpy(buffer, reader->data->data() + reader->position, n);
        reader->position += n;
        *read = static_cast<LONG>(n);
        result = 0;
    });
    return result;
}

} // namespace

// ---------------------------------------------------------------- TProgressBar

TProgressBar::TProgressBar(TComponent *owner) : TControl(owner)
{
    CreateHandle(PROGRESS_CLASSW, WS_CHILD | WS_CLIPSIBLINGS, 0);
    SetBounds(0, 0, 150, 17);
    Perform(PBM_SETRANGE32, static_cast<WPARAM>(min_), static_cast<LPARAM>(max_));
    Perform(PBM_SETSTEP, static_cast<WPARAM>(step_));
}

void TProgressBar::SetMin(int v)
{
    min_ = v;
    Perform(PBM_SETRANGE32, static_cast<WPARAM>(min_), static_cast<LPARAM>(max_));
}

void TProgressBar::SetMax(int v)
{
    max_ = v;
    Perform(PBM_SETRANGE32, static_cast<WPARAM>(min_), static_cast<LPARAM>(max_));
}

int TProgressBar::Position() const
{
    return Handle() ? static_cast<int>(SendMessageW(Handle(), PBM_GETPOS, 0, 0)) : 0;
}

void TProgressBar::SetPosition(int v)
{
    Perform(PBM_SETPOS, static_cast<WPARAM>(v));
}

void TProgressBar::StepIt()
{
    Perform(PBM_STEPIT);
}

void TProgressBar::SetStepSize(int v)
{
    step_ = v;
    Perform(PBM_SETSTEP, static_cast<WPARAM>(v));
}

// ---------------------------------------------------------------- TRichEdit

TRichEdit::TRichEdit(TComponent *owner) : TControl(owner)
{
    SetParentColor(false);
    SetColor(clWindow);
    SetTabStop(true);
    CreateHandle(RichEditClass(), WS_CHILD | WS_CLIPSIBLINGS | WS_TABSTOP | ES_MULTILINE | ES_AUTOVSCROLL,
                 WS_EX_CLIENTEDGE);
    SetBounds(0, 0, 185, 89);
    ColorChanged();
}

void TRichEdit::LoadRtf(const std::string &rtf)
{
    // The control takes anything else for plain text, or refuses it.
    if (rtf.compare(0, 5, "{\\rtf") != 0)
        throw ERichTextError(rfNotRichText, "The text is not an RTF document");
    const TRtfGroups groups = ScanRtfGroups(rtf, kMaxRtfGroupDepth);
    if (!groups.withinLimit)
        throw ERichTextError(rfNestedTooDeep, "The RTF document's groups nest too deeply");
    // Some versions of the control show what they read of a document cut short
    // and report nothing.
    if (!groups.closed)
        throw ERichTextError(rfDamaged, "The RTF document ends inside a group");
    // The control stops reading a document at its text limit (32,767
    // characters unless raised) and says nothing. A document yields no more
    // characters than it has bytes: each character of its text takes a byte at
    // least, each paragraph mark (CR LF, two) four ("\par").
    AdmitText(rtf.size());
    ShowVerticalScrollBarAhead();
    TRtfReader reader{&rtf, 0};
    EDITSTREAM stream{};
    stream.dwCookie = reinterpret_cast<DWORD_PTR>(&reader);
    stream.pfnCallback = &RtfStreamIn;
    Perform(EM_STREAMIN, SF_RTF, reinterpret_cast<LPARAM>(&stream));
    if (stream.dwError != 0)
        throw ERichTextError(rfDamaged, AnsiString::Format("The rich-text control rejected the document (error %lu)",
                                                           static_cast<unsigned long>(stream.dwError)));
}

// A document longer than the view makes the control show its vertical scroll
// bar, which narrows the text, and lay the whole document out a second time;
// under Wine that costs more than the first layout, growing with the square
// of the number of paragraphs. With the bar already shown (by a placeholder of
// empty lines, more than the view holds) the document is laid out once, at
// the width it keeps. A document that fits hides the bar again, as before.
void TRichEdit::ShowVerticalScrollBarAhead()
{
    if (scrollBars_ != ssVertical && scrollBars_ != ssBoth)
        return;
    const std::wstring lines(static_cast<size_t>(std::max(ClientHeight(), 1)) + 1, L'\r');
    AdmitText(lines.size());
    SetWindowTextW(Handle(), lines.c_str());
}

// The limit is raised, never lowered: it admits what an earlier load admitted.
void TRichEdit::AdmitText(size_t characters)
{
    const size_t wanted = std::min(characters, static_cast<size_t>(INT_MAX));
    const LRESULT limit = Perform(EM_GETLIMITTEXT);
    if (limit >= 0 && static_cast<size_t>(limit) >= wanted)
        return;
    Perform(EM_EXLIMITTEXT, 0, static_cast<LPARAM>(wanted));
}

void TRichEdit::SetReadOnly(bool v)
{
    readOnly_ = v;
    Perform(EM_SETREADONLY, v ? TRUE : FALSE);
}

void TRichEdit::SetScrollBars(TScrollStyle style)
{
    if (style == scrollBars_)
        return;
    scrollBars_ = style;
    const bool v = style == ssVertical || style == ssBoth, h = style == ssHorizontal || style == ssBoth;
    ChangeStyle((v ? WS_VSCROLL : 0) | (h ? WS_HSCROLL : 0), (v ? 0 : WS_VSCROLL) | (h ? 0 : WS_HSCROLL));
    Perform(EM_SHOWSCROLLBAR, SB_VERT, v ? TRUE : FALSE);
    Perform(EM_SHOWSCROLLBAR, SB_HORZ, h ? TRUE : FALSE);
}

void TRichEdit::FontChanged()
{
    CHARFORMAT2W format{};
    format.cbSize = sizeof(format);
    format.dwMask = CFM_FACE | CFM_SIZE;
    std::wstring face = AnsiToWide(Font()->Name());
    wcsncpy(format.szFaceName, face.c_str(), LF_FACESIZE - 1);
    format.yHeight = Font()->Size() * 20; // twips
    Perform(EM_SETCHARFORMAT, SCF_DEFAULT, reinterpret_cast<LPARAM>(&format));
    TControl::FontChanged();
}

LRESULT TRichEdit::WndProc(UINT msg, WPARAM wParam, LPARAM lParam)
{
    // The control gives a font set this way to all of its text, over the
    // document's own faces, sizes and styles. While it holds none the font is
    // its base format (the control needs one before it reads a document);
    // afterwards the font is the default format only (FontChanged).
    if (msg == WM_SETFONT && GetWindowTextLengthW(Handle()) > 0)
        return 0;
    return TControl::WndProc(msg, wParam, lParam);
}

void TRichEdit::ColorChanged()
{
    Perform(EM_SETBKGNDCOLOR, 0, static_cast<LPARAM>(ColorToRGB(Color())));
    TControl::ColorChanged();
}

} // namespace ClassLib
