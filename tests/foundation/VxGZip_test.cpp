// Gzip filters: the member layout as written, round trips through the 16 KiB
// buffers, several members, damaged and cut-off data, optional header fields,
// refused headers, failing targets, and agreement with zlib's own gzip framing.
#include "foundation/VxGZip.h"

#include <functional>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>
#include <gtest/gtest.h>
#include <zlib.h>

namespace {

const unsigned kFail = 0xFFFFFFFFu;

struct TCodes {
    std::vector<unsigned> codes;
    static int Handle(void *context, TVxStreamError *error, TVxErrorHandlingClass *)
    {
        static_cast<TCodes *>(context)->codes.push_back(error->code);
        return 0;
    }
    void Attach(TVxStream &stream) { stream.setErrorHandler(&TCodes::Handle, this); }
    unsigned Last() const { return codes.empty() ? 0 : codes.back(); }
};

std::string Bytes(std::initializer_list<int> values)
{
    std::string s;
    for (int v : values)
        s += char(v);
    return s;
}

std::string RandomBytes(std::size_t size, unsigned seed)
{
    std::mt19937 gen(seed);
    std::string s(size, '\0');
    for (char &c : s)
        c = char(gen());
    return s;
}

std::string TextLike(std::size_t size, unsigned seed)
{
    static const char *const words[] = {"<s n=\"", "value", "\"/>\n", "install ", "folder ", "0123", "\t", "x-ini "};
    std::mt19937 gen(seed);
    std::string s;
    while (s.size() < size)
        s += words[gen() % 8];
    s.resize(size);
    return s;
}

// Compresses data in pieces of at most chunk bytes.
std::string Compress(const std::string &data, int level = -1, const TVxGZipFileInfo &info = TVxGZipFileInfo(),
                     std::size_t chunk = 7000)
{
    TVxStringStream target;
    TVxGZipWriter writer;
    EXPECT_TRUE(writer.Open(&target, info, level));
    for (std::size_t at = 0; at < data.size(); at += chunk) {
        const unsigned n = unsigned(std::min(chunk, data.size() - at));
        EXPECT_EQ(n, writer.Write(data.data() + at, n));
    }
    EXPECT_EQ(data.size(), writer.getSize());
    EXPECT_TRUE(writer.Close());
    return target.getText();
}

struct TReadResult {
    bool opened = false;
    std::string data;
    bool failed = false; // a Read answered 0xFFFFFFFF
    unsigned state = 0;
    std::vector<unsigned> codes;
};

// Reads everything in pieces of chunk bytes until a short or failed Read.
TReadResult Decompress(const std::string &gz, std::size_t chunk = 5000, TVxGZipFileInfo *info = nullptr)
{
    TReadResult result;
    TVxStringStream source;
    source.setText(gz);
    TVxGZipReader reader;
    TCodes codes;
    codes.Attach(reader);
    result.opened = reader.Open(&source, info);
    if (result.opened) {
        std::string piece(chunk, '\0');
        for (;;) {
            const unsigned n = reader.Read(&piece[0], unsigned(chunk));
            if (n == kFail) {
                result.failed = true;
                break;
            }
            result.data.append(piece, 0, n);
            if (n < chunk)
                break;
        }
        EXPECT_EQ(0u, reader.Read(&piece[0], 1)) << "nothing follows the end or a failure";
    }
    result.state = reader.getState();
    result.codes = codes.codes;
    return result;
}

// One gzip member made by zlib's own gzip framing, not by our writer; empty
// when zlib fails.
std::string ZlibGzip(const std::string &data, int level = -1)
{
    std::string member(compressBound(uLong(data.size())) + 64, '\0');
    z_stream s = {};
    if (deflateInit2(&s, level, Z_DEFLATED, 16 + MAX_WBITS, 9, Z_DEFAULT_STRATEGY) != Z_OK)
        return std::string();
    s.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(data.data()));
    s.avail_in = uInt(data.size());
    s.next_out = reinterpret_cast<Bytef *>(&member[0]);
    s.avail_out = uInt(member.size());
    const bool done = deflate(&s, Z_FINISH) == Z_STREAM_END;
    member.resize(s.total_out);
    deflateEnd(&s);
    return done ? member : std::string();
}

