// Paths, folders and files: the text rules as tables, and the disk operations on
// real folders in the temp folder (trees, links, read-only files, short names).
#include "foundation/VxPath.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <vector>
#include <windows.h>
#include <gtest/gtest.h>

#include "tests/support/FolderLinks.h"
#include "foundation/VxText.h"
#include "tests/support/SmallStack.h"

// Array allocations can be made to fail on demand, to see what a failed allocation
// leaves behind. Otherwise they behave as the library's own.
namespace {
bool g_failArrayNew = false;
} // namespace

void *operator new[](std::size_t size)
{
    if (g_failArrayNew)
        throw std::bad_alloc();
    if (void *p = std::malloc(size ? size : 1))
        return p;
    throw std::bad_alloc();
}

namespace {

std::string Cp1251(const wchar_t *text)
{
    char buffer[1024];
    int n = WideCharToMultiByte(1251, 0, text, -1, buffer, sizeof buffer, nullptr, nullptr);
    return std::string(buffer, n > 0 ? n - 1 : 0);
}

// ---------------------------------------------------------------------------
// Path texts

struct TTextCase {
    const char *input;
    const char *expected;
};

TEST(VxPathText, IncludeTrailingBackslash)
{
    const TTextCase cases[] = {
        {"", ""},
        {"C:\\dir", "C:\\dir\\"},
        {"C:\\dir\\", "C:\\dir\\"},
        {"C:", "C:\\"},
        {"a/b", "a/b\\"}, // the forward slash is no separator
    };
    for (const TTextCase &c : cases)
        EXPECT_EQ(IncludeTrailingBackslash(c.input), c.expected) << "input: " << c.input;
}

TEST(VxPathText, ExcludeTrailingBackslashKeepsRoots)
{
    const TTextCase cases[] = {
        {"", ""},
        {"C:\\dir", "C:\\dir"},
        {"C:\\dir\\", "C:\\dir"},
        {"C:\\dir\\\\", "C:\\dir"},
        {"C:\\", "C:\\"},
        {"C:\\\\", "C:\\"},
        {"z:\\", "z:\\"},
        {"1:\\", "1:"},
        {"\\\\", "\\\\"},
        {"\\\\\\", "\\\\"},
        {"\\", "\\"},
        {"\\dir\\", "\\dir"},
        {"\\\\server\\share\\", "\\\\server\\share"},
        {"dir/", "dir/"},
        {"dir\\", "dir"},
    };
    for (const TTextCase &c : cases)
        EXPECT_EQ(ExcludeTrailingBackslash(c.input), c.expected) << "input: " << c.input;
}

TEST(VxPathText, ExtractFilePathAndName)
{
    struct TCase {
        const char *input;
        const char *path;
        const char *name;
    };
    const TCase cases[] = {
        {"C:\\dir\\file.txt", "C:\\dir\\", "file.txt"},
        {"file.txt", "", "file.txt"},
        {"C:\\dir\\", "C:\\dir\\", ""},
        {"C:\\dir\\file.txt:stream", "C:\\dir\\", "file.txt"},
        {"C:file.txt", "", "C"},
        {"\\\\server\\share", "\\\\server\\", "share"},
        {"", "", ""},
        {"a/b.txt", "", "a/b.txt"},
    };
    for (const TCase &c : cases) {
        EXPECT_EQ(ExtractFilePath(c.input), c.path) << "input: " << c.input;
        EXPECT_EQ(ExtractFileName(c.input), c.name) << "input: " << c.input;
    }
}

TEST(VxPathText, UpperCaseFollowsTheSystemRulesForCyrillic)
{
    EXPECT_EQ(UpperCase(Cp1251(L"Привет, ёж! abc")), Cp1251(L"ПРИВЕТ, ЁЖ! ABC"));
    EXPECT_EQ(UpperCase(""), "");
    EXPECT_EQ(UpperCase(std::string("a\0b", 3)), std::string("A\0B", 3));
}

// ---------------------------------------------------------------------------
// vxwcharbuffer

TEST(VxWCharBuffer, GrowsKeepingContentAndNeverShrinks)
{
    vxwcharbuffer buffer(4);
    EXPECT_EQ(buffer.capacity(), 4u);
    std::memcpy(buffer.data(), L"abcd", 4 * sizeof(wchar_t));

    bool grew = true;
    buffer.resize(2, true, &grew);
    EXPECT_FALSE(grew);
    EXPECT_EQ(buffer.capacity(), 4u);

    buffer.resize(8, true, &grew);
    EXPECT_TRUE(grew);
    EXPECT_EQ(buffer.capacity(), 8u);
    EXPECT_EQ(std::wstring(buffer.data(), 8), std::wstring(L"abcd\0\0\0\0", 8));

    vxwcharbuffer empty(0);
    EXPECT_EQ(empty.data(), nullptr);
    empty.resize(3, true, &grew);
    EXPECT_TRUE(grew);
    EXPECT_NE(empty.data(), nullptr);
}

TEST(VxWCharBuffer, FailedAllocationLeavesTheOldBufferIntact)
{
    vxwcharbuffer buffer(4);
    std::memcpy(buffer.data(), L"keep", 4 * sizeof(wchar_t));
    wchar_t *before = buffer.data();

    for (bool keep : {true, false}) {
        g_failArrayNew = true;
        EXPECT_THROW(buffer.resize(64, keep), std::bad_alloc);
        g_failArrayNew = false;
        EXPECT_EQ(buffer.data(), before);
        EXPECT_EQ(buffer.capacity(), 4u);
        EXPECT_EQ(std::wstring(buffer.data(), 4), L"keep") << "keep: " << keep;
    }
    buffer.resize(64, true);
    EXPECT_EQ(std::wstring(buffer.data(), 4), L"keep");
}

// ---------------------------------------------------------------------------
// Disk operations

// A fresh folder under the temp folder; whatever is left in it is removed at the end
// with plain system calls (not with the code under test).
class TTempTree {
public:
    TTempTree() : TTempTree(TempFolder()) {}
    // The tree in a new folder of its own in base (with its trailing
    // backslash).
    explicit TTempTree(const std::string &base)
    {
        static unsigned counter = 0;
        root_ = base + "vxpath_" + std::to_string(GetCurrentProcessId()) + "_" + std::to_string(++counter);
        made_ = CreateDirectoryA(root_.c_str(), nullptr) != FALSE;
    }
    ~TTempTree() { Remove(root_); }

