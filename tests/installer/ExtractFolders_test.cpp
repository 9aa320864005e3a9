// What the extraction knows of the folders below its target: which entry
// names may already be taken (and so need the existence test), on real
// folders in a scratch target.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "foundation/VxText.h"
#include "installer/ExtractFolders.h"
#include "installer/InstParams.h"
#include "tests/installer/StepsTestUtil.h"
#include "tests/support/FolderLinks.h"

namespace {

using StepsTest::TTempFolder;
using StepsTest::WriteFileBytes;

class ExtractFoldersTest : public testing::Test {
protected:
    void SetUp() override { settings_.target_folder = root_.Path(); }

    std::string At(const wchar_t *relative) const { return root_ / WideToAnsi(relative); }
    void Put(const wchar_t *relative) { ASSERT_TRUE(WriteFileBytes(At(relative), "x")); }
    size_t LogLines() const { return settings_.install_log.Lines().size(); }

    TTempFolder root_;
    TInstParams settings_;
};

TEST_F(ExtractFoldersTest, ANameIsTakenOnlyWhereItsFolderHeldItOrTheExtractionWroteIt)
{
    Put(L"Keep.txt");
    Put(L"Данные\\Old.db");
    ASSERT_TRUE(CreateDirectoryW(AnsiToWide(At(L"Данные\\Пустая")).c_str(), nullptr));
    TExtractFolders folders(root_.Path());

    EXPECT_TRUE(folders.MayExist(L"keep.TXT"));
    EXPECT_FALSE(folders.MayExist(L"new.txt"));
    EXPECT_TRUE(folders.MayExist(L"ДАННЫЕ\\old.DB"));
    EXPECT_FALSE(folders.MayExist(L"Данные\\new.db"));
    EXPECT_FALSE(folders.MayExist(L"Данные\\Пустая\\x.txt"));
    EXPECT_FALSE(folders.MayExist(L"Нет\\Глубже\\x.txt"));

    // Names written by the extraction, whatever their case later.
    folders.Added(L"new.txt");
    folders.Added(L"Нет\\Глубже\\x.txt");
    EXPECT_TRUE(folders.MayExist(L"NEW.txt"));
    EXPECT_TRUE(folders.MayExist(L"НЕТ\\глубже\\X.TXT"));
    EXPECT_FALSE(folders.MayExist(L"Нет\\Глубже\\y.txt"));
}

TEST_F(ExtractFoldersTest, FoldersAreMadeOnceAndAFolderThatWasThereKeepsItsFiles)
{
    Put(L"Было\\Внутри\\old.txt");
    TExtractFolders folders(root_.Path());

    // Made before anything was asked: the folder that was there is listed,
    // the new one is empty.
    ASSERT_TRUE(folders.Make(settings_, At(L"Было\\Внутри\\")));
    EXPECT_TRUE(folders.MayExist(L"Было\\Внутри\\OLD.TXT"));
    ASSERT_TRUE(folders.Make(settings_, At(L"Новая\\Папка\\")));
    EXPECT_EQ((std::vector<std::string>{"+Folder: " + AnsiToUtf8(At(L"Новая")),
                                        "+Folder: " + AnsiToUtf8(At(L"Новая\\Папка"))}),
              settings_.install_log.Lines());
    EXPECT_FALSE(folders.MayExist(L"Новая\\Папка\\a.txt"));
    EXPECT_FALSE(folders.MayExist(L"Новая\\b.txt"));

    // The same folder again: nothing more is made or logged.
    EXPECT_TRUE(folders.Make(settings_, At(L"Новая\\Папка\\")));
    EXPECT_EQ(2u, LogLines());

    // Below a folder made here, a new folder is made at once and logged as
    // the folder chain logs it. A folder, or a level above it, that appeared
    // after it was looked at is left to the chain, which finds it there and
    // logs only what it makes.
    ASSERT_TRUE(folders.Make(settings_, At(L"Новая\\Вторая\\")));
    EXPECT_EQ(3u, LogLines());
    EXPECT_EQ("+Folder: " + AnsiToUtf8(At(L"Новая\\Вторая")), settings_.install_log.Lines().back());
    EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(AnsiToWide(At(L"Новая\\Вторая")).c_str()));
    ASSERT_TRUE(CreateDirectoryW(AnsiToWide(At(L"Новая\\Чужая")).c_str(), nullptr));
    EXPECT_TRUE(folders.Make(settings_, At(L"Новая\\Чужая\\")));
    EXPECT_EQ(3u, LogLines());
    ASSERT_TRUE(CreateDirectoryW(AnsiToWide(At(L"Третья")).c_str(), nullptr));
    EXPECT_TRUE(folders.Make(settings_, At(L"Третья\\Глубже\\")));
    EXPECT_EQ(4u, LogLines());
    EXPECT_EQ("+Folder: " + AnsiToUtf8(At(L"Третья\\Глубже")), settings_.install_log.Lines().back());

