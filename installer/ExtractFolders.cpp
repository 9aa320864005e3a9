#include "installer/ExtractFolders.h"

#include <windows.h>

#include <cwchar>
#include <utility>
#include <vector>

#include "foundation/VxPath.h"
#include "foundation/VxText.h"
#include "foundation/WinHandle.h"
#include "installer/ExtractArchive.h"
#include "installer/InstParams.h"

namespace {

std::wstring UpperKey(std::wstring text)
{
    if (!text.empty())
        CharUpperBuffW(&text[0], static_cast<DWORD>(text.size()));
    return text;
}

// A device name, with or without an extension (the part before the first
// dot counts, in any case): CON, PRN, AUX, NUL, COM0-COM9 and LPT0-LPT9,
// which the library writes under "_" and the name; COM and LPT with a
// superscript 1, 2 or 3, which Windows takes for ports too; and the
// console's CONIN$ and CONOUT$, which the system may open as the console
// instead of a file. Where such an entry lands is the library's or the
// system's choice, not its name.
bool IsDeviceName(const std::wstring &path, size_t start, size_t end)
{
    static const wchar_t *const devices[] = {L"CON",  L"PRN",  L"AUX",    L"NUL",
                                             L"COM#", L"LPT#", L"CONIN$", L"CONOUT$"};
    size_t stem = start;
    while (stem < end && path[stem] != L'.')
        ++stem;
    if (stem - start < 3 || stem - start > 7)
        return false;
    std::wstring name = path.substr(start, stem - start);
    CharUpperBuffW(&name[0], static_cast<DWORD>(name.size()));
    for (const wchar_t *device : devices) {
        size_t i = 0;
        for (; device[i] != L'\0' && i < name.size(); ++i) {
            const wchar_t c = name[i];
            const bool digit = (c >= L'0' && c <= L'9') || c == 0xB9 || c == 0xB2 || c == 0xB3;
            if (device[i] == L'#' ? !digit : device[i] != c)
                break;
        }
        if (device[i] == L'\0' && i == name.size())
            return true;
    }
    return false;
}

// Whether a component of a relative path may reach a file of another
// spelling: empty or ".", trimmed by Windows (a trailing dot or blank),
// rewritten by the library (a character not allowed in file names, a device
// name) or an 8.3 alias. A folder's trailing backslash does not count.
bool AnyMayAlias(const std::wstring &path)
{
    size_t end = path.size();
    if (end > 0 && path[end - 1] == L'\\')
        --end;
    size_t start = 0;
    for (size_t i = 0; i <= end; ++i) {
        if (i == end || path[i] == L'\\') {
            if (i == start || path[i - 1] == L'.' || path[i - 1] == L' ' || IsDeviceName(path, start, i))
                return end > 0;
            start = i + 1;
        } else if (path[i] < 0x20 || std::wcschr(L"~/:*?\"<>|", path[i]) != nullptr) {
            return true;
        }
    }
    return false;
}

// Where the name begins in an entry name: after its last backslash.
size_t NameStart(const std::wstring &entryName)
{
    const size_t slash = entryName.rfind(L'\\');
    return slash == std::wstring::npos ? 0 : slash + 1;
}

// key := the upper-case form of text from start on, in a buffer that is kept.
void UpperInto(std::wstring &key, const std::wstring &text, size_t start)
{
    key.assign(text, start, std::wstring::npos);
    if (!key.empty())
        CharUpperBuffW(&key[0], static_cast<DWORD>(key.size()));
}

// Splits a relative path after its last folder: "a\b\c" and "a\b\c\" give
// "a\b\" and "c"; a name at the root gives "".
void SplitLast(std::wstring path, std::wstring &folder, std::wstring &name)
{
    if (!path.empty() && path.back() == L'\\')
        path.pop_back();
    const size_t slash = path.rfind(L'\\');
    folder = slash == std::wstring::npos ? std::wstring() : path.substr(0, slash + 1);
    name = slash == std::wstring::npos ? path : path.substr(slash + 1);
}

} // namespace

TExtractFolders::TExtractFolders(const std::string &root)
    : root_(AnsiToWide(IncludeTrailingBackslash(root))), rootText_(IncludeTrailingBackslash(root))
{
}

TExtractFolders::TFolder TExtractFolders::List(const std::wstring &folder)
{
    TFolder listed;
    WIN32_FIND_DATAW data;
    Mirelta::TFindHandle find(FindFirstFileW((root_ + folder + L"*").c_str(), &data));
    if (!find.IsValid()) {
        // A folder that is not there holds nothing; one that cannot be read
        // may hold anything.
        const DWORD error = GetLastError();
        listed.known = error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
        return listed;
    }
    listed.exists = true;
    do {
        // A link already in place may make two folders one.
        if (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)
            trusted_ = false;
        listed.names.insert(UpperKey(data.cFileName));
        if (data.cAlternateFileName[0] != L'\0')
            listed.names.insert(UpperKey(data.cAlternateFileName));
    } while (FindNextFileW(find.Get(), &data));
    return listed;
}

