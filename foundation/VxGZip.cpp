#include "foundation/VxGZip.h"

#include <cstring>
#include <stdexcept>

#include <zlib.h>

namespace {

const unsigned kBufSize = 16384; // Z_BUFSIZE: the size of both filters' buffers
const unsigned kNoLimit = 0xFFFFFFFFu;

const unsigned char kMagic[2] = {0x1F, 0x8B};

// Header flag bits.
const int kFlagHeaderCrc = 0x02;
const int kFlagExtra = 0x04;
const int kFlagName = 0x08;
const int kFlagComment = 0x10;
const int kFlagReserved = 0xE0;

const unsigned char kOsCode = 11;

unsigned EmptyCrc()
{
    return crc32(0L, Z_NULL, 0);
}

// The CRC-32 continued over count more bytes. zlib answers its start value for
// a null buffer, so a call for no bytes must not reach it.
unsigned ContinueCrc(unsigned crc, const void *data, unsigned count)
{
    if (count == 0)
        return crc;
    return crc32(crc, static_cast<const Bytef *>(data), count);
}

// The text up to its first zero byte.
std::string UpToZero(const std::string &text)
{
    return text.substr(0, text.find('\0'));
}

void PutLE32(unsigned char *p, unsigned value)
{
    p[0] = static_cast<unsigned char>(value);
    p[1] = static_cast<unsigned char>(value >> 8);
    p[2] = static_cast<unsigned char>(value >> 16);
    p[3] = static_cast<unsigned char>(value >> 24);
}

// State bits of a writer whose target took another count than asked.
unsigned FailedWriteBits(unsigned written)
{
    unsigned bits = TVxStream::stWriteError;
    if (written != TVxStream::ErrorValue)
        bits |= TVxStream::stShortWrite;
    return bits;
}

} // namespace

// ---------------------------------------------------------------------------
// Reader

struct TVxGZipReader::TGZ {
    z_stream strm;
    unsigned crc;       // CRC-32 of the current member's bytes delivered so far
    unsigned position;  // uncompressed bytes delivered since Open
    bool stop;          // end of the data or a failure: nothing more is delivered
    unsigned size;      // ISIZE of the source's last member
    bool inflating;     // inflateInit2 succeeded and inflateEnd is due
    Bytef inbuf[kBufSize];
};

TVxGZipReader::TVxGZipReader() : gz_(new TGZ), source_(nullptr)
{
    std::memset(&gz_->strm, 0, sizeof(gz_->strm));
    gz_->inflating = false;
    ResetState();
}

TVxGZipReader::~TVxGZipReader()
{
    Close();
}

void TVxGZipReader::ResetState()
{
    gz_->crc = EmptyCrc();
    gz_->position = 0;
    gz_->stop = false;
    gz_->size = 0;
    gz_->strm.next_in = gz_->inbuf;
    gz_->strm.avail_in = 0;
}

void TVxGZipReader::Close()
{
    if (gz_->inflating) {
        inflateEnd(&gz_->strm);
        gz_->inflating = false;
    }
    source_ = nullptr;
}

bool TVxGZipReader::Open(TVxStream *source, TVxGZipFileInfo *info)
{
    Close();
    if (!source)
        return false;
    try {
        return OpenInternal(source, info);
    } catch (...) {
        Close();
        throw;
    }
}