// The deflate data of a member written without name or comment.
std::string DeflateBody(const std::string &member)
{
    return member.substr(10);
}

TEST(GZipWriter, EmptyMemberIsTwentyBytes)
{
    const std::string gz = Compress("");
    EXPECT_EQ(Bytes({0x1F, 0x8B, 8, 0, 0, 0, 0, 0, 0, 11, 0x03, 0x00, 0, 0, 0, 0, 0, 0, 0, 0}), gz);
    const TReadResult back = Decompress(gz);
    EXPECT_TRUE(back.opened);
    EXPECT_FALSE(back.failed);
    EXPECT_EQ("", back.data);
}

TEST(GZipWriter, HeaderCarriesTimeNameAndCommentAndReaderReturnsThem)
{
    TVxGZipFileInfo info;
    info.set = true;
    info.modificationTime = 0x12345678;
    info.fileName = std::string("a.txt\0ignored", 13);
    info.comment = "note";
    const std::string gz = Compress("hello", -1, info);
    EXPECT_EQ(Bytes({0x1F, 0x8B, 8, 0x18, 0x78, 0x56, 0x34, 0x12, 0, 11}) + std::string("a.txt\0note\0", 11),
              gz.substr(0, 21));

    TVxGZipFileInfo got;
    const TReadResult back = Decompress(gz, 100, &got);
    EXPECT_EQ("hello", back.data);
    EXPECT_TRUE(got.set);
    EXPECT_EQ(0x12345678u, got.modificationTime);
    EXPECT_EQ("a.txt", got.fileName);
    EXPECT_EQ("note", got.comment);

    // An info that is not set writes neither time nor name.
    info.set = false;
    EXPECT_EQ(Bytes({0x1F, 0x8B, 8, 0, 0, 0, 0, 0, 0, 11}), Compress("x", -1, info).substr(0, 10));
}

TEST(GZipRoundTrip, DataOfEverySizeAndLevelComesBackWhole)
{
    struct TCase {
        std::size_t size;
        int level;
        bool random;
        std::size_t writeChunk, readChunk;
    };
    const TCase cases[] = {
        {1, -1, false, 1, 1},           {16383, 6, true, 16383, 16384}, {16384, 0, true, 16384, 1000},
        {16385, 9, true, 3, 16385},     {100000, -1, true, 7000, 4096}, {1 << 20, 1, false, 65536, 70001},
        {300000, 0, false, 300000, 300000}, {1 << 20, 9, true, 12345, 1 << 20},
    };
    for (const TCase &c : cases) {
        SCOPED_TRACE(testing::Message() << "size " << c.size << " level " << c.level);
        const std::string data = c.random ? RandomBytes(c.size, unsigned(c.size)) : TextLike(c.size, 7);
        const std::string gz = Compress(data, c.level, TVxGZipFileInfo(), c.writeChunk);
        const TReadResult back = Decompress(gz, c.readChunk);
        EXPECT_FALSE(back.failed);
        EXPECT_TRUE(back.codes.empty());
        EXPECT_TRUE(back.data == data);
    }
}

TEST(GZipRoundTrip, MemberMatchesZlibsOwnGzipFramingApartFromOsByte)
{
    const std::string data = TextLike(200000, 3) + RandomBytes(40000, 4);
    for (int level : {1, 6, 9}) {
        const std::string reference = ZlibGzip(data, level);
        ASSERT_FALSE(reference.empty());
        const std::string ours = Compress(data, level);
        EXPECT_EQ(reference.substr(0, 4), ours.substr(0, 4)) << "level " << level;
        EXPECT_EQ(reference.substr(10), ours.substr(10)) << "level " << level;
        EXPECT_EQ(char(11), ours[9]);
    }
}

TEST(GZipReader, TwoMembersReadAsOneAndSizeIsTheLastMembersLength)
{
    const std::string gz = Compress("first member, ") + Compress(TextLike(50000, 9));
    TVxStringStream source;
    source.setText(gz);
    TVxGZipReader reader;
    ASSERT_TRUE(reader.Open(&source, nullptr));
    EXPECT_EQ(50000u, reader.getSize());
    std::string all(60000, '\0');
    EXPECT_EQ(50014u, reader.Read(&all[0], 60000));
    all.resize(50014);
    EXPECT_EQ("first member, " + TextLike(50000, 9), all);
    EXPECT_EQ(50014u, reader.getPosition());
    EXPECT_TRUE(reader.getState() & TVxStream::stReadError) << "asked for more than there was";
}

