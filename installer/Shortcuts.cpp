#include "installer/Shortcuts.h"

#include <windows.h>
#include <objbase.h>
#include <objidl.h>
#include <shlobj.h>

#include <cstring>

#include "foundation/StringIds.h"
#include "foundation/VxMessage.h"
#include "foundation/VxPath.h"
#include "foundation/VxText.h"
#include "foundation/WinHandle.h"
#include "installer/ExtractArchive.h"
#include "installer/InstParams.h"

namespace {

// A component that the file system would not take as a plain folder name:
// blanks only, or dots and blanks only ("." and ".." climb).
bool IsSpecialComponent(const std::string &component)
{
    return component.find_first_not_of(". ") == std::string::npos;
}

// A name that Windows takes for a device whatever the folder: CON, PRN, AUX,
// NUL, COM1-COM9 and LPT1-LPT9, also with an extension ("NUL.txt") or blanks
// before it.
bool IsDeviceName(const std::string &component)
{
    std::string base = component.substr(0, component.find('.'));
    base.erase(base.find_last_not_of(' ') + 1);
    for (char &c : base)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    if (base == "CON" || base == "PRN" || base == "AUX" || base == "NUL")
        return true;
    return base.size() == 4 && (base.compare(0, 3, "COM") == 0 || base.compare(0, 3, "LPT") == 0) &&
           base[3] >= '1' && base[3] <= '9';
}

// A character that no file or folder name may hold: the wildcards, the
// redirection and pipe signs, the double quote and the control characters.
bool HasForbiddenChar(const std::string &text)
{
    for (const char c : text)
        if (static_cast<unsigned char>(c) < 32 || std::strchr("<>\"|?*", c) != nullptr)
            return true;
    return false;
}

// A folder path in the form in which two spellings of one folder compare
// equal: upper case, without trailing backslash.
std::string FolderKey(const std::string &folder)
{
    return UpperCase(ExcludeTrailingBackslash(folder));
}

std::string IconPath(const std::string &targetFolder, const TLinkData &link)
{
    return link.icon_file.empty() ? std::string() : targetFolder + link.icon_file;
}

} // namespace

bool IsValidStartMenuGroup(const std::string &group)
{
    if (group.empty() || group[0] == '\\' || group[0] == '/')
        return false;
    if (group.find(':') != std::string::npos || HasForbiddenChar(group))
        return false;
    bool named = false;
    std::string::size_type start = 0;
    for (;;) {
        const std::string::size_type end = group.find_first_of("\\/", start);
        const std::string component = group.substr(start, end == std::string::npos ? std::string::npos : end - start);
        if (!component.empty()) {
            if (IsSpecialComponent(component) || IsDeviceName(component))
                return false;
            named = true;
        }
        if (end == std::string::npos)
            break;
        start = end + 1;
    }
    return named;
}

void CreateShellLink(const std::string &target, const std::string &link, const std::string &description,
                     const std::string &arguments, const std::string &icon, int32_t iconIndex)
{
    if (!PathExists(target))
        return;

    Mirelta::TComPtr<IShellLinkW> shellLink;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                reinterpret_cast<void **>(shellLink.Receive()))) ||
        !shellLink)
        return;

    shellLink->SetPath(AnsiToWide(target).c_str());
    shellLink->SetDescription(AnsiToWide(description).c_str());
    if (!arguments.empty())
        shellLink->SetArguments(AnsiToWide(arguments).c_str());
    if (!icon.empty())
        shellLink->SetIconLocation(AnsiToWide(icon).c_str(), iconIndex);

    Mirelta::TComPtr<IPersistFile> file;
    if (FAILED(shellLink->QueryInterface(IID_IPersistFile, reinterpret_cast<void **>(file.Receive()))) || !file)
        return;
    // A shortcut the system will not save (a folder it may not write, a
    // read-only file or a folder of that name in its place) is a failed
    // installation: the file is named with the system's reason, as a payload
    // file that cannot be written is.
    const HRESULT saved = file->Save(AnsiToWide(link).c_str(), TRUE);
    if (FAILED(saved))
        throw Mirelta::TVxMessage(IDS_WRITE_FILE_FAILED) << link << SystemResultText(saved);
}

void TInstParams::CreateShortcuts()
{
    const std::string targetFolder = IncludeTrailingBackslash(target_folder);

    if (!start_menu_links.empty()) {
        if (!IsValidStartMenuGroup(start_menu_group))
            throw Mirelta::TVxMessage(IDS_NO_START_MENU_GROUP);

        std::string groupFolder = IncludeTrailingBackslash(common_programs_folder) + start_menu_group;
        // Only the group our previous installation made is ours to clear; a
        // folder of that name that belongs to something else keeps its links.
        if (!prev_start_menu_group.empty() &&
            FolderKey(groupFolder) ==
                FolderKey(IncludeTrailingBackslash(common_programs_folder) + prev_start_menu_group))
            DeleteTree(groupFolder, true, false, true);
        // Without its group folder not one shortcut could be written: that is
        // a failed installation, not a quiet one without shortcuts.
        if (!CreateFolderChain(*this, groupFolder))
            throw Mirelta::TVxMessage(IDS_CREATE_FOLDER_FAILED) << groupFolder;
        groupFolder = IncludeTrailingBackslash(groupFolder);

        for (const TLinkData &link : start_menu_links) {
            const std::string linkPath = groupFolder + link.link_file;
            CreateFolderChain(*this, ExtractFilePath(linkPath));
            install_log.AddFile(linkPath);
            CreateShellLink(targetFolder + link.target_file, linkPath, link.description, link.cmd_line_params,
                            IconPath(targetFolder, link), link.icon_num);
        }
    }

    if (create_desktop_links) {
        const std::string desktopFolder = IncludeTrailingBackslash(common_desktop_folder);
        for (const TLinkData &link : desktop_links) {
            const std::string linkPath = desktopFolder + link.link_file;
            install_log.AddFile(linkPath);
            // The desktop part makes no folders: a shortcut in a sub-folder
            // that the desktop lacks is left out.
            if (!DirectoryExists(ExtractFilePath(linkPath)))
                continue;
            CreateShellLink(targetFolder + link.target_file, linkPath, link.description, link.cmd_line_params,
                            IconPath(targetFolder, link), link.icon_num);
        }
    }
}
