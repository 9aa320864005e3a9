#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "StepsTestUtil.h"
#include "foundation/VxPath.h"
#include "foundation/VxText.h"
#include "installer/FinishRun.h"
#include "installer/InstParams.h"

using StepsTest::TTempFolder;

namespace {

struct TUnelevatedCall {
    std::string application;
    std::string commandLine;
    std::string currentFolder;
};

std::vector<TUnelevatedCall> unelevatedCalls;
DWORD unelevatedResult = ERROR_ACCESS_DENIED;

std::string CurrentFolder()
{
    wchar_t folder[MAX_PATH * 2] = {};
    GetCurrentDirectoryW(MAX_PATH * 2, folder);
    return IncludeTrailingBackslash(WideToAnsi(folder));
}

DWORD RecordingUnelevatedStart(const wchar_t *applicationName, wchar_t *commandLine)
{
    unelevatedCalls.push_back({WideToAnsi(applicationName), WideToAnsi(commandLine), CurrentFolder()});
    return unelevatedResult;
}

TRunData RunItem(const std::string &target, const std::string &arguments, bool exec = true)
{
    TRunData run;
    run.target_file = target;
    run.cmd_line_params = arguments;
    run.exec = exec;
    return run;
}

// The marker's lines once the started program has written it (the starts do
// not wait); empty after the time limit.
std::vector<std::string> AwaitMarker(const std::string &path, DWORD limitMs = 15000)
{
    for (DWORD waited = 0; waited < limitMs && !FileExists(path); waited += 50)
        Sleep(50);
    std::vector<std::string> lines;
    const std::string text = StepsTest::ReadFileBytes(path);
    std::string::size_type start = 0;
    for (std::string::size_type end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
        lines.push_back(text.substr(start, end - start));
    return lines;
}

class FinishRunTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        unelevatedCalls.clear();
        unelevatedResult = ERROR_ACCESS_DENIED;
        savedStart_ = FinishUnelevatedStart;
        FinishUnelevatedStart = &RecordingUnelevatedStart;
        params_.target_folder = temp_ / "Product";
        program_ = params_.target_folder + "\\bin\\vxchild_marker.exe";
        ASSERT_TRUE(ForceDirectories(ExtractFilePath(program_)));
        ASSERT_TRUE(FileCopy(StepsTest::HelperProgram("vxchild_marker"), program_, false));
    }
    void TearDown() override { FinishUnelevatedStart = savedStart_; }

    std::string Marker(const std::string &name) const { return params_.target_folder + "\\bin\\" + name; }

    TTempFolder temp_;
    TInstParams params_;
    std::string program_;
    TUnelevatedStart savedStart_ = nullptr;
};

} // namespace

TEST_F(FinishRunTest, UnelevatedStartGetsTheQuotedPathFirstAndTheProgramsFolder)
{
    unelevatedResult = 0;
    const std::string before = CurrentFolder();
    params_.finish_run = {RunItem("bin\\vxchild_marker.exe", "one.txt -x"), RunItem("bin\\vxchild_marker.exe", "")};
    params_.FinishRun();

    ASSERT_EQ(2u, unelevatedCalls.size());
    EXPECT_EQ(program_, unelevatedCalls[0].application);
    EXPECT_EQ("\"" + program_ + "\" one.txt -x", unelevatedCalls[0].commandLine);
    EXPECT_EQ(UpperCase(ExtractFilePath(program_)), UpperCase(unelevatedCalls[0].currentFolder));
    EXPECT_EQ("\"" + program_ + "\" ", unelevatedCalls[1].commandLine);
    EXPECT_EQ(before, CurrentFolder());
    // Started the un-elevated way: no second start. A second start would have
    // come before FinishRun returned: its program would run still (the system
    // does not let a running program's file be deleted) or have left its mark.
    EXPECT_TRUE(FileDelete(program_)) << "the program runs";
    EXPECT_FALSE(FileExists(Marker("one.txt")));
}

TEST_F(FinishRunTest, FailedUnelevatedStartFallsBackToAnOrdinaryStart)
{
    params_.finish_run = {
        RunItem("bin\\vxchild_marker.exe", "skipped.txt", false),
        RunItem("missing\\app.exe", "x"),
        RunItem("bin\\vxchild_marker.exe", "started.txt \"two words\""),
    };
    params_.FinishRun();

    EXPECT_EQ(2u, unelevatedCalls.size());
    const std::vector<std::string> marker = AwaitMarker(Marker("started.txt"));
    ASSERT_EQ(4u, marker.size());
    EXPECT_EQ("\"" + program_ + "\" started.txt \"two words\"", marker[0]);
    EXPECT_EQ(UpperCase(ExtractFilePath(program_)), UpperCase(IncludeTrailingBackslash(marker[1])));
    EXPECT_EQ("two words", marker[3]);
    EXPECT_FALSE(FileExists(Marker("skipped.txt")));
}

TEST_F(FinishRunTest, SystemStartRunsTheProgramInItsFolder)
{
    FinishUnelevatedStart = savedStart_;
    params_.finish_run = {RunItem("bin\\vxchild_marker.exe", "system.txt first")};
    params_.FinishRun();

    const std::vector<std::string> marker = AwaitMarker(Marker("system.txt"));
    ASSERT_EQ(4u, marker.size());
    EXPECT_EQ("\"" + program_ + "\" system.txt first", marker[0]);
    EXPECT_EQ(UpperCase(ExtractFilePath(program_)), UpperCase(IncludeTrailingBackslash(marker[1])));
    EXPECT_EQ("first", marker[3]);
}
