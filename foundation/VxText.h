// Text of the program: conversions between the ANSI code page, UTF-16 and
// UTF-8, base64, the string-table loader, printf-style formatting and small
// string helpers. Nothing here keeps state between calls and nothing throws on
// bad input (only allocation failures pass through).
//
// Own text is std::string in the system ANSI code page. A narrow string can
// carry what the code page cannot hold through visible escapes, so that a name
// read from a UTF-8 document survives into a wide Win32 call and back:
//   "{@u20AC}"  a character the code page lacks (hex code point, upper case)
//   "{@@"       the two characters "{@" of the text itself
//   "{?wD800}"  an unpaired UTF-16 surrogate (stays text)
//   "{?cC3}"    a byte that does not start valid UTF-8 (stays text)
// AnsiToWide turns the first two back; WideToAnsi writes them.
#pragma once

#include <windows.h>
#include <cstdarg>
#include <string>
#include <vector>

namespace Mirelta {
typedef std::vector<std::string> string_vector;
} // namespace Mirelta

// Base64 with the standard alphabet and "=" padding, no line breaks.
std::string Base64Encode(const std::string &bytes);
// Decodes without validation: a character outside the alphabet counts as 0.
std::string Base64Decode(const char *text, unsigned length);
inline std::string Base64Decode(const std::string &text)
{
    return Base64Decode(text.data(), static_cast<unsigned>(text.size()));
}
// True for A-Z, a-z, 0-9, '+', '/' and '='.
bool IsBase64Char(int c);

// Converts length bytes of the code page into buffer (resized to hold them and
// a NUL); with unescape, "{@u..}" and "{@@" are turned back in place. Returns
// the number of UTF-16 units (0 when the conversion fails).
int CodePageToWide(unsigned codePage, const char *text, int length, std::vector<wchar_t> &buffer,
                   bool unescape);
// Character by character with a round-trip check. escapeMode 1 writes escapes
// for what the code page cannot hold; any other value writes '?'.
std::string WideToCodePage(unsigned codePage, const std::wstring &text, unsigned char escapeMode);

std::wstring AnsiToWide(const std::string &text);
std::string WideToAnsi(const std::wstring &text);
std::string WideToUtf8(const std::wstring &text);
std::wstring Utf8ToWide(const std::string &text);
std::string AnsiToUtf8(const std::string &text);
std::string Utf8ToAnsi(const std::string &text);
// The OEM (console) code page form of the text; ends at the first NUL.
std::string AnsiToOem(const std::string &text);

// Writes the UTF-8 bytes of one code point (low 31 bits) to out (room for 6);
// returns their number.
int EncodeUtf8(int codePoint, unsigned char *out);
// Decodes the character at text[*position] and advances *position behind it.
// On a bad sequence *error is set, *position moves one byte on and the result
// is the lead byte as a signed 8-bit value.
int DecodeUtf8(const char *text, unsigned length, unsigned *position, bool *error);
// 0-15 for '0'-'9' and 'A'-'F'; -1 for anything else, lower case included.
int HexDigitValue(wchar_t c);

// String-table text id of module in the ANSI code page ("" when missing).
// When moduleSlot is given its value replaces module; module 0 is the program.
std::string LoadResStringW(HINSTANCE module, unsigned id, HINSTANCE *moduleSlot);
// The program's own string-table text id.
std::string LoadResStdString(unsigned id);
// The system's text for a Win32 error code in the user's language, without
// the full stop and line break that end it; the code's number when the system
// has no text for it.
std::string SystemErrorText(unsigned long code);
// The same for the result of a COM call: for a result of the Win32 facility
// the text of the Win32 code it carries, for any other the system's own text
// of the result; its number in hexadecimal (0x80004005) when the system has
// none.
std::string SystemResultText(HRESULT result);

// printf-style formatting into a string.
std::string FormatString(const char *format, ...) __attribute__((format(gnu_printf, 1, 2)));
std::string FormatStringV(const char *format, va_list args);

// First occurrence of pattern's bytes (without its NUL) in length bytes at
// data, or null; an empty pattern finds nothing.
const char *SearchMemory(const char *pattern, const char *data, unsigned length);
// Byte order of [begin, end) against text, and of two ranges: memcmp of the
// common length, then the longer side is greater (-1, 0, 1).
int CompareRange(const char *begin, const char *end, const char *text);
int CompareRanges(const char *begin1, const char *end1, const char *begin2, const char *end2);

std::string LowerCase(const std::string &text);
// s followed by c, unless s is empty or already ends with c.
std::string IncludeTrailingChar(const std::string &s, char c);
std::string JoinStrings(const Mirelta::string_vector &items, std::string separator);
