#include "classlib/CommonControls.h"

namespace ClassLib {

namespace {

typedef BOOL(WINAPI *TInitCommonControlsEx)(const INITCOMMONCONTROLSEX *);
typedef HIMAGELIST(WINAPI *TImageListCreate)(int, int, UINT, int, int);
typedef int(WINAPI *TImageListAddMasked)(HIMAGELIST, HBITMAP, COLORREF);
typedef BOOL(WINAPI *TImageListDestroy)(HIMAGELIST);

HMODULE Library()
{
    static HMODULE module = LoadLibraryW(L"comctl32.dll");
    return module;
}

// The library's function of that name, or null.
template <class TFunction>
TFunction Function(const char *name)
{
    HMODULE module = Library();
    return module ? reinterpret_cast<TFunction>(reinterpret_cast<void *>(GetProcAddress(module, name))) : nullptr;
}

} // namespace

bool LoadCommonControls()
{
    static const bool loaded = [] {
        auto init = Function<TInitCommonControlsEx>("InitCommonControlsEx");
        if (!init)
            return false;
        INITCOMMONCONTROLSEX icc{};
        icc.dwSize = sizeof(icc);
        icc.dwICC = ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES | ICC_PROGRESS_CLASS | ICC_BAR_CLASSES;
        init(&icc);
        return true;
    }();
    return loaded;
}

HIMAGELIST ImageListCreate(int width, int height, UINT flags, int initial, int grow)
{
    static const auto create = Function<TImageListCreate>("ImageList_Create");
    return create ? create(width, height, flags, initial, grow) : nullptr;
}

int ImageListAddMasked(HIMAGELIST list, HBITMAP bitmap, COLORREF mask)
{
    static const auto add = Function<TImageListAddMasked>("ImageList_AddMasked");
    return add ? add(list, bitmap, mask) : -1;
}

void ImageListDestroy(HIMAGELIST list)
{
    static const auto destroy = Function<TImageListDestroy>("ImageList_Destroy");
    if (destroy && list)
        destroy(list);
}

} // namespace ClassLib
