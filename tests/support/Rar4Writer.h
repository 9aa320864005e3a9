// A small writer of RAR 4 archives (the format of RAR 2.9 to 4.x) for the
// extraction tests: stored (uncompressed) files and folder entries, names in
// UTF-16 with the format's Unicode name encoding, and entries damaged on
// purpose (a wrong header checksum, a wrong data checksum, a corrupt main
// header).
//
// Names are written as given, so ".." parts, absolute and drive names can be
// built too; use '\\' as the separator (the entries claim a Windows host).
#pragma once

#include <string>
#include <vector>

class TRar4Writer {
public:
    // Damage to one entry.
    enum TDamage : unsigned {
        dmNone = 0,
        dmHeaderCrc = 1, // the entry header's checksum does not match it
        dmDataCrc = 2,   // the stored CRC-32 does not match the file's data
        dmHugeSize = 4,  // the header claims 4 GiB more packed data than follows it
    };

    TRar4Writer &AddFile(const std::wstring &name, const std::string &data, TDamage damage = dmNone);
    TRar4Writer &AddFolder(const std::wstring &name, TDamage damage = dmNone);
    // Gives the entry added last these Windows attributes (FILE_ATTRIBUTE_*)
    // instead of the archive bit alone (folders: the directory bit alone).
    TRar4Writer &WithAttributes(unsigned attributes);
    // Leaves out the end-of-archive block (older archives have none).
    TRar4Writer &OmitEndBlock();
    // Gives the main header a checksum that does not match it: the archive's
    // main header is corrupt.
    TRar4Writer &BreakMainHeader();

    // The archive: signature, main header, the entries in the order they were
    // added, and the end-of-archive block.
    std::string Bytes() const;

    // The name field of an entry header: the name itself when it is plain
    // ASCII; otherwise an ASCII stand-in ('_' for every other character), a
    // NUL, and the Unicode encoding of the name.
    static std::string EncodeName(const std::wstring &name);

private:
    struct TEntry {
        std::wstring name;
        std::string data;
        bool folder;
        TDamage damage;
        unsigned attributes; // 0: the default
    };

    std::vector<TEntry> entries_;
    bool endBlock_ = true;
    bool brokenMainHeader_ = false;
};
