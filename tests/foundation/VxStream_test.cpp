// Byte streams: open modes and their messages, the failure convention, state and
// error-mode words, 64-bit sizes, and line reading over every kind of stream.
#include "foundation/VxStream.h"

#include <cstring>
#include <memory>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>
#include <windows.h>
#include <gtest/gtest.h>

#include "foundation/VxMessage.h"

namespace {

const unsigned kFail = 0xFFFFFFFFu;
const unsigned long long kFail64 = 0xFFFFFFFFFFFFFFFFull;

// Texts are compared as the program holds them: code page 1251 bytes.
std::string Cp1251(const wchar_t *text)
{
    char buffer[1024];
    int n = WideCharToMultiByte(1251, 0, text, -1, buffer, sizeof buffer, nullptr, nullptr);
    return std::string(buffer, n > 0 ? n - 1 : 0);
}

// Keeps every error record a stream reports.
std::vector<TVxStreamError> *Records(TVxStream &stream)
{
    static std::vector<TVxStreamError> records;
    records.clear();
    stream.setErrorHandler(
        [](void *context, TVxStreamError *error, TVxErrorHandlingClass *) {
            static_cast<std::vector<TVxStreamError> *>(context)->push_back(*error);
            return 0;
        },
        &records);
    return &records;
}

// A file name in a fresh folder under the temp folder; both go at the end.
class TTempFile {
public:
    explicit TTempFile(const std::string &content = std::string(), bool create = true)
    {
        char base[MAX_PATH];
        GetTempPathA(MAX_PATH, base);
        static unsigned counter = 0;
        folder_ = std::string(base) + "vxstream_" + std::to_string(++counter);
        CreateDirectoryA(folder_.c_str(), nullptr);
        name_ = folder_ + "\\file.bin";
        if (create) {
            HANDLE h = CreateFileA(name_.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
            DWORD done = 0;
            WriteFile(h, content.data(), static_cast<DWORD>(content.size()), &done, nullptr);
            CloseHandle(h);
        }
    }
    ~TTempFile()
    {
        DeleteFileA(name_.c_str());
        RemoveDirectoryA(folder_.c_str());
    }
    const std::string &Name() const { return name_; }
    std::string Content() const
    {
        TVxFileStream file(name_, TVxFileStream::omRead);
        std::string text(64, '\0');
        const unsigned n = file.Read(&text[0], 64);
        return file.isOpen() ? text.substr(0, n) : "<missing>";
    }

private:
    std::string folder_, name_;
};

TEST(VxFileStream, ClosedStreamFailsEveryOperationByTheConvention)
{
    TVxFileStream stream;
    auto records = Records(stream);
    char buffer[4];

    EXPECT_EQ(stream.Read(buffer, 4), kFail);
    EXPECT_EQ(stream.Write("ab", 2), kFail);
    EXPECT_EQ(stream.getState(), 3u);
    EXPECT_EQ(stream.getSize(), kFail);
    EXPECT_EQ(stream.getSize64(), kFail64);
    EXPECT_EQ(stream.getPosition(), 0u);
    EXPECT_EQ(stream.getPosition64(), 0u);
    EXPECT_FALSE(stream.setSize(1) || stream.setSize64(1) || stream.setPosition(1) || stream.setPosition64(1));
    EXPECT_FALSE(stream.isEof());
    ASSERT_FALSE(records->empty());
    for (const TVxStreamError &record : *records)
        EXPECT_TRUE(record.code == 1 && record.systemError == 0 && record.reserved == 0);
}

TEST(VxFileStream, FailedOpenReportsCode3AndStillNamesTheStream)
{
    TTempFile file("", false);
    TVxFileStream stream;
    auto records = Records(stream);
    EXPECT_FALSE(stream.Open(file.Name(), TVxFileStream::omRead));
    EXPECT_EQ(stream.getName(), file.Name());
    ASSERT_EQ(records->size(), 1u);
    EXPECT_EQ((*records)[0].code, 3u);
    EXPECT_EQ((*records)[0].systemError, static_cast<unsigned>(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(stream.getState(), 0u) << "open failures leave the state word alone";
}

TEST(VxFileStream, EachModeFailsWithItsOwnMessageNamingTheFile)
{
    struct TCase {
        signed char mode;
        bool exists;        // the file is there beforehand
        bool missingFolder; // the file's folder is not
        const wchar_t *text;
    } const cases[] = {
        {0, false, false, L"Ошибка открытия для чтения файла "},
        {1, false, true, L"Ошибка открытия файла "},
        {2, false, true, L"Ошибка открытия для записи файла "},
        {3, false, true, L"Ошибка создания для записи файла "},
        {4, true, false, L"Ошибка открытия файла "},
        {5, false, false, L"Ошибка открытия файла "},
        {6, true, false, L"Ошибка открытия файла "},
        {-1, true, false, L"Ошибка открытия файла "},
    };
    for (const TCase &c : cases) {
        TTempFile file("old", c.exists);
        const std::string name = c.missingFolder ? file.Name() + "\\sub" : file.Name();
        try {
            TVxFileStream().OpenOrThrow(name, c.mode);
            ADD_FAILURE() << "no message for mode " << int(c.mode);
        } catch (const Mirelta::TVxMessage &message) {
            EXPECT_EQ(message.Text(), Cp1251(c.text) + "\"" + name + "\"") << "mode " << int(c.mode);
        }
        if (c.exists) {
            EXPECT_EQ(file.Content(), "old");
        }
    }
}

TEST(VxFileStream, ModesCreateTruncateOrKeepAsTheirDispositionSays)
{
    TTempFile file("content");
    EXPECT_EQ(TVxFileStream(file.Name(), TVxFileStream::omReadWrite).getSize(), 7u);
    EXPECT_EQ(TVxFileStream(file.Name(), TVxFileStream::omOpenExisting).getSize(), 7u);
    EXPECT_EQ(TVxFileStream(file.Name(), TVxFileStream::omCreate).getSize(), 0u);
    for (signed char mode : {1, 2}) {
        TTempFile missing("", false);
        EXPECT_TRUE(TVxFileStream(missing.Name(), mode).isOpen()) << "mode " << int(mode) << " creates";
    }
}

TEST(VxFileStream, ShortReadSetsTheReadBitAndTheErrorModeThenStopsReads)
{
    TTempFile file("0123456789");
    TVxFileStream stream(file.Name(), TVxFileStream::omRead);
    char buffer[16];
    EXPECT_EQ(stream.Read(buffer, 6), 6u);
    EXPECT_EQ(stream.getState(), 0u);
    EXPECT_EQ(stream.Read(buffer, 6), 4u);
    EXPECT_EQ(stream.getState(), 1u);
    EXPECT_TRUE(stream.isEof());

    stream.setErrorMode(TVxStream::emStopReadOnError);
    ASSERT_TRUE(stream.setPosition(0));
    EXPECT_EQ(stream.Read(buffer, 4), 0u);
    EXPECT_EQ(stream.getPosition(), 0u) << "the file is not touched";
    stream.setState(0);
    EXPECT_EQ(stream.Read(buffer, 4), 4u);
}

TEST(VxFileStream, WriteOnAReadOnlyHandleFailsWithCode6AndTheSystemError)
{
    TTempFile file("abc");
    TVxFileStream stream(file.Name(), TVxFileStream::omRead);
    auto records = Records(stream);
    EXPECT_EQ(stream.Write(std::string("zz")), kFail);
    EXPECT_EQ(stream.getState(), 2u);
    ASSERT_EQ(records->size(), 1u);
    EXPECT_EQ((*records)[0].code, 6u);
    EXPECT_NE((*records)[0].systemError, 0u);

    stream.setErrorMode(TVxStream::emStopWriteOnError);
    EXPECT_EQ(stream.Write("zz", 2), 0u);
    EXPECT_EQ(records->size(), 1u) << "a blocked write does not reach the file";
}

TEST(VxFileStream, SetSizeLeavesThePositionAtTheNewEnd)
{
    TTempFile file;
    TVxFileStream stream(file.Name(), TVxFileStream::omCreate);
    EXPECT_EQ(stream.Write(std::string("hello world")), 11u);
    EXPECT_TRUE(stream.setSize(5));
    EXPECT_EQ(stream.getPosition(), 5u);
    EXPECT_TRUE(stream.setPosition(1));
    EXPECT_EQ(stream.Write("EL", 2), 2u);
    stream.Close();
    EXPECT_FALSE(stream.isOpen());
    EXPECT_EQ(file.Content(), "hELlo");
}

TEST(VxFileStream, SizesAndPositionsBeyond4GiBWorkIn64Bits)
{
    TTempFile file;
    TVxFileStream stream(file.Name(), TVxFileStream::omCreate);
    auto records = Records(stream);
    // A low word of all ones is a size, not a failure, in 64 bits.
    const unsigned long long size = 0x1FFFFFFFFull;
    if (!stream.setSize64(size))
        GTEST_SKIP() << "the file system refuses a sparse file of 8 GiB";
    EXPECT_EQ(stream.getSize64(), size);
    EXPECT_EQ(stream.getPosition64(), size);
    EXPECT_TRUE(records->empty());
    // The 32-bit size cannot tell that size from a failure.
    EXPECT_EQ(stream.getSize(), kFail);
    EXPECT_EQ(records->size(), 1u);

    const unsigned long long distant = 0x100000005ull;
    ASSERT_TRUE(stream.setPosition64(distant));
    EXPECT_EQ(stream.Write("Z", 1), 1u);
    ASSERT_TRUE(stream.setPosition64(distant));
    char c = 0;
    EXPECT_EQ(stream.Read(&c, 1), 1u);
    EXPECT_EQ(c, 'Z');
    EXPECT_TRUE(stream.setSize64(16));
}

TEST(VxFixedMemStream, ClampsReadsPositionsAndWritesToTheBlock)
{
    char block[11] = "0123456789";
    TVxFixedMemStream stream(block, 10, TVxFixedMemStream::omReadWrite);
    char buffer[8];
    EXPECT_TRUE(stream.setPosition(8));
    EXPECT_EQ(stream.Read(buffer, 5), 2u);
    EXPECT_TRUE(stream.setPosition(20));
    EXPECT_EQ(stream.getPosition(), 10u);
    EXPECT_TRUE(stream.setSize(10));
    EXPECT_FALSE(stream.setSize(11));
    EXPECT_FALSE(stream.setSize64(0x10000000Aull) || stream.setPosition64(0x100000000ull));
    EXPECT_TRUE(stream.setPosition(7));
    EXPECT_EQ(stream.Write("abcdef", 6), 3u);
    EXPECT_EQ(std::string(block), "0123456abc");
    EXPECT_EQ(stream.getState(), 0u) << "short reads and writes set no bit";
}

TEST(VxFixedMemStream, ModesRefuseTheOtherDirection)
{
    char block[4] = {'a', 'b', 'c', 'd'};
    char buffer[4];
    TVxFixedMemStream reader(block, 4, TVxFixedMemStream::omRead);
    EXPECT_EQ(reader.Write("x", 1), kFail);
    EXPECT_EQ(reader.getState(), 2u);
    EXPECT_EQ(block[0], 'a');
    TVxFixedMemStream writer(block, 4, TVxFixedMemStream::omWrite);
    EXPECT_EQ(writer.Read(buffer, 1), kFail);
    EXPECT_EQ(writer.getState(), 1u);
    EXPECT_FALSE(TVxFixedMemStream(nullptr, 0, 0).isOpen());
    try {
        TVxFixedMemStream bad(block, 4, 3);
        ADD_FAILURE();
    } catch (const std::logic_error &error) {
        EXPECT_STREQ(error.what(), "@TVxFixedMemStream: OpenMode not supported");
    }
}

TEST(VxStringStream, WritingBeyondTheEndPadsAndReadingThereFails)
{
    TVxStringStream stream;
    auto records = Records(stream);
    EXPECT_TRUE(stream.setPosition(5));
    EXPECT_EQ(stream.Write("ab", 2), 2u);
    EXPECT_EQ(stream.getText(), std::string("\0\0\0\0\0ab", 7));

    char buffer[4];
    EXPECT_EQ(stream.Read(buffer, 1), 0u) << "at the end";
    EXPECT_EQ(stream.getState(), 1u);
    EXPECT_TRUE(records->empty());
    stream.setPosition(8);
    EXPECT_EQ(stream.Read(buffer, 1), kFail) << "beyond the end";
    ASSERT_EQ(records->size(), 1u);
    EXPECT_EQ((*records)[0].code, 1u);
}

TEST(VxStringStream, WriteWhoseEndWrapsPast32BitsFailsWithoutWriting)
{
    TVxStringStream stream;
    auto records = Records(stream);
    stream.setText("keep");
    const char data[32] = {};
    ASSERT_TRUE(stream.setPosition(0xFFFFFFF0u));
    EXPECT_EQ(stream.Write(data, sizeof data), kFail);
    EXPECT_EQ(stream.getState(), 2u);
    EXPECT_EQ(records->size(), 1u);
    EXPECT_EQ(stream.getText(), "keep");
}

TEST(VxStream, CallsForNoBytesChangeNothing)
{
    TTempFile file("abc");
    TVxFileStream fileStream(file.Name(), TVxFileStream::omReadWrite);
    char block[3] = {'a', 'b', 'c'};
    TVxFixedMemStream memStream(block, 3, TVxFixedMemStream::omReadWrite);
    TVxStringStream stringStream;
    stringStream.setText("abc");
    const std::pair<const char *, TVxStream *> streams[] = {
        {"file", &fileStream}, {"memory", &memStream}, {"string", &stringStream}};
    for (const auto &named : streams) {
        TVxStream *const stream = named.second;
        auto records = Records(*stream);
        // At the start, at the end and beyond it (where the memory stream stops at its end).
        for (unsigned position : {0u, 3u, 5u}) {
            SCOPED_TRACE(testing::Message() << named.first << " stream, position " << position);
            ASSERT_TRUE(stream->setPosition(position));
            const unsigned at = stream->getPosition();
            EXPECT_EQ(stream->Read(nullptr, 0), 0u);
            EXPECT_EQ(stream->Write(nullptr, 0), 0u);
            EXPECT_EQ(stream->getPosition(), at);
            EXPECT_EQ(stream->getSize(), 3u);
            EXPECT_EQ(stream->getState(), 0u);
            EXPECT_TRUE(records->empty());
        }
    }
    fileStream.Close();
    EXPECT_EQ(file.Content(), "abc");
    EXPECT_EQ(stringStream.getText(), "abc");
}

TEST(VxStream, SixtyFourBitSizeOfAFailingSizeIsTheSixtyFourBitErrorValue)
{
    struct TFailingSize : TVxStringStream {
        unsigned getSize() override { return 0xFFFFFFFFu; }
    } stream;
    EXPECT_EQ(stream.getSize64(), kFail64);
}

// ReadLine over every stream kind.
enum class TKind { String, FixedMem, File };

class VxStreamReadLine : public testing::TestWithParam<TKind> {
protected:
    TVxStream &Make(const std::string &bytes)
    {
        bytes_ = bytes;
        if (GetParam() == TKind::String) {
            auto s = std::make_unique<TVxStringStream>();
            s->setText(bytes_);
            stream_ = std::move(s);
        } else if (GetParam() == TKind::FixedMem) {
            stream_ = std::make_unique<TVxFixedMemStream>(&bytes_[0], static_cast<unsigned>(bytes_.size()), 0);
        } else {
            file_ = std::make_unique<TTempFile>(bytes_);
            stream_ = std::make_unique<TVxFileStream>(file_->Name(), TVxFileStream::omRead);
        }
        return *stream_;
    }

private:
    std::string bytes_;
    std::unique_ptr<TTempFile> file_;
    std::unique_ptr<TVxStream> stream_;
};

TEST_P(VxStreamReadLine, CutsLongLinesAndKeepsASplitLfForTheNextCall)
{
    TVxStream &s = Make("a\r\nbcdefg\nhi\r\nj");
    char buffer[4];
    const struct {
        const char *line;
        unsigned position;
    } expected[] = {
        {"a", 3}, {"bcd", 6}, {"efg", 9}, {"", 10}, // the LF behind a full buffer: an empty line
        {"hi", 13}, {"", 14},                      // "hi\r" fills the buffer, the LF comes next
        {"j", 15},
    };
    for (const auto &e : expected) {
        EXPECT_EQ(s.ReadLine(buffer, sizeof buffer), std::strlen(e.line));
        EXPECT_STREQ(buffer, e.line);
        EXPECT_EQ(s.getPosition(), e.position);
    }
    EXPECT_TRUE(s.isEof());
    EXPECT_EQ(s.ReadLine(buffer, 0), 0u);
}

TEST_P(VxStreamReadLine, ReadsEveryLineThroughASmallBufferWithMixedTerminators)
{
    std::string text;
    std::vector<std::string> expected;
    const char *terminators[] = {"\r\n", "\n", "\r", "\n\r"};
    for (int i = 0; i < 40; ++i) {
        std::string line(static_cast<size_t>(1 + i % 6), static_cast<char>('a' + i % 26));
        text += line + terminators[i % 4];
        expected.push_back(line);
        if (i % 4 == 3) // "\n\r" ends the line and leaves an empty one behind it
            expected.push_back("");
    }
    TVxStream &s = Make(text);
    char buffer[16];
    std::vector<std::string> lines;
    while (!s.isEof() && lines.size() <= expected.size()) {
        s.ReadLine(buffer, sizeof buffer);
        lines.push_back(buffer);
    }
    EXPECT_EQ(lines, expected);
}

INSTANTIATE_TEST_SUITE_P(Kinds, VxStreamReadLine, testing::Values(TKind::String, TKind::FixedMem, TKind::File));

} // namespace
