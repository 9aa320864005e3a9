#include <gtest/gtest.h>

#include <windows.h>

#include "StepsTestUtil.h"
#include "classlib/Registry.h"
#include "foundation/VxMessage.h"
#include "foundation/VxPath.h"
#include "foundation/VxStream.h"
#include "foundation/VxText.h"
#include "installer/InstParams.h"
#include "installer/Records.h"

using ClassLib::Registry::TRegistry;
using StepsTest::A;
using StepsTest::TTempFolder;

namespace {

const std::string MachineRoot = "HKEY_LOCAL_MACHINE\\";

// Registry keys of one test run, removed before and after each test.
class RecordsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        product_ = FormatString("VxStepsTest_%lu", GetCurrentProcessId());
        uninstallKey_ = std::string(UninstallKeyPath) + "\\" + product_;
        CleanRegistry();
        params_.app_sign = "VxStepsTestSign";
        params_.target_folder = temp_.Path();
        params_.install_log.Begin();
    }
    void TearDown() override { CleanRegistry(); }

    void CleanRegistry()
    {
        TRegistry registry;
        registry.DeleteKey(uninstallKey_);
        registry.DeleteKey(uninstallKey_ + "_sibling");
        registry.DeleteKey("Software\\" + product_);
        if (registry.OpenKey(AutorunKeyPath, false)) {
            registry.DeleteValue(product_);
            registry.CloseKey();
        }
    }

    void FillUninstallData()
    {
        params_.reg_uninstall_key = product_;
        params_.display_name = A("Тестовый продукт");
        params_.uninstall_exe = "bin\\uninstall.exe";
    }

    TTempFolder temp_;
    TInstParams params_;
    std::string product_;
    std::string uninstallKey_;
};

} // namespace

TEST_F(RecordsTest, AutorunValueHoldsTheQuotedProgramPath)
{
    params_.create_autorun_record = true;
    params_.autorun_link.target_file = "bin\\app.exe";
    params_.autorun_link.description = product_;
    params_.autorun_link.cmd_line_params = "-ignored";
    params_.WriteAutorunRecord();

    TRegistry registry;
    ASSERT_TRUE(registry.OpenKeyReadOnly(AutorunKeyPath));
    EXPECT_EQ("\"" + temp_.Path() + "\\bin\\app.exe\"", registry.ReadString(product_));
    const Mirelta::string_vector expected = {"+Reg: " + MachineRoot + AutorunKeyPath + "\\" + product_};
    EXPECT_EQ(expected, StepsTest::LogEntries(params_));
}

TEST_F(RecordsTest, AutorunIsSkippedWhenOffOrWithoutProgram)
{
    params_.autorun_link.description = product_;
    params_.autorun_link.target_file = "app.exe";
    params_.create_autorun_record = false;
    params_.WriteAutorunRecord();
    params_.create_autorun_record = true;
    params_.autorun_link.target_file = "";
    params_.WriteAutorunRecord();

    TRegistry registry;
    ASSERT_TRUE(registry.OpenKeyReadOnly(AutorunKeyPath));
    EXPECT_FALSE(registry.ValueExists(product_));
    EXPECT_TRUE(StepsTest::LogEntries(params_).empty());
}

