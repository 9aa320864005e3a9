#include "installer/LoadConfig.h"

#include <objbase.h>

#include "classlib/Forms.h"
#include "classlib/Registry.h"
#include "foundation/StringIds.h"
#include "foundation/VxMessage.h"
#include "foundation/VxPath.h"
#include "foundation/VxStream.h"
#include "foundation/VxText.h"
#include "xini/VxXIniStreamReader.h"

namespace {

const char DefaultFolder[] = "C:\\";
const char InstallPathValue[] = "InstallPath";
const char InstallRecordName[] = "InstData.x-ini";
const size_t FolderBufferSize = 4096;

// Opens the named section for the life of the object and closes it again.
class TSection {
public:
    // Raises the reader's error when the section is missing.
    TSection(TVxXIniReader &reader, const char *name) : reader_(reader), level_(reader.OpenSectionRequired(name)) {}
    TSection(TVxXIniReader &reader, unsigned index) : reader_(reader), level_(reader.OpenSectionRequired(index)) {}
    // Closes the section; the reader's error passes when that fails.
    void Close()
    {
        const unsigned level = level_;
        level_ = 0;
        reader_.CloseSectionRequired(level);
    }
    ~TSection()
    {
        if (level_)
            reader_.CloseSection(level_);
    }
    TSection(const TSection &) = delete;
    TSection &operator=(const TSection &) = delete;

private:
    TVxXIniReader &reader_;
    unsigned level_;
};

// The level of the named section when it exists (0 when not).
unsigned OpenOptionalSection(TVxXIniReader &reader, const char *name)
{
    const unsigned index = reader.Find(name);
    if (index == VxXIniNotFound)
        return 0;
    return reader.OpenSectionRequired(index);
}

std::string ExpandEnvironment(const std::string &text)
{
    const std::wstring source = AnsiToWide(text);
    std::vector<wchar_t> buffer(2048, L'\0');
    for (;;) {
        const DWORD needed =
            ExpandEnvironmentStringsW(source.c_str(), buffer.data(), static_cast<DWORD>(buffer.size()));
        if (needed == 0)
            return std::string();
        if (needed <= buffer.size())
            return WideToAnsi(buffer.data());
        buffer.assign(needed, L'\0');
    }
}

std::string ProgramFolder()
{
    std::vector<wchar_t> buffer(MAX_PATH);
    for (;;) {
        const DWORD length = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length < buffer.size())
            break;
        buffer.resize(buffer.size() * 2);
    }
    const std::string path = WideToAnsi(buffer.data());
    const std::string::size_type cut = path.find_last_of("\\:");
    return IncludeTrailingBackslash(cut == std::string::npos ? std::string() : path.substr(0, cut + 1));
}

// The "InstallPath" value under HKEY_LOCAL_MACHINE\Software\<key>, when both
// exist. A value that is not a string raises.
bool ReadInstallPath(const std::string &key, std::string &path)
{
    ClassLib::Registry::TRegistry registry;
    registry.SetRootKey(HKEY_LOCAL_MACHINE);
    if (!registry.OpenKey("Software\\" + key, false) || !registry.ValueExists(InstallPathValue))
        return false;
    path = registry.ReadString(InstallPathValue);
    return true;
}

void ReadInstallConditions(TVxXIniReader &reader, TInstParams &params)
{
    TSection conditions(reader, "install_conditions");
    {
        TSection platform(reader, "platform_id");
        params.platform_check = CfgReadInt(reader, "check");
        platform.Close();
    }
    {
        TSection version(reader, "os_version");
        params.os_version_check = CfgReadInt(reader, "check");
        if (params.os_version_check != 0) {
            params.os_major = CfgReadUInt(reader, "major");
            params.os_minor = CfgReadUInt(reader, "minor");
        }
        version.Close();
    }
    {
        TSection screen(reader, "screen");
        params.screen_check = CfgReadInt(reader, "check");
        if (params.screen_check != 0) {
            params.width = CfgReadInt(reader, "width");
            params.height = CfgReadInt(reader, "height");
            params.bitspp = CfgReadInt(reader, "bitspp");
        }
        screen.Close();
    }
    // The version check needs its text; the platform check shows the same
    // text when there is one, but does not require it.
    if (params.os_version_check != 0)
        params.os_message = CfgReadString(reader, "os_message");
    else if (params.platform_check != 0)
        params.os_message = CfgReadStringOpt(reader, "os_message");
    if (params.screen_check != 0)
        params.screen_message = CfgReadString(reader, "screen_message");
    conditions.Close();
}

