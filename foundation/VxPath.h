// Paths, folders and files: free functions over std::string paths in the ANSI code
// page. Every Windows file call goes through the wide function after AnsiToWide, so
// any path the code page can express (escapes included) works. The separator is the
// backslash only. Nothing here throws except on allocation failure: actions answer
// with bool, the attribute query with INVALID_FILE_ATTRIBUTES when the path is missing.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "foundation/vxwcharbuffer.h"

// Attribute word of the path, or INVALID_FILE_ATTRIBUTES (0xFFFFFFFF).
unsigned FileAttributes(const char *path);
unsigned FileAttributes(const std::string &path);
// The path exists and is not a folder.
bool FileExists(const char *path);
bool FileExists(const std::string &path);
// The path exists and is a folder.
bool DirectoryExists(const char *path);
bool DirectoryExists(const std::string &path);
// The path exists; isDirectory, when given, receives whether it is a folder (it is
// left alone when the path is missing).
bool PathExists(const std::string &path, bool *isDirectory = nullptr);

// Pure text functions; none of them touches the disk.
std::string IncludeTrailingBackslash(const std::string &path);
// Drops every trailing backslash, but keeps a root: "C:\", "\\" and "\".
std::string ExcludeTrailingBackslash(const std::string &path);
// Up to and including the last backslash; "" when there is none.
std::string ExtractFilePath(const std::string &path);
// After the last backslash, cut before a ':' (drive letter or stream name).
std::string ExtractFileName(const std::string &path);
// Whether the path is absolute: a drive letter, ':' and a separator ("C:\..."), or
// two separators (a share, "\\server\..."). Here '/' counts as a separator too, as
// it does for the system; "C:name" and "\name" depend on the current folder.
bool IsAbsolutePath(const std::string &path);
// The text upper-cased by the system's rules.
std::string UpperCase(const std::string &text);

// The long form of an existing path; the path unchanged when it cannot be had.
std::string LongPathName(const std::string &path);

// Called with each folder that ForceDirectories makes.
typedef std::function<void(const std::string &folder)> TVxFolderCreated;

// Creates the folder and its missing parents, outermost first, calling created
// (when given) after each one it makes. True also when it exists already, and for
// paths shorter than three characters (nothing is created then). False as soon as
// the system refuses a folder; the ones made before it stay. Works in one pass up
// and one down, without recursion, so a path of any depth costs memory in
// proportion to its length.
bool ForceDirectories(const std::string &path, const TVxFolderCreated &created = nullptr);
bool FileCopy(const std::string &source, const std::string &target, bool failIfExists);
bool FileDelete(const std::string &path);
// Removes an empty folder (or a link to a folder).
bool DirectoryRemove(const std::string &path);
// Creates or replaces the file with exactly the text's bytes. False when it
// could not, with the system's reason as the last error; a file it could not
// write whole (a full disk) is deleted through its own handle, so that
// nothing that takes the name meanwhile is touched. The file is opened for
// deletion as well as for writing.
bool WriteStringToFile(const char *fileName, const std::string &text);

// Watches a listing: at every entry found, WantsNotify is asked and, on yes,
// OnEntry is called.
class TVxDirectoryObserver {
public:
    virtual ~TVxDirectoryObserver() = default;
    virtual bool WantsNotify() = 0;
    virtual void OnEntry() = 0;
};

// Appends full paths of a folder's entries to list, unsorted, in the order Windows
// returns them. Files are matched against mask; folders (all of them) are added when
// includeFolders is set. With descend, each sub-folder's contents come before the
// sub-folder itself, and sub-folders before the folder's own files. A link to a
// folder (a reparse point) is listed like a folder but never entered; a folder that
// is itself a link adds nothing. A missing or unreadable folder adds nothing.
void ListDirectory(std::vector<std::string> &list, const std::string &folder, const std::string &mask,
                   bool includeFolders, bool descend, TVxDirectoryObserver *observer = nullptr);

// Deletes the entries of folder (with descend, the whole tree below it) and, with
// removeFolder, the folder itself. Without deleteContents a non-empty folder fails at
// once. Links are removed, never followed: nothing behind a link inside the tree, or
// behind folder when it is a link itself, is touched. On failure, failedPath (when
// given) receives the path at which the work stopped. An empty folder name fails
// without touching anything.
bool DeleteTree(const std::string &folder, bool deleteContents, bool removeFolder, bool descend,
                std::string *failedPath = nullptr);
