#include <gtest/gtest.h>

#include <memory>

#include "StepsTestUtil.h"
#include "classlib/Forms.h"
#include "classlib/Registry.h"
#include "foundation/VxMessage.h"
#include "foundation/VxPath.h"
#include "foundation/VxStream.h"
#include "installer/LoadConfig.h"

namespace {

using StepsTest::A;

// A configuration or record document built per test: items with their
// one-letter kinds, written out as the x-ini writer writes them (the texts
// used here need no escapes).
struct TItem {
    char kind; // 's', 'i' or 'x'
    std::string name;
    std::string value; // UTF-8
    std::vector<TItem> items;
};

TItem S(const std::string &name, const std::string &value) { return {'s', name, value, {}}; }
TItem I(const std::string &name, int value) { return {'i', name, std::to_string(value), {}}; }
TItem X(const std::string &name, std::vector<TItem> items) { return {'x', name, "", std::move(items)}; }

void Render(const TItem &item, int depth, std::string &out)
{
    const std::string indent(2 * depth, ' ');
    const std::string name = item.name.empty() ? "" : " n=\"" + item.name + "\"";
    if (item.kind != 'x') {
        out += indent + "<" + item.kind + name + " v=\"" + item.value + "\"/>\n";
        return;
    }
    out += indent + "<x" + name + ">\n";
    for (const TItem &child : item.items)
        Render(child, depth + 1, out);
    out += indent + "</x>\n";
}

std::string Document(const std::vector<TItem> &root)
{
    std::string out = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<!DOCTYPE vxini SYSTEM \"vxini4.dtd\">\n<vxini>\n";
    for (const TItem &item : root)
        Render(item, 1, out);
    return out + "</vxini>\n";
}

// The item at a path such as "general/app_title" (the first of each name).
std::vector<TItem>::iterator Locate(std::vector<TItem> &items, const std::string &path)
{
    const std::string::size_type slash = path.find('/');
    const std::string head = path.substr(0, slash);
    for (auto it = items.begin(); it != items.end(); ++it) {
        if (it->name != head)
            continue;
        if (slash == std::string::npos)
            return it;
        return Locate(it->items, path.substr(slash + 1));
    }
    ADD_FAILURE() << "no item " << path;
    return items.end();
}

std::vector<TItem> &SectionAt(std::vector<TItem> &root, const std::string &path)
{
    return Locate(root, path)->items;
}

void Remove(std::vector<TItem> &root, const std::string &path)
{
    const std::string::size_type slash = path.rfind('/');
    std::vector<TItem> &owner = slash == std::string::npos ? root : SectionAt(root, path.substr(0, slash));
    owner.erase(Locate(owner, slash == std::string::npos ? path : path.substr(slash + 1)));
}

TItem Link(const std::string &target, const std::string &file, int icon)
{
    return X("link", {S("target_file", target), S("link_file", file), S("description", "D " + target),
                      S("cmd_line_params", "-p"), S("icon_file", "i.ico"), I("icon_num", icon)});
}

const char TestKeyRoot[] = "Software\\VxSetupTests\\LoadConfig";

// Every key the loader knows, with every check on.
std::vector<TItem> FullConfig(const std::string &regKey, const std::string &parProcRegKey)
{
    return {
        S("app_sign", "Sample.App.1"),
        I("is_64bit_app", 1),
        X("install_conditions",
          {X("platform_id", {I("check", 2)}),
           X("os_version", {I("check", 1), I("major", 6), I("minor", 1)}),
           X("screen", {I("check", 2), I("width", 1024), I("height", 768), I("bitspp", 16)}),
           S("os_message", "Нужна Windows 7"), S("screen_message", "Мал экран")}),
        X("general",
          {I("show_background", 1), S("app_title", "Учёт"), S("app_long_title", "Учёт 2.4"),
           I("use_vx_close_event", 1), I("use_vx_close_event2", 1), S("tgt_folder", "C:\\Apps\\Учёт"),
           S("reg_install_key", regKey), S("vx_consts_file", "consts.x-ini"), S("vx_consts_path", "Config")}),
        X("preserve", {I("preserve_root_folder", 1),
                       X("files", {S("", "Config\\consts.x-ini"), S("", "Data\\дом.db")})}),
        X("start_menu", {S("start_menu_group", "Группа"), Link("a.exe", "A.lnk", 1), I("other", 5),
                         Link("b.exe", "B.lnk", 2)}),
        X("desktop_links", {I("create_desktop_links", 1), Link("a.exe", "A.lnk", 3)}),
        X("autorun", {I("create_autorun_record", 1), S("comment", "Подсказка"), S("cb_caption", "Флажок"),
                      Link("agent.exe", "", 4), Link("second.exe", "", 5)}),
        X("par_proc", {S("par_proc_tgt_folder", "C:\\Main"), S("par_proc_reg_install_key", parProcRegKey),
                       S("par_proc_cfg_file", "pp.x-ini"), S("par_proc_check_file", "main.exe")}),
        X("finish_run",
          {X("item", {S("target_file", "a.exe"), S("cmd_line_params", "/first"), S("description", "Запуск"),
                      I("exec", 0), I("allow_change", 1)}),
           X("other", {S("target_file", "skipped.exe")}),
           X("item", {S("target_file", "readme.txt"), S("cmd_line_params", ""), S("description", "Readme"),
                      I("exec", 1), I("allow_change", 0)})}),
        X("install_redist", {X("item", {S("target_file", "redist\\r1.exe")}), S("note", "skipped"),
                             X("item", {S("target_file", "redist\\r2.exe")})}),
        X("uninstall", {S("reg_uninstall_key", "Sample.App"), S("display_name", "Учёт 2.4"),
                        S("uninstall_exe", "Uninstall.exe"), S("display_version", "2.4"), S("publisher", "Образец"),
                        S("url_info_about", "https://example.org"), S("display_icon_file", "a.exe"),
                        S("help_telephone", "+7"), S("contact", "support@example.org"), I("no_modify", 1),
                        I("no_repair", 0)}),
        X("pages", {I("licence", 1), I("target", 0), I("group", 1), I("ready", 0), I("autorun", 1)}),
    };
}

// The optional sections, each of which may be left out as a whole.
const char *const OptionalSections[] = {"preserve", "start_menu", "desktop_links", "autorun",
                                        "par_proc", "finish_run", "install_redist", "uninstall"};

// Every item whose absence makes the load fail, with all sections present
// and every check level on.
const char *const RequiredItems[] = {
    "app_sign", "install_conditions", "install_conditions/platform_id", "install_conditions/platform_id/check",
    "install_conditions/os_version", "install_conditions/os_version/check", "install_conditions/os_version/major",
    "install_conditions/os_version/minor", "install_conditions/screen", "install_conditions/screen/check",
    "install_conditions/screen/width", "install_conditions/screen/height", "install_conditions/screen/bitspp",
    "install_conditions/os_message", "install_conditions/screen_message", "general", "general/show_background",
    "general/app_title", "general/app_long_title", "general/tgt_folder", "general/reg_install_key",
    "general/vx_consts_file", "start_menu/start_menu_group", "start_menu/link/target_file",
    "start_menu/link/link_file", "start_menu/link/description", "start_menu/link/cmd_line_params",
    "start_menu/link/icon_file", "start_menu/link/icon_num", "desktop_links/create_desktop_links",
    "autorun/create_autorun_record", "autorun/comment", "autorun/cb_caption", "autorun/link/icon_num",
    "par_proc/par_proc_tgt_folder", "par_proc/par_proc_reg_install_key", "par_proc/par_proc_cfg_file",
    "finish_run/item/target_file", "finish_run/item/cmd_line_params", "finish_run/item/description",
    "finish_run/item/exec", "finish_run/item/allow_change", "install_redist/item/target_file",
    "uninstall/reg_uninstall_key", "uninstall/display_name", "uninstall/uninstall_exe", "uninstall/display_version",
    "uninstall/publisher", "uninstall/url_info_about", "uninstall/display_icon_file", "uninstall/help_telephone",
    "uninstall/contact", "uninstall/no_modify", "uninstall/no_repair", "pages", "pages/licence", "pages/target",
    "pages/group", "pages/ready", "pages/autorun",
};

// Writes the registry through the same class the loader reads it with.
void WriteInstallPath(const std::string &key, const std::string &path)
{
    ClassLib::Registry::TRegistry registry;
    registry.SetRootKey(HKEY_LOCAL_MACHINE);
    ASSERT_TRUE(registry.OpenKey("Software\\" + key, true));
    registry.WriteString("InstallPath", path);
}

class LoadConfigTest : public testing::Test {
protected:
    void SetUp() override
    {
        const testing::TestInfo *info = testing::UnitTest::GetInstance()->current_test_info();
        const std::string name = std::string(info->test_suite_name()) + "." + info->name();
        regKey = std::string(TestKeyRoot + 9) + "\\" + name;
        parProcRegKey = regKey + "\\Main";
        config = FullConfig(regKey, parProcRegKey);
        DeleteKeys();
    }
    void TearDown() override { DeleteKeys(); }

