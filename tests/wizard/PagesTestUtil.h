// Helpers of the wizard page tests: a form that hosts pages the way the
// wizard's main form does, the settings the pages read set to plain values,
// folders and files on disk, and a stand-in for the folder dialog.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "classlib/ExtCtrls.h"
#include "classlib/Forms.h"
#include "classlib/StdCtrls.h"
#include "installer/wizard/BaseFrameClass.h"
#include "installer/wizard/PageParts.h"
#include "installer/wizard/WizardHost.h"
#include "tests/installer/DialogAnswers.h"

namespace PagesTest {

using InstallTest::A;

// Laid out like the wizard's main form: 515 x 329, the 137 px side panel, the
// bottom bands of 24 and 35 px (Next in the lower one) and the page area
// with 5 px margins. It is the wizard host while it exists.
class TPageHost : public ClassLib::TForm, public TWizardHost {
public:
    TPageHost();
    ~TPageHost() override;

    ClassLib::TPanel *PanBase;
    ClassLib::TButton *ButNext;

    void SetNextEnabled(bool enabled) override { ButNext->SetEnabled(enabled); }
    HWND DialogOwner() override { return Handle(); }

    // Creates a page and places it hidden in the page area and initialises it,
    // by the main form's own placement.
    template <class T>
    T *AddPage()
    {
        T *page = new T(this);
        PlaceWizardPage(page, PanBase);
        return page;
    }
    // Makes page the visible one of the page area and enters it. The form
    // itself stays off screen: nothing on a page needs it shown, and under
    // Wine without a window manager every hiding of a shown window waits 2 s.
    void Enter(TBaseFrameClass *page);

private:
    TWizardHost *previous_;
};

// Every test starts from the same plain settings (SetUp): no previous
// installation, fixed folders and groups, no desktop links, no autorun box,
// no programs folders to list.
class PageTest : public ::testing::Test {
protected:
    void SetUp() override;
};

// The text that a label or check box shows for caption: "&&" is one "&", a
// single "&" only underlines the next character and is not shown.
std::string ShownText(const std::string &caption);

// Creates the folder (and its parents); returns its path.
std::string MakeFolder(const std::string &path);
// Creates a small file (and its folders); returns its path.
std::string MakeFile(const std::string &path);

// Stands in for the folder dialog while it exists: records each call and
// answers with the given folder ("" for a cancelled dialog).
class TBrowseStub {
public:
    struct TCall {
        HWND owner;
        std::string title;
        std::string startFolder;
    };
    explicit TBrowseStub(std::string answer);
    ~TBrowseStub();
    TBrowseStub(const TBrowseStub &) = delete;
    TBrowseStub &operator=(const TBrowseStub &) = delete;

    std::vector<TCall> calls;

private:
    static std::string Browse(HWND owner, const char *title, const char *startFolder);
    std::string answer_;
    WizardPages::TBrowseForFolderFunc previous_;
};

// Checks that every visible control of the page lies inside its parent's
// client area and that every word-wrapped label is as high as its text at
// its width.
void ExpectFitsPage(ClassLib::TWinControl *page);

} // namespace PagesTest
