#include "foundation/VxText.h"

#include <cctype>
#include <cstdio>
#include <cstring>

namespace {

const char kBase64Alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

// Decoding value of every byte: its alphabet position, 0 for anything else.
struct TBase64Values {
    unsigned char value[256];
    TBase64Values()
    {
        std::memset(value, 0, sizeof value);
        for (int i = 0; i < 64; ++i)
            value[static_cast<unsigned char>(kBase64Alphabet[i])] = static_cast<unsigned char>(i);
    }
};

unsigned Base64Value(char c)
{
    static const TBase64Values table;
    return table.value[static_cast<unsigned char>(c)];
}

bool IsHighSurrogate(unsigned u) { return u >= 0xD800 && u <= 0xDBFF; }
bool IsLowSurrogate(unsigned u) { return u >= 0xDC00 && u <= 0xDFFF; }
bool IsSurrogate(unsigned u) { return u >= 0xD800 && u <= 0xDFFF; }

unsigned CombineSurrogates(unsigned high, unsigned low)
{
    return (high - 0xD800) * 1024 + 0x10000 + (low - 0xDC00);
}

// Appends a code point as one unit or as a surrogate pair.
template <class Out>
void PutCodePoint(unsigned value, Out put)
{
    if (value < 0x10000) {
        put(static_cast<wchar_t>(value));
    } else {
        put(static_cast<wchar_t>(0xD800 + ((value - 0x10000) >> 10)));
        put(static_cast<wchar_t>(0xDC00 + (value & 0x3FF)));
    }
}

// The code page that a pseudo code page number stands for.
unsigned ResolveCodePage(unsigned codePage)
{
    switch (codePage) {
    case CP_ACP:
    case CP_THREAD_ACP:
        return GetACP();
    case CP_OEMCP:
        return GetOEMCP();
    default:
        return codePage;
    }
}

// UTF-7 and UTF-8 refuse the used-default flag (and a default character): the
// conversion would fail for every character.
bool AcceptsUsedDefaultFlag(unsigned codePage)
{
    unsigned cp = ResolveCodePage(codePage);
    return cp != CP_UTF7 && cp != CP_UTF8;
}

// Converts one character (one unit or a surrogate pair) and checks that
// converting the bytes back gives exactly the same units. Appends the bytes
// and returns true when it does.
bool ConvertExactly(unsigned codePage, const wchar_t *units, int unitCount, std::string &out)
{
    char bytes[100];
    BOOL usedDefault = FALSE;
    BOOL *usedDefaultFlag = AcceptsUsedDefaultFlag(codePage) ? &usedDefault : nullptr;
    int count = WideCharToMultiByte(codePage, 0, units, unitCount, bytes, sizeof bytes, nullptr,
                                    usedDefaultFlag);
    if (count <= 0 || usedDefault)
        return false;

    wchar_t back[3];
    for (int i = 0; i < 3; ++i)
        back[i] = static_cast<wchar_t>(~units[0]);
    int backCount = MultiByteToWideChar(codePage, 0, bytes, count, back, 3);
    if (backCount != unitCount)
        return false;
    for (int i = 0; i < unitCount; ++i) {
        if (back[i] != units[i])
            return false;
    }
    out.append(bytes, count);
    return true;
}

void AppendUtf8(unsigned codePoint, std::string &out)
{
    unsigned char bytes[6];
    int n = EncodeUtf8(static_cast<int>(codePoint), bytes);
    out.append(reinterpret_cast<const char *>(bytes), n);
}

} // namespace

// ---- base64 ----------------------------------------------------------------

