#include "PagesTestUtil.h"

#include "foundation/VxPath.h"
#include "foundation/VxText.h"
#include "installer/InstParams.h"
#include "tests/installer/StepsTestUtil.h"

using namespace ClassLib;

namespace PagesTest {

namespace {

TBrowseStub *activeStub = nullptr;

TPanel *AddBand(TWinControl *parent, TAlign align, int size)
{
    TPanel *band = new TPanel(parent);
    band->SetParent(parent);
    band->SetBevelOuter(bvNone);
    if (align == alLeft)
        band->SetWidth(size);
    else
        band->SetHeight(size);
    band->SetAlign(align);
    return band;
}

// The height of the label's text wrapped at its width.
int WrappedTextHeight(TLabel *label)
{
    std::wstring text = AnsiToWide(label->Caption());
    if (text.empty())
        text = L" ";
    HDC dc = GetDC(nullptr);
    HGDIOBJ old = SelectObject(dc, label->Font()->Handle());
    RECT r{0, 0, label->Width(), 0};
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &r, DT_CALCRECT | DT_WORDBREAK | DT_EXPANDTABS);
    SelectObject(dc, old);
    ReleaseDC(nullptr, dc);
    return r.bottom - r.top;
}

} // namespace

TPageHost::TPageHost() : TForm(nullptr), previous_(WizardHost)
{
    SetBorderStyle(bsSingle);
    SetBorderIcons(0);
    SetClientWidth(515);
    SetClientHeight(329);
    SetShowHint(true);
    TPanel *buttons = AddBand(this, alBottom, 35);
    AddBand(this, alBottom, 24);
    AddBand(this, alLeft, 137);
    ButNext = new TButton(buttons);
    ButNext->SetParent(buttons);
    ButNext->SetBounds(340, 6, 75, 23);
    ButNext->SetCaption(A("Далее >"));
    PanBase = AddBand(this, alClient, 0);
    PanBase->SetAlignWithMargins(true);
    PanBase->Margins()->SetBounds(5, 5, 5, 5);
    WizardHost = this;
}

TPageHost::~TPageHost()
{
    WizardHost = previous_;
}

void TPageHost::Enter(TBaseFrameClass *page)
{
    for (int i = 0; i < PanBase->ControlCount(); ++i)
        PanBase->Controls(i)->SetVisible(false);
    page->SetVisible(true);
    ButNext->SetEnabled(true);
    page->EnterPage(true);
    Application->ProcessMessages();
}

void PageTest::SetUp()
{
    TInstParams &p = InstParams;
    p.app_title = A("Учёт заявок");
    p.prev_install_found = false;
    p.tgt_folder = "%ProgramFiles%\\Viewer";
    p.target_folder = p.default_target_folder = "C:\\Program Files\\Viewer";
    p.start_menu_group = p.configured_start_menu_group = A("Учёт заявок");
    p.desktop_links.clear();
    p.create_desktop_links = false;
    p.autorun = false;
    p.create_autorun_record = false;
    p.cb_caption = A("Запускать при входе в Windows");
    p.comment = A("Напоминания появятся после входа.");
    p.user_programs_folder.clear();
    p.common_programs_folder.clear();
    p.par_proc_install = true;
    p.par_proc_tgt_folder = "%ProgramFiles%\\Main";
    p.par_proc_folder = p.default_par_proc_folder = "C:\\Program Files\\Main";
    p.par_proc_check_file.clear();
}

std::string MakeFolder(const std::string &path)
{
    EXPECT_TRUE(ForceDirectories(path)) << path;
    return path;
}

std::string ShownText(const std::string &caption)
{
    std::string shown;
    for (size_t i = 0; i < caption.size(); ++i) {
        if (caption[i] == '&' && ++i == caption.size())
            break;
        shown += caption[i];
    }
    return shown;
}

std::string MakeFile(const std::string &path)
{
    EXPECT_TRUE(StepsTest::WriteFileBytes(path, "data")) << path;
    return path;
}

TBrowseStub::TBrowseStub(std::string answer)
    : answer_(std::move(answer)), previous_(WizardPages::BrowseForFolderFunc)
{
    activeStub = this;
    WizardPages::BrowseForFolderFunc = &TBrowseStub::Browse;
}

TBrowseStub::~TBrowseStub()
{
    WizardPages::BrowseForFolderFunc = previous_;
    activeStub = nullptr;
}

std::string TBrowseStub::Browse(HWND owner, const char *title, const char *startFolder)
{
    activeStub->calls.push_back({owner, title ? title : "", startFolder ? startFolder : ""});
    return activeStub->answer_;
}

void ExpectFitsPage(TWinControl *page)
{
    const RECT client = page->ClientRect();
    for (int i = 0; i < page->ControlCount(); ++i) {
        TControl *c = page->Controls(i);
        if (!c->Visible())
            continue;
        const RECT r = c->BoundsRect();
        EXPECT_TRUE(r.left >= client.left && r.top >= client.top && r.right <= client.right &&
                    r.bottom <= client.bottom && r.right > r.left && r.bottom > r.top)
            << ToStdString(c->Caption()) << ": " << r.left << "," << r.top << "," << r.right << "," << r.bottom
            << " in " << client.right << "x" << client.bottom;
        auto *label = dynamic_cast<TLabel *>(c);
        if (label && label->WordWrap()) {
            EXPECT_EQ(label->Height(), WrappedTextHeight(label)) << ToStdString(label->Caption());
        }
        if (auto *container = dynamic_cast<TWinControl *>(c))
            ExpectFitsPage(container);
    }
}

} // namespace PagesTest
