// TExtractFolders: what one payload extraction knows of the folders below its
// target folder, so that a file entry costs no file-system lookup beyond the
// library's own.
//
// A folder is made (CreateFolderChain) once for all the files it receives, not
// once per file; folders known not to be there are made without looking for
// them first. The existence test that comes before a file is written (and
// deletes an older copy) is needed only when the entry's name may be taken.
// That is known without a lookup: the target folder is listed once, a folder
// that its parent lists is listed the first time an entry goes there, and a
// folder that its parent does not hold is empty until the extraction makes it
// and writes into it. A lookup for a name that is not there is the costly
// kind (the file system, and Wine above all, searches the folder for the name
// in another case), and in a fresh installation every file's test would be
// one. Names compare without regard to case, and a listing counts 8.3 aliases
// too. Entries whose names Windows or the library may store under another
// spelling (a "~" alias, a trailing dot or blank, a character not allowed in
// file names, a device name such as AUX, COM0 or CONOUT$, an empty or "."
// folder) are always tested; once one of them has been written, or a link
// entry, or a link has been seen in a folder listed, every entry is: links
// and file copies write where the library decides.
#pragma once

#include <map>
#include <set>
#include <string>

class TInstParams;

class TExtractFolders {
public:
    // root: the target folder the entries are extracted into.
    explicit TExtractFolders(const std::string &root);

    // Whether a file may already lie where the entry (its name as the archive
    // holds it, relative to the root) is to be written.
    bool MayExist(const std::wstring &entryName);
    // The extraction writes the entry.
    void Added(const std::wstring &entryName);
    // From now on every entry may exist.
    void Distrust() { trusted_ = false; }

    // CreateFolderChain(settings, folder) once per folder text (a path below
    // the root, with its trailing backslash); once it has succeeded, true at
    // once.
    bool Make(TInstParams &settings, const std::string &folder);

private:
    struct TFolder {
        bool exists = false;
        bool known = true;             // its content is known (listed, or absent)
        std::set<std::wstring> names; // its files and folders, upper case
    };

    // A folder that is known not to be there, below folders known not to be
    // there up to one known to be there, is made level by level without a
    // lookup and logged as the folder chain would log it. False when that
    // knowledge is missing or a level cannot be made; the folder chain then
    // does the work (and finds the levels made here).
    bool MakeMissing(TInstParams &settings, const std::string &folder);
    TFolder &Find(const std::wstring &folder);
    TFolder &FolderOf(const std::wstring &entryName, size_t nameStart);
    TFolder List(const std::wstring &folder);
    void Made(const std::wstring &folder);

    std::wstring root_;   // with a trailing backslash
    std::string rootText_; // the same in the ANSI code page
    std::map<std::wstring, TFolder> folders_; // by upper-case path below the root
    std::set<std::string> made_;
    bool trusted_ = true;
    std::wstring lastFolder_; // the folder part of the last entry asked about, as given
    TFolder *last_ = nullptr; // its record
    std::wstring key_;        // room for the upper-case name being looked up
};
