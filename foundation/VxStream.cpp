#include "foundation/StringIds.h"
#include "foundation/VxStream.h"

#include <cstring>
#include <stdexcept>

#include "foundation/VxMessage.h"
#include "foundation/VxText.h"

namespace {

// Arguments of CreateFileW for one open mode, and the message of a failed open.
struct TOpenModeInfo {
    DWORD access;
    DWORD defaultShare;
    DWORD disposition;
    unsigned message;
};

bool LookUpOpenMode(signed char mode, TOpenModeInfo &info)
{
    static const TOpenModeInfo table[] = {
        {GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING, IDS_FILE_OPEN_READ_ERROR},
        {GENERIC_READ | GENERIC_WRITE, 0, OPEN_ALWAYS, IDS_FILE_OPEN_ERROR},
        {GENERIC_READ | GENERIC_WRITE, 0, OPEN_ALWAYS, IDS_FILE_OPEN_WRITE_ERROR},
        {GENERIC_READ | GENERIC_WRITE, 0, CREATE_ALWAYS, IDS_FILE_CREATE_ERROR},
        {GENERIC_READ | GENERIC_WRITE, 0, CREATE_NEW, IDS_FILE_OPEN_ERROR},
        {GENERIC_READ | GENERIC_WRITE, 0, OPEN_EXISTING, IDS_FILE_OPEN_ERROR},
    };
    if (mode < 0 || mode >= static_cast<signed char>(sizeof table / sizeof table[0]))
        return false;
    info = table[static_cast<int>(mode)];
    return true;
}

unsigned OpenFailureMessage(signed char mode)
{
    TOpenModeInfo info;
    return LookUpOpenMode(mode, info) ? info.message : IDS_FILE_OPEN_ERROR;
}

void SetError(TVxStreamError &error, unsigned code, unsigned systemError)
{
    error.code = code;
    error.systemError = systemError;
    error.reserved = 0;
}

void ClearError(TVxStreamError &error)
{
    SetError(error, 0, 0);
}

} // namespace

// ---------------------------------------------------------------------------
// TVxErrorHandlingClass

void TVxErrorHandlingClass::ReportError(unsigned code, unsigned systemError)
{
    if (!handler_)
        return;
    TVxStreamError record = {code, systemError, 0};
    handler_(context_, &record, this);
}

// ---------------------------------------------------------------------------
// TVxStream

TVxStream::TVxStream() : state_(0), errorMode_(0) {}

TVxStream::TVxStream(const std::string &name) : state_(0), errorMode_(0), name_(name) {}

TVxStream::~TVxStream() = default;

unsigned TVxStream::Write(const std::string &text)
{
    return Write(text.data(), static_cast<unsigned>(text.size()));
}

unsigned long long TVxStream::getSize64()
{
    unsigned size = getSize();
    return size == ErrorValue ? ErrorValue64 : size;
}

bool TVxStream::setSize64(unsigned long long size)
{
    if (size >> 32)
        return false;
    return setSize(static_cast<unsigned>(size));
}

unsigned long long TVxStream::getPosition64()
{
    unsigned position = getPosition();
    return position == ErrorValue ? ErrorValue64 : position;
}

bool TVxStream::setPosition64(unsigned long long position)
{
    if (position >> 32)
        return false;
    return setPosition(static_cast<unsigned>(position));
}

bool TVxStream::isEof()
{
    return getPosition64() == getSize64();
}

unsigned TVxStream::ReadLine(char *buffer, unsigned size)
{
    if (size == 0)
        return 0;
    const unsigned long long start = getPosition64();
    const unsigned long long left = getSize64() - start;
    const unsigned n = left < size - 1 ? static_cast<unsigned>(left) : size - 1;
    if (Read(buffer, n) != n)
        return 0;

    unsigned length = 0;
    while (length < n && buffer[length] != '\r' && buffer[length] != '\n')
        ++length;
    unsigned consumed = length;
    if (length < n) {
        ++consumed;
        if (buffer[length] == '\r' && consumed < n && buffer[consumed] == '\n')
            ++consumed;
    }
    setPosition64(start + consumed);
    buffer[length] = '\0';
    return length;
}

bool TVxStream::QueryTrue()
{
    return true;
}

void TVxStream::setState(unsigned state)
{
    state_ = state;
}

unsigned TVxStream::getState()
{
    return state_;
}

void TVxStream::setErrorMode(unsigned mode)
{
    errorMode_ = mode;
}

