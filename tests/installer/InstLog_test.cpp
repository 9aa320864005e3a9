#include <gtest/gtest.h>

#include <memory>

#include "StepsTestUtil.h"
#include "installer/InstLog.h"
#include "installer/InstParams.h"

namespace {

unsigned clockTicks = 0;

std::string FixedClock()
{
    return ++clockTicks == 1 ? "9 December 2026 05:00:00" : "9 December 2026 05:07:30";
}

class InstLogTest : public testing::Test {
protected:
    void SetUp() override
    {
        clockTicks = 0;
        params = std::make_unique<TInstParams>();
        params->app_sign = "Sample.App";
        params->install_log.timeText = &FixedClock;
    }
    std::unique_ptr<TInstParams> params;
    StepsTest::TTempFolder folder;
};

TEST_F(InstLogTest, SavedFileHoldsExactlyTheHeaderEntriesAndFooterInUtf8)
{
    params->app_long_title = StepsTest::A("Учёт заявок 2.4");
    TInstLog &log = params->install_log;
    log.Begin();
    log.AddFolder("C:\\T\\Bin");
    log.AddFile(StepsTest::A("C:\\T\\Bin\\Отчёт.txt"));
    log.AddReg("HKEY_LOCAL_MACHINE\\Software\\Sample\\", "InstallPath");
    log.AddReg("HKEY_LOCAL_MACHINE\\Software\\Run", "Agent");
    log.End();
    const std::string path = folder / "Install.log";
    log.Save(path);

    const std::string expected = "\xEF\xBB\xBF===================================\r\n"
                                 "+App: Sample.App\r\n"
                                 "+Title: \xD0\xA3\xD1\x87\xD1\x91\xD1\x82 \xD0\xB7\xD0\xB0\xD1\x8F\xD0\xB2\xD0\xBE"
                                 "\xD0\xBA 2.4\r\n"
                                 "+Start: 9 December 2026 05:00:00\r\n"
                                 "+Folder: C:\\T\\Bin\r\n"
                                 "+File: C:\\T\\Bin\\\xD0\x9E\xD1\x82\xD1\x87\xD1\x91\xD1\x82.txt\r\n"
                                 "+Reg: HKEY_LOCAL_MACHINE\\Software\\Sample\\InstallPath\r\n"
                                 "+Reg: HKEY_LOCAL_MACHINE\\Software\\Run\\Agent\r\n"
                                 "+End: 9 December 2026 05:07:30\r\n"
                                 "===================================";
    EXPECT_EQ(StepsTest::ReadFileBytes(path), expected);
}

TEST_F(InstLogTest, BeginStartsAFreshLogAndSaveReplacesTheFile)
{
    TInstLog &log = params->install_log;
    log.Begin();
    log.AddFile("C:\\old.txt");
    clockTicks = 0;
    log.Begin();
    ASSERT_EQ(log.Lines().size(), 4u);
    EXPECT_EQ(log.Lines()[1], "+App: Sample.App");
    EXPECT_EQ(log.Lines()[2], "+Title: ");

    const std::string path = folder / "Install.log";
    ASSERT_TRUE(StepsTest::WriteFileBytes(path, std::string(1000, 'x')));
    log.End();
    log.Save(path);
    const std::string bytes = StepsTest::ReadFileBytes(path);
    EXPECT_EQ(bytes.size(), 169u); // the old, longer content is gone
    EXPECT_EQ(bytes.substr(bytes.size() - 37), "\r\n" + std::string(35, '='));
}

TEST_F(InstLogTest, NamesOutsideTheCodePageAreLoggedWithTheirOwnCharacters)
{
    params->install_log.Begin();
    params->install_log.AddFile("C:\\{@u4E2D}.txt"); // a character the code page cannot hold
    EXPECT_EQ(params->install_log.Lines().back(), "+File: C:\\\xE4\xB8\xAD.txt");
}

TEST_F(InstLogTest, SaveIntoAMissingFolderFailsSilently)
{
    params->install_log.Begin();
    params->install_log.End();
    const std::string path = folder / "missing\\Install.log";
    EXPECT_NO_THROW(params->install_log.Save(path));
    EXPECT_EQ(StepsTest::ReadFileBytes(path), "");
}

} // namespace
