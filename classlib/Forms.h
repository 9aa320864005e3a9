// Forms, frames, the application object and the screen object.
//
// TApplication owns the hidden application window (the owner of every form,
// whose minimising hides the whole program), creates forms (the first one
// becomes the main form), runs the message loop and shows exceptions that
// reach it. Every loop (Run, ShowModal, ProcessMessages) routes keys the same
// way before dispatching: action shortcuts of the form, Tab and Shift+Tab,
// Return for the focused or default button, Escape for the cancel button and
// Alt+mnemonic.
//
// TForm is a top-level window: border style and icons, client size, centred
// position, maximised state, ActiveControl, ModalResult with ShowModal (the
// thread's other top-level windows are disabled meanwhile), Close with
// OnCloseQuery and OnClose, OnShow, OnResize, and one tooltip for the hints of
// its controls.
//
// Application and Screen are usable from any static initialiser:
//     ClassLib::Application->CreateForm(FrmMain);
//
// Forms start hidden; Run shows the main form only. A layout is built in the
// form's constructor, each control owned by the form and given its parent:
//     PnButtons = new TPanel(this);
//     PnButtons->SetParent(this);
//     PnButtons->SetHeight(35);
//     PnButtons->SetAlign(alBottom);
//     ButNext = new TButton(this);
//     ButNext->SetParent(PnButtons);
//     ButNext->OnClick = Method<&TFrmMain::ButNextClick>(this);
// Texts are ANSI (code page 1251): source literals in UTF-8 go through
// Utf8ToAnsi first.
#pragma once

#include <windows.h>

#include <exception>
#include <functional>
#include <map>
#include <memory>
#include <new>
#include <vector>

#include "classlib/Controls.h"

namespace ClassLib {

enum TBorderIcon : unsigned { biSystemMenu = 1, biMinimize = 2, biMaximize = 4 };
enum TPosition { poDesigned, poScreenCenter };
enum TWindowState { wsNormal, wsMinimized, wsMaximized };
enum TCloseAction { caNone, caHide, caFree, caMinimize };

typedef int TModalResult;
enum : TModalResult {
    mrNone = 0,
    mrOk = IDOK,
    mrCancel = IDCANCEL,
    mrAbort = IDABORT,
    mrRetry = IDRETRY,
    mrIgnore = IDIGNORE,
    mrYes = IDYES,
    mrNo = IDNO,
};

using TCloseEvent = TEvent<TObject *, TCloseAction &>;
using TCloseQueryEvent = TEvent<TObject *, bool &>;

class TForm : public TWinControl {
public:
    explicit TForm(TComponent *owner);
    ~TForm() override;

    TFormBorderStyle BorderStyle() const noexcept { return borderStyle_; }
    void SetBorderStyle(TFormBorderStyle style);
    unsigned BorderIcons() const noexcept { return borderIcons_; }
    void SetBorderIcons(unsigned icons);
    TPosition Position() const noexcept { return position_; }
    void SetPosition(TPosition position) { position_ = position; }
    TWindowState WindowState() const;
    void SetWindowState(TWindowState state);

    // The control that has (or gets, when the form is shown) the focus.
    TControl *ActiveControl() const noexcept { return activeControl_; }
    void SetActiveControl(TControl *control);
    bool Active() const;

    TModalResult ModalResult() const noexcept { return modalResult_; }
    void SetModalResult(TModalResult result) noexcept { modalResult_ = result; }
    bool Modal() const noexcept { return modal_; }
    // Shows the form and runs a message loop until ModalResult is set and the
    // form agrees to close; returns ModalResult.
    TModalResult ShowModal();
    // A modal form sets ModalResult to mrCancel; any other asks OnCloseQuery,
    // then OnClose with caHide; closing the main form ends the application.
    void Close();
    bool CloseQuery();
    // Frees the form once the current message has been handled.
    void Release();

    void SetVisible(bool v) override;
    // Measures in the form's font.
    TCanvas *Canvas();

    // Keyboard: shortcuts of the form's action lists, then dialog keys.
    bool IsShortCut(TShortCut shortCut);
    // Moves the focus to the next (or previous) tab stop after current.
    void SelectNext(TControl *current, bool forward);
    // Routes one keyboard message of this form; true when it was used.
    bool RouteKey(const MSG &msg, TControl *focused);

    TNotifyEvent OnShow;
    TNotifyEvent OnHide;
    TNotifyEvent OnResize;
    TNotifyEvent OnActivate;
    TNotifyEvent OnDeactivate;
    TCloseEvent OnClose;
    TCloseQueryEvent OnCloseQuery;

    // Called by the controls.
    void FocusChanged(TControl *control);
    // The focus was on lost (or inside it) when it was disabled or hidden:
    // it goes to the next tab stop after lost that can take it, else to the
    // form itself.
    void FocusNextAfter(TControl *lost);
    void UpdateHints();

protected:
    LRESULT WndProc(UINT msg, WPARAM wParam, LPARAM lParam) override;
    void Resized() override;
    virtual void DoShow();
    virtual void DoHide();
    virtual void DoClose(TCloseAction &action);

private:
    void ApplyBorder();
    void CloseModal();
    void FocusActiveControl();
    void CollectHintTools(TControl *control, std::map<HWND, std::wstring> &tools);

