#pragma once
// Where the typing rules per program are kept (Windows builds only).

#include <vector>

#include "wedge/typing_rule.h"

namespace settings {

// The rules as they stand now: the Group Policy ones when a policy key for them exists (the
// machine's and the user's together, the machine's winning for the same program), else the
// user's own under the settings root; none when no key holds any.
std::vector<wedge::StoredRule> ReadTypingRules();

}  // namespace settings
