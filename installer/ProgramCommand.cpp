#include "installer/ProgramCommand.h"

#include "foundation/VxPath.h"

namespace {

std::string::size_type SkipBlanks(const std::string &text, std::string::size_type position)
{
    const std::string::size_type found = text.find_first_not_of(' ', position);
    return found == std::string::npos ? text.size() : found;
}

std::string TextFrom(const std::string &text, std::string::size_type position)
{
    return text.substr(SkipBlanks(text, position));
}

} // namespace

TProgramCommand SplitProgramCommand(const std::string &targetFolder, const std::string &item)
{
    TProgramCommand command;
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
