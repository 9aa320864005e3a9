// The text of a window that may belong to another process, asked of the
// window itself: an edit control keeps its text in its own process, where
// GetWindowText from outside does not reach it. Empty when the window does
// not answer within two seconds.
#pragma once

#include <windows.h>

#include <string>

std::wstring ForeignWindowText(HWND window);
