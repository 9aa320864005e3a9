#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "StepsTestUtil.h"
#include "foundation/VxMessage.h"
#include "foundation/VxPath.h"
#include "foundation/VxText.h"
#include "foundation/WinHandle.h"
#include "installer/InstParams.h"
#include "installer/ParProc.h"
#include "tests/support/Replaced.h"
#include "visual/DlgMessageBoxUnit.h"

using StepsTest::A;
using StepsTest::TTempFolder;

namespace {

// Records the reports; answers false to a progress report while refuse is set.
class TRecordingSink : public TInstProgress {
public:
    explicit TRecordingSink(TInstParams &params) : params_(params) {}
    bool OnState(const std::string &text) override
    {
        states.push_back(text);
        return true;
    }
    bool OnProgress(int32_t percent) override
    {
        progress.push_back(percent);
        if (cancelOnProgress) {
            // What the wizard does when the user confirms cancelling.
            params_.cancel = true;
            return false;
        }
        return true;
    }

    std::vector<std::string> states;
    std::vector<int32_t> progress;
    bool cancelOnProgress = false;

private:
    TInstParams &params_;
};

// The redistributable question answered from a script, every text recorded.
std::vector<int> scriptedAnswers;
std::vector<std::string> questions;

int ScriptedQuestion(const std::string &text)
{
    questions.push_back(text);
    if (scriptedAnswers.empty())
        return IDABORT;
    const int answer = scriptedAnswers.front();
    scriptedAnswers.erase(scriptedAnswers.begin());
    return answer;
}

std::vector<std::string> errors;

// Whether the file exists within 10 s.
bool AwaitFile(const std::string &path)
{
    for (int i = 0; i < 200 && !FileExists(path); ++i)
        Sleep(50);
    return FileExists(path);
}

// Deletes the file once it can be (a running program's file cannot); false
// when it still cannot after 10 s.
bool AwaitDeleted(const std::string &path)
{
    for (int i = 0; i < 200 && FileExists(path) && !FileDelete(path); ++i)
        Sleep(50);
    return !FileExists(path);
}

void RecordError(const std::string &text)
{
    errors.push_back(text);
}

std::vector<std::string> Lines(const std::string &text)
{
    std::vector<std::string> lines;
    std::string::size_type start = 0;
    for (std::string::size_type end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
        lines.push_back(text.substr(start, end - start));
    return lines;
}

// Answers the next message dialog from a thread timer, which runs inside the
// dialog's modal loop: clicks the button of `bit`, or closes the dialog when
// bit is 0. Records the dialog's text and default button.
struct TDialogDismisser {
    int bit = 0;
    bool seen = false;
    bool ignoreIsDefault = false;
    std::string text;
    unsigned ticks = 0;
};
TDialogDismisser dismisser;

TDlgMessageBox *ShownDialog()
{
    for (int i = ClassLib::Screen->FormCount() - 1; i >= 0; --i)
        if (auto *dialog = dynamic_cast<TDlgMessageBox *>(ClassLib::Screen->Forms(i)))
            if (IsWindowVisible(dialog->Handle()))
                return dialog;
    return nullptr;
}

void CALLBACK DismissTick(HWND, UINT, UINT_PTR timer, DWORD)
{
    TDlgMessageBox *dialog = ShownDialog();
    if (!dialog) {
        if (++dismisser.ticks > 200)
            KillTimer(nullptr, timer);
        return;
    }
    KillTimer(nullptr, timer);
    dismisser.seen = true;
    dismisser.text = dialog->MmMessage->Text();
    dismisser.ignoreIsDefault = dialog->BtnIgnore->Default();
    for (const auto &data : dialog->ButtonList())
        if (data.bit == dismisser.bit) {
            data.button->Click();
            return;
        }
    PostMessageW(dialog->Handle(), WM_CLOSE, 0, 0);
}

class ParProcTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        scriptedAnswers.clear();
        questions.clear();
        errors.clear();
        params_.target_folder = temp_ / "Program Files\\Product";
        ASSERT_TRUE(ForceDirectories(params_.target_folder));
        params_.SetProgress(&sink_);
        params_.install_log.Begin();
    }
    void TearDown() override { params_.SetProgress(nullptr); }

    // Copies a helper program into the target folder.
    std::string Install(const std::string &helper, const std::string &relative)
    {
        const std::string path = params_.target_folder + "\\" + relative;
        ForceDirectories(ExtractFilePath(path));
        EXPECT_TRUE(FileCopy(StepsTest::HelperProgram(helper), path, false)) << relative;
        return path;
    }

    const TReplaced<TRedistFailureQuestion> question_{RedistFailureQuestion, &ScriptedQuestion};
    const TReplaced<TParProcErrorDisplay> errorDisplay_{ParProcErrorDisplay, &RecordError};
    TTempFolder temp_;
    TInstParams params_;
    TRecordingSink sink_{params_};
};

} // namespace