TEST(GZipReader, ReadsOfNothingLeaveTheMemberCheckIntact)
{
    // zlib's own member, so that only the reader is on trial.
    const std::string data = TextLike(100000, 31);
    TVxStringStream source;
    source.setText(ZlibGzip(data));
    TVxGZipReader reader;
    TCodes codes;
    codes.Attach(reader);
    ASSERT_TRUE(reader.Open(&source, nullptr));
    std::string back(data.size() + 1, '\0');
    const unsigned rest = unsigned(data.size()) - 40000;
    EXPECT_EQ(0u, reader.Read(nullptr, 0));
    EXPECT_EQ(40000u, reader.Read(&back[0], 40000));
    EXPECT_EQ(0u, reader.Read(nullptr, 0));
    EXPECT_EQ(0u, reader.getState());
    // Asking for one byte more reaches the member's end and its CRC-32.
    EXPECT_EQ(rest, reader.Read(&back[40000], rest + 1));
    EXPECT_EQ(unsigned(TVxStream::stReadError), reader.getState()) << "only the short read";
    EXPECT_TRUE(codes.codes.empty());
    back.resize(data.size());
    EXPECT_TRUE(back == data);
}

TEST(GZipReader, DamagedDataFailsWithItsCode)
{
    const std::string data = TextLike(40000, 5);
    const std::string good = Compress(data);
    struct TCase {
        const char *what;
        std::string gz;
        unsigned code;
    };
    std::string badCrc = good;
    badCrc[badCrc.size() - 8] ^= 0x01;
    std::string badFollower = good + Bytes({0x1F, 0x8B, 7, 0, 0, 0, 0, 0, 0, 0});
    const TCase cases[] = {
        {"CRC-32 that does not match", badCrc, 3},
        {"cut inside the compressed data", good.substr(0, good.size() / 2), 2},
        {"trailing bytes that are not a member", good + "junk", 4},
        {"second member with a bad method", badFollower, 4},
    };
    for (const TCase &c : cases) {
        SCOPED_TRACE(c.what);
        const TReadResult back = Decompress(c.gz, 1000);
        EXPECT_TRUE(back.opened);
        EXPECT_TRUE(back.failed);
        EXPECT_TRUE(back.state & TVxStream::stReadError);
        EXPECT_EQ(std::vector<unsigned>{c.code}, back.codes);
    }
}

TEST(GZipReader, OptionalHeaderFieldsAreSkipped)
{
    const std::string body = DeflateBody(Compress("payload"));
    struct TCase {
        int flags;
        std::string fields;
    };
    const TCase cases[] = {
        {0x01, ""},                                                  // FTEXT only
        {0x02, "\xAB\xCD"},                                          // FHCRC, unchecked
        {0x04, Bytes({3, 0}) + "xyz"},                               // FEXTRA
        {0x04, Bytes({0, 1}) + std::string(256, 'e')},               // FEXTRA, length over 255
        {0x1E, Bytes({2, 0}) + "ab" + std::string("n\0c\0", 4) + "\x01\x02"}, // all of them
    };
    for (const TCase &c : cases) {
        SCOPED_TRACE(c.flags);
        const std::string gz = Bytes({0x1F, 0x8B, 8, c.flags, 0, 0, 0, 0, 0, 3}) + c.fields + body;
        const TReadResult back = Decompress(gz);
        EXPECT_FALSE(back.failed);
        EXPECT_EQ("payload", back.data);
    }
}

