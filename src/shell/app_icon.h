#pragma once
// The program's icon, drawn in code: a blue card with its magnetic stripe (Windows builds only).

#include "shell/win_handles.h"

namespace shell {

// A new icon of size x size pixels (32 for the window, 16 for the notification area); the caller
// destroys it. nullptr on failure. `greyed` draws it in greys: the card reader is not ready.
HICON CreateAppIcon(int size, bool greyed = false);

}  // namespace shell