bool TVxGZipReader::OpenInternal(TVxStream *source, TVxGZipFileInfo *info)
{
    source_ = source;
    ResetState();
    std::memset(&gz_->strm, 0, sizeof(gz_->strm));
    gz_->strm.next_in = gz_->inbuf;
    if (inflateInit2(&gz_->strm, -MAX_WBITS) != Z_OK) {
        ReportError(vxseZlibInit);
        source_ = nullptr;
        return false;
    }
    gz_->inflating = true;

    if (!CheckHeader(info)) {
        Close();
        return false;
    }

    // The announced size sits in the source's last 4 bytes; the source's
    // position already lies behind what the buffer took in.
    const unsigned resume = source->getPosition();
    const unsigned size = source->getSize();
    bool ok = resume != ErrorValue && size != ErrorValue && size >= 4;
    ok = ok && source->setPosition(size - 4);
    ok = ok && ReadLE32(source, &gz_->size);
    ok = ok && source->setPosition(resume);
    if (!ok) {
        addState(source->getState() | stReadError);
        Close();
        return false;
    }

    if (info)
        info->set = true;
    const std::string sourceName = source->getName();
    if (!sourceName.empty())
        setName(sourceName + ":gzip");
    return true;
}

unsigned TVxGZipReader::SourceLeft()
{
    const unsigned size = source_->getSize();
    const unsigned position = source_->getPosition();
    if (size == ErrorValue || position == ErrorValue || position > size)
        return 0;
    return size - position;
}

bool TVxGZipReader::FillInBuffer(unsigned reserveMin, unsigned want, unsigned sourceLeft)
{
    z_stream &s = gz_->strm;
    unsigned have = s.avail_in;
    if (have >= reserveMin)
        return true;
    if (reserveMin > kBufSize)
        throw std::logic_error("TVxGZipReader::FillInBuffer() reserve_min > Z_BUFSIZE");

    if (have && s.next_in != gz_->inbuf)
        std::memmove(gz_->inbuf, s.next_in, have);
    s.next_in = gz_->inbuf;

    unsigned n = kBufSize - have;
    if (want != kNoLimit && want < n)
        n = want;
    const unsigned left = sourceLeft != kNoLimit ? sourceLeft : SourceLeft();
    if (left < n)
        n = left;
    if (n) {
        const unsigned got = source_->Read(gz_->inbuf + have, n);
        if (got == ErrorValue || source_->getState() != 0) {
            addState(source_->getState());
            gz_->stop = true;
            s.avail_in = have;
            return false;
        }
        have += got < n ? got : n;
    }
    s.avail_in = have;
    if (have < reserveMin) {
        gz_->stop = true;
        return false;
    }
    return true;
}

int TVxGZipReader::GetByte()
{
    if (!FillInBuffer(1, kNoLimit)) {
        addState(stReadError);
        return -1;
    }
    z_stream &s = gz_->strm;
    --s.avail_in;
    return *s.next_in++;
}

unsigned TVxGZipReader::GetLong()
{
    if (!FillInBuffer(4, kNoLimit)) {
        addState(stReadError);
        return 0;
    }
    z_stream &s = gz_->strm;
    const Bytef *p = s.next_in;
    const unsigned value = unsigned(p[0]) | (unsigned(p[1]) << 8) | (unsigned(p[2]) << 16) | (unsigned(p[3]) << 24);
    s.next_in += 4;
    s.avail_in -= 4;
    return value;
}

bool TVxGZipReader::Skip(unsigned n)
{
    for (unsigned i = 0; i < n; ++i)
        if (GetByte() < 0)
            return false;
    return true;
}

std::string TVxGZipReader::ReadString()
{
    std::string text;
    for (;;) {
        const int c = GetByte();
        if (c <= 0)
            return text;
        text += static_cast<char>(c);
    }
}

