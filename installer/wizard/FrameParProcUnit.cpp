#include "installer/wizard/FrameParProcUnit.h"

#include "foundation/StringIds.h"
#include "foundation/VxPath.h"
#include "foundation/VxText.h"
#include "installer/InstParams.h"
#include "installer/ParProc.h"
#include "installer/wizard/PageParts.h"
#include "visual/DlgMessageBoxUnit.h"

using namespace ClassLib;
using namespace WizardPages;

TFrameParProc::TFrameParProc(TComponent *owner) : TBaseFrameClass(owner)
{
    Label1 = AddTopLabel(this, "Данный продукт может быть автоматически подключен в качестве системы распределенной "
                               "обработки к установленной системе MIRELTA.");
    Label2 = AddSpacer(this);
    Label3 = AddTopLabel(this, "Требуется указать папку установки системы MIRELTA. По умолчанию выбирается папка "
                               "последней установки системы.");
    Label4 = AddSpacer(this);

    CBParProcInstall = new TCheckBox(this);
    CBParProcInstall->SetParent(this);
    CBParProcInstall->SetCaption(Utf8ToAnsi("Подключить к установленной системе MIRELTA"));
    CBParProcInstall->SetHeight(17);
    CBParProcInstall->SetAlign(alTop);
    CBParProcInstall->SetAlignWithMargins(true);
    CBParProcInstall->Margins()->SetBounds(0, 0, 0, 8);

    const TFolderBox box = AddFolderBox(this, "Папка установленной системы MIRELTA");
    GroupBox1 = box.GroupBox;
    DirEdit = box.DirEdit;
    ButBrowse = box.ButBrowse;
    ButReset = box.ButReset;
    ButBrowse->OnClick = Method<&TFrameParProc::ButBrowseClick>(this);
    ButReset->OnClick = Method<&TFrameParProc::ButResetClick>(this);
}

bool TFrameParProc::InitPage()
{
    return true;
}

void TFrameParProc::EnterPage(bool)
{
    Remeasure({Label1, Label3});
    CBParProcInstall->SetChecked(InstParams.par_proc_install);
    DirEdit->SetText(ToAnsiString(InstParams.par_proc_folder));
}

void TFrameParProc::StorePage()
{
    InstParams.par_proc_install = CBParProcInstall->Checked();
    InstParams.par_proc_folder = ToStdString(DirEdit->Text());
}

bool TFrameParProc::LeavePage()
{
    StorePage();
    if (!InstParams.par_proc_install)
        return true;
    const std::string folder = InstParams.par_proc_folder;
    // The attach step's own rule: it writes one file there and empties
    // nothing, so a drive root or a system folder is as good as any.
    if (!IsParProcFolderUsable(folder)) {
        ShowError(LoadResStdString(IDS_NO_PARPROC_FOLDER));
        return false;
    }
    const std::string &checkFile = InstParams.par_proc_check_file;
    if (!checkFile.empty() && !FileExists(IncludeTrailingBackslash(folder) + checkFile)) {
        ShowError(LoadResStdString(IDS_PARPROC_NOT_FOUND));
        return false;
    }
    return true;
}

void TFrameParProc::ButResetClick(TObject *)
{
    DirEdit->SetText(ToAnsiString(InstParams.default_par_proc_folder));
}

void TFrameParProc::ButBrowseClick(TObject *)
{
    BrowseIntoEdit(DirEdit, InstParams.par_proc_tgt_folder);
}
