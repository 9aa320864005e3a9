// The x-ini document format shared by the reader and the writer: item types and
// their element letters, the fixed texts around the root, header styles, the
// options word of the writer, the escape mask, the nesting limit and the value
// texts of numbers (formatting for the writer, parsing for the reader's getters).
//
// A document is UTF-8 text, optionally wrapped in gzip layers: a root element
// `vxini` whose items are one-letter elements: x section, i integer, d double,
// s string (the value in attribute v), b binary (base64 content); attribute n
// is the item's name. Number texts never depend on the C locale.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// Item type of an x-ini item. Values outside 0-5 may appear in trees built by
// callers; they are invalid items.
enum TE_VxXIniItemType : unsigned char {
    VxXIniNone = 0,     // no item (absent or invalid)
    VxXIniSection = 1,  // element x
    VxXIniInteger = 2,  // element i
    VxXIniDouble = 3,   // element d
    VxXIniString = 4,   // element s
    VxXIniBinary = 5,   // element b (base64 text)
};

// Element letter of a type: 'x', 'i', 'd', 's', 'b'; '?' for any other value.
char VxXIniTypeLetter(unsigned char type);
// Type of a one-letter element name; VxXIniNone for any other letter.
TE_VxXIniItemType VxXIniTypeFromLetter(char letter);

// Fixed texts (without line ends).
extern const char VxXIniRootName[];      // "vxini"
extern const char VxXIniDeclaration[];   // <?xml version="1.0" encoding="utf-8"?>
extern const char VxXIniDoctype[];       // <!DOCTYPE vxini SYSTEM "vxini4.dtd">
extern const char VxXIniRootStart[];     // "<vxini>"
extern const char VxXIniRootEnd[];       // "</vxini>"

// Header styles of the writer: what precedes the root and the layout.
enum : unsigned char {
    VxXIniHeaderFull = 0,     // declaration and DOCTYPE lines
    VxXIniHeaderDecl = 1,     // declaration line only
    VxXIniHeaderNone = 2,     // nothing (also every value other than 0, 1 and 3)
    VxXIniHeaderOneLine = 3,  // nothing, and the whole document in one-line mode
};

// The writer's options word: bits 0-7 mode (1 = gzip, else plain text),
// bits 8-11 compression level plus 1 (0 = default level), bits 12-15 number of
// gzip layers minus 1, bits 16-31 ignored.
const uint32_t VxXIniModeGZip = 1;
const unsigned VxXIniMaxGZipLayers = 16;

inline bool VxXIniOptionsGZip(uint32_t options) { return (options & 0xFF) == VxXIniModeGZip; }
// zlib level: -1 (default) or 0-9.
inline int VxXIniOptionsLevel(uint32_t options) { return int((options >> 8) & 0xF) - 1; }
// Number of gzip layers, 1-16 (meaningful only with the gzip mode).
inline unsigned VxXIniOptionsLayers(uint32_t options) { return ((options >> 12) & 0xF) + 1; }
// Options word for gzip with the given layers (1-16) and zlib level (-1, 0-9).
inline uint32_t MakeVxXIniGZipOptions(unsigned layers, int level = -1)
{
    return VxXIniModeGZip | (uint32_t((level + 1) & 0xF) << 8) | (uint32_t((layers - 1) & 0xF) << 12);
}

// Escape mask the writer hands to EncodeXmlEntities for names and values:
// control bytes, double quote, ampersand, less-than and greater-than.
const unsigned char VxXIniEscapeMask = 0x37;

// Deepest item depth a document may have: the root's items are at depth 1,
// the items of a section at its own depth plus 1, so a section may stand at
// depths 1 to VxXIniMaxDepth - 1. The reader rejects an x element at depth
// VxXIniMaxDepth or deeper as a format error of the section that holds it, and
// the writer refuses to open a section there (BeginSection at a current depth
// of VxXIniMaxDepth fails), so nothing that walks a document or a tree goes
// deeper than this.
const unsigned VxXIniMaxDepth = 4096;

// Bytes per base64 line inside a b element.
const unsigned VxXIniBase64LineLength = 64;

// Resets the floating-point unit to its default state. The number formatting
// and parsing below call it first, so a control word changed by a caller or a
// library cannot change the texts.
void ResetFpu();

// Value texts written by the writer operations (UTF-8 = ASCII here, unescaped).
std::string VxXIniFormatInt32(int32_t value);        // "-12"
std::string VxXIniFormatUInt32(uint32_t value);      // "12"
std::string VxXIniFormatInt64(int64_t value);
std::string VxXIniFormatUInt64(uint64_t value);
std::string VxXIniFormatHexInt32(int32_t value);     // "0x1F", "-0x10", "-0x80000000"
std::string VxXIniFormatHexUInt32(uint32_t value);   // "0x0", "0xFFFFFFFF"
std::string VxXIniFormatHexInt64(int64_t value);
std::string VxXIniFormatHexUInt64(uint64_t value);
// "%.8e" of the value widened to double: "1.00000001e-01"; infinities are
// "inf" and "-inf", NaN is "nan" (or "-nan").
std::string VxXIniFormatFloat(float value);
// "%.16e": "2.5000000000000000e+00"; two-digit exponents at least, '.' always.
std::string VxXIniFormatDouble(double value);

// Value-text parsing of the reader's getters. Each takes a zero-terminated
// text and returns true when the text holds a number (trailing text ignored),
// storing it; on false the output is left unchanged.
// Integer (32-bit): C rules of base 0 ("0x1F" hex, "010" octal, "-0x10"),
// leading white space and a sign; overflow clamps to the limits.
bool VxXIniParseInt32(const char *text, int32_t &value);
bool VxXIniParseUInt32(const char *text, uint32_t &value);
// Signed 64-bit: base 0 as above.
bool VxXIniParseInt64(const char *text, int64_t &value);
// Unsigned 64-bit: decimal ("010" is 10), or hexadecimal after "0x"/"0X"
// ("0x1F" is 31); a minus sign negates modulo 2^64.
bool VxXIniParseUInt64(const char *text, uint64_t &value);
// Double: decimal or exponent form with '.', whatever the C locale; also
// "inf", "infinity", "nan" (any case, optionally signed) and hexadecimal
// floating text ("0x1.8p1").
bool VxXIniParseDouble(const char *text, double &value);
