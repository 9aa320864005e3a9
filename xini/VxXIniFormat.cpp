#include "xini/VxXIniFormat.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <float.h>
#if defined(__x86_64__)
#include <xmmintrin.h>
#endif
#include <limits>

const char VxXIniRootName[] = "vxini";
const char VxXIniDeclaration[] = "<?xml version=\"1.0\" encoding=\"utf-8\"?>";
const char VxXIniDoctype[] = "<!DOCTYPE vxini SYSTEM \"vxini4.dtd\">";
const char VxXIniRootStart[] = "<vxini>";
const char VxXIniRootEnd[] = "</vxini>";

char VxXIniTypeLetter(unsigned char type)
{
    switch (type) {
    case VxXIniSection:
        return 'x';
    case VxXIniInteger:
        return 'i';
    case VxXIniDouble:
        return 'd';
    case VxXIniString:
        return 's';
    case VxXIniBinary:
        return 'b';
    default:
        return '?';
    }
}

TE_VxXIniItemType VxXIniTypeFromLetter(char letter)
{
    switch (letter) {
    case 'x':
        return VxXIniSection;
    case 'i':
        return VxXIniInteger;
    case 'd':
        return VxXIniDouble;
    case 's':
        return VxXIniString;
    case 'b':
        return VxXIniBinary;
    default:
        return VxXIniNone;
    }
}

namespace {

// Whether the control word already is the default: then there is nothing to
// reset, and conversions (called per item) skip the library calls.
bool FpuIsDefault()
{
#if defined(__i386__)
    unsigned short control;
    __asm__ volatile("fnstcw %0" : "=m"(control));
    return (control & 0x0F3F) == 0x023F; // all masked, 53-bit, to nearest
#elif defined(__x86_64__)
    return (_mm_getcsr() & 0xFFC0) == 0x1F80; // all masked, to nearest, no FZ/DAZ
#else
    return false;
#endif
}

} // namespace

void ResetFpu()
{
    // The platform's default: round to nearest, 53-bit precision, every
    // exception masked.
    if (FpuIsDefault())
        return;
    _fpreset();
#if defined(__i386__)
    _controlfp(_CW_DEFAULT, _MCW_RC | _MCW_PC | _MCW_EM);
#else
    _controlfp(_CW_DEFAULT, _MCW_RC | _MCW_EM); // no precision control off x87
#endif
}

namespace {

std::string UnsignedDecimal(uint64_t value)
{
    char buffer[24];
    std::to_chars_result r = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, r.ptr);
}

// "0x" and the upper-case hexadecimal digits of value, without leading zeros.
std::string Hex(uint64_t value, bool negative)
{
    static const char digits[] = "0123456789ABCDEF";
    char buffer[24];
    char *p = buffer + sizeof buffer;
    do {
        *--p = digits[value & 0xF];
        value >>= 4;
    } while (value);
    *--p = 'x';
    *--p = '0';
    if (negative)
        *--p = '-';
    return std::string(p, buffer + sizeof buffer);
}

std::string Scientific(double value, int precision)
{
    ResetFpu();
    if (std::isnan(value))
        return std::signbit(value) ? "-nan" : "nan";
    if (std::isinf(value))
        return value < 0 ? "-inf" : "inf";
    char buffer[64];
    std::to_chars_result r =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::scientific, precision);
    return std::string(buffer, r.ptr);
}

bool IsCSpace(char c)
{
    return c == ' ' || (c >= '\t' && c <= '\r');
}

bool IsHexDigit(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

bool StartsWithHexPrefix(const char *p)
{
    return p[0] == '0' && (p[1] == 'x' || p[1] == 'X');
}

// Whether the exponent of the number text [begin, end) is negative.
bool NegativeExponent(const char *begin, const char *end)
{
    for (const char *p = begin; p < end; ++p)
        if ((*p == 'e' || *p == 'E' || *p == 'p' || *p == 'P') && p + 1 < end)
            return p[1] == '-';
    return false;
}

} // namespace

std::string VxXIniFormatInt32(int32_t value)
{
    return VxXIniFormatInt64(value);
}

std::string VxXIniFormatUInt32(uint32_t value)
{
    return UnsignedDecimal(value);
}

std::string VxXIniFormatInt64(int64_t value)
{
    if (value >= 0)
        return UnsignedDecimal(uint64_t(value));
    return "-" + UnsignedDecimal(0 - uint64_t(value));
}

std::string VxXIniFormatUInt64(uint64_t value)
{
    return UnsignedDecimal(value);
}

std::string VxXIniFormatHexInt32(int32_t value)
{
    if (value >= 0)
        return Hex(uint32_t(value), false);
    return Hex(0u - uint32_t(value), true);
}

std::string VxXIniFormatHexUInt32(uint32_t value)
{
    return Hex(value, false);
}

