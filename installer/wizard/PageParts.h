// Building blocks shared by the wizard's input pages: labels stacked from the
// top, the re-measure of word-wrapped labels, the edit row with its reset
// button, and the folder box of the target and distributed-processing pages
// with its browse button and the folder-name rule behind it.
#pragma once

#include <windows.h>

#include <initializer_list>
#include <string>

#include "classlib/Buttons.h"
#include "classlib/StdCtrls.h"

namespace WizardPages {

// A text of the configuration as a label or check-box caption that shows it
// as it stands: every "&" doubled, so that none becomes a mnemonic.
ClassLib::AnsiString AsCaption(const std::string &text);
// printf-style formatting of a caption with the product title as its one "%s"
// (shown as it stands).
ClassLib::AnsiString WithTitle(const ClassLib::AnsiString &caption);

// A label aligned to the top of parent, below the ones aligned before it. Its
// caption is a UTF-8 source literal, shown in the ANSI code page.
ClassLib::TLabel *AddTopLabel(ClassLib::TWinControl *parent, const char *utf8, bool wordWrap = true);
// A one-blank spacer line below the labels before it.
ClassLib::TLabel *AddSpacer(ClassLib::TWinControl *parent);
// The large bold page title.
void MakeTitle(ClassLib::TLabel *label);
// Word-wrapped labels take the height of their text at their current width:
// AutoSize off for each of them, then on again.
void Remeasure(std::initializer_list<ClassLib::TLabel *> labels);

// An edit in a row along the top of parent, with the reset button (glyph,
// hint "Восстановить значение по умолчанию") and, withBrowse, the browse
// button "..." (hint "Обзор") at its right end.
struct TEditRow {
    ClassLib::TEdit *Edit;
    ClassLib::TButton *ButBrowse; // null without browse
    ClassLib::TBitBtn *ButReset;
};
TEditRow AddEditRow(ClassLib::TWinControl *parent, bool withBrowse);

// The folder box: a group box along the top of parent holding the folder's
// edit, the browse button "..." and the reset button with its glyph.
struct TFolderBox {
    ClassLib::TGroupBox *GroupBox;
    ClassLib::TEdit *DirEdit;
    ClassLib::TButton *ButBrowse;
    ClassLib::TBitBtn *ButReset;
};
TFolderBox AddFolderBox(ClassLib::TWinControl *parent, const char *captionUtf8);

// The folder dialog behind the browse buttons (owner, title, start folder; the
// chosen folder, empty when cancelled). Replaceable so that a test need not
// open the shell's dialog.
typedef std::string (*TBrowseForFolderFunc)(HWND owner, const char *title, const char *startFolder);
extern TBrowseForFolderFunc BrowseForFolderFunc;

// The folder-name rule: the chosen folder, without trailing backslashes, gets
// the last component of the configured folder appended unless its own last
// component already contains it (case-sensitive). So with a configured
// "%ProgramFiles%\Viewer", "D:\Programs" becomes "D:\Programs\Viewer" and
// "D:\Programs\Viewer 2" stays; a configured folder that ends with a
// backslash never appends anything.
std::string WithConfiguredFolderName(const std::string &chosen, const std::string &configuredFolder);
// Opens the folder dialog (title 30008) at the edit's folder and puts the
// choice into the edit by the folder-name rule; cancelling changes nothing.
void BrowseIntoEdit(ClassLib::TEdit *edit, const std::string &configuredFolder);

} // namespace WizardPages
