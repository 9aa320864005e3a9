// Throughput of the x-ini library on a 16 MiB document of mixed items and
// sections, plain and with one gzip layer: writing, loading (read, unwrap,
// root scan) and reading every item through the typed getters. The floor is a
// bare memchr scan of the same bytes for '<'; reading every item should reach
// at least a twentieth of it.
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <algorithm>
#include <cstring>
#include <string>

#include "foundation/VxStream.h"
#include "foundation/var_a.h"
#include "xini/VxXIniFormat.h"
#include "xini/VxXIniStreamReader.h"
#include "xini/VxXIniStreamWriter.h"

namespace {

const size_t DocumentSize = 16u << 20;

double Now()
{
    LARGE_INTEGER counter, frequency;
    QueryPerformanceCounter(&counter);
    QueryPerformanceFrequency(&frequency);
    return double(counter.QuadPart) / double(frequency.QuadPart);
}

double MBps(size_t bytes, double seconds)
{
    return seconds > 0 ? double(bytes) / (1024.0 * 1024.0) / seconds : 0;
}

void WriteSection(TVxXIniStreamWriter &writer, unsigned s)
{
    static const std::string bytes(40, '\x5A');
    uint32_t depth = writer.BeginSection("section" + std::to_string(s));
    for (int i = 0; i < 20; ++i) {
        writer.WriteInt32("count", int32_t(s * 31 + i));
        writer.WriteDouble("scale", s * 0.25 + i);
        writer.WriteString("title", "A & B \"quoted\" text of a value");
        writer.WriteHexUInt64("mask", uint64_t(s) << 32 | unsigned(i));
    }
    writer.WriteBinary("blob", bytes);
    uint32_t inner = writer.BeginSection("inner");
    for (int i = 0; i < 10; ++i)
        writer.WriteInt32("", i);
    writer.EndSections(inner);
    writer.EndSections(depth);
}

// Sections needed for a text of DocumentSize bytes.
unsigned SectionCount()
{
    var_a<TVxStringStream> probe = make_var_a<TVxStringStream>();
    {
        TVxXIniStreamWriter writer(probe, 0, VxXIniHeaderNone);
        WriteSection(writer, 100000);
        writer.CloseDocument();
    }
    // The probe's numbers are longer than the average section's.
    return unsigned(DocumentSize / probe->getText().size() * 105 / 100);
}

// Writes the document; returns what reached the stream.
std::string WriteDocument(uint32_t options, unsigned sections)
{
    var_a<TVxStringStream> stream = make_var_a<TVxStringStream>();
    {
        TVxXIniStreamWriter writer(stream, options, VxXIniHeaderFull);
        for (unsigned s = 0; s < sections; ++s)
            WriteSection(writer, s);
        writer.CloseDocument();
    }
    return stream->getText();
}

// Reads every item of the current section and below through the getters,
// item by item, so that each section is parsed as far as it is read and a
// child hands its parent the position after its end: one pass over the text.
double ReadEverything(TVxXIniReader &reader)
{
    double sum = 0;
    for (unsigned i = 0;; ++i) {
        TE_VxXIniItemType type = reader.GetType(i);
        if (type == VxXIniNone)
            break;
        switch (type) {
        case VxXIniSection: {
            unsigned level = reader.OpenSection(i);
            sum += ReadEverything(reader);
            reader.CloseSection(level);
            break;
        }
        case VxXIniInteger:
            sum += double(reader.GetInt64(i, 0));
            break;
        case VxXIniDouble:
            sum += reader.GetDouble(i, 0);
            break;
        case VxXIniString:
            sum += double(reader.GetText(i, std::string()).size());
            break;
        case VxXIniBinary:
            sum += double(reader.GetBinary(i, std::string()).size());
            break;
        default:
            break;
        }
    }
    return sum;
}

size_t MemchrFloor(const std::string &text)
{
    size_t found = 0;
    const char *p = text.data();
    const char *end = p + text.size();
    while (const void *lt = std::memchr(p, '<', size_t(end - p))) {
        ++found;
        p = static_cast<const char *>(lt) + 1;
    }
    return found;
}

void Run(const char *label, uint32_t options)
{
    // Best of three: the machine may be busy with other work.
    const int rounds = 3;
    const unsigned sections = SectionCount();
    double write = 1e9, load = 1e9, read = 1e9, scan = 1e9;
    std::string stored, text;
    double checksum = 0;
    size_t markup = 0;
    for (int round = 0; round < rounds; ++round) {
        double t0 = Now();
        stored = WriteDocument(options, sections);
        double t1 = Now();
        write = std::min(write, t1 - t0);

        var_a<TVxStringStream> source = make_var_a<TVxStringStream>();
        source->setText(stored);
        double t2 = Now();
        TVxXIniStreamReader reader(source, true);
        double t3 = Now();
        checksum = ReadEverything(reader);
        double t4 = Now();
        load = std::min(load, t3 - t2);
        read = std::min(read, t4 - t3);

        text.assign(reader.TextBegin(), reader.TextLength());
        double t5 = Now();
        markup = MemchrFloor(text);
        double t6 = Now();
        scan = std::min(scan, t6 - t5);
    }

    const size_t size = text.size();
    const double floor = MBps(size, scan);
    const double full = MBps(size, read);
    std::printf("%s: %.1f MiB text, %.1f MiB stored (best of %d)\n", label, size / 1048576.0,
                stored.size() / 1048576.0, rounds);
    std::printf("  write      %8.1f MB/s\n", MBps(size, write));
    std::printf("  load       %8.1f MB/s\n", MBps(size, load));
    std::printf("  full read  %8.1f MB/s\n", full);
    std::printf("  memchr '<' %8.1f MB/s (floor, %u tags)\n", floor, unsigned(markup));
    std::printf("  full read / floor = 1/%.1f (%s; target 1/20)   [checksum %.0f]\n",
                full > 0 ? floor / full : 0.0, full * 20 >= floor ? "ok" : "SLOW", checksum);
}

} // namespace

int main()
{
    Run("plain", 0);
    Run("gzip, one layer", MakeVxXIniGZipOptions(1));
    return 0;
}
