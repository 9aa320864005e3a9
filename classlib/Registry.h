// The registry class: one open key at a time under a root key
// (HKEY_LOCAL_MACHINE unless set), opened with the object's access mask
// (KEY_ALL_ACCESS unless set; KEY_WOW64_32KEY / KEY_WOW64_64KEY in it select
// the registry view for every open, create and delete).
//
// Key paths starting with a backslash are taken from the root; others from
// the open key when there is one. Reads of a value with the wrong type and
// writes the system refuses (no open key included) raise ERegistryException.
#pragma once

#include <windows.h>

#include "classlib/Classes.h"
#include "foundation/WinHandle.h"

namespace ClassLib {
namespace Registry {

class ERegistryException : public Exception {
public:
    using Exception::Exception;
};

enum TRegDataType { rdUnknown, rdString, rdExpandString, rdInteger, rdBinary };

class TRegistry : public TObject {
public:
    TRegistry();
    explicit TRegistry(REGSAM access);
    ~TRegistry() override;

    HKEY RootKey() const noexcept { return root_; }
    // Closes the open key.
    void SetRootKey(HKEY root);
    REGSAM Access() const noexcept { return access_; }
    void SetAccess(REGSAM access) noexcept { access_ = access; }
    HKEY CurrentKey() const noexcept { return current_.Get(); }
    AnsiString CurrentPath() const { return path_; }

    // Opens the key, creating it (and its parents) when canCreate is set.
    // False leaves the previous key open.
    bool OpenKey(const AnsiString &key, bool canCreate);
    bool OpenKeyReadOnly(const AnsiString &key);
    void CloseKey() noexcept;
    bool KeyExists(const AnsiString &key);
    // Deletes the key with all its sub-keys.
    bool DeleteKey(const AnsiString &key);

    bool ValueExists(const AnsiString &name) const;
    TRegDataType GetDataType(const AnsiString &name) const;
    // The value's size in bytes, -1 when it does not exist.
    int GetDataSize(const AnsiString &name) const;
    bool DeleteValue(const AnsiString &name);

    // "" for a missing value; a value that is not a string raises.
    AnsiString ReadString(const AnsiString &name) const;
    // A missing value or one that is not a DWORD raises.
    int ReadInteger(const AnsiString &name) const;
    bool ReadBool(const AnsiString &name) const { return ReadInteger(name) != 0; }

    void WriteString(const AnsiString &name, const AnsiString &value);
    void WriteExpandString(const AnsiString &name, const AnsiString &value);
    void WriteInteger(const AnsiString &name, int value);
    void WriteBool(const AnsiString &name, bool value) { WriteInteger(name, value ? 1 : 0); }

    void GetKeyNames(TStrings &names) const;
    void GetValueNames(TStrings &names) const;

private:
    bool Open(const AnsiString &key, bool canCreate, REGSAM access);
    HKEY BaseKey(const AnsiString &key, AnsiString &relative, AnsiString &fullPath) const;
    void WriteData(const AnsiString &name, DWORD type, const void *data, DWORD size);

    HKEY root_ = HKEY_LOCAL_MACHINE;
    REGSAM access_ = KEY_ALL_ACCESS;
    Mirelta::TRegKey current_;
    AnsiString path_;
};

} // namespace Registry
} // namespace ClassLib