TEST(GZipReader, OpenRefusesWhatIsNoMember)
{
    const std::string body = DeflateBody(Compress("payload"));
    const std::string cases[] = {
        "",
        "\x1F",
        "PK\x03\x04 not gzip at all",
        Bytes({0x1F, 0x8B, 7, 0, 0, 0, 0, 0, 0, 3}) + body,    // method
        Bytes({0x1F, 0x8B, 8, 0x20, 0, 0, 0, 0, 0, 3}) + body, // reserved flag bits
        Bytes({0x1F, 0x8B, 8, 0x40, 0, 0, 0, 0, 0, 3}) + body,
        Bytes({0x1F, 0x8B, 8, 0x80, 0, 0, 0, 0, 0, 3}) + body,
        Bytes({0x1F, 0x8B, 8, 0x08, 0, 0, 0, 0, 0, 3}) + "name without end",
    };
    for (const std::string &gz : cases) {
        SCOPED_TRACE(gz.size());
        const TReadResult back = Decompress(gz);
        EXPECT_FALSE(back.opened);
        EXPECT_EQ(std::vector<unsigned>{4}, back.codes);
    }
}

TEST(GZipReader, TakesItsNameFromANamedSource)
{
    for (const char *name : {"data.x-ini", ""}) {
        TVxStringStream source;
        source.setText(Compress("x"));
        source.setName(name);
        TVxGZipReader reader;
        ASSERT_TRUE(reader.Open(&source, nullptr));
        EXPECT_EQ(*name ? std::string(name) + ":gzip" : "", reader.getName());
    }
}

TEST(GZipFilters, UnsupportedOperationsThrowAndClosedFiltersFail)
{
    TVxGZipReader reader;
    TVxGZipWriter writer;
    char buffer[4] = {};
    const std::pair<std::function<void()>, const char *> throwers[] = {
        {[&] { reader.setPosition(0); }, "@TVxGZipReader::setPosition() not implemented"},
        {[&] { reader.setSize(0); }, "@TVxGZipReader::setSize() not applicable"},
        {[&] { reader.Write(buffer, 1); }, "@TVxGZipReader::Write() not applicable"},
        {[&] { writer.setPosition(0); }, "@TVxGZipWriter::setPosition() not applicable"},
        {[&] { writer.setSize(0); }, "@TVxGZipWriter::setSize() not applicable"},
        {[&] { writer.Read(buffer, 1); }, "@TVxGZipWriter::Read() not applicable"},
    };
    for (const auto &t : throwers) {
        try {
            t.first();
            ADD_FAILURE() << "no throw: " << t.second;
        } catch (const std::logic_error &e) {
            EXPECT_STREQ(t.second, e.what());
        }
    }

    TCodes readerCodes, writerCodes;
    readerCodes.Attach(reader);
    writerCodes.Attach(writer);
    EXPECT_EQ(kFail, reader.Read(buffer, 1));
    EXPECT_EQ(kFail, reader.getSize());
    EXPECT_EQ(kFail, writer.Write(buffer, 1));
    EXPECT_EQ(kFail, writer.getPosition());
    EXPECT_EQ((std::vector<unsigned>{1, 1}), readerCodes.codes);
    EXPECT_EQ((std::vector<unsigned>{1, 1}), writerCodes.codes);
    EXPECT_FALSE(reader.Open(nullptr, nullptr));
    EXPECT_FALSE(writer.Open(nullptr, -1));
    EXPECT_TRUE(writer.Close()) << "nothing to finish";
}

TEST(GZipWriter, CloseReportsATargetThatCouldNotTakeTheMember)
{
    // Room for the header only: the compressed data and trailer do not fit.
    char block[12];
    TVxFixedMemStream small(block, sizeof(block), TVxFixedMemStream::omWrite);
    TVxGZipWriter writer;
    ASSERT_TRUE(writer.Open(&small, 6));
    EXPECT_EQ(5u, writer.Write("hello", 5));
    EXPECT_FALSE(writer.Close());
    EXPECT_TRUE(writer.getState() & TVxStream::stWriteError);

    // A target that fills up while data streams in: the write fails, and the
    // close that follows neither succeeds nor touches the caller's old buffer.
    std::vector<char> room(20000);
    TVxFixedMemStream target(room.data(), unsigned(room.size()), TVxFixedMemStream::omWrite);
    TVxGZipWriter big;
    ASSERT_TRUE(big.Open(&target, 0));
    {
        const std::string data = RandomBytes(100000, 1);
        EXPECT_EQ(0u, big.Write(data.data(), unsigned(data.size())));
    }
    EXPECT_EQ(TVxStream::stWriteError | TVxStream::stShortWrite, big.getState());
    EXPECT_FALSE(big.Close());
}