std::string Base64Encode(const std::string &bytes)
{
    const std::size_t n = bytes.size();
    std::string out;
    if (n == 0)
        return out;
    out.reserve((n + n / 3 + 3) / 4 * 4);
    const unsigned char *p = reinterpret_cast<const unsigned char *>(bytes.data());
    std::size_t i = 0;
    for (; i + 3 <= n; i += 3) {
        unsigned b1 = p[i], b2 = p[i + 1], b3 = p[i + 2];
        out += kBase64Alphabet[b1 >> 2];
        out += kBase64Alphabet[((b1 & 3) << 4) | (b2 >> 4)];
        out += kBase64Alphabet[((b2 & 15) << 2) | (b3 >> 6)];
        out += kBase64Alphabet[b3 & 63];
    }
    if (n - i == 1) {
        unsigned b1 = p[i];
        out += kBase64Alphabet[b1 >> 2];
        out += kBase64Alphabet[(b1 << 4) & 63];
        out += "==";
    } else if (n - i == 2) {
        unsigned b1 = p[i], b2 = p[i + 1];
        out += kBase64Alphabet[b1 >> 2];
        out += kBase64Alphabet[((b1 & 3) << 4) | (b2 >> 4)];
        out += kBase64Alphabet[(b2 << 2) & 63];
        out += '=';
    }
    return out;
}

std::string Base64Decode(const char *text, unsigned length)
{
    std::string out;
    if (length == 0 || !text)
        return out;

    unsigned chars = length;
    switch (length % 4) {
    case 0:
        if (text[chars - 1] == '=') {
            --chars;
            if (text[chars - 1] == '=')
                --chars;
        }
        break;
    case 1:
        --chars; // a dangling character carries no whole byte
        break;
    case 3:
        if (text[chars - 1] == '=')
            --chars;
        break;
    default:
        break;
    }

    out.reserve(chars / 4 * 3 + 2);
    unsigned i = 0;
    for (; i + 4 <= chars; i += 4) {
        unsigned long value = (static_cast<unsigned long>(Base64Value(text[i])) << 18) +
                              (Base64Value(text[i + 1]) << 12) + (Base64Value(text[i + 2]) << 6) +
                              Base64Value(text[i + 3]);
        out += static_cast<char>((value >> 16) & 0xFF);
        out += static_cast<char>((value >> 8) & 0xFF);
        out += static_cast<char>(value & 0xFF);
    }
    unsigned rest = chars - i;
    if (rest >= 2) {
        unsigned long value = (static_cast<unsigned long>(Base64Value(text[i])) << 18) +
                              (Base64Value(text[i + 1]) << 12);
        if (rest == 3)
            value += Base64Value(text[i + 2]) << 6;
        out += static_cast<char>((value >> 16) & 0xFF);
        if (rest == 3)
            out += static_cast<char>((value >> 8) & 0xFF);
    }
    return out;
}

bool IsBase64Char(int c)
{
    if (c < 43 || c > 122)
        return false;
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '+' ||
           c == '/' || c == '=';
}

// ---- UTF-8 -----------------------------------------------------------------

int EncodeUtf8(int codePoint, unsigned char *out)
{
    unsigned value = static_cast<unsigned>(codePoint) & 0x7FFFFFFFu;
    if (value < 0x80) {
        out[0] = static_cast<unsigned char>(value);
        return 1;
    }
    int n;
    if (value < 0x800)
        n = 2;
    else if (value < 0x10000)
        n = 3;
    else if (value < 0x200000)
        n = 4;
    else if (value < 0x4000000)
        n = 5;
    else
        n = 6;
    static const unsigned char marks[7] = {0, 0, 0xC0, 0xE0, 0xF0, 0xF8, 0xFC};
    for (int k = n - 1; k > 0; --k) {
        out[k] = static_cast<unsigned char>(0x80 | (value & 0x3F));
        value >>= 6;
    }
    out[0] = static_cast<unsigned char>(marks[n] | value);
    return n;
}