TEST(RedistQuestionTest, WarningAnswersAbortRetryIgnoreAndClosingAborts)
{
    const struct {
        int bit;
        int answer;
    } cases[] = {{mbAbort, IDABORT}, {mbRetry, IDRETRY}, {mbIgnore, IDIGNORE}, {0, IDABORT}};
    for (const auto &c : cases) {
        dismisser = TDialogDismisser();
        dismisser.bit = c.bit;
        SetTimer(nullptr, 0, 50, &DismissTick);
        EXPECT_EQ(c.answer, AskRedistFailure(A("Ошибка установки (redist.exe)"))) << c.bit;
        EXPECT_TRUE(dismisser.seen) << c.bit;
        EXPECT_TRUE(dismisser.ignoreIsDefault) << c.bit;
        EXPECT_NE(std::string::npos, dismisser.text.find(A("Ошибка установки (redist.exe)"))) << c.bit;
    }
}

TEST_F(ParProcTest, RedistributableRunsByItsQuotedPathInItsOwnFolder)
{
    const std::string program = Install("vxchild_marker", "run time\\vxchild_marker.exe");
    // Programs planted where an unquoted command line would be cut.
    ASSERT_TRUE(FileCopy(StepsTest::HelperProgram("vxchild_exit"), temp_ / "Program.exe", false));
    Install("vxchild_exit", "run.exe");
    params_.install_redist = {"run time\\vxchild_marker.exe marker.txt \"first arg\" -q"};
    params_.InstallRedist();

    const std::vector<std::string> marker =
        Lines(StepsTest::ReadFileBytes(params_.target_folder + "\\run time\\marker.txt"));
    ASSERT_EQ(5u, marker.size());
    EXPECT_EQ("\"" + program + "\" marker.txt \"first arg\" -q", marker[0]);
    EXPECT_EQ(UpperCase(ExtractFilePath(program)), UpperCase(IncludeTrailingBackslash(marker[1])));
    EXPECT_EQ("marker.txt", marker[2]);
    EXPECT_EQ("first arg", marker[3]);
    EXPECT_EQ("-q", marker[4]);
    EXPECT_TRUE(questions.empty());
    const std::vector<std::string> states = {
        FormatString(VxGRes(30032).c_str(), "run time\\vxchild_marker.exe marker.txt \"first arg\" -q")};
    EXPECT_EQ(states, sink_.states);
}

TEST_F(ParProcTest, FailedRedistributableIsRetriedAndIgnoredAsAnswered)
{
    Install("vxchild_exit", "fail.exe");
    Install("vxchild_marker", "mark.exe");
    params_.install_redist = {"fail.exe 1", "mark.exe done.txt"};
    scriptedAnswers = {IDRETRY, IDRETRY, IDIGNORE};
    params_.InstallRedist();

    const std::string question = (Mirelta::TVxMessage(30021) << "fail.exe 1").Text();
    EXPECT_EQ(std::vector<std::string>(3, question), questions);
    EXPECT_TRUE(FileExists(params_.target_folder + "\\done.txt"));
    // The state text goes out once per item, not per retry.
    EXPECT_EQ(2u, sink_.states.size());
}

TEST_F(ParProcTest, AbortedRedistributableFailsTheStep)
{
    Install("vxchild_exit", "fail.exe");
    Install("vxchild_marker", "mark.exe");
    params_.install_redist = {"fail.exe 7", "mark.exe done.txt"};
    scriptedAnswers = {IDABORT};
    try {
        params_.InstallRedist();
        ADD_FAILURE() << "no error after Abort";
    } catch (const Mirelta::TVxMessage &message) {
        EXPECT_EQ((Mirelta::TVxMessage(30021) << "fail.exe 7").Text(), message.Text());
    }
    EXPECT_EQ(1u, questions.size());
    EXPECT_FALSE(FileExists(params_.target_folder + "\\done.txt"));
}

TEST_F(ParProcTest, CancelConfirmedDuringARunEndsAsUserBreakWithoutQuestion)
{
    const std::string program = Install("vxchild_event", "slow.exe");
    Install("vxchild_marker", "mark.exe");
    // Runs, past the first one-second wait however slow the machine, until
    // the test sets its event; it would fail (exit code 2) after a minute.
    const std::string event = FormatString("ParProcTestSlow%lu", GetCurrentProcessId());
    params_.install_redist = {"slow.exe " + event + " ready.txt 60000", "mark.exe done.txt"};
    sink_.cancelOnProgress = true;
    try {
        params_.InstallRedist();
        ADD_FAILURE() << "no user break";
    } catch (const char *text) {
        EXPECT_STREQ("@User break", text);
    }
    EXPECT_FALSE(sink_.progress.empty());
    EXPECT_TRUE(questions.empty());
    EXPECT_FALSE(FileExists(params_.target_folder + "\\done.txt"));

    // The program goes on after the user break. It is let go and awaited
    // here, so that it does not outlive the test in the test's folder.
    ASSERT_TRUE(AwaitFile(params_.target_folder + "\\ready.txt"));
    const Mirelta::TWinHandle slow(OpenEventW(EVENT_MODIFY_STATE, FALSE, AnsiToWide(event).c_str()));
    ASSERT_TRUE(slow.IsValid());
    SetEvent(slow.Get());
    EXPECT_TRUE(AwaitDeleted(program)) << "the program did not end";
}

