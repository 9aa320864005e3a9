// TInstParams: the installer's one settings-and-engine object.
//
// The command line, the embedded configuration, the resolved shell folders,
// what is known of a previous installation, the user's choices in the wizard
// and the state of a running installation all live here; every part of the
// installer reads and writes them in the one global object InstParams. Its
// engine operations load the configuration (Load), check the system
// (CheckConditions), install (Install) and start the finish programs
// (FinishRun). The engine reports to whichever display is active through the
// narrow sink interface TInstProgress.
//
// All strings are std::string in the ANSI code page.
#pragma once

#include <windows.h>

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "classlib/AnsiString.h"
#include "foundation/VxStream.h"
#include "foundation/VxText.h"
#include "foundation/class_no_copy.h"
#include "foundation/var_a.h"
#include "installer/InstLog.h"

// Percent value of one step of work of indefinite length.
const int32_t InstProgressIndefinite = -1;

// The progress sink of an installation. Both calls return true to go on and
// false to ask the installation to stop. Sinks are never deleted through this
// interface.
class TInstProgress {
public:
    // What the installation is doing now.
    virtual bool OnState(const std::string &text) = 0;
    // A percent 0..100, or InstProgressIndefinite for a step of unknown length.
    virtual bool OnProgress(int32_t percent) = 0;

protected:
    ~TInstProgress() = default;
};

// The five ways of running, from the option "express" or the answer to the
// express-update question.
enum TRunMode : int32_t {
    rmWizard = 0,         // the full wizard
    rmExpressWizard = 1,  // the wizard with the progress and finish pages only
    rmProgressWindow = 2, // the small progress window, which installs at once
    rmConsole = 3,        // no window: a console shows the state texts
    rmSilent = 4,         // no window and no output
};

// Modes 0 and 1: the wizard, over the backdrop when configured.
inline bool IsWizardMode(TRunMode mode)
{
    return mode == rmWizard || mode == rmExpressWizard;
}

// One program to start after a successful installation.
struct TRunData {
    std::string target_file;
    std::string cmd_line_params;
    std::string description;
    bool exec = true;         // start it
    bool allow_change = true; // the finish page offers a check box for it
};

// One shortcut.
struct TLinkData {
    std::string target_file;
    std::string link_file;
    std::string description;
    std::string cmd_line_params;
    std::string icon_file;
    int32_t icon_num = 0;
};

class TInstConditionEnv;

class TInstParams : Mirelta::class_no_copy {
public:
    TInstParams();
    ~TInstParams();

    // --- Engine -------------------------------------------------------------

    // Reads the program's command line and its "CONFIG_XML" resource, the
    // registry and a previous installation's record. Never throws; false when
    // a step failed (the members set before the failure keep their values,
    // load_error holds the failure's message text).
    bool Load();
    // The same on given arguments (those after the program name) and a given
    // configuration document; an empty stream fails like a missing resource.
    bool Load(const Mirelta::string_vector &arguments, const VTVxStream &config);

    // Whether the product may be installed on this computer; shows its own
    // questions, warnings and errors. Throws nothing.
    bool CheckConditions();
    // The same with the system facts and the boxes taken from env.
    bool CheckConditions(TInstConditionEnv &env);

    // The installation; true after success. Never throws; a failure is shown
    // before it returns (nothing is shown after a user break).
    bool Install();
    // Starts the finish programs left ticked; reports nothing.
    void FinishRun();

    // Steps of Install.
    void CreateShortcuts();
    void ConnectParProc();
    void InstallRedist();
    void WriteAutorunRecord();
    void WriteUninstallRecord();
    void WriteInstallData();

    // --- Reporting -----------------------------------------------------------

    void SetProgress(TInstProgress *sink) { progress_sink = sink; }
    // Without a sink these do nothing; a sink that answers false makes them
    // throw the C string "@User break".
    void State(const std::string &text);
    void Progress(int32_t percent);

    // --- Run control and reporting ------------------------------------------

    std::map<std::string, std::string> option_map; // lower-case name -> value
    TInstProgress *progress_sink = nullptr;
    TInstLog install_log;
    bool tolerant = false; // a failed shell-folder lookup yields its default

    // --- Install conditions (levels: 0 off, 1 warn, 2 refuse) ------------------

    int32_t platform_check = 0;
    int32_t os_version_check = 0;
    uint32_t os_major = 0;
    uint32_t os_minor = 0;
    std::string os_message;
    bool is_64bit_app = false;
    bool is_64bit_os = false; // the variable ProgramW6432 exists
    int32_t screen_check = 0;
    int32_t width = 0;
    int32_t height = 0;
    int32_t bitspp = 0;
    std::string screen_message;