void ReadGeneral(TVxXIniReader &reader, TInstParams &params)
{
    TSection general(reader, "general");
    params.show_background = CfgReadBool(reader, "show_background");
    params.app_title = CfgReadString(reader, "app_title");
    params.app_long_title = CfgReadString(reader, "app_long_title");
    params.use_vx_close_event = CfgReadBoolOpt(reader, "use_vx_close_event");
    params.use_vx_close_event2 = CfgReadBoolOpt(reader, "use_vx_close_event2");
    params.tgt_folder = CfgReadString(reader, "tgt_folder");
    params.reg_install_key = CfgReadString(reader, "reg_install_key");
    params.vx_consts_file = CfgReadString(reader, "vx_consts_file");
    params.vx_consts_path = CfgReadStringOpt(reader, "vx_consts_path");
    general.Close();
}

void ReadPreserve(TVxXIniReader &reader, TInstParams &params)
{
    params.preserve_root_folder = false;
    const unsigned level = OpenOptionalSection(reader, "preserve");
    if (!level)
        return;
    params.preserve_root_folder = CfgReadBoolOpt(reader, "preserve_root_folder");
    const unsigned filesLevel = OpenOptionalSection(reader, "files");
    if (filesLevel) {
        for (unsigned i = 0; reader.Exists(i); ++i)
            params.preserve_files.insert(UpperCase(reader.GetTextRequired(i)));
        reader.CloseSectionRequired(filesLevel);
    }
    reader.CloseSectionRequired(level);
}

void ReadStartMenu(TVxXIniReader &reader, TInstParams &params)
{
    const unsigned level = OpenOptionalSection(reader, "start_menu");
    if (!level)
        return;
    params.start_menu_group = CfgReadString(reader, "start_menu_group");
    params.configured_start_menu_group = params.start_menu_group;
    ReadLinks(reader, params.start_menu_links);
    reader.CloseSectionRequired(level);
}

void ReadDesktopLinks(TVxXIniReader &reader, TInstParams &params)
{
    const unsigned level = OpenOptionalSection(reader, "desktop_links");
    if (!level) {
        params.create_desktop_links = false;
        return;
    }
    params.create_desktop_links = CfgReadBool(reader, "create_desktop_links");
    ReadLinks(reader, params.desktop_links);
    reader.CloseSectionRequired(level);
}

void ReadAutorun(TVxXIniReader &reader, TInstParams &params)
{
    const unsigned level = OpenOptionalSection(reader, "autorun");
    if (!level)
        return;
    params.create_autorun_record = CfgReadBool(reader, "create_autorun_record");
    params.comment = CfgReadString(reader, "comment");
    params.cb_caption = CfgReadString(reader, "cb_caption");
    const unsigned link = reader.Find("link");
    if (link != VxXIniNotFound) {
        TSection section(reader, link);
        ReadLinkData(reader, params.autorun_link);
        section.Close();
    }
    reader.CloseSectionRequired(level);
}

void ReadParProc(TVxXIniReader &reader, TInstParams &params)
{
    const unsigned level = OpenOptionalSection(reader, "par_proc");
    if (!level)
        return;
    params.has_par_proc = true;
    params.par_proc_install = true;
    params.par_proc_tgt_folder = CfgReadString(reader, "par_proc_tgt_folder");
    params.par_proc_reg_install_key = CfgReadString(reader, "par_proc_reg_install_key");
    params.par_proc_cfg_file = CfgReadString(reader, "par_proc_cfg_file");
    params.par_proc_check_file = CfgReadStringOpt(reader, "par_proc_check_file");
    reader.CloseSectionRequired(level);
}

// Calls readItem once for every "item" section of the named optional
// section, with the item opened; an "item" that is no section raises.
template <class F>
void ForEachItem(TVxXIniReader &reader, const char *sectionName, F readItem)
{
    const unsigned level = OpenOptionalSection(reader, sectionName);
    if (!level)
        return;
    for (unsigned i = 0; reader.Exists(i); ++i) {
        if (reader.GetName(i) != "item")
            continue;
        TSection item(reader, i);
        readItem();
        item.Close();
    }
    reader.CloseSectionRequired(level);
}

