// A growable buffer of UTF-16 units for texts of any length. It never shrinks:
// resizing to a count it already holds changes nothing.
#pragma once

#include "foundation/class_no_copy.h"

class vxwcharbuffer : private Mirelta::class_no_copy {
public:
    // Room for count units (content not initialised); no storage when count is 0.
    explicit vxwcharbuffer(unsigned count = 0);
    ~vxwcharbuffer();

    // Makes room for count units. With keep, the old units are kept and the new
    // ones zeroed; without, the content is undefined. grew, when given, tells
    // whether new storage was taken. A failed allocation throws std::bad_alloc and
    // leaves the buffer as it was.
    void resize(unsigned count, bool keep, bool *grew = nullptr);

    wchar_t *data() const noexcept { return data_; }
    unsigned capacity() const noexcept { return capacity_; }

private:
    unsigned capacity_;
    wchar_t *data_;
};
