// AnsiString: the class layer's text type, a std::string in the ANSI code page
// with the few members the forms and pages use (Length, IsEmpty, c_str...).
// It converts freely to and from std::string; wide text is made only at the
// Win32 call, through the foundation's AnsiToWide / WideToAnsi.
#pragma once

#include <string>

namespace ClassLib {

class AnsiString : public std::string {
public:
    AnsiString() = default;
    AnsiString(const char *text) : std::string(text ? text : "") {}
    AnsiString(const char *text, size_type length) : std::string(text, length) {}
    AnsiString(const std::string &text) : std::string(text) {}
    AnsiString(std::string &&text) noexcept : std::string(std::move(text)) {}
    explicit AnsiString(int value) : std::string(std::to_string(value)) {}

    int Length() const noexcept { return static_cast<int>(size()); }
    bool IsEmpty() const noexcept { return empty(); }
    // One-based position of the first occurrence of sub, 0 when absent.
    int Pos(const AnsiString &sub) const noexcept;
    // Count characters from the one-based index (clamped to the text).
    AnsiString SubString(int index, int count) const;
    // printf-style formatting of format into a new string.
    static AnsiString Format(const char *format, ...) __attribute__((format(gnu_printf, 1, 2)));
};

inline AnsiString operator+(const AnsiString &a, const AnsiString &b)
{
    return AnsiString(static_cast<const std::string &>(a) + static_cast<const std::string &>(b));
}
inline AnsiString operator+(const AnsiString &a, const char *b)
{
    return AnsiString(static_cast<const std::string &>(a) + (b ? b : ""));
}
inline AnsiString operator+(const char *a, const AnsiString &b)
{
    return AnsiString(std::string(a ? a : "") + static_cast<const std::string &>(b));
}
inline AnsiString operator+(const AnsiString &a, char b)
{
    return AnsiString(static_cast<const std::string &>(a) + b);
}

} // namespace ClassLib
