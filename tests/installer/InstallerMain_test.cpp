#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>
#include <fstream>
#include <sstream>

#include "DialogAnswers.h"
#include "foundation/VxMessage.h"
#include "foundation/VxPath.h"
#include "foundation/VxText.h"
#include "installer/InstParams.h"
#include "installer/InstallProcedure.h"
#include "installer/InstallerMain.h"
#include "visual/DlgMessageBoxUnit.h"

using InstallTest::A;
using InstallTest::TDialogAnswers;

namespace {

std::string TempPath(const char *name)
{
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    return IncludeTrailingBackslash(WideToAnsi(temp)) + FormatString("%s-%lu", name, GetCurrentProcessId());
}

std::string ReadFile(const std::string &path)
{
    std::ifstream in(AnsiToWide(path).c_str(), std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

TEST(ConsoleProgress, WritesEachStateOnANewLineInTheOemCodePage)
{
    const std::string path = TempPath("console-progress");
    std::FILE *file = _wfopen(AnsiToWide(path).c_str(), L"wb");
    ASSERT_NE(file, nullptr);
    {
        TConsProgress console(file);
        EXPECT_TRUE(console.OnState(A("Удаление предыдущей версии...")));
        EXPECT_TRUE(console.OnProgress(50));
        EXPECT_TRUE(console.OnProgress(InstProgressIndefinite));
        EXPECT_TRUE(console.OnState("Done"));
    }
    std::fclose(file);
    // Code page 866: "Удаление" is 93 A4 A0 AB A5 AD A8 A5.
    EXPECT_EQ(ReadFile(path), "\r\n\x93\xA4\xA0\xAB\xA5\xAD\xA8\xA5 \xAF\xE0\xA5\xA4\xEB\xA4\xE3\xE9\xA5\xA9 "
                              "\xA2\xA5\xE0\xE1\xA8\xA8...\r\nDone");
    DeleteFileW(AnsiToWide(path).c_str());
}

TEST(ConsoleProgress, WithoutAnOutputStreamWritesNothingAndGoesOn)
{
    TConsProgress console(nullptr);
    EXPECT_FALSE(console.IsOpen());
    EXPECT_TRUE(console.OnState("text"));
    EXPECT_TRUE(console.OnProgress(10));
}

class RunModeTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        base = TempPath("run-mode-test");
        DeleteTree(base, true, true, true);
        params.target_folder = base + "\\Target";
        params.own_folder = IncludeTrailingBackslash(base);
        params.app_title = A("Учёт заявок");
        ForceDirectories(params.target_folder);
        output = _wfopen(AnsiToWide(base + "\\console.txt").c_str(), L"wb");
        ASSERT_NE(output, nullptr);
    }
    void TearDown() override
    {
        if (output)
            std::fclose(output);
        DeleteTree(base, true, true, true);
    }
    std::string ConsoleText()
    {
        std::fclose(output);
        output = nullptr;
        return ReadFile(base + "\\console.txt");
    }

    std::string base;
    TInstParams params;
    std::FILE *output = nullptr;
};

TEST_F(RunModeTest, UnattendedModesEndWithZeroAfterSuccessAndOneAfterFailure)
{
    for (int mode : {3, 4}) {
        TConsProgress console(output);
        params.run_mode = mode;
        params.target_folder = base + "\\Target";
        {
            TDialogAnswers answers;
            EXPECT_EQ(RunInstaller(params, &console), 0) << mode;
            EXPECT_TRUE(answers.Shown().empty()) << mode;
        }
        EXPECT_EQ(params.progress_sink, nullptr);
        EXPECT_TRUE(FileExists(params.target_folder + "\\Install.log"));

        params.target_folder = "relative";
        TDialogAnswers answers;
        EXPECT_EQ(RunInstaller(params, &console), 1) << mode;
        EXPECT_EQ(answers.Shown().size(), 1u) << mode; // the installation's own error
    }
    // Only the console run wrote its states.
    const std::string text = ConsoleText();
    EXPECT_EQ(text.rfind("\r\n" + AnsiToOem(LoadResStdString(30016)), 0), 0u) << text;
}

TEST_F(RunModeTest, WizardModesAreUnavailableAndEndWithOne)
{
    for (int mode : {0, 1, 2}) {
        params.run_mode = mode;
        TDialogAnswers answers;
        EXPECT_EQ(RunInstaller(params), 1) << mode;
        ASSERT_EQ(answers.Shown().size(), 1u) << mode;
        EXPECT_EQ(answers.Shown()[0].text, WizardUnavailableText());
    }
    EXPECT_FALSE(FileExists(params.target_folder + "\\Install.log"));
}

TEST_F(RunModeTest, ExpressQuestionAfterAMatchingPreviousInstallation)
{
    const std::string question = FormatString(LoadResStdString(30034).c_str(), params.app_title.c_str());
    struct {
        int answer;
        int exitCode;
        int runMode;
        size_t dialogs;
    } cases[] = {
        {mbCancel, 1, 0, 1}, // ends at once
        {mbNo, 1, 0, 2},     // the full wizard
        {mbYes, 1, 1, 2},    // the express wizard (Shift is up)
    };
    for (const auto &c : cases) {
        params.run_mode = 0;
        params.prev_record_matched = true;
        TDialogAnswers answers({c.answer});
        EXPECT_EQ(RunInstaller(params), c.exitCode) << c.answer;
        EXPECT_EQ(params.run_mode, c.runMode) << c.answer;
        ASSERT_EQ(answers.Shown().size(), c.dialogs) << c.answer;
        EXPECT_EQ(answers.Shown()[0].text, question);
    }

    // Without a matching record, or outside mode 0, nothing is asked.
    params.prev_record_matched = false;
    params.run_mode = 0;
    TDialogAnswers answers;
    RunInstaller(params);
    ASSERT_EQ(answers.Shown().size(), 1u);
    EXPECT_EQ(answers.Shown()[0].text, WizardUnavailableText());
}

} // namespace