    void DeleteKeys()
    {
        ClassLib::Registry::TRegistry registry;
        registry.SetRootKey(HKEY_LOCAL_MACHINE);
        registry.DeleteKey("Software\\" + regKey);
    }

    // Loads the document from a read-only memory block, as the program reads
    // its resource.
    bool Load(const std::vector<TItem> &root, const Mirelta::string_vector &arguments = {})
    {
        document = Document(root);
        params = std::make_unique<TInstParams>();
        return params->Load(arguments, make_var_a<TVxFixedMemStream>(&document[0], static_cast<unsigned>(document.size()),
                                                                      TVxFixedMemStream::omRead));
    }

    // An installation record in folder.
    void WriteRecord(const std::string &folder, const std::vector<TItem> &root)
    {
        ASSERT_TRUE(StepsTest::WriteFileBytes(IncludeTrailingBackslash(folder) + "InstData.x-ini", Document(root)));
    }

    std::vector<TItem> MatchingRecord(bool withDesktop = true)
    {
        std::vector<TItem> record = {S("app_sign", "Sample.App.1"), X("start_menu", {S("start_menu_group", "Своя")}),
                                     X("autorun", {I("create_autorun_record", 0)}),
                                     X("par_proc", {I("install", 1), S("cfg_path", "C:\\Recorded")})};
        if (withDesktop)
            record.insert(record.begin() + 2, X("desktop_links", {I("create_desktop_links", 0)}));
        return record;
    }

