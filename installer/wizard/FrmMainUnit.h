// The wizard's main form of run modes 0 and 1: a fixed dialog with the side
// picture, the build label and the buttons Back, Next and Cancel, holding the
// ordered list of pages and stepping through it.
//
// The constructor builds the list of pages of the run mode (mode 1 has only
// the progress and finish pages); each page's windows are made, placed and
// initialised when the page is first shown, so that the form comes on the
// screen without waiting for pages the user may never see. A page that cannot
// be set up ends the wizard after the box that says why, as if it had failed
// while the form was made. The first page is shown 10 ms after the form, from
// the start timer. Moving forward asks the current page's LeavePage, moving
// back only stores it. Next on the last page runs the finish actions and
// closes the form. Closing asks question 30010 unless the close-allowed flag
// is set; while the installation runs a Yes only raises the settings' cancel
// flag, and the progress page closes the form once the engine has stopped.
// After the application was told to terminate the form shows no box: closing
// then counts as a confirmed cancel.
#pragma once

#include <functional>
#include <vector>

#include "classlib/ExtCtrls.h"
#include "classlib/Forms.h"
#include "classlib/StdCtrls.h"
#include "installer/InstParams.h"
#include "installer/wizard/BaseFrameClass.h"
#include "installer/wizard/WizardHost.h"

class TFrmMain;

// One entry of the wizard's page list: the page once it is made, and until
// then the function that makes it (owned by the form).
struct TWizardPageSlot {
    std::function<TBaseFrameClass *(TFrmMain *form)> make;
    TBaseFrameClass *page = nullptr;
};

// The wizard's page list in wizard order, no page made yet: in run mode 0 the
// welcome page and the pages the configuration asks for, then in both modes
// the progress and finish pages.
std::vector<TWizardPageSlot> CreateWizardPages(TFrmMain *form, const TInstParams &params);

// The page list the form's constructor uses: CreateWizardPages unless a test
// replaces it. Pages a factory has already made are placed and initialised by
// the constructor.
typedef std::vector<TWizardPageSlot> (*TWizardPageFactory)(TFrmMain *form, const TInstParams &params);
extern TWizardPageFactory WizardPageFactory;

// Loads a BMP file image held as an RCDATA resource of the program into the
// picture; false (the picture unchanged) when the resource is missing or is
// not a readable bitmap.
bool LoadPictureResource(ClassLib::TPicture *picture, const char *name);

// The finish actions run by Next on the last page: TInstParams::FinishRun
// unless a test replaces it. Whatever it throws is swallowed.
typedef void (*TWizardFinishRun)(TInstParams &params);
extern TWizardFinishRun WizardFinishRun;

class TFrmMain : public ClassLib::TForm, public TWizardHost {
public:
    explicit TFrmMain(ClassLib::TComponent *owner);
    ~TFrmMain() override;

    ClassLib::TPanel *Panel5;
    ClassLib::TButton *ButBack;
    ClassLib::TButton *ButNext;
    ClassLib::TButton *ButCancel;
    ClassLib::TPanel *Panel2;
    ClassLib::TLabel *LabelBuild;
    ClassLib::TPanel *Panel1;
    ClassLib::TBevel *Bevel1;
    ClassLib::TPanel *Panel3;
    ClassLib::TPanel *Panel4;
    ClassLib::TImage *Image1;
    ClassLib::TPanel *PanBase;
    ClassLib::TTimer *StartTimer;

    // Makes page index current (the eleven steps of the page switch).
    void ShowPage(unsigned index);

    void FormShow(ClassLib::TObject *sender);
    void StartTimerTimer(ClassLib::TObject *sender);
    void ButBackClick(ClassLib::TObject *sender);
    void ButNextClick(ClassLib::TObject *sender);
    void ButCancelClick(ClassLib::TObject *sender);
    void FormClose(ClassLib::TObject *sender, ClassLib::TCloseAction &action);

    // Index of the current page; -1 while none has been shown.
    int CurrentPage() const noexcept { return currentPage_; }
    size_t PageCount() const noexcept { return pages_.size(); }
    // Whether the page's windows have been made (it has been shown, or
    // inspected through Pages).
    bool PageMade(size_t index) const noexcept { return index < pages_.size() && pages_[index].page; }
    // Every page in wizard order, for inspection: pages not made yet are made,
    // placed hidden and initialised now, as showing them would.
    std::vector<TBaseFrameClass *> Pages();
    // Set right before the form closes itself, so that closing asks nothing.
    bool CloseAllowed() const noexcept { return closeAllowed_; }
    void SetCloseAllowed(bool v) noexcept { closeAllowed_ = v; }
    // Whether the installation has completed successfully (the progress page
    // says so before it moves on), which gives the program its exit code.
    bool Installed() const noexcept { return installed_; }
    void SetInstalled(bool v) noexcept { installed_ = v; }

    // What the pages use of the form.
    void SetNextEnabled(bool enabled) override;
    HWND DialogOwner() override;

private:
    void BuildLayout();
    void LoadSideImage();
    bool IsLastPage(int index) const noexcept;
    // The page at index, made, placed and initialised on first use.
    TBaseFrameClass *Page(size_t index);
    // Inside a handler of the failure to set up a page: shows it and ends.
    void EndForUnusablePage();

    int currentPage_ = -1;
    std::vector<TWizardPageSlot> pages_; // made pages are owned by the form as components
    bool closeAllowed_ = false;
    bool installed_ = false;
};

extern TFrmMain *FrmMain;