void ReadFinishRun(TVxXIniReader &reader, TInstParams &params)
{
    ForEachItem(reader, "finish_run", [&] {
        TRunData run;
        run.target_file = CfgReadString(reader, "target_file");
        run.cmd_line_params = CfgReadString(reader, "cmd_line_params");
        run.description = CfgReadString(reader, "description");
        run.exec = CfgReadBool(reader, "exec");
        run.allow_change = CfgReadBool(reader, "allow_change");
        params.finish_run.push_back(run);
    });
}

void ReadInstallRedist(TVxXIniReader &reader, TInstParams &params)
{
    ForEachItem(reader, "install_redist",
                [&] { params.install_redist.push_back(CfgReadString(reader, "target_file")); });
}

void ReadUninstall(TVxXIniReader &reader, TInstParams &params)
{
    const unsigned level = OpenOptionalSection(reader, "uninstall");
    if (!level)
        return;
    params.reg_uninstall_key = CfgReadString(reader, "reg_uninstall_key");
    params.display_name = CfgReadString(reader, "display_name");
    params.uninstall_exe = CfgReadString(reader, "uninstall_exe");
    params.display_version = CfgReadString(reader, "display_version");
    params.publisher = CfgReadString(reader, "publisher");
    params.url_info_about = CfgReadString(reader, "url_info_about");
    params.display_icon_file = CfgReadString(reader, "display_icon_file");
    params.help_telephone = CfgReadString(reader, "help_telephone");
    params.contact = CfgReadString(reader, "contact");
    params.no_modify = CfgReadInt(reader, "no_modify");
    params.no_repair = CfgReadInt(reader, "no_repair");
    reader.CloseSectionRequired(level);
}

void ReadPages(TVxXIniReader &reader, TInstParams &params)
{
    TSection pages(reader, "pages");
    params.licence = CfgReadBool(reader, "licence");
    params.target = CfgReadBool(reader, "target");
    params.group = CfgReadBool(reader, "group");
    params.ready = CfgReadBool(reader, "ready");
    params.autorun = CfgReadBool(reader, "autorun");
    pages.Close();
}

void ReadConfiguration(const VTVxStream &config, TInstParams &params)
{
    TVxXIniStreamReader reader(config, true);
    params.app_sign = CfgReadString(reader, "app_sign");
    params.is_64bit_app = CfgReadBoolOpt(reader, "is_64bit_app");
    ReadInstallConditions(reader, params);
    ReadGeneral(reader, params);
    ReadPreserve(reader, params);
    ReadStartMenu(reader, params);
    ReadDesktopLinks(reader, params);
    ReadAutorun(reader, params);
    ReadParProc(reader, params);
    ReadFinishRun(reader, params);
    ReadInstallRedist(reader, params);
    ReadUninstall(reader, params);
    ReadPages(reader, params);
}

// Takes over the user's earlier choices from the previous installation's
// record when it belongs to the same product. Whatever goes wrong leaves the
// record unmatched; choices read before the failure stay taken over.
void ReadInstallRecord(const std::string &path, TInstParams &params)
{
    try {
        var_a<TVxFileStream> file = make_var_a<TVxFileStream>();
        file->OpenOrThrow(path, TVxFileStream::omRead);
        TVxXIniStreamReader reader(file, true);
        file->Close();
        if (CfgReadString(reader, "app_sign") != params.app_sign)
            throw Mirelta::TVxMessage("@App Signature mismatch");
        {
            TSection section(reader, "start_menu");
            params.start_menu_group = CfgReadString(reader, "start_menu_group");
            params.prev_start_menu_group = params.start_menu_group;
            section.Close();
        }
        {
            TSection section(reader, "desktop_links");
            params.create_desktop_links = CfgReadBool(reader, "create_desktop_links");
            section.Close();
        }
        {
            TSection section(reader, "autorun");
            params.create_autorun_record = CfgReadBool(reader, "create_autorun_record");
            section.Close();
        }
        if (params.has_par_proc) {
            TSection section(reader, "par_proc");
            params.par_proc_install = CfgReadBool(reader, "install");
            if (params.par_proc_install)
                params.par_proc_folder = CfgReadString(reader, "cfg_path");
            section.Close();
        }
        params.prev_record_matched = true;
    } catch (...) {
    }
}

} // namespace