int DecodeUtf8(const char *text, unsigned length, unsigned *position, bool *error)
{
    *error = false;
    if (*position >= length) {
        *error = true;
        return 0;
    }
    const unsigned start = *position;
    const unsigned char lead = static_cast<unsigned char>(text[start]);
    const int asSigned = static_cast<signed char>(lead);
    *position = start + 1;
    if (lead < 0x80)
        return lead;

    int continuation;
    unsigned payload;
    unsigned smallest;
    if (lead < 0xC0) {
        *error = true;
        return asSigned;
    } else if (lead < 0xE0) {
        continuation = 1, payload = lead & 0x1F, smallest = 0x80;
    } else if (lead < 0xF0) {
        continuation = 2, payload = lead & 0x0F, smallest = 0x800;
    } else if (lead < 0xF8) {
        continuation = 3, payload = lead & 0x07, smallest = 0x10000;
    } else if (lead < 0xFC) {
        continuation = 4, payload = lead & 0x03, smallest = 0x200000;
    } else if (lead < 0xFE) {
        continuation = 5, payload = lead & 0x01, smallest = 0x4000000;
    } else {
        *error = true;
        return asSigned;
    }

    if (length - (start + 1) < static_cast<unsigned>(continuation)) {
        *error = true;
        return asSigned;
    }
    unsigned value = payload;
    for (int k = 1; k <= continuation; ++k) {
        unsigned char b = static_cast<unsigned char>(text[start + k]);
        if ((b & 0xC0) != 0x80) {
            *error = true;
            return asSigned;
        }
        value = (value << 6) | (b & 0x3F);
    }
    if (value < smallest) {
        *error = true;
        return asSigned;
    }
    *position = start + 1 + continuation;
    return static_cast<int>(value);
}

std::string WideToUtf8(const std::wstring &text)
{
    std::string out;
    out.reserve(text.size());
    const std::size_t n = text.size();
    for (std::size_t i = 0; i < n; ++i) {
        unsigned u = static_cast<unsigned>(text[i]) & 0xFFFF;
        if (!IsSurrogate(u)) {
            AppendUtf8(u, out);
        } else if (IsHighSurrogate(u) && i + 1 < n && IsLowSurrogate(text[i + 1] & 0xFFFF)) {
            AppendUtf8(CombineSurrogates(u, text[i + 1] & 0xFFFF), out);
            ++i;
        } else {
            out += FormatString("{?w%lX}", static_cast<unsigned long>(u));
        }
    }
    return out;
}

std::wstring Utf8ToWide(const std::string &text)
{
    std::wstring out;
    out.reserve(text.size());
    const unsigned length = static_cast<unsigned>(text.size());
    unsigned pos = 0;
    auto put = [&out](wchar_t c) { out += c; };
    while (pos < length) {
        const unsigned start = pos;
        bool error = false;
        int value = DecodeUtf8(text.data(), length, &pos, &error);
        unsigned v = static_cast<unsigned>(value);
        if (error || v > 0x10FFFF || IsSurrogate(v)) {
            char escape[16];
            std::snprintf(escape, sizeof escape, "{?c%X}",
                          static_cast<unsigned>(static_cast<unsigned char>(text[start])));
            for (const char *p = escape; *p; ++p)
                out += static_cast<wchar_t>(*p);
            pos = start + 1;
            continue;
        }
        PutCodePoint(v, put);
    }
    return out;
}

int HexDigitValue(wchar_t c)
{
    if (c >= L'0' && c <= L'9')
        return c - L'0';
    if (c >= L'A' && c <= L'F')
        return c - L'A' + 10;
    return -1;
}

// ---- code page conversions -------------------------------------------------

int CodePageToWide(unsigned codePage, const char *text, int length, std::vector<wchar_t> &buffer,
                   bool unescape)
{
    int w = 0;
    if (text && length > 0)
        w = MultiByteToWideChar(codePage, 0, text, length, nullptr, 0);
    if (w < 0)
        w = 0;
    buffer.assign(static_cast<std::size_t>(w) + 1, L'\0');
    if (w > 0 && MultiByteToWideChar(codePage, 0, text, length, buffer.data(), w) != w) {
        w = 0;
        buffer.assign(1, L'\0');
    }
    if (!unescape)
        return w;

    wchar_t *b = buffer.data();
    int i = 0, j = 0;
    auto put = [&b, &j](wchar_t c) { b[j++] = c; };
    while (i < w) {
        if (b[i] == L'{' && i + 1 < w && b[i + 1] == L'@') {
            if (i + 2 < w && b[i + 2] == L'@') {
                b[j++] = L'{';
                b[j++] = L'@';
                i += 3;
                continue;
            }
            if (i + 2 < w && b[i + 2] == L'u') {
                unsigned value = 0;
                int digits = 0;
                while (digits < 6 && i + 3 + digits < w) {
                    int d = HexDigitValue(b[i + 3 + digits]);
                    if (d < 0)
                        break;
                    value = value * 16 + static_cast<unsigned>(d);
                    ++digits;
                }
                const int close = i + 3 + digits;
                if (digits > 0 && close < w && b[close] == L'}' && value >= 0x7F && value <= 0x10FFFF &&
                    !IsSurrogate(value)) {
                    PutCodePoint(value, put);
                    i += digits + 4;
                    continue;
                }
            }
            b[j++] = b[i++]; // the '{' as it stands; the rest is ordinary text
            continue;
        }
        b[j++] = b[i++];
    }
    b[j] = L'\0';
    return j;
}