// Reads one member header. Every read failure sets the stop flag, which is
// what the steps below test; any failure is reported as a damaged header.
bool TVxGZipReader::CheckHeader(TVxGZipFileInfo *info)
{
    z_stream &s = gz_->strm;
    bool ok = FillInBuffer(2, 2) && s.next_in[0] == kMagic[0] && s.next_in[1] == kMagic[1];
    if (ok) {
        s.next_in += 2;
        s.avail_in -= 2;
        const int method = GetByte();
        const int flags = GetByte();
        ok = !gz_->stop && method == Z_DEFLATED && (flags & kFlagReserved) == 0;
        if (ok) {
            const unsigned mtime = GetLong();
            ok = !gz_->stop && Skip(2); // XFL, OS
            if (ok && info)
                info->modificationTime = mtime;
            if (ok && (flags & kFlagExtra)) {
                const int lo = GetByte();
                const int hi = GetByte();
                ok = !gz_->stop && Skip(unsigned(lo) + 256u * unsigned(hi));
            }
            if (ok && (flags & kFlagName)) {
                std::string name = ReadString();
                ok = !gz_->stop;
                if (ok && info)
                    info->fileName = name;
            }
            if (ok && (flags & kFlagComment)) {
                std::string comment = ReadString();
                ok = !gz_->stop;
                if (ok && info)
                    info->comment = comment;
            }
            if (ok && (flags & kFlagHeaderCrc))
                ok = Skip(2);
        }
    }
    if (!ok) {
        addState(stReadError);
        gz_->stop = true;
        ReportError(vxseDataError);
    }
    return ok;
}

unsigned TVxGZipReader::Read(void *buffer, unsigned count)
{
    if (isReadBlocked())
        return 0;
    if (!source_) {
        addState(stReadError);
        ReportError(vxseNotOpen);
        return ErrorValue;
    }
    if (gz_->stop) {
        if (count)
            addState(stReadError);
        return 0;
    }

    z_stream &s = gz_->strm;
    Bytef *const out = static_cast<Bytef *>(buffer);
    Bytef *crcFrom = out; // first byte not yet in the CRC-32
    s.next_out = out;
    s.avail_out = count;

    while (s.avail_out) {
        if (s.avail_in == 0) {
            const unsigned left = SourceLeft();
            if (left && !FillInBuffer(left < kBufSize ? left : kBufSize, kNoLimit, left)) {
                addState(stReadError);
                return ErrorValue;
            }
        }

        const unsigned room = s.avail_out;
        const int result = inflate(&s, Z_NO_FLUSH);
        gz_->position += room - s.avail_out;

        if (result == Z_STREAM_END) {
            gz_->crc = ContinueCrc(gz_->crc, crcFrom, unsigned(s.next_out - crcFrom));
            crcFrom = s.next_out;
            const unsigned storedCrc = GetLong();
            if (gz_->stop || storedCrc != gz_->crc) {
                addState(stReadError);
                gz_->stop = true;
                ReportError(vxseOpenFile); // the code for a CRC mismatch
                return ErrorValue;
            }
            GetLong(); // ISIZE: the CRC-32 already vouches for the data
            if (gz_->stop)
                return ErrorValue;

            if (s.avail_in || SourceLeft()) {
                // Another member follows; its bytes continue the data.
                if (!CheckHeader(nullptr))
                    return ErrorValue;
                inflateReset(&s);
                gz_->crc = EmptyCrc();
                continue;
            }
            gz_->stop = true;
            if (s.avail_out)
                addState(stReadError);
            return count - s.avail_out;
        }
        if (result != Z_OK) {
            addState(stReadError);
            gz_->stop = true;
            ReportError(vxseZlibInit);
            return ErrorValue;
        }
    }
    gz_->crc = ContinueCrc(gz_->crc, crcFrom, unsigned(s.next_out - crcFrom));
    return count;
}

unsigned TVxGZipReader::Write(const void *, unsigned)
{
    throw std::logic_error("@TVxGZipReader::Write() not applicable");
}

unsigned TVxGZipReader::getSize()
{
    if (!source_) {
        ReportError(vxseNotOpen);
        return ErrorValue;
    }
    return gz_->size;
}

bool TVxGZipReader::setSize(unsigned)
{
    throw std::logic_error("@TVxGZipReader::setSize() not applicable");
}

unsigned TVxGZipReader::getPosition()
{
    if (!source_) {
        ReportError(vxseNotOpen);
        return ErrorValue;
    }
    return gz_->position;
}

bool TVxGZipReader::setPosition(unsigned)
{
    throw std::logic_error("@TVxGZipReader::setPosition() not implemented");
}

