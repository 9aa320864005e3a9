// The RAR library read through our stream binding: real archives made by
// RAR tools and archives of the RAR 4 writer, opened from memory,
// listed and extracted into a temporary folder.
#include <gtest/gtest.h>

#include <windows.h>
#include <zlib.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "foundation/VxStream.h"
#include "foundation/VxText.h"
#include "foundation/WinHandle.h"
#include "foundation/var_a.h"
#include "installer/RarStream.h"
#include "tests/installer/StepsTestUtil.h"
#include "tests/support/Rar4Writer.h"

namespace {

using StepsTest::ReadWholeFile;
using StepsTest::TestArchivePath;
using StepsTest::TestArchive;
using StepsTest::Crc32;

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
            if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                RemoveTree(path);
            } else {
                SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileW(path.c_str());
            }
        } while (FindNextFileW(find.Get(), &data));
    }
    RemoveDirectoryW(folder.c_str());
}

// A fresh folder below the temporary folder, removed with its contents.
class TTempFolder {
public:
    TTempFolder()
    {
        wchar_t base[MAX_PATH];
        GetTempPathW(MAX_PATH, base);
        static unsigned counter = 0;
        path_ = std::wstring(base) + L"rarstream_" + std::to_wstring(GetCurrentProcessId()) + L"_" +
                std::to_wstring(++counter);
        RemoveTree(path_);
        CreateDirectoryW(path_.c_str(), nullptr);
        // Extraction lands one level down, so that escapes are seen beside it.
        inner_ = path_ + L"\\dest";
        CreateDirectoryW(inner_.c_str(), nullptr);
    }
    ~TTempFolder() { RemoveTree(path_); }

    const std::wstring &outer() const { return path_; }
    const std::wstring &dest() const { return inner_; }

private:
    std::wstring path_;
    std::wstring inner_;
};

// A memory stream that tells when it is destroyed.
class TWatchedStream : public TVxFixedMemStream {
public:
    TWatchedStream(const std::string &bytes, bool *destroyed)
        : TVxFixedMemStream(const_cast<char *>(bytes.data()), static_cast<unsigned>(bytes.size()), omRead),
          destroyed_(destroyed)
    {
    }
    ~TWatchedStream() override { *destroyed_ = true; }

private:
    bool *destroyed_;
};

struct TEntry {
    std::wstring name;
    unsigned flags;
    unsigned unpSize;
    unsigned fileCrc;
    int processCode; // RARProcessFileW result, when extracted
};

struct TRun {
    unsigned openResult = 0;
    std::vector<TEntry> entries;
    int endCode = 0; // what ended RARReadHeaderEx
};

// Walks every header of an open archive and closes it: folders are skipped,
// files extracted into dest, or skipped when dest is empty.
void WalkAndClose(HANDLE archive, const std::wstring &dest, TRun &run)
{
    std::unique_ptr<RARHeaderDataEx> header(new RARHeaderDataEx());
    header->CmtBuf = nullptr;
    std::vector<wchar_t> destPath(dest.begin(), dest.end());
    destPath.push_back(0);
    // The cap turns a reader that never ends into a failure instead of a hang.
    while (run.entries.size() < 1000 && (run.endCode = RARReadHeaderEx(archive, header.get())) == 0) {
        TEntry entry{header->FileNameW, header->Flags, header->UnpSize, header->FileCRC, 0};
        bool extract = !(entry.flags & RHDF_DIRECTORY) && !dest.empty();
        entry.processCode = extract ? RARProcessFileW(archive, RAR_EXTRACT, destPath.data(), nullptr)
                                    : RARProcessFileW(archive, RAR_SKIP, nullptr, nullptr);
        run.entries.push_back(entry);
    }
    RARCloseArchive(archive);
}

