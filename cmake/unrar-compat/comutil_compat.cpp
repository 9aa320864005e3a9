// The narrow-text conversion behind _bstr_t, which the library's Windows
// version query uses. The Windows SDK ships it in a support library that the
// mingw-w64 tool chain lacks; this is our own replacement, linked into the
// RAR library only.
#include <windows.h>
#include <comutil.h>

namespace _com_util {

BSTR WINAPI ConvertStringToBSTR(const char *pSrc)
{
    if (pSrc == nullptr)
        return nullptr;
    int units = MultiByteToWideChar(CP_ACP, 0, pSrc, -1, nullptr, 0);
    if (units <= 0)
        return nullptr;
    BSTR result = SysAllocStringLen(nullptr, static_cast<UINT>(units - 1));
    if (result == nullptr)
        return nullptr;
    MultiByteToWideChar(CP_ACP, 0, pSrc, -1, result, units);
    return result;
}

} // namespace _com_util
