#include "installer/wizard/FrameGroupUnit.h"

#include <set>
#include <string>
#include <vector>

#include "foundation/StringIds.h"
#include "foundation/VxPath.h"
#include "foundation/VxText.h"
#include "installer/InstParams.h"
#include "installer/Shortcuts.h"
#include "installer/wizard/PageParts.h"
#include "visual/DlgMessageBoxUnit.h"

using namespace ClassLib;
using namespace WizardPages;

namespace {

// A band along the bottom of parent holding one check box.
TCheckBox *AddBottomCheckBox(TWinControl *parent, TPanel *&band, const char *captionUtf8)
{
    band = new TPanel(parent);
    band->SetParent(parent);
    band->SetBevelOuter(bvNone);
    band->SetHeight(22);
    band->SetAlign(alBottom);
    TCheckBox *box = new TCheckBox(band);
    box->SetParent(band);
    box->SetCaption(Utf8ToAnsi(captionUtf8));
    box->SetAlign(alClient);
    return box;
}

void AddFolderNames(std::set<std::string> &names, const std::string &folder)
{
    if (folder.empty())
        return;
    Mirelta::string_vector entries;
    ListDirectory(entries, folder, "*.*", true, false);
    for (const std::string &entry : entries)
        if (DirectoryExists(entry))
            names.insert(ExtractFileName(entry));
}

// The names of the folders directly inside the two programs folders (an
// empty path is skipped), each once, in byte order.
std::set<std::string> ExistingGroups(const std::string &userPrograms, const std::string &commonPrograms)
{
    std::set<std::string> names;
    AddFolderNames(names, userPrograms);
    AddFolderNames(names, commonPrograms);
    return names;
}

} // namespace

TFrameGroup::TFrameGroup(TComponent *owner) : TBaseFrameClass(owner)
{
    Label1 = AddTopLabel(this, "Введите имя папки в меню «Пуск», в которую будут установлены ярлыки для запуска %s.");
    Label1->SetAlignWithMargins(true);
    Label1->Margins()->SetBounds(0, 0, 0, 6);

    // The lowest band first: the autorun box goes below the desktop box.
    CBAutoRun = AddBottomCheckBox(this, PanAutoRun, "%cb_autorun%");
    CBDesktopShortcut = AddBottomCheckBox(this, Panel5, "Создать ярлыки на рабочем столе");

    GroupBox1 = new TGroupBox(this);
    GroupBox1->SetParent(this);
    GroupBox1->SetCaption(Utf8ToAnsi("Папка для ярлыков"));
    GroupBox1->SetAlign(alClient);
    GroupBox1->SetAlignWithMargins(true);
    GroupBox1->Margins()->SetBounds(0, 0, 0, 4);
    const TEditRow row = AddEditRow(GroupBox1, false);
    GroupEdit = row.Edit;
    ButReset = row.ButReset;
    ButReset->OnClick = Method<&TFrameGroup::ButResetClick>(this);

    GroupsListBox = new TListBox(GroupBox1);
    GroupsListBox->SetParent(GroupBox1);
    GroupsListBox->SetAlign(alClient);
    GroupsListBox->SetAlignWithMargins(true);
    GroupsListBox->Margins()->SetBounds(5, 0, 5, 5);
    GroupsListBox->OnClick = Method<&TFrameGroup::GroupsListBoxClick>(this);
    GroupBox1->SetTabOrder(0);
}

bool TFrameGroup::InitPage()
{
    const size_t links = InstParams.desktop_links.size();
    Panel5->SetVisible(links != 0);
    if (links >= 2)
        CBDesktopShortcut->SetCaption(LoadResString(IDS_DESKTOP_SHORTCUTS));
    else if (CBDesktopShortcut->Visible())
        CBDesktopShortcut->SetCaption(LoadResString(IDS_DESKTOP_SHORTCUT));
    Label1->SetCaption(WithTitle(Label1->Caption()));
    PanAutoRun->SetVisible(InstParams.autorun);
    CBAutoRun->SetCaption(AsCaption(InstParams.cb_caption));
    CBAutoRun->SetChecked(InstParams.create_autorun_record);
    CBAutoRun->SetHint(ToAnsiString(InstParams.comment));
    return true;
}

void TFrameGroup::EnterPage(bool)
{
    Remeasure({Label1});
    CBDesktopShortcut->SetChecked(InstParams.create_desktop_links);
    GroupEdit->SetText(ToAnsiString(InstParams.start_menu_group));
    std::vector<AnsiString> groups;
    for (const std::string &name : ExistingGroups(InstParams.user_programs_folder, InstParams.common_programs_folder))
        groups.push_back(ToAnsiString(name));
    GroupsListBox->SetItems(groups);
}

void TFrameGroup::GroupsListBoxClick(TObject *)
{
    const int index = GroupsListBox->ItemIndex();
    if (index < 0)
        return;
    GroupEdit->SetText(GroupsListBox->Items()->Get(index));
}

void TFrameGroup::StorePage()
{
    InstParams.create_desktop_links = CBDesktopShortcut->Checked();
    InstParams.start_menu_group = ToStdString(GroupEdit->Text());
    InstParams.create_autorun_record = CBAutoRun->Checked();
}

bool TFrameGroup::LeavePage()
{
    StorePage();
    if (IsValidStartMenuGroup(InstParams.start_menu_group))
        return true;
    ShowWarning(LoadResStdString(IDS_NO_FOLDER));
    ButResetClick(ButReset);
    return false;
}

void TFrameGroup::ButResetClick(TObject *)
{
    InstParams.start_menu_group = InstParams.configured_start_menu_group;
    GroupEdit->SetText(ToAnsiString(InstParams.start_menu_group));
}
