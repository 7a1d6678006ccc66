#pragma once
// Where the typing rules per program are kept (Windows builds only).

#include <string>
#include <vector>

#include "wedge/typing_rule.h"

namespace settings {

// The rules as they stand now: the Group Policy ones when a policy key for them exists (the
// machine's and the user's together, the machine's winning for the same program), else the
// user's own under the settings root; none when no key holds any.
std::vector<wedge::StoredRule> ReadTypingRules();

// True when Group Policy sets the rules: a policy key for them exists, and the user's own are not
// used.
bool TypingRulesByPolicy();
// The user's own rules, as stored.
std::vector<wedge::StoredRule> ReadUserTypingRules();
// Stores `data` as the user's rule for `program` (REG_SZ); false when it could not be written.
bool WriteUserTypingRule(const std::wstring& program, const std::wstring& data);
// Removes the user's rule for `program`; false when it could not be removed.
bool RemoveUserTypingRule(const std::wstring& program);

}  // namespace settings
