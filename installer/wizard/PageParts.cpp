#include "installer/wizard/PageParts.h"

#include <utility>

#include "classlib/ExtCtrls.h"
#include "foundation/StringIds.h"
#include "foundation/VxPath.h"
#include "foundation/VxProcess.h"
#include "foundation/VxText.h"
#include "installer/InstParams.h"
#include "installer/wizard/WizardHost.h"

using namespace ClassLib;

namespace WizardPages {

namespace {

const int ButtonSize = 23;  // the square browse and reset buttons
const int EditRowHeight = 27; // an edit of 21 px with 3 px above and below

// A 16 x 16 glyph of a circular arrow turning back, on a magenta ground that
// the button draws transparent (the bottom-left pixel gives that colour).
HBITMAP MakeResetGlyph()
{
    const int size = 16;
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, size, size);
    ReleaseDC(nullptr, screen);
    if (!dc || !bitmap) {
        if (dc)
            DeleteDC(dc);
        if (bitmap)
            DeleteObject(bitmap);
        return nullptr;
    }
    HGDIOBJ oldBitmap = SelectObject(dc, bitmap);
    RECT all{0, 0, size, size};
    HBRUSH ground = CreateSolidBrush(RGB(255, 0, 255));
    FillRect(dc, &all, ground);
    DeleteObject(ground);

    const COLORREF ink = RGB(0, 64, 160);
    HPEN pen = CreatePen(PS_SOLID, 2, ink);
    HBRUSH fill = CreateSolidBrush(ink);
    HGDIOBJ oldPen = SelectObject(dc, pen);
    HGDIOBJ oldBrush = SelectObject(dc, GetStockObject(NULL_BRUSH));
    // Most of a circle, counter-clockwise from its left end round to the top,
    // with the arrowhead at the top pointing left.
    Arc(dc, 2, 2, 14, 14, 2, 9, 7, 2);
    SelectObject(dc, fill);
    const POINT head[] = {{8, 0}, {8, 6}, {4, 3}};
    Polygon(dc, head, 3);
    SelectObject(dc, oldBrush);
    SelectObject(dc, oldPen);
    DeleteObject(fill);
    DeleteObject(pen);
    SelectObject(dc, oldBitmap);
    DeleteDC(dc);
    return bitmap;
}

void MakeResetButton(TBitBtn *button)
{
    button->SetHint(Utf8ToAnsi("Восстановить значение по умолчанию"));
    button->Glyph()->SetHandle(MakeResetGlyph());
    button->GlyphChanged();
}

} // namespace

AnsiString AsCaption(const std::string &text)
{
    std::string caption;
    caption.reserve(text.size());
    for (const char c : text) {
        if (c == '&')
            caption += '&';
        caption += c;
    }
    return AnsiString(std::move(caption));
}

AnsiString WithTitle(const AnsiString &caption)
{
    return FormatString(caption.c_str(), AsCaption(InstParams.app_title).c_str());
}

TLabel *AddTopLabel(TWinControl *parent, const char *utf8, bool wordWrap)
{
    TLabel *label = new TLabel(parent);
    label->SetParent(parent);
    label->SetWordWrap(wordWrap);
    label->SetCaption(Utf8ToAnsi(utf8));
    label->SetAlign(alTop);
    return label;
}

TLabel *AddSpacer(TWinControl *parent)
{
    return AddTopLabel(parent, " ", false);
}

void MakeTitle(TLabel *label)
{
    label->Font()->SetHeight(-16);
    label->Font()->SetStyle(fsBold);
}

void Remeasure(std::initializer_list<TLabel *> labels)
{
    for (TLabel *label : labels)
        label->SetAutoSize(!label->AutoSize());
    for (TLabel *label : labels)
        label->SetAutoSize(!label->AutoSize());
}

TEditRow AddEditRow(TWinControl *parent, bool withBrowse)
{
    // The row keeps the edit at its own height while the buttons sit at its
    // right end.
    TPanel *row = new TPanel(parent);
    row->SetParent(parent);
    row->SetBevelOuter(bvNone);
    row->SetHeight(EditRowHeight);
    row->SetAlign(alTop);
    row->SetAlignWithMargins(true);
    row->Margins()->SetBounds(5, 3, 5, 3);

    TEditRow edit{};
    edit.ButReset = new TBitBtn(row);
    edit.ButReset->SetParent(row);
    edit.ButReset->SetWidth(ButtonSize);
    edit.ButReset->SetAlign(alRight);
    edit.ButReset->SetAlignWithMargins(true);
    edit.ButReset->Margins()->SetBounds(2, 2, 0, 2);
    MakeResetButton(edit.ButReset);

    if (withBrowse) {
        edit.ButBrowse = new TButton(row);
        edit.ButBrowse->SetParent(row);
        edit.ButBrowse->SetCaption("...");
        edit.ButBrowse->SetHint(Utf8ToAnsi("Обзор"));
        edit.ButBrowse->SetWidth(ButtonSize);
        edit.ButBrowse->SetAlign(alRight);
        edit.ButBrowse->SetAlignWithMargins(true);
        edit.ButBrowse->Margins()->SetBounds(4, 2, 0, 2);
    }

    edit.Edit = new TEdit(row);
    edit.Edit->SetParent(row);
    edit.Edit->SetAlign(alClient);
    edit.Edit->SetAlignWithMargins(true);
    edit.Edit->Margins()->SetBounds(0, 3, 0, 3);
    edit.Edit->SetTabOrder(0);
    return edit;
}

TFolderBox AddFolderBox(TWinControl *parent, const char *captionUtf8)
{
    TFolderBox box{};
    box.GroupBox = new TGroupBox(parent);
    box.GroupBox->SetParent(parent);
    box.GroupBox->SetCaption(Utf8ToAnsi(captionUtf8));
    box.GroupBox->SetAlign(alTop);
    const TEditRow row = AddEditRow(box.GroupBox, true);
    box.DirEdit = row.Edit;
    box.ButBrowse = row.ButBrowse;
    box.ButReset = row.ButReset;
    box.GroupBox->SetAutoSize(true);
    return box;
}

TBrowseForFolderFunc BrowseForFolderFunc = &BrowseForFolder;

std::string WithConfiguredFolderName(const std::string &chosen, const std::string &configuredFolder)
{
    const std::string folder = ExcludeTrailingBackslash(chosen);
    const std::string name = ExtractFileName(configuredFolder);
    if (ExtractFileName(folder).find(name) != std::string::npos)
        return folder;
    return IncludeTrailingBackslash(folder) + name;
}

void BrowseIntoEdit(TEdit *edit, const std::string &configuredFolder)
{
    const std::string title = LoadResStdString(IDS_BROWSE_TITLE);
    const std::string start = ToStdString(edit->Text());
    const std::string chosen =
        BrowseForFolderFunc(WizardHost ? WizardHost->DialogOwner() : nullptr, title.c_str(), start.c_str());
    if (chosen.empty())
        return;
    edit->SetText(ToAnsiString(WithConfiguredFolderName(chosen, configuredFolder)));
}

} // namespace WizardPages