    std::string operator[](const std::string &relative) const { return root_ + "\\" + relative; }
    const std::string &Root() const { return root_; }
    // Whether the tree's folder was made.
    bool Made() const { return made_; }

    void Dir(const std::string &relative) const { CreateDirectoryA((*this)[relative].c_str(), nullptr); }
    void File(const std::string &relative, const std::string &content = "x") const
    {
        HANDLE h = CreateFileA((*this)[relative].c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        DWORD done = 0;
        WriteFile(h, content.data(), static_cast<DWORD>(content.size()), &done, nullptr);
        CloseHandle(h);
    }

    static void Remove(const std::string &path)
    {
        const DWORD attributes = GetFileAttributesA(path.c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES)
            return;
        SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
            DeleteFileA(path.c_str());
            return;
        }
        if (!(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
            WIN32_FIND_DATAA data;
            HANDLE find = FindFirstFileA((path + "\\*").c_str(), &data);
            if (find != INVALID_HANDLE_VALUE) {
                do {
                    if (std::strcmp(data.cFileName, ".") && std::strcmp(data.cFileName, ".."))
                        Remove(path + "\\" + data.cFileName);
                } while (FindNextFileA(find, &data));
                FindClose(find);
            }
        }
        RemoveDirectoryA(path.c_str());
    }

private:
    static std::string TempFolder()
    {
        char base[MAX_PATH];
        GetTempPathA(MAX_PATH, base);
        return base;
    }

    std::string root_;
    bool made_ = false;
};

std::string ReadFileText(const std::string &name)
{
    HANDLE h = CreateFileA(name.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return "<missing>";
    char buffer[256];
    DWORD done = 0;
    ReadFile(h, buffer, sizeof buffer, &done, nullptr);
    CloseHandle(h);
    return std::string(buffer, done);
}

// The list with the tree's root cut off each entry, for readable comparisons.
std::vector<std::string> Relative(const TTempTree &tree, const std::vector<std::string> &list)
{
    std::vector<std::string> out;
    const std::string prefix = tree.Root() + "\\";
    for (const std::string &entry : list)
        out.push_back(entry.compare(0, prefix.size(), prefix) == 0 ? entry.substr(prefix.size()) : "!" + entry);
    return out;
}

size_t IndexOf(const std::vector<std::string> &list, const std::string &item)
{
    return static_cast<size_t>(std::find(list.begin(), list.end(), item) - list.begin());
}

TEST(VxPathDisk, ExistenceTestsTellFilesFromFolders)
{
    TTempTree tree;
    tree.Dir("dir");
    tree.File("file.txt");
    const std::string missing = tree["missing"];

    EXPECT_TRUE(FileExists(tree["file.txt"]));
    EXPECT_FALSE(FileExists(tree["dir"]) || FileExists(missing) || FileExists(static_cast<const char *>(nullptr)));
    EXPECT_TRUE(DirectoryExists(tree["dir"].c_str()));
    EXPECT_FALSE(DirectoryExists(tree["file.txt"]) || DirectoryExists(missing));

    bool isDir = false;
    EXPECT_TRUE(PathExists(tree["dir"], &isDir));
    EXPECT_TRUE(isDir);
    EXPECT_TRUE(PathExists(tree["file.txt"], &isDir));
    EXPECT_FALSE(isDir);
    isDir = true;
    EXPECT_FALSE(PathExists(missing, &isDir));
    EXPECT_TRUE(isDir) << "left alone for a missing path";
    EXPECT_TRUE(PathExists(tree["dir"]));
}

TEST(VxPathDisk, NamesOutsideTheAsciiRangeReachTheDisk)
{
    TTempTree tree;
    const std::string name = tree[Cp1251(L"Папка ёжика")];
    EXPECT_TRUE(ForceDirectories(name + "\\" + Cp1251(L"вложенная")));
    EXPECT_TRUE(WriteStringToFile((name + "\\" + Cp1251(L"файл.txt")).c_str(), "data"));
    EXPECT_TRUE(FileExists(name + "\\" + Cp1251(L"файл.txt")));
    std::vector<std::string> list;
    ListDirectory(list, name, "*.*", true, true);
    std::sort(list.begin(), list.end());
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[0], name + "\\" + Cp1251(L"вложенная"));
    EXPECT_EQ(list[1], name + "\\" + Cp1251(L"файл.txt"));
}

TEST(VxPathDisk, ForceDirectoriesCreatesTheWholeChain)
{
    TTempTree tree;
    EXPECT_TRUE(ForceDirectories(tree["a\\b\\c\\"]));
    EXPECT_TRUE(DirectoryExists(tree["a"]));
    EXPECT_TRUE(DirectoryExists(tree["a\\b"]));
    EXPECT_TRUE(DirectoryExists(tree["a\\b\\c"]));
    EXPECT_TRUE(ForceDirectories(tree["a\\b\\c"])) << "an existing folder is success";

    EXPECT_FALSE(ForceDirectories(""));
    EXPECT_TRUE(ForceDirectories("q:")) << "too short: nothing to create";
    EXPECT_TRUE(ForceDirectories("\\\\"));

    tree.File("blocker");
    EXPECT_FALSE(ForceDirectories(tree["blocker\\sub"]));
    EXPECT_FALSE(ForceDirectories(tree["blocker"])) << "a file of that name is in the way";
}

// Folders reported as made, outermost first; the chain follows the text of the path,
// doubled and trailing backslashes included.
TEST(VxPathDisk, ForceDirectoriesReportsEachFolderItMakes)
{
    TTempTree tree;
    tree.Dir("there");
    std::vector<std::string> made;
    const TVxFolderCreated record = [&made](const std::string &folder) { made.push_back(folder); };

    EXPECT_TRUE(ForceDirectories(tree["there\\x\\\\y\\"], record));
    EXPECT_EQ((std::vector<std::string>{tree["there\\x"], tree["there\\x\\\\y"]}), made);
    EXPECT_TRUE(DirectoryExists(tree["there\\x\\y"]));
    made.clear();
    EXPECT_TRUE(ForceDirectories(tree["there\\x\\y"], record));
    EXPECT_TRUE(made.empty()) << "nothing to make";

    // Past the classic length limit, in the long-path form.
    const std::string top = "\\\\?\\" + tree["long"];
    std::string path = top;
    for (int level = 0; level < 60; ++level)
        path += "\\level" + std::to_string(level);
    ASSERT_GT(path.size(), static_cast<size_t>(MAX_PATH));
    made.clear();
    EXPECT_TRUE(ForceDirectories(path, record));
    ASSERT_EQ(61u, made.size());
    EXPECT_EQ(top, made.front());
    EXPECT_EQ(path, made.back());
    EXPECT_TRUE(DirectoryExists(path));
    for (size_t i = made.size(); i-- > 0;)
        RemoveDirectoryW(AnsiToWide(made[i]).c_str());
}

// About 12,000 components (24,000 characters), as deep as a long path reaches: the
// work goes up and down the chain without recursion and without a copy of the path
// per level, so it neither overflows a small stack nor takes long, and it stops at
// the first folder the system refuses.
TEST(VxPathDisk, ForceDirectoriesOnAVeryDeepPathFailsCleanly)
{
    TTempTree tree;
    tree.File("blocker");
    std::string deep;
    for (int level = 0; level < 12000; ++level)
        deep += "\\a";

    bool blocked = true;
    bool refused = true;
    ASSERT_TRUE(RunOnSmallStack(
        [&] {
            blocked = ForceDirectories(tree["blocker"] + deep);
            refused = ForceDirectories("\\\\?\\" + tree["made\\bad|name"] + deep);
        },
        256 * 1024, 300000))
        << "the stack overflowed";
    EXPECT_FALSE(blocked) << "a file is in the way near the top";
    EXPECT_FALSE(refused) << "the system refuses a name near the top";
    EXPECT_TRUE(DirectoryExists(tree["made"])) << "made before the refusal, and kept";
    EXPECT_FALSE(PathExists(tree["made\\bad|name"]));
}

TEST(VxPathDisk, WriteStringToFileReplacesContentAndFailsWhereItCannotWrite)
{
    TTempTree tree;
    tree.File("f.txt", "a much longer old content");
    EXPECT_TRUE(WriteStringToFile(tree["f.txt"].c_str(), "new"));
    EXPECT_EQ(ReadFileText(tree["f.txt"]), "new");
    EXPECT_TRUE(WriteStringToFile(tree["f.txt"].c_str(), ""));
    EXPECT_EQ(ReadFileText(tree["f.txt"]), "");
    EXPECT_TRUE(WriteStringToFile(tree["bin"].c_str(), std::string("a\0b", 3)));
    EXPECT_EQ(ReadFileText(tree["bin"]), std::string("a\0b", 3));

    EXPECT_FALSE(WriteStringToFile(tree["missing\\f.txt"].c_str(), "x"));
    EXPECT_FALSE(WriteStringToFile(nullptr, "x"));
}

// The full-disk test of the foundation: a text larger than the small drive
// that tests/installer/small_drive.sh mounts and names in SETUP_SMALL_DRIVE.
// The file cut short is gone, and the system's reason is the last error.
TEST(SmallDriveVxPath, WriteStringToFileThatFillsTheDiskLeavesNothingAndKeepsTheReason)
{
    const char *drive = std::getenv("SETUP_SMALL_DRIVE");
    if (drive == nullptr)
        GTEST_SKIP() << "needs the small drive that tests/installer/small_drive.sh mounts";
    ULARGE_INTEGER total = {};
    ASSERT_TRUE(GetDiskFreeSpaceExA(drive, nullptr, &total, nullptr) && total.QuadPart <= 1024 * 1024)
        << "SETUP_SMALL_DRIVE=" << drive << " names no small drive";
    TTempTree tree(IncludeTrailingBackslash(drive));
    ASSERT_TRUE(tree.Made()) << tree.Root();

    SetLastError(ERROR_SUCCESS);
    EXPECT_FALSE(WriteStringToFile(tree["big.bin"].c_str(), std::string(1024 * 1024, 'x')));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_DISK_FULL));
    EXPECT_FALSE(PathExists(tree["big.bin"]));
    // What it took is free again: a text that fits is written whole.
    EXPECT_TRUE(WriteStringToFile(tree["big.bin"].c_str(), std::string(128 * 1024, 'y')));
}