bool TVxGZipReader::isOpen()
{
    return source_ && source_->isOpen();
}

// ---------------------------------------------------------------------------
// Writer

struct TVxGZipWriter::TGZ {
    z_stream strm;
    unsigned crc;   // CRC-32 of the bytes accepted
    unsigned count; // uncompressed bytes accepted since Open
    bool deflating; // deflateInit2 succeeded and deflateEnd is due
    Bytef outbuf[kBufSize];
};

TVxGZipWriter::TVxGZipWriter() : gz_(new TGZ), target_(nullptr)
{
    std::memset(&gz_->strm, 0, sizeof(gz_->strm));
    gz_->crc = EmptyCrc();
    gz_->count = 0;
    gz_->deflating = false;
}

TVxGZipWriter::~TVxGZipWriter()
{
    Close();
}

bool TVxGZipWriter::Open(TVxStream *target, int level)
{
    return Open(target, TVxGZipFileInfo(), level);
}

bool TVxGZipWriter::Open(TVxStream *target, const TVxGZipFileInfo &info, int level)
{
    Close();
    if (!target)
        return false;
    try {
        return OpenInternal(target, info, level);
    } catch (...) {
        End();
        throw;
    }
}

bool TVxGZipWriter::OpenInternal(TVxStream *target, const TVxGZipFileInfo &info, int level)
{
    target_ = target;
    std::memset(&gz_->strm, 0, sizeof(gz_->strm));
    gz_->crc = EmptyCrc();
    gz_->count = 0;
    if (deflateInit2(&gz_->strm, level, Z_DEFLATED, -MAX_WBITS, 9, Z_DEFAULT_STRATEGY) != Z_OK) {
        ReportError(vxseZlibInit);
        target_ = nullptr;
        return false;
    }
    gz_->deflating = true;
    gz_->strm.next_out = gz_->outbuf;
    gz_->strm.avail_out = kBufSize;

    unsigned mtime = 0;
    std::string name;
    std::string comment;
    if (info.set) {
        mtime = info.modificationTime;
        name = UpToZero(info.fileName);
        comment = UpToZero(info.comment);
    }
    unsigned char header[10] = {kMagic[0], kMagic[1], Z_DEFLATED, 0, 0, 0, 0, 0, 0, kOsCode};
    if (!name.empty())
        header[3] |= kFlagName;
    if (!comment.empty())
        header[3] |= kFlagComment;
    PutLE32(header + 4, mtime);

    bool ok = WriteOut(header, sizeof(header));
    if (ok && !name.empty())
        ok = WriteOut(name.c_str(), unsigned(name.size()) + 1);
    if (ok && !comment.empty())
        ok = WriteOut(comment.c_str(), unsigned(comment.size()) + 1);
    if (!ok) {
        End();
        return false;
    }
    return true;
}

// One Write of the target; a short write marks this writer as failed too.
bool TVxGZipWriter::WriteOut(const void *data, unsigned count)
{
    const unsigned written = target_->Write(data, count);
    if (written == count)
        return true;
    addState(target_->getState() | FailedWriteBits(written));
    return false;
}

void TVxGZipWriter::End()
{
    if (gz_->deflating) {
        deflateEnd(&gz_->strm);
        gz_->deflating = false;
    }
    target_ = nullptr;
    std::memset(&gz_->strm, 0, sizeof(gz_->strm));
    gz_->crc = EmptyCrc();
    gz_->count = 0;
}

