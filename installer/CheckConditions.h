// The install-condition check of TInstParams::CheckConditions: a 64-bit
// product on a 32-bit Windows, the Windows platform and version, and the
// screen's size and colour depth. The platform, version and screen checks
// each have a level: 0 off, 1 warn and go on, 2 refuse; any other level acts
// as off. The system facts and the message boxes come through
// TInstConditionEnv, so the decisions can be exercised with any facts.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

class TInstConditionEnv {
public:
    virtual ~TInstConditionEnv() = default;
    // The system's version record (dwOSVersionInfoSize set by the caller).
    virtual void GetVersion(OSVERSIONINFOA &info) = 0;
    // The screen's width and height in pixels and its bits per pixel.
    virtual void GetScreen(int32_t &width, int32_t &height, int32_t &bitsPerPixel) = 0;
    virtual bool AskYesNo(const std::string &text) = 0;
    virtual void ShowWarning(const std::string &text) = 0;
    virtual void ShowError(const std::string &text) = 0;
};

// The real system and the program's message boxes.
class TInstSystemConditionEnv : public TInstConditionEnv {
public:
    void GetVersion(OSVERSIONINFOA &info) override;
    void GetScreen(int32_t &width, int32_t &height, int32_t &bitsPerPixel) override;
    bool AskYesNo(const std::string &text) override;
    void ShowWarning(const std::string &text) override;
    void ShowError(const std::string &text) override;
};
