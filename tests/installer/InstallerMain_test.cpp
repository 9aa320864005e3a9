#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>
#include <fstream>
#include <memory>
#include <sstream>

#include "DialogAnswers.h"
#include "classlib/Forms.h"
#include "foundation/VxMessage.h"
#include "foundation/VxPath.h"
#include "foundation/VxStream.h"
#include "foundation/VxText.h"
#include "foundation/var_a.h"
#include "installer/InstParams.h"
#include "installer/InstallProcedure.h"
#include "installer/InstallerMain.h"
#include "installer/wizard/FrmProgressUnit.h"
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
        params.run_mode = static_cast<TRunMode>(mode);
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

// A configuration that names the product and lacks every required section.
TEST_F(RunModeTest, AFailedLoadIsPrintedOnTheConsoleAndShownOnlyInTheWizardModes)
{
    std::string broken = "<?xml version=\"1.0\" encoding=\"utf-8\"?><vxini><s n=\"app_sign\" v=\"x\"/></vxini>";
    std::string error;
    for (int mode : {0, 1, 2, 3, 4}) {
        TInstParams loaded;
        ASSERT_FALSE(loaded.Load({"-express=" + std::to_string(mode)},
                                 make_var_a<TVxFixedMemStream>(&broken[0], static_cast<unsigned>(broken.size()),
                                                               TVxFixedMemStream::omRead)));
        ASSERT_EQ(loaded.run_mode, static_cast<TRunMode>(mode));
        ASSERT_NE(loaded.load_error, "");
        TConsProgress console(output);
        TDialogAnswers answers;
        EXPECT_EQ(LoadFailed(loaded, &console), 1) << mode;
        ASSERT_EQ(answers.Shown().size(), mode < 2 ? 1u : 0u) << mode;
        if (mode < 2) {
            EXPECT_EQ(answers.Shown()[0].text, LoadResStdString(30033));
        }
        if (mode == 3)
            error = loaded.load_error;
    }
    // Only the console run printed, the item named.
    EXPECT_EQ(ConsoleText(), "\r\n" + AnsiToOem(error));
    EXPECT_NE(error.find("install_conditions"), std::string::npos) << error;
}

// Holds the Shift key down while it lives.
class TShiftHeld {
public:
    TShiftHeld() { Send(0); }
    ~TShiftHeld() { Send(KEYEVENTF_KEYUP); }

private:
    static void Send(DWORD flags)
    {
        INPUT input{};
        input.type = INPUT_KEYBOARD;
        input.ki.wVk = VK_SHIFT;
        input.ki.dwFlags = flags;
        SendInput(1, &input, sizeof input);
    }
};

TEST_F(RunModeTest, ExpressQuestionAfterAMatchingPreviousInstallation)
{
    const std::string question = FormatString(LoadResStdString(30034).c_str(), params.app_title.c_str());
    struct {
        int answer;
        bool shift;
        bool goesOn;
        int runMode;
    } cases[] = {
        {mbCancel, false, false, 0}, // the run ends with exit code 1
        {mbNo, false, true, 0},      // the full wizard
        {mbYes, false, true, 1},     // the express wizard
        {mbYes, true, true, 2},      // the progress window
        {mbNo, true, true, 0},       // Shift counts only with Yes
    };
    for (const auto &c : cases) {
        params.run_mode = rmWizard;
        params.prev_record_matched = true;
        TDialogAnswers answers({c.answer});
        std::unique_ptr<TShiftHeld> shift;
        answers.beforeAnswer = [&](const InstallTest::TShownDialog &) {
            if (c.shift)
                shift.reset(new TShiftHeld);
        };
        EXPECT_EQ(PrepareRunMode(params), c.goesOn) << c.answer << c.shift;
        shift.reset();
        EXPECT_EQ(params.run_mode, c.runMode) << c.answer << c.shift;
        ASSERT_EQ(answers.Shown().size(), 1u) << c.answer << c.shift;
        EXPECT_EQ(answers.Shown()[0].text, question);
        EXPECT_EQ(answers.Shown()[0].buttons, mbYes | mbNo | mbCancel);
    }
    TDialogAnswers cancel({mbCancel});
    EXPECT_EQ(RunInstaller(params), 1) << "a cancelled question ends the run before any window";
    EXPECT_EQ(cancel.Shown().size(), 1u);
}

