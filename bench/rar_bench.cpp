// Payload extraction against the RAR library's own command-line extractor
// built from the same source with the same toolchain: the generated
// bench_payload.rar (312 entries, 73 MB unpacked) is unpacked into a fresh
// folder by ExtractArchive from memory (as from the "FILES" resource) and by
// "unrar x" from the file, alternately, three rounds; the better round of each
// side counts. Prints both times and the ratio ours/baseline (target: at most
// 1.05), and checks that both sides produced the same files.
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

namespace {

const int kRounds = 3;
const double kTarget = 1.05;
const char *const kOursFolder = "rar_bench_ours";
const char *const kBaselineFolder = "rar_bench_unrar";

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

// Entries and bytes below a folder.
void Measure(const std::string &folder, unsigned &entries, unsigned long long &bytes)
{
    std::vector<std::string> list;
    ListDirectory(list, folder, "*.*", true, true);
    entries = static_cast<unsigned>(list.size());
    bytes = 0;
    for (const std::string &path : list) {
        WIN32_FILE_ATTRIBUTE_DATA data;
        if (GetFileAttributesExW(AnsiToWide(path).c_str(), GetFileExInfoStandard, &data) &&
            !(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            bytes += (static_cast<unsigned long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    }
}

double RunOurs(const std::string &payload, const std::string &folder)
{
    FreshFolder(folder);
    TInstParams settings;
    settings.target_folder = folder;
    double start = Now();
    ExtractArchiveFromMemory(settings, payload.data(), static_cast<unsigned>(payload.size()), "FILES");
    return Now() - start;
}

double RunBaseline(const std::string &unrar, const std::string &archive, const std::string &folder)
{
    FreshFolder(folder);
    // The folder's trailing backslash is doubled so that it does not escape
    // the closing quote.
    std::wstring commandLine = AnsiToWide("\"" + unrar + "\" x -idq -y \"" + archive + "\" \"" +
                                          IncludeTrailingBackslash(folder) + "\\\"");
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info = {};
    double start = Now();
    if (!CreateProcessW(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info))
        return -1;
    Mirelta::TWinHandle process(info.hProcess);
    Mirelta::TWinHandle thread(info.hThread);
    WaitForSingleObject(process.Get(), INFINITE);
    double seconds = Now() - start;
    DWORD code = 1;
    GetExitCodeProcess(process.Get(), &code);
    return code == 0 ? seconds : -1;
}

} // namespace

int main()
{
    const std::string archive = WindowsPath(BENCH_PAYLOAD_RAR);
    const std::string unrar = WindowsPath(UNRAR_CLI_EXE);
    const std::string ours = FullPath(kOursFolder);
    const std::string baseline = FullPath(kBaselineFolder);

    std::string payload;
    double readStart = Now();
    if (!ReadWholeFile(archive, payload)) {
        std::printf("cannot read %s\n", archive.c_str());
        return 1;
    }
    double readSeconds = Now() - readStart;

    double best = 1e30;
    double bestBaseline = 1e30;
    try {
        for (int round = 0; round < kRounds; ++round) {
            double b = RunBaseline(unrar, archive, baseline);
            if (b < 0) {
                std::printf("unrar x failed (%s)\n", unrar.c_str());
                return 1;
            }
            bestBaseline = std::min(bestBaseline, b);
            best = std::min(best, RunOurs(payload, ours));
        }
    } catch (const std::exception &error) {
        std::printf("ExtractArchive failed: %s\n", error.what());
        return 1;
    }

    unsigned oursEntries = 0, baselineEntries = 0;
    unsigned long long oursBytes = 0, baselineBytes = 0;
    Measure(ours, oursEntries, oursBytes);
    Measure(baseline, baselineEntries, baselineBytes);
    DeleteTree(ours, true, true, true);
    DeleteTree(baseline, true, true, true);

    std::printf("payload: %zu bytes packed, read into memory in %.3f s (not counted)\n", payload.size(),
                readSeconds);
    std::printf("ExtractArchive: %.3f s  (%u entries, %llu bytes)\n", best, oursEntries, oursBytes);
    std::printf("unrar x:        %.3f s  (%u entries, %llu bytes)\n", bestBaseline, baselineEntries,
                baselineBytes);
    double ratio = best / bestBaseline;
    std::printf("ratio ours/unrar: %.3f (target <= %.2f) %s\n", ratio, kTarget, ratio <= kTarget ? "OK" : "SLOWER");
    if (oursEntries != baselineEntries || oursBytes != baselineBytes) {
        std::printf("the two extractions differ\n");
        return 1;
    }
    return 0;
}
