#include "visual/DlgMessageBoxUnit.h"

#include <algorithm>
#include <cstdint>
#include <memory>

#include "foundation/StringIds.h"
#include "foundation/VxMagicFeatures.h"
#include "foundation/VxMessage.h"
#include "foundation/VxText.h"
#include "visual/ModalMinimizer.h"

using namespace ClassLib;

namespace {

// Source literals are UTF-8; the controls take ANSI text.
AnsiString Ansi(const char *utf8)
{
    return Utf8ToAnsi(utf8);
}

// The button table in visual order.
struct TButtonSlot {
    int bit;
    TBitBtn *TDlgMessageBox::*button;
};
const TButtonSlot kButtonTable[] = {
    {mbOk, &TDlgMessageBox::BtnOk},         {mbYes, &TDlgMessageBox::BtnYes},
    {mbNo, &TDlgMessageBox::BtnNo},         {mbAbort, &TDlgMessageBox::BtnAbort},
    {mbRetry, &TDlgMessageBox::BtnRetry},   {mbIgnore, &TDlgMessageBox::BtnIgnore},
    {mbCancel, &TDlgMessageBox::BtnCancel}, {mbDebug, &TDlgMessageBox::BtnDebug},
};

RECT WorkArea()
{
    RECT r{};
    if (!SystemParametersInfoW(SPI_GETWORKAREA, 0, &r, 0))
        r = RECT{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    return r;
}

// The debugging aid's bit 0x2 is asked once per process.
bool DebugButtonWanted(unsigned char kind)
{
    static bool asked = false;
    static std::uint32_t answer = 0;
    if (!asked) {
        answer = QueryMagicFeatures("VxMessageBox");
        asked = true;
    }
    if (answer & 0x2)
        return true;
    return (kind == mkWarning || kind == mkError) && (QueryMagicFeatures("VxMessageBox") & 0x1);
}

// The clipboard, open for the object's lifetime.
class TClipboardLock {
public:
    explicit TClipboardLock(HWND owner)
    {
        if (!OpenClipboard(owner))
            throw Mirelta::TVxMessage("@TDlgMessageBox: cannot open the clipboard");
    }
    ~TClipboardLock() { CloseClipboard(); }
    TClipboardLock(const TClipboardLock &) = delete;
    TClipboardLock &operator=(const TClipboardLock &) = delete;
};

// Hands a moveable global block with the bytes to the clipboard; the block
// is freed when the clipboard does not take it.
void PutClipboardData(UINT format, const void *data, size_t size)
{
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_DDESHARE, size);
    if (!block)
        throw Mirelta::TVxMessage("@TDlgMessageBox: out of memory for the clipboard");
    void *p = GlobalLock(block);
    if (!p) {
        GlobalFree(block);
        throw Mirelta::TVxMessage("@TDlgMessageBox: cannot lock the clipboard block");
    }
    memcpy(p, data, size);
    GlobalUnlock(block);
    if (!SetClipboardData(format, block)) {
        GlobalFree(block);
        throw Mirelta::TVxMessage("@TDlgMessageBox: cannot put data on the clipboard");
    }
}

} // namespace

// ---------------------------------------------------------------- TDlgMessageBox

TDlgMessageBox::TDlgMessageBox(TComponent *owner, const std::string &text, unsigned char kind, int buttons,
                               int defaultBit, int cancelBit)
    : TForm(owner)
{
    BuildLayout();

    try {
        minimizer_ = new TModalMinimizer(this);
    } catch (...) {
        // The dialog works without it; only minimising stays the form's own.
        minimizer_ = nullptr;
    }

    LPCWSTR icon = nullptr;
    switch (kind) {
    case mkInformation:
        SetCaption(Mirelta::TVxMessage(IDS_CAPTION_INFORMATION).what());
        icon = MAKEINTRESOURCEW(reinterpret_cast<ULONG_PTR>(IDI_ASTERISK));
        break;
    case mkQuestion:
        SetCaption(Mirelta::TVxMessage(IDS_CAPTION_QUESTION).what());
        icon = MAKEINTRESOURCEW(reinterpret_cast<ULONG_PTR>(IDI_QUESTION));
        break;
    case mkWarning:
        SetCaption(Mirelta::TVxMessage(IDS_CAPTION_WARNING).what());
        icon = MAKEINTRESOURCEW(reinterpret_cast<ULONG_PTR>(IDI_EXCLAMATION));
        break;
    case mkError:
        SetCaption(Mirelta::TVxMessage(IDS_CAPTION_ERROR).what());
        icon = MAKEINTRESOURCEW(reinterpret_cast<ULONG_PTR>(IDI_HAND));
        break;
    default:
        SetCaption(Application->Title());
        PnIcon->SetWidth(GetSystemMetrics(SM_CXVSCROLL));
        break;
    }
    if (icon) {
        ImIcon->Picture()->Icon()->SetHandle(LoadIconW(nullptr, icon), false);
        ImIcon->Picture()->Changed();
    }
    PnIcon->Constraints()->SetMinHeight(ImIcon->Top() + ImIcon->Height());

    if (buttons == 0)
        buttons = mbOk;
    if (DebugButtonWanted(kind))
        buttons |= mbDebug;

    CreateButtons(buttons, defaultBit, cancelBit);
    LayoutDialog(text);

    const RECT area = WorkArea();
    SetLeft(area.left + (area.right - area.left - Width()) / 2);
    SetTop(area.top + (area.bottom - area.top - Height()) / 2);
}

