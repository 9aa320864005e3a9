#include <gtest/gtest.h>

#include <windows.h>
#include <objbase.h>
#include <objidl.h>
#include <shlobj.h>

#include "StepsTestUtil.h"
#include "foundation/VxMessage.h"
#include "foundation/VxPath.h"
#include "foundation/VxText.h"
#include "foundation/WinHandle.h"
#include "installer/InstParams.h"
#include "installer/Shortcuts.h"

using StepsTest::TTempFolder;

namespace {

struct TLinkFacts {
    bool loaded = false;
    std::string path;
    std::string description;
    std::string arguments;
    std::string icon;
    int iconIndex = -1;
};

TLinkFacts ReadLink(const std::string &file)
{
    TLinkFacts facts;
    Mirelta::TComPtr<IShellLinkW> link;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                reinterpret_cast<void **>(link.Receive()))))
        return facts;
    Mirelta::TComPtr<IPersistFile> persist;
    if (FAILED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void **>(persist.Receive()))) ||
        FAILED(persist->Load(AnsiToWide(file).c_str(), STGM_READ)))
        return facts;
    wchar_t text[1024] = {};
    facts.loaded = true;
    if (SUCCEEDED(link->GetPath(text, 1024, nullptr, SLGP_RAWPATH)))
        facts.path = WideToAnsi(text);
    text[0] = 0;
    if (SUCCEEDED(link->GetDescription(text, 1024)))
        facts.description = WideToAnsi(text);
    text[0] = 0;
    if (SUCCEEDED(link->GetArguments(text, 1024)))
        facts.arguments = WideToAnsi(text);
    text[0] = 0;
    if (SUCCEEDED(link->GetIconLocation(text, 1024, &facts.iconIndex)))
        facts.icon = WideToAnsi(text);
    return facts;
}

TLinkData Link(const std::string &target, const std::string &file, const std::string &description,
               const std::string &arguments = std::string(), const std::string &icon = std::string(), int32_t iconNum = 0)
{
    TLinkData link;
    link.target_file = target;
    link.link_file = file;
    link.description = description;
    link.cmd_line_params = arguments;
    link.icon_file = icon;
    link.icon_num = iconNum;
    return link;
}

class ShortcutsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        comInitialised_ = SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
        params_.target_folder = temp_ / "target";
        params_.common_programs_folder = temp_ / "programs";
        params_.common_desktop_folder = temp_ / "desktop";
        ASSERT_TRUE(StepsTest::WriteFileBytes(params_.target_folder + "\\app.exe", "MZ"));
        ASSERT_TRUE(StepsTest::WriteFileBytes(params_.target_folder + "\\bin\\tool.exe", "MZ"));
        ASSERT_TRUE(ForceDirectories(params_.common_desktop_folder));
        ASSERT_TRUE(ForceDirectories(params_.common_programs_folder));
        params_.install_log.Begin();
    }
    void TearDown() override
    {
        if (comInitialised_)
            CoUninitialize();
    }

    std::string Group(const std::string &relative = std::string()) const
    {
        return params_.common_programs_folder + "\\" + params_.start_menu_group +
               (relative.empty() ? std::string() : "\\" + relative);
    }
    // The text of the message the step throws ("" when it succeeds).
    std::string ShortcutsError()
    {
        try {
            params_.CreateShortcuts();
        } catch (const Mirelta::TVxMessage &message) {
            return message.Text();
        }
        return std::string();
    }

    TTempFolder temp_;
    TInstParams params_;
    bool comInitialised_ = false;
};

} // namespace

TEST(StartMenuGroupTest, AcceptsOnlyNamesBelowTheProgramsFolder)
{
    const struct {
        const char *group;
        bool valid;
    } cases[] = {
        {"Product", true},
        {"Company\\Product", true},
        {"Product\\", true},
        {"My Product 2.0", true},
        {"", false},
        {"\\Product", false},
        {"/Product", false},
        {"C:\\Product", false},
        {"C:Product", false},
        {"Product:stream", false},
        {"..", false},
        {"..\\..\\Startup", false},
        {"Company\\..\\..", false},
        {"Company/../Other", false},
        {".", false},
        {"...", false},
        {"Company\\ \\Product", false},
        {"   ", false},
        {"\\\\server\\share", false},
        // Names Windows cannot give a folder.
        {"a|b", false},
        {"a*b", false},
        {"a?b", false},
        {"a<b>", false},
        {"a\"b", false},
        {"a\tb", false},
        {"CON", false},
        {"nul", false},
        {"NUL\\x", false},
        {"Company\\AUX.txt", false},
        {"COM1", false},
        {"lpt9 ", false},
        {"CONSOLE", true},
        {"COM0", true},
        {"Company\\NULL", true},
    };
    for (const auto &c : cases)
        EXPECT_EQ(c.valid, IsValidStartMenuGroup(c.group)) << c.group;
    EXPECT_TRUE(IsValidStartMenuGroup(StepsTest::A("Мирелта\\Программа")));
}