std::string VxXIniFormatHexInt64(int64_t value)
{
    if (value >= 0)
        return Hex(uint64_t(value), false);
    return Hex(0 - uint64_t(value), true);
}

std::string VxXIniFormatHexUInt64(uint64_t value)
{
    return Hex(value, false);
}

std::string VxXIniFormatFloat(float value)
{
    return Scientific(double(value), 8);
}

std::string VxXIniFormatDouble(double value)
{
    return Scientific(value, 16);
}

namespace {

// The C library's integer reading (strtol and its siblings) without its
// locale: leading white space, a sign, then base 0 ("0x" hexadecimal when a
// hexadecimal digit follows, a leading 0 octal, else decimal) or
// HexOrDecimal. Magnitudes beyond 64 bits set overflow.
struct TIntegerText {
    bool ok = false;        // at least one digit
    bool negative = false;
    bool overflow = false;
    uint64_t magnitude = 0;
};

int DigitValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'z')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'Z')
        return c - 'A' + 10;
    return 99;
}

// Base of unsigned 64-bit texts: hexadecimal after "0x", else decimal.
const int HexOrDecimal = -1;

TIntegerText ReadInteger(const char *p, int base)
{
    TIntegerText r;
    while (IsCSpace(*p))
        ++p;
    if (*p == '+' || *p == '-') {
        r.negative = *p == '-';
        ++p;
    }
    if ((base == 0 || base == HexOrDecimal) && StartsWithHexPrefix(p) && IsHexDigit(p[2])) {
        p += 2;
        base = 16;
    } else if (base == 0) {
        base = *p == '0' ? 8 : 10;
    } else if (base == HexOrDecimal) {
        base = 10;
    }
    for (int d; (d = DigitValue(*p)) < base; ++p) {
        r.ok = true;
        if (r.magnitude > (UINT64_MAX - uint64_t(d)) / uint64_t(base))
            r.overflow = true;
        else
            r.magnitude = r.magnitude * uint64_t(base) + uint64_t(d);
    }
    return r;
}

// strtol/strtoll: clamped to [-limit - 1, limit].
bool SignedValue(const TIntegerText &r, uint64_t limit, int64_t &value)
{
    if (!r.ok)
        return false;
    if (r.negative)
        value = r.overflow || r.magnitude > limit + 1 ? -int64_t(limit) - 1 : int64_t(0 - r.magnitude);
    else
        value = r.overflow || r.magnitude > limit ? int64_t(limit) : int64_t(r.magnitude);
    return true;
}

// strtoul/strtoull: clamped to limit, a minus sign negates modulo limit + 1.
bool UnsignedValue(const TIntegerText &r, uint64_t limit, uint64_t &value)
{
    if (!r.ok)
        return false;
    if (r.overflow || r.magnitude > limit)
        value = limit;
    else
        value = r.negative ? (0 - r.magnitude) & limit : r.magnitude;
    return true;
}

} // namespace

bool VxXIniParseInt32(const char *text, int32_t &value)
{
    int64_t v;
    if (!SignedValue(ReadInteger(text, 0), INT32_MAX, v))
        return false;
    value = int32_t(v);
    return true;
}

bool VxXIniParseUInt32(const char *text, uint32_t &value)
{
    uint64_t v;
    if (!UnsignedValue(ReadInteger(text, 0), UINT32_MAX, v))
        return false;
    value = uint32_t(v);
    return true;
}

bool VxXIniParseInt64(const char *text, int64_t &value)
{
    return SignedValue(ReadInteger(text, 0), INT64_MAX, value);
}

bool VxXIniParseUInt64(const char *text, uint64_t &value)
{
    // Decimal, as the unsigned writers write it; hexadecimal only with its
    // prefix, so that a leading zero never turns decimal text into octal.
    return UnsignedValue(ReadInteger(text, HexOrDecimal), UINT64_MAX, value);
}

bool VxXIniParseDouble(const char *text, double &value)
{
    ResetFpu();
    const char *p = text;
    while (IsCSpace(*p))
        ++p;
    bool negative = false;
    if (*p == '+' || *p == '-') {
        negative = *p == '-';
        ++p;
    }
    const char *end = p + std::strlen(p);
    double v = 0;
    std::from_chars_result r;
    if (StartsWithHexPrefix(p) && (IsHexDigit(p[2]) || (p[2] == '.' && IsHexDigit(p[3])))) {
        r = std::from_chars(p + 2, end, v, std::chars_format::hex);
    } else {
        if (*p == '+' || *p == '-')
            return false; // a second sign
        r = std::from_chars(p, end, v, std::chars_format::general);
    }
    if (r.ec == std::errc::result_out_of_range) {
        v = NegativeExponent(p, r.ptr) ? 0.0 : std::numeric_limits<double>::infinity();
    } else if (r.ec != std::errc()) {
        return false;
    }
    value = negative ? -v : v;
    return true;
}
