// Byte streams: one abstract interface (TVxStream) and three concrete streams over a
// Windows file, a caller's fixed memory block and an in-memory std::string.
//
// Error convention: streams never throw on input or output failures. A failed
// operation answers 0xFFFFFFFF (32-bit count, size or position), 0xFFFFFFFFFFFFFFFF
// (64-bit size or position) or false, sets bits in the state word and hands an error
// record to the optional handler of TVxErrorHandlingClass. The only throwers are
// TVxFileStream::OpenOrThrow (a Mirelta::TVxMessage 31025-31028 naming the file), the
// fixed-memory stream's constructor on a bad mode (std::logic_error with an "@" text)
// and allocation failures.
//
// Note for subclasses: overriding Write(const void*, unsigned) hides the std::string
// overload; add `using TVxStream::Write;` to keep it visible.
#pragma once

#include <string>

#include "foundation/WinHandle.h"

// Error record handed to an installed handler; valid only during the call.
struct TVxStreamError {
    unsigned code;        // one of the TVxStreamErrorCode values
    unsigned systemError; // GetLastError right after the failed Windows call, or 0
    unsigned reserved;    // always 0
};

enum TVxStreamErrorCode : unsigned {
    vxseNotOpen = 1,       // no file or source; or a read beyond the end of a string stream
    vxseZlibInit = 2,      // compressor set-up failed, or the decompressor failed or ran dry
    vxseOpenFile = 3,      // opening the file failed; gzip: CRC-32 mismatch
    vxseDataError = 4,     // compressed data damaged
    vxseReadFile = 5,      // ReadFile failed
    vxseWriteFile = 6,     // WriteFile failed (also: a string stream write that cannot fit)
    vxseGetFileSize = 7,   // GetFileSize failed
    vxseSetFilePointer = 8, // SetFilePointer failed
    vxseSetEndOfFile = 9,  // SetEndOfFile failed
};

// Virtual base of every stream: passes error records to an optional handler.
// Nothing is installed by default; the handler's result is ignored.
class TVxErrorHandlingClass {
public:
    typedef int (*THandler)(void *context, TVxStreamError *error, TVxErrorHandlingClass *object);

    TVxErrorHandlingClass() noexcept : handler_(nullptr), context_(nullptr) {}
    virtual ~TVxErrorHandlingClass() = default;

    void setErrorHandler(THandler handler, void *context) noexcept
    {
        handler_ = handler;
        context_ = context;
    }
    THandler getErrorHandler() const noexcept { return handler_; }
    void *getErrorContext() const noexcept { return context_; }

    // Builds a record {code, systemError, 0} and hands it to the handler, if any.
    void ReportError(unsigned code, unsigned systemError = 0);

private:
    THandler handler_;
    void *context_;
};

class TVxStream : public virtual TVxErrorHandlingClass {
public:
    static constexpr unsigned ErrorValue = 0xFFFFFFFFu;
    static constexpr unsigned long long ErrorValue64 = 0xFFFFFFFFFFFFFFFFull;

    // Bits of the state word.
    static constexpr unsigned stReadError = 1;  // a read failed or came back short (end reached)
    static constexpr unsigned stWriteError = 2; // a write failed
    static constexpr unsigned stShortWrite = 4; // a write came back short (always with stWriteError)
    // Bits of the error-mode word.
    static constexpr unsigned emStopReadOnError = 1;  // Read returns 0 while stReadError is set
    static constexpr unsigned emStopWriteOnError = 2; // Write returns 0 while stWriteError is set

    TVxStream();
    explicit TVxStream(const std::string &name);
    virtual ~TVxStream();

    virtual unsigned Read(void *buffer, unsigned count) = 0;
    virtual unsigned Write(const void *data, unsigned count) = 0;
    virtual unsigned Write(const std::string &text);
    virtual unsigned getSize() = 0;
    virtual bool setSize(unsigned size) = 0;
    virtual unsigned long long getSize64();
    virtual bool setSize64(unsigned long long size);
    virtual unsigned getPosition() = 0;
    virtual bool setPosition(unsigned position) = 0;
    virtual unsigned long long getPosition64();
    virtual bool setPosition64(unsigned long long position);
    virtual bool isEof();
    // Reads one line of at most size - 1 bytes into buffer, NUL-terminated; CR, LF
    // and CR LF end a line and are consumed. Returns the line's length (0 on failure).
    virtual unsigned ReadLine(char *buffer, unsigned size);
    virtual bool QueryTrue();
    virtual bool isOpen() = 0;
    virtual void setState(unsigned state);
    virtual unsigned getState();
    virtual void setErrorMode(unsigned mode);
    virtual unsigned getErrorMode();

    std::string getName() const { return name_; }
    void setName(const std::string &name) { name_ = name; }

protected:
    void addState(unsigned bits) { state_ |= bits; }
    // True when the error mode asks a read (write) to stop because of an earlier error.
    bool isReadBlocked() const { return (errorMode_ & emStopReadOnError) && (state_ & stReadError); }
    bool isWriteBlocked() const { return (errorMode_ & emStopWriteOnError) && (state_ & stWriteError); }

private:
    unsigned state_;
    unsigned errorMode_;
    std::string name_;
};

