#include "classlib/Registry.h"

#include <vector>

#include "foundation/VxText.h"

namespace ClassLib {
namespace Registry {

namespace {

const REGSAM kViewMask = KEY_WOW64_32KEY | KEY_WOW64_64KEY;

AnsiString Quoted(const char *format, const AnsiString &name)
{
    return AnsiString::Format(format, name.c_str());
}

// Deletes the sub-key of parent with everything below it.
LONG DeleteTree(HKEY parent, const std::wstring &subKey, REGSAM view)
{
    HKEY raw = nullptr;
    LONG rc = RegOpenKeyExW(parent, subKey.c_str(), 0, KEY_ENUMERATE_SUB_KEYS | KEY_QUERY_VALUE | DELETE | view,
                            &raw);
    if (rc != ERROR_SUCCESS)
        return rc;
    Mirelta::TRegKey key(raw);
    for (;;) {
        wchar_t name[256];
        DWORD length = 256;
        rc = RegEnumKeyExW(key.Get(), 0, name, &length, nullptr, nullptr, nullptr, nullptr);
        if (rc == ERROR_NO_MORE_ITEMS)
            break;
        if (rc != ERROR_SUCCESS)
            return rc;
        rc = DeleteTree(key.Get(), std::wstring(name, length), view);
        if (rc != ERROR_SUCCESS)
            return rc;
    }
    key.Close();
    return RegDeleteKeyExW(parent, subKey.c_str(), view, 0);
}

} // namespace

TRegistry::TRegistry() = default;

TRegistry::TRegistry(REGSAM access) : access_(access)
{
}

TRegistry::~TRegistry()
{
    CloseKey();
}

void TRegistry::SetRootKey(HKEY root)
{
    CloseKey();
    root_ = root;
}

void TRegistry::CloseKey() noexcept
{
    current_.Close();
    path_.clear();
}

HKEY TRegistry::BaseKey(const AnsiString &key, AnsiString &relative, AnsiString &fullPath) const
{
    const bool absolute = !key.empty() && key[0] == '\\';
    relative = absolute ? AnsiString(key.substr(1)) : key;
    if (!absolute && current_.IsValid()) {
        fullPath = path_.empty() ? relative : path_ + "\\" + relative;
        return current_.Get();
    }
    fullPath = relative;
    return root_;
}

bool TRegistry::Open(const AnsiString &key, bool canCreate, REGSAM access)
{
    AnsiString relative, fullPath;
    HKEY base = BaseKey(key, relative, fullPath);
    std::wstring wide = AnsiToWide(relative);
    HKEY raw = nullptr;
    LONG rc = canCreate ? RegCreateKeyExW(base, wide.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, access, nullptr,
                                          &raw, nullptr)
                        : RegOpenKeyExW(base, wide.c_str(), 0, access, &raw);
    if (rc != ERROR_SUCCESS)
        return false;
    current_.Set(raw);
    while (!fullPath.empty() && fullPath.back() == '\\')
        fullPath.pop_back();
    path_ = fullPath;
    return true;
}

bool TRegistry::OpenKey(const AnsiString &key, bool canCreate)
{
    return Open(key, canCreate, access_);
}

bool TRegistry::OpenKeyReadOnly(const AnsiString &key)
{
    return Open(key, false, KEY_READ | (access_ & kViewMask));
}

bool TRegistry::KeyExists(const AnsiString &key)
{
    AnsiString relative, fullPath;
    HKEY base = BaseKey(key, relative, fullPath);
    HKEY raw = nullptr;
    LONG rc = RegOpenKeyExW(base, AnsiToWide(relative).c_str(), 0,
                            STANDARD_RIGHTS_READ | KEY_QUERY_VALUE | (access_ & kViewMask), &raw);
    Mirelta::TRegKey opened(raw);
    return rc == ERROR_SUCCESS;
}

bool TRegistry::DeleteKey(const AnsiString &key)
{
    AnsiString relative, fullPath;
    HKEY base = BaseKey(key, relative, fullPath);
    while (!relative.empty() && relative.back() == '\\')
        relative.pop_back();
    if (relative.empty())
        return false;
    return DeleteTree(base, AnsiToWide(relative), access_ & kViewMask) == ERROR_SUCCESS;
}

int TRegistry::GetDataSize(const AnsiString &name) const
{
    DWORD size = 0;
    if (!current_.IsValid() ||
        RegQueryValueExW(current_.Get(), AnsiToWide(name).c_str(), nullptr, nullptr, nullptr, &size) !=
            ERROR_SUCCESS)
        return -1;
    return static_cast<int>(size);
}

bool TRegistry::ValueExists(const AnsiString &name) const
{
    return GetDataSize(name) >= 0;
}

TRegDataType TRegistry::GetDataType(const AnsiString &name) const
{
    DWORD type = REG_NONE;
    if (!current_.IsValid() ||
        RegQueryValueExW(current_.Get(), AnsiToWide(name).c_str(), nullptr, &type, nullptr, nullptr) !=
            ERROR_SUCCESS)
        return rdUnknown;
    switch (type) {
    case REG_SZ:
        return rdString;
    case REG_EXPAND_SZ:
        return rdExpandString;
    case REG_DWORD:
        return rdInteger;
    case REG_BINARY:
        return rdBinary;
    default:
        return rdUnknown;
    }
}

bool TRegistry::DeleteValue(const AnsiString &name)
{
    return current_.IsValid() && RegDeleteValueW(current_.Get(), AnsiToWide(name).c_str()) == ERROR_SUCCESS;
}

AnsiString TRegistry::ReadString(const AnsiString &name) const
{
    if (!current_.IsValid())
        return AnsiString();
    std::wstring wideName = AnsiToWide(name);
    for (int attempt = 0; attempt < 4; ++attempt) {
        DWORD type = REG_NONE, size = 0;
        LONG rc = RegQueryValueExW(current_.Get(), wideName.c_str(), nullptr, &type, nullptr, &size);
        if (rc != ERROR_SUCCESS)
            return AnsiString();
        if (type != REG_SZ && type != REG_EXPAND_SZ)
            throw ERegistryException(Quoted("Invalid data type for '%s'", name));
        std::vector<wchar_t> buffer(size / sizeof(wchar_t) + 2, L'\0');
        DWORD got = static_cast<DWORD>((buffer.size() - 1) * sizeof(wchar_t));
        rc = RegQueryValueExW(current_.Get(), wideName.c_str(), nullptr, &type,
                              reinterpret_cast<BYTE *>(buffer.data()), &got);
        if (rc == ERROR_MORE_DATA)
            continue; // the value grew meanwhile
        if (rc != ERROR_SUCCESS)
            throw ERegistryException(Quoted("Failed to get data for '%s'", name));
        if (type != REG_SZ && type != REG_EXPAND_SZ)
            throw ERegistryException(Quoted("Invalid data type for '%s'", name));
        std::wstring text(buffer.data(), got / sizeof(wchar_t));
        while (!text.empty() && text.back() == L'\0')
            text.pop_back();
        return WideToAnsi(text);
    }
    throw ERegistryException(Quoted("Failed to get data for '%s'", name));
}

int TRegistry::ReadInteger(const AnsiString &name) const
{
    DWORD type = REG_NONE, value = 0, size = sizeof(value);
    LONG rc = current_.IsValid() ? RegQueryValueExW(current_.Get(), AnsiToWide(name).c_str(), nullptr, &type,
                                                    reinterpret_cast<BYTE *>(&value), &size)
                                 : ERROR_INVALID_HANDLE;
    if (rc != ERROR_SUCCESS && rc != ERROR_MORE_DATA)
        throw ERegistryException(Quoted("Failed to get data for '%s'", name));
    if (type != REG_DWORD || rc == ERROR_MORE_DATA || size != sizeof(value))
        throw ERegistryException(Quoted("Invalid data type for '%s'", name));
    return static_cast<int>(value);
}

void TRegistry::WriteData(const AnsiString &name, DWORD type, const void *data, DWORD size)
{
    if (!current_.IsValid() ||
        RegSetValueExW(current_.Get(), AnsiToWide(name).c_str(), 0, type, static_cast<const BYTE *>(data), size) !=
            ERROR_SUCCESS)
        throw ERegistryException(Quoted("Failed to set data for '%s'", name));
}

void TRegistry::WriteString(const AnsiString &name, const AnsiString &value)
{
    std::wstring wide = AnsiToWide(value);
    WriteData(name, REG_SZ, wide.c_str(), static_cast<DWORD>((wide.size() + 1) * sizeof(wchar_t)));
}

void TRegistry::WriteExpandString(const AnsiString &name, const AnsiString &value)
{
    std::wstring wide = AnsiToWide(value);
    WriteData(name, REG_EXPAND_SZ, wide.c_str(), static_cast<DWORD>((wide.size() + 1) * sizeof(wchar_t)));
}

void TRegistry::WriteInteger(const AnsiString &name, int value)
{
    DWORD data = static_cast<DWORD>(value);
    WriteData(name, REG_DWORD, &data, sizeof(data));
}

void TRegistry::GetKeyNames(TStrings &names) const
{
    names.Clear();
    if (!current_.IsValid())
        return;
    for (DWORD i = 0;; ++i) {
        wchar_t name[256];
        DWORD length = 256;
        if (RegEnumKeyExW(current_.Get(), i, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        names.Add(WideToAnsi(std::wstring(name, length)));
    }
}

void TRegistry::GetValueNames(TStrings &names) const
{
    names.Clear();
    if (!current_.IsValid())
        return;
    for (DWORD i = 0;; ++i) {
        wchar_t name[16384];
        DWORD length = 16384;
        if (RegEnumValueW(current_.Get(), i, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        names.Add(WideToAnsi(std::wstring(name, length)));
    }
}

} // namespace Registry
} // namespace ClassLib
