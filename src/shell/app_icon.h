#pragma once
// The program's icon: a blue card with its magnetic stripe (Windows builds only).

#include "shell/win_handles.h"

namespace shell {

// A new icon of size x size pixels: the nearest image of the executable's icon resource 1 (16, 24,
// 32, 48), scaled to that size, or, in a program without one, drawn in code;
// `greyed` gives it in greys (the card reader is not ready). The caller destroys it. nullptr on
// failure.
HICON CreateAppIcon(int size, bool greyed = false);

}  // namespace shell