// Opens the bytes through the stream binding as the installer does (the
// record holds the stream without owning it) and walks the archive.
TRun ExtractAll(const std::string &bytes, const std::wstring &dest)
{
    TRun run;
    TVxFixedMemStream stream(const_cast<char *>(bytes.data()), static_cast<unsigned>(bytes.size()),
                             TVxFixedMemStream::omRead);
    char arcName[] = "FILES";
    RAROpenArchiveDataStream record;
    record.stream = unowned_var_a<TVxStream>(&stream);
    record.Data.ArcName = arcName;
    record.Data.OpenMode = RAR_OM_EXTRACT;
    std::vector<char> comment(16384);
    record.Data.CmtBuf = comment.data();
    record.Data.CmtBufSize = static_cast<unsigned>(comment.size());

    HANDLE archive = RAROpenArchiveEx(&record);
    run.openResult = record.Data.OpenResult;
    if (archive != nullptr)
        WalkAndClose(archive, dest, run);
    return run;
}

// The same with the library's own file open, for comparison.
TRun ExtractFromFile(const std::wstring &path, const std::wstring &dest)
{
    TRun run;
    std::vector<wchar_t> name(path.begin(), path.end());
    name.push_back(0);
    RAROpenArchiveDataEx record = {};
    record.ArcNameW = name.data();
    record.OpenMode = RAR_OM_EXTRACT;
    HANDLE archive = RAROpenArchiveEx(&record);
    run.openResult = record.OpenResult;
    if (archive != nullptr)
        WalkAndClose(archive, dest, run);
    return run;
}

const TEntry *FindEntry(const TRun &run, const std::wstring &name)
{
    for (const TEntry &entry : run.entries) {
        if (entry.name == name)
            return &entry;
    }
    return nullptr;
}

std::string ExtractedFile(const std::wstring &dest, const std::wstring &name, bool *found = nullptr)
{
    std::string bytes;
    bool ok = ReadWholeFile(dest + L"\\" + name, bytes);
    if (found)
        *found = ok;
    return bytes;
}