TEST(VxPathDisk, FileCopyHonoursFailIfExists)
{
    TTempTree tree;
    tree.File("src", "source");
    tree.File("dst", "target");
    EXPECT_FALSE(FileCopy(tree["src"], tree["dst"], true));
    EXPECT_EQ(ReadFileText(tree["dst"]), "target");
    EXPECT_TRUE(FileCopy(tree["src"], tree["dst"], false));
    EXPECT_EQ(ReadFileText(tree["dst"]), "source");
}

TEST(VxPathDisk, LongPathNameExpandsShortAliases)
{
    TTempTree tree;
    EXPECT_EQ(LongPathName(tree["no such file"]), tree["no such file"]);

    tree.Dir("A folder with a long name");
    tree.File("A folder with a long name\\long file name.text");
    const std::string longName = tree["A folder with a long name\\long file name.text"];
    char shortName[MAX_PATH];
    const DWORD n = GetShortPathNameA(longName.c_str(), shortName, MAX_PATH);
    if (n == 0 || n >= MAX_PATH || longName == shortName)
        GTEST_SKIP() << "the file system gives no short names";
    EXPECT_EQ(UpperCase(LongPathName(shortName)), UpperCase(longName));
}

// root: f1.txt f2.log sub1\ (g.txt deep\ (h.txt)) sub2\ (empty)
void MakeSampleTree(const TTempTree &tree)
{
    tree.File("f1.txt");
    tree.File("f2.log");
    tree.Dir("sub1");
    tree.File("sub1\\g.txt");
    tree.Dir("sub1\\deep");
    tree.File("sub1\\deep\\h.txt");
    tree.Dir("sub2");
}