// The Windows-file part of TVxFileStream: the handle and the raw file operations.
// Each operation fills `error` with {code, GetLastError, 0} on failure and leaves
// it zeroed on success; the stream part turns that into state bits and records.
class TVxFileStreamHandle {
public:
    TVxFileStreamHandle() = default;
    virtual ~TVxFileStreamHandle();

    virtual unsigned hRead(void *buffer, unsigned count, TVxStreamError &error);
    virtual unsigned hWrite(const void *data, unsigned count, TVxStreamError &error);
    virtual unsigned hSize(TVxStreamError &error);
    virtual unsigned long long hSize64(TVxStreamError &error);
    virtual bool hSetSize(unsigned size, TVxStreamError &error);
    virtual bool hSetSize64(unsigned long long size, TVxStreamError &error);
    virtual unsigned hGetPosition(TVxStreamError &error);
    virtual unsigned long long hGetPosition64(TVxStreamError &error);
    virtual bool hSetPosition(unsigned position, TVxStreamError &error);
    virtual bool hSetPosition64(unsigned long long position, TVxStreamError &error);
    virtual bool hValid() const;

    // Name of the file opened last (set by a successful open).
    const std::string &getFileName() const { return fileName_; }

protected:
    Mirelta::TWinHandle handle_;
    std::string fileName_;
};

class TVxFileStream : public TVxFileStreamHandle, public virtual TVxStream {
public:
    typedef TVxFileStreamHandle THandle;

    // Open modes.
    enum : signed char {
        omRead = 0,         // read an existing file
        omReadWrite = 1,    // read and write, created when missing
        omWrite = 2,        // as omReadWrite; its open failure is reported as a write open
        omCreate = 3,       // create or truncate
        omCreateNew = 4,    // create; fails when the file exists
        omOpenExisting = 5, // read and write an existing file
    };
    // Share argument that selects the mode's default share.
    static constexpr unsigned DefaultShare = 0xFFFFFFFFu;

    TVxFileStream();
    // Opens at once; never throws: test isOpen.
    TVxFileStream(const std::string &name, signed char mode, unsigned share = DefaultShare);
    ~TVxFileStream() override;

    bool Open(const std::string &name, signed char mode, unsigned share = DefaultShare);
    void OpenOrThrow(const std::string &name, signed char mode, unsigned share = DefaultShare);
    void Close();

    using TVxStream::Write;
    unsigned Read(void *buffer, unsigned count) override;
    unsigned Write(const void *data, unsigned count) override;
    unsigned getSize() override;
    bool setSize(unsigned size) override;
    unsigned long long getSize64() override;
    bool setSize64(unsigned long long size) override;
    unsigned getPosition() override;
    bool setPosition(unsigned position) override;
    unsigned long long getPosition64() override;
    bool setPosition64(unsigned long long position) override;
    bool isOpen() override;

private:
    // Reports error if it holds a code; returns whether it did.
    bool Report(const TVxStreamError &error);
};

// A stream over a caller's memory block of fixed size; the block must outlive it.
class TVxFixedMemStream : public virtual TVxStream {
public:
    enum : unsigned char { omRead = 0, omWrite = 1, omReadWrite = 2 };

    // Throws std::logic_error "@TVxFixedMemStream: OpenMode not supported" for a mode
    // other than 0, 1 or 2.
    TVxFixedMemStream(void *block, unsigned size, unsigned char mode, const std::string &name = std::string());
    ~TVxFixedMemStream() override;

    using TVxStream::Write;
    unsigned Read(void *buffer, unsigned count) override;
    unsigned Write(const void *data, unsigned count) override;
    unsigned getSize() override;
    bool setSize(unsigned size) override;
    unsigned getPosition() override;
    bool setPosition(unsigned position) override;
    bool isOpen() override;

private:
    unsigned char *block_;
    unsigned size_;
    unsigned char mode_;
    unsigned position_;
};

// A stream over an owned std::string that grows as it is written; the position may
// lie beyond the end (a write there pads with NUL bytes). A read or write of no
// bytes changes nothing, there too: no padding, no state bit.
class TVxStringStream : public virtual TVxStream {
public:
    TVxStringStream();
    ~TVxStringStream() override;

    // The text written so far (read it once writing is done).
    const std::string &getText() const { return text_; }
    std::string &text() { return text_; }
    // Replaces the text and moves the position to its start.
    void setText(const std::string &text);

    using TVxStream::Write;
    unsigned Read(void *buffer, unsigned count) override;
    unsigned Write(const void *data, unsigned count) override;
    unsigned getSize() override;
    bool setSize(unsigned size) override;
    unsigned getPosition() override;
    bool setPosition(unsigned position) override;
    bool isOpen() override;

private:
    std::string text_;
    unsigned position_;
};
