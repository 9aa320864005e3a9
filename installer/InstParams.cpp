#include "installer/InstParams.h"

#include <climits>
#include <cstdlib>

#include "foundation/VxProcess.h"

TInstParams InstParams;

TInstParams::TInstParams() : install_log(*this) {}

TInstParams::~TInstParams() = default;

void TInstParams::State(const std::string &text)
{
    if (!progress_sink)
        return;
    if (!progress_sink->OnState(text))
        throw "@User break";
}

void TInstParams::Progress(int32_t percent)
{
    if (!progress_sink)
        return;
    if (!progress_sink->OnProgress(percent))
        throw "@User break";
}

Mirelta::string_vector SplitCommandLine(const std::string &commandLine)
{
    Mirelta::string_vector result;
    const char *p = commandLine.c_str();
    for (;;) {
        while (*p && static_cast<unsigned char>(*p) <= ' ')
            ++p;
        if (!*p)
            break;
        std::string argument;
        while (static_cast<unsigned char>(*p) > ' ') {
            if (*p != '"') {
                argument += *p++;
                continue;
            }
            ++p;
            while (*p && *p != '"')
                argument += *p++;
            if (*p)
                ++p;
        }
        result.push_back(argument);
    }
    return result;
}

void ParseCommandLine(TInstParams &params, const Mirelta::string_vector &arguments)
{
    for (const std::string &argument : arguments) {
        if (argument.size() < 2 || (argument[0] != '-' && argument[0] != '/'))
            continue;
        const std::string rest = argument.substr(1);
        const std::string::size_type equals = rest.find('=');
        if (equals == std::string::npos)
            params.option_map[LowerCase(rest)] = std::string();
        else
            params.option_map[LowerCase(rest.substr(0, equals))] = rest.substr(equals + 1);
    }
}

void ParseCommandLine(TInstParams &params)
{
    Mirelta::string_vector arguments = SplitCommandLine(WideToAnsi(GetCommandLineW()));
    if (!arguments.empty())
        arguments.erase(arguments.begin());
    ParseCommandLine(params, arguments);
}

const std::string *GetOption(TInstParams &params, const std::string &name)
{
    const auto found = params.option_map.find(LowerCase(name));
    return found == params.option_map.end() ? nullptr : &found->second;
}

TRunMode RunModeFromOption(const std::string &value)
{
    // atoi's conversion, without its undefined overflow: a long number is
    // far outside 0..4 whichever way it overflows, so it clamps by its sign.
    const long long number = std::strtoll(value.c_str(), nullptr, 10);
    if (number < rmWizard)
        return rmWizard;
    if (number > rmSilent)
        return rmSilent;
    return static_cast<TRunMode>(number);
}

bool ProgressPulse(DWORD_PTR)
{
    InstParams.Progress(InstProgressIndefinite);
    return true;
}

std::string MakeCloseEventNameA(const std::string &folder)
{
    return MakeEventNameA("VxCloseEvent", folder);
}

std::string MakeCloseEventNameW(const std::string &folder)
{
    return MakeEventNameW("VxCloseEvent", folder);
}

ClassLib::AnsiString LoadResString(unsigned id)
{
    return ToAnsiString(LoadResStdString(id));
}

ClassLib::AnsiString ToAnsiString(const std::string &text)
{
    return ClassLib::AnsiString(text.data(), text.size());
}

std::string ToStdString(const ClassLib::AnsiString &text)
{
    return std::string(text.data(), text.size());
}
