// The registry class against the real (Wine) registry, under a scratch key
// of HKEY_CURRENT_USER.
#include <windows.h>

#include <gtest/gtest.h>

#include "classlib/Registry.h"
#include "foundation/VxText.h"

using namespace ClassLib;
using namespace ClassLib::Registry;

namespace {

const char kScratch[] = "Software\\ClassLibRegistryTest";

class RegistryTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        reg.SetRootKey(HKEY_CURRENT_USER);
        reg.DeleteKey(kScratch);
    }
    void TearDown() override
    {
        reg.CloseKey();
        reg.DeleteKey(kScratch);
    }
    TRegistry reg;
};

} // namespace

TEST_F(RegistryTest, RootIsLocalMachineAndAccessIsFullByDefault)
{
    TRegistry fresh;
    EXPECT_EQ(HKEY_LOCAL_MACHINE, fresh.RootKey());
    EXPECT_EQ(static_cast<REGSAM>(KEY_ALL_ACCESS), fresh.Access());
}

TEST_F(RegistryTest, WrittenValuesReadBackWithTheirTypes)
{
    ASSERT_TRUE(reg.OpenKey(kScratch, true));
    const AnsiString path = Utf8ToAnsi("C:\\Программы\\Продукт");
    reg.WriteString("InstallPath", path);
    reg.WriteInteger("NoModify", 1);
    EXPECT_TRUE(reg.ValueExists("InstallPath"));
    EXPECT_FALSE(reg.ValueExists("Missing"));
    EXPECT_EQ(path, reg.ReadString("InstallPath"));
    EXPECT_EQ(1, reg.ReadInteger("NoModify"));
    EXPECT_EQ(rdString, reg.GetDataType("InstallPath"));
    EXPECT_EQ(rdInteger, reg.GetDataType("NoModify"));
    EXPECT_EQ("", reg.ReadString("Missing"));
    reg.CloseKey();

    // A second object sees what the first wrote, read-only.
    TRegistry reader;
    reader.SetRootKey(HKEY_CURRENT_USER);
    ASSERT_TRUE(reader.OpenKeyReadOnly(kScratch));
    EXPECT_EQ(path, reader.ReadString("InstallPath"));
}

TEST_F(RegistryTest, ReadingTheWrongTypeRaises)
{
    ASSERT_TRUE(reg.OpenKey(kScratch, true));
    reg.WriteInteger("Number", 5);
    reg.WriteString("Text", "x");
    try {
        reg.ReadString("Number");
        FAIL() << "no exception";
    } catch (const ERegistryException &e) {
        EXPECT_STREQ("Invalid data type for 'Number'", e.what());
    }
    EXPECT_THROW(reg.ReadInteger("Text"), ERegistryException);
    EXPECT_THROW(reg.ReadInteger("Missing"), ERegistryException);
}

TEST_F(RegistryTest, WritingWithoutAnOpenKeyRaisesFailedToSetData)
{
    // The open is not tested by the callers: a key that failed to open
    // must make the first write fail loudly.
    EXPECT_FALSE(reg.OpenKey("Software\\ClassLibRegistryTest\\Not\\There", false));
    try {
        reg.WriteString("DisplayName", "x");
        FAIL() << "no exception";
    } catch (const ERegistryException &e) {
        EXPECT_STREQ("Failed to set data for 'DisplayName'", e.what());
    }
    EXPECT_THROW(reg.WriteInteger("NoRepair", 1), ERegistryException);
}

TEST_F(RegistryTest, FailedOpenKeepsThePreviousKeyOpen)
{
    ASSERT_TRUE(reg.OpenKey(kScratch, true));
    EXPECT_FALSE(reg.OpenKey("\\Software\\ClassLibRegistryTest\\Missing", false));
    EXPECT_EQ("Software\\ClassLibRegistryTest", reg.CurrentPath());
    reg.WriteString("StillHere", "1");
    EXPECT_TRUE(reg.ValueExists("StillHere"));
}

TEST_F(RegistryTest, DeleteKeyRemovesTheWholeTree)
{
    ASSERT_TRUE(reg.OpenKey("Software\\ClassLibRegistryTest\\Uninstall\\Product\\Deep", true));
    reg.WriteString("v", "1");
    reg.CloseKey();
    EXPECT_TRUE(reg.KeyExists("Software\\ClassLibRegistryTest\\Uninstall\\Product"));
    EXPECT_TRUE(reg.DeleteKey("Software\\ClassLibRegistryTest\\Uninstall\\Product"));
    EXPECT_FALSE(reg.KeyExists("Software\\ClassLibRegistryTest\\Uninstall\\Product"));
    EXPECT_TRUE(reg.KeyExists("Software\\ClassLibRegistryTest\\Uninstall"));
    // A missing key is no error for the caller, only a false result.
    EXPECT_FALSE(reg.DeleteKey("Software\\ClassLibRegistryTest\\Uninstall\\Product"));
}

TEST_F(RegistryTest, RelativePathsFollowTheOpenKey)
{
    ASSERT_TRUE(reg.OpenKey(kScratch, true));
    ASSERT_TRUE(reg.OpenKey("Child", true));
    EXPECT_EQ("Software\\ClassLibRegistryTest\\Child", reg.CurrentPath());
    ASSERT_TRUE(reg.OpenKey("\\Software\\ClassLibRegistryTest", false));
    EXPECT_EQ("Software\\ClassLibRegistryTest", reg.CurrentPath());
}

TEST_F(RegistryTest, The32BitViewFlagIsUsedForEveryOpen)
{
    TRegistry view(KEY_ALL_ACCESS | KEY_WOW64_32KEY);
    view.SetRootKey(HKEY_CURRENT_USER);
    ASSERT_TRUE(view.OpenKey(kScratch, true));
    view.WriteString("View", "32");
    view.CloseKey();
    EXPECT_TRUE(view.KeyExists(kScratch));
    EXPECT_TRUE(view.DeleteKey(kScratch));
}
