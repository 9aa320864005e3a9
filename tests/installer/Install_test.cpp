#include <gtest/gtest.h>

#include <windows.h>
#include <shlobj.h>

#include <algorithm>
#include <functional>
#include <fstream>
#include <memory>
#include <sstream>

#include "DialogAnswers.h"
#include "foundation/VxMessage.h"
#include "foundation/VxPath.h"
#include "foundation/VxProcess.h"
#include "foundation/VxText.h"
#include "installer/InstParams.h"
#include "installer/InstallProcedure.h"
#include "installer/OwnedFolders.h"
#include "installer/ParProc.h"
#include "tests/support/FolderLinks.h"
#include "tests/support/Replaced.h"
#include "tests/installer/StepsTestUtil.h"
#include "visual/DlgMessageBoxUnit.h"

using InstallTest::A;
using InstallTest::TDialogAnswers;

namespace {

std::vector<DWORD> sleeps;

void RecordSleep(DWORD milliseconds)
{
    sleeps.push_back(milliseconds);
}

void ShortSleep(DWORD milliseconds)
{
    sleeps.push_back(milliseconds);
    Sleep(100);
}

class TRecordingSink : public TInstProgress {
public:
    bool OnState(const std::string &text) override
    {
        states.push_back(text);
        if (!cancelAtState.empty() && text == cancelAtState && params) {
            params->cancel = true;
            return false;
        }
        return true;
    }
    bool OnProgress(int32_t percent) override
    {
        percents.push_back(percent);
        if (cancelAtProgress && params) {
            params->cancel = true;
            return false;
        }
        return true;
    }