TEST_F(RecordsTest, UninstallEntryIsReplacedAsAWhole)
{
    {
        TRegistry registry;
        ASSERT_TRUE(registry.OpenKey(uninstallKey_ + "\\Leftover", true));
        registry.CloseKey();
        ASSERT_TRUE(registry.OpenKey(uninstallKey_, true));
        registry.WriteString("OldValue", "old");
        registry.WriteInteger("NoModify", 1);
    }
    FillUninstallData();
    params_.target_folder = "C:\\Prog";
    params_.display_version = "2.1";
    params_.publisher = A("Мирелта");
    params_.url_info_about = "http://example.test/";
    params_.display_icon_file = "app.ico";
    params_.help_telephone = "+7 000";
    params_.contact = "support";
    params_.no_modify = 0;
    params_.no_repair = -1;
    params_.WriteUninstallRecord();

    TRegistry registry;
    ASSERT_TRUE(registry.OpenKeyReadOnly(uninstallKey_));
    ClassLib::TStringList names;
    registry.GetValueNames(names);
    EXPECT_EQ(9, names.Count());
    EXPECT_FALSE(registry.ValueExists("OldValue"));
    EXPECT_FALSE(registry.ValueExists("NoModify"));
    EXPECT_EQ(A("Тестовый продукт"), registry.ReadString("DisplayName"));
    EXPECT_EQ("\"C:\\Prog\\bin\\uninstall.exe\"", registry.ReadString("UninstallString"));
    EXPECT_EQ("2.1", registry.ReadString("DisplayVersion"));
    EXPECT_EQ(A("Мирелта"), registry.ReadString("Publisher"));
    EXPECT_EQ("http://example.test/", registry.ReadString("URLInfoAbout"));
    EXPECT_EQ("C:\\Prog\\app.ico,-0", registry.ReadString("DisplayIcon"));
    EXPECT_EQ("+7 000", registry.ReadString("HelpTelephone"));
    EXPECT_EQ("support", registry.ReadString("Contact"));
    EXPECT_EQ(ClassLib::Registry::rdInteger, registry.GetDataType("NoRepair"));
    EXPECT_EQ(-1, registry.ReadInteger("NoRepair"));
    registry.CloseKey();
    EXPECT_FALSE(registry.KeyExists(uninstallKey_ + "\\Leftover"));

    const Mirelta::string_vector expected = {"+Reg: " + MachineRoot + uninstallKey_ + "\\"};
    EXPECT_EQ(expected, StepsTest::LogEntries(params_));
}

// The uninstall command is split like a redistributable's: only the program's
// path is quoted, its arguments follow it.
TEST_F(RecordsTest, UninstallStringQuotesTheProgramAndKeepsItsArguments)
{
    ASSERT_TRUE(StepsTest::WriteFileBytes(temp_ / "Un install.exe", "MZ"));
    const std::string folder = temp_.Path() + "\\";
    const struct {
        const char *uninstallExe;
        std::string expected;
    } cases[] = {
        {"Uninstall.exe", "\"" + folder + "Uninstall.exe\""},
        {"Uninstall.exe /S", "\"" + folder + "Uninstall.exe\" /S"},
        {"bin\\uninstall.exe  /S /log=\"a b\"", "\"" + folder + "bin\\uninstall.exe\" /S /log=\"a b\""},
        {"Un install.exe /S", "\"" + folder + "Un install.exe\" /S"},
        {"\"Not here.exe\" /S", "\"" + folder + "Not here.exe\" /S"},
    };
    FillUninstallData();
    for (const auto &c : cases) {
        params_.uninstall_exe = c.uninstallExe;
        params_.WriteUninstallRecord();
        TRegistry registry;
        ASSERT_TRUE(registry.OpenKeyReadOnly(uninstallKey_));
        EXPECT_EQ(c.expected, registry.ReadString("UninstallString")) << c.uninstallExe;
    }
}

TEST_F(RecordsTest, BadUninstallDataIsRefusedAndTheListIsUntouched)
{
    {
        TRegistry registry;
        ASSERT_TRUE(registry.OpenKey(uninstallKey_ + "_sibling", true));
        registry.WriteString("DisplayName", "other product");
    }
    struct {
        const char *key;
        const char *displayName;
        const char *uninstallExe;
    } cases[] = {
        {" ", "Name", "u.exe"},       {"\\", "Name", "u.exe"},     {"\\\\", "Name", "u.exe"},
        {" \\ ", "Name", "u.exe"},    {"\\Product", "Name", "u.exe"}, {"Company\\\\", "Name", "u.exe"},
        {"Company\\ ", "Name", "u.exe"}, {"Product", "", "u.exe"},   {"Product", "Name", ""},
    };
    for (const auto &c : cases) {
        params_.reg_uninstall_key = c.key;
        params_.display_name = c.displayName;
        params_.uninstall_exe = c.uninstallExe;
        try {
            params_.WriteUninstallRecord();
            ADD_FAILURE() << "no error for '" << c.key << "'";
        } catch (const Mirelta::TVxMessage &message) {
            EXPECT_EQ(VxGRes(30030), message.Text()) << c.key;
        }
    }
    EXPECT_TRUE(StepsTest::LogEntries(params_).empty());
    TRegistry registry;
    ASSERT_TRUE(registry.OpenKeyReadOnly(uninstallKey_ + "_sibling"));
    EXPECT_EQ("other product", registry.ReadString("DisplayName"));
}