    // --- General --------------------------------------------------------------

    std::string app_sign;
    bool show_background = false;
    std::string app_title;
    std::string app_long_title;
    bool use_vx_close_event = false;
    bool use_vx_close_event2 = false;
    std::string tgt_folder; // as configured, environment references unexpanded

    // --- Distributed processing -----------------------------------------------

    bool par_proc_install = false; // attach the product to the main system
    std::string par_proc_tgt_folder;
    std::string par_proc_reg_install_key;
    std::string par_proc_cfg_file;
    std::string par_proc_check_file;

    // --- Preserved entries ------------------------------------------------------

    bool preserve_root_folder = false;
    std::set<std::string> preserve_files; // upper-cased paths relative to the target

    // --- Start menu, desktop and autorun ----------------------------------------

    std::string start_menu_group;
    std::string configured_start_menu_group;
    std::string prev_start_menu_group; // the group named by the matched previous record, "" when none
    std::vector<TLinkData> start_menu_links;
    bool create_desktop_links = false;
    std::vector<TLinkData> desktop_links;
    bool create_autorun_record = false;
    TLinkData autorun_link;
    std::string comment;
    std::string cb_caption;

    // --- Actions and records -------------------------------------------------------

    std::vector<TRunData> finish_run;
    std::string vx_consts_file;
    std::string vx_consts_path;
    std::vector<std::string> install_redist; // target_file of each item
    std::string reg_install_key;
    std::string reg_uninstall_key;
    std::string display_name;
    std::string uninstall_exe;
    std::string display_version;
    std::string publisher;
    std::string url_info_about;
    std::string display_icon_file;
    std::string help_telephone;
    std::string contact;
    int32_t no_modify = 0;
    int32_t no_repair = 0;

    // --- Pages ------------------------------------------------------------------------

    bool licence = false;
    bool target = false;
    bool group = false;
    bool ready = false;
    bool autorun = false;      // the group page shows its autorun box
    bool has_par_proc = false; // the configuration has a par_proc section

    // --- Folders (as the shell gives them) -----------------------------------------------

    std::string own_folder; // the program file's folder, with a trailing backslash
    std::string common_desktop_folder;   // CSIDL_COMMON_DESKTOPDIRECTORY
    std::string program_files_folder;    // CSIDL_PROGRAM_FILES
    std::string program_files64_folder;  // %ProgramW6432%, or the one above
    std::string user_programs_folder;    // CSIDL_PROGRAMS
    std::string common_programs_folder;  // CSIDL_COMMON_PROGRAMS

    // --- Target, previous installation and run state ----------------------------------------

    std::string target_folder;
    std::string default_target_folder;
    std::string par_proc_folder;
    std::string default_par_proc_folder;
    bool prev_install_found = false;  // the registry holds an install path
    bool prev_record_matched = false; // its record has our app_sign
    TRunMode run_mode = rmWizard;
    std::string load_error;           // why Load failed, the item named; "" after a successful load
    bool running = false;
    bool cancel = false;
};

// The one settings object of the program.
extern TInstParams InstParams;

// Command line: the program's arguments, split as the class library splits
// them (blanks and control characters separate, double quotes group and are
// removed); index 0 is the program name.
Mirelta::string_vector SplitCommandLine(const std::string &commandLine);
// Fills the option map from the program's own arguments.
void ParseCommandLine(TInstParams &params);
// Fills the option map from the given arguments (without the program name):
// "-name", "/name", "-name=value"; names lower-cased, the later one wins;
// anything else is skipped.
void ParseCommandLine(TInstParams &params, const Mirelta::string_vector &arguments);
// The option's value, or null when it was not given; the name ignores case.
const std::string *GetOption(TInstParams &params, const std::string &name);
// The run mode of an "express" value: atoi, clamped to 0..4.
TRunMode RunModeFromOption(const std::string &value);

// Wait callback of the redistributable runs: an indefinite step on the global
// object; true to go on waiting.
bool ProgressPulse(DWORD_PTR context = 0);

// Names of the narrow and the wide close event of the product in folder.
std::string MakeCloseEventNameA(const std::string &folder);
std::string MakeCloseEventNameW(const std::string &folder);

// String-table texts of the program as the class library's string (captions).
ClassLib::AnsiString LoadResString(unsigned id);
// Byte-exact copies between the two string types (embedded zero bytes survive).
ClassLib::AnsiString ToAnsiString(const std::string &text);
std::string ToStdString(const ClassLib::AnsiString &text);