TEST_F(ShortcutsTest, WritesStartMenuLinksWithTheirFieldsAndLogsThem)
{
    params_.start_menu_group = StepsTest::A("Продукт");
    params_.start_menu_links = {
        Link("app.exe", "App.lnk", StepsTest::A("Запуск программы"), "-mode=1 \"x y\"", "app.exe", 2),
        Link("bin\\tool.exe", "Tools\\Tool.lnk", "", "", ""),
    };
    params_.CreateShortcuts();

    const TLinkFacts app = ReadLink(Group("App.lnk"));
    ASSERT_TRUE(app.loaded);
    EXPECT_EQ(UpperCase(params_.target_folder + "\\app.exe"), UpperCase(app.path));
    EXPECT_EQ(StepsTest::A("Запуск программы"), app.description);
    EXPECT_EQ("-mode=1 \"x y\"", app.arguments);
    EXPECT_EQ(UpperCase(params_.target_folder + "\\app.exe"), UpperCase(app.icon));
    EXPECT_EQ(2, app.iconIndex);

    const TLinkFacts tool = ReadLink(Group("Tools\\Tool.lnk"));
    ASSERT_TRUE(tool.loaded);
    EXPECT_EQ(UpperCase(params_.target_folder + "\\bin\\tool.exe"), UpperCase(tool.path));
    EXPECT_EQ("", tool.arguments);
    EXPECT_EQ("", tool.icon);

    const Mirelta::string_vector expected = {
        AnsiToUtf8("+Folder: " + Group()),
        AnsiToUtf8("+File: " + Group("App.lnk")),
        AnsiToUtf8("+Folder: " + Group("Tools")),
        AnsiToUtf8("+File: " + Group("Tools\\Tool.lnk")),
    };
    EXPECT_EQ(expected, StepsTest::LogEntries(params_));
}

TEST_F(ShortcutsTest, MissingTargetLeavesNoShortcutButItsLogEntryStands)
{
    params_.start_menu_group = "Product";
    params_.start_menu_links = {Link("missing.exe", "Missing.lnk", "Missing"), Link("app.exe", "App.lnk", "App")};
    params_.CreateShortcuts();

    EXPECT_FALSE(PathExists(Group("Missing.lnk")));
    EXPECT_TRUE(FileExists(Group("App.lnk")));
    const Mirelta::string_vector entries = StepsTest::LogEntries(params_);
    ASSERT_EQ(3u, entries.size());
    EXPECT_EQ("+File: " + Group("Missing.lnk"), entries[1]);
}

TEST_F(ShortcutsTest, PreviousInstallationsGroupIsEmptiedButKept)
{
    params_.start_menu_group = "Product";
    params_.prev_start_menu_group = "PRODUCT\\";
    ASSERT_TRUE(StepsTest::WriteFileBytes(Group("Old.lnk"), "old"));
    ASSERT_TRUE(StepsTest::WriteFileBytes(Group("Old\\Older.lnk"), "old"));
    params_.start_menu_links = {Link("app.exe", "App.lnk", "App")};
    params_.CreateShortcuts();

    EXPECT_FALSE(PathExists(Group("Old.lnk")));
    EXPECT_FALSE(PathExists(Group("Old")));
    EXPECT_TRUE(FileExists(Group("App.lnk")));
    // The folder itself stayed, so it is not logged as created.
    const Mirelta::string_vector expected = {"+File: " + Group("App.lnk")};
    EXPECT_EQ(expected, StepsTest::LogEntries(params_));
}

TEST_F(ShortcutsTest, ForeignGroupFolderKeepsItsContent)
{
    const char *previousGroups[] = {"", "Other"};
    for (const char *previous : previousGroups) {
        params_.start_menu_group = "Shared";
        params_.prev_start_menu_group = previous;
        ASSERT_TRUE(StepsTest::WriteFileBytes(Group("Foreign.lnk"), "theirs"));
        params_.start_menu_links = {Link("app.exe", "App.lnk", "App")};
        params_.CreateShortcuts();

        EXPECT_EQ("theirs", StepsTest::ReadFileBytes(Group("Foreign.lnk"))) << previous;
        EXPECT_TRUE(FileExists(Group("App.lnk"))) << previous;
    }
}