TBitBtn *TDlgMessageBox::MakeButton(const char *captionUtf8, int modalResult)
{
    TBitBtn *button = new TBitBtn(this);
    button->SetParent(PnButtons);
    button->SetBounds(0, 0, 106, 25);
    button->SetCaption(Ansi(captionUtf8));
    button->SetModalResult(modalResult);
    button->SetVisible(false);
    button->OnClick = Method<&TDlgMessageBox::BtnOkClick>(this);
    return button;
}

void TDlgMessageBox::BuildLayout()
{
    SetBorderStyle(bsSizeable);
    SetBorderIcons(biSystemMenu | biMinimize);
    SetColor(clBtnFace);
    Font()->SetName("MS Sans Serif");
    Font()->SetHeight(-11);
    SetShowHint(true);
    SetClientWidth(367);
    SetClientHeight(131);

    PnTop = new TPanel(this);
    PnTop->SetParent(this);
    PnTop->SetBevelOuter(bvNone);
    PnTop->SetHeight(8);
    PnTop->SetAlign(alTop);

    PnButtons = new TPanel(this);
    PnButtons->SetParent(this);
    PnButtons->SetBevelOuter(bvNone);
    PnButtons->SetHeight(77);
    PnButtons->SetAlign(alBottom);

    PnIcon = new TPanel(this);
    PnIcon->SetParent(this);
    PnIcon->SetBevelOuter(bvNone);
    PnIcon->SetWidth(50);
    PnIcon->SetAlign(alLeft);

    ImIcon = new TImage(this);
    ImIcon->SetParent(PnIcon);
    ImIcon->SetCenter(true);
    ImIcon->SetAlign(alClient);

    MmMessage = new TMemo(this);
    MmMessage->SetParent(this);
    MmMessage->SetBorderStyle(bsNone);
    MmMessage->SetColor(clBtnFace);
    MmMessage->SetReadOnly(true);
    MmMessage->SetHideSelection(false);
    MmMessage->SetScrollBars(ssVertical);
    MmMessage->SetWantReturns(false);
    MmMessage->SetAlign(alClient);

    BtnOk = MakeButton("OK", mrOk);
    BtnCancel = MakeButton("Отмена", mrCancel);
    BtnYes = MakeButton("&Да", mrYes);
    BtnNo = MakeButton("&Нет", mrNo);
    BtnAbort = MakeButton("Прерв&ать", mrAbort);
    BtnRetry = MakeButton("По&вторить", mrRetry);
    BtnIgnore = MakeButton("&Пропустить", mrIgnore);
    BtnDebug = MakeButton("&Отладка", mrRetry);

    ActionList1 = new TActionList(this);
    AcCopy = new TAction(this);
    AcCopy->SetActionList(ActionList1);
    AcCopy->SetCategory("Edit");
    AcCopy->SetShortCut(ShortCut('C', ssCtrl));
    AcCopy->OnExecute = Method<&TDlgMessageBox::AcCopyExecute>(this);
    AcCopy1 = new TAction(this);
    AcCopy1->SetActionList(ActionList1);
    AcCopy1->SetCategory("Edit");
    AcCopy1->SetShortCut(ShortCut(VK_INSERT, ssCtrl));
    AcCopy1->OnExecute = Method<&TDlgMessageBox::AcCopyExecute>(this);

    OnCloseQuery = Method<&TDlgMessageBox::FormCloseQuery>(this);
    OnResize = Method<&TDlgMessageBox::FormResize>(this);
    OnShow = Method<&TDlgMessageBox::FormShow>(this);
}

