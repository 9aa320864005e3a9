#include "installer/CheckConditions.h"

#include "classlib/Forms.h"
#include "foundation/StringIds.h"
#include "foundation/VxText.h"
#include "installer/InstParams.h"
#include "visual/DlgMessageBoxUnit.h"

namespace {

enum TCheckOutcome { coPass, coRefuse };

// Shows the failed check's text by its level; level 2 refuses, every other
// level lets the installation go on (0 and unknown levels show nothing).
TCheckOutcome Report(TInstConditionEnv &env, int32_t level, const std::string &text)
{
    if (level == 1) {
        env.ShowWarning(text);
        return coPass;
    }
    if (level == 2) {
        env.ShowError(text);
        return coRefuse;
    }
    return coPass;
}

bool VersionBelow(const OSVERSIONINFOA &info, uint32_t major, uint32_t minor)
{
    return info.dwMajorVersion < major || (info.dwMajorVersion == major && info.dwMinorVersion < minor);
}

} // namespace

void TInstSystemConditionEnv::GetVersion(OSVERSIONINFOA &info)
{
    GetVersionExA(&info);
}

void TInstSystemConditionEnv::GetScreen(int32_t &width, int32_t &height, int32_t &bitsPerPixel)
{
    const HWND window = ClassLib::Application->Handle();
    const HDC dc = GetDC(window);
    bitsPerPixel = GetDeviceCaps(dc, BITSPIXEL);
    width = GetDeviceCaps(dc, HORZRES);
    height = GetDeviceCaps(dc, VERTRES);
    ReleaseDC(window, dc);
}

bool TInstSystemConditionEnv::AskYesNo(const std::string &text)
{
    return ::AskYesNo(text);
}

void TInstSystemConditionEnv::ShowWarning(const std::string &text)
{
    ::ShowWarning(text);
}

void TInstSystemConditionEnv::ShowError(const std::string &text)
{
    ::ShowError(text);
}

bool TInstParams::CheckConditions()
{
    TInstSystemConditionEnv env;
    return CheckConditions(env);
}

bool TInstParams::CheckConditions(TInstConditionEnv &env)
{
    if (is_64bit_app && !is_64bit_os && !env.AskYesNo(LoadResStdString(IDS_ASK_NEEDS_64BIT)))
        return false;

    OSVERSIONINFOA info = {};
    info.dwOSVersionInfoSize = sizeof(info);
    env.GetVersion(info);

    if (platform_check != 0 && info.dwPlatformId != VER_PLATFORM_WIN32_NT &&
        Report(env, platform_check, os_message) == coRefuse)
        return false;

    if (os_version_check != 0 && VersionBelow(info, os_major, os_minor) &&
        Report(env, os_version_check, os_message) == coRefuse)
        return false;

    if (screen_check != 0) {
        int32_t screenWidth = 0, screenHeight = 0, depth = 0;
        env.GetScreen(screenWidth, screenHeight, depth);
        if ((screenWidth < width || screenHeight < height || depth < bitspp) &&
            Report(env, screen_check, screen_message) == coRefuse)
            return false;
    }
    return true;
}
