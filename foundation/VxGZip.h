// Gzip filters over any TVxStream: TVxGZipReader inflates gzip members read
// from a source stream, TVxGZipWriter deflates what is written to it into one
// gzip member on a target stream. Both are streams themselves, so filters stack.
//
// zlib does raw deflate only; the member framing (header, CRC-32, length, and
// members that follow one another) is done here. All input and output goes
// through a 16 KiB buffer. Neither filter owns the stream below it: the caller
// keeps that stream alive while the filter is open and closes it itself.
//
// A Read or Write of no bytes (the buffer may then be null) changes nothing.
// Failures never throw: Open answers false, Read/Write answer 0xFFFFFFFF (or 0
// when refused by the error mode), and the state word carries the read/write
// error bits, including those passed up from the stream below. Operations a
// filter cannot do (seeking, resizing, the wrong direction) throw
// std::logic_error with an "@" text.
#pragma once

#include <memory>
#include <string>

#include "foundation/VxStream.h"

// Data of a member header.
struct TVxGZipFileInfo {
    bool set = false;           // the other fields hold a header's data
    unsigned modificationTime = 0; // MTIME: seconds since 1970-01-01 UTC, 0 = none
    std::string fileName;       // FNAME, without its terminating zero
    std::string comment;        // FCOMMENT, without its terminating zero
};

class TVxGZipReader : public virtual TVxStream {
public:
    struct TGZ;

    TVxGZipReader();
    ~TVxGZipReader() override;
    TVxGZipReader(const TVxGZipReader &) = delete;
    TVxGZipReader &operator=(const TVxGZipReader &) = delete;

    // Starts reading a gzip stream at the source's current position; info, when
    // given, receives the first member's header. An open reader is closed first.
    // The source's size must end at the gzip data: its last 4 bytes give getSize.
    bool Open(TVxStream *source, TVxGZipFileInfo *info);
    // Ends inflation and lets go of the source (which stays open).
    void Close();

    using TVxStream::Write;
    // Delivers uncompressed bytes across any number of members. A short count
    // means the data ended (the read-error bit is then set); 0xFFFFFFFF means
    // damaged or cut-off data, and no byte follows it.
    unsigned Read(void *buffer, unsigned count) override;
    unsigned Write(const void *data, unsigned count) override;   // throws
    // The uncompressed size announced by the last 4 bytes of the source.
    unsigned getSize() override;
    bool setSize(unsigned size) override;                       // throws
    // Uncompressed bytes delivered since Open.
    unsigned getPosition() override;
    bool setPosition(unsigned position) override;               // throws
    bool isOpen() override;

private:
    // Tops the input buffer up to at least reserveMin bytes, reading at most
    // want more; sourceLeft, when known, saves asking the source again.
    bool FillInBuffer(unsigned reserveMin, unsigned want, unsigned sourceLeft = 0xFFFFFFFFu);
    int GetByte();
    unsigned GetLong();
    bool Skip(unsigned n);
    std::string ReadString();
    bool CheckHeader(TVxGZipFileInfo *info);
    unsigned SourceLeft();
    void ResetState();
    bool OpenInternal(TVxStream *source, TVxGZipFileInfo *info);

    std::unique_ptr<TGZ> gz_;
    TVxStream *source_;
};

class TVxGZipWriter : public virtual TVxStream {
public:
    struct TGZ;

    TVxGZipWriter();
    // Closes, so a writer that goes out of scope completes its member.
    ~TVxGZipWriter() override;
    TVxGZipWriter(const TVxGZipWriter &) = delete;
    TVxGZipWriter &operator=(const TVxGZipWriter &) = delete;

    // Writes a member header at the target's current position and prepares
    // compression at level (-1 default, 0 to 9). The info's time, name and
    // comment are used when it is set. An open writer is closed first.
    bool Open(TVxStream *target, const TVxGZipFileInfo &info, int level);
    bool Open(TVxStream *target, int level);
    // Finishes the member (the rest of the compressed data, CRC-32 and length)
    // and lets go of the target (which stays open). Answers whether all of it
    // reached the target; true on a writer that is not open.
    bool Close();

    using TVxStream::Write;
    unsigned Read(void *buffer, unsigned count) override;       // throws
    unsigned Write(const void *data, unsigned count) override;
    // Both answer the count of uncompressed bytes accepted since Open.
    unsigned getSize() override;
    bool setSize(unsigned size) override;                       // throws
    unsigned getPosition() override;
    bool setPosition(unsigned position) override;               // throws
    bool isOpen() override;

private:
    bool Flush(int mode);
    bool WriteOut(const void *data, unsigned count);
    void End();
    bool OpenInternal(TVxStream *target, const TVxGZipFileInfo &info, int level);

    std::unique_ptr<TGZ> gz_;
    TVxStream *target_;
};

// Reads 4 bytes and stores them, little-endian, in *value (when not null);
// false unless exactly 4 bytes arrived.
bool ReadLE32(TVxStream *stream, unsigned *value);
// Writes value as 4 little-endian bytes; true when all 4 were written.
bool WriteLE32(TVxStream *stream, unsigned value);

// The two bytes every gzip member starts with (1F 8B).
const unsigned char *GZipMagic();
unsigned GZipMagicLength();
