#include "StepsTestUtil.h"

#include <windows.h>
#include <zlib.h>

#include <cstdlib>

#include <gtest/gtest.h>

#include "foundation/VxPath.h"
#include "foundation/VxProcess.h"
#include "foundation/VxText.h"
#include "foundation/WinHandle.h"

namespace StepsTest {

TTempFolder::TTempFolder()
{
    wchar_t temp[MAX_PATH + 1] = {};
    GetTempPathW(MAX_PATH, temp);
    static unsigned counter = 0;
    for (;;) {
        path_ = IncludeTrailingBackslash(WideToAnsi(temp)) +
                FormatString("vxsteps_%lu_%u", GetCurrentProcessId(), ++counter);
        if (CreateDirectoryW(AnsiToWide(path_).c_str(), nullptr))
            break;
        if (GetLastError() != ERROR_ALREADY_EXISTS)
            break;
    }
}

TTempFolder::~TTempFolder()
{
    DeleteTree(path_, true, true, true);
}

namespace {

// A folder the build names (a host path under Wine's Z: drive, or a Windows one).
std::wstring WindowsFolder(const char *folder)
{
    std::wstring dir = AnsiToWide(folder);
    if (!dir.empty() && dir[0] == L'/')
        dir = L"Z:" + dir;
    for (wchar_t &c : dir) {
        if (c == L'/')
            c = L'\\';
    }
    return dir;
}

// A fatal failure of the running test: its body does not run after one in
// its fixture's construction or SetUp.
void FailFatally(const std::string &why)
{
    GTEST_FAIL() << why;
}

} // namespace

std::wstring TestArchivePath(const wchar_t *name)
{
    const bool built = std::wstring(name).compare(0, 5, L"rar5_") == 0;
    return WindowsFolder(built ? SETUP_BUILT_TESTDATA_DIR : SETUP_TESTDATA_DIR) + L"\\rar\\" + name;
}

bool ReadWholeFile(const std::wstring &path, std::string &bytes)
{
    Mirelta::TWinHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                         FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.IsValid())
        return false;
    LARGE_INTEGER size;
    if (!GetFileSizeEx(file.Get(), &size))
        return false;
    bytes.assign(static_cast<size_t>(size.QuadPart), '\0');
    DWORD read = 0;
    return bytes.empty() ||
           (ReadFile(file.Get(), &bytes[0], static_cast<DWORD>(bytes.size()), &read, nullptr) && read == bytes.size());
}

std::string TestArchive(const wchar_t *name)
{
    std::string bytes;
    const std::wstring path = TestArchivePath(name);
    EXPECT_TRUE(ReadWholeFile(path, bytes)) << "missing test archive " << WideToUtf8(path);
    return bytes;
}

unsigned Crc32(const std::string &bytes)
{
    return static_cast<unsigned>(
        crc32(0, reinterpret_cast<const Bytef *>(bytes.data()), static_cast<uInt>(bytes.size())));
}

std::string ReadFileBytes(const std::string &path)
{
    // A program that renames its file into place (a helper's marker) holds it
    // open for deletion until the rename is done, just after the file appears
    // under its name: without FILE_SHARE_DELETE the read would fail then.
    HANDLE file = CreateFileW(AnsiToWide(path).c_str(), GENERIC_READ,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING, 0,
                              nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return std::string();
    std::string bytes;
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0)
        bytes.append(buffer, got);
    CloseHandle(file);
    return bytes;
}

bool WriteFileBytes(const std::string &path, const std::string &bytes)
{
    ForceDirectories(ExtractFilePath(path));
    return WriteStringToFile(path.c_str(), bytes);
}

std::string HelperProgram(const std::string &name)
{
    return ExtractFilePath(GetModulePath(nullptr)) + name + ".exe";
}

std::string A(const char *utf8)
{
    const int length = MultiByteToWideChar(CP_UTF8, 0, utf8, -1, nullptr, 0);
    std::wstring wide(length > 0 ? length - 1 : 0, L'\0');
    if (length > 1)
        MultiByteToWideChar(CP_UTF8, 0, utf8, -1, &wide[0], length);
    return WideToAnsi(wide);
}

const char *const TSmallDrive::Missing = "needs the small drive that tests/installer/small_drive.sh mounts";

TSmallDrive::TSmallDrive()
{
    const char *drive = getenv("SETUP_SMALL_DRIVE");
    if (drive == nullptr || *drive == '\0')
        return;
    // A value that names a real disk must not have the tests fill it, nor
    // delete anything on it but the folder they made. The failure is fatal,
    // so that the test's body does not run without the drive.
    const std::string root = ExcludeTrailingBackslash(drive);
    if (!IsSmall(root)) {
        FailFatally(FormatString("SETUP_SMALL_DRIVE=%s names no drive of at most %llu bytes", drive, MostBytes));
        return;
    }
    static unsigned counter = 0;
    const std::string folder = root + FormatString("\\test-%lu-%u", GetCurrentProcessId(), ++counter);
    if (!CreateDirectoryW(AnsiToWide(folder).c_str(), nullptr)) {
        FailFatally(FormatString("cannot make %s on the small drive (error %lu)", folder.c_str(), GetLastError()));
        return;
    }
    path_ = folder;
}

bool TSmallDrive::IsSmall(const std::string &folder)
{
    ULARGE_INTEGER total = {};
    return !folder.empty() && GetDiskFreeSpaceExW(AnsiToWide(folder).c_str(), nullptr, &total, nullptr) &&
           total.QuadPart <= MostBytes;
}

TSmallDrive::~TSmallDrive()
{
    if (!path_.empty())
        DeleteTree(path_, true, true, true);
}

bool TSmallDrive::Fill(unsigned freePages)
{
    if (!IsSmall(path_))
        return false;
    const unsigned long long page = 4096;
    Mirelta::TWinHandle file(CreateFileW(AnsiToWide(path_ + "\\filler").c_str(), GENERIC_WRITE, 0, nullptr,
                                         CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.IsValid())
        return false;
    const std::string chunk(64 * 1024, '\0');
    DWORD written = 0;
    while (WriteFile(file.Get(), chunk.data(), static_cast<DWORD>(chunk.size()), &written, nullptr) &&
           written == chunk.size()) {
    }
    LARGE_INTEGER size;
    if (!GetFileSizeEx(file.Get(), &size))
        return false;
    const unsigned long long pages = (static_cast<unsigned long long>(size.QuadPart) + page - 1) / page;
    if (pages < freePages)
        return false;
    LARGE_INTEGER end;
    end.QuadPart = static_cast<LONGLONG>((pages - freePages) * page);
    if (!SetFilePointerEx(file.Get(), end, nullptr, FILE_BEGIN) || !SetEndOfFile(file.Get()))
        return false;
    file.Close();
    ULARGE_INTEGER available;
    return GetDiskFreeSpaceExW(AnsiToWide(path_).c_str(), &available, nullptr, nullptr) &&
           available.QuadPart == freePages * page;
}

Mirelta::string_vector LogEntries(const TInstParams &params)
{
    const Mirelta::string_vector &lines = params.install_log.Lines();
    Mirelta::string_vector entries;
    for (const std::string &line : lines) {
        if (line.compare(0, 7, "+File: ") == 0 || line.compare(0, 9, "+Folder: ") == 0 ||
            line.compare(0, 6, "+Reg: ") == 0)
            entries.push_back(line);
    }
    return entries;
}

} // namespace StepsTest
