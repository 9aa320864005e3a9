// Keys typed as a person types them: through the system's input queue
// (SendInput), so that they reach the window with the keyboard focus, or its
// foreground window as system keys when nothing has the focus. A message
// posted to a window would bypass both.
#pragma once

#include <windows.h>

#include <vector>

// Presses the keys down in order and releases them in reverse, as a chord
// ({VK_MENU, VK_F4} is Alt+F4).
void PressKeys(const std::vector<WORD> &keys);
