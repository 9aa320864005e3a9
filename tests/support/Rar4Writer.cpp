#include "tests/support/Rar4Writer.h"

#include <zlib.h>

#include <map>

namespace {

const unsigned char kBlockMain = 0x73;
const unsigned char kBlockFile = 0x74;
const unsigned char kBlockEnd = 0x7B;

const unsigned kFlagUnicodeName = 0x0200;
const unsigned kFlagFolder = 0x00E0; // all dictionary bits set
const unsigned kFlagLargeSizes = 0x0100;
const unsigned kFlagLongBlock = 0x8000;
const unsigned kFlagSkipIfUnknown = 0x4000;

const unsigned char kHostWindows = 2;
const unsigned char kUnpackVersion = 20;
const unsigned char kMethodStored = 0x30;
const unsigned kAttrArchive = 0x20;
const unsigned kAttrDirectory = 0x10;
// 2024-01-02 12:30:00 as a DOS date and time.
const unsigned kDosTime = ((2024 - 1980) << 25) | (1 << 21) | (2 << 16) | (12 << 11) | (30 << 5);

void Put2(std::string &out, unsigned value)
{
    out += static_cast<char>(value & 0xFF);
    out += static_cast<char>((value >> 8) & 0xFF);
}

void Put4(std::string &out, unsigned value)
{
    Put2(out, value & 0xFFFF);
    Put2(out, value >> 16);
}

unsigned Crc32(const std::string &bytes, size_t offset = 0)
{
    return static_cast<unsigned>(
        crc32(0, reinterpret_cast<const Bytef *>(bytes.data() + offset), static_cast<uInt>(bytes.size() - offset)));
}

// A block: 16-bit header checksum (CRC-32 of the rest of the header, low
// half), type, flags, header size, then body.
std::string Block(unsigned char type, unsigned flags, const std::string &body, bool breakCrc = false)
{
    std::string header;
    header += static_cast<char>(type);
    Put2(header, flags);
    Put2(header, static_cast<unsigned>(7 + body.size()));
    header += body;
    unsigned crc = Crc32(header) & 0xFFFF;
    if (breakCrc)
        crc ^= 0x5A5A;
    std::string block;
    Put2(block, crc);
    return block + header;
}

bool IsAscii(const std::wstring &name)
{
    for (wchar_t c : name) {
        if (c == 0 || c >= 0x80)
            return false;
    }
    return true;
}

// Encoding of a UTF-16 name against its ASCII stand-in: a "high byte", then
// groups of four 2-bit operations, each group led by its flag byte:
//   0  one byte, the unit's high byte is 0
//   1  one byte, the unit's high byte is the stored high byte
//   2  two bytes, low then high
//   3  a count byte n: copy n + 2 units from the stand-in at the same place
std::string EncodeUnicode(const std::wstring &name)
{
    std::map<unsigned, unsigned> highCounts;
    for (wchar_t c : name) {
        if (c >= 0x100)
            ++highCounts[static_cast<unsigned>(c) >> 8];
    }
    unsigned high = 0;
    unsigned best = 0;
    for (const auto &count : highCounts) {
        if (count.second > best) {
            best = count.second;
            high = count.first;
        }
    }

    std::string out(1, static_cast<char>(high));
    size_t flagPos = 0;
    int slot = 4;
    auto op = [&](unsigned code) {
        if (slot == 4) {
            flagPos = out.size();
            out += '\0';
            slot = 0;
        }
        out[flagPos] = static_cast<char>(static_cast<unsigned char>(out[flagPos]) | (code << (6 - 2 * slot)));
        ++slot;
    };

    const size_t length = name.size();
    for (size_t i = 0; i < length;) {
        size_t run = 0;
        while (i + run < length && name[i + run] < 0x80 && run < 129)
            ++run;
        if (run >= 3) {
            op(3);
            out += static_cast<char>(run - 2);
            i += run;
            continue;
        }
        unsigned c = name[i];
        if (c < 0x100) {
            op(0);
            out += static_cast<char>(c);
        } else if ((c >> 8) == high) {
            op(1);
            out += static_cast<char>(c & 0xFF);
        } else {
            op(2);
            out += static_cast<char>(c & 0xFF);
            out += static_cast<char>(c >> 8);
        }
        ++i;
    }
    return out;
}

} // namespace

TRar4Writer &TRar4Writer::AddFile(const std::wstring &name, const std::string &data, TDamage damage)
{
    entries_.push_back(TEntry{name, data, false, damage, 0});
    return *this;
}

TRar4Writer &TRar4Writer::AddFolder(const std::wstring &name, TDamage damage)
{
    entries_.push_back(TEntry{name, std::string(), true, damage, 0});
    return *this;
}

TRar4Writer &TRar4Writer::WithAttributes(unsigned attributes)
{
    if (!entries_.empty())
        entries_.back().attributes = attributes;
    return *this;
}

TRar4Writer &TRar4Writer::BreakMainHeader()
{
    brokenMainHeader_ = true;
    return *this;
}

TRar4Writer &TRar4Writer::OmitEndBlock()
{
    endBlock_ = false;
    return *this;
}

std::string TRar4Writer::EncodeName(const std::wstring &name)
{
    std::string field;
    for (wchar_t c : name)
        field += c > 0 && c < 0x80 ? static_cast<char>(c) : '_';
    if (IsAscii(name))
        return field;
    field += '\0';
    return field + EncodeUnicode(name);
}

std::string TRar4Writer::Bytes() const
{
    std::string archive("Rar!\x1A\x07\x00", 7);
    archive += Block(kBlockMain, 0, std::string(6, '\0'), brokenMainHeader_);

    for (const TEntry &entry : entries_) {
        const std::string nameField = EncodeName(entry.name);
        unsigned flags = kFlagLongBlock;
        if (!IsAscii(entry.name))
            flags |= kFlagUnicodeName;
        if (entry.folder)
            flags |= kFlagFolder;
        if (entry.damage & dmHugeSize)
            flags |= kFlagLargeSizes;

        unsigned crc = entry.folder ? 0 : Crc32(entry.data);
        if (entry.damage & dmDataCrc)
            crc ^= 0xFFFFFFFF;
        const unsigned size = static_cast<unsigned>(entry.data.size());

        std::string body;
        Put4(body, size); // packed size: stored data
        Put4(body, size); // unpacked size
        body += static_cast<char>(kHostWindows);
        Put4(body, crc);
        Put4(body, kDosTime);
        body += static_cast<char>(kUnpackVersion);
        body += static_cast<char>(kMethodStored);
        Put2(body, static_cast<unsigned>(nameField.size()));
        Put4(body, entry.attributes != 0 ? entry.attributes : entry.folder ? kAttrDirectory : kAttrArchive);
        if (entry.damage & dmHugeSize) {
            Put4(body, 1); // high half of the packed size
            Put4(body, 0); // high half of the unpacked size
        }
        body += nameField;

        archive += Block(kBlockFile, flags, body, (entry.damage & dmHeaderCrc) != 0);
        archive += entry.data;
    }

    if (endBlock_)
        archive += Block(kBlockEnd, kFlagSkipIfUnknown, std::string());
    return archive;
}