unsigned TVxStream::getErrorMode()
{
    return errorMode_;
}

// ---------------------------------------------------------------------------
// TVxFileStreamHandle

TVxFileStreamHandle::~TVxFileStreamHandle() = default;

unsigned TVxFileStreamHandle::hRead(void *buffer, unsigned count, TVxStreamError &error)
{
    ClearError(error);
    if (!hValid()) {
        SetError(error, vxseNotOpen, 0);
        return TVxStream::ErrorValue;
    }
    DWORD done = 0;
    if (!ReadFile(handle_.Get(), buffer, count, &done, nullptr)) {
        SetError(error, vxseReadFile, GetLastError());
        return TVxStream::ErrorValue;
    }
    return done;
}

unsigned TVxFileStreamHandle::hWrite(const void *data, unsigned count, TVxStreamError &error)
{
    ClearError(error);
    if (!hValid()) {
        SetError(error, vxseNotOpen, 0);
        return TVxStream::ErrorValue;
    }
    DWORD done = 0;
    if (!WriteFile(handle_.Get(), data, count, &done, nullptr)) {
        SetError(error, vxseWriteFile, GetLastError());
        return TVxStream::ErrorValue;
    }
    return done;
}

unsigned TVxFileStreamHandle::hSize(TVxStreamError &error)
{
    ClearError(error);
    if (!hValid()) {
        SetError(error, vxseNotOpen, 0);
        return TVxStream::ErrorValue;
    }
    DWORD size = GetFileSize(handle_.Get(), nullptr);
    if (size == INVALID_FILE_SIZE) {
        SetError(error, vxseGetFileSize, GetLastError());
        return TVxStream::ErrorValue;
    }
    return size;
}

unsigned long long TVxFileStreamHandle::hSize64(TVxStreamError &error)
{
    ClearError(error);
    if (!hValid()) {
        SetError(error, vxseNotOpen, 0);
        return TVxStream::ErrorValue64;
    }
    DWORD high = 0;
    SetLastError(NO_ERROR);
    DWORD low = GetFileSize(handle_.Get(), &high);
    if (low == INVALID_FILE_SIZE) {
        DWORD code = GetLastError();
        if (code != NO_ERROR) {
            SetError(error, vxseGetFileSize, code);
            return TVxStream::ErrorValue64;
        }
    }
    return (static_cast<unsigned long long>(high) << 32) | low;
}

bool TVxFileStreamHandle::hSetSize(unsigned size, TVxStreamError &error)
{
    if (!hSetPosition(size, error))
        return false;
    if (!SetEndOfFile(handle_.Get())) {
        SetError(error, vxseSetEndOfFile, GetLastError());
        return false;
    }
    return true;
}

bool TVxFileStreamHandle::hSetSize64(unsigned long long size, TVxStreamError &error)
{
    if (!hSetPosition64(size, error))
        return false;
    if (!SetEndOfFile(handle_.Get())) {
        SetError(error, vxseSetEndOfFile, GetLastError());
        return false;
    }
    return true;
}

unsigned TVxFileStreamHandle::hGetPosition(TVxStreamError &error)
{
    ClearError(error);
    if (!hValid()) {
        SetError(error, vxseNotOpen, 0);
        return 0;
    }
    DWORD position = SetFilePointer(handle_.Get(), 0, nullptr, FILE_CURRENT);
    if (position == INVALID_SET_FILE_POINTER) {
        SetError(error, vxseSetFilePointer, GetLastError());
        return TVxStream::ErrorValue;
    }
    return position;
}

unsigned long long TVxFileStreamHandle::hGetPosition64(TVxStreamError &error)
{
    ClearError(error);
    if (!hValid()) {
        SetError(error, vxseNotOpen, 0);
        return 0;
    }
    LONG high = 0;
    SetLastError(NO_ERROR);
    DWORD low = SetFilePointer(handle_.Get(), 0, &high, FILE_CURRENT);
    if (low == INVALID_SET_FILE_POINTER) {
        DWORD code = GetLastError();
        if (code != NO_ERROR) {
            SetError(error, vxseSetFilePointer, code);
            return TVxStream::ErrorValue64;
        }
    }
    return (static_cast<unsigned long long>(static_cast<DWORD>(high)) << 32) | low;
}

bool TVxFileStreamHandle::hSetPosition(unsigned position, TVxStreamError &error)
{
    return hSetPosition64(position, error);
}

