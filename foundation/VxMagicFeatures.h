// The process-wide feature query: a component asks, under its own name, for a
// mask of bits that switch on debugging aids ("VxMessageBox" for the message
// dialog's Debug button, "VxGRes" for the parameter suffix of string-table
// texts). The program keeps the null handler, which answers 0 for every name;
// a host that wants the aids points VxMagicFeaturesHandler at its own handler.
#pragma once

#include <cstdint>

class TVxMagicFeaturesHandlers {
public:
    virtual std::uint32_t GetFeatures(const char *component) = 0;
    // Lets a handler drop what it has cached; the program never calls it.
    virtual void Reset() = 0;

protected:
    ~TVxMagicFeaturesHandlers() = default;
};

// The handler that QueryMagicFeatures asks; initially the null handler.
extern TVxMagicFeaturesHandlers *VxMagicFeaturesHandler;

// The handler's mask for the component; a null or empty name asks for "Global".
std::uint32_t QueryMagicFeatures(const char *component);
