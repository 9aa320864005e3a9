#include "installer/Records.h"

#include "classlib/Registry.h"
#include "foundation/StringIds.h"
#include "foundation/VxMessage.h"
#include "foundation/VxPath.h"
#include "foundation/VxStream.h"
#include "foundation/VxText.h"
#include "installer/InstParams.h"
#include "installer/ProgramCommand.h"
#include "xini/VxXIniFormat.h"
#include "xini/VxXIniStreamWriter.h"

const char AutorunKeyPath[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const char UninstallKeyPath[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
const char InstallDataFileName[] = "InstData.x-ini";

namespace {

using ClassLib::Registry::TRegistry;

const char MachineRoot[] = "HKEY_LOCAL_MACHINE";

// A registry object on the machine's root with the named key open (created
// when missing). The result of the open is left to the value writes: writing
// into a key that could not be opened raises the registry error.
void OpenMachineKey(TRegistry &registry, const std::string &key)
{
    registry.SetRootKey(HKEY_LOCAL_MACHINE);
    registry.OpenKey(key, true);
}

void WriteStringIfSet(TRegistry &registry, const char *name, const std::string &value)
{
    if (!value.empty())
        registry.WriteString(name, value);
}

void WriteIntegerIfSet(TRegistry &registry, const char *name, int32_t value)
{
    if (value != 0)
        registry.WriteInteger(name, value);
}

} // namespace

void XIniWriteString(TVxXIniWriter &writer, const std::string &name, const std::string &value)
{
    if (!writer.WriteString(name, value))
        writer.RaiseWriteError();
}

void XIniWriteBool(TVxXIniWriter &writer, const std::string &name, bool value)
{
    if (!writer.WriteBool(name, value))
        writer.RaiseWriteError();
}

bool IsValidUninstallKey(const std::string &key)
{
    std::string::size_type start = 0;
    for (;;) {
        const std::string::size_type end = key.find('\\', start);
        const std::string component = key.substr(start, end == std::string::npos ? std::string::npos : end - start);
        if (component.find_first_not_of(' ') == std::string::npos)
            return false;
        if (end == std::string::npos)
            return true;
        start = end + 1;
    }
}

void TInstParams::WriteAutorunRecord()
{
    if (!create_autorun_record || autorun_link.target_file.empty())
        return;
    TRegistry registry;
    OpenMachineKey(registry, AutorunKeyPath);
    registry.WriteString(autorun_link.description,
                         QuotedCommandLine(IncludeTrailingBackslash(target_folder) + autorun_link.target_file,
                                           std::string()));
    install_log.AddReg(std::string(MachineRoot) + "\\" + AutorunKeyPath, autorun_link.description);
}

void TInstParams::WriteUninstallRecord()
{
    if (reg_uninstall_key.empty())
        return;
    if (display_name.empty() || uninstall_exe.empty() || !IsValidUninstallKey(reg_uninstall_key))
        throw Mirelta::TVxMessage(IDS_BAD_UNINSTALL_DATA);

    const std::string key = std::string(UninstallKeyPath) + "\\" + reg_uninstall_key;
    const std::string folder = IncludeTrailingBackslash(target_folder);
    install_log.AddReg(std::string(MachineRoot) + "\\" + key, std::string());

    TRegistry registry;
    registry.SetRootKey(HKEY_LOCAL_MACHINE);
    registry.DeleteKey(key);
    registry.OpenKey(key, true);
    registry.WriteString("DisplayName", display_name);
    const TProgramCommand uninstall = SplitProgramCommand(folder, uninstall_exe);
    registry.WriteString("UninstallString", QuotedCommandLine(uninstall.program, uninstall.arguments));
    WriteStringIfSet(registry, "DisplayVersion", display_version);
    WriteStringIfSet(registry, "Publisher", publisher);
    WriteStringIfSet(registry, "URLInfoAbout", url_info_about);
    if (!display_icon_file.empty())
        registry.WriteString("DisplayIcon", folder + display_icon_file + ",-0");
    WriteStringIfSet(registry, "HelpTelephone", help_telephone);
    WriteStringIfSet(registry, "Contact", contact);
    WriteIntegerIfSet(registry, "NoModify", no_modify);
    WriteIntegerIfSet(registry, "NoRepair", no_repair);
    registry.CloseKey();
}

void TInstParams::WriteInstallData()
{
    if (!reg_install_key.empty()) {
        const std::string key = "Software\\" + reg_install_key;
        TRegistry registry;
        OpenMachineKey(registry, key);
        registry.WriteString("InstallPath", target_folder);
        registry.CloseKey();
        install_log.AddReg(std::string(MachineRoot) + "\\" + key, "InstallPath");
    }

    const std::string path = IncludeTrailingBackslash(target_folder) + InstallDataFileName;
    var_a<TVxFileStream> file = make_var_a<TVxFileStream>();
    // A record that cannot be created or completely written leaves the next
    // run without the installation's choices: that is a failed installation.
    file->OpenOrThrow(path, TVxFileStream::omCreate);
    TVxXIniStreamWriter writer(file, 0, VxXIniHeaderFull);

    XIniWriteString(writer, "app_sign", app_sign);
    uint32_t depth = writer.BeginSectionOrRaise("start_menu");
    XIniWriteString(writer, "start_menu_group", start_menu_group);
    writer.EndSectionsOrRaise(depth);
    depth = writer.BeginSectionOrRaise("desktop_links");
    XIniWriteBool(writer, "create_desktop_links", create_desktop_links);
    writer.EndSectionsOrRaise(depth);
    depth = writer.BeginSectionOrRaise("autorun");
    XIniWriteBool(writer, "create_autorun_record", create_autorun_record);
    writer.EndSectionsOrRaise(depth);
    if (has_par_proc) {
        depth = writer.BeginSectionOrRaise("par_proc");
        XIniWriteBool(writer, "install", par_proc_install);
        if (par_proc_install)
            XIniWriteString(writer, "cfg_path", par_proc_folder);
        writer.EndSectionsOrRaise(depth);
    }

    install_log.AddFile(path);
    if (!writer.CloseDocument())
        writer.RaiseWriteError();
    file->Close();
}
