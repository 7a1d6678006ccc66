#pragma once
// Entries in Windows' Application event log, for a shop's IT to collect from every till.

#include "shell/health_notice.h"

namespace shell {

// Writes the notice as an entry of the source "ZANKeyboardWedge" (registered by the installer,
// with the program's message table); a log that cannot be written is no reason to stop.
void WriteEventLog(const HealthNotice& notice);

}  // namespace shell
