#include "installer/InstLog.h"

#include "foundation/VxDateTime.h"
#include "foundation/VxPath.h"
#include "installer/InstParams.h"

namespace {

const std::string Separator(35, '=');

} // namespace

TInstLog::TInstLog(const TInstParams &owner) : owner_(owner) {}

std::string TInstLog::CurrentTimeText()
{
    return FormatLocalDateTime(CurrentTime(), false);
}

void TInstLog::Begin()
{
    lines_.clear();
    lines_.push_back("\xEF\xBB\xBF" + Separator);
    Add("App", owner_.app_sign);
    Add("Title", owner_.app_long_title);
    Add("Start", timeText());
}

void TInstLog::Add(const std::string &key, const std::string &value)
{
    lines_.push_back(AnsiToUtf8(FormatString("+%s: %s", key.c_str(), value.c_str())));
}

void TInstLog::AddFolder(const std::string &path)
{
    Add("Folder", path);
}

void TInstLog::AddFile(const std::string &path)
{
    Add("File", path);
}

void TInstLog::AddReg(const std::string &key, const std::string &valueName)
{
    Add("Reg", IncludeTrailingChar(key, '\\') + valueName);
}

void TInstLog::End()
{
    Add("End", timeText());
    lines_.push_back(Separator);
}

bool TInstLog::Save(const std::string &path) const
{
    return WriteStringToFile(path.c_str(), JoinStrings(lines_, "\r\n"));
}
