#include "installer/ExtractArchive.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "foundation/StringIds.h"
#include "foundation/VxMessage.h"
#include "foundation/VxPath.h"
#include "foundation/VxStream.h"
#include "foundation/VxText.h"
#include "foundation/var_a.h"
#include "installer/ExtractFolders.h"
#include "installer/InstParams.h"
#include "installer/RarStream.h"

namespace {

const char CodeNoResource[] = "1";
const char CodeCannotOpen[] = "2";
const char CodeBadEntry[] = "3";
const char CodeBrokenHeader[] = "4";

// Kinds of link entries as the library reports them in RedirType.
enum : unsigned {
    RedirNone = 0,
    RedirUnixSymlink = 1,
    RedirWinSymlink = 2,
    RedirJunction = 3,
    RedirHardLink = 4,
    RedirFileCopy = 5,
};

const size_t ArcNameSize = 1024;
const size_t CommentSize = 16384;
const size_t RedirNameSize = 1024;
// The longest path that the library writes whole: its room less the
// terminating zero and the long form at a share ("\\?\UNC" before the
// share's path without its first backslash).
const size_t MaxLibraryPath = RarPathSize - 1 - 6;

[[noreturn]] void ThrowDamaged(const char *code)
{
    throw Mirelta::TVxMessage(IDS_INSTALLER_DAMAGED) << code;
}

// Makes a folder below the target (with its trailing backslash); 30020 when
// it cannot be made.
void MakeFolder(TInstParams &settings, TExtractFolders &folders, const std::string &folder)
{
    if (!folders.Make(settings, folder))
        throw Mirelta::TVxMessage(IDS_CREATE_FOLDER_FAILED) << folder;
}

// Extracts the current entry, which the library writes to path. A file that
// the system would not let the library create or write (a full disk, a
// folder it may not write) is reported with the system's reason; anything
// else that stops the entry is damage.
void ExtractEntry(HANDLE archive, std::wstring &dest, const std::string &path)
{
    const int result = RARProcessFileW(archive, RAR_EXTRACT, &dest[0], nullptr);
    if (result == 0)
        return;
    const DWORD error = GetLastError();
    if ((result == ERAR_ECREATE || result == ERAR_EWRITE) && error != 0)
        throw Mirelta::TVxMessage(IDS_WRITE_FILE_FAILED) << path << SystemErrorText(error);
    ThrowDamaged(CodeBadEntry);
}

bool IsSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

// Whether the library writes an entry of nameLength characters (name its
// first ones) below the folder dest under its full path: the folder, a
// backslash and the name, and room for the "_" the library puts before each
// part of the path that reads as a device name (AUX, CON...). A name that the
// library cut itself is as long as its room, too long below any folder.
bool FitsTheLibrary(const std::wstring &dest, const std::wstring &name, size_t nameLength)
{
    const size_t parts = 2 + std::count_if(dest.begin(), dest.end(), IsSeparator) +
                         std::count_if(name.begin(), name.end(), IsSeparator);
    return dest.size() + 1 + nameLength + parts <= MaxLibraryPath;
}

// The components of a name split at either separator, empty ones included.
std::vector<std::wstring> SplitName(const std::wstring &name)
{
    std::vector<std::wstring> parts(1);
    for (wchar_t c : name) {
        if (IsSeparator(c))
            parts.emplace_back();
        else
            parts.back() += c;
    }
    return parts;
}

// "..", and what Windows reads as it: dots and blanks with two dots or more.
bool IsParentReference(const std::wstring &part)
{
    size_t dots = 0;
    for (wchar_t c : part) {
        if (c == L'.')
            ++dots;
        else if (c != L' ')
            return false;
    }
    return dots >= 2;
}

// Whether a folder on the way from root to entryName is a link already: a
// link target with ".." is only judged right when the path to the link is
// made of real folders.
bool HasLinkOnPath(const std::string &root, const std::wstring &entryName)
{
    std::wstring path = AnsiToWide(IncludeTrailingBackslash(root));
    std::vector<std::wstring> parts = SplitName(entryName);
    parts.pop_back();
    for (const std::wstring &part : parts) {
        if (part.empty())
            continue;
        path += part;
        DWORD attributes = GetFileAttributesW(path.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT))
            return true;
        path += L'\\';
    }
    return false;
}