TEST(VxPathDisk, ListDirectoryFlagsChooseFoldersAndDepth)
{
    TTempTree tree;
    MakeSampleTree(tree);
    const std::string dir = tree.Root() + "\\"; // a trailing backslash is taken as well

    std::vector<std::string> list = {"kept"};
    ListDirectory(list, tree["missing"], "*.*", true, true);
    EXPECT_EQ(list, std::vector<std::string>{"kept"}) << "a missing folder adds nothing";

    list.clear();
    ListDirectory(list, tree.Root(), "*.*", false, false);
    std::vector<std::string> rel = Relative(tree, list);
    std::sort(rel.begin(), rel.end());
    EXPECT_EQ(rel, (std::vector<std::string>{"f1.txt", "f2.log"}));

    list.clear();
    ListDirectory(list, dir, "*.*", true, false);
    rel = Relative(tree, list);
    ASSERT_EQ(rel.size(), 4u);
    // Folders first, then the top level's own files; nothing deeper.
    std::vector<std::string> folders(rel.begin(), rel.begin() + 2);
    std::vector<std::string> files(rel.begin() + 2, rel.end());
    std::sort(folders.begin(), folders.end());
    std::sort(files.begin(), files.end());
    EXPECT_EQ(folders, (std::vector<std::string>{"sub1", "sub2"}));
    EXPECT_EQ(files, (std::vector<std::string>{"f1.txt", "f2.log"}));

    list.clear();
    ListDirectory(list, tree.Root(), "*.txt", false, true);
    rel = Relative(tree, list);
    std::sort(rel.begin(), rel.end());
    EXPECT_EQ(rel, (std::vector<std::string>{"f1.txt", "sub1\\deep\\h.txt", "sub1\\g.txt"}))
        << "the mask filters files only; folders are still entered";
}