TEST(GZipWriter, StackedWritersGiveAMemberInsideAMember)
{
    const std::string data = TextLike(70000, 11);
    TVxStringStream target;
    {
        TVxGZipWriter outer, inner;
        ASSERT_TRUE(outer.Open(&target, 9));
        ASSERT_TRUE(inner.Open(&outer, 1));
        EXPECT_EQ(data.size(), inner.Write(data));
        EXPECT_TRUE(inner.Close());
    } // the outer one finishes in its destructor
    const TReadResult once = Decompress(target.getText());
    ASSERT_EQ(std::string(reinterpret_cast<const char *>(GZipMagic()), GZipMagicLength()), once.data.substr(0, 2));
    EXPECT_TRUE(Decompress(once.data).data == data);
}

// The file's whole content.
std::string FileBytes(const std::string &name)
{
    TVxFileStream file(name, TVxFileStream::omRead);
    std::string bytes(file.isOpen() ? file.getSize() : 0, '\0');
    if (!bytes.empty() && file.Read(&bytes[0], unsigned(bytes.size())) != bytes.size())
        bytes.clear();
    return bytes;
}

// Leaves gzip_host_check_empty_writes.gz in the working folder (the build
// tree) for the host's gzip -t (tests/foundation/VxGZip_host_check.sh).
TEST(GZipWriter, WritesOfNothingLeaveTheMemberCheckIntact)
{
    const std::string data = TextLike(50000, 41) + RandomBytes(20000, 42);
    const char *const name = "gzip_host_check_empty_writes.gz";
    {
        TVxFileStream file(name, TVxFileStream::omCreate);
        ASSERT_TRUE(file.isOpen());
        TVxGZipWriter writer;
        ASSERT_TRUE(writer.Open(&file, 6));
        EXPECT_EQ(0u, writer.Write(nullptr, 0));
        EXPECT_EQ(30000u, writer.Write(data.data(), 30000));
        EXPECT_EQ(0u, writer.Write(nullptr, 0));
        EXPECT_EQ(data.size() - 30000, writer.Write(data.data() + 30000, unsigned(data.size()) - 30000));
        EXPECT_EQ(0u, writer.Write(nullptr, 0));
        EXPECT_EQ(data.size(), writer.getSize());
        EXPECT_TRUE(writer.Close());
    }
    // The compressed data, CRC-32 and length are zlib's own for the same bytes.
    const std::string reference = ZlibGzip(data, 6);
    const std::string written = FileBytes(name);
    ASSERT_FALSE(reference.empty());
    ASSERT_GT(written.size(), 18u);
    EXPECT_EQ(reference.substr(reference.size() - 8), written.substr(written.size() - 8)) << "CRC-32, length";
    EXPECT_TRUE(reference.substr(10) == written.substr(10));
}

// Leaves gzip_host_check.gz in the working folder (the build tree) for the
// host's gzip -t (tests/foundation/VxGZip_host_check.sh).
TEST(GZipWriter, WritesAFileThatReadsBack)
{
    const std::string data = TextLike(300000, 21) + RandomBytes(30000, 22);
    TVxGZipFileInfo info;
    info.set = true;
    info.fileName = "check.txt";
    info.comment = "written by the test";
    info.modificationTime = 1700000000;
    {
        TVxFileStream file("gzip_host_check.gz", TVxFileStream::omCreate);
        ASSERT_TRUE(file.isOpen());
        TVxGZipWriter writer;
        ASSERT_TRUE(writer.Open(&file, info, 9));
        EXPECT_EQ(data.size(), writer.Write(data));
        EXPECT_TRUE(writer.Close());
    }
    TVxFileStream file("gzip_host_check.gz", TVxFileStream::omRead);
    TVxGZipReader reader;
    ASSERT_TRUE(reader.Open(&file, nullptr));
    EXPECT_EQ(data.size(), reader.getSize());
    std::string back(data.size(), '\0');
    EXPECT_EQ(data.size(), reader.Read(&back[0], unsigned(back.size())));
    EXPECT_TRUE(back == data);
}

} // namespace