void TDlgMessageBox::CreateButtons(int buttons, int defaultBit, int cancelBit)
{
    for (const TButtonSlot &slot : kButtonTable)
        if (buttons & slot.bit)
            buttonList_.push_back(TBtnData{slot.bit, this->*slot.button});

    const int oldHeight = PnButtons->Height();
    const int newHeight = BtnOk->Height() + 2 * Margin;
    PnButtons->SetHeight(newHeight);
    SetClientHeight(ClientHeight() + newHeight - oldHeight);

    bool defaultFound = false;
    bool cancelFound = false;
    for (size_t i = 0; i < buttonList_.size(); ++i) {
        TBitBtn *button = buttonList_[i].button;
        button->SetTop(Margin);
        button->SetVisible(true);
        button->SetTabOrder(static_cast<int>(i));
        if (i == 0)
            SetActiveControl(button);
        if (buttonList_[i].bit == defaultBit) {
            button->SetDefault(true);
            SetActiveControl(button);
            defaultFound = true;
        }
        if (buttonList_[i].bit == cancelBit) {
            button->SetCancel(true);
            cancelFound = true;
        }
    }
    ArrangeButtons();
    if (!defaultFound && !cancelFound)
        EnableMenuItem(GetSystemMenu(Handle(), FALSE), SC_CLOSE, MF_BYCOMMAND | MF_GRAYED);
}

void TDlgMessageBox::ArrangeButtons()
{
    if (!PnButtons || !PnIcon)
        return;
    int total = 0;
    for (size_t i = 0; i < buttonList_.size(); ++i)
        total += buttonList_[i].button->Width() + (i ? Gap : 0);
    const int minWidth = total + 2 * SideMargin - PnIcon->Width();
    // Widen the dialog first, so that the limit never has to push the row
    // out of the form.
    if (PnButtons->Width() < minWidth && PnButtons->Align() == alBottom)
        SetClientWidth(ClientWidth() + minWidth - PnButtons->Width());
    PnButtons->Constraints()->SetMinWidth(minWidth);
    int x = (PnButtons->Width() - total) / 2;
    for (const TBtnData &data : buttonList_) {
        data.button->SetLeft(x);
        x += data.button->Width() + Gap;
    }
}

void TDlgMessageBox::LayoutDialog(const std::string &text)
{
    const RECT area = WorkArea();
    const int maxW = (area.right - area.left) - 2 * GetSystemMetrics(SM_CXFRAME);
    const int maxH = (area.bottom - area.top) - 2 * GetSystemMetrics(SM_CYFRAME) - GetSystemMetrics(SM_CYCAPTION);
    const int maxText = std::max(1, maxW - PnIcon->Width() - GetSystemMetrics(SM_CXVSCROLL));

    int w = 0;
    size_t start = 0;
    for (;;) {
        const size_t lf = text.find('\n', start);
        const std::string line = text.substr(start, lf == std::string::npos ? std::string::npos : lf - start);
        const int lineWidth = line.empty() ? 0 : Canvas()->TextWidth(line);
        if (lineWidth > maxText) {
            w = maxText;
            break;
        }
        w = std::max(w, lineWidth);
        if (lf == std::string::npos)
            break;
        start = lf + 1;
        if (start >= text.size())
            break;
    }
    SetClientWidth(std::max(ClientWidth(), std::min(maxW, w + PnIcon->Width() + GetSystemMetrics(SM_CXVSCROLL))));

    MmMessage->SetText(text);
    int h = Canvas()->TextHeight("1");
    if (h == 0)
        h = 1;
    const int textHeight = MmMessage->Lines()->Count() * h;
    SetClientHeight(std::max(ClientHeight(), std::min(maxH, textHeight + PnTop->Height() + PnButtons->Height())));

    if (MmMessage->Height() >= textHeight + 2 * h) {
        const int n = (MmMessage->Height() - textHeight) / (2 * h);
        MmMessage->SetText(std::string(static_cast<size_t>(n), '\n') + text);
    }
    UpdateScrollBars();
}

void TDlgMessageBox::UpdateScrollBars()
{
    if (!MmMessage)
        return;
    const int h = Canvas()->TextHeight("1");
    const bool fits = MmMessage->Height() >= MmMessage->Lines()->Count() * h;
    MmMessage->SetScrollBars(fits ? ssNone : ssVertical);
}