std::string WideToCodePage(unsigned codePage, const std::wstring &text, unsigned char escapeMode)
{
    const bool escapes = escapeMode == 1;
    std::string out;
    out.reserve(text.size());
    const std::size_t n = text.size();
    wchar_t previous = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const wchar_t first = text[i];
        const wchar_t prev = previous;
        previous = first;
        if (escapes && first == L'@' && prev == L'{') {
            out += "@@";
            continue;
        }
        const unsigned u = static_cast<unsigned>(first) & 0xFFFF;
        wchar_t units[2] = {first, 0};
        int unitCount = 1;
        unsigned codePoint = u;
        if (IsSurrogate(u)) {
            if (IsHighSurrogate(u) && i + 1 < n && IsLowSurrogate(text[i + 1] & 0xFFFF)) {
                units[1] = text[i + 1];
                unitCount = 2;
                codePoint = CombineSurrogates(u, text[i + 1] & 0xFFFF);
                ++i;
            } else {
                if (escapes)
                    out += FormatString("{?w%lX}", static_cast<unsigned long>(u));
                else
                    out += '?';
                continue;
            }
        }
        if (ConvertExactly(codePage, units, unitCount, out))
            continue;
        if (escapes)
            out += FormatString("{@u%X}", codePoint);
        else
            out += '?';
    }
    return out;
}

std::wstring AnsiToWide(const std::string &text)
{
    std::vector<wchar_t> buffer;
    int n = CodePageToWide(CP_ACP, text.data(), static_cast<int>(text.size()), buffer, true);
    return std::wstring(buffer.data(), static_cast<std::size_t>(n));
}

std::string WideToAnsi(const std::wstring &text)
{
    return WideToCodePage(CP_ACP, text, 1);
}

std::string AnsiToUtf8(const std::string &text)
{
    return WideToUtf8(AnsiToWide(text));
}

std::string Utf8ToAnsi(const std::string &text)
{
    return WideToAnsi(Utf8ToWide(text));
}

std::string AnsiToOem(const std::string &text)
{
    std::vector<char> buffer(text.size() + 1, '\0');
    CharToOemA(text.c_str(), buffer.data());
    return std::string(buffer.data());
}

// ---- string table ----------------------------------------------------------

std::string LoadResStringW(HINSTANCE module, unsigned id, HINSTANCE *moduleSlot)
{
    // A slot names the module that holds the texts; nothing here fills an
    // empty slot, so it then stands for the program itself.
    if (moduleSlot)
        module = *moduleSlot;
    if (!module)
        module = GetModuleHandleW(nullptr);

    std::vector<wchar_t> buffer(1025, L'\0');
    int length = LoadStringW(module, id, buffer.data(), 1025);
    if (length >= 1024) {
        buffer.assign(65538, L'\0');
        length = LoadStringW(module, id, buffer.data(), 65537);
    }
    if (length <= 0)
        return std::string();
    return WideToAnsi(std::wstring(buffer.data(), static_cast<std::size_t>(length)));
}

std::string LoadResStdString(unsigned id)
{
    static HINSTANCE moduleSlot = nullptr;
    return LoadResStringW(GetModuleHandleW(nullptr), id, &moduleSlot);
}