// Whether a link entry may be handed to the library. Hard links and copies
// name another entry of the archive; symbolic links and junctions must point
// inside the target folder. A link whose target the header does not carry
// (older archives keep it in the data) cannot be judged and is not made.
bool IsLinkAllowed(const std::string &root, const std::wstring &entryName, unsigned redirType,
                   const std::wstring &target)
{
    switch (redirType) {
    case RedirHardLink:
    case RedirFileCopy:
        return IsEntryNameConfined(target);
    case RedirUnixSymlink:
    case RedirWinSymlink:
        if (!IsLinkTargetConfined(entryName, target))
            return false;
        for (const std::wstring &part : SplitName(target)) {
            if (IsParentReference(part))
                return !HasLinkOnPath(root, entryName);
        }
        return true;
    default: // junctions always hold an absolute target
        return false;
    }
}

// Closes the library's archive however the extraction ends.
class TRarArchive {
public:
    explicit TRarArchive(HANDLE handle) : handle_(handle) {}
    ~TRarArchive() { Close(); }
    TRarArchive(const TRarArchive &) = delete;
    TRarArchive &operator=(const TRarArchive &) = delete;

    HANDLE Get() const { return handle_; }
    void Close()
    {
        if (handle_ != nullptr)
            RARCloseArchive(handle_);
        handle_ = nullptr;
    }

private:
    HANDLE handle_;
};

// Percent of the archive lying before the stream's position.
int32_t PositionPercent(TVxStream &stream)
{
    unsigned size = stream.getSize();
    if (size == 0 || size == 0xFFFFFFFFu)
        return 0;
    return static_cast<int32_t>(static_cast<double>(stream.getPosition()) * 100.0 / size);
}

} // namespace

bool IsEntryNameConfined(const std::wstring &name)
{
    if (name.empty() || IsSeparator(name[0]) || name.find(L':') != std::wstring::npos)
        return false;
    for (const std::wstring &part : SplitName(name)) {
        if (IsParentReference(part))
            return false;
    }
    return true;
}

bool IsLinkTargetConfined(const std::wstring &entryName, const std::wstring &target)
{
    if (target.empty() || IsSeparator(target[0]) || target.find(L':') != std::wstring::npos)
        return false;
    std::vector<std::wstring> entryParts = SplitName(entryName);
    entryParts.pop_back(); // the link itself
    long depth = 0;
    for (const std::wstring &part : entryParts) {
        if (!part.empty() && part != L".")
            ++depth;
    }
    for (const std::wstring &part : SplitName(target)) {
        if (part.empty() || part == L".")
            continue;
        if (IsParentReference(part)) {
            if (--depth < 0)
                return false;
        } else {
            ++depth;
        }
    }
    return true;
}

bool CreateFolderChain(TInstParams &settings, const std::string &path)
{
    return ForceDirectories(path, [&settings](const std::string &folder) { settings.install_log.AddFolder(folder); });
}

void ExtractArchive(TInstParams &settings, std::string name)
{
    ExtractArchive(settings, GetModuleHandleW(nullptr), name);
}

void ExtractArchive(TInstParams &settings, HMODULE module, const std::string &name)
{
    if (module == nullptr)
        module = GetModuleHandleW(nullptr);
    HRSRC resource = FindResourceA(module, name.c_str(), MAKEINTRESOURCEA(10)); // RT_RCDATA
    if (resource == nullptr)
        ThrowDamaged(CodeNoResource);
    HGLOBAL loaded = LoadResource(module, resource);
    const void *data = LockResource(loaded);
    DWORD size = SizeofResource(module, resource);
    ExtractArchiveFromMemory(settings, data, size, name);
}

