#pragma once
// The yield of the user-interface thread: runs the events that are waiting, then returns.

namespace shell {

// Dispatches every message pending for this thread, then returns. A quit request found on the
// way is left for the main message loop, which ends the program.
void DoEvents();

}  // namespace shell