// ---------------------------------------------------------------------------
// Configuration readers

std::string CfgReadString(TVxXIniReader &reader, const char *key)
{
    return reader.GetTextRequired(reader.FindRequired(key));
}

std::string CfgReadStringDef(TVxXIniReader &reader, const char *key, const std::string &defaultValue)
{
    const unsigned index = reader.Find(key);
    return index == VxXIniNotFound ? defaultValue : reader.GetText(index, defaultValue);
}

std::string CfgReadStringOpt(TVxXIniReader &reader, const char *key)
{
    return CfgReadStringDef(reader, key, std::string());
}

int32_t CfgReadInt(TVxXIniReader &reader, const char *key)
{
    return reader.GetIntRequired(reader.FindRequired(key));
}

uint32_t CfgReadUInt(TVxXIniReader &reader, const char *key)
{
    return reader.GetUIntRequired(reader.FindRequired(key));
}

bool CfgReadBool(TVxXIniReader &reader, const char *key)
{
    return reader.GetBoolRequired(reader.FindRequired(key));
}

bool CfgReadBoolDef(TVxXIniReader &reader, const char *key, bool defaultValue)
{
    const unsigned index = reader.Find(key);
    return index == VxXIniNotFound ? defaultValue : reader.GetBool(index, defaultValue);
}

bool CfgReadBoolOpt(TVxXIniReader &reader, const char *key)
{
    return CfgReadBoolDef(reader, key, false);
}

// ---------------------------------------------------------------------------
// Special folders

TSpecialFolderGetter::TSpecialFolderGetter(bool tolerant)
    : tolerant_(tolerant), shell_(LoadLibraryW(L"shell32")), calls_(), buffer_(FolderBufferSize, '\0')
{
    if (shell_.IsValid())
        calls_.getFolderPath = reinterpret_cast<decltype(calls_.getFolderPath)>(
            reinterpret_cast<void *>(GetProcAddress(shell_.Get(), "SHGetSpecialFolderPathA")));
    calls_.getFolderLocation = &SHGetSpecialFolderLocation;
    calls_.getPathFromIdList = &SHGetPathFromIDListA;
    calls_.freeIdList = &CoTaskMemFree;
}

TSpecialFolderGetter::TSpecialFolderGetter(bool tolerant, const TShellFolderCalls &calls)
    : tolerant_(tolerant), calls_(calls), buffer_(FolderBufferSize, '\0')
{
}

TSpecialFolderGetter::~TSpecialFolderGetter() = default;

std::string TSpecialFolderGetter::GetSpecialFolderPath(int folder, const std::string &defaultPath)
{
    buffer_.assign(FolderBufferSize, '\0');
    bool found = calls_.getFolderPath && calls_.getFolderPath(nullptr, buffer_.data(), folder, FALSE);
    if (!found) {
        buffer_.assign(FolderBufferSize, '\0');
        LPITEMIDLIST itemList = nullptr;
        if (calls_.getFolderLocation && SUCCEEDED(calls_.getFolderLocation(nullptr, folder, &itemList)) &&
            itemList) {
            if (!calls_.getPathFromIdList || !calls_.getPathFromIdList(itemList, buffer_.data()))
                buffer_[0] = '\0';
            if (calls_.freeIdList)
                calls_.freeIdList(itemList);
        }
    }
    buffer_.back() = '\0';
    const std::string path(buffer_.data());
    if (path.empty() && !tolerant_)
        throw Mirelta::TVxMessage("@GetSpecialFolderPath error");
    return path.empty() ? defaultPath : path;
}

// ---------------------------------------------------------------------------
// Resources and links

VTVxStream LoadResourceStream(const char *name, const char *type)
{
    const HMODULE module = GetModuleHandleW(nullptr);
    const HRSRC resource = FindResourceA(module, name, type);
    if (!resource)
        return VTVxStream();
    const HGLOBAL loaded = LoadResource(module, resource);
    if (!loaded)
        return VTVxStream();
    void *bytes = LockResource(loaded);
    if (!bytes)
        return VTVxStream();
    const DWORD size = SizeofResource(module, resource);
    return make_var_a<TVxFixedMemStream>(bytes, static_cast<unsigned>(size), TVxFixedMemStream::omRead);
}

