#pragma once
// Group Policy over the stored settings: values that a shop's IT sets for every user of a machine
// or for one user. A value that a policy sets wins over the user's own choice, and the user
// cannot change it; an absent policy changes nothing.

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "settings/settings_table.h"

namespace settings {

// The policy key, the same under HKEY_LOCAL_MACHINE (the machine's policies, which win) and
// HKEY_CURRENT_USER (the user's). The templates in installer/ write it.
inline constexpr wchar_t kPolicyKeyPath[] = L"Software\\Policies\\Halvane\\ZANKeyboardWedge";

enum class PolicyScope { Machine, User };

// One policy: a REG_DWORD value under the policy key.
struct PolicyRow {
  const wchar_t* value_name;
  // CheckBox: the value (0 or 1) is the check box's. Option: the value selects
  // `settings[value]` of an option group and deselects the others.
  SettingKind kind;
  std::array<Setting, 3> settings;
  int count;  // of `settings` used
};

// Every policy the program reads.
extern const std::array<PolicyRow, 7> kPolicies;

// Where the policies are kept.
class PolicySource {
 public:
  virtual ~PolicySource() = default;
  // The value `name` under the policy key of `scope`; nothing when it is absent or not a REG_DWORD.
  virtual std::optional<std::uint32_t> ReadDword(PolicyScope scope, const wchar_t* name) = 0;
  // The value `name` under the policy key of `scope`; nothing when it is absent or not a REG_SZ.
  virtual std::optional<std::wstring> ReadText(PolicyScope scope, const wchar_t* name) = 0;
};

// The settings that the policies lock, and to what. The machine's policy wins over the user's;
// a value a policy does not define (a number out of its range) is ignored as if it were absent.
LockedSettings ReadPolicies(PolicySource& source);

// The REG_SZ policy naming the reader control to create instead of the usual ones.
inline constexpr wchar_t kReaderControlPolicy[] = L"ReaderControl";

// The reader control's programmatic identifier that a policy names (the machine's winning), or
// nothing when none names one; a text that cannot be an identifier is ignored.
std::optional<std::wstring> ReadReaderControlPolicy(PolicySource& source);

}  // namespace settings
