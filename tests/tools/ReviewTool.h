// Helpers of the review tools, which save pictures of windows for a person to
// look at: a window's screen image as a BMP file, and a pump that lets the
// windows paint.
#pragma once

#include <windows.h>

#include <string>

// Writes the window's screen image (as on screen now, whatever lies on top)
// as a 24-bit BMP file; false when the window has no area or the file cannot
// be written.
bool SaveWindowBitmap(HWND window, const std::string &path);

// Handles the application's messages for ms milliseconds.
void PumpFor(unsigned ms);