TEST(VxPathDisk, ListDirectoryDepthFirstPutsEveryFolderAfterItsContents)
{
    TTempTree tree;
    MakeSampleTree(tree);
    std::vector<std::string> list;
    ListDirectory(list, tree.Root(), "*.*", true, true);
    const std::vector<std::string> rel = Relative(tree, list);
    ASSERT_EQ(rel.size(), 7u);

    EXPECT_LT(IndexOf(rel, "sub1\\deep\\h.txt"), IndexOf(rel, "sub1\\deep"));
    EXPECT_LT(IndexOf(rel, "sub1\\deep"), IndexOf(rel, "sub1\\g.txt")) << "sub-folders before own files";
    EXPECT_LT(IndexOf(rel, "sub1\\g.txt"), IndexOf(rel, "sub1"));
    EXPECT_LT(IndexOf(rel, "sub1"), IndexOf(rel, "f1.txt"));
    EXPECT_LT(IndexOf(rel, "sub2"), IndexOf(rel, "f1.txt"));
    EXPECT_LT(IndexOf(rel, "sub2"), IndexOf(rel, "f2.log"));
}

TEST(VxPathDisk, DeleteTreeRefusesNonEmptyFoldersWithoutDeleteContents)
{
    TTempTree tree;
    tree.Dir("empty");
    EXPECT_TRUE(DeleteTree(tree["empty"], false, true, false));
    EXPECT_FALSE(DirectoryExists(tree["empty"]));

    MakeSampleTree(tree);
    std::string failed = "untouched";
    EXPECT_FALSE(DeleteTree(tree.Root() + "\\", false, true, true, &failed));
    EXPECT_EQ(failed, tree.Root() + "\\") << "the folder argument as given";
    EXPECT_TRUE(FileExists(tree["f1.txt"]));
    EXPECT_TRUE(FileExists(tree["sub1\\deep\\h.txt"]));

    failed = "untouched";
    EXPECT_FALSE(DeleteTree("", true, true, true, &failed)) << "an empty name never means the current folder";
    EXPECT_EQ(failed, "");
}

