// Sends the test program's calls of one system function to a stand-in for
// the guard's life: the entry of the program's import table through which its
// own code (and every library linked into it) calls the function is pointed
// at the replacement, and pointed back when the guard ends. Calls that system
// libraries make among themselves are not affected. For a failure that the
// system cannot be made to produce on demand.
//   const TImportHook hook("kernel32.dll", "WriteFile", reinterpret_cast<void *>(&EmptyWrite));
#pragma once

class TImportHook {
public:
    TImportHook(const char *library, const char *function, void *replacement);
    ~TImportHook();
    TImportHook(const TImportHook &) = delete;
    TImportHook &operator=(const TImportHook &) = delete;

    // Whether the program imports the function and its entry was replaced.
    bool IsSet() const { return entry_ != nullptr; }
    // The function the entry held before (null when not set).
    void *Original() const { return original_; }

private:
    void **entry_ = nullptr;
    void *original_ = nullptr;
};