TExtractFolders::TFolder &TExtractFolders::Find(const std::wstring &folder)
{
    const std::wstring key = UpperKey(folder);
    auto found = folders_.find(key);
    if (found != folders_.end())
        return found->second;

    TFolder entry;
    if (folder.empty()) {
        entry = List(folder);
    } else {
        std::wstring parent, name;
        SplitLast(folder, parent, name);
        const TFolder &up = Find(parent);
        if (!up.known)
            entry.known = false;
        else if (up.exists && up.names.count(UpperKey(name)) != 0)
            entry = List(folder);
        // Otherwise the folder is not there (yet): empty.
    }
    return folders_.emplace(key, std::move(entry)).first->second;
}

void TExtractFolders::Made(const std::wstring &folder)
{
    if (AnyMayAlias(folder)) {
        trusted_ = false;
        return;
    }
    std::wstring current = folder;
    for (;;) {
        TFolder &entry = Find(current);
        const bool existed = entry.exists;
        entry.exists = true;
        if (existed || current.empty())
            return;
        std::wstring parent, name;
        SplitLast(current, parent, name);
        Find(parent).names.insert(UpperKey(name));
        current = parent;
    }
}

TExtractFolders::TFolder &TExtractFolders::FolderOf(const std::wstring &entryName, size_t nameStart)
{
    // Entries come folder by folder: the last folder is looked up again
    // without a key.
    if (last_ == nullptr || lastFolder_.size() != nameStart || entryName.compare(0, nameStart, lastFolder_) != 0) {
        lastFolder_.assign(entryName, 0, nameStart);
        last_ = &Find(lastFolder_);
    }
    return *last_;
}

bool TExtractFolders::MayExist(const std::wstring &entryName)
{
    if (!trusted_ || AnyMayAlias(entryName))
        return true;
    const size_t nameStart = NameStart(entryName);
    const TFolder &folder = FolderOf(entryName, nameStart);
    if (!folder.known)
        return true;
    if (!folder.exists)
        return false;
    UpperInto(key_, entryName, nameStart);
    return folder.names.count(key_) != 0;
}

void TExtractFolders::Added(const std::wstring &entryName)
{
    if (AnyMayAlias(entryName))
        trusted_ = false;
    if (!trusted_)
        return;
    const size_t nameStart = NameStart(entryName);
    TFolder &folder = FolderOf(entryName, nameStart);
    folder.exists = true;
    UpperInto(key_, entryName, nameStart);
    folder.names.insert(key_);
}

bool TExtractFolders::MakeMissing(TInstParams &settings, const std::string &folder)
{
    if (!trusted_ || folder.size() <= rootText_.size() || folder.compare(0, rootText_.size(), rootText_) != 0 ||
        AnyMayAlias(AnsiToWide(folder.substr(rootText_.size()))))
        return false;
    // Up from the folder to the first one that is there, each level on the
    // way known not to be there; innermost first, without the backslash.
    std::vector<std::string> missing;
    std::string current = ExcludeTrailingBackslash(folder);
    for (;;) {
        const std::string parent = ExtractFilePath(current);
        if (parent.size() < rootText_.size())
            return false;
        const TFolder &up = Find(AnsiToWide(parent.substr(rootText_.size())));
        if (!up.known || (up.exists && up.names.count(UpperKey(AnsiToWide(current.substr(parent.size())))) != 0))
            return false;
        missing.push_back(current);
        if (up.exists)
            break;
        if (parent.size() == rootText_.size())
            return false; // the root itself is not there
        current = ExcludeTrailingBackslash(parent);
    }
    // Down again, each logged as the folder chain logs it.
    for (size_t i = missing.size(); i-- > 0;) {
        if (!CreateDirectoryW(AnsiToWide(missing[i]).c_str(), nullptr))
            return false;
        settings.install_log.AddFolder(missing[i]);
    }
    return true;
}

bool TExtractFolders::Make(TInstParams &settings, const std::string &folder)
{
    if (made_.count(folder) != 0)
        return true;
    if (!MakeMissing(settings, folder) && !CreateFolderChain(settings, folder))
        return false;
    made_.insert(folder);
    if (folder.compare(0, rootText_.size(), rootText_) == 0)
        Made(AnsiToWide(folder.substr(rootText_.size())));
    else
        trusted_ = false;
    return true;
}
