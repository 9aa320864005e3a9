#include "xini/VxXIniReader.h"

#include <cstring>

TVxXIniReader::~TVxXIniReader() {}

bool TVxXIniReader::IsBroken()
{
    return false;
}

unsigned TVxXIniReader::Find(const char *name, unsigned start)
{
    return Find(name, std::strlen(name), start);
}

unsigned TVxXIniReader::FindRequired(const char *name, unsigned start)
{
    return FindRequired(name, std::strlen(name), start);
}

unsigned TVxXIniReader::Find(const std::string &name, unsigned start)
{
    return Find(name.data(), name.size(), start);
}

unsigned TVxXIniReader::FindRequired(const std::string &name, unsigned start)
{
    return FindRequired(name.data(), name.size(), start);
}

unsigned TVxXIniReader::OpenSection(const char *name)
{
    return OpenSection(Find(name, std::strlen(name), 0));
}

unsigned TVxXIniReader::OpenSectionRequired(const char *name)
{
    return OpenSectionRequired(FindRequired(name, std::strlen(name), 0));
}

unsigned TVxXIniReader::OpenSection(const std::string &name)
{
    return OpenSection(Find(name.data(), name.size(), 0));
}

unsigned TVxXIniReader::OpenSectionRequired(const std::string &name)
{
    return OpenSectionRequired(FindRequired(name.data(), name.size(), 0));
}

bool TVxXIniReader::GetBool(unsigned index, bool defaultValue)
{
    return GetInt(index, defaultValue ? 1 : 0) != 0;
}

bool TVxXIniReader::GetBoolRequired(unsigned index)
{
    return GetIntRequired(index) != 0;
}