    // A folder that cannot be made is not taken for made.
    Put(L"file");
    EXPECT_FALSE(folders.Make(settings_, At(L"file\\sub\\")));
    EXPECT_FALSE(folders.Make(settings_, At(L"file\\sub\\")));
}

TEST_F(ExtractFoldersTest, NamesWithAnotherSpellingAreAlwaysTestedAndAfterOneIsWrittenEveryName)
{
    const std::vector<std::wstring> names = {
        L"PROGRA~1.TXT", L"a.txt.", L"a.txt ", L"dir\\.\\a.txt", L"dir\\\\a.txt", L"dir/a.txt", L"a?.txt",
        L"a<b>.txt",     L"con",    L"Nul.txt", L"dir\\COM1.log", L"lpt9\\a.txt", L"dir.\\a.txt",
    };
    TExtractFolders folders(root_.Path());
    for (const std::wstring &name : names)
        EXPECT_TRUE(folders.MayExist(name)) << WideToUtf8(name);
    EXPECT_FALSE(folders.MayExist(L"com10.txt"));
    EXPECT_FALSE(folders.MayExist(L"console.txt"));

    folders.Added(L"a.txt.");
    EXPECT_TRUE(folders.MayExist(L"fresh.txt"));
}

// A link already in the target may make two of its folders one: a name
// written into one may then be taken in the other, and every name is tested.
TEST_F(ExtractFoldersTest, ALinkInAListedFolderMakesEveryNameMayExist)
{
    ASSERT_TRUE(CreateDirectoryW(AnsiToWide(At(L"Данные")).c_str(), nullptr));
    ASSERT_TRUE(TestLinks::MakeLink(At(L"Ссылка"), At(L"Данные"), TestLinks::TLinkKind::Junction));
    TExtractFolders folders(root_.Path());
    folders.Added(L"Данные\\a.txt");
    EXPECT_TRUE(folders.MayExist(L"Ссылка\\a.txt"));
    EXPECT_TRUE(folders.MayExist(L"new.txt"));
    TestLinks::RemoveLink(At(L"Ссылка"));
}

// A symbolic link to a file carries the same mark on Windows. Under Wine a
// host link to a file lists as a plain file, and no other can be made.
TEST_F(ExtractFoldersTest, AFileLinkInAListedFolderMakesEveryNameMayExist)
{
    Put(L"Файлы\\a.txt");
    if (!TestLinks::MakeLink(At(L"Файлы\\b.txt"), At(L"Файлы\\a.txt"), TestLinks::TLinkKind::SymbolicLink))
        GTEST_SKIP() << "no symbolic link to a file can be made here";
    TExtractFolders linked(root_.Path());
    linked.Added(L"Файлы\\c.txt");
    EXPECT_TRUE(linked.MayExist(L"Файлы\\d.txt"));
    EXPECT_TRUE(linked.MayExist(L"new.txt"));
    TestLinks::RemoveLink(At(L"Файлы\\b.txt"));
}

TEST_F(ExtractFoldersTest, OnceDistrustedEveryNameMayExist)
{
    TExtractFolders folders(root_.Path());
    EXPECT_FALSE(folders.MayExist(L"a.txt"));
    folders.Distrust();
    EXPECT_TRUE(folders.MayExist(L"a.txt"));
    EXPECT_TRUE(folders.MayExist(L"Новая\\b.txt"));
}

} // namespace
