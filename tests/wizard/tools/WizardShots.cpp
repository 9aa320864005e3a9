// Saves a picture of each page of the wizard, built from the program's own
// configuration resource as setup.exe builds it, as BMP files for review by
// eye: NN_<page>.bmp in the folder given as the first argument (default: the
// current folder), plus the boxes that the target page shows for an empty
// folder and for a folder that is not empty. The installation on the
// progress page is a stand-in that reports a state, a percentage and
// indefinite steps; the finish actions start nothing. Prints each file
// written; exit code 1 when a picture could not be taken.
#include <windows.h>

#include <cstdio>
#include <string>

#include "../../tools/ReviewTool.h"
#include "../WizardInspect.h"
#include "WizardReview.h"
#include "classlib/Barrier.h"
#include "classlib/Forms.h"
#include "classlib/StdCtrls.h"
#include "foundation/VxText.h"
#include "installer/InstParams.h"
#include "installer/wizard/FrameProgressUnit.h"
#include "installer/wizard/FrmMainUnit.h"
#include "visual/DlgMessageBoxUnit.h"

using namespace ClassLib;
using WizardTest::PageKind;
using WizardTest::ShownDialog;

namespace {

using WizardReview::Shoot;

std::string PageName(int index, const char *suffix = "")
{
    char number[8];
    std::snprintf(number, sizeof number, "%02d_", index + 1);
    return number + std::string(PageKind(FrmMain->Pages().at(static_cast<size_t>(index)))) + suffix;
}

// The first visible control of type T on the page, depth first.
template <class T>
T *FindOnPage(TWinControl *root)
{
    for (int i = 0; i < root->ControlCount(); ++i) {
        TControl *c = root->Controls(i);
        if (!c->Visible())
            continue;
        if (auto *found = dynamic_cast<T *>(c))
            return found;
        if (auto *inner = dynamic_cast<TWinControl *>(c))
            if (T *found = FindOnPage<T>(inner))
                return found;
    }
    return nullptr;
}

// A dialog expected from the next click: pictured once it has been up for a
// while, then answered by its cancel-like button (a question keeps the page).
std::string pendingDialog;
DWORD dialogSeen = 0;
bool dialogShot = false;

void ShootPendingDialog()
{
    TDlgMessageBox *dialog = ShownDialog();
    if (!dialog || pendingDialog.empty()) {
        dialogSeen = 0;
        return;
    }
    if (!dialogSeen) {
        dialogSeen = GetTickCount();
        return;
    }
    if (GetTickCount() - dialogSeen < 400)
        return;
    Shoot(dialog->Handle(), pendingDialog);
    dialogShot = true;
    pendingDialog.clear();
    for (int bit : {mbNo, mbCancel, mbOk})
        for (const TDlgMessageBox::TBtnData &data : dialog->ButtonList())
            if (data.bit == bit) {
                data.button->Click();
                return;
            }
    dialog->ButtonList().front().button->Click();
}

void CALLBACK DialogTimer(HWND, UINT, UINT_PTR, DWORD)
{
    ClassLib::Guarded([] { ShootPendingDialog(); });
}

// A folder below the temp folder that holds a file: a target the page asks
// about before it lets the user go on.
std::string FolderWithContent()
{
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    const std::wstring folder = std::wstring(temp) + L"wizard_shots_target";
    CreateDirectoryW(folder.c_str(), nullptr);
    const HANDLE file = CreateFileW((folder + L"\\notes.txt").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE)
        CloseHandle(file);
    return WideToAnsi(folder);
}

// Clicks Next with the page's first edit set to text and pictures the box the
// page shows; the page and the edit are put back afterwards.
void ShootCheckBox(int page, const std::string &text, const char *suffix)
{
    auto *edit = FindOnPage<TEdit>(FrmMain->Pages().at(static_cast<size_t>(page)));
    if (!edit) {
        std::printf("note: the %s page has no edit; no box pictured\n", PageKind(FrmMain->Pages()[page]));
        return;
    }
    const AnsiString saved = edit->Text();
    edit->SetText(text);
    pendingDialog = PageName(page, suffix);
    dialogShot = false;
    FrmMain->ButNext->Click();
    if (!dialogShot)
        std::printf("note: no box for %s\n", pendingDialog.c_str());
    pendingDialog.clear();
    if (FrmMain->CurrentPage() != page)
        FrmMain->ShowPage(static_cast<unsigned>(page));
    edit->SetText(saved);
    PumpFor(200);
}

bool ShotsInstall(TInstParams &params)
{
    params.running = true;
    params.cancel = false;
    try {
        params.State(FormatString(LoadResStdString(30023).c_str(), Utf8ToAnsi("Help\\Руководство.txt").c_str()));
        params.Progress(0);
        PumpFor(300);
        params.Progress(60);
        PumpFor(400);
        Shoot(FrmMain->Handle(), PageName(FrmMain->CurrentPage()));
        params.State(LoadResStdString(30031));
        for (int i = 0; i < 6; ++i) {
            params.Progress(InstProgressIndefinite);
            PumpFor(260);
        }
        Shoot(FrmMain->Handle(), PageName(FrmMain->CurrentPage(), "_indefinite"));
        params.Progress(100);
    } catch (...) {
        params.running = false;
        return false;
    }
    params.running = false;
    return true;
}

void NoFinishRun(TInstParams &) {}

} // namespace

int main(int argc, char **argv)
{
    if (!WizardReview::Start(argc, argv))
        return 1;
    WizardInstall = &ShotsInstall;
    WizardFinishRun = &NoFinishRun;
    const UINT_PTR timer = SetTimer(nullptr, 0, 50, &DialogTimer);

    Application->CreateForm(FrmMain);
    FrmMain->Show();
    const DWORD start = GetTickCount();
    while (FrmMain->CurrentPage() < 0 && GetTickCount() - start < 5000)
        PumpFor(20);

    const int count = static_cast<int>(FrmMain->Pages().size());
    for (int page = 0; page < count; ++page) {
        const std::string kind = PageKind(FrmMain->Pages()[page]);
        if (kind == "progress")
            continue; // pictured by the stand-in installation, which ends on the next page
        if (FrmMain->CurrentPage() != page) {
            std::printf("failed: the wizard is on page %d, not %d\n", FrmMain->CurrentPage() + 1, page + 1);
            WizardReview::CountFailure();
            break;
        }
        PumpFor(400);
        Shoot(FrmMain->Handle(), PageName(page));
        if (page + 1 == count)
            break;
        TBaseFrameClass *current = FrmMain->Pages()[page];
        if (kind == "target") {
            ShootCheckBox(page, "", "_empty");
            ShootCheckBox(page, FolderWithContent(), "_not_empty");
        }
        // A page that gates Next by a box (the licence) gets it ticked.
        if (!FrmMain->ButNext->Enabled())
            if (auto *box = FindOnPage<TCheckBox>(current))
                box->SetChecked(true);
        FrmMain->ButNext->Click();
    }
    KillTimer(nullptr, timer);
    FrmMain->SetCloseAllowed(true);
    FrmMain->Close();
    WizardReview::Finish();
    return WizardReview::ExitCode();
}
