#include <gtest/gtest.h>

#include <string>

#include "StepsTestUtil.h"
#include "installer/ProgramCommand.h"

using StepsTest::TTempFolder;

TEST(ProgramCommandTest, SplitsProgramFromArguments)
{
    TTempFolder temp;
    const std::string folder = temp.Path() + "\\";
    ASSERT_TRUE(StepsTest::WriteFileBytes(folder + "setup.exe", "MZ"));
    ASSERT_TRUE(StepsTest::WriteFileBytes(folder + "run time\\setup.exe", "MZ"));
    const struct {
        const char *item;
        const char *program;
        const char *arguments;
    } cases[] = {
        {"setup.exe", "setup.exe", ""},
        {"setup.exe /q /norestart", "setup.exe", "/q /norestart"},
        {"  setup.exe   /q", "setup.exe", "/q"},
        {"run time\\setup.exe /q", "run time\\setup.exe", "/q"},
        {"\"run time\\setup.exe\"  /q \"a b\"", "run time\\setup.exe", "/q \"a b\""},
        {"\"run time\\setup.exe\"", "run time\\setup.exe", ""},
        {"missing.exe /q", "missing.exe", "/q"},
        {"missing dir\\setup.exe", "missing", "dir\\setup.exe"},
    };
    for (const auto &c : cases) {
        const TProgramCommand command = SplitProgramCommand(folder, c.item);
        EXPECT_EQ(folder + c.program, command.program) << c.item;
        EXPECT_EQ(c.arguments, command.arguments) << c.item;
    }
    EXPECT_EQ("\"C:\\a b\\x.exe\" /q", QuotedCommandLine("C:\\a b\\x.exe", "/q"));
    EXPECT_EQ("\"C:\\x.exe\"", QuotedCommandLine("C:\\x.exe", ""));
}
