// The common-controls library loaded on demand: the version the manifest
// selects, with the classes the forms use, and its image lists.
#include <windows.h>

#include <commctrl.h>

#include <cwchar>

#include <gtest/gtest.h>

#include "classlib/CommonControls.h"

namespace {

TEST(CommonControls, LoadsVersionSixWithTheClassesTheFormsUse)
{
    ASSERT_TRUE(ClassLib::LoadCommonControls());
    // Loaded by name the way the class library loads it, the library is the
    // version 6 assembly that the program's manifest selects (whatever
    // version number it reports).
    HMODULE module = LoadLibraryW(L"comctl32.dll");
    ASSERT_NE(nullptr, module);
    wchar_t path[MAX_PATH] = L"";
    GetModuleFileNameW(module, path, MAX_PATH);
    FreeLibrary(module);
    CharLowerW(path);
    EXPECT_NE(nullptr, wcsstr(path, L"microsoft.windows.common-controls_6595b64144ccf1df_6.")) << path;

    for (const wchar_t *name : {PROGRESS_CLASSW, TOOLTIPS_CLASSW, WC_BUTTONW}) {
        WNDCLASSEXW wc{};
        wc.cbSize = sizeof(wc);
        EXPECT_TRUE(GetClassInfoExW(nullptr, name, &wc)) << name;
    }
}

TEST(CommonControls, ImageListsAreMadeFilledAndDestroyed)
{
    HIMAGELIST list = ClassLib::ImageListCreate(16, 16, ILC_COLOR32 | ILC_MASK, 1, 0);
    ASSERT_NE(nullptr, list);
    HDC screen = GetDC(nullptr);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, 16, 16);
    ReleaseDC(nullptr, screen);
    EXPECT_EQ(0, ClassLib::ImageListAddMasked(list, bitmap, RGB(255, 0, 255)));
    EXPECT_EQ(1, ImageList_GetImageCount(list));
    DeleteObject(bitmap);
    ClassLib::ImageListDestroy(list);
    ClassLib::ImageListDestroy(nullptr); // nothing to destroy
}

} // namespace