namespace {

// The system's own text for a message number, trimmed as SystemErrorText
// says; "" when the system has none.
std::string SystemMessageText(unsigned long code)
{
    wchar_t *buffer = nullptr;
    const DWORD length =
        FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                       nullptr, code, 0, reinterpret_cast<wchar_t *>(&buffer), 0, nullptr);
    std::wstring text = length != 0 ? std::wstring(buffer, length) : std::wstring();
    LocalFree(buffer);
    const size_t end = text.find_last_not_of(L" \t\r\n");
    text.erase(end == std::wstring::npos ? 0 : end + 1);
    if (!text.empty() && text.back() == L'.')
        text.pop_back();
    return WideToAnsi(text);
}

} // namespace

std::string SystemErrorText(unsigned long code)
{
    const std::string text = SystemMessageText(code);
    return text.empty() ? FormatString("%lu", code) : text;
}

std::string SystemResultText(HRESULT result)
{
    if (HRESULT_FACILITY(result) == FACILITY_WIN32)
        return SystemErrorText(HRESULT_CODE(result));
    const unsigned long code = static_cast<unsigned long>(result);
    const std::string text = SystemMessageText(code);
    return text.empty() ? FormatString("0x%08lX", code) : text;
}

// ---- formatting ------------------------------------------------------------

std::string FormatStringV(const char *format, va_list args)
{
    va_list measure;
    va_copy(measure, args);
    int n = std::vsnprintf(nullptr, 0, format, measure);
    va_end(measure);
    if (n <= 0)
        return std::string();
    // vsnprintf always ends what it writes with a NUL: room for n + 1.
    std::vector<char> buffer(static_cast<std::size_t>(n) + 1);
    std::vsnprintf(buffer.data(), buffer.size(), format, args);
    return std::string(buffer.data(), static_cast<std::size_t>(n));
}

std::string FormatString(const char *format, ...)
{
    va_list args;
    va_start(args, format);
    std::string result;
    try {
        result = FormatStringV(format, args);
    } catch (...) {
        va_end(args);
        throw;
    }
    va_end(args);
    return result;
}

// ---- string helpers --------------------------------------------------------

const char *SearchMemory(const char *pattern, const char *data, unsigned length)
{
    if (!pattern || !data)
        return nullptr;
    const std::size_t m = std::strlen(pattern);
    if (m == 0 || m > length)
        return nullptr;
    const unsigned char *pat = reinterpret_cast<const unsigned char *>(pattern);
    const unsigned char *bytes = reinterpret_cast<const unsigned char *>(data);

    std::size_t shift[256];
    for (std::size_t &s : shift)
        s = m;
    for (std::size_t k = 0; k < m; ++k)
        shift[pat[k]] = m - 1 - k;

    std::size_t p = m - 1;
    while (p < length) {
        std::size_t s = shift[bytes[p]];
        if (s != 0) {
            p += s;
            continue;
        }
        if (std::memcmp(bytes + p - (m - 1), pat, m) == 0)
            return data + p - (m - 1);
        ++p;
    }
    return nullptr;
}

int CompareRanges(const char *begin1, const char *end1, const char *begin2, const char *end2)
{
    const std::size_t n1 = static_cast<std::size_t>(end1 - begin1);
    const std::size_t n2 = static_cast<std::size_t>(end2 - begin2);
    const std::size_t common = n1 < n2 ? n1 : n2;
    if (common) {
        int r = std::memcmp(begin1, begin2, common);
        if (r != 0)
            return r;
    }
    if (n1 > n2)
        return 1;
    if (n1 < n2)
        return -1;
    return 0;
}

int CompareRange(const char *begin, const char *end, const char *text)
{
    return CompareRanges(begin, end, text, text + std::strlen(text));
}

std::string LowerCase(const std::string &text)
{
    std::string out(text);
    for (char &c : out)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

std::string IncludeTrailingChar(const std::string &s, char c)
{
    if (s.empty() || s.back() == c)
        return s;
    return s + c;
}

std::string JoinStrings(const Mirelta::string_vector &items, std::string separator)
{
    std::string out;
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (i)
            out += separator;
        out += items[i];
    }
    return out;
}
