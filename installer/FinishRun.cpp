#include "installer/FinishRun.h"

#include <vector>

#include "foundation/VxPath.h"
#include "foundation/VxProcess.h"
#include "foundation/VxText.h"
#include "installer/InstParams.h"

namespace {

DWORD SystemUnelevatedStart(const wchar_t *applicationName, wchar_t *commandLine)
{
    return StartProcessUnelevated(applicationName, commandLine);
}

// Makes folder the process's current folder for the life of the object. The
// un-elevated start takes no folder of its own: its program inherits the
// current one.
class TCurrentFolderSwitch {
public:
    explicit TCurrentFolderSwitch(const std::string &folder)
    {
        const DWORD length = GetCurrentDirectoryW(0, nullptr);
        if (length == 0)
            return;
        std::vector<wchar_t> buffer(length + 1, L'\0');
        if (GetCurrentDirectoryW(static_cast<DWORD>(buffer.size()), buffer.data()) == 0)
            return;
        previous_ = buffer.data();
        switched_ = SetCurrentDirectoryW(AnsiToWide(folder).c_str()) != FALSE;
    }
    ~TCurrentFolderSwitch()
    {
        if (switched_)
            SetCurrentDirectoryW(previous_.c_str());
    }
    TCurrentFolderSwitch(const TCurrentFolderSwitch &) = delete;
    TCurrentFolderSwitch &operator=(const TCurrentFolderSwitch &) = delete;

private:
    std::wstring previous_;
    bool switched_ = false;
};

bool StartUnelevated(const std::string &program, const std::string &commandLine)
{
    const std::wstring application = AnsiToWide(program);
    std::wstring line = AnsiToWide(commandLine);
    std::vector<wchar_t> writable(line.begin(), line.end());
    writable.push_back(L'\0');
    TCurrentFolderSwitch folder(ExtractFilePath(program));
    return FinishUnelevatedStart(application.c_str(), writable.data()) == 0;
}

} // namespace

TUnelevatedStart FinishUnelevatedStart = &SystemUnelevatedStart;

void TInstParams::FinishRun()
{
    const std::string targetFolder = IncludeTrailingBackslash(target_folder);
    for (const TRunData &item : finish_run) {
        if (!item.exec)
            continue;
        try {
            const std::string program = targetFolder + item.target_file;
            // The quoted program path, one blank and the arguments: the same
            // command line for both ways of starting.
            const std::string commandLine = FormatString("\"%s\" %s", program.c_str(), item.cmd_line_params.c_str());
            if (StartUnelevated(program, commandLine))
                continue;
            RunProcessSimple(commandLine, ExtractFilePath(program));
        } catch (...) {
            // Nothing is reported; the next program is still started.
        }
    }
}
