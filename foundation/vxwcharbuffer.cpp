#include "foundation/vxwcharbuffer.h"

#include <algorithm>

vxwcharbuffer::vxwcharbuffer(unsigned count) : capacity_(0), data_(nullptr)
{
    if (count != 0)
        resize(count, false);
}

vxwcharbuffer::~vxwcharbuffer()
{
    delete[] data_;
}

void vxwcharbuffer::resize(unsigned count, bool keep, bool *grew)
{
    if (count <= capacity_) {
        if (grew)
            *grew = false;
        return;
    }
    // The new storage is taken before the old is let go, so that a failed
    // allocation leaves a valid buffer behind.
    wchar_t *fresh = new wchar_t[count];
    if (keep && capacity_ != 0) {
        std::copy(data_, data_ + capacity_, fresh);
        std::fill(fresh + capacity_, fresh + count, L'\0');
    }
    delete[] data_;
    data_ = fresh;
    capacity_ = count;
    if (grew)
        *grew = true;
}