TEST_F(ParProcTest, MainSystemConfigurationIsReplacedByTheProductFolder)
{
    params_.par_proc_install = true;
    params_.par_proc_folder = temp_ / A("Главная система");
    params_.par_proc_cfg_file = "pp.x-ini";
    params_.target_folder += "\\\\";
    const std::string path = params_.par_proc_folder + "\\pp.x-ini";
    ASSERT_TRUE(StepsTest::WriteFileBytes(path, std::string(40000, 'x')));
    params_.ConnectParProc();

    EXPECT_EQ("<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
              "<!DOCTYPE vxini SYSTEM \"vxini4.dtd\">\n"
              "<vxini>\n"
              "  <s n=\"pp_program_folder\" v=\"" +
                  AnsiToUtf8(temp_ / "Program Files\\Product") +
                  "\"/>\n"
                  "</vxini>\n",
              StepsTest::ReadFileBytes(path));
    const Mirelta::string_vector expected = {AnsiToUtf8("+File: " + path)};
    EXPECT_EQ(expected, StepsTest::LogEntries(params_));
    EXPECT_TRUE(errors.empty());
}

TEST_F(ParProcTest, ParProcFailureIsShownAndTheStepReturns)
{
    params_.par_proc_install = true;
    params_.par_proc_folder = temp_ / "missing";
    params_.par_proc_cfg_file = "pp.x-ini";
    params_.ConnectParProc();

    ASSERT_EQ(1u, errors.size());
    const Mirelta::TVxMessage inner = Mirelta::TVxMessage(31025) << (temp_ / "missing\\pp.x-ini");
    EXPECT_EQ((Mirelta::TVxMessage(30037) << (temp_ / "missing") << inner).Text(), errors[0]);
    EXPECT_TRUE(StepsTest::LogEntries(params_).empty());

    errors.clear();
    params_.par_proc_install = false;
    params_.ConnectParProc();
    EXPECT_TRUE(errors.empty());
    EXPECT_FALSE(PathExists(temp_ / "missing"));
}

namespace {

// Makes a folder the current one for the object's life.
class TCurrentFolder {
public:
    explicit TCurrentFolder(const std::string &folder)
    {
        GetCurrentDirectoryW(MAX_PATH, saved_);
        SetCurrentDirectoryW(AnsiToWide(folder).c_str());
    }
    ~TCurrentFolder() { SetCurrentDirectoryW(saved_); }

private:
    wchar_t saved_[MAX_PATH] = {};
};

} // namespace

// A main-system folder that is empty or relative names no main system: the
// file would land below the folder the program was started from. Nothing is
// written or logged, the failure is shown as any other, and the record says
// that nothing was attached.
TEST_F(ParProcTest, EmptyOrRelativeMainSystemFolderAttachesNothing)
{
    const std::string current = temp_ / "current";
    ASSERT_TRUE(ForceDirectories(current + "\\Main"));
    const TCurrentFolder inCurrent(current);
    for (const char *folder : {"", "Main", ".\\Main", "C:Main", "\\Main"}) {
        errors.clear();
        params_.install_log.Begin();
        params_.has_par_proc = true;
        params_.par_proc_install = true;
        params_.par_proc_folder = folder;
        params_.par_proc_cfg_file = "pp.x-ini";
        params_.ConnectParProc();

        ASSERT_EQ(1u, errors.size()) << folder;
        EXPECT_EQ((Mirelta::TVxMessage(30037) << folder << Mirelta::TVxMessage(30007)).Text(), errors[0]);
        EXPECT_TRUE(StepsTest::LogEntries(params_).empty()) << folder;
        EXPECT_FALSE(PathExists(current + "\\pp.x-ini")) << folder;
        EXPECT_FALSE(PathExists(current + "\\Main\\pp.x-ini")) << folder;
        EXPECT_FALSE(PathExists("C:\\Main\\pp.x-ini")) << folder;
        EXPECT_FALSE(params_.par_proc_install) << folder;

        params_.WriteInstallData();
        const std::string record = StepsTest::ReadFileBytes(params_.target_folder + "\\InstData.x-ini");
        EXPECT_NE(std::string::npos, record.find("  <x n=\"par_proc\">\n    <i n=\"install\" v=\"0\"/>\n  </x>\n"))
            << folder;
        EXPECT_EQ(std::string::npos, record.find("cfg_path")) << folder;
    }
}
