#include "foundation/VxPath.h"

#include <windows.h>

#include "foundation/VxText.h"
#include "foundation/WinHandle.h"

namespace {

const unsigned ShortPathBufferSize = MAX_PATH + 1;

bool IsLetter(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

// A junction, a symbolic link or another reparse point.
bool IsLink(unsigned attributes)
{
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

// Writes all of text at the file's position; ERROR_SUCCESS, or the system's
// reason why it could not (a write that takes nothing counts as a full disk).
DWORD WriteWhole(HANDLE file, const std::string &text)
{
    const char *data = text.data();
    size_t left = text.size();
    while (left > 0) {
        const DWORD chunk = left > 0x10000000u ? 0x10000000u : static_cast<DWORD>(left);
        DWORD written = 0;
        if (!WriteFile(file, data, chunk, &written, nullptr))
            return GetLastError();
        if (written == 0)
            return ERROR_DISK_FULL;
        data += written;
        left -= written;
    }
    return ERROR_SUCCESS;
}

// The length of ExcludeTrailingBackslash of the path's first length bytes.
size_t ExcludedLength(const std::string &path, size_t length)
{
    if (length == 0 || path[length - 1] != '\\')
        return length;

    size_t root = 0;
    if (length >= 2 && path[0] == '\\' && path[1] == '\\')
        root = 2;
    else if (path[0] == '\\')
        root = 1;
    else if (length >= 3 && IsLetter(path[0]) && path[1] == ':' && path[2] == '\\')
        root = 3;

    size_t kept = length;
    while (kept > 0 && path[kept - 1] == '\\')
        --kept;
    return kept < root ? root : kept;
}

// Calls call(text) with text cut to its first length units for the time of
// the call, so that every prefix of one long path is used without a copy.
bool WithPrefix(std::wstring &text, size_t length, bool (*call)(const wchar_t *))
{
    const wchar_t kept = text[length];
    text[length] = L'\0';
    const bool result = call(text.c_str());
    text[length] = kept;
    return result;
}

bool IsFolderW(const wchar_t *name)
{
    const DWORD attributes = GetFileAttributesW(name);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool MakeFolderW(const wchar_t *name)
{
    return CreateDirectoryW(name, nullptr) != FALSE;
}

bool IsDotEntry(const std::string &name)
{
    return name == "." || name == "..";
}

// Calls visit(findData, name) for every entry matching pattern, in the order that
// Windows returns them; the observer is asked first at every entry.
template <class Visit>
void EnumerateEntries(const std::string &pattern, TVxDirectoryObserver *observer, Visit visit)
{
    WIN32_FIND_DATAW data;
    Mirelta::TFindHandle find(FindFirstFileW(AnsiToWide(pattern).c_str(), &data));
    if (!find.IsValid())
        return;
    do {
        if (observer && observer->WantsNotify())
            observer->OnEntry();
        visit(data, WideToAnsi(data.cFileName));
    } while (FindNextFileW(find.Get(), &data));
}

} // namespace

unsigned FileAttributes(const char *path)
{
    if (!path)
        return INVALID_FILE_ATTRIBUTES;
    return FileAttributes(std::string(path));
}

unsigned FileAttributes(const std::string &path)
{
    return GetFileAttributesW(AnsiToWide(path).c_str());
}

bool FileExists(const char *path)
{
    const unsigned attributes = FileAttributes(path);
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool FileExists(const std::string &path)
{
    return FileExists(path.c_str());
}

bool DirectoryExists(const char *path)
{
    const unsigned attributes = FileAttributes(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool DirectoryExists(const std::string &path)
{
    return DirectoryExists(path.c_str());
}

bool PathExists(const std::string &path, bool *isDirectory)
{
    const unsigned attributes = FileAttributes(path);
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return false;
    if (isDirectory)
        *isDirectory = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    return true;
}

std::string IncludeTrailingBackslash(const std::string &path)
{
    if (path.empty() || path.back() == '\\')
        return path;
    return path + '\\';
}

std::string ExcludeTrailingBackslash(const std::string &path)
{
    return path.substr(0, ExcludedLength(path, path.size()));
}

std::string ExtractFilePath(const std::string &path)
{
    const size_t slash = path.rfind('\\');
    if (slash == std::string::npos)
        return std::string();
    return path.substr(0, slash + 1);
}

std::string ExtractFileName(const std::string &path)
{
    const size_t slash = path.rfind('\\');
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    const size_t colon = name.find(':');
    if (colon != std::string::npos)
        name.erase(colon);
    return name;
}

bool IsAbsolutePath(const std::string &path)
{
    auto isSeparator = [&path](size_t i) { return i < path.size() && (path[i] == '\\' || path[i] == '/'); };
    if (isSeparator(0))
        return isSeparator(1);
    return path.size() >= 3 && IsLetter(path[0]) && path[1] == ':' && isSeparator(2);
}

std::string UpperCase(const std::string &text)
{
    std::wstring wide = AnsiToWide(text);
    if (!wide.empty())
        CharUpperBuffW(&wide[0], static_cast<DWORD>(wide.size()));
    return WideToAnsi(wide);
}

std::string LongPathName(const std::string &path)
{
    const std::wstring wide = AnsiToWide(path);
    wchar_t buffer[ShortPathBufferSize];
    const DWORD first = GetLongPathNameW(wide.c_str(), buffer, ShortPathBufferSize);
    if (first == 0)
        return path;
    if (first < ShortPathBufferSize)
        return WideToAnsi(std::wstring(buffer, first));

    vxwcharbuffer large(first + 1);
    const DWORD second = GetLongPathNameW(wide.c_str(), large.data(), first);
    if (second == 0 || second > first)
        return path;
    return WideToAnsi(std::wstring(large.data(), second));
}

bool ForceDirectories(const std::string &path, const TVxFolderCreated &created)
{
    if (path.empty())
        return false;
    const std::string folder = ExcludeTrailingBackslash(path);

    // The chain of folders that may have to be made, innermost first, as
    // lengths of prefixes of folder: each parent is ExcludeTrailingBackslash
    // of ExtractFilePath of its child. The chain stops below a name shorter
    // than three characters or a root, above which nothing is made. A chain
    // that runs out of backslashes first has no parent to stand on.
    std::vector<size_t> chain;
    bool rooted = true;
    size_t length = folder.size();
    while (length >= 3) {
        const size_t slash = folder.rfind('\\', length - 1);
        if (slash != std::string::npos && slash + 1 == length)
            break; // a root
        chain.push_back(length);
        if (slash == std::string::npos) {
            rooted = false;
            break;
        }
        length = ExcludedLength(folder, slash + 1);
    }

    // One wide copy, converted piece by piece between the chain's cuts, so
    // that the wide form of each folder of the chain is a prefix of it.
    std::wstring wide;
    std::vector<size_t> wideLength(chain.size());
    size_t converted = 0;
    for (size_t i = chain.size(); i-- > 0;) {
        wide += AnsiToWide(folder.substr(converted, chain[i] - converted));
        converted = chain[i];
        wideLength[i] = wide.size();
    }

    // Up from the folder itself to the first one that exists, then down
    // again making each folder below it; the first one refused ends the work.
    size_t missing = 0;
    while (missing < chain.size() && !WithPrefix(wide, wideLength[missing], IsFolderW))
        ++missing;
    if (missing == chain.size() && !rooted)
        return false;
    for (size_t i = missing; i-- > 0;) {
        if (!WithPrefix(wide, wideLength[i], MakeFolderW))
            return false;
        if (created)
            created(folder.substr(0, chain[i]));
    }
    return true;
}

bool FileCopy(const std::string &source, const std::string &target, bool failIfExists)
{
    return CopyFileW(AnsiToWide(source).c_str(), AnsiToWide(target).c_str(), failIfExists) != FALSE;
}

bool FileDelete(const std::string &path)
{
    return DeleteFileW(AnsiToWide(path).c_str()) != FALSE;
}

bool DirectoryRemove(const std::string &path)
{
    return RemoveDirectoryW(AnsiToWide(path).c_str()) != FALSE;
}

bool WriteStringToFile(const char *fileName, const std::string &text)
{
    if (!fileName) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    // Opened for deletion too: a file cut short goes through its own handle,
    // so that the name is not looked up again. Removed by name after the
    // close, it could be another file that has taken the name meanwhile, or,
    // under Wine, whatever a host link put there points to.
    Mirelta::TWinHandle file(CreateFileW(AnsiToWide(fileName).c_str(), GENERIC_READ | GENERIC_WRITE | DELETE, 0,
                                         nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return false;
    const DWORD error = WriteWhole(file.Get(), text);
    if (error == ERROR_SUCCESS)
        return true;
    // A file cut short (a full disk) would pass for the whole text.
    FILE_DISPOSITION_INFO disposition = {};
    disposition.DeleteFile = TRUE;
    SetFileInformationByHandle(file.Get(), FileDispositionInfo, &disposition, sizeof disposition);
    file.Close();
    SetLastError(error);
    return false;
}

void ListDirectory(std::vector<std::string> &list, const std::string &folder, const std::string &mask,
                   bool includeFolders, bool descend, TVxDirectoryObserver *observer)
{
    // A junction or a symbolic link leads out of the tree: nothing behind one is
    // listed, whether it is met inside the folder or is the folder itself.
    if (IsLink(FileAttributes(ExcludeTrailingBackslash(folder))))
        return;
    const std::string dir = IncludeTrailingBackslash(folder);

    if (includeFolders || descend) {
        EnumerateEntries(dir + "*.*", observer, [&](const WIN32_FIND_DATAW &data, const std::string &name) {
            if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) || IsDotEntry(name))
                return;
            // A link is listed, so that it can be removed, but never entered.
            if (descend && !IsLink(data.dwFileAttributes))
                ListDirectory(list, dir + name, mask, includeFolders, true, observer);
            if (includeFolders)
                list.push_back(dir + name);
        });
    }

    EnumerateEntries(dir + mask, observer, [&](const WIN32_FIND_DATAW &data, const std::string &name) {
        if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            list.push_back(dir + name);
    });
}

bool DeleteTree(const std::string &folder, bool deleteContents, bool removeFolder, bool descend,
                std::string *failedPath)
{
    auto fail = [failedPath](const std::string &path) {
        if (failedPath)
            *failedPath = path;
        return false;
    };
    // An empty name would list the current folder.
    if (folder.empty())
        return fail(folder);

    std::vector<std::string> entries;
    ListDirectory(entries, folder, "*.*", true, descend);
    if (!entries.empty() && !deleteContents)
        return fail(folder);

    for (const std::string &entry : entries) {
        if (FileExists(entry) && !FileDelete(entry))
            return fail(entry);
        if (DirectoryExists(entry) && !DirectoryRemove(entry))
            return fail(entry);
    }

    if (removeFolder && !DirectoryRemove(ExcludeTrailingBackslash(folder)))
        return fail(folder);
    return true;
}