TEST(VxPathDisk, DeleteTreeEmptiesOrRemovesAWholeTree)
{
    TTempTree tree;
    MakeSampleTree(tree);

    std::string failed = "untouched";
    EXPECT_TRUE(DeleteTree(tree.Root(), true, false, true, &failed));
    EXPECT_EQ(failed, "untouched");
    EXPECT_TRUE(DirectoryExists(tree.Root())) << "emptied, kept";
    std::vector<std::string> left;
    ListDirectory(left, tree.Root(), "*.*", true, true);
    EXPECT_TRUE(left.empty());

    MakeSampleTree(tree);
    EXPECT_TRUE(DeleteTree(tree.Root(), true, true, true));
    EXPECT_FALSE(PathExists(tree.Root()));
}

TEST(VxPathDisk, DeleteTreeWithoutDescentStopsAtANonEmptySubFolder)
{
    TTempTree tree;
    MakeSampleTree(tree);
    tree.File("sub2\\x");
    std::string failed;
    EXPECT_FALSE(DeleteTree(tree.Root(), true, true, false, &failed));
    EXPECT_TRUE(failed == tree["sub1"] || failed == tree["sub2"]) << failed;
    EXPECT_TRUE(FileExists(tree["sub1\\g.txt"]));
}

TEST(VxPathDisk, DeleteTreeReportsAReadOnlyFile)
{
    TTempTree tree;
    tree.Dir("d");
    tree.File("d\\ro");
    SetFileAttributesA(tree["d\\ro"].c_str(), FILE_ATTRIBUTE_READONLY);
    std::string failed;
    EXPECT_FALSE(DeleteTree(tree["d"], true, true, true, &failed));
    EXPECT_EQ(failed, tree["d\\ro"]);
    EXPECT_TRUE(DirectoryExists(tree["d"]));
}

