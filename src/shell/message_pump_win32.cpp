#include <windows.h>

#include "shell/message_pump.h"

namespace shell {

void DoEvents() {
  // A handler run from here may yield again (a tray callback does, the escaping does for every
  // character it replaces). Past a few levels the messages wait for an outer loop instead, so
  // that a flood of them cannot nest without end and exhaust the stack.
  static thread_local int depth = 0;
  if (depth >= kMaxYieldDepth) return;
  ++depth;
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      // Only the main loop may end the program; hand the request back to it.
      PostQuitMessage(static_cast<int>(msg.wParam));
      break;
    }
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  --depth;
}

}  // namespace shell
