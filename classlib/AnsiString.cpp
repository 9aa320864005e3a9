#include "classlib/AnsiString.h"

#include <cstdarg>

#include "foundation/VxText.h"

namespace ClassLib {

int AnsiString::Pos(const AnsiString &sub) const noexcept
{
    size_type at = find(sub);
    return at == npos ? 0 : static_cast<int>(at) + 1;
}

AnsiString AnsiString::SubString(int index, int count) const
{
    if (index < 1)
        index = 1;
    if (count <= 0 || index > Length())
        return AnsiString();
    return AnsiString(substr(static_cast<size_type>(index - 1), static_cast<size_type>(count)));
}

AnsiString AnsiString::Format(const char *format, ...)
{
    va_list args;
    va_start(args, format);
    std::string text;
    try {
        text = FormatStringV(format, args);
    } catch (...) {
        va_end(args);
        throw;
    }
    va_end(args);
    return AnsiString(std::move(text));
}

} // namespace ClassLib