void ExtractArchiveFromMemory(TInstParams &settings, const void *data, unsigned size, const std::string &name)
{
    // Read mode: the library can never write into the resource's memory.
    TVxFixedMemStream stream(const_cast<void *>(data), size, TVxFixedMemStream::omRead);

    std::vector<char> arcName(ArcNameSize, '\0');
    std::strncpy(arcName.data(), name.c_str(), ArcNameSize - 1);
    std::vector<char> comment(CommentSize);

    RAROpenArchiveDataStream record;
    record.stream = unowned_var_a<TVxStream>(&stream);
    record.Data.ArcName = arcName.data();
    record.Data.ArcNameW = nullptr;
    record.Data.OpenMode = RAR_OM_EXTRACT;
    record.Data.CmtBuf = comment.data();
    record.Data.CmtBufSize = static_cast<unsigned>(comment.size());

    TRarArchive archive(RAROpenArchiveEx(&record));
    if (record.Data.OpenResult != 0)
        ThrowDamaged(CodeCannotOpen);

    const std::string root = settings.target_folder;
    const std::string rootPrefix = IncludeTrailingBackslash(root);
    std::wstring dest = AnsiToWide(root);
    const std::string copyingFormat = LoadResStdString(IDS_STATE_COPYING);

    TExtractFolders folders(root);
    std::unique_ptr<RARHeaderDataEx> header(new RARHeaderDataEx());
    std::vector<wchar_t> redirName(RedirNameSize);
    std::vector<wchar_t> fullName(RarPathSize);
    header->CmtBuf = nullptr;

    int code;
    for (;;) {
        redirName[0] = L'\0';
        header->RedirName = redirName.data();
        header->RedirNameSize = static_cast<unsigned>(redirName.size());
        code = RARReadHeaderEx(archive.Get(), header.get());
        if (code != 0)
            break;

        // The header's own field holds the first 1,024 characters only.
        const unsigned nameLength = RARGetFileNameW(archive.Get(), fullName.data(), RarPathSize);
        std::wstring entryName(fullName.data(), std::min<size_t>(nameLength, RarPathSize - 1));
        if (!IsEntryNameConfined(entryName))
            ThrowDamaged(CodeBadEntry);
        std::string path = rootPrefix + WideToAnsi(entryName);
        if (!FitsTheLibrary(dest, entryName, nameLength))
            throw Mirelta::TVxMessage(IDS_ENTRY_NAME_TOO_LONG) << ExtractFileName(path);

        if (header->Flags & RHDF_DIRECTORY) {
            // An empty folder of the payload belongs to the product as much
            // as a file does.
            MakeFolder(settings, folders, IncludeTrailingBackslash(path));
            continue;
        }

        if (header->RedirType != RedirNone &&
            !IsLinkAllowed(root, entryName, header->RedirType, std::wstring(redirName.data()))) {
            if (RARProcessFileW(archive.Get(), RAR_SKIP, nullptr, nullptr) != 0)
                ThrowDamaged(CodeBadEntry);
            continue;
        }
        if (header->RedirType != RedirNone)
            folders.Distrust();

        if (folders.MayExist(entryName) && FileExists(path)) {
            FileDelete(path);
            if (FileExists(path))
                throw Mirelta::TVxMessage(IDS_DELETE_FILE_FAILED) << path;
        }
        // Without a sink the text would go nowhere: it is not made.
        if (settings.progress_sink != nullptr)
            settings.State(FormatString(copyingFormat.c_str(), ExtractFileName(path).c_str()));
        settings.Progress(PositionPercent(stream));

        MakeFolder(settings, folders, ExtractFilePath(path));

        settings.install_log.AddFile(path);
        folders.Added(entryName);
        ExtractEntry(archive.Get(), dest, path);
    }
    archive.Close();
    // Anything but the normal end (a broken or cut-off header, a read or
    // seek beyond the payload, a missing volume or password) is damage:
    // the entries after it were never seen.
    if (code != ERAR_END_ARCHIVE)
        ThrowDamaged(CodeBrokenHeader);
}
