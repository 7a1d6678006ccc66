#pragma once
// The yield of the user-interface thread: runs the events that are waiting, then returns.

namespace shell {

// How deeply yields may nest; a yield deeper than this returns at once.
inline constexpr int kMaxYieldDepth = 4;

// Dispatches every message pending for this thread, then returns. A quit request found on the
// way is left for the main message loop, which ends the program. A handler it runs may yield
// again, up to kMaxYieldDepth levels.
void DoEvents();

}  // namespace shell