bool TVxFileStreamHandle::hSetPosition64(unsigned long long position, TVxStreamError &error)
{
    ClearError(error);
    if (!hValid()) {
        SetError(error, vxseNotOpen, 0);
        return false;
    }
    LONG high = static_cast<LONG>(static_cast<DWORD>(position >> 32));
    SetLastError(NO_ERROR);
    DWORD low = SetFilePointer(handle_.Get(), static_cast<LONG>(static_cast<DWORD>(position)), &high, FILE_BEGIN);
    if (low == INVALID_SET_FILE_POINTER) {
        DWORD code = GetLastError();
        if (code != NO_ERROR) {
            SetError(error, vxseSetFilePointer, code);
            return false;
        }
    }
    return true;
}

bool TVxFileStreamHandle::hValid() const
{
    return handle_.IsValid();
}

// ---------------------------------------------------------------------------
// TVxFileStream

TVxFileStream::TVxFileStream() = default;

TVxFileStream::TVxFileStream(const std::string &name, signed char mode, unsigned share)
{
    Open(name, mode, share);
}

TVxFileStream::~TVxFileStream()
{
    Close();
}

bool TVxFileStream::Open(const std::string &name, signed char mode, unsigned share)
{
    Close();
    setName(name);
    TOpenModeInfo info;
    if (!LookUpOpenMode(mode, info)) {
        ReportError(vxseOpenFile, 0);
        return false;
    }
    const DWORD shareMode = share == DefaultShare ? info.defaultShare : share;
    handle_.Set(CreateFileW(AnsiToWide(name).c_str(), info.access, shareMode, nullptr, info.disposition,
                            FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!handle_.IsValid()) {
        ReportError(vxseOpenFile, GetLastError());
        return false;
    }
    fileName_ = name;
    return true;
}

void TVxFileStream::OpenOrThrow(const std::string &name, signed char mode, unsigned share)
{
    if (!Open(name, mode, share))
        throw Mirelta::TVxMessage(OpenFailureMessage(mode)) << name;
}

void TVxFileStream::Close()
{
    handle_.Close();
}

bool TVxFileStream::Report(const TVxStreamError &error)
{
    if (error.code == 0)
        return false;
    ReportError(error.code, error.systemError);
    return true;
}

unsigned TVxFileStream::Read(void *buffer, unsigned count)
{
    if (isReadBlocked())
        return 0;
    TVxStreamError error;
    unsigned done = hRead(buffer, count, error);
    if (Report(error)) {
        addState(stReadError);
        return ErrorValue;
    }
    if (done < count)
        addState(stReadError);
    return done;
}

unsigned TVxFileStream::Write(const void *data, unsigned count)
{
    if (isWriteBlocked())
        return 0;
    TVxStreamError error;
    unsigned done = hWrite(data, count, error);
    if (Report(error)) {
        addState(stWriteError);
        return ErrorValue;
    }
    if (done < count)
        addState(stWriteError | stShortWrite);
    return done;
}

unsigned TVxFileStream::getSize()
{
    TVxStreamError error;
    unsigned size = hSize(error);
    Report(error);
    return size;
}

bool TVxFileStream::setSize(unsigned size)
{
    TVxStreamError error;
    bool done = hSetSize(size, error);
    Report(error);
    return done;
}

unsigned long long TVxFileStream::getSize64()
{
    TVxStreamError error;
    unsigned long long size = hSize64(error);
    Report(error);
    return size;
}

bool TVxFileStream::setSize64(unsigned long long size)
{
    TVxStreamError error;
    bool done = hSetSize64(size, error);
    Report(error);
    return done;
}

unsigned TVxFileStream::getPosition()
{
    TVxStreamError error;
    unsigned position = hGetPosition(error);
    Report(error);
    return position;
}

bool TVxFileStream::setPosition(unsigned position)
{
    TVxStreamError error;
    bool done = hSetPosition(position, error);
    Report(error);
    return done;
}

unsigned long long TVxFileStream::getPosition64()
{
    TVxStreamError error;
    unsigned long long position = hGetPosition64(error);
    Report(error);
    return position;
}

bool TVxFileStream::setPosition64(unsigned long long position)
{
    TVxStreamError error;
    bool done = hSetPosition64(position, error);
    Report(error);
    return done;
}

bool TVxFileStream::isOpen()
{
    return hValid();
}

// ---------------------------------------------------------------------------
// TVxFixedMemStream

TVxFixedMemStream::TVxFixedMemStream(void *block, unsigned size, unsigned char mode, const std::string &name)
    : TVxStream(name), block_(static_cast<unsigned char *>(block)), size_(size), mode_(mode), position_(0)
{
    if (mode != omRead && mode != omWrite && mode != omReadWrite)
        throw std::logic_error("@TVxFixedMemStream: OpenMode not supported");
}

TVxFixedMemStream::~TVxFixedMemStream() = default;

unsigned TVxFixedMemStream::Read(void *buffer, unsigned count)
{
    if (mode_ == omWrite) {
        addState(stReadError);
        return ErrorValue;
    }
    if (position_ > size_)
        position_ = size_;
    const unsigned n = count < size_ - position_ ? count : size_ - position_;
    if (n)
        std::memcpy(buffer, block_ + position_, n);
    position_ += n;
    return n;
}

unsigned TVxFixedMemStream::Write(const void *data, unsigned count)
{
    if (mode_ == omRead) {
        addState(stWriteError);
        return ErrorValue;
    }
    if (position_ > size_)
        position_ = size_;
    const unsigned n = count < size_ - position_ ? count : size_ - position_;
    if (n)
        std::memcpy(block_ + position_, data, n);
    position_ += n;
    return n;
}

unsigned TVxFixedMemStream::getSize()
{
    return size_;
}

bool TVxFixedMemStream::setSize(unsigned size)
{
    return size == size_;
}

unsigned TVxFixedMemStream::getPosition()
{
    return position_;
}

bool TVxFixedMemStream::setPosition(unsigned position)
{
    position_ = position > size_ ? size_ : position;
    return true;
}

bool TVxFixedMemStream::isOpen()
{
    return block_ != nullptr;
}

// ---------------------------------------------------------------------------
// TVxStringStream

TVxStringStream::TVxStringStream() : position_(0) {}

TVxStringStream::~TVxStringStream() = default;

void TVxStringStream::setText(const std::string &text)
{
    text_ = text;
    position_ = 0;
}

unsigned TVxStringStream::Read(void *buffer, unsigned count)
{
    // Asking for no bytes is no read: nothing is short and nothing fails.
    if (isReadBlocked() || count == 0)
        return 0;
    const size_t length = text_.size();
    if (position_ > length) {
        addState(stReadError);
        ReportError(vxseNotOpen, 0);
        return ErrorValue;
    }
    if (position_ == length) {
        addState(stReadError);
        return 0;
    }
    const size_t left = length - position_;
    const unsigned n = count < left ? count : static_cast<unsigned>(left);
    if (n)
        std::memcpy(buffer, text_.data() + position_, n);
    position_ += n;
    if (n < count)
        addState(stReadError);
    return n;
}

unsigned TVxStringStream::Write(const void *data, unsigned count)
{
    // Writing no bytes leaves the text as it is, even with the position beyond its end.
    if (isWriteBlocked() || count == 0)
        return 0;
    // The end is computed in 64 bits: position + count may not fit in 32, and a text
    // that large cannot be held; such a write fails instead of wrapping around.
    const unsigned long long end = static_cast<unsigned long long>(position_) + count;
    const unsigned long long limit = text_.max_size();
    if (end > ErrorValue || end > limit) {
        addState(stWriteError);
        ReportError(vxseWriteFile, 0);
        return ErrorValue;
    }
    if (text_.capacity() < end) {
        unsigned long long wanted = end + end / 2;
        text_.reserve(static_cast<size_t>(wanted < limit ? wanted : limit));
        if (text_.capacity() < end) {
            wanted = 2 * end;
            text_.reserve(static_cast<size_t>(wanted < limit ? wanted : limit));
        }
    }
    if (text_.size() < position_)
        text_.resize(position_, '\0');
    const size_t overlap = text_.size() - position_ < count ? text_.size() - position_ : count;
    const char *bytes = static_cast<const char *>(data);
    text_.replace(position_, overlap, bytes, count);
    position_ += count;
    return count;
}

unsigned TVxStringStream::getSize()
{
    return static_cast<unsigned>(text_.size());
}

bool TVxStringStream::setSize(unsigned size)
{
    if (size > text_.max_size())
        return false;
    text_.resize(size, '\0');
    position_ = size;
    return true;
}

unsigned TVxStringStream::getPosition()
{
    return position_;
}

bool TVxStringStream::setPosition(unsigned position)
{
    position_ = position;
    return true;
}

bool TVxStringStream::isOpen()
{
    return true;
}
