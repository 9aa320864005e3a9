#include "xini/VxXIniWriter.h"

#include "foundation/StringIds.h"
#include "foundation/VxMessage.h"

TVxXIniWriter::~TVxXIniWriter() = default;

bool TVxXIniWriter::WriteBool(const std::string &name, const bool &value)
{
    const int32_t number = value ? 1 : 0;
    return WriteInt32(name, number);
}

bool TVxXIniWriter::WriteString(const std::string &name, const char *value)
{
    return WriteString(name, std::string(value ? value : ""));
}

uint32_t TVxXIniWriter::BeginSectionOrRaise(const std::string &name)
{
    const uint32_t depth = BeginSection(name);
    if (depth == 0)
        RaiseWriteError();
    return depth;
}

void RaiseXIniWriteError(const std::string &streamName)
{
    if (streamName.empty())
        throw Mirelta::TVxMessage(IDS_XINI_WRITE_ERROR);
    throw Mirelta::TVxMessage(IDS_WRITE_ERROR) << streamName;
}
