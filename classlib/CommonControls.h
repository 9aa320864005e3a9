// The system's common-controls library, loaded when the class library makes
// its first window rather than when the program starts: a program that shows
// no window (the installer's console and silent runs) never pays for loading
// and initialising it. The library loaded is the one the program's manifest
// selects (version 6, with visual styles).
#pragma once

#include <windows.h>
#include <commctrl.h>

namespace ClassLib {

// Loads the library and registers the common control classes the class
// library uses (standard, progress, bar and tooltip classes), once. Every
// window of the class library is made after this call. False when the library
// cannot be loaded.
bool LoadCommonControls();

// The library's image-list functions, loading it when needed.
HIMAGELIST ImageListCreate(int width, int height, UINT flags, int initial, int grow);
int ImageListAddMasked(HIMAGELIST list, HBITMAP bitmap, COLORREF mask);
void ImageListDestroy(HIMAGELIST list);

} // namespace ClassLib