std::string LoadResourceBytes(const char *name)
{
    const VTVxStream stream = LoadResourceStream(name, MAKEINTRESOURCEA(10)); // RT_RCDATA
    if (!stream)
        return std::string();
    std::string bytes(stream->getSize(), '\0');
    if (!bytes.empty() && stream->Read(&bytes[0], static_cast<unsigned>(bytes.size())) != bytes.size())
        return std::string();
    return bytes;
}

void ReadLinkData(TVxXIniReader &reader, TLinkData &link)
{
    link.target_file = CfgReadString(reader, "target_file");
    link.link_file = CfgReadString(reader, "link_file");
    link.description = CfgReadString(reader, "description");
    link.cmd_line_params = CfgReadString(reader, "cmd_line_params");
    link.icon_file = CfgReadString(reader, "icon_file");
    link.icon_num = CfgReadInt(reader, "icon_num");
}

void ReadLinks(TVxXIniReader &reader, std::vector<TLinkData> &links)
{
    for (unsigned i = 0; reader.Exists(i); ++i) {
        if (reader.GetName(i) != "link")
            continue;
        TSection section(reader, i);
        TLinkData link;
        ReadLinkData(reader, link);
        links.push_back(link);
        section.Close();
    }
}

// ---------------------------------------------------------------------------
// TInstParams::Load

bool TInstParams::Load()
{
    Mirelta::string_vector arguments;
    VTVxStream config;
    try {
        arguments = SplitCommandLine(WideToAnsi(GetCommandLineW()));
        if (!arguments.empty())
            arguments.erase(arguments.begin());
        config = LoadResourceStream("CONFIG_XML", MAKEINTRESOURCEA(10));
    } catch (...) {
        load_error = CurrentExceptionToMessage().Text();
        return false;
    }
    return Load(arguments, config);
}

bool TInstParams::Load(const Mirelta::string_vector &arguments, const VTVxStream &config)
{
    try {
        load_error.clear();
        prev_record_matched = false;
        prev_start_menu_group.clear();
        tolerant = false;
        run_mode = rmWizard;
        ParseCommandLine(*this, arguments);
        if (GetOption(*this, "tolerant"))
            tolerant = true;
        if (const std::string *express = GetOption(*this, "express"))
            run_mode = RunModeFromOption(*express);

        own_folder = ProgramFolder();

        {
            TSpecialFolderGetter folders(tolerant);
            program_files_folder = folders.GetSpecialFolderPath(CSIDL_PROGRAM_FILES, DefaultFolder);
            common_desktop_folder = folders.GetSpecialFolderPath(CSIDL_COMMON_DESKTOPDIRECTORY, DefaultFolder);
            common_programs_folder = folders.GetSpecialFolderPath(CSIDL_COMMON_PROGRAMS, DefaultFolder);
            user_programs_folder = folders.GetSpecialFolderPath(CSIDL_PROGRAMS, DefaultFolder);
        }

        const std::string programW6432 = "%ProgramW6432%";
        program_files64_folder = ExpandEnvironment(programW6432);
        is_64bit_os = program_files64_folder != programW6432;
        if (!is_64bit_os) {
            program_files64_folder = program_files_folder;
            SetEnvironmentVariableW(L"ProgramW6432", AnsiToWide(program_files_folder).c_str());
        }

        ReadConfiguration(config, *this);

        prev_install_found = false;
        target_folder = ExpandEnvironment(tgt_folder);
        par_proc_folder = ExpandEnvironment(par_proc_tgt_folder);

        if (has_par_proc) {
            std::string path;
            if (ReadInstallPath(par_proc_reg_install_key, path))
                par_proc_folder = path;
        }

        std::string installPath;
        if (ReadInstallPath(reg_install_key, installPath)) {
            target_folder = installPath;
            prev_install_found = true;
            const std::string record = IncludeTrailingBackslash(target_folder) + InstallRecordName;
            if (FileExists(record))
                ReadInstallRecord(record, *this);
        }

        default_target_folder = target_folder;
        default_par_proc_folder = par_proc_folder;

        if (!app_title.empty())
            ClassLib::Application->SetTitle(
                ToAnsiString(FormatString(LoadResString(IDS_SETUP_TITLE).c_str(), app_title.c_str())));
        return true;
    } catch (...) {
        load_error = CurrentExceptionToMessage().Text();
        return false;
    }
}