unsigned TVxGZipWriter::Write(const void *data, unsigned count)
{
    if (isWriteBlocked())
        return 0;
    if (!target_) {
        addState(stWriteError);
        ReportError(vxseNotOpen);
        return ErrorValue;
    }

    z_stream &s = gz_->strm;
    s.next_in = static_cast<Bytef *>(const_cast<void *>(data));
    s.avail_in = count;
    while (s.avail_in) {
        if (s.avail_out == 0) {
            const unsigned written = target_->Write(gz_->outbuf, kBufSize);
            if (written != kBufSize) {
                addState(target_->getState() | FailedWriteBits(written));
                // zlib must not keep a pointer into the caller's buffer.
                s.avail_in = 0;
                return written == ErrorValue ? ErrorValue : 0;
            }
            s.next_out = gz_->outbuf;
            s.avail_out = kBufSize;
        }
        const unsigned before = s.avail_in;
        const int result = deflate(&s, Z_NO_FLUSH);
        gz_->count += before - s.avail_in;
        if (result != Z_OK) {
            addState(stWriteError);
            s.avail_in = 0;
            return ErrorValue;
        }
    }
    gz_->crc = ContinueCrc(gz_->crc, data, count);
    return count;
}

bool TVxGZipWriter::Flush(int mode)
{
    if (isWriteBlocked())
        return false;
    if (!target_) {
        addState(stWriteError);
        return false;
    }
    z_stream &s = gz_->strm;
    bool last = false;
    for (;;) {
        const unsigned pending = kBufSize - s.avail_out;
        if (pending) {
            if (!WriteOut(gz_->outbuf, pending))
                return false;
            s.next_out = gz_->outbuf;
            s.avail_out = kBufSize;
        }
        if (last)
            return true;
        int result = deflate(&s, mode);
        if (pending == 0 && result == Z_BUF_ERROR)
            result = Z_OK;
        last = s.avail_out != 0 || result == Z_STREAM_END;
        if (result != Z_OK && result != Z_STREAM_END) {
            addState(stWriteError);
            return false;
        }
    }
}

bool TVxGZipWriter::Close()
{
    if (!target_)
        return true;
    bool ok = false;
    try {
        ok = Flush(Z_FINISH);
        // The trailer goes out even after a failed flush, as far as the
        // target takes it; the answer still reports the failure.
        const bool crcOk = WriteLE32(target_, gz_->crc);
        const bool sizeOk = WriteLE32(target_, gz_->count);
        if (!crcOk || !sizeOk)
            addState(target_->getState() | stWriteError);
        ok = ok && crcOk && sizeOk;
    } catch (...) {
        ok = false;
    }
    End();
    return ok;
}

unsigned TVxGZipWriter::Read(void *, unsigned)
{
    throw std::logic_error("@TVxGZipWriter::Read() not applicable");
}

unsigned TVxGZipWriter::getSize()
{
    if (!target_) {
        ReportError(vxseNotOpen);
        return ErrorValue;
    }
    return gz_->count;
}

bool TVxGZipWriter::setSize(unsigned)
{
    throw std::logic_error("@TVxGZipWriter::setSize() not applicable");
}

unsigned TVxGZipWriter::getPosition()
{
    if (!target_) {
        ReportError(vxseNotOpen);
        return ErrorValue;
    }
    return gz_->count;
}

bool TVxGZipWriter::setPosition(unsigned)
{
    throw std::logic_error("@TVxGZipWriter::setPosition() not applicable");
}

bool TVxGZipWriter::isOpen()
{
    return target_ && target_->isOpen();
}

// ---------------------------------------------------------------------------
// Small functions

bool ReadLE32(TVxStream *stream, unsigned *value)
{
    unsigned char bytes[4];
    if (stream->Read(bytes, 4) != 4)
        return false;
    if (value)
        *value = unsigned(bytes[0]) | (unsigned(bytes[1]) << 8) | (unsigned(bytes[2]) << 16) |
                 (unsigned(bytes[3]) << 24);
    return true;
}

bool WriteLE32(TVxStream *stream, unsigned value)
{
    unsigned char bytes[4];
    PutLE32(bytes, value);
    return stream->Write(bytes, 4) == 4;
}

const unsigned char *GZipMagic()
{
    return kMagic;
}

unsigned GZipMagicLength()
{
    return sizeof(kMagic);
}