    std::string regKey;
    std::string parProcRegKey;
    std::vector<TItem> config;
    std::string document;
    std::unique_ptr<TInstParams> params;
    StepsTest::TTempFolder folder;
};

TEST_F(LoadConfigTest, FullConfigurationFillsTheMembersInDocumentOrder)
{
    ASSERT_TRUE(Load(config));
    const TInstParams &p = *params;
    EXPECT_EQ(p.app_sign, "Sample.App.1");
    EXPECT_TRUE(p.is_64bit_app);
    EXPECT_EQ(p.platform_check * 100 + p.os_version_check * 10 + p.screen_check, 212);
    EXPECT_EQ(p.os_major * 10 + p.os_minor, 61u);
    EXPECT_EQ(p.width * p.height * p.bitspp, 1024 * 768 * 16);
    EXPECT_EQ(p.os_message + "|" + p.screen_message, A("Нужна Windows 7|Мал экран"));
    EXPECT_EQ(p.app_title + "|" + p.app_long_title, A("Учёт|Учёт 2.4"));
    EXPECT_TRUE(p.show_background && p.use_vx_close_event && p.use_vx_close_event2);
    EXPECT_EQ(p.vx_consts_file + "|" + p.vx_consts_path, "consts.x-ini|Config");
    EXPECT_TRUE(p.preserve_root_folder);
    EXPECT_EQ(p.preserve_files, (std::set<std::string>{"CONFIG\\CONSTS.X-INI", A("DATA\\ДОМ.DB")}));
    EXPECT_EQ(p.configured_start_menu_group, A("Группа"));
    ASSERT_EQ(p.start_menu_links.size(), 2u);
    const TLinkData &b = p.start_menu_links[1];
    EXPECT_EQ(b.target_file + "|" + b.link_file + "|" + b.description + "|" + b.cmd_line_params + "|" + b.icon_file,
              "b.exe|B.lnk|D b.exe|-p|i.ico");
    EXPECT_EQ(b.icon_num, 2);
    ASSERT_EQ(p.desktop_links.size(), 1u);
    EXPECT_TRUE(p.create_desktop_links && p.create_autorun_record);
    EXPECT_EQ(p.autorun_link.target_file, "agent.exe"); // only the first link counts
    EXPECT_EQ(p.comment + "|" + p.cb_caption, A("Подсказка|Флажок"));
    EXPECT_TRUE(p.has_par_proc && p.par_proc_install);
    EXPECT_EQ(p.par_proc_cfg_file + "|" + p.par_proc_check_file, "pp.x-ini|main.exe");
    ASSERT_EQ(p.finish_run.size(), 2u);
    EXPECT_EQ(p.finish_run[0].cmd_line_params + "|" + p.finish_run[0].description, A("/first|Запуск"));
    EXPECT_TRUE(!p.finish_run[0].exec && p.finish_run[0].allow_change);
    EXPECT_TRUE(p.finish_run[1].exec && !p.finish_run[1].allow_change);
    EXPECT_EQ(p.install_redist, (std::vector<std::string>{"redist\\r1.exe", "redist\\r2.exe"}));
    EXPECT_EQ(p.uninstall_exe + "|" + p.display_icon_file + "|" + p.contact, "Uninstall.exe|a.exe|support@example.org");
    EXPECT_EQ(p.no_modify * 10 + p.no_repair, 10);
    EXPECT_EQ(std::vector<bool>({p.licence, p.target, p.group, p.ready, p.autorun}),
              std::vector<bool>({true, false, true, false, true}));
    // No previous installation: the folders as configured.
    EXPECT_EQ(p.target_folder, A("C:\\Apps\\Учёт"));
    EXPECT_EQ(p.default_target_folder, p.target_folder);
    EXPECT_EQ(p.default_par_proc_folder, "C:\\Main");
    EXPECT_FALSE(p.prev_install_found || p.prev_record_matched);
    EXPECT_TRUE(DirectoryExists(p.own_folder) && p.own_folder.back() == '\\');
    EXPECT_NE(p.program_files_folder, "");
    EXPECT_NE(p.common_programs_folder, "");
}

TEST_F(LoadConfigTest, EachRequiredItemMissingOrOfTheWrongKindFailsTheLoad)
{
    for (const char *path : RequiredItems) {
        std::vector<TItem> root = config;
        Remove(root, path);
        EXPECT_FALSE(Load(root)) << path;
    }
    SectionAt(config, "pages")[0] = S("licence", "yes");
    EXPECT_FALSE(Load(config));
}

TEST_F(LoadConfigTest, OptionalItemsAndSectionsMayBeAbsent)
{
    std::vector<TItem> root = config;
    for (const char *path : {"is_64bit_app", "general/use_vx_close_event", "general/use_vx_close_event2",
                             "general/vx_consts_path", "preserve/preserve_root_folder", "preserve/files",
                             "par_proc/par_proc_check_file", "autorun/link", "autorun/link"})
        Remove(root, path);
    ASSERT_TRUE(Load(root));
    EXPECT_FALSE(params->is_64bit_app);
    EXPECT_FALSE(params->use_vx_close_event);
    EXPECT_TRUE(params->vx_consts_path.empty());
    EXPECT_TRUE(params->preserve_files.empty());
    EXPECT_TRUE(params->autorun_link.target_file.empty());

    root = config;
    for (const char *section : OptionalSections)
        Remove(root, section);
    ASSERT_TRUE(Load(root));
    EXPECT_FALSE(params->preserve_root_folder);
    EXPECT_FALSE(params->create_desktop_links);
    EXPECT_FALSE(params->create_autorun_record);
    EXPECT_TRUE(params->start_menu_links.empty());
    EXPECT_FALSE(params->has_par_proc);
    EXPECT_FALSE(params->par_proc_install);
    EXPECT_EQ(params->par_proc_folder, "");
    EXPECT_TRUE(params->finish_run.empty());
    EXPECT_TRUE(params->reg_uninstall_key.empty());
}

TEST_F(LoadConfigTest, ChecksThatAreOffNeedNoFurtherItems)
{
    SectionAt(config, "install_conditions/platform_id")[0] = I("check", 0);
    SectionAt(config, "install_conditions/os_version") = {I("check", 0)};
    SectionAt(config, "install_conditions/screen") = {I("check", 0)};
    Remove(config, "install_conditions/os_message");
    Remove(config, "install_conditions/screen_message");
    ASSERT_TRUE(Load(config));
    EXPECT_EQ(params->os_major, 0u);
    EXPECT_EQ(params->width, 0);
    EXPECT_EQ(params->os_message, "");
}

TEST_F(LoadConfigTest, PlatformCheckAloneReadsTheTextItShowsWithoutRequiringIt)
{
    SectionAt(config, "install_conditions/os_version") = {I("check", 0)};
    ASSERT_TRUE(Load(config));
    EXPECT_EQ(params->os_message, A("Нужна Windows 7"));

    // Only the version check requires the text.
    Remove(config, "install_conditions/os_message");
    ASSERT_TRUE(Load(config));
    EXPECT_EQ(params->os_message, "");
    SectionAt(config, "install_conditions/os_version") = {I("check", 1), I("major", 6), I("minor", 1)};
    EXPECT_FALSE(Load(config));
}

TEST_F(LoadConfigTest, FinishRunItemThatIsNoSectionFailsAndOtherNamesAreSkipped)
{
    SectionAt(config, "finish_run").push_back(S("item", "not a section"));
    EXPECT_FALSE(Load(config));

    config = FullConfig(regKey, parProcRegKey);
    SectionAt(config, "install_redist").push_back(I("item", 1));
    EXPECT_FALSE(Load(config));
}

TEST_F(LoadConfigTest, MalformedOrMissingDocumentFailsTheLoad)
{
    params = std::make_unique<TInstParams>();
    EXPECT_FALSE(params->Load({}, VTVxStream()));
    std::string broken = "<vxini><s n=\"app_sign\" v=\"x\"><x n=\"general\"></vxini>";
    EXPECT_FALSE(params->Load({}, make_var_a<TVxFixedMemStream>(&broken[0], static_cast<unsigned>(broken.size()),
                                                                 TVxFixedMemStream::omRead)));
}

TEST_F(LoadConfigTest, CommandLineSetsRunModeAndTolerance)
{
    ASSERT_TRUE(Load(config, {"-express=9", "-Tolerant=no"}));
    EXPECT_EQ(params->run_mode, rmSilent);
    EXPECT_TRUE(params->tolerant);
    ASSERT_TRUE(Load(config, {"express=2", "--tolerant"}));
    EXPECT_EQ(params->run_mode, rmWizard);
    EXPECT_FALSE(params->tolerant);
}

// Runs with the variable ProgramW6432 removed or set, and restores it.
class TProgramW6432 {
public:
    TProgramW6432()
    {
        wchar_t buffer[2048] = {};
        had_ = GetEnvironmentVariableW(L"ProgramW6432", buffer, 2048) != 0;
        value_ = buffer;
    }
    ~TProgramW6432() { SetEnvironmentVariableW(L"ProgramW6432", had_ ? value_.c_str() : nullptr); }
    void Set(const wchar_t *value) { SetEnvironmentVariableW(L"ProgramW6432", value); }

private:
    bool had_;
    std::wstring value_;
};

TEST_F(LoadConfigTest, ProgramW6432IsDefinedOnA32BitSystemAndExpandsIntoProgramFiles)
{
    TProgramW6432 variable;
    variable.Set(nullptr);
    SectionAt(config, "general")[5] = S("tgt_folder", "%ProgramW6432%\\Sample");
    ASSERT_TRUE(Load(config));
    EXPECT_FALSE(params->is_64bit_os);
    EXPECT_EQ(params->program_files64_folder, params->program_files_folder);
    EXPECT_EQ(params->target_folder, params->program_files_folder + "\\Sample");

    variable.Set(L"D:\\Programs64");
    ASSERT_TRUE(Load(config));
    EXPECT_TRUE(params->is_64bit_os);
    EXPECT_EQ(params->program_files64_folder, "D:\\Programs64");
    EXPECT_EQ(params->target_folder, "D:\\Programs64\\Sample");
}

TEST_F(LoadConfigTest, InstallPathWithoutRecordTakesThePathOnly)
{
    ClassLib::Registry::TRegistry registry;
    registry.SetRootKey(HKEY_LOCAL_MACHINE);
    ASSERT_TRUE(registry.OpenKey("Software\\" + regKey, true));
    registry.WriteString("Other", folder.Path());
    ASSERT_TRUE(Load(config));
    EXPECT_FALSE(params->prev_install_found);

    registry.WriteString("InstallPath", folder.Path());
    ASSERT_TRUE(Load(config));
    EXPECT_TRUE(params->prev_install_found);
    EXPECT_FALSE(params->prev_record_matched);
    EXPECT_EQ(params->target_folder, folder.Path());
    EXPECT_EQ(params->default_target_folder, folder.Path());
    EXPECT_EQ(params->start_menu_group, A("Группа"));
    EXPECT_TRUE(params->create_desktop_links);

    registry.WriteInteger("InstallPath", 1);
    EXPECT_FALSE(Load(config));
}

TEST_F(LoadConfigTest, MatchingRecordRestoresTheEarlierChoices)
{
    WriteInstallPath(regKey, folder.Path());
    WriteRecord(folder.Path(), MatchingRecord());
    ASSERT_TRUE(Load(config));
    EXPECT_TRUE(params->prev_install_found);
    EXPECT_TRUE(params->prev_record_matched);
    EXPECT_EQ(params->start_menu_group, A("Своя"));
    EXPECT_EQ(params->prev_start_menu_group, A("Своя"));
    EXPECT_EQ(params->configured_start_menu_group, A("Группа"));
    EXPECT_FALSE(params->create_desktop_links);
    EXPECT_FALSE(params->create_autorun_record);
    EXPECT_TRUE(params->par_proc_install);
    EXPECT_EQ(params->par_proc_folder, "C:\\Recorded");
    EXPECT_EQ(params->default_par_proc_folder, "C:\\Recorded");
}

TEST_F(LoadConfigTest, RecordThatDeclinesAttachingKeepsTheMainSystemFolder)
{
    WriteInstallPath(regKey, folder.Path());
    WriteInstallPath(parProcRegKey, "C:\\MainInstalled");
    std::vector<TItem> record = MatchingRecord();
    SectionAt(record, "par_proc") = {I("install", 0)};
    WriteRecord(folder.Path(), record);
    ASSERT_TRUE(Load(config));
    EXPECT_TRUE(params->prev_record_matched);
    EXPECT_FALSE(params->par_proc_install);
    EXPECT_EQ(params->par_proc_folder, "C:\\MainInstalled");
}

TEST_F(LoadConfigTest, RecordOfAnotherProductIsIgnored)
{
    WriteInstallPath(regKey, folder.Path());
    std::vector<TItem> record = MatchingRecord();
    record[0] = S("app_sign", "sample.app.1"); // signatures compare case-sensitively
    WriteRecord(folder.Path(), record);
    ASSERT_TRUE(Load(config));
    EXPECT_TRUE(params->prev_install_found);
    EXPECT_FALSE(params->prev_record_matched);
    EXPECT_EQ(params->target_folder, folder.Path());
    EXPECT_EQ(params->start_menu_group, A("Группа"));
    EXPECT_EQ(params->prev_start_menu_group, "");
    EXPECT_TRUE(params->create_desktop_links);
}

TEST_F(LoadConfigTest, IncompleteRecordKeepsWhatWasReadAndStaysUnmatched)
{
    WriteInstallPath(regKey, folder.Path());
    WriteRecord(folder.Path(), MatchingRecord(false));
    ASSERT_TRUE(Load(config));
    EXPECT_FALSE(params->prev_record_matched);
    EXPECT_EQ(params->start_menu_group, A("Своя"));
    EXPECT_TRUE(params->create_desktop_links);
    EXPECT_TRUE(params->create_autorun_record);

    ASSERT_TRUE(StepsTest::WriteFileBytes(folder / "InstData.x-ini", "<vxini><s n=\"app_sign\""));
    ASSERT_TRUE(Load(config));
    EXPECT_TRUE(params->prev_install_found);
    EXPECT_FALSE(params->prev_record_matched);
}

TEST_F(LoadConfigTest, WithoutParProcTheRecordNeedsNoParProcSection)
{
    Remove(config, "par_proc");
    WriteInstallPath(regKey, folder.Path());
    std::vector<TItem> record = MatchingRecord();
    Remove(record, "par_proc");
    WriteRecord(folder.Path(), record);
    ASSERT_TRUE(Load(config));
    EXPECT_TRUE(params->prev_record_matched);
    EXPECT_FALSE(params->par_proc_install);
    EXPECT_EQ(params->par_proc_folder, "");
}

TEST_F(LoadConfigTest, TitleIsSetOnlyForANonEmptyAppTitle)
{
    ClassLib::Application->SetTitle("unchanged");
    SectionAt(config, "general")[1] = S("app_title", "");
    ASSERT_TRUE(Load(config));
    EXPECT_EQ(std::string(ClassLib::Application->Title()), "unchanged");

    config = FullConfig(regKey, parProcRegKey);
    ASSERT_TRUE(Load(config));
    EXPECT_EQ(std::string(ClassLib::Application->Title()), A("Установка Учёт"));
}

TEST_F(LoadConfigTest, SampleProductConfigurationLoads)
{
    std::string source = __FILE__;
    for (char &c : source)
        if (c == '/')
            c = '\\';
    if (source[0] == '\\')
        source = "Z:" + source;
    const std::string path = ExtractFilePath(source) + "..\\..\\resources\\config.x-ini";
    document = StepsTest::ReadFileBytes(path);
    ASSERT_FALSE(document.empty()) << path;
    params = std::make_unique<TInstParams>();
    ASSERT_TRUE(params->Load({}, make_var_a<TVxFixedMemStream>(&document[0], static_cast<unsigned>(document.size()),
                                                                TVxFixedMemStream::omRead)));
    EXPECT_EQ(params->app_title, A("Учёт заявок"));
    EXPECT_EQ(params->finish_run.size(), 2u);
    EXPECT_EQ(params->start_menu_links.size(), 2u);
    EXPECT_FALSE(params->has_par_proc);
    EXPECT_TRUE(params->install_redist.empty());
}

// Shell calls that record what the getter did.
struct TFakeShell {
    static inline BOOL pathAnswer;
    static inline HRESULT locationAnswer;
    static inline BOOL idListAnswer;
    static inline int locationCalls;
    static inline LPITEMIDLIST handedOut;
    static inline LPVOID freed;
    static inline ITEMIDLIST itemList;