    TFormBorderStyle borderStyle_ = bsSizeable;
    unsigned borderIcons_ = biSystemMenu | biMinimize | biMaximize;
    TPosition position_ = poDesigned;
    TWindowState windowState_ = wsNormal;
    TControl *activeControl_ = nullptr;
    TModalResult modalResult_ = mrNone;
    bool modal_ = false;
    bool shownOnce_ = false;
    std::unique_ptr<TCanvas> canvas_;
    HWND tooltip_ = nullptr; // owned by the form's window
    std::map<HWND, std::wstring> tools_;
};

// A container for a page of controls inside a form.
class TFrame : public TWinControl {
public:
    explicit TFrame(TComponent *owner);
};

using TExceptionHandler = std::function<void(std::exception_ptr)>;

class TApplication : public TComponent {
public:
    TApplication();
    ~TApplication() override;

    // Prepares the application; the common controls (version 6 with the
    // program's manifest) are loaded when the first window is made.
    void Initialize();
    // The application window: owner of every form.
    HWND Handle();
    AnsiString Title() const { return title_; }
    void SetTitle(const AnsiString &title);
    TForm *MainForm() const noexcept { return mainForm_; }

    // Creates a form owned by the application; reference is set before the
    // form's constructor runs, so the constructor may already use it. The
    // first form created becomes the main form.
    template <class T>
    void CreateForm(T *&reference)
    {
        void *memory = ::operator new(sizeof(T));
        reference = static_cast<T *>(memory);
        try {
            new (memory) T(this);
        } catch (...) {
            reference = nullptr;
            ::operator delete(memory);
            throw;
        }
        FormCreated(reference);
    }

    // Shows the main form and handles messages until Terminate.
    void Run();
    void Terminate();
    bool Terminated() const noexcept { return terminated_; }
    // Handles every waiting message, then returns.
    void ProcessMessages();
    // Handles one message, waiting for one when none is there.
    void HandleMessage();

    // Minimize hides the program's forms and shows the application window
    // minimised; Restore brings them back with the form that was active.
    void Minimize();
    void Restore();
    // The forms' part of Minimize and Restore, without the events: HideForms
    // hides every visible window the application window owns (also through
    // another form, as a modal dialog is) and remembers the active one;
    // ShowForms shows them again and activates that window. Each does
    // nothing when the forms are already in that state.
    void HideForms();
    void ShowForms();
    TNotifyEvent OnMinimize;
    TNotifyEvent OnRestore;

    // Takes the program's topmost windows out of the topmost layer while a
    // message box is up, and puts them back (calls nest).
    void NormalizeTopMosts();
    void RestoreTopMosts();

    // Shows an exception through the installed handler, or the exception box.
    void HandleException(std::exception_ptr error) noexcept;
    // The exception box: a message box with the text and the title.
    void ShowException(const AnsiString &message) noexcept;
    // Installs the handler of exceptions that reach a loop or a callback;
    // returns the previous one. An empty handler restores the exception box.
    TExceptionHandler SetExceptionHandler(TExceptionHandler handler);

    // Routes a keyboard message to its form; true when it was used.
    bool IsKeyMsg(const MSG &msg);
    // Called by TForm.
    void FormDestroyed(TForm *form) noexcept;

private:
    bool ProcessMessage(MSG &msg);
    void FormCreated(TForm *form);
    static LRESULT CALLBACK AppWndProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam);
    LRESULT AppWndMessage(UINT msg, WPARAM wParam, LPARAM lParam);

    HWND handle_ = nullptr; // destroyed with the object
    AnsiString title_;
    TForm *mainForm_ = nullptr;
    bool terminated_ = false;
    bool initialized_ = false;
    int topMostLevel_ = 0;
    std::vector<HWND> topMostList_;
    bool minimized_ = false;
    std::vector<HWND> hiddenByMinimize_;
    HWND activeBeforeMinimize_ = nullptr;
    TExceptionHandler exceptionHandler_;
};

// The screen: its size, work area and the list of forms.
class TScreen : public TObject {
public:
    TScreen();
    int Width() const;
    int Height() const;
    RECT WorkAreaRect() const;
    int PixelsPerInch() const { return ScreenPixelsPerInch(); }
    int FormCount() const { return forms_->Count(); }
    TForm *Forms(int index) const { return static_cast<TForm *>(forms_->Items(index)); }
    TForm *ActiveForm() const;
    // The list the forms are added to; a replacement stays the caller's.
    TList *FormList() const noexcept { return forms_; }
    void SetFormList(TList *list) noexcept { forms_ = list ? list : own_.get(); }

    void AddForm(TForm *form);
    void RemoveForm(TForm *form) noexcept;

private:
    std::unique_ptr<TList> own_;
    TList *forms_;
};

TApplication &ApplicationInstance();
TScreen &ScreenInstance();

// Pointer-like access to the one application and screen object, valid from
// any static initialiser on.
struct TApplicationRef {
    TApplication *operator->() const { return &ApplicationInstance(); }
    operator TApplication *() const { return &ApplicationInstance(); }
};
struct TScreenRef {
    TScreen *operator->() const { return &ScreenInstance(); }
    operator TScreen *() const { return &ScreenInstance(); }
};
inline constexpr TApplicationRef Application{};
inline constexpr TScreenRef Screen{};

} // namespace ClassLib