// Links to a folder outside the tree, at every level the functions meet them.
class VxPathLinks : public ::testing::TestWithParam<TestLinks::TLinkKind> {
protected:
    void SetUp() override
    {
        outside.File("precious.txt", "keep me");
        outside.Dir("inner");
        outside.File("inner\\also.txt");
    }

    // Makes link a link of the test's kind to the outside folder.
    bool Link(const std::string &link)
    {
        links.push_back(link);
        return TestLinks::MakeLink(link, outside.Root(), GetParam()) && FileExists(link + "\\precious.txt");
    }

    void TearDown() override
    {
        for (const std::string &link : links)
            TestLinks::RemoveLink(link);
    }

    void ExpectOutsideUntouched() const
    {
        EXPECT_EQ(ReadFileText(outside["precious.txt"]), "keep me");
        EXPECT_TRUE(FileExists(outside["inner\\also.txt"]));
        EXPECT_TRUE(DirectoryExists(outside["inner"]));
    }

    TTempTree outside;
    TTempTree tree;
    std::vector<std::string> links;
};

TEST_P(VxPathLinks, LinksInsideAreListedButNeverEntered)
{
    tree.Dir("sub");
    tree.File("sub\\own.txt");
    const std::string link = tree["sub\\link"];
    if (!Link(link))
        GTEST_SKIP() << "this system makes no " << TestLinks::KindName(GetParam());

    std::vector<std::string> list;
    ListDirectory(list, tree.Root(), "*.*", true, true);
    std::vector<std::string> rel = Relative(tree, list);
    std::sort(rel.begin(), rel.end());
    EXPECT_EQ(rel, (std::vector<std::string>{"sub", "sub\\link", "sub\\own.txt"}));

    // The link itself goes; where the system cannot remove it (a host link under
    // Wine), the deletion stops there. Either way nothing behind it is touched.
    std::string failed;
    if (DeleteTree(tree.Root(), true, true, true, &failed)) {
        EXPECT_FALSE(PathExists(tree.Root()));
    } else {
        EXPECT_EQ(failed, link);
    }
    ExpectOutsideUntouched();
}

TEST_P(VxPathLinks, AFolderThatIsALinkIsNeitherListedNorEmptied)
{
    const std::string link = tree["link"];
    if (!Link(link))
        GTEST_SKIP() << "this system makes no " << TestLinks::KindName(GetParam());

    for (bool descend : {false, true}) {
        std::vector<std::string> list;
        ListDirectory(list, link, "*.*", true, descend);
        ListDirectory(list, link + "\\", "*.*", true, descend);
        EXPECT_TRUE(list.empty()) << descend;
    }

    DeleteTree(link, true, false, true);
    DeleteTree(link, true, true, true);
    ExpectOutsideUntouched();
}

INSTANTIATE_TEST_SUITE_P(Kinds, VxPathLinks,
                         ::testing::Values(TestLinks::TLinkKind::Junction, TestLinks::TLinkKind::SymbolicLink),
                         [](const ::testing::TestParamInfo<TestLinks::TLinkKind> &info) {
                             return info.param == TestLinks::TLinkKind::Junction ? "Junction" : "SymbolicLink";
                         });

} // namespace
