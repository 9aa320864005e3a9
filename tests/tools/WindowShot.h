// The review tools' window pictures: a window's screen image saved as a BMP
// file, for a person to look at.
#pragma once

#include <windows.h>

#include <string>

// Writes the window's screen image (as on screen now, whatever lies on top)
// as a 24-bit BMP file; false when the window has no area or the file cannot
// be written.
bool SaveWindowBitmap(HWND window, const std::string &path);
