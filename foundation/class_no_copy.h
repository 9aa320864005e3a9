// Bases for objects that must be neither copied nor assigned. They have no
// fields and no operations of their own; deriving from class_no_copy makes the
// copy constructor and the copy assignment of the derived class unusable.
#pragma once

namespace Mirelta {

class class_no_copy_constructor {
protected:
    class_no_copy_constructor() = default;
    ~class_no_copy_constructor() = default;

private:
    class_no_copy_constructor(const class_no_copy_constructor &) = delete;
};

class class_no_copy_equ {
protected:
    class_no_copy_equ() = default;
    ~class_no_copy_equ() = default;

private:
    class_no_copy_equ &operator=(const class_no_copy_equ &) = delete;
};

class class_no_copy : public class_no_copy_constructor, public class_no_copy_equ {
protected:
    class_no_copy() = default;
    ~class_no_copy() = default;
};

} // namespace Mirelta