    std::vector<std::string> states;
    std::vector<int32_t> percents;
    bool cancelAtProgress = false;
    std::string cancelAtState; // a state text that the user cancels at
    TInstParams *params = nullptr;
};

void WriteFile(const std::string &path, const std::string &bytes)
{
    ForceDirectories(ExtractFilePath(path));
    ASSERT_TRUE(WriteStringToFile(path.c_str(), bytes)) << path;
}

std::string ReadFile(const std::string &path)
{
    std::ifstream in(AnsiToWide(path).c_str(), std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// A file held open without delete sharing cannot be deleted.
class TLockedFile {
public:
    explicit TLockedFile(const std::string &path)
        : handle_(CreateFileW(AnsiToWide(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                              nullptr))
    {
    }
    ~TLockedFile()
    {
        if (handle_ != INVALID_HANDLE_VALUE)
            CloseHandle(handle_);
    }
    bool IsValid() const { return handle_ != INVALID_HANDLE_VALUE; }

private:
    HANDLE handle_;
};

std::string InstallErrorText(const Mirelta::TVxMessage &nested)
{
    return (Mirelta::TVxMessage(30021) << nested).Text();
}

class InstallProcedureTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        wchar_t temp[MAX_PATH];
        GetTempPathW(MAX_PATH, temp);
        base = IncludeTrailingBackslash(WideToAnsi(temp)) +
               FormatString("install-test-%lu-%d", GetCurrentProcessId(), counter++);
        DeleteTree(base, true, true, true);
        target = base + "\\Target";
        source = base + "\\Source";
        ForceDirectories(target);
        ForceDirectories(source);

        params.target_folder = target;
        params.own_folder = IncludeTrailingBackslash(source);
        params.app_title = A("Учёт заявок");
        params.app_sign = "Test.Install";
        sink.params = &params;
        params.SetProgress(&sink);
        sleeps.clear();
        InstallSleep = &RecordSleep;
    }

    void TearDown() override
    {
        InstallSleep = previousSleep;
        params.SetProgress(nullptr);
        DeleteTree(base, true, true, true);
    }

    std::string In(const std::string &relative) const { return target + "\\" + relative; }

    // Installs with the file name of the target folder a host link to a
    // device that refuses every write (as a full disk does): the installation
    // fails with the message that failure makes of the file's path, and no log
    // claims otherwise. Wine shows such a link as no file and cannot remove
    // it, so whether a log cut short is left is seen only on the small drive
    // (SmallDriveInstall).
    void ExpectFailureWritingOut(const std::string &name,
                                 const std::function<Mirelta::TVxMessage(const std::string &)> &failure)
    {
        const std::string file = In(name);
        if (!TestLinks::MakeHostLink(file, "/dev/full"))
            GTEST_SKIP() << "no host device that refuses writes";
        const TRestoredAtEnd removeLink([file] { TestLinks::RemoveLink(file); });
        params.preserve_files.insert(UpperCase(name));

        TDialogAnswers answers;
        EXPECT_FALSE(params.Install());
        ASSERT_EQ(answers.Shown().size(), 1u);
        EXPECT_EQ(answers.Shown()[0].text, InstallErrorText(failure(file)));
        EXPECT_FALSE(FileExists(In("Install.log")));
    }

    static int counter;
    TInstallSleepFunc previousSleep = InstallSleep;
    std::string base;
    std::string target;
    std::string source;
    TInstParams params;
    TRecordingSink sink;
};

int InstallProcedureTest::counter = 0;

int AbortRedist(const std::string &)
{
    return IDABORT;
}

// A redistributable that fails may be ignored: the records are written and the
// installation succeeds; Abort ends it with the redistributable's error.
TEST_F(InstallProcedureTest, FailedRedistributableIsIgnoredOrAbortedByTheUser)
{
    const TReplaced<TRedistFailureQuestion> question(RedistFailureQuestion, &AbortRedist);
    params.install_redist = {"no-such-redist.exe", "second-redist.exe"};
    const std::string error = (Mirelta::TVxMessage(30021) << "no-such-redist.exe").Text();
    {
        TDialogAnswers answers({mbIgnore});
        EXPECT_TRUE(params.Install());
        ASSERT_EQ(answers.Shown().size(), 1u);
        EXPECT_EQ(answers.Shown()[0].text, error);
        EXPECT_EQ(answers.Shown()[0].buttons, mbAbort | mbIgnore);
        EXPECT_TRUE(FileExists(In("Install.log")));
        // The remaining redistributable was skipped.
        for (const std::string &state : sink.states)
            EXPECT_EQ(state.find("second-redist"), std::string::npos);
    }
    {
        TDialogAnswers answers({mbAbort});
        EXPECT_FALSE(params.Install());
        ASSERT_EQ(answers.Shown().size(), 2u);
        EXPECT_EQ(answers.Shown()[1].text, InstallErrorText(Mirelta::TVxMessage(30021) << "no-such-redist.exe"));
    }
}

TEST_F(InstallProcedureTest, CancelDuringRedistributablesEndsWithoutAQuestion)
{
    params.install_redist = {"some-redist.exe"};
    sink.cancelAtState = FormatString(LoadResStdString(30032).c_str(), "some-redist.exe");

    TDialogAnswers answers;
    EXPECT_FALSE(params.Install());
    EXPECT_TRUE(answers.Shown().empty());
    EXPECT_FALSE(FileExists(In("Install.log")));
}

// Owned folders for the table below, written as the system might give them.
std::vector<std::string> TableOwnedFolders()
{
    return {"C:\\Windows",
            "C:\\Program Files",
            "C:\\Program Files (x86)\\",
            "C:\\ProgramData",
            "C:\\Users",
            "C:\\Users\\Ivan",
            "C:/Users/Ivan/Documents",
            "C:\\Users\\Ivan\\AppData",
            "D:\\Temp\\",
            "E:\\Data\\Owned\\Deep",
            A("C:\\Пользователи"),
            ""};
}

TEST(InstallTargetCheck, AcceptsOnlyFullPathsBelowARootOrShareThatHoldNoOwnedFolder)
{
    const TReplaced<TOwnedFoldersQuery> owned(OwnedFoldersQuery, &TableOwnedFolders);
    struct {
        const char *folder;
        bool safe;
    } cases[] = {
        // Shape: a drive or a share and a folder below it.
        {"C:\\Product", true},
        {"C:\\Product\\", true},
        {"C:/Product/", true},
        {"C:\\Vendor/Product", true},
        {"\\\\server\\share\\Product", true},
        {"//server/share/Product", true},
        {"", false},
        {"Product", false},
        {"Sub\\Product", false},
        {"\\Product", false},
        {"/Product", false},
        {"C:Product", false},
        {"C:\\", false},
        {"C:/", false},
        {"C:\\/", false},
        {"C:", false},
        {"C:\\\\", false},
        {"\\\\server\\share", false},
        {"\\\\server\\share\\", false},
        {"//server/share/", false},
        {"\\\\?\\C:\\Product", false},
        {"\\\\.\\C:\\Product", false},
        {"C:\\Product:stream", false},
        // Dot parts on either separator, and empty parts.
        {"C:\\Product\\..", false},
        {"C:\\Outer\\Inner/..", false},
        {"C:\\Temp\\a/../..", false},
        {"C:/Product/./Sub", false},
        {"C:\\.\\Product", false},
        {"C:\\a\\\\b", false},
        {"C:\\a//b", false},
        // What the system would change.
        {"C:\\Product.", false},
        {"C:\\Product ", false},
        {"C:\\Vendor\\Product...", false},
        // Owned folders themselves, in any spelling.
        {"C:\\Windows", false},
        {"c:\\windows\\", false},
        {"C:/Windows", false},
        {"C:\\Program Files", false},
        {"C:\\PROGRAM FILES (X86)", false},
        {"C:\\ProgramData", false},
        {"C:\\Users", false},
        {"C:\\Users\\Ivan", false},
        {"C:\\Users\\Ivan\\Documents", false},
        {"C:\\Users\\Ivan\\AppData\\", false},
        {"D:\\Temp", false},
        // Folders that hold an owned folder.
        {"E:\\Data", false},
        {"E:\\Data\\Owned", false},
        // Below an owned folder, or only alike in name.
        {"C:\\Program Files\\Vendor\\Product", true},
        {"C:\\Program Files (x86)\\Vendor", true},
        {"C:\\Users\\Ivan\\Documents\\Product", true},
        {"C:\\Users\\Ivan\\Apps\\Product", true},
        {"D:\\Temp\\Product", true},
        {"E:\\Data\\Other", true},
        {"E:\\Data\\Owned\\Deep\\Product", true},
        {"C:\\Windows Tools", true},
        {"C:\\Program", true},
    };
    for (const auto &c : cases)
        EXPECT_EQ(IsSafeTargetFolder(c.folder), c.safe) << '"' << c.folder << '"';

    EXPECT_FALSE(IsSafeTargetFolder(A("c:\\пользователи")));
    EXPECT_TRUE(IsSafeTargetFolder(A("C:\\Пользователи\\Иван\\Программа")));
}

std::string ShellFolder(int csidl)
{
    wchar_t buffer[MAX_PATH + 1] = {};
    if (SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, buffer) != S_OK)
        return std::string();
    return WideToAnsi(buffer);
}

std::string ShortPath(const std::string &path)
{
    wchar_t buffer[MAX_PATH + 1] = {};
    const DWORD length = GetShortPathNameW(AnsiToWide(path).c_str(), buffer, MAX_PATH + 1);
    return length > 0 && length <= MAX_PATH ? WideToAnsi(buffer) : path;
}

std::string Parent(const std::string &folder)
{
    return ExcludeTrailingBackslash(ExtractFilePath(ExcludeTrailingBackslash(folder)));
}

std::vector<std::string> ShortProgramFiles()
{
    return {ShortPath(ShellFolder(CSIDL_PROGRAM_FILES))};
}

// An owned folder that the system names by its short alias still covers its
// long name, and the other way round.
TEST(InstallTargetCheck, ShortAliasesOfOwnedFoldersCompareAsTheirLongNames)
{
    const std::string programFiles = ShellFolder(CSIDL_PROGRAM_FILES);
    ASSERT_NE(std::string::npos, ShortProgramFiles()[0].find('~')) << ShortProgramFiles()[0];
    {
        const TReplaced<TOwnedFoldersQuery> owned(OwnedFoldersQuery, &ShortProgramFiles);
        EXPECT_FALSE(IsSafeTargetFolder(programFiles));
        EXPECT_FALSE(IsSafeTargetFolder(ShortProgramFiles()[0]));
        EXPECT_TRUE(IsSafeTargetFolder(programFiles + "\\Vendor"));
    }
    EXPECT_FALSE(IsSafeTargetFolder(ShortProgramFiles()[0]));
}

// The folders of this very system that no installation may empty.
TEST(InstallTargetCheck, RefusesTheSystemsOwnFoldersAndAllowsFoldersBelowThem)
{
    wchar_t tempBuffer[MAX_PATH + 1] = {};
    GetTempPathW(MAX_PATH + 1, tempBuffer);
    const std::string temp = ExcludeTrailingBackslash(WideToAnsi(tempBuffer));
    const std::string programFiles = ShellFolder(CSIDL_PROGRAM_FILES);
    const std::string profile = ShellFolder(CSIDL_PROFILE);
    const std::string documents = ShellFolder(CSIDL_PERSONAL);
    const std::string appData = ShellFolder(CSIDL_APPDATA);
    ASSERT_FALSE(programFiles.empty());
    ASSERT_FALSE(profile.empty());

    for (const std::string &owned :
         {ShellFolder(CSIDL_WINDOWS), ShellFolder(CSIDL_SYSTEM), programFiles, ShortPath(programFiles),
          ShellFolder(CSIDL_COMMON_APPDATA), Parent(profile), profile, documents, ShellFolder(CSIDL_DESKTOPDIRECTORY),
          appData, Parent(appData), ShellFolder(CSIDL_PROGRAMS), ShellFolder(CSIDL_COMMON_PROGRAMS), temp,
          Parent(temp)}) {
        if (!owned.empty()) {
            EXPECT_FALSE(IsSafeTargetFolder(owned)) << owned;
        }
    }
    for (const std::string &below : {programFiles + "\\Vendor\\Product", ShortPath(programFiles) + "\\Vendor",
                                     temp + "\\Product", documents + "\\Product"})
        EXPECT_TRUE(IsSafeTargetFolder(below)) << below;
}

std::string ownedByTest;

std::vector<std::string> OwnedByTest()
{
    return {ownedByTest};
}

TEST_F(InstallProcedureTest, UnsafeTargetIsRefusedBeforeAnythingIsTouched)
{
    WriteFile(In("Inner\\inner.txt"), "inner");
    WriteFile(In("Owned\\owned.txt"), "owned");
    WriteFile(In("file.txt"), "file");
    ownedByTest = In("Owned");
    const TReplaced<TOwnedFoldersQuery> owned(OwnedFoldersQuery, &OwnedByTest);
    // The last ones but one would empty the target folder itself, the folder
    // that holds an owned folder; the last is a file.
    for (const std::string &folder : {std::string(), std::string("relative\\folder"), std::string("C:\\"),
                                      In("Inner/.."), In("Inner\\../Inner/.."), target, In("Owned"), In("file.txt"),
                                      In("file.txt\\")}) {
        sink.states.clear();
        params.target_folder = folder;
        params.use_vx_close_event = true;
        TDialogAnswers answers;
        EXPECT_FALSE(params.Install()) << folder;
        EXPECT_FALSE(params.running);
        EXPECT_TRUE(sink.states.empty()) << folder;
        ASSERT_EQ(answers.Shown().size(), 1u) << folder;
        // An empty field is a missing folder; any other is one that cannot
        // be the target, named as given.
        const Mirelta::TVxMessage refusal =
            folder.empty() ? Mirelta::TVxMessage(30000) : Mirelta::TVxMessage(30040) << folder;
        EXPECT_EQ(answers.Shown()[0].text, InstallErrorText(refusal)) << folder;
    }
    EXPECT_EQ(ReadFile(In("Inner\\inner.txt")), "inner");
    EXPECT_EQ(ReadFile(In("file.txt")), "file");
    EXPECT_EQ(ReadFile(In("Owned\\owned.txt")), "owned");
}

TEST_F(InstallProcedureTest, RemovesThePreviousVersionExceptPreservedAndConstantsEntries)
{
    WriteFile(In("old.txt"), "old");
    WriteFile(In("Sub\\Deep\\a.txt"), "a");
    WriteFile(In("Data\\user.cfg"), "user");
    WriteFile(In("Data\\cache.tmp"), "cache");
    WriteFile(In("Config\\Consts.X-INI"), "consts");
    WriteFile(In("readonly.txt"), "ro");
    SetFileAttributesW(AnsiToWide(In("readonly.txt")).c_str(), FILE_ATTRIBUTE_READONLY);
    params.preserve_files.insert("DATA\\USER.CFG");
    params.vx_consts_file = "consts.x-ini"; // not in the program's folder: nothing copied

    TDialogAnswers answers;
    ASSERT_TRUE(params.Install());
    EXPECT_TRUE(answers.Shown().empty());
    EXPECT_FALSE(PathExists(In("old.txt")));
    EXPECT_FALSE(PathExists(In("Sub")));
    EXPECT_FALSE(PathExists(In("readonly.txt")));
    EXPECT_FALSE(PathExists(In("Data\\cache.tmp")));
    EXPECT_EQ(ReadFile(In("Data\\user.cfg")), "user");
    EXPECT_EQ(ReadFile(In("Config\\Consts.X-INI")), "consts");
    EXPECT_TRUE(FileExists(In("Install.log")));
    EXPECT_TRUE(FileExists(In("InstData.x-ini")));
    EXPECT_FALSE(params.running);
    EXPECT_TRUE(sleeps.empty());

    // The removal reports its state, starts at 0 and ends at 100 percent.
    ASSERT_GE(sink.states.size(), 1u);
    EXPECT_EQ(sink.states[0], LoadResStdString(30016));
    ASSERT_GE(sink.percents.size(), 2u);
    EXPECT_EQ(sink.percents[0], 0);
    EXPECT_NE(std::find(sink.percents.begin(), sink.percents.end(), 100), sink.percents.end());
}

TEST_F(InstallProcedureTest, PreservedRootFolderKeepsTheFirstLevelAndEmptiesItsFolders)
{
    WriteFile(In("top.txt"), "top");
    WriteFile(In("Level\\inner.txt"), "inner");
    WriteFile(In("Level\\Deeper\\deep.txt"), "deep");
    params.preserve_root_folder = true;

    TDialogAnswers answers;
    ASSERT_TRUE(params.Install());
    EXPECT_EQ(ReadFile(In("top.txt")), "top");
    EXPECT_TRUE(DirectoryExists(In("Level")));
    EXPECT_FALSE(PathExists(In("Level\\inner.txt")));
    EXPECT_FALSE(PathExists(In("Level\\Deeper")));
}

TEST_F(InstallProcedureTest, LockedFilesShareOneRetryBudgetThenAskUntilCancelled)
{
    WriteFile(In("a.txt"), "a");
    WriteFile(In("b.txt"), "b");
    TLockedFile lockA(In("a.txt"));
    TLockedFile lockB(In("b.txt"));
    ASSERT_TRUE(lockA.IsValid() && lockB.IsValid());

    // Retry for the first file that stays locked asks again at once; the
    // second question is cancelled.
    TDialogAnswers answers({mbRetry, mbCancel});
    EXPECT_FALSE(params.Install());
    EXPECT_EQ(sleeps, std::vector<DWORD>(20, 200));

    ASSERT_EQ(answers.Shown().size(), 3u);
    const std::string first = answers.Shown()[0].text;
    EXPECT_EQ(answers.Shown()[0].buttons, mbRetry | mbCancel);
    const std::string locked = first.find(In("a.txt")) != std::string::npos ? In("a.txt") : In("b.txt");
    EXPECT_EQ(first, FormatString(LoadResStdString(30038).c_str(), locked.c_str()));
    EXPECT_EQ(answers.Shown()[1].text, first);
    EXPECT_EQ(answers.Shown()[2].text, InstallErrorText(Mirelta::TVxMessage(30017) << locked));
    EXPECT_FALSE(FileExists(In("Install.log")));
}

TEST_F(InstallProcedureTest, SecondLockedFileAsksAtOnceOnceTheBudgetIsSpent)
{
    WriteFile(In("a.txt"), "a");
    WriteFile(In("b.txt"), "b");
    std::unique_ptr<TLockedFile> lockA(new TLockedFile(In("a.txt")));
    std::unique_ptr<TLockedFile> lockB(new TLockedFile(In("b.txt")));

    // Each question lets go of the file it names and answers Retry.
    TDialogAnswers answers({mbRetry, mbRetry});
    answers.beforeAnswer = [&](const InstallTest::TShownDialog &shown) {
        if (shown.text.find(In("a.txt")) != std::string::npos)
            lockA.reset();
        if (shown.text.find(In("b.txt")) != std::string::npos)
            lockB.reset();
    };
    EXPECT_TRUE(params.Install());
    EXPECT_EQ(sleeps.size(), 20u);
    ASSERT_EQ(answers.Shown().size(), 2u);
    EXPECT_NE(answers.Shown()[0].text, answers.Shown()[1].text);
    EXPECT_FALSE(PathExists(In("a.txt")));
    EXPECT_FALSE(PathExists(In("b.txt")));
}

// The running program inside the target folder, in a folder named outside the
// ANSI code page, is kept by the removal without a retry or a question. A copy
// of this test program stands in for setup.exe there: it runs this same test,
// which installs into the target that the environment names.
TEST_F(InstallProcedureTest, RunningProgramInAFolderOutsideTheCodePageIsKept)
{
    const wchar_t *const targetVariable = L"INSTALL_TEST_RUNNING_TARGET";
    std::vector<wchar_t> given(32768);
    if (GetEnvironmentVariableW(targetVariable, given.data(), static_cast<DWORD>(given.size())) != 0) {
        params.target_folder = WideToAnsi(given.data());
        TDialogAnswers answers;
        EXPECT_TRUE(params.Install());
        EXPECT_TRUE(answers.Shown().empty());
        EXPECT_TRUE(sleeps.empty());
        return;
    }

    WriteFile(In("old.txt"), "old");
    const std::wstring folder = AnsiToWide(target) + L"\\\u0395\u03BB\u03BB\u03B7\u03BD\u03B9\u03BA\u03AC \u65E5\u672C";
    const std::wstring program = folder + L"\\setup.exe";
    ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
    std::vector<wchar_t> self(32768);
    ASSERT_NE(GetModuleFileNameW(nullptr, self.data(), static_cast<DWORD>(self.size())), 0u);
    ASSERT_TRUE(CopyFileW(self.data(), program.c_str(), FALSE));

    std::wstring commandLine = L"\"" + program + L"\" --gtest_filter=" +
                               AnsiToWide(testing::UnitTest::GetInstance()->current_test_suite()->name()) + L"." +
                               AnsiToWide(testing::UnitTest::GetInstance()->current_test_info()->name());
    ASSERT_TRUE(SetEnvironmentVariableW(targetVariable, AnsiToWide(target).c_str()));
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    const BOOL started = CreateProcessW(program.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr,
                                        nullptr, &startup, &process);
    SetEnvironmentVariableW(targetVariable, nullptr);
    ASSERT_TRUE(started);
    CloseHandle(process.hThread);
    const DWORD waited = WaitForSingleObject(process.hProcess, 120000);
    DWORD exitCode = 1;
    GetExitCodeProcess(process.hProcess, &exitCode);
    if (waited != WAIT_OBJECT_0)
        TerminateProcess(process.hProcess, 1);
    CloseHandle(process.hProcess);

    EXPECT_EQ(waited, WAIT_OBJECT_0);
    EXPECT_EQ(exitCode, 0u);
    EXPECT_NE(GetFileAttributesW(program.c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_FALSE(PathExists(In("old.txt")));
    EXPECT_TRUE(FileExists(In("Install.log")));
}

TEST_F(InstallProcedureTest, ConstantsFileReplacesTheOldCopyAndBecomesWritable)
{
    WriteFile(In("Config\\consts.x-ini"), "old");
    WriteFile(source + "\\consts.x-ini", "new");
    SetFileAttributesW(AnsiToWide(source + "\\consts.x-ini").c_str(), FILE_ATTRIBUTE_READONLY);
    params.vx_consts_file = "consts.x-ini";
    params.vx_consts_path = "Config";

    TDialogAnswers answers;
    ASSERT_TRUE(params.Install());
    EXPECT_EQ(ReadFile(In("Config\\consts.x-ini")), "new");
    EXPECT_EQ(FileAttributes(In("Config\\consts.x-ini")) & FILE_ATTRIBUTE_READONLY, 0u);
    EXPECT_NE(std::find(sink.states.begin(), sink.states.end(), LoadResStdString(30031)), sink.states.end());
    SetFileAttributesW(AnsiToWide(source + "\\consts.x-ini").c_str(), FILE_ATTRIBUTE_NORMAL);
}

// A payload without files still installs: the target folder is made (and
// logged, parents first) before the extraction, and the records go into it.
TEST_F(InstallProcedureTest, EmptyPayloadInstallsIntoATargetFolderMadeBeforeTheExtraction)
{
    const TReplaced<const char *> payload(InstallPayloadResource, "EMPTY_FILES"); // tests/installer/extract_test.rc
    params.target_folder = base + "\\New\\Target";

    TDialogAnswers answers;
    EXPECT_TRUE(params.Install());
    EXPECT_TRUE(answers.Shown().empty());
    EXPECT_TRUE(DirectoryExists(params.target_folder));
    EXPECT_TRUE(FileExists(params.target_folder + "\\InstData.x-ini"));
    EXPECT_TRUE(FileExists(params.target_folder + "\\Install.log"));
    const Mirelta::string_vector entries = StepsTest::LogEntries(params);
    ASSERT_GE(entries.size(), 2u);
    EXPECT_EQ(entries[0], AnsiToUtf8("+Folder: " + base + "\\New"));
    EXPECT_EQ(entries[1], AnsiToUtf8("+Folder: " + params.target_folder));

    // A target that cannot be made stops the installation before the payload.
    WriteFile(base + "\\Blocked", "a file where the folder belongs");
    params.target_folder = base + "\\Blocked\\Target";
    TDialogAnswers refused;
    EXPECT_FALSE(params.Install());
    ASSERT_EQ(refused.Shown().size(), 1u);
    EXPECT_EQ(refused.Shown()[0].text, InstallErrorText(Mirelta::TVxMessage(30020) << params.target_folder));
}

TEST_F(InstallProcedureTest, FailureOfALaterStepShows30021WithTheNestedMessageAndSavesNoLog)
{
    params.reg_uninstall_key = "Test.Install.Broken"; // without display name: 30030

    TDialogAnswers answers;
    EXPECT_FALSE(params.Install());
    EXPECT_FALSE(params.running);
    ASSERT_EQ(answers.Shown().size(), 1u);
    EXPECT_EQ(answers.Shown()[0].text, InstallErrorText(Mirelta::TVxMessage(30030)));
    EXPECT_FALSE(FileExists(In("Install.log")));
}

TEST_F(InstallProcedureTest, UserBreakReturnsFalseWithoutAMessage)
{
    WriteFile(In("old.txt"), "old");
    sink.cancelAtProgress = true;

    TDialogAnswers answers;
    EXPECT_FALSE(params.Install());
    EXPECT_FALSE(params.running);
    EXPECT_TRUE(answers.Shown().empty());
    EXPECT_EQ(sink.percents.size(), 1u);
}

// A module of the product that holds a close event and never lets go: the
// procedure waits three times, then asks until the user cancels.
TEST_F(InstallProcedureTest, CloseEventHeldForeverWaitsThreeTimesThenAsksUntilCancelled)
{
    for (bool wide : {false, true}) {
        sleeps.clear();
        const std::wstring name = wide ? MakeObjectName(MakeCloseEventNameW(target))
                                       : AnsiToWide(MakeCloseEventNameA(target));
        HANDLE event = CreateEventW(nullptr, TRUE, FALSE, name.c_str());
        ASSERT_NE(event, nullptr);
        params.use_vx_close_event = !wide;
        params.use_vx_close_event2 = wide;

        TDialogAnswers answers({mbOk, mbCancel});
        EXPECT_FALSE(params.Install()) << wide;
        CloseHandle(event);

        EXPECT_EQ(sleeps, std::vector<DWORD>(3, 2000)) << wide;
        const std::string question = FormatString(LoadResStdString(30003).c_str(), params.app_title.c_str());
        ASSERT_EQ(answers.Shown().size(), 3u) << wide;
        EXPECT_EQ(answers.Shown()[0].text, question);
        EXPECT_EQ(answers.Shown()[1].text, question);
        EXPECT_EQ(answers.Shown()[2].text, InstallErrorText(Mirelta::TVxMessage(30015)));
    }
}

TEST_F(InstallProcedureTest, CloseEventOfARunningModuleIsSignalledAndTheInstallationGoesOn)
{
    const std::string ready = base + "\\ready";
    const std::string child = ExtractFilePath(GetModulePath(nullptr)) + "vxchild_event.exe";
    ASSERT_TRUE(FileExists(child));
    var_a<TVxProcInfo> process = make_var_a<TVxProcInfo>();
    ASSERT_TRUE(RunProcessSimple("\"" + child + "\" " + MakeCloseEventNameA(target) + " \"" + ready + "\" 20000",
                                 std::string(), process));
    for (int i = 0; i < 200 && !FileExists(ready); ++i)
        Sleep(50);
    ASSERT_TRUE(FileExists(ready));

    InstallSleep = &ShortSleep;
    params.use_vx_close_event = true;
    TDialogAnswers answers({mbOk, mbOk, mbOk});
    EXPECT_TRUE(params.Install());

    ASSERT_EQ(WaitForSingleObject(process->info.hProcess, 10000), WAIT_OBJECT_0);
    DWORD code = 99;
    GetExitCodeProcess(process->info.hProcess, &code);
    EXPECT_EQ(code, 0u); // woken by the event, not by its timeout
    EXPECT_EQ(sink.states[0], LoadResStdString(30014));
    EXPECT_EQ(sink.percents[0], InstProgressIndefinite);
}

// Links in the target folder that lead to a folder outside it: the removal
// never lists, enters or deletes anything behind one, at the first level or
// deeper, whether the first level is kept or not. A kept first level keeps
// its links too.
class InstallRemovalLinks : public InstallProcedureTest,
                            public ::testing::WithParamInterface<TestLinks::TLinkKind> {
protected:
    void TearDown() override
    {
        for (const std::string &link : links)
            TestLinks::RemoveLink(link);
        InstallProcedureTest::TearDown();
    }

    std::vector<std::string> links;
};

TEST_P(InstallRemovalLinks, NothingBehindALinkIsTouched)
{
    const std::string outside = base + "\\Outside";
    for (bool preserveRoot : {false, true}) {
        for (const char *relative : {"Link", "Level\\Link", "Level\\Deeper\\Link"}) {
            SCOPED_TRACE(std::string(relative) + (preserveRoot ? ", first level kept" : ", first level removed"));
            WriteFile(outside + "\\precious.txt", "keep me");
            WriteFile(outside + "\\Inner\\also.txt", "also");
            WriteFile(In("Level\\Deeper\\own.txt"), "own");
            const std::string link = In(relative);
            links.push_back(link);
            if (!TestLinks::MakeLink(link, outside, GetParam()))
                GTEST_SKIP() << "this system makes no " << TestLinks::KindName(GetParam());
            params.preserve_root_folder = preserveRoot;

            TDialogAnswers answers;
            EXPECT_TRUE(params.Install());
            EXPECT_TRUE(answers.Shown().empty());
            EXPECT_EQ(ReadFile(outside + "\\precious.txt"), "keep me");
            EXPECT_EQ(ReadFile(outside + "\\Inner\\also.txt"), "also");
            EXPECT_FALSE(PathExists(In("Level\\Deeper\\own.txt")));
            if (preserveRoot && std::string(relative) == "Link") {
                EXPECT_EQ(ReadFile(In("Link\\precious.txt")), "keep me");
            }
            TestLinks::RemoveLink(link);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Kinds, InstallRemovalLinks,
                         ::testing::Values(TestLinks::TLinkKind::Junction, TestLinks::TLinkKind::SymbolicLink),
                         [](const ::testing::TestParamInfo<TestLinks::TLinkKind> &info) {
                             return info.param == TestLinks::TLinkKind::Junction ? "Junction" : "SymbolicLink";
                         });

// The record's text reaches the disk only when the document is closed; a
// record that cannot be written out there fails the installation, and no log
// claims otherwise. A host link to a device that refuses every write stands in
// for a full disk.
TEST_F(InstallProcedureTest, RecordThatCannotBeWrittenOutFailsTheInstallation)
{
    ExpectFailureWritingOut("InstData.x-ini",
                            [](const std::string &file) { return Mirelta::TVxMessage(31021) << file; });
}

// The log is written last: one that cannot be written out fails the
// installation as well, naming it with the system's reason.
TEST_F(InstallProcedureTest, LogThatCannotBeWrittenOutFailsTheInstallation)
{
    ExpectFailureWritingOut("Install.log", [](const std::string &file) {
        return Mirelta::TVxMessage(30046) << file << SystemErrorText(ERROR_DISK_FULL);
    });
}

// The full-disk tests of the procedure: the target folder on the small drive.
class SmallDriveInstall : public InstallProcedureTest {
protected:
    void SetUp() override
    {
        InstallProcedureTest::SetUp();
        if (drive.Path().empty())
            GTEST_SKIP() << StepsTest::TSmallDrive::Missing;
        target = drive.Path() + "\\Target";
        params.target_folder = target;
    }

    StepsTest::TSmallDrive drive;
};

// The disk fills up inside the log, after the record: the installation fails
// naming the log and the system's reason, and the part written does not stay
// to pass for a whole log.
TEST_F(SmallDriveInstall, LogCutShortByAFullDiskFailsTheInstallationAndGoes)
{
    const TReplaced<const char *> payload(InstallPayloadResource, "EMPTY_FILES"); // tests/installer/extract_test.rc
    params.app_long_title = std::string(6000, 'x'); // a log of two pages
    ASSERT_TRUE(drive.Fill(2)); // the record's page and one of the log

    TDialogAnswers answers;
    EXPECT_FALSE(params.Install());
    ASSERT_EQ(answers.Shown().size(), 1u);
    EXPECT_EQ(answers.Shown()[0].text, InstallErrorText(Mirelta::TVxMessage(30046) << In("Install.log")
                                                                             << SystemErrorText(ERROR_DISK_FULL)));
    EXPECT_TRUE(FileExists(In("InstData.x-ini")));
    EXPECT_FALSE(PathExists(In("Install.log")));
}

TEST(InstallCloseEvents, AMissingFolderSignalsNoSharedEvent)
{
    const std::string missing = "C:\\no-such-folder-of-the-close-event-test";
    HANDLE shared = CreateEventW(nullptr, TRUE, FALSE, AnsiToWide(MakeCloseEventNameA(missing)).c_str());
    ASSERT_NE(shared, nullptr);
    EXPECT_TRUE(SignalCloseEventA(missing));
    EXPECT_FALSE(SignalCloseEventW(missing));
    EXPECT_EQ(WaitForSingleObject(shared, 0), static_cast<DWORD>(WAIT_TIMEOUT));
    CloseHandle(shared);
}

} // namespace