TEST_F(ShortcutsTest, UnusableGroupIsRefusedBeforeAnythingIsTouched)
{
    ASSERT_TRUE(StepsTest::WriteFileBytes(params_.common_programs_folder + "\\Other\\Keep.lnk", "keep"));
    const char *groups[] = {"", "..", "Product\\..\\..", "C:\\Product", "\\Product", "a|b", "CON", "NUL\\x"};
    for (const char *group : groups) {
        params_.start_menu_group = group;
        params_.prev_start_menu_group = group;
        params_.start_menu_links = {Link("app.exe", "App.lnk", "App")};
        params_.install_log.Begin();
        try {
            params_.CreateShortcuts();
            ADD_FAILURE() << "no error for " << group;
        } catch (const Mirelta::TVxMessage &message) {
            EXPECT_EQ(VxGRes(30024), message.Text()) << group;
        }
        EXPECT_TRUE(StepsTest::LogEntries(params_).empty()) << group;
    }
    EXPECT_EQ("keep", StepsTest::ReadFileBytes(params_.common_programs_folder + "\\Other\\Keep.lnk"));
    EXPECT_FALSE(PathExists(params_.common_programs_folder + "\\Product"));
}

TEST_F(ShortcutsTest, GroupFolderThatCannotBeMadeFailsTheStep)
{
    params_.start_menu_group = "Product";
    ASSERT_TRUE(StepsTest::WriteFileBytes(Group(), "a file where the folder belongs"));
    params_.start_menu_links = {Link("app.exe", "App.lnk", "App")};
    try {
        params_.CreateShortcuts();
        ADD_FAILURE() << "the step succeeded without its group folder";
    } catch (const Mirelta::TVxMessage &message) {
        EXPECT_EQ((Mirelta::TVxMessage(30020) << Group()).Text(), message.Text());
    }
    EXPECT_TRUE(StepsTest::LogEntries(params_).empty());
}

// A shortcut file that the system refuses to save (here a folder of that name
// stands in its place) fails the step as a file that cannot be written, with
// the shortcut's path and the system's reason, in the start menu and on the
// desktop alike; the shortcuts before it stay.
TEST_F(ShortcutsTest, ShortcutThatCannotBeSavedFailsTheStep)
{
    params_.start_menu_group = "Shared";
    const std::string desktopLink = params_.common_desktop_folder + "\\Locked.lnk";
    for (const std::string &locked : {Group("Locked.lnk"), desktopLink})
        ASSERT_TRUE(ForceDirectories(locked));
    const std::string refused = SystemErrorText(ERROR_ACCESS_DENIED);
    params_.start_menu_links = {Link("app.exe", "App.lnk", "App"), Link("app.exe", "Locked.lnk", "Locked")};
    EXPECT_EQ((Mirelta::TVxMessage(30042) << Group("Locked.lnk") << refused).Text(), ShortcutsError());
    EXPECT_TRUE(FileExists(Group("App.lnk")));

    params_.start_menu_links.clear();
    params_.create_desktop_links = true;
    params_.desktop_links = {Link("app.exe", "App.lnk", "App"), Link("app.exe", "Locked.lnk", "Locked")};
    EXPECT_EQ((Mirelta::TVxMessage(30042) << desktopLink << refused).Text(), ShortcutsError());
    EXPECT_TRUE(FileExists(params_.common_desktop_folder + "\\App.lnk"));
}

TEST_F(ShortcutsTest, DesktopLinksAreMadeWithoutStartMenuLinksAndNeverCreateFolders)
{
    params_.start_menu_group = "";
    params_.create_desktop_links = true;
    params_.desktop_links = {Link("app.exe", "App.lnk", "App", "-desk"), Link("app.exe", "Sub\\App.lnk", "App")};
    ASSERT_TRUE(StepsTest::WriteFileBytes(params_.common_desktop_folder + "\\App.lnk", "older shortcut"));
    params_.CreateShortcuts();

    const TLinkFacts app = ReadLink(params_.common_desktop_folder + "\\App.lnk");
    ASSERT_TRUE(app.loaded);
    EXPECT_EQ("-desk", app.arguments);
    EXPECT_FALSE(PathExists(params_.common_desktop_folder + "\\Sub"));
    EXPECT_FALSE(PathExists(params_.common_programs_folder + "\\App.lnk"));
    const Mirelta::string_vector expected = {"+File: " + params_.common_desktop_folder + "\\App.lnk",
                                             "+File: " + params_.common_desktop_folder + "\\Sub\\App.lnk"};
    EXPECT_EQ(expected, StepsTest::LogEntries(params_));

    params_.create_desktop_links = false;
    params_.install_log.Begin();
    params_.CreateShortcuts();
    EXPECT_TRUE(StepsTest::LogEntries(params_).empty());
}
