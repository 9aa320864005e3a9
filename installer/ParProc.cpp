#include "installer/ParProc.h"

#include "foundation/StringIds.h"
#include "foundation/VxMessage.h"
#include "foundation/VxPath.h"
#include "foundation/VxProcess.h"
#include "foundation/VxStream.h"
#include "foundation/VxText.h"
#include "installer/InstParams.h"
#include "installer/ProgramCommand.h"
#include "installer/Records.h"
#include "visual/DlgMessageBoxUnit.h"
#include "xini/VxXIniFormat.h"
#include "xini/VxXIniStreamWriter.h"

namespace {

// The wait callback of a redistributable's run: an indefinite step on the
// settings object in the context; true to go on waiting. A refusing sink
// throws, which ends the wait.
bool RedistWaitPulse(DWORD_PTR context)
{
    reinterpret_cast<TInstParams *>(context)->Progress(InstProgressIndefinite);
    return true;
}

void ShowParProcError(const std::string &text)
{
    ShowError(text);
}

} // namespace

TRedistFailureQuestion RedistFailureQuestion = &AskRedistFailure;
TParProcErrorDisplay ParProcErrorDisplay = &ShowParProcError;

bool IsParProcFolderUsable(const std::string &folder)
{
    return IsAbsolutePath(folder);
}

int AskRedistFailure(const std::string &text)
{
    switch (ShowMessageDialog(text, mkWarning, mbAbort | mbRetry | mbIgnore, mbIgnore, mbAbort)) {
    case mbRetry:
        return IDRETRY;
    case mbIgnore:
        return IDIGNORE;
    default:
        return IDABORT;
    }
}

void TInstParams::ConnectParProc()
{
    if (!par_proc_install)
        return;
    try {
        // A folder that is empty or relative names no main system; the file
        // would land in whatever folder the program was started from. The
        // product is not attached, and the record says so.
        if (!IsParProcFolderUsable(par_proc_folder)) {
            par_proc_install = false;
            throw Mirelta::TVxMessage(IDS_PARPROC_NOT_FOUND);
        }
        const std::string path = IncludeTrailingBackslash(par_proc_folder) + par_proc_cfg_file;
        var_a<TVxFileStream> file = make_var_a<TVxFileStream>();
        file->OpenOrThrow(path, TVxFileStream::omCreate);
        install_log.AddFile(path);
        TVxXIniStreamWriter writer(file, 0, VxXIniHeaderFull);
        XIniWriteString(writer, "pp_program_folder", ExcludeTrailingBackslash(target_folder));
        if (!writer.CloseDocument())
            writer.RaiseWriteError();
        file->Close();
    } catch (...) {
        try {
            // The message names the folder of the main system the product
            // was to be attached to.
            ParProcErrorDisplay(
                (Mirelta::TVxMessage(IDS_PARPROC_CONNECT_FAILED) << par_proc_folder << CurrentExceptionToMessage())
                    .Text());
        } catch (...) {
        }
    }
}

void TInstParams::InstallRedist()
{
    const std::string targetFolder = IncludeTrailingBackslash(target_folder);
    TVxProcStartOptions options;
    options.wait = true;
    options.useShowCommand = true;
    options.showCommand = SW_SHOWMINIMIZED;
    options.waitCallback = &RedistWaitPulse;
    options.context = reinterpret_cast<DWORD_PTR>(this);

    for (const std::string &item : install_redist) {
        State(FormatString(LoadResStdString(IDS_INSTALLING_TITLE).c_str(), item.c_str()));
        const TProgramCommand command = SplitProgramCommand(targetFolder, item);
        const std::string commandLine = QuotedCommandLine(command.program, command.arguments);
        for (;;) {
            const bool done = RunProcess(commandLine, ExtractFilePath(command.program), &options);
            // A cancel confirmed while the program ran ends the installation
            // here; it is not a failure of the program to ask about.
            if (cancel)
                throw "@User break";
            if (done)
                break;
            const int answer = RedistFailureQuestion((Mirelta::TVxMessage(IDS_INSTALL_ERROR) << item).Text());
            if (answer == IDRETRY)
                continue;
            if (answer == IDIGNORE)
                break;
            throw Mirelta::TVxMessage(IDS_INSTALL_ERROR) << item;
        }
    }
}