TEST_F(RecordsTest, InstallDataIsWrittenByteForByte)
{
    params_.reg_install_key = product_;
    params_.target_folder = temp_.Path() + "\\";
    params_.start_menu_group = A("Мирелта\\Продукт");
    params_.create_desktop_links = true;
    params_.create_autorun_record = false;
    params_.has_par_proc = true;
    params_.par_proc_install = true;
    params_.par_proc_folder = "C:\\Main & \"Co\"";
    params_.WriteInstallData();

    TRegistry registry;
    ASSERT_TRUE(registry.OpenKeyReadOnly("Software\\" + product_));
    EXPECT_EQ(temp_.Path() + "\\", registry.ReadString("InstallPath"));

    const std::string record = temp_ / "InstData.x-ini";
    EXPECT_EQ("<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
              "<!DOCTYPE vxini SYSTEM \"vxini4.dtd\">\n"
              "<vxini>\n"
              "  <s n=\"app_sign\" v=\"VxStepsTestSign\"/>\n"
              "  <x n=\"start_menu\">\n"
              "    <s n=\"start_menu_group\" v=\"Мирелта\\Продукт\"/>\n"
              "  </x>\n"
              "  <x n=\"desktop_links\">\n"
              "    <i n=\"create_desktop_links\" v=\"1\"/>\n"
              "  </x>\n"
              "  <x n=\"autorun\">\n"
              "    <i n=\"create_autorun_record\" v=\"0\"/>\n"
              "  </x>\n"
              "  <x n=\"par_proc\">\n"
              "    <i n=\"install\" v=\"1\"/>\n"
              "    <s n=\"cfg_path\" v=\"C:\\Main &amp; &quot;Co&quot;\"/>\n"
              "  </x>\n"
              "</vxini>\n",
              StepsTest::ReadFileBytes(record));
    const Mirelta::string_vector expected = {"+Reg: " + MachineRoot + "Software\\" + product_ + "\\InstallPath",
                                             "+File: " + record};
    EXPECT_EQ(expected, StepsTest::LogEntries(params_));
}

TEST_F(RecordsTest, InstallDataParProcSectionFollowsTheConfiguration)
{
    params_.reg_install_key = "";
    params_.has_par_proc = false;
    params_.par_proc_install = true;
    params_.WriteInstallData();
    const std::string record = temp_ / "InstData.x-ini";
    EXPECT_EQ(std::string::npos, StepsTest::ReadFileBytes(record).find("par_proc"));
    const Mirelta::string_vector onlyFile = {"+File: " + record};
    EXPECT_EQ(onlyFile, StepsTest::LogEntries(params_));

    params_.has_par_proc = true;
    params_.par_proc_install = false;
    params_.par_proc_folder = "C:\\Main";
    params_.WriteInstallData();
    const std::string text = StepsTest::ReadFileBytes(record);
    EXPECT_NE(std::string::npos, text.find("  <x n=\"par_proc\">\n    <i n=\"install\" v=\"0\"/>\n  </x>\n"));
    EXPECT_EQ(std::string::npos, text.find("cfg_path"));
}

TEST_F(RecordsTest, RecordThatCannotBeCreatedFailsTheStep)
{
    params_.reg_install_key = "";
    // A folder where the record should go: the file cannot be created.
    ASSERT_TRUE(ForceDirectories(temp_ / "InstData.x-ini"));
    EXPECT_THROW(params_.WriteInstallData(), Mirelta::TVxMessage);

    params_.target_folder = temp_ / "missing";
    try {
        params_.WriteInstallData();
        ADD_FAILURE() << "no error for a missing target folder";
    } catch (const Mirelta::TVxMessage &message) {
        EXPECT_EQ((Mirelta::TVxMessage(31025) << (temp_ / "missing\\InstData.x-ini")).Text(), message.Text());
    }
    EXPECT_TRUE(StepsTest::LogEntries(params_).empty());
}

