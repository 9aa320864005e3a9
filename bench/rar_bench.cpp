// Payload extraction against the RAR library's own extraction, in the same
// process, of the same archive file: the generated bench_payload.rar (312
// entries, 73 MB unpacked) is unpacked into a fresh folder
//   ours:    the file read into memory (as setup.exe holds its "FILES"
//            resource), then ExtractArchiveFromMemory over those bytes;
//   library: RAROpenArchiveEx on the file, then RARReadHeaderEx and
//            RARProcessFileW(RAR_EXTRACT) for every entry, as the library's
//            own interface extracts a file (the same library build as ours).
// Both clocks run from the first byte read to the archive's end, so both pay
// for reading the file. The sides alternate, who goes first changing every
// round, five rounds; the better round of each side counts. Prints both times
// and the ratio ours/library (target: at most 1.05), and fails unless both
// sides produced the same tree: the same entries, and every file the same
// bytes. The whole setup.exe against the library's command-line extractor,
// as whole processes, is bench/setup_bench.sh.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "foundation/VxPath.h"
#include "foundation/VxText.h"
#include "foundation/WinHandle.h"
#include "installer/ExtractArchive.h"
#include "installer/InstParams.h"
#include "installer/RarStream.h"

namespace {

const int kRounds = 5;
const double kTarget = 1.05;
const char *const kOursFolder = "rar_bench_ours";
const char *const kLibraryFolder = "rar_bench_library";

double Now()
{
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return double(t.QuadPart) / double(frequency.QuadPart);
}

// A Unix path of the build is reached through Wine's Z: drive.
std::string WindowsPath(std::string path)
{
    if (!path.empty() && path[0] == '/')
        path = "Z:" + path;
    std::replace(path.begin(), path.end(), '/', '\\');
    return path;
}

std::string FullPath(const std::string &relative)
{
    wchar_t buffer[MAX_PATH];
    DWORD length = GetFullPathNameW(AnsiToWide(relative).c_str(), MAX_PATH, buffer, nullptr);
    return length > 0 && length < MAX_PATH ? WideToAnsi(std::wstring(buffer, length)) : relative;
}

bool ReadWholeFile(const std::string &path, std::string &bytes)
{
    Mirelta::TWinHandle file(CreateFileW(AnsiToWide(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                         OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER size;
    if (!file.IsValid() || !GetFileSizeEx(file.Get(), &size))
        return false;
    bytes.assign(static_cast<size_t>(size.QuadPart), '\0');
    size_t done = 0;
    while (done < bytes.size()) {
        DWORD read = 0;
        DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1u << 24));
        if (!ReadFile(file.Get(), &bytes[done], chunk, &read, nullptr) || read == 0)
            return false;
        done += read;
    }
    return true;
}

void FreshFolder(const std::string &folder)
{
    DeleteTree(folder, true, true, true);
    CreateDirectoryW(AnsiToWide(folder).c_str(), nullptr);
}

// Seconds from reading the archive to its last entry written; -1 on failure.
double RunOurs(const std::string &archive, const std::string &folder)
{
    FreshFolder(folder);
    TInstParams settings;
    settings.target_folder = folder;
    const double start = Now();
    std::string payload;
    if (!ReadWholeFile(archive, payload))
        return -1;
    ExtractArchiveFromMemory(settings, payload.data(), static_cast<unsigned>(payload.size()), "FILES");
    return Now() - start;
}

// The same for the library's own extraction from the file.
double RunLibrary(const std::string &archive, const std::string &folder)
{
    FreshFolder(folder);
    std::wstring arcName = AnsiToWide(archive);
    std::wstring dest = AnsiToWide(folder);
    RAROpenArchiveDataEx record = {};
    record.ArcNameW = &arcName[0];
    record.OpenMode = RAR_OM_EXTRACT;
    const double start = Now();
    HANDLE handle = RAROpenArchiveEx(&record);
    if (handle == nullptr || record.OpenResult != ERAR_SUCCESS)
        return -1;
    RARHeaderDataEx header = {};
    int code;
    while ((code = RARReadHeaderEx(handle, &header)) == ERAR_SUCCESS) {
        if (RARProcessFileW(handle, RAR_EXTRACT, &dest[0], nullptr) != ERAR_SUCCESS) {
            code = -1;
            break;
        }
    }
    RARCloseArchive(handle);
    const double seconds = Now() - start;
    return code == ERAR_END_ARCHIVE ? seconds : -1;
}

// The entries below a folder, relative to it, sorted; folders end in a backslash.
std::vector<std::string> Entries(const std::string &folder)
{
    std::vector<std::string> list;
    ListDirectory(list, folder, "*.*", true, true);
    const size_t prefix = IncludeTrailingBackslash(folder).size();
    for (std::string &path : list) {
        const DWORD attributes = GetFileAttributesW(AnsiToWide(path).c_str());
        path = path.substr(prefix);
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
            path = IncludeTrailingBackslash(path);
    }
    std::sort(list.begin(), list.end());
    return list;
}

// Whether both folders hold the same entries and every file the same bytes;
// otherwise difference names the first entry that differs.
bool SameTrees(const std::string &a, const std::string &b, unsigned &entries, unsigned long long &bytes,
               std::string &difference)
{
    const std::vector<std::string> listA = Entries(a);
    const std::vector<std::string> listB = Entries(b);
    entries = static_cast<unsigned>(listA.size());
    bytes = 0;
    const auto mismatch = std::mismatch(listA.begin(), listA.end(), listB.begin(), listB.end());
    if (mismatch.first != listA.end() || mismatch.second != listB.end()) {
        difference = mismatch.first != listA.end() ? *mismatch.first : *mismatch.second;
        return false;
    }
    std::string bytesA, bytesB;
    for (const std::string &entry : listA) {
        if (!entry.empty() && entry.back() == '\\')
            continue;
        const bool read = ReadWholeFile(IncludeTrailingBackslash(a) + entry, bytesA) &&
                          ReadWholeFile(IncludeTrailingBackslash(b) + entry, bytesB);
        if (!read || bytesA != bytesB) {
            difference = entry;
            return false;
        }
        bytes += bytesA.size();
    }
    return true;
}

std::string Rounds(const std::vector<double> &times)
{
    std::string text;
    char number[32];
    for (double t : times) {
        std::snprintf(number, sizeof number, " %.3f", t);
        text += number;
    }
    return text;
}

} // namespace

int main()
{
    const std::string archive = WindowsPath(BENCH_PAYLOAD_RAR);
    const std::string ours = FullPath(kOursFolder);
    const std::string library = FullPath(kLibraryFolder);

    std::vector<double> oursTimes, libraryTimes;
    try {
        for (int round = 0; round < kRounds; ++round) {
            for (int turn = 0; turn < 2; ++turn) {
                if ((round + turn) % 2 == 0) {
                    const double t = RunLibrary(archive, library);
                    if (t < 0) {
                        std::printf("the library could not extract %s\n", archive.c_str());
                        return 1;
                    }
                    libraryTimes.push_back(t);
                } else {
                    const double t = RunOurs(archive, ours);
                    if (t < 0) {
                        std::printf("cannot read %s\n", archive.c_str());
                        return 1;
                    }
                    oursTimes.push_back(t);
                }
            }
        }
    } catch (const std::exception &error) {
        std::printf("ExtractArchive failed: %s\n", error.what());
        return 1;
    }

    unsigned entries = 0;
    unsigned long long bytes = 0;
    std::string difference;
    const bool same = SameTrees(ours, library, entries, bytes, difference);
    DeleteTree(ours, true, true, true);
    DeleteTree(library, true, true, true);

    const double best = *std::min_element(oursTimes.begin(), oursTimes.end());
    const double bestLibrary = *std::min_element(libraryTimes.begin(), libraryTimes.end());
    std::printf("payload: %s\n", archive.c_str());
    std::printf("ours (read the file, ExtractArchiveFromMemory):  %.3f s  (rounds:%s)\n", best,
                Rounds(oursTimes).c_str());
    std::printf("library (its own extraction from the file):       %.3f s  (rounds:%s)\n", bestLibrary,
                Rounds(libraryTimes).c_str());
    if (!same) {
        std::printf("the two extractions differ at %s\n", difference.c_str());
        return 1;
    }
    std::printf("both made the same %u entries, %llu bytes of files, byte for byte\n", entries, bytes);
    const double ratio = best / bestLibrary;
    std::printf("ratio ours/library: %.3f (target <= %.2f) %s\n", ratio, kTarget, ratio <= kTarget ? "OK" : "SLOWER");
    return 0;
}
