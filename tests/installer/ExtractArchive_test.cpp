// Payload extraction into a temporary target folder: real archives made by RAR
// tools, archives of the RAR 4 writer, the program's own "FILES"
// resource, what is reported to the sink and logged, and the refusals that
// keep every write inside the target folder.
#include <gtest/gtest.h>

#include <windows.h>
#include <zlib.h>

#include <memory>
#include <string>
#include <vector>

#include "foundation/VxMessage.h"
#include "foundation/VxPath.h"
#include "foundation/VxStream.h"
#include "foundation/VxText.h"
#include "foundation/WinHandle.h"
#include "installer/ExtractArchive.h"
#include "installer/ExtractFolders.h"
#include "installer/InstParams.h"
#include "installer/RarStream.h"
#include "tests/installer/StepsTestUtil.h"
#include "tests/support/ImportHook.h"
#include "tests/support/Rar4Writer.h"
#include "tests/support/Replaced.h"
#include "tests/support/SmallStack.h"

namespace {

using StepsTest::ReadWholeFile;
using StepsTest::TestArchive;
using StepsTest::Crc32;

bool WriteWholeFile(const std::wstring &path, const std::string &bytes)
{
    Mirelta::TWinHandle file(
        CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD written = 0;
    return file.IsValid() && WriteFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
           written == bytes.size();
}

// An entry name stored without its Unicode form (archives made on Unix keep
// UTF-8 bytes there) as the library reads it on Windows: OEM bytes turned
// into the ANSI code page, then widened.
std::wstring OemReadName(const std::wstring &name)
{
    std::string bytes = WideToUtf8(name);
    std::string ansi(bytes.size(), '\0');
    OemToCharBuffA(bytes.data(), &ansi[0], static_cast<DWORD>(bytes.size()));
    std::vector<wchar_t> wide(ansi.size() + 1);
    int length = MultiByteToWideChar(CP_ACP, 0, ansi.data(), static_cast<int>(ansi.size()), wide.data(),
                                     static_cast<int>(wide.size()));
    return std::wstring(wide.data(), static_cast<size_t>(length));
}

bool Exists(const std::wstring &path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

void RemoveTree(const std::wstring &folder)
{
    WIN32_FIND_DATAW data;
    Mirelta::TFindHandle find(FindFirstFileW((folder + L"\\*").c_str(), &data));
    if (find.IsValid()) {
        do {
            std::wstring name = data.cFileName;
            if (name == L"." || name == L"..")
                continue;
            std::wstring path = folder + L"\\" + name;
            SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
            if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
                !(data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
                RemoveTree(path);
            else if (!DeleteFileW(path.c_str()))
                RemoveDirectoryW(path.c_str());
        } while (FindNextFileW(find.Get(), &data));
    }
    RemoveDirectoryW(folder.c_str());
}

// Records what the installation reports; answers false from the given state
// text on.
class TRecordingSink : public TInstProgress {
public:
    std::vector<std::string> states;
    std::vector<int32_t> percents;
    size_t stopAtState = static_cast<size_t>(-1);

    bool OnState(const std::string &text) override
    {
        states.push_back(text);
        return states.size() <= stopAtState;
    }
    bool OnProgress(int32_t percent) override
    {
        percents.push_back(percent);
        return true;
    }
};

// A target folder one level below a fresh scratch folder (so that escapes
// land beside it, where they can be seen), and a settings object installing
// into it with a recording sink.
class ExtractTest : public testing::Test {
protected:
    void SetUp() override
    {
        wchar_t base[MAX_PATH];
        GetTempPathW(MAX_PATH, base);
        static unsigned counter = 0;
        outer_ = std::wstring(base) + L"extract_" + std::to_wstring(GetCurrentProcessId()) + L"_" +
                 std::to_wstring(++counter);
        RemoveTree(outer_);
        CreateDirectoryW(outer_.c_str(), nullptr);
        target_ = outer_ + L"\\Целевая папка";
        CreateDirectoryW(target_.c_str(), nullptr);
        settings_.target_folder = WideToAnsi(target_);
        settings_.SetProgress(&sink_);
    }
    void TearDown() override
    {
        settings_.SetProgress(nullptr);
        RemoveTree(outer_);
    }

    void Extract(const std::string &bytes)
    {
        ExtractArchiveFromMemory(settings_, bytes.data(), static_cast<unsigned>(bytes.size()), "FILES");
    }
    // The text of the message the extraction throws ("" when it succeeds).
    std::string ExtractError(const std::string &bytes)
    {
        try {
            Extract(bytes);
        } catch (const Mirelta::TVxMessage &message) {
            return message.Text();
        }
        return std::string();
    }

    std::wstring In(const std::wstring &name) const { return target_ + L"\\" + name; }
    std::string FileAt(const std::wstring &name, bool *found = nullptr) const
    {
        std::string bytes;
        bool ok = ReadWholeFile(In(name), bytes);
        if (found)
            *found = ok;
        return bytes;
    }
    // The log line of a created folder or file below the target, as stored
    // (UTF-8 with the names' own characters).
    std::string FolderLine(const std::wstring &name) const { return "+Folder: " + WideToUtf8(In(name)); }
    std::string FileLine(const std::wstring &name) const { return "+File: " + WideToUtf8(In(name)); }
    std::vector<std::string> Log() const { return settings_.install_log.Lines(); }
    // Names of the entries beside the target folder (nothing but the target).
    std::vector<std::wstring> OuterEntries() const
    {
        std::vector<std::wstring> names;
        WIN32_FIND_DATAW data;
        Mirelta::TFindHandle find(FindFirstFileW((outer_ + L"\\*").c_str(), &data));
        if (find.IsValid()) {
            do {
                std::wstring name = data.cFileName;
                if (name != L"." && name != L"..")
                    names.push_back(name);
            } while (FindNextFileW(find.Get(), &data));
        }
        return names;
    }

    static std::string Damaged(const char *code)
    {
        return WideToAnsi(L"Инсталлятор поврежден (") + code + ")";
    }
    static std::string Copying(const std::wstring &name) { return WideToAnsi(L"Копируется: " + name); }
    // Message 30042: the file and the system's reason.
    static std::string WriteFailed(const std::wstring &path, DWORD error)
    {
        return (Mirelta::TVxMessage(30042) << WideToAnsi(path) << SystemErrorText(error)).Text();
    }

    std::wstring outer_;
    std::wstring target_;
    TInstParams settings_;
    TRecordingSink sink_;
};

// ---------------------------------------------------------------------------
// Real archives.

struct TExpectedFile {
    std::wstring name;
    unsigned size;
    unsigned crc;
};

struct TRealArchive {
    const wchar_t *archive;
    std::vector<TExpectedFile> files;
    std::vector<std::string> log; // with "F:"/"D:" and the name below the target
    std::vector<const wchar_t *> absent;
};

class RealArchive : public ExtractTest, public testing::WithParamInterface<TRealArchive> {};

TEST_P(RealArchive, ExtractsEveryFileExactlyAndLogsFoldersAndFilesInOrder)
{
    const TRealArchive &expected = GetParam();
    ASSERT_EQ("", ExtractError(TestArchive(expected.archive)));

    for (const TExpectedFile &file : expected.files) {
        SCOPED_TRACE(testing::Message() << "file " << WideToAnsi(file.name));
        bool found = false;
        std::string data = FileAt(file.name, &found);
        ASSERT_TRUE(found);
        EXPECT_EQ(file.size, data.size());
        EXPECT_EQ(file.crc, Crc32(data));
    }
    for (const wchar_t *name : expected.absent)
        EXPECT_FALSE(Exists(In(name))) << WideToAnsi(name);

    std::vector<std::string> log;
    for (const std::string &line : expected.log) {
        std::wstring name = Utf8ToWide(line.substr(2));
        log.push_back(line[0] == 'F' ? FileLine(name) : FolderLine(name));
    }
    EXPECT_EQ(log, Log());

    // One state text and one percent per file, the percent never falling and
    // below 100 (each entry's data follows its percent).
    ASSERT_EQ(expected.files.size(), sink_.states.size());
    ASSERT_EQ(expected.files.size(), sink_.percents.size());
    for (size_t i = 0; i < sink_.percents.size(); ++i) {
        EXPECT_LT(sink_.percents[i], 100);
        if (i > 0) {
            EXPECT_GE(sink_.percents[i], sink_.percents[i - 1]);
        }
    }
    EXPECT_EQ(std::vector<std::wstring>{L"Целевая папка"}, OuterEntries());
}

INSTANTIATE_TEST_SUITE_P(
    TestArchives, RealArchive,
    testing::Values(
        // Unix links of these archives carry their target in the data: not made.
        TRealArchive{L"basic.rar",
                     {{L"test.txt", 20, 0xBEC8A242}, {L"testdir\\test.txt", 20, 0xBEC8A242}},
                     {"F:test.txt", "D:testdir", "F:testdir\\test.txt", "D:testemptydir"},
                     {L"testlink"}},
        TRealArchive{L"compress_normal.rar",
                     {{L"LibarchiveAddingTest.html", 20111, 0x5E05A663},
                      {L"testdir\\test.txt", 20, 0xBEC8A242},
                      {L"testdir\\LibarchiveAddingTest.html", 20111, 0x5E05A663}},
                     {"F:LibarchiveAddingTest.html", "D:testdir", "F:testdir\\test.txt",
                      "F:testdir\\LibarchiveAddingTest.html", "D:testemptydir"},
                     {L"testlink"}},
        TRealArchive{L"noeof.rar", {{L"test.txt", 20, 0xBEC8A242}}, {"F:test.txt"}, {}},
        TRealArchive{L"subblock.rar", {{L"test.txt", 20, 0xBEC8A242}}, {"F:test.txt"}, {}},
        TRealArchive{L"rar5_cyrillic.rar",
                     {{L"plain.txt", 6, 0x3915F9D0},
                      {L"Документы\\readme.txt", 22, 0xC90884CB},
                      {L"Документы\\Отчёты\\data.bin", 70000, 0x855393EC}},
                     {"F:plain.txt", u8"D:Документы", u8"F:Документы\\readme.txt", u8"D:Документы\\Отчёты",
                      u8"F:Документы\\Отчёты\\data.bin"},
                     {}},
        // Its last name has no Unicode form: read in the OEM code page.
        TRealArchive{L"unicode.rar",
                     {{L"表だよ\\新しいフォルダ\\新規テキスト ドキュメント.txt", 0, 0},
                      {L"表だよ\\漢字長いファイル名long-filename-in-漢字.txt", 5, 0x426F9DDC},
                      {OemReadName(L"abcdefghijklmnopqrsテスト.txt"), 16, 0x15B6D005}},
                     {u8"D:表だよ", u8"D:表だよ\\新しいフォルダ", u8"F:表だよ\\新しいフォルダ\\新規テキスト ドキュメント.txt",
                      u8"F:表だよ\\漢字長いファイル名long-filename-in-漢字.txt",
                      "F:" + WideToUtf8(OemReadName(L"abcdefghijklmnopqrsテスト.txt"))},
                     {L"表だよ\\ファイル"}}));

TEST_F(ExtractTest, DamagedRealArchivesFailWithTheirCode)
{
    // Not an archive at all, or a broken main header: the open fails.
    EXPECT_EQ(Damaged("2"), ExtractError(std::string()));
    EXPECT_EQ(Damaged("2"), ExtractError("plain text, not an archive"));
    // A corrupt main header: the library knows it, and the open fails.
    EXPECT_EQ(Damaged("2"), ExtractError(TRar4Writer().AddFile(L"test.txt", "text").BreakMainHeader().Bytes()));
    // An entry that cannot be unpacked: encrypted, or its data end early.
    EXPECT_EQ(Damaged("3"), ExtractError(TestArchive(L"encryption_data.rar")));
    EXPECT_EQ(Damaged("3"), ExtractError(TestArchive(L"invalid1.rar")));
    // Each was logged before the library failed to write it.
    EXPECT_EQ((std::vector<std::string>{FileLine(L"foo.txt"), FileLine(L"test")}), Log());
}

// A payload cut short installs what lies before the cut and then fails; the
// entries after it are neither extracted nor logged.
TEST_F(ExtractTest, TruncatedPayloadIsDamagedWhereverTheCutFalls)
{
    const std::wstring html = L"LibarchiveAddingTest.html";
    const std::wstring plain = L"plain.txt";
    const std::wstring readme = L"Документы\\readme.txt";
    const std::wstring data = L"Документы\\Отчёты\\data.bin";
    struct TCase {
        const wchar_t *archive;
        int cut; // bytes kept, or negative: bytes cut off the end
        const char *code;
        std::vector<std::wstring> logged; // the files logged, the failing one included
    } const cases[] = {
        {L"basic.rar", 7, "2", {}},                  // the signature alone
        {L"basic.rar", 15, "2", {}},                 // in the main header
        {L"rar5_cyrillic.rar", 100, "2", {}},        // before the quick-open record the main header points at
        {L"basic.rar", 144, "3", {L"test.txt"}},     // in a skipped link's data
        {L"compress_normal.rar", 7000, "3", {html}}, // in packed data
        {L"basic.rar", 93, "4", {L"test.txt"}},      // in a header
        {L"rar5_cyrillic.rar", -8, "4", {plain, readme, data}}, // without the end block
    };
    for (const TCase &c : cases) {
        SCOPED_TRACE(testing::Message() << WideToUtf8(c.archive) << " cut at " << c.cut);
        settings_.install_log.Begin();
        std::string bytes = TestArchive(c.archive);
        bytes.resize(c.cut >= 0 ? static_cast<size_t>(c.cut) : bytes.size() + c.cut);
        EXPECT_EQ(Damaged(c.code), ExtractError(bytes));

        std::vector<std::string> files;
        for (const std::string &line : StepsTest::LogEntries(settings_)) {
            if (line.compare(0, 7, "+File: ") == 0)
                files.push_back(line);
        }
        std::vector<std::string> expected;
        for (const std::wstring &name : c.logged)
            expected.push_back(FileLine(name));
        EXPECT_EQ(expected, files);
        RemoveTree(target_);
        CreateDirectoryW(target_.c_str(), nullptr);
    }
}

// ---------------------------------------------------------------------------
// The program's own resource.

TEST_F(ExtractTest, ProgramResourceFilesIsExtractedWhereItLies)
{
    ASSERT_NE(nullptr, FindResourceA(nullptr, "FILES", MAKEINTRESOURCEA(10)))
        << "the test program carries no RCDATA FILES (tests/installer/extract_test.rc)";
    ExtractArchive(settings_, "FILES");
    std::wstring name = OemReadName(L"abcdefghijklmnopqrsテスト.txt");
    std::string text = FileAt(name);
    EXPECT_EQ(16u, text.size());
    EXPECT_EQ(0x15B6D005u, Crc32(text));
    EXPECT_EQ(5u, FileAt(L"表だよ\\漢字長いファイル名long-filename-in-漢字.txt").size());
    EXPECT_EQ(3u, sink_.states.size());
    EXPECT_EQ(Copying(name), sink_.states.back());
}

TEST_F(ExtractTest, MissingResourceIsDamagedInstallerCode1)
{
    try {
        ExtractArchive(settings_, "NO_SUCH_PAYLOAD");
        FAIL() << "no message";
    } catch (const Mirelta::TVxMessage &message) {
        EXPECT_EQ(Damaged("1"), message.Text());
    }
    EXPECT_TRUE(Log().empty());
}

// ---------------------------------------------------------------------------
// Archives of the RAR 4 writer.

TEST_F(ExtractTest, FoldersOnlyArchiveCreatesAndLogsEachFolderWithoutReports)
{
    TRar4Writer writer;
    writer.AddFolder(L"Программа").AddFolder(L"Программа\\Данные").AddFolder(L"empty");
    ASSERT_EQ("", ExtractError(writer.Bytes()));
    EXPECT_EQ((std::vector<std::string>{FolderLine(L"Программа"), FolderLine(L"Программа\\Данные"),
                                        FolderLine(L"empty")}),
              Log());
    EXPECT_TRUE(Exists(In(L"Программа\\Данные")));
    EXPECT_TRUE(sink_.states.empty());
    EXPECT_TRUE(sink_.percents.empty());
}

TEST_F(ExtractTest, FileWithoutFolderEntriesGetsItsFolderChainOutermostFirst)
{
    TRar4Writer writer;
    writer.AddFile(L"a\\b\\c\\file.txt", "deep");
    ASSERT_EQ("", ExtractError(writer.Bytes()));
    EXPECT_EQ("deep", FileAt(L"a\\b\\c\\file.txt"));
    EXPECT_EQ((std::vector<std::string>{FolderLine(L"a"), FolderLine(L"a\\b"), FolderLine(L"a\\b\\c"),
                                        FileLine(L"a\\b\\c\\file.txt")}),
              Log());
    EXPECT_EQ((std::vector<std::string>{Copying(L"file.txt")}), sink_.states);
}

TEST_F(ExtractTest, MissingTargetFolderIsCreatedWithTheFirstFile)
{
    target_ += L"\\new\\inner";
    settings_.target_folder = WideToAnsi(target_);
    TRar4Writer writer;
    writer.AddFile(L"x.txt", "x");
    ASSERT_EQ("", ExtractError(writer.Bytes()));
    EXPECT_EQ("x", FileAt(L"x.txt"));
    EXPECT_EQ((std::vector<std::string>{"+Folder: " + WideToUtf8(outer_ + L"\\Целевая папка\\new"),
                                        "+Folder: " + WideToUtf8(target_), FileLine(L"x.txt")}),
              Log());
}

TEST_F(ExtractTest, NamesOutsideTheCodePageAreWrittenUnderTheirOwnNames)
{
    const std::wstring names[] = {L"Отчёт за 2024 год.txt", L"café.txt", L"表\\日本語.txt",
                                  L"\xD83D\xDE00 emoji.txt"};
    TRar4Writer writer;
    for (const std::wstring &name : names)
        writer.AddFile(name, WideToUtf8(name));
    ASSERT_EQ("", ExtractError(writer.Bytes()));
    std::vector<std::string> log;
    for (const std::wstring &name : names) {
        EXPECT_EQ(WideToUtf8(name), FileAt(name)) << WideToUtf8(name);
        if (name.find(L'\\') != std::wstring::npos)
            log.push_back(FolderLine(L"表"));
        log.push_back(FileLine(name));
    }
    EXPECT_EQ(log, Log());
    // The state text holds the code page's escape of what it cannot carry.
    EXPECT_EQ(Copying(L"日本語.txt"), sink_.states[2]);
    EXPECT_NE(std::string::npos, sink_.states[2].find("{@u65E5}"));
}

TEST_F(ExtractTest, BrokenHeaderChecksumIsCode4AfterTheEntriesBefore)
{
    TRar4Writer writer;
    writer.AddFile(L"first.txt", "one").AddFile(L"second.txt", "two", TRar4Writer::dmHeaderCrc);
    EXPECT_EQ(Damaged("4"), ExtractError(writer.Bytes()));
    EXPECT_EQ("one", FileAt(L"first.txt"));
    EXPECT_EQ(FileLine(L"first.txt"), Log().at(0));
}

TEST_F(ExtractTest, CorruptDataIsCode3BeforeTheNextEntry)
{
    TRar4Writer writer;
    writer.AddFile(L"bad.txt", "damaged contents", TRar4Writer::dmDataCrc).AddFile(L"good.txt", "fine");
    EXPECT_EQ(Damaged("3"), ExtractError(writer.Bytes()));
    EXPECT_FALSE(Exists(In(L"good.txt")));
    EXPECT_EQ((std::vector<std::string>{FileLine(L"bad.txt")}), Log());
}

TEST_F(ExtractTest, ExistingWritableFileIsReplacedAndReadOnlyOneStopsWith30019)
{
    TRar4Writer writer;
    writer.AddFile(L"data.txt", "new");
    ASSERT_TRUE(WriteWholeFile(In(L"data.txt"), "old and longer"));
    ASSERT_EQ("", ExtractError(writer.Bytes()));
    EXPECT_EQ("new", FileAt(L"data.txt"));

    ASSERT_TRUE(WriteWholeFile(In(L"data.txt"), "kept"));
    SetFileAttributesW(In(L"data.txt").c_str(), FILE_ATTRIBUTE_READONLY);
    EXPECT_EQ(WideToAnsi(L"Ошибка удаления файла " + In(L"data.txt")), ExtractError(writer.Bytes()));
    EXPECT_EQ("kept", FileAt(L"data.txt"));
    EXPECT_EQ(1u, sink_.states.size()); // the failed entry reported nothing
}

// The existence test before each file is kept wherever a file of that name
// can be: an entry written earlier by the same archive (in any case, under a
// name Windows trims to it), and a file left in a folder that was there before.
TEST_F(ExtractTest, FilesWrittenEarlierOrLeftInPlaceAreFoundBeforeTheyAreReplaced)
{
    const unsigned readOnly = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE;
    TRar4Writer twice;
    twice.AddFile(L"Папка\\data.txt", "first").AddFile(L"ПАПКА\\DATA.TXT", "second");
    ASSERT_EQ("", ExtractError(twice.Bytes()));
    EXPECT_EQ("second", FileAt(L"Папка\\data.txt"));
    EXPECT_EQ((std::vector<std::string>{FolderLine(L"Папка"), FileLine(L"Папка\\data.txt"),
                                        FileLine(L"ПАПКА\\DATA.TXT")}),
              Log());

    struct TCase {
        const wchar_t *first;  // extracted read-only
        const wchar_t *second; // must stop with 30019
    };
    const TCase cases[] = {
        {L"Новая\\locked.txt", L"НОВАЯ\\LOCKED.TXT"},
        {L"trimmed.txt", L"trimmed.txt."},
    };
    for (const TCase &c : cases) {
        SCOPED_TRACE(WideToUtf8(c.second));
        TRar4Writer writer;
        writer.AddFile(c.first, "kept").WithAttributes(readOnly).AddFile(c.second, "new");
        EXPECT_EQ(WideToAnsi(L"Ошибка удаления файла " + In(c.second)), ExtractError(writer.Bytes()));
        EXPECT_EQ("kept", FileAt(c.first));
    }

    ASSERT_TRUE(CreateDirectoryW(In(L"Данные").c_str(), nullptr));
    ASSERT_TRUE(WriteWholeFile(In(L"Данные\\keep.txt"), "old"));
    SetFileAttributesW(In(L"Данные\\keep.txt").c_str(), FILE_ATTRIBUTE_READONLY);
    TRar4Writer later;
    later.AddFile(L"Данные\\a.txt", "a").AddFile(L"Данные\\b.txt", "b").AddFile(L"ДАННЫЕ\\KEEP.TXT", "new");
    EXPECT_EQ(WideToAnsi(L"Ошибка удаления файла " + In(L"ДАННЫЕ\\KEEP.TXT")), ExtractError(later.Bytes()));
    EXPECT_EQ("old", FileAt(L"Данные\\keep.txt"));
}

// A path that the system takes as it stands, a device name included.
std::wstring Verbatim(const std::wstring &path) { return L"\\\\?\\" + path; }

// The files of a folder without sub-folders, each as "name=content", with
// " (r)" for a read-only one, in listing order.
std::vector<std::string> FlatFiles(const std::wstring &folder)
{
    std::vector<std::string> files;
    WIN32_FIND_DATAW data;
    Mirelta::TFindHandle find(FindFirstFileW(Verbatim(folder + L"\\*").c_str(), &data));
    if (!find.IsValid())
        return files;
    do {
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            continue;
        std::string content;
        Mirelta::TWinHandle file(CreateFileW(Verbatim(folder + L"\\" + data.cFileName).c_str(), GENERIC_READ,
                                             FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
        char buffer[64];
        DWORD read = 0;
        while (file.IsValid() && ReadFile(file.Get(), buffer, sizeof buffer, &read, nullptr) && read > 0)
            content.append(buffer, read);
        files.push_back(WideToUtf8(data.cFileName) + "=" + content +
                        (data.dwFileAttributes & FILE_ATTRIBUTE_READONLY ? " (r)" : ""));
    } while (FindNextFileW(find.Get(), &data));
    return files;
}

// Empties a folder without sub-folders, files named like devices included.
void ClearFlatFolder(const std::wstring &folder)
{
    WIN32_FIND_DATAW data;
    Mirelta::TFindHandle find(FindFirstFileW(Verbatim(folder + L"\\*").c_str(), &data));
    if (!find.IsValid())
        return;
    do {
        const std::wstring path = Verbatim(folder + L"\\" + data.cFileName);
        if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
            SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
            DeleteFileW(path.c_str());
        }
    } while (FindNextFileW(find.Get(), &data));
}

// The library alone extracting the archive into the folder, as the extraction
// went before it kept track of the folders: with testNames each file entry's
// path is tested first and an older file there deleted, the run ending with
// message 30019 when it stays; without, the library writes each entry where it
// will. The text of the message that ends the run; "" when none does.
std::string LibraryExtract(const std::wstring &folder, const std::string &bytes, bool testNames)
{
    TVxFixedMemStream stream(const_cast<char *>(bytes.data()), static_cast<unsigned>(bytes.size()),
                             TVxFixedMemStream::omRead);
    RAROpenArchiveDataStream record;
    record.stream = unowned_var_a<TVxStream>(&stream);
    record.Data.OpenMode = RAR_OM_EXTRACT;
    HANDLE archive = RAROpenArchiveEx(&record);
    if (record.Data.OpenResult != 0)
        return (Mirelta::TVxMessage(30022) << "2").Text();
    std::unique_ptr<RARHeaderDataEx> header(new RARHeaderDataEx());
    std::wstring dest = folder;
    std::string result;
    while (result.empty() && RARReadHeaderEx(archive, header.get()) == 0) {
        const std::string path = WideToAnsi(folder + L"\\" + header->FileNameW);
        if (testNames && FileExists(path)) {
            FileDelete(path);
            if (FileExists(path)) {
                result = (Mirelta::TVxMessage(30019) << path).Text();
                break;
            }
        }
        if (RARProcessFileW(archive, RAR_EXTRACT, &dest[0], nullptr) != 0)
            result = (Mirelta::TVxMessage(30022) << "3").Text();
    }
    RARCloseArchive(archive);
    return result;
}

// The library writes CON, PRN, AUX, NUL, COM0-COM9 and LPT0-LPT9, with any
// extension and in any case, under "_" and the name, and the system may take
// CONIN$, CONOUT$ or a port with a superscript digit for a device. The folder
// cache leaves every such name to the existence test, and the extraction
// ends as the test before each file makes it end: an older file under the
// other spelling is found, replaced or refused.
TEST_F(ExtractTest, DeviceNamesEndAsWithTheExistenceTestBeforeEveryFile)
{
    std::vector<std::wstring> devices = {L"CON",    L"PRN",     L"AUX",        L"NUL",
                                         L"CONIN$", L"CONOUT$", L"COM\u00B9", L"LPT\u00B2"};
    for (wchar_t digit = L'0'; digit <= L'9'; ++digit) {
        devices.push_back(std::wstring(L"COM") + digit);
        devices.push_back(std::wstring(L"LPT") + digit);
    }
    const std::vector<std::wstring> alike = {L"COM10", L"LPT",  L"CONSOLE", L"NULL",
                                             L"AUXX",  L"CONIN", L"CONOUT", L"COMA"};
    const unsigned readOnly = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE;

    const std::vector<std::wstring> *const lists[] = {&devices, &alike};
    for (const std::vector<std::wstring> *stems : lists) {
        for (const std::wstring &stem : *stems) {
            std::wstring lower = stem;
            CharLowerBuffW(&lower[0], static_cast<DWORD>(lower.size()));
            std::wstring mixed = lower;
            mixed[0] = stem[0];
            for (const std::wstring &name : {stem, lower + L".txt", mixed + L".Log.bak"}) {
                SCOPED_TRACE(WideToUtf8(name));
                const std::wstring other = L"_" + name;
                const bool device = stems == &devices;

                // The library's own spelling against the cache's answer.
                ClearFlatFolder(target_);
                TRar4Writer single;
                single.AddFile(name, "x");
                LibraryExtract(target_, single.Bytes(), false);
                const std::vector<std::string> written = FlatFiles(target_);
                const std::wstring writtenName =
                    written.size() == 1 ? Utf8ToWide(written[0].substr(0, written[0].find('='))) : name;
                const bool renamed = lstrcmpiW(writtenName.c_str(), name.c_str()) != 0;
                ClearFlatFolder(target_);
                TExtractFolders folders(WideToAnsi(target_));
                const bool mayExist = folders.MayExist(name);
                EXPECT_TRUE(mayExist || !renamed) << "written as " << WideToUtf8(writtenName);
                EXPECT_FALSE(renamed && !device) << "written as " << WideToUtf8(writtenName);
                EXPECT_EQ(device, mayExist);

                // Both spellings in the payload, or the other one in place
                // before; read-only or not.
                for (unsigned attributes : {readOnly, 0u}) {
                    TRar4Writer both;
                    both.AddFile(name, "first");
                    if (attributes != 0)
                        both.WithAttributes(attributes);
                    both.AddFile(other, "second");
                    TRar4Writer one;
                    one.AddFile(name, "new");
                    for (bool before : {false, true}) {
                        const std::string &bytes = before ? one.Bytes() : both.Bytes();
                        auto setUp = [&] {
                            ClearFlatFolder(target_);
                            if (before) {
                                ASSERT_TRUE(WriteWholeFile(In(other), "old"));
                                SetFileAttributesW(In(other).c_str(), attributes ? attributes : FILE_ATTRIBUTE_NORMAL);
                            }
                        };
                        setUp();
                        const std::string error = ExtractError(bytes);
                        const std::vector<std::string> files = FlatFiles(target_);
                        setUp();
                        EXPECT_EQ(LibraryExtract(target_, bytes, true), error) << before << attributes;
                        EXPECT_EQ(FlatFiles(target_), files) << before << attributes;
                    }
                }
            }
        }
    }
    ClearFlatFolder(target_);
}

TEST_F(ExtractTest, FolderBlockedByAFileStopsWith30020AndItsFolder)
{
    ASSERT_TRUE(WriteWholeFile(In(L"bin"), "a file where a folder belongs"));
    TRar4Writer writer;
    writer.AddFile(L"bin\\sub\\tool.exe", "MZ");
    EXPECT_EQ(WideToAnsi(L"Ошибка создания директории " + In(L"bin\\sub\\")), ExtractError(writer.Bytes()));
    EXPECT_TRUE(Log().empty());

    // An empty folder of the payload is no less part of the product.
    TRar4Writer folder;
    folder.AddFolder(L"bin");
    EXPECT_EQ(WideToAnsi(L"Ошибка создания директории " + In(L"bin\\")), ExtractError(folder.Bytes()));
    EXPECT_TRUE(Log().empty());
}

// A file that the system does not let the library create is no damaged
// installer: the message names the file and the system's reason.
TEST_F(ExtractTest, FileTheSystemRefusesToCreateIsNamedWithTheSystemsReason)
{
    ASSERT_TRUE(CreateDirectoryW(In(L"data.txt").c_str(), nullptr)); // a folder where the file belongs
    TRar4Writer writer;
    writer.AddFile(L"data.txt", "contents");
    EXPECT_EQ(WriteFailed(In(L"data.txt"), ERROR_ACCESS_DENIED), ExtractError(writer.Bytes()));
}

// The full-disk tests of the extraction: the target folder on the small drive.
class SmallDriveExtract : public ExtractTest {
protected:
    void SetUp() override
    {
        ExtractTest::SetUp();
        if (drive_.Path().empty())
            GTEST_SKIP() << StepsTest::TSmallDrive::Missing;
        target_ = AnsiToWide(drive_.Path()) + L"\\Target";
        CreateDirectoryW(target_.c_str(), nullptr);
        settings_.target_folder = WideToAnsi(target_);
    }

    StepsTest::TSmallDrive drive_;
};

// The disk fills up while the library writes a file: the message names the
// file and the system's reason, and nothing of the file stays; the file
// before it is whole.
TEST_F(SmallDriveExtract, FullDiskNamesTheFileAndTheSystemsReason)
{
    ASSERT_TRUE(drive_.Fill(2));
    TRar4Writer writer;
    writer.AddFile(L"small.txt", "fits").AddFile(L"big.bin", std::string(64 * 1024, 'x'));
    EXPECT_EQ(WriteFailed(In(L"big.bin"), ERROR_DISK_FULL), ExtractError(writer.Bytes()));
    EXPECT_EQ("fits", FileAt(L"small.txt"));
    EXPECT_FALSE(Exists(In(L"big.bin")));
}

// WriteFile as a device answers that takes nothing and still reports
// success: no byte written, the last error left as the calls before left it.
// Handles of anything but a disk file go to the system's WriteFile.
decltype(&WriteFile) SystemWriteFile = nullptr;
BOOL WINAPI WriteNothing(HANDLE file, LPCVOID data, DWORD size, LPDWORD written, LPOVERLAPPED overlapped)
{
    const DWORD error = GetLastError();
    const bool disk = GetFileType(file) == FILE_TYPE_DISK;
    SetLastError(error);
    if (!disk)
        return SystemWriteFile(file, data, size, written, overlapped);
    if (written != nullptr)
        *written = 0;
    return TRUE;
}

// A write that the system answers with success while it takes nothing ends
// the library's write with no failed call: it is a write failure of its own
// (ERROR_WRITE_FAULT), not a damaged installer nor the reason an earlier call
// left, and nothing of the file stays.
TEST_F(ExtractTest, WriteThatTakesNothingIsAWriteFaultOfTheFile)
{
    TRar4Writer writer;
    writer.AddFile(L"data.txt", "contents").AddFile(L"next.txt", "next");
    std::string error;
    {
        const TImportHook hook("kernel32.dll", "WriteFile", reinterpret_cast<void *>(&WriteNothing));
        ASSERT_TRUE(hook.IsSet()) << "the test program imports no kernel32 WriteFile";
        const TReplaced<decltype(&WriteFile)> system(SystemWriteFile,
                                                     reinterpret_cast<decltype(&WriteFile)>(hook.Original()));
        error = ExtractError(writer.Bytes());
    }
    EXPECT_EQ(WriteFailed(In(L"data.txt"), ERROR_WRITE_FAULT), error);
    EXPECT_FALSE(Exists(In(L"data.txt")));
    EXPECT_FALSE(Exists(In(L"next.txt")));
}

DWORD WINAPI NoLongPathName(LPCWSTR, LPWSTR, DWORD)
{
    SetLastError(ERROR_FILENAME_EXCED_RANGE);
    return 0;
}

// Entry names longer than the library's header field holds (1,024
// characters), as Debian's rar tool stores them in RAR 5: the file is
// written, tested and logged under its full name, with every folder on its
// way and no entry cut short.
TEST_F(ExtractTest, EntryNameLongerThanTheHeaderFieldIsInstalledUnderItsFullName)
{
    ASSERT_EQ("", ExtractError(TestArchive(L"rar5_deep.rar")));
    std::wstring folder;
    std::vector<std::string> log;
    for (int level = 0; level < 11; ++level) {
        wchar_t number[3] = {static_cast<wchar_t>(L'0' + level / 10), static_cast<wchar_t>(L'0' + level % 10), 0};
        folder += (level > 0 ? L"\\" : L"") + std::wstring(number) + std::wstring(98, L'v');
        log.push_back(FolderLine(folder));
    }
    const std::wstring file = folder + L"\\deep.txt";
    ASSERT_EQ(1119u, file.size());
    log.push_back(FileLine(file));
    EXPECT_EQ("deep\n", FileAt(file));
    ASSERT_EQ(log, Log());
    EXPECT_EQ(std::vector<std::string>{Copying(L"deep.txt")}, sink_.states);
    EXPECT_EQ(std::vector<std::wstring>{L"Целевая папка"}, OuterEntries());

    // Installed again over a read-only copy: the existence test finds it
    // under the full name and cannot delete it. Should the library meet the
    // file instead, Wine's GetLongPathNameW, which it calls for a file in its
    // way, would overrun a buffer of the program's stack on so long a path and
    // end the test program: the stand-in fails that call.
    ASSERT_TRUE(SetFileAttributesW(In(file).c_str(), FILE_ATTRIBUTE_READONLY));
    const TImportHook hook("kernel32.dll", "GetLongPathNameW", reinterpret_cast<void *>(&NoLongPathName));
    ASSERT_TRUE(hook.IsSet()) << "the test program imports no kernel32 GetLongPathNameW";
    EXPECT_EQ(WideToAnsi(L"Ошибка удаления файла " + In(file)), ExtractError(TestArchive(L"rar5_deep.rar")));
    EXPECT_EQ("deep\n", FileAt(file));
}

// A name whose path the library cannot hold whole is refused before anything
// is done for it, in a message of its own; the entries before it stay
// installed, none after it is extracted.
TEST_F(ExtractTest, EntryNameTooLongForTheLibraryIsRefusedAndNothingAfterIt)
{
    EXPECT_EQ(WideToAnsi(L"Инсталлятор содержит слишком длинное для установки имя файла (deep.txt)"),
              ExtractError(TestArchive(L"rar5_too_deep.rar")));
    EXPECT_EQ("before\n", FileAt(L"before.txt"));
    EXPECT_EQ(std::vector<std::string>{FileLine(L"before.txt")}, Log());
    EXPECT_FALSE(Exists(In(L"00" + std::wstring(98, L'w'))));
    EXPECT_FALSE(Exists(In(L"after.txt")));
}

TEST_F(ExtractTest, UserBreakFromTheSinkPassesThroughBeforeTheFileIsLogged)
{
    TRar4Writer writer;
    writer.AddFile(L"one.txt", "1").AddFile(L"two.txt", "2");
    sink_.stopAtState = 1;
    std::string what;
    try {
        Extract(writer.Bytes());
    } catch (const char *text) {
        what = text;
    }
    EXPECT_EQ("@User break", what);
    EXPECT_EQ((std::vector<std::string>{FileLine(L"one.txt")}), Log());
    EXPECT_FALSE(Exists(In(L"two.txt")));
}

// Entry names that leave the target folder: refused as a damaged installer
// before anything is done for them; the entries before them are extracted.
TEST_F(ExtractTest, EscapingEntryNamesAreRefusedWithCode3AndNothingLeavesTheTarget)
{
    const std::wstring names[] = {
        L"..\\escaped.txt",    L"sub\\..\\..\\escaped.txt", L"sub\\..\\inside-but-refused.txt",
        L"\\rooted.txt",       L"/rooted.txt",              L"...\\dots.txt",
        L"sub\\. .\\dots.txt",
        L"sub/../../escaped.txt",
    };
    for (const std::wstring &name : names) {
        SCOPED_TRACE(WideToUtf8(name));
        size_t lines = Log().size();
        TRar4Writer writer;
        writer.AddFile(L"ok.txt", "ok").AddFile(name, "payload");
        EXPECT_EQ(Damaged("3"), ExtractError(writer.Bytes()));
        ASSERT_EQ(lines + 1, Log().size());
        EXPECT_EQ(FileLine(L"ok.txt"), Log().back());

        TRar4Writer folder;
        folder.AddFolder(name);
        EXPECT_EQ(Damaged("3"), ExtractError(folder.Bytes()));
        EXPECT_EQ(lines + 1, Log().size());
    }
    EXPECT_EQ(std::vector<std::wstring>{L"Целевая папка"}, OuterEntries());

    // The library turns every colon of a name into '_' before we see it, so a
    // drive becomes a folder of its own.
    TRar4Writer drive;
    drive.AddFile(L"C:\\drive.txt", "inside").AddFile(L"C:relative.txt", "inside too");
    drive.AddFile(L"file.txt:stream", "no stream");
    ASSERT_EQ("", ExtractError(drive.Bytes()));
    EXPECT_EQ("inside", FileAt(L"C_\\drive.txt"));
    EXPECT_EQ("inside too", FileAt(L"C_relative.txt"));
    EXPECT_EQ("no stream", FileAt(L"file.txt_stream"));
    EXPECT_FALSE(Exists(L"C:\\drive.txt"));
}

// A RAR 4 Unix symbolic link (its target is its data) appended to the
// writer's entries; such links are never made on Windows.
std::string WithUnixLink(TRar4Writer &writer, const std::string &name, const std::string &target,
                         const std::wstring &after)
{
    auto put2 = [](std::string &out, unsigned v) {
        out += static_cast<char>(v & 0xFF);
        out += static_cast<char>((v >> 8) & 0xFF);
    };
    auto put4 = [&](std::string &out, unsigned v) {
        put2(out, v & 0xFFFF);
        put2(out, v >> 16);
    };
    std::string header;
    header += '\x74';
    put2(header, 0x8000);
    put2(header, static_cast<unsigned>(32 + name.size()));
    put4(header, static_cast<unsigned>(target.size())); // packed
    put4(header, static_cast<unsigned>(target.size())); // unpacked
    header += '\x03';                                    // Unix
    put4(header, Crc32(target));
    put4(header, 0x58210000);
    header += '\x14'; // version 2.0
    header += '\x30'; // stored
    put2(header, static_cast<unsigned>(name.size()));
    put4(header, 0xA1FF); // lrwxrwxrwx
    header += name;
    std::string block;
    put2(block, Crc32(header) & 0xFFFF);
    std::string bytes = writer.OmitEndBlock().Bytes() + block + header + target;
    TRar4Writer tail;
    tail.AddFile(after, "after");
    std::string tailBytes = tail.OmitEndBlock().Bytes();
    return bytes + tailBytes.substr(7 + 13); // without signature and main header
}

TEST_F(ExtractTest, UnixLinkEntriesAreNeitherMadeNorLoggedAndExtractionGoesOn)
{
    TRar4Writer writer;
    writer.AddFile(L"before.txt", "b");
    std::string bytes = WithUnixLink(writer, "evil", "../../outside", L"after.txt");
    ASSERT_EQ("", ExtractError(bytes));
    EXPECT_FALSE(Exists(In(L"evil")));
    EXPECT_EQ("after", FileAt(L"after.txt"));
    EXPECT_EQ((std::vector<std::string>{FileLine(L"before.txt"), FileLine(L"after.txt")}), Log());
    EXPECT_EQ(std::vector<std::wstring>{L"Целевая папка"}, OuterEntries());
}

// ---------------------------------------------------------------------------
// The confinement rules and the folder maker.

TEST(ExtractRules, LinkTargetsMustResolveInsideTheTargetFolder)
{
    struct TCase {
        const wchar_t *entry;
        const wchar_t *target;
        bool inside;
    } const cases[] = {
        {L"link", L"file.txt", true},
        {L"link", L"sub\\..\\file.txt", true},
        {L"a\\link", L"../file.txt", true},
        {L"a\\b\\link", L"..\\..\\file.txt", true},
        {L"a\\b\\link", L"..\\..\\..\\file.txt", false},
        {L"link", L"..\\outside", false},
        {L"link", L"sub\\..\\..\\outside", false},
        {L"a\\.\\.\\link", L"..\\..\\outside", false},
        {L"link", L"...\\outside", false},
        {L"link", L"\\abs", false},
        {L"link", L"/etc/passwd", false},
        {L"link", L"C:\\Windows", false},
        {L"link", L"C:rel", false},
        {L"link", L"\\??\\C:\\x", false},
        {L"link", L"", false},
    };
    for (const TCase &c : cases)
        EXPECT_EQ(c.inside, IsLinkTargetConfined(c.entry, c.target))
            << WideToUtf8(c.entry) << " -> " << WideToUtf8(c.target);
}

TEST_F(ExtractTest, CreateFolderChainCreatesMissingFoldersOnceAndRefusesBlockedOnes)
{
    EXPECT_FALSE(CreateFolderChain(settings_, ""));
    EXPECT_TRUE(CreateFolderChain(settings_, "C:"));
    EXPECT_TRUE(CreateFolderChain(settings_, "C:\\"));
    EXPECT_TRUE(CreateFolderChain(settings_, WideToAnsi(target_)));
    EXPECT_TRUE(Log().empty());

    EXPECT_TRUE(CreateFolderChain(settings_, WideToAnsi(In(L"Новая\\папка\\"))));
    EXPECT_TRUE(CreateFolderChain(settings_, WideToAnsi(In(L"Новая\\папка"))));
    EXPECT_EQ((std::vector<std::string>{FolderLine(L"Новая"), FolderLine(L"Новая\\папка")}), Log());

    ASSERT_TRUE(WriteWholeFile(In(L"file"), "x"));
    EXPECT_FALSE(CreateFolderChain(settings_, WideToAnsi(In(L"file\\sub"))));
    EXPECT_EQ(2u, Log().size());
}

// A chain of about 12,000 folders: no recursion, no copy of the path per level;
// the folders made before the one the system refuses are logged and kept.
TEST_F(ExtractTest, CreateFolderChainStopsCleanlyOnAVeryDeepPath)
{
    std::string deep = WideToAnsi(In(L"made\\bad|name"));
    for (int level = 0; level < 12000; ++level)
        deep += "\\a";
    bool created = true;
    ASSERT_TRUE(RunOnSmallStack([&] { created = CreateFolderChain(settings_, deep); }, 256 * 1024, 300000))
        << "the stack overflowed";
    EXPECT_FALSE(created);
    EXPECT_EQ(std::vector<std::string>{FolderLine(L"made")}, Log());
    EXPECT_TRUE(Exists(In(L"made")));
}

} // namespace