    static void Reset()
    {
        pathAnswer = FALSE;
        locationAnswer = S_OK;
        idListAnswer = TRUE;
        locationCalls = 0;
        handedOut = nullptr;
        freed = nullptr;
    }
    static BOOL WINAPI GetPath(HWND, LPSTR buffer, int folder, BOOL)
    {
        if (pathAnswer)
            lstrcpyA(buffer, folder == CSIDL_PROGRAMS ? "C:\\Direct" : "");
        return pathAnswer;
    }
    static HRESULT WINAPI GetLocation(HWND, int, LPITEMIDLIST *list)
    {
        ++locationCalls;
        if (FAILED(locationAnswer))
            return locationAnswer;
        handedOut = &itemList;
        *list = handedOut;
        return S_OK;
    }
    static BOOL WINAPI PathFromIdList(LPCITEMIDLIST, LPSTR buffer)
    {
        lstrcpyA(buffer, "C:\\Fallback");
        return idListAnswer;
    }
    static void WINAPI Free(LPVOID list) { freed = list; }
};

TEST(SpecialFolderGetter, FallbackLookupFreesTheItemListItGot)
{
    const TShellFolderCalls calls = {&TFakeShell::GetPath, &TFakeShell::GetLocation, &TFakeShell::PathFromIdList,
                                     &TFakeShell::Free};
    TFakeShell::Reset();
    TSpecialFolderGetter getter(false, calls);
    EXPECT_EQ(getter.GetSpecialFolderPath(CSIDL_PROGRAM_FILES, "C:\\"), "C:\\Fallback");
    ASSERT_NE(TFakeShell::handedOut, nullptr);
    EXPECT_EQ(TFakeShell::freed, TFakeShell::handedOut);

    TFakeShell::Reset();
    TFakeShell::idListAnswer = FALSE; // no path for the list: still freed, and an error
    EXPECT_THROW(getter.GetSpecialFolderPath(CSIDL_PROGRAM_FILES, "C:\\"), Mirelta::TVxMessage);
    EXPECT_EQ(TFakeShell::freed, TFakeShell::handedOut);
}

TEST(SpecialFolderGetter, DirectLookupWinsAndFailuresRaiseUnlessTolerant)
{
    TShellFolderCalls calls = {&TFakeShell::GetPath, &TFakeShell::GetLocation, &TFakeShell::PathFromIdList,
                               &TFakeShell::Free};
    TFakeShell::Reset();
    TFakeShell::pathAnswer = TRUE;
    TSpecialFolderGetter getter(false, calls);
    EXPECT_EQ(getter.GetSpecialFolderPath(CSIDL_PROGRAMS, "C:\\"), "C:\\Direct");
    EXPECT_EQ(TFakeShell::locationCalls, 0);

    TFakeShell::Reset();
    TFakeShell::locationAnswer = E_FAIL;
    calls.getFolderPath = nullptr; // the shell does not export the direct lookup
    TSpecialFolderGetter strict(false, calls);
    try {
        strict.GetSpecialFolderPath(CSIDL_PROGRAMS, "C:\\");
        ADD_FAILURE() << "no error";
    } catch (const Mirelta::TVxMessage &message) {
        EXPECT_EQ(message.Text(), "@GetSpecialFolderPath error");
    }
    EXPECT_EQ(TFakeShell::locationCalls, 1);
    TSpecialFolderGetter tolerant(true, calls);
    EXPECT_EQ(tolerant.GetSpecialFolderPath(CSIDL_PROGRAMS, "C:\\"), "C:\\");
}

TEST(LoadResourceStreamTest, ExposesTheProgramsOwnResourceAndNothingForAMissingOne)
{
    VTVxStream manifest = LoadResourceStream(MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24));
    ASSERT_TRUE(manifest);
    EXPECT_TRUE(manifest->isOpen());
    char head[5] = {};
    EXPECT_EQ(manifest->Read(head, 5), 5u);
    EXPECT_EQ(std::string(head, 5), "<?xml");
    EXPECT_FALSE(LoadResourceStream("NO_SUCH_RESOURCE", MAKEINTRESOURCEA(10)));
}

} // namespace
