#include "installer/wizard/FrameTargetUnit.h"

#include "foundation/StringIds.h"
#include "foundation/VxMessage.h"
#include "foundation/VxPath.h"
#include "installer/InstParams.h"
#include "installer/InstallProcedure.h"
#include "installer/wizard/PageParts.h"
#include "visual/DlgMessageBoxUnit.h"

using namespace ClassLib;
using namespace WizardPages;

namespace {

// Two spellings of one folder compare equal in this form.
std::string FolderKey(const std::string &folder)
{
    return UpperCase(ExcludeTrailingBackslash(LongPathName(folder)));
}

bool IsPreviousInstallation(const std::string &folder)
{
    return InstParams.prev_install_found && FolderKey(folder) == FolderKey(InstParams.default_target_folder);
}

bool HoldsAnything(const std::string &folder)
{
    Mirelta::string_vector entries;
    ListDirectory(entries, folder, "*.*", true, false);
    return !entries.empty();
}

// The installation would delete what is in the folder: a warning question,
// No by default and on closing.
bool MayEmptyFolder(const std::string &folder)
{
    const std::string text = (Mirelta::TVxMessage(IDS_ASK_FOLDER_NOT_EMPTY) << folder).Text();
    return ShowMessageDialog(text, mkWarning, mbYes | mbNo, mbNo, mbNo) == mbYes;
}

} // namespace

TFrameTarget::TFrameTarget(TComponent *owner) : TBaseFrameClass(owner)
{
    Label1 = AddTopLabel(this, "Установка будет произведена в указанную папку.");
    Label2 = AddSpacer(this);
    Label3 = AddTopLabel(this, "Если продукт уже был ранее установлен на данном компьютере, по умолчанию выбирается "
                               "папка предыдущей установки.");
    Label4 = AddSpacer(this);
    const TFolderBox box = AddFolderBox(this, "Целевая папка");
    GroupBox1 = box.GroupBox;
    DirEdit = box.DirEdit;
    ButBrowse = box.ButBrowse;
    BitBtn1 = box.ButReset;
    ButBrowse->OnClick = Method<&TFrameTarget::ButBrowseClick>(this);
    BitBtn1->OnClick = Method<&TFrameTarget::ButResetClick>(this);
}

bool TFrameTarget::InitPage()
{
    return true;
}

void TFrameTarget::EnterPage(bool)
{
    Remeasure({Label1, Label3});
    DirEdit->SetText(ToAnsiString(InstParams.target_folder));
}

void TFrameTarget::StorePage()
{
    InstParams.target_folder = ToStdString(DirEdit->Text());
}

bool TFrameTarget::LeavePage()
{
    StorePage();
    const std::string folder = InstParams.target_folder;
    // The installation's own check, with its text: an empty field, or the
    // folder as typed that cannot be the target.
    try {
        CheckTargetFolder(folder);
    } catch (const Mirelta::TVxMessage &refusal) {
        ShowError(refusal.Text());
        return false;
    }
    if (DirectoryExists(folder) && HoldsAnything(folder) && !IsPreviousInstallation(folder))
        return MayEmptyFolder(folder);
    return true;
}

void TFrameTarget::ButResetClick(TObject *)
{
    DirEdit->SetText(ToAnsiString(InstParams.default_target_folder));
}

void TFrameTarget::ButBrowseClick(TObject *)
{
    BrowseIntoEdit(DirEdit, InstParams.tgt_folder);
}