void TDlgMessageBox::FormShow(TObject *)
{
    SetForegroundWindow(Handle());
    BringWindowToTop(Handle());
}

void TDlgMessageBox::FormResize(TObject *)
{
    ArrangeButtons();
    UpdateScrollBars();
}

void TDlgMessageBox::Answer(const TBtnData &data)
{
    result_ = data.bit;
    SetModalResult(data.button->ModalResult());
}

void TDlgMessageBox::BtnOkClick(TObject *sender)
{
    for (const TBtnData &data : buttonList_) {
        if (data.button == sender) {
            Answer(data);
            return;
        }
    }
}

bool TDlgMessageBox::AnswerByCloseRule()
{
    if (result_ != 0)
        return true;
    for (const TBtnData &data : buttonList_) {
        if (data.button->Cancel()) {
            Answer(data);
            return true;
        }
    }
    for (const TBtnData &data : buttonList_) {
        if (data.button->Default()) {
            Answer(data);
            return true;
        }
    }
    return false;
}

void TDlgMessageBox::FormCloseQuery(TObject *, bool &canClose)
{
    canClose = AnswerByCloseRule();
    if (!canClose)
        MessageBeep(0xFFFFFFFF);
}

void TDlgMessageBox::AcCopyExecute(TObject *)
{
    AnsiString text = MmMessage->SelText();
    if (text.empty())
        text = MmMessage->Text();
    TClipboardLock clipboard(Handle());
    EmptyClipboard();
    PutClipboardData(CF_TEXT, text.c_str(), text.size() + 1);
    const LCID locale = GetUserDefaultLCID();
    PutClipboardData(CF_LOCALE, &locale, sizeof(locale));
}

// ---------------------------------------------------------------- front end

int ShowMessageDialog(const std::string &text, unsigned char kind, int buttons, int defaultBit, int cancelBit)
{
    for (;;) {
        std::unique_ptr<TDlgMessageBox> dialog(new TDlgMessageBox(nullptr, text, kind, buttons, defaultBit, cancelBit));
        // An application told to terminate shows no dialog: it is answered
        // by the close rule, also when the order to terminate arrives while
        // the dialog is up and ends its modal loop.
        if (!Application->Terminated()) {
            Application->NormalizeTopMosts();
            try {
                dialog->ShowModal();
            } catch (...) {
                Application->RestoreTopMosts();
                throw;
            }
            Application->RestoreTopMosts();
        }
        dialog->AnswerByCloseRule();
        const int result = dialog->Result();
        dialog.reset();
        if (result != mbDebug)
            return result;
        DebugBreak();
    }
}

bool AskYesNo(const std::string &text)
{
    return ShowMessageDialog(text, mkQuestion, mbYes | mbNo, mbYes, mbNo) == mbYes;
}

int AskYesNoCancel(const std::string &text)
{
    switch (ShowMessageDialog(text, mkQuestion, mbYes | mbNo | mbCancel, mbYes, mbCancel)) {
    case mbYes:
        return IDYES;
    case mbNo:
        return IDNO;
    default:
        return IDCANCEL;
    }
}

bool AskOkCancel(const std::string &text)
{
    return ShowMessageDialog(text, mkWarning, mbOk | mbCancel, mbOk, mbCancel) == mbOk;
}

void ShowWarning(const std::string &text)
{
    ShowMessageDialog(text, mkWarning, mbOk, mbOk, mbOk);
}

int AskAbortIgnore(const std::string &text)
{
    return ShowMessageDialog(text, mkWarning, mbAbort | mbIgnore, mbIgnore, mbAbort) == mbAbort ? IDABORT
                                                                                                 : IDIGNORE;
}

void ShowError(const std::string &text)
{
    try {
        ShowMessageDialog(text, mkError, mbOk, mbOk, mbOk);
    } catch (...) {
        ShowFatalMessage(text.c_str());
    }
}

void ShowFatalMessage(const char *text)
{
    AnsiString title;
    try {
        title = Application->Title();
    } catch (...) {
    }
    MessageBoxA(nullptr, text, title.c_str(), MB_TASKMODAL | MB_ICONHAND);
}

AnsiString LoadModuleString(HINSTANCE module, UINT id)
{
    char buffer[1024];
    buffer[0] = 0;
    int n = LoadStringA(module, id, buffer, sizeof(buffer));
    if (n <= 0)
        return AnsiString();
    return AnsiString(buffer, static_cast<size_t>(n));
}
