#include "installer/OwnedFolders.h"

#include <windows.h>
#include <shlobj.h>

#include "foundation/VxPath.h"
#include "foundation/VxText.h"
#include "foundation/WinHandle.h"

namespace {

// Shell folders and environment variables that name folders the system or
// the user owns. A 32-bit program learns the 64-bit program files folders
// only from the environment.
const int OwnedShellFolders[] = {
    CSIDL_WINDOWS,
    CSIDL_SYSTEM,
    CSIDL_SYSTEMX86,
    CSIDL_PROGRAM_FILES,
    CSIDL_PROGRAM_FILESX86,
    CSIDL_PROGRAM_FILES_COMMON,
    CSIDL_PROGRAM_FILES_COMMONX86,
    CSIDL_COMMON_APPDATA,
    CSIDL_PROFILE,
    CSIDL_PERSONAL,
    CSIDL_DESKTOPDIRECTORY,
    CSIDL_APPDATA,
    CSIDL_LOCAL_APPDATA,
    CSIDL_STARTMENU,
    CSIDL_PROGRAMS,
    CSIDL_COMMON_STARTMENU,
    CSIDL_COMMON_PROGRAMS,
    CSIDL_COMMON_DESKTOPDIRECTORY,
    CSIDL_COMMON_DOCUMENTS,
};
const wchar_t *const OwnedEnvironmentFolders[] = {
    L"SystemRoot", L"windir",
    L"ProgramFiles", L"ProgramFiles(x86)", L"ProgramW6432",
    L"CommonProgramFiles", L"CommonProgramFiles(x86)", L"CommonProgramW6432",
    L"ProgramData", L"ALLUSERSPROFILE", L"PUBLIC",
    L"USERPROFILE", L"APPDATA", L"LOCALAPPDATA",
    L"TEMP", L"TMP",
};

std::string ParentFolder(const std::string &folder)
{
    return ExcludeTrailingBackslash(ExtractFilePath(ExcludeTrailingBackslash(folder)));
}

void AddFolder(std::vector<std::string> &folders, const std::wstring &folder)
{
    if (!folder.empty())
        folders.push_back(WideToAnsi(folder));
}

void AddShellFolder(std::vector<std::string> &folders, int csidl)
{
    wchar_t buffer[MAX_PATH + 1] = {};
    if (SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, buffer) == S_OK)
        AddFolder(folders, buffer);
}

std::wstring ExpandedText(const std::wstring &text)
{
    const DWORD needed = ExpandEnvironmentStringsW(text.c_str(), nullptr, 0);
    if (needed == 0)
        return text;
    std::wstring expanded(needed, L'\0');
    const DWORD length = ExpandEnvironmentStringsW(text.c_str(), &expanded[0], needed);
    if (length == 0 || length > needed)
        return text;
    expanded.resize(length - 1);
    return expanded;
}

void AddEnvironmentFolder(std::vector<std::string> &folders, const wchar_t *name)
{
    const std::wstring reference = std::wstring(L"%") + name + L"%";
    const std::wstring value = ExpandedText(reference);
    if (value != reference)
        AddFolder(folders, value);
}

// A string value of an open key, its references expanded; "" when missing.
std::wstring RegistryFolder(HKEY key, const wchar_t *name)
{
    DWORD type = 0;
    DWORD size = 0;
    if (RegQueryValueExW(key, name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ))
        return std::wstring();
    std::wstring value(size / sizeof(wchar_t) + 1, L'\0');
    size = static_cast<DWORD>(value.size() * sizeof(wchar_t));
    if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE *>(&value[0]), &size) != ERROR_SUCCESS)
        return std::wstring();
    value.resize(wcsnlen(value.c_str(), value.size()));
    return type == REG_EXPAND_SZ ? ExpandedText(value) : value;
}

// Every profile that the system lists, and the users' folder it names.
void AddListedProfiles(std::vector<std::string> &folders, std::vector<std::string> &usersFolders)
{
    HKEY opened = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList", 0,
                      KEY_READ | KEY_WOW64_64KEY, &opened) != ERROR_SUCCESS)
        return;
    Mirelta::TRegKey list(opened);
    AddFolder(usersFolders, RegistryFolder(list.Get(), L"ProfilesDirectory"));
    for (const wchar_t *name : {L"Default", L"Public", L"ProgramData"})
        AddFolder(folders, RegistryFolder(list.Get(), name));
    wchar_t sid[256];
    for (DWORD index = 0;; ++index) {
        DWORD length = sizeof sid / sizeof sid[0];
        const LONG rc = RegEnumKeyExW(list.Get(), index, sid, &length, nullptr, nullptr, nullptr, nullptr);
        if (rc == ERROR_MORE_DATA)
            continue;
        if (rc != ERROR_SUCCESS)
            break;
        HKEY profile = nullptr;
        if (RegOpenKeyExW(list.Get(), sid, 0, KEY_READ | KEY_WOW64_64KEY, &profile) != ERROR_SUCCESS)
            continue;
        const Mirelta::TRegKey profileKey(profile);
        AddFolder(folders, RegistryFolder(profileKey.Get(), L"ProfileImagePath"));
    }
}

// Every folder directly in the users' folder is a profile's root (or the
// all-users and default profiles).
void AddProfilesIn(std::vector<std::string> &folders, const std::string &usersFolder)
{
    if (usersFolder.empty())
        return;
    Mirelta::string_vector profiles;
    ListDirectory(profiles, usersFolder, "*.*", true, false);
    for (const std::string &profile : profiles) {
        if (DirectoryExists(profile))
            folders.push_back(profile);
    }
}

} // namespace

TOwnedFoldersQuery OwnedFoldersQuery = &SystemOwnedFolders;

std::vector<std::string> SystemOwnedFolders()
{
    std::vector<std::string> folders;
    for (int csidl : OwnedShellFolders)
        AddShellFolder(folders, csidl);
    for (const wchar_t *name : OwnedEnvironmentFolders)
        AddEnvironmentFolder(folders, name);
    wchar_t temp[MAX_PATH + 1] = {};
    const DWORD tempLength = GetTempPathW(MAX_PATH + 1, temp);
    if (tempLength > 0 && tempLength <= MAX_PATH)
        AddFolder(folders, temp);

    // The AppData root holds the roaming and the local application data; the
    // users' folder holds the user's profile.
    std::vector<std::string> appData;
    AddShellFolder(appData, CSIDL_APPDATA);
    AddShellFolder(appData, CSIDL_LOCAL_APPDATA);
    for (const std::string &folder : appData)
        folders.push_back(ParentFolder(folder));
    std::vector<std::string> usersFolders;
    AddShellFolder(usersFolders, CSIDL_PROFILE);
    for (std::string &folder : usersFolders)
        folder = ParentFolder(folder);

    AddListedProfiles(folders, usersFolders);
    for (const std::string &usersFolder : usersFolders) {
        folders.push_back(usersFolder);
        AddProfilesIn(folders, usersFolder);
    }
    return folders;
}
