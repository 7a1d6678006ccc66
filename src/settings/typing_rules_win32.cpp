#include <windows.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "platform/raii_win32.h"
#include "settings/policies.h"
#include "settings/registry_settings.h"
#include "settings/typing_rules.h"
#include "wedge/typing_rule.h"

namespace settings {
namespace {

constexpr wchar_t kTargets[] = L"\\Targets";
constexpr wchar_t kAppKey[] = L"\\ZANKeyboardWedge";

// A key whose values cannot be read: one rule for every program that fails closed, so no card is
// typed anywhere on a guess.
std::vector<wedge::StoredRule> Unreadable() { return {wedge::StoredRule{L"*", std::nullopt}}; }

// The values of `path` under `root`, or nothing when the key does not exist. A value that is not
// a REG_SZ is kept without data, so its program fails closed.
std::optional<std::vector<wedge::StoredRule>> ReadKey(HKEY root, const std::wstring& path) {
  platform::UniqueKey key;
  // Group Policy writes the machine's policies in the 64-bit view of the registry.
  const LSTATUS opened =
      RegOpenKeyExW(root, path.c_str(), 0, KEY_QUERY_VALUE | KEY_WOW64_64KEY, key.put());
  if (opened == ERROR_FILE_NOT_FOUND) return std::nullopt;
  if (opened != ERROR_SUCCESS) return Unreadable();  // there, but closed to this user
  // A value written while the key is read can outgrow the buffers: measured again, read again.
  for (int tries = 0; tries < 4; ++tries) {
    DWORD name_max = 0;
    DWORD data_max = 0;
    if (RegQueryInfoKeyW(key.get(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                         &name_max, &data_max, nullptr, nullptr) != ERROR_SUCCESS) {
      return Unreadable();
    }
    std::vector<wedge::StoredRule> rules;
    std::vector<wchar_t> name(name_max + 2);
    // One spare character: the stored text need not end in a NUL.
    std::vector<wchar_t> data(data_max / sizeof(wchar_t) + 2);
    LSTATUS status = ERROR_SUCCESS;
    for (DWORD i = 0;; ++i) {
      DWORD name_size = static_cast<DWORD>(name.size());
      DWORD data_size = static_cast<DWORD>((data.size() - 1) * sizeof(wchar_t));
      DWORD type = 0;
      std::fill(data.begin(), data.end(), L'\0');
      status = RegEnumValueW(key.get(), i, name.data(), &name_size, nullptr, &type,
                             reinterpret_cast<BYTE*>(data.data()), &data_size);
      if (status != ERROR_SUCCESS) break;
      wedge::StoredRule rule;
      rule.program.assign(name.data(), name_size);
      if (type == REG_SZ) rule.data = std::wstring(data.data());
      if (rule.program.empty()) continue;  // the key's default value names no program
      rules.push_back(std::move(rule));
    }
    if (status == ERROR_NO_MORE_ITEMS) return rules;
    if (status != ERROR_MORE_DATA) return Unreadable();
  }
  return Unreadable();
}

}  // namespace

std::vector<wedge::StoredRule> ReadTypingRules() {
  const std::wstring policy = std::wstring(kPolicyKeyPath) + kTargets;
  std::optional<std::vector<wedge::StoredRule>> machine = ReadKey(HKEY_LOCAL_MACHINE, policy);
  std::optional<std::vector<wedge::StoredRule>> user = ReadKey(HKEY_CURRENT_USER, policy);
  if (machine || user) {
    std::vector<wedge::StoredRule> rules = machine ? std::move(*machine) : std::vector<wedge::StoredRule>{};
    if (user) {
      const std::size_t machine_count = rules.size();
      for (wedge::StoredRule& r : *user) {
        bool taken = false;
        for (std::size_t i = 0; i < machine_count && !taken; ++i) {
          taken = CompareStringOrdinal(rules[i].program.c_str(), -1, r.program.c_str(), -1,
                                       TRUE) == CSTR_EQUAL;
        }
        if (!taken) rules.push_back(std::move(r));
      }
    }
    return rules;
  }
  return ReadKey(HKEY_CURRENT_USER, std::wstring(kSettingsRoot) + kAppKey + kTargets)
      .value_or(std::vector<wedge::StoredRule>{});
}

}  // namespace settings
