// Helpers of the installation-step tests: a private folder tree on disk, whole
// files, the helper programs built beside the test program, and a settings
// object with its folders pointed into the tree.
#pragma once

#include <string>

#include "installer/InstParams.h"

namespace StepsTest {

// A new empty folder under the temporary folder, deleted with its content
// when the object ends. Path() has no trailing backslash.
class TTempFolder {
public:
    TTempFolder();
    ~TTempFolder();
    TTempFolder(const TTempFolder &) = delete;
    TTempFolder &operator=(const TTempFolder &) = delete;

    const std::string &Path() const { return path_; }
    // Path() + "\\" + relative.
    std::string operator/(const std::string &relative) const { return path_ + "\\" + relative; }

private:
    std::string path_;
};

// The file's bytes; "" when it cannot be read.
std::string ReadFileBytes(const std::string &path);
// Creates the file (and its folders) with the bytes; false on failure.
bool WriteFileBytes(const std::string &path, const std::string &bytes);
// Full Windows path of a test archive: the RAR 5 ones (rar5_*.rar) the build
// makes in its testdata/rar folder, the others scripts/bootstrap puts in
// third_party/testdata/rar.
std::wstring TestArchivePath(const wchar_t *name);
// Reads the whole file into bytes; false when it cannot be read.
bool ReadWholeFile(const std::wstring &path, std::string &bytes);
// The bytes of a test archive (TestArchivePath); a missing one is a test
// failure that names its path.
std::string TestArchive(const wchar_t *name);
// zlib's CRC-32 of the bytes.
unsigned Crc32(const std::string &bytes);
// Full path of a helper program (vxchild_exit, vxchild_marker...) beside the
// test program.
std::string HelperProgram(const std::string &name);
// Source literals are UTF-8; the program's text is ANSI.
std::string A(const char *utf8);
// The log's lines after Begin's header, as written (UTF-8).
Mirelta::string_vector LogEntries(const TInstParams &params);

// The drive of the full-disk tests (suites named SmallDrive...): a small file
// system of 4096-byte pages that tests/installer/small_drive.sh mounts for
// them and names in SETUP_SMALL_DRIVE. The object works in a new folder of
// its own on the drive and deletes that folder, and nothing else, when it
// ends. A SETUP_SMALL_DRIVE that names no drive of at most MostBytes fails
// the test at once (a fatal failure: its body does not run) and is left
// alone.
class TSmallDrive {
public:
    TSmallDrive();
    ~TSmallDrive();
    TSmallDrive(const TSmallDrive &) = delete;
    TSmallDrive &operator=(const TSmallDrive &) = delete;

    // The test's folder on the drive, without a trailing backslash; "" when
    // the tests run without the drive.
    const std::string &Path() const { return path_; }
    // Fills the drive with a file of its own until exactly freePages pages
    // stay free; false when the drive does not end up so, and at once when
    // there is no small drive.
    bool Fill(unsigned freePages);

    // Why a test is skipped without the drive.
    static const char *const Missing;
    // The size of the largest drive taken for the small one.
    static constexpr unsigned long long MostBytes = 1024 * 1024;

private:
    // Whether folder lies on a drive of at most MostBytes.
    static bool IsSmall(const std::string &folder);

    std::string path_;
};

} // namespace StepsTest