TEST_F(RunModeTest, NoQuestionWithoutAMatchingRecordOrOutsideTheFullWizard)
{
    const struct {
        int runMode;
        bool matched;
    } cases[] = {{0, false}, {1, true}, {2, true}, {3, true}, {4, true}};
    for (const auto &c : cases) {
        params.run_mode = static_cast<TRunMode>(c.runMode);
        params.prev_record_matched = c.matched;
        TDialogAnswers answers;
        EXPECT_TRUE(PrepareRunMode(params)) << c.runMode;
        EXPECT_EQ(params.run_mode, c.runMode);
        EXPECT_TRUE(answers.Shown().empty()) << c.runMode;
    }
}

// Runs the global settings object in run mode 2: the progress window as the
// main form, installing the test program's own payload into base\Target.
// The finish program lies beside the target folder and leaves a mark there.
class ProgressWindowModeTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(ClassLib::Application->MainForm(), nullptr);
        base = TempPath("progress-window-mode");
        DeleteTree(base, true, true, true);
        ForceDirectories(base);
        wchar_t self[MAX_PATH];
        GetModuleFileNameW(nullptr, self, MAX_PATH);
        const std::string marker = ExtractFilePath(WideToAnsi(self)) + "vxchild_marker.exe";
        ASSERT_TRUE(CopyFileW(AnsiToWide(marker).c_str(), AnsiToWide(FinishProgram()).c_str(), FALSE));

        InstParams.run_mode = rmProgressWindow;
        InstParams.target_folder = base + "\\Target";
        InstParams.own_folder = IncludeTrailingBackslash(base);
        InstParams.app_title = A("Учёт заявок");
        InstParams.finish_run = {{"..\\vxchild_marker.exe", "\"" + Mark() + "\"", "", true, true}};
    }
    void TearDown() override
    {
        delete FrmProgress;
        FrmProgress = nullptr;
        InstParams.target_folder.clear();
        InstParams.own_folder.clear();
        InstParams.app_title.clear();
        InstParams.finish_run.clear();
        InstParams.run_mode = rmWizard;
        DeleteTree(base, true, true, true);
    }
    std::string Mark() const { return base + "\\finished.txt"; }
    std::string FinishProgram() const { return base + "\\vxchild_marker.exe"; }
    // Whether the finish program has left its mark within the time.
    bool FinishProgramRan(DWORD ms) const
    {
        const DWORD start = GetTickCount();
        while (!FileExists(Mark()) && GetTickCount() - start < ms)
            Sleep(50);
        return FileExists(Mark());
    }
    // Whether a finish program was started. Called after RunMode has returned,
    // when it would have been started already: it runs still (the system does
    // not let a running program's file be deleted), or it has left its mark.
    bool FinishProgramStarted() const { return !FileDelete(FinishProgram()) || FileExists(Mark()); }

    std::string base;
};

TEST_F(ProgressWindowModeTest, ExitCodeZeroAfterACompletedInstallationAndItsFinishPrograms)
{
    TDialogAnswers answers;
    EXPECT_EQ(RunMode(InstParams), 0);
    EXPECT_TRUE(answers.Shown().empty());
    ASSERT_NE(FrmProgress, nullptr);
    EXPECT_TRUE(FrmProgress->Installed());
    EXPECT_TRUE(FileExists(InstParams.target_folder + "\\Install.log"));
    EXPECT_TRUE(FinishProgramRan(5000));
}

TEST_F(ProgressWindowModeTest, ExitCodeOneAfterAFailedInstallationWithoutFinishPrograms)
{
    // The target folder cannot be made: a file has its name.
    std::ofstream(AnsiToWide(InstParams.target_folder).c_str()) << "in the way";
    TDialogAnswers answers;
    EXPECT_EQ(RunMode(InstParams), 1);
    ASSERT_EQ(answers.Shown().size(), 1u); // the installation's own error
    EXPECT_EQ(answers.Shown()[0].buttons, mbOk);
    EXPECT_FALSE(FinishProgramStarted());
}

} // namespace
