#include "installer/ParProc.h"

#include "foundation/VxMessage.h"
#include "foundation/VxPath.h"
#include "foundation/VxProcess.h"
#include "foundation/VxStream.h"
#include "foundation/VxText.h"
#include "installer/InstParams.h"
#include "installer/Records.h"
#include "visual/DlgMessageBoxUnit.h"
#include "xini/VxXIniFormat.h"
#include "xini/VxXIniStreamWriter.h"

namespace {

const unsigned TextInstallFailed = 30021;
const unsigned TextInstalling = 30032;
const unsigned TextParProcFailed = 30037;

std::string::size_type SkipBlanks(const std::string &text, std::string::size_type position)
{
    const std::string::size_type found = text.find_first_not_of(' ', position);
    return found == std::string::npos ? text.size() : found;
}

std::string TextFrom(const std::string &text, std::string::size_type position)
{
    return text.substr(SkipBlanks(text, position));
}

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

TRedistCommand SplitRedistCommand(const std::string &targetFolder, const std::string &item)
{
    TRedistCommand command;
    const std::string::size_type begin = SkipBlanks(item, 0);
    if (begin < item.size() && item[begin] == '"') {
        const std::string::size_type close = item.find('"', begin + 1);
        const std::string::size_type end = close == std::string::npos ? item.size() : close;
        command.program = targetFolder + item.substr(begin + 1, end - begin - 1);
        command.arguments = close == std::string::npos ? std::string() : TextFrom(item, close + 1);
        return command;
    }

    std::string::size_type end = item.find(' ', begin);
    const std::string::size_type firstBlank = end;
    while (end != std::string::npos && !FileExists(targetFolder + item.substr(begin, end - begin)))
        end = item.find(' ', SkipBlanks(item, end));
    if (end == std::string::npos && !FileExists(targetFolder + item.substr(begin)))
        end = firstBlank;
    command.program = targetFolder + item.substr(begin, end == std::string::npos ? std::string::npos : end - begin);
    command.arguments = end == std::string::npos ? std::string() : TextFrom(item, end);
    return command;
}

std::string QuotedCommandLine(const std::string &program, const std::string &arguments)
{
    std::string line = "\"" + program + "\"";
    if (!arguments.empty())
        line += " " + arguments;
    return line;
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
                (Mirelta::TVxMessage(TextParProcFailed) << par_proc_folder << CurrentExceptionToMessage()).Text());
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
        State(FormatString(LoadResStdString(TextInstalling).c_str(), item.c_str()));
        const TRedistCommand command = SplitRedistCommand(targetFolder, item);
        const std::string commandLine = QuotedCommandLine(command.program, command.arguments);
        for (;;) {
            const bool done = RunProcess(commandLine, ExtractFilePath(command.program), &options);
            // A cancel confirmed while the program ran ends the installation
            // here; it is not a failure of the program to ask about.
            if (cancel)
                throw "@User break";
            if (done)
                break;
            const int answer = RedistFailureQuestion((Mirelta::TVxMessage(TextInstallFailed) << item).Text());
            if (answer == IDRETRY)
                continue;
            if (answer == IDIGNORE)
                break;
            throw Mirelta::TVxMessage(TextInstallFailed) << item;
        }
    }
}