bool FolderExists(const std::wstring &path)
{
    DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// ---------------------------------------------------------------------------
// Real archives (sizes and CRCs as the reference extractor lists them).

struct TExpectedFile {
    const wchar_t *name;
    unsigned size;
    unsigned crc;
};

struct TGoodArchive {
    const wchar_t *archive;
    std::vector<TExpectedFile> files;
    std::vector<const wchar_t *> folders;
};

void PrintTo(const TGoodArchive &archive, std::ostream *out)
{
    for (const wchar_t *c = archive.archive; *c; ++c)
        *out << static_cast<char>(*c);
}

class GoodArchive : public testing::TestWithParam<TGoodArchive> {};

TEST_P(GoodArchive, ListsEveryEntryAndExtractsFilesWithTheirSizeAndCrc)
{
    const TGoodArchive &expected = GetParam();
    TTempFolder temp;
    TRun run = ExtractAll(TestArchive(expected.archive), temp.dest());

    ASSERT_EQ(0u, run.openResult);
    EXPECT_EQ(ERAR_END_ARCHIVE, run.endCode);
    for (const TExpectedFile &file : expected.files) {
        SCOPED_TRACE(testing::Message() << "entry " << file.name);
        const TEntry *entry = FindEntry(run, file.name);
        ASSERT_NE(nullptr, entry);
        EXPECT_EQ(0u, entry->flags & RHDF_DIRECTORY);
        EXPECT_EQ(file.size, entry->unpSize);
        EXPECT_EQ(file.crc, entry->fileCrc);
        EXPECT_EQ(0, entry->processCode);
        bool found = false;
        std::string data = ExtractedFile(temp.dest(), file.name, &found);
        ASSERT_TRUE(found);
        EXPECT_EQ(file.size, data.size());
        EXPECT_EQ(file.crc, Crc32(data));
    }
    for (const wchar_t *folder : expected.folders) {
        SCOPED_TRACE(testing::Message() << "folder " << folder);
        const TEntry *entry = FindEntry(run, folder);
        ASSERT_NE(nullptr, entry);
        EXPECT_EQ(unsigned(RHDF_DIRECTORY), entry->flags & RHDF_DIRECTORY);
    }
    // Nothing beside the destination.
    EXPECT_FALSE(FolderExists(temp.outer() + L"\\testdir"));
}

INSTANTIATE_TEST_SUITE_P(
    RarStream, GoodArchive,
    testing::Values(
        TGoodArchive{L"basic.rar",
                     {{L"test.txt", 20, 0xBEC8A242}, {L"testdir\\test.txt", 20, 0xBEC8A242}},
                     {L"testdir", L"testemptydir"}},
        TGoodArchive{L"compress_normal.rar",
                     {{L"LibarchiveAddingTest.html", 20111, 0x5E05A663},
                      {L"testdir\\test.txt", 20, 0xBEC8A242},
                      {L"testdir\\LibarchiveAddingTest.html", 20111, 0x5E05A663}},
                     {L"testdir", L"testemptydir"}},
        TGoodArchive{L"noeof.rar", {{L"test.txt", 20, 0xBEC8A242}}, {}},
        TGoodArchive{L"subblock.rar", {{L"test.txt", 20, 0xBEC8A242}}, {}},
        TGoodArchive{L"rar5_cyrillic.rar",
                     {{L"plain.txt", 6, 0x3915F9D0},
                      {L"Документы\\readme.txt", 22, 0xC90884CB},
                      {L"Документы\\Отчёты\\data.bin", 70000, 0x855393EC}},
                     {L"Документы\\Отчёты", L"Документы"}},
        TGoodArchive{L"unicode.rar",
                     {{L"表だよ\\新しいフォルダ\\新規テキスト ドキュメント.txt", 0, 0},
                      // "abcdefghijklmnopqrsテスト.txt" is left out: made on Unix, its
                      // name is UTF-8 without the Unicode mark, read on Windows as OEM text.
                      {L"表だよ\\漢字長いファイル名long-filename-in-漢字.txt", 5, 0x426F9DDC}},
                     {L"表だよ\\新しいフォルダ", L"表だよ"}}));

TEST(RarStream, NonArchiveBytesAreRefusedWithBadArchive)
{
    const std::string cases[] = {std::string(), std::string("plain text, not an archive"),
                                 std::string(100000, 'R')};
    for (const std::string &bytes : cases) {
        TRun run = ExtractAll(bytes, std::wstring());
        EXPECT_EQ(unsigned(ERAR_BAD_ARCHIVE), run.openResult) << bytes.size() << " bytes";
    }
}

TEST(RarStream, DamagedRealArchivesFailAsTheReferenceExtractorReports)
{
    TTempFolder temp;
    // "Main archive header is corrupt": the stream open refuses it (the
    // library's own file open would go on and list nothing).
    TRun corrupt = ExtractAll(TRar4Writer().AddFile(L"test.txt", "text").BreakMainHeader().Bytes(), temp.dest());
    EXPECT_EQ(unsigned(ERAR_BAD_DATA), corrupt.openResult);
    EXPECT_TRUE(corrupt.entries.empty());

    // Encrypted entries cannot be extracted without a password.
    TRun encrypted = ExtractAll(TestArchive(L"encryption_data.rar"), temp.dest());
    ASSERT_EQ(0u, encrypted.openResult);
    ASSERT_FALSE(encrypted.entries.empty());
    EXPECT_EQ(L"foo.txt", encrypted.entries[0].name);
    for (const TEntry &entry : encrypted.entries)
        EXPECT_EQ(ERAR_MISSING_PASSWORD, entry.processCode) << entry.name;

    // The only entry's data reach beyond the end of the stream.
    TRun truncated = ExtractAll(TestArchive(L"invalid1.rar"), temp.dest());
    ASSERT_EQ(0u, truncated.openResult);
    ASSERT_EQ(1u, truncated.entries.size());
    EXPECT_EQ(L"test", truncated.entries[0].name);
    EXPECT_EQ(ERAR_EREAD, truncated.entries[0].processCode);
}

// Whether the walk saw anything but a clean archive.
bool Failed(const TRun &run)
{
    if (run.openResult != 0 || run.endCode != ERAR_END_ARCHIVE)
        return true;
    for (const TEntry &entry : run.entries) {
        if (entry.processCode != 0)
            return true;
    }
    return false;
}

// A payload cut short anywhere is damage, except where the cut falls at the
// end of a block of a RAR 1.5-4.x archive: those archives need no end block,
// so such a copy is a whole archive of fewer entries.
TEST(RarStream, EveryCutOfAGoodArchiveFailsUnlessItEndsABlockOfAnOldFormatArchive)
{
    struct TCase {
        const wchar_t *archive;
        std::vector<size_t> blockEnds; // main header, then each entry
    } const cases[] = {
        {L"basic.rar", {20, 90, 148, 226, 275, 329}},
        {L"unicode.rar", {20, 168, 320, 403, 454, 580, 659}},
        {L"rar5_cyrillic.rar", {}},
    };
    for (const TCase &c : cases) {
        std::string bytes = TestArchive(c.archive);
        // Every cut in the headers at both ends; a sample of those in the
        // big file's data between them.
        for (size_t cut = 0; cut < bytes.size(); cut += cut < 1000 || cut + 1000 > bytes.size() ? 1 : 499) {
            SCOPED_TRACE(testing::Message() << WideToUtf8(c.archive) << " cut at " << cut);
            bool blockEnd = std::find(c.blockEnds.begin(), c.blockEnds.end(), cut) != c.blockEnds.end();
            // Skipping every entry: the skips seek over the entries' data.
            EXPECT_EQ(!blockEnd, Failed(ExtractAll(bytes.substr(0, cut), std::wstring())));
        }
    }
}

// A stream that moves only where the library already is.
class TRefusingStream : public TVxFixedMemStream {
public:
    explicit TRefusingStream(const std::string &bytes)
        : TVxFixedMemStream(const_cast<char *>(bytes.data()), static_cast<unsigned>(bytes.size()), omRead)
    {
    }
    bool setPosition(unsigned position) override { return position == getPosition(); }
};

TEST(RarStream, SeekThatTheStreamRefusesFailsTheOpen)
{
    std::string bytes = TestArchive(L"basic.rar");
    TRefusingStream stream(bytes);
    RAROpenArchiveDataStream record;
    record.stream = unowned_var_a<TVxStream>(&stream);
    record.Data.OpenMode = RAR_OM_EXTRACT;
    HANDLE archive = RAROpenArchiveEx(&record);
    EXPECT_EQ(nullptr, archive);
    EXPECT_EQ(unsigned(ERAR_EREAD), record.Data.OpenResult);
    if (archive != nullptr)
        RARCloseArchive(archive);
}

// On archives without damage the binding and the library's own file open
// agree; on damaged ones the binding is stricter (above). From a stream the
// header the library reads after each file is kept for the next header call;
// rar5_solid.rar has some hundred files of a solid archive after one another.
TEST(RarStream, StreamOpenGivesTheSameResultsAsTheFileOpen)
{
    const wchar_t *archives[] = {L"basic.rar",    L"compress_normal.rar", L"noeof.rar",        L"rar5_cyrillic.rar",
                                 L"subblock.rar", L"unicode.rar",         L"rar5_solid.rar"};
    for (const wchar_t *name : archives) {
        SCOPED_TRACE(testing::Message() << "archive " << name);
        TTempFolder fromFile;
        TTempFolder fromStream;
        TRun file = ExtractFromFile(TestArchivePath(name), fromFile.dest());
        TRun stream = ExtractAll(TestArchive(name), fromStream.dest());
        EXPECT_EQ(file.openResult, stream.openResult);
        EXPECT_EQ(file.endCode, stream.endCode);
        ASSERT_EQ(file.entries.size(), stream.entries.size());
        for (size_t i = 0; i < file.entries.size(); ++i) {
            EXPECT_EQ(file.entries[i].name, stream.entries[i].name);
            EXPECT_EQ(file.entries[i].flags, stream.entries[i].flags);
            EXPECT_EQ(file.entries[i].processCode, stream.entries[i].processCode) << file.entries[i].name;
        }
    }
}

TEST(RarStream, LibraryKeepsItsOwnReferenceToAnOwnedStream)
{
    std::string bytes = TestArchive(L"basic.rar");
    bool destroyed = false;
    RAROpenArchiveDataStream record;
    record.stream = make_var_a<TWatchedStream>(bytes, &destroyed);
    record.Data.OpenMode = RAR_OM_EXTRACT;
    HANDLE archive = RAROpenArchiveEx(&record);
    ASSERT_NE(nullptr, archive);
    record.stream.reset();
    EXPECT_FALSE(destroyed);

    std::unique_ptr<RARHeaderDataEx> header(new RARHeaderDataEx());
    int files = 0;
    while (RARReadHeaderEx(archive, header.get()) == 0) {
        EXPECT_EQ(0, RARProcessFileW(archive, RAR_TEST, nullptr, nullptr)) << header->FileNameW;
        ++files;
    }
    EXPECT_EQ(5, files);
    RARCloseArchive(archive);
    EXPECT_TRUE(destroyed);
}

// ---------------------------------------------------------------------------
// Archives of the RAR 4 writer.

TEST(Rar4Writer, NamesRoundTripThroughTheUnicodeNameEncoding)
{
    const std::wstring names[] = {
        L"plain.txt",
        L"Документы\\Отчёт за 2024 год.txt",
        L"表だよ\\漢字 and Кириллица mixed.bin",
        L"café crème.txt",
        std::wstring(L"long ") + std::wstring(200, L'a') + L" ascii run then ж",
        L"\xD83D\xDE00 outside the basic plane.txt",
    };
    TRar4Writer writer;
    for (const std::wstring &name : names)
        writer.AddFile(name, "x");
    TRun run = ExtractAll(writer.Bytes(), std::wstring());

    ASSERT_EQ(0u, run.openResult);
    EXPECT_EQ(ERAR_END_ARCHIVE, run.endCode);
    ASSERT_EQ(sizeof(names) / sizeof(names[0]), run.entries.size());
    for (size_t i = 0; i < run.entries.size(); ++i) {
        EXPECT_EQ(names[i], run.entries[i].name);
        EXPECT_EQ(0, run.entries[i].processCode) << names[i];
    }
}

TEST(Rar4Writer, ArchiveOfFoldersOnlyListsEveryFolderAsDirectory)
{
    TRar4Writer writer;
    writer.AddFolder(L"Программа").AddFolder(L"Программа\\Данные").AddFolder(L"empty");
    TRun run = ExtractAll(writer.Bytes(), std::wstring());

    ASSERT_EQ(0u, run.openResult);
    EXPECT_EQ(ERAR_END_ARCHIVE, run.endCode);
    ASSERT_EQ(3u, run.entries.size());
    EXPECT_EQ(L"Программа\\Данные", run.entries[1].name);
    for (const TEntry &entry : run.entries)
        EXPECT_EQ(unsigned(RHDF_DIRECTORY), entry.flags & RHDF_DIRECTORY) << entry.name;
}

TEST(Rar4Writer, StoredFilesExtractWithTheirExactBytes)
{
    std::string binary;
    for (unsigned i = 0; i < 300000; ++i)
        binary += static_cast<char>((i * 7919) >> 3);
    TRar4Writer writer;
    writer.AddFolder(L"Папка")
        .AddFile(L"Папка\\данные.bin", binary)
        .AddFile(L"empty.txt", std::string())
        .AddFile(L"deep\\er\\file.txt", "created without folder entries")
        .OmitEndBlock();
    TTempFolder temp;
    TRun run = ExtractAll(writer.Bytes(), temp.dest());

    ASSERT_EQ(0u, run.openResult);
    EXPECT_EQ(ERAR_END_ARCHIVE, run.endCode);
    ASSERT_EQ(4u, run.entries.size());
    for (const TEntry &entry : run.entries)
        EXPECT_EQ(0, entry.processCode) << entry.name;
    EXPECT_EQ(binary, ExtractedFile(temp.dest(), L"Папка\\данные.bin"));
    bool found = false;
    EXPECT_EQ("", ExtractedFile(temp.dest(), L"empty.txt", &found));
    EXPECT_TRUE(found);
    EXPECT_EQ("created without folder entries", ExtractedFile(temp.dest(), L"deep\\er\\file.txt"));
}

TEST(Rar4Writer, BrokenHeaderChecksumEndsHeaderReadingWithBadData)
{
    TRar4Writer writer;
    writer.AddFile(L"first.txt", "one").AddFile(L"second.txt", "two", TRar4Writer::dmHeaderCrc);
    TTempFolder temp;
    TRun run = ExtractAll(writer.Bytes(), temp.dest());

    ASSERT_EQ(0u, run.openResult);
    EXPECT_EQ(ERAR_BAD_DATA, run.endCode);
    ASSERT_FALSE(run.entries.empty());
    EXPECT_EQ(L"first.txt", run.entries[0].name);
    EXPECT_EQ("one", ExtractedFile(temp.dest(), L"first.txt"));
}

TEST(Rar4Writer, WrongDataCrcFailsThatEntryOnly)
{
    TRar4Writer writer;
    writer.AddFile(L"bad.txt", "damaged contents", TRar4Writer::dmDataCrc).AddFile(L"good.txt", "fine");
    TTempFolder temp;
    TRun run = ExtractAll(writer.Bytes(), temp.dest());

    ASSERT_EQ(0u, run.openResult);
    ASSERT_EQ(2u, run.entries.size());
    EXPECT_EQ(ERAR_BAD_DATA, run.entries[0].processCode);
    EXPECT_EQ(0, run.entries[1].processCode);
    EXPECT_EQ("fine", ExtractedFile(temp.dest(), L"good.txt"));
}

TEST(Rar4Writer, SkippingBeyondTheEndOfTheStreamFailsAndReadsNothingAfter)
{
    // The entry's data are the headers of another archive: a skip that
    // left the stream where it was would list them as entries.
    std::string ghost = TRar4Writer().AddFile(L"ghost.txt", "boo").Bytes();
    TRar4Writer writer;
    writer.AddFile(L"outer.bin", ghost.substr(7 + 13), TRar4Writer::dmHugeSize);
    TRun run = ExtractAll(writer.Bytes(), std::wstring());

    ASSERT_EQ(0u, run.openResult);
    ASSERT_EQ(1u, run.entries.size());
    EXPECT_EQ(L"outer.bin", run.entries[0].name);
    EXPECT_EQ(ERAR_EREAD, run.entries[0].processCode);
}

TEST(Rar4Writer, EscapingNamesStayInsideTheDestination)
{
    const std::wstring names[] = {L"..\\escaped.txt", L"sub\\..\\..\\escaped2.txt", L"\\rooted.txt"};
    TRar4Writer writer;
    for (const std::wstring &name : names)
        writer.AddFile(name, "payload");
    TTempFolder temp;
    TRun run = ExtractAll(writer.Bytes(), temp.dest());

    ASSERT_EQ(0u, run.openResult);
    ASSERT_EQ(3u, run.entries.size());
    EXPECT_EQ(names[0], run.entries[0].name);
    bool found = false;
    ExtractedFile(temp.outer(), L"escaped.txt", &found);
    EXPECT_FALSE(found);
    ExtractedFile(temp.outer(), L"escaped2.txt", &found);
    EXPECT_FALSE(found);
}

} // namespace