namespace {

// The smallest configuration that the loader takes, for the product key and
// signature given, with a "par_proc" section.
std::string LoaderConfiguration(const std::string &sign, const std::string &installKey)
{
    return "<vxini>\n"
           "  <s n=\"app_sign\" v=\"" + sign + "\"/>\n"
           "  <x n=\"install_conditions\">\n"
           "    <x n=\"platform_id\"><i n=\"check\" v=\"0\"/></x>\n"
           "    <x n=\"os_version\"><i n=\"check\" v=\"0\"/></x>\n"
           "    <x n=\"screen\"><i n=\"check\" v=\"0\"/></x>\n"
           "  </x>\n"
           "  <x n=\"general\">\n"
           "    <i n=\"show_background\" v=\"0\"/>\n"
           "    <s n=\"app_title\" v=\"Test\"/>\n"
           "    <s n=\"app_long_title\" v=\"Test product\"/>\n"
           "    <s n=\"tgt_folder\" v=\"C:\\nowhere\"/>\n"
           "    <s n=\"reg_install_key\" v=\"" + installKey + "\"/>\n"
           "    <s n=\"vx_consts_file\" v=\"\"/>\n"
           "  </x>\n"
           "  <x n=\"start_menu\"><s n=\"start_menu_group\" v=\"Configured\"/></x>\n"
           "  <x n=\"desktop_links\"><i n=\"create_desktop_links\" v=\"0\"/></x>\n"
           "  <x n=\"autorun\"><i n=\"create_autorun_record\" v=\"1\"/>"
           "<s n=\"comment\" v=\"\"/><s n=\"cb_caption\" v=\"\"/></x>\n"
           "  <x n=\"par_proc\">\n"
           "    <s n=\"par_proc_tgt_folder\" v=\"C:\\main\"/>\n"
           "    <s n=\"par_proc_reg_install_key\" v=\"" + installKey + "_main\"/>\n"
           "    <s n=\"par_proc_cfg_file\" v=\"pp.x-ini\"/>\n"
           "  </x>\n"
           "  <x n=\"pages\"><i n=\"licence\" v=\"0\"/><i n=\"target\" v=\"0\"/><i n=\"group\" v=\"0\"/>"
           "<i n=\"ready\" v=\"0\"/><i n=\"autorun\" v=\"0\"/></x>\n"
           "</vxini>\n";
}

bool LoadWith(TInstParams &params, std::string &document)
{
    VTVxStream config = make_var_a<TVxFixedMemStream>(&document[0], static_cast<unsigned>(document.size()),
                                                      TVxFixedMemStream::omRead);
    return params.Load(Mirelta::string_vector(), config);
}

} // namespace

TEST_F(RecordsTest, LoaderTakesOverTheChoicesOfTheWrittenRecord)
{
    const struct {
        bool attach;
        const char *folder;
    } cases[] = {{true, "C:\\Main system"}, {false, ""}};
    for (const auto &c : cases) {
        params_.reg_install_key = product_;
        params_.start_menu_group = A("Мирелта & Ко\\Продукт");
        params_.create_desktop_links = true;
        params_.create_autorun_record = false;
        params_.has_par_proc = true;
        params_.par_proc_install = c.attach;
        params_.par_proc_folder = c.folder;
        params_.WriteInstallData();

        std::string document = LoaderConfiguration(params_.app_sign, product_);
        TInstParams loaded;
        ASSERT_TRUE(LoadWith(loaded, document));
        EXPECT_TRUE(loaded.prev_install_found);
        EXPECT_TRUE(loaded.prev_record_matched);
        EXPECT_EQ(temp_.Path(), loaded.target_folder);
        EXPECT_EQ(params_.start_menu_group, loaded.start_menu_group);
        EXPECT_TRUE(loaded.create_desktop_links);
        EXPECT_FALSE(loaded.create_autorun_record);
        EXPECT_EQ(c.attach, loaded.par_proc_install);
        if (c.attach) {
            EXPECT_EQ(c.folder, loaded.par_proc_folder);
        }
    }
}
