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

// What a key holds: nothing when it does not exist.
struct KeyRules {
  std::vector<wedge::StoredRule> rules;
  bool unreadable = false;  // it exists but cannot be read
};

// One rule for every program that fails closed: no card is typed anywhere on a guess.
std::vector<wedge::StoredRule> Unreadable() {
  return {wedge::StoredRule{L"*", std::nullopt, L"the Targets key cannot be read"}};
}

// A REG_SZ value's text. Writers may leave one or more NULs at its end; one inside it would cut
// the rule short where a reader stops at it ("delay=20", NUL, "type=no"): no data, and why.
void TakeText(wedge::StoredRule& rule, const wchar_t* chars, std::size_t count) {
  while (count > 0 && chars[count - 1] == L'\0') --count;
  if (std::find(chars, chars + count, L'\0') != chars + count) {
    rule.fault = L"the value holds a NUL character";
    return;
  }
  rule.data = std::wstring(chars, count);
}

// The values of `path` under `root`, or nothing when the key does not exist. A value that is not
// a REG_SZ is kept without data, so its program fails closed.
std::optional<KeyRules> ReadKey(HKEY root, const std::wstring& path) {
  platform::UniqueKey key;
  // Group Policy writes the machine's policies in the 64-bit view of the registry.
  const LSTATUS opened =
      RegOpenKeyExW(root, path.c_str(), 0, KEY_QUERY_VALUE | KEY_WOW64_64KEY, key.put());
  if (opened == ERROR_FILE_NOT_FOUND) return std::nullopt;
  const KeyRules unreadable{{}, true};
  if (opened != ERROR_SUCCESS) return unreadable;  // there, but closed to this user
  // A value written while the key is read can outgrow the buffers: measured again, read again.
  for (int tries = 0; tries < 4; ++tries) {
    DWORD name_max = 0;
    DWORD data_max = 0;
    if (RegQueryInfoKeyW(key.get(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                         &name_max, &data_max, nullptr, nullptr) != ERROR_SUCCESS) {
      return unreadable;
    }
    KeyRules read;
    std::vector<wchar_t> name(name_max + 2);
    std::vector<wchar_t> data(data_max / sizeof(wchar_t) + 1);
    LSTATUS status = ERROR_SUCCESS;
    for (DWORD i = 0;; ++i) {
      DWORD name_size = static_cast<DWORD>(name.size());
      DWORD data_size = static_cast<DWORD>(data.size() * sizeof(wchar_t));
      DWORD type = 0;
      status = RegEnumValueW(key.get(), i, name.data(), &name_size, nullptr, &type,
                             reinterpret_cast<BYTE*>(data.data()), &data_size);
      if (status != ERROR_SUCCESS) break;
      wedge::StoredRule rule;
      rule.program.assign(name.data(), name_size);
      if (type == REG_SZ) TakeText(rule, data.data(), data_size / sizeof(wchar_t));
      if (rule.program.empty()) continue;  // the key's default value names no program
      read.rules.push_back(std::move(rule));
    }
    if (status == ERROR_NO_MORE_ITEMS) return read;
    if (status != ERROR_MORE_DATA) return unreadable;
  }
  return unreadable;
}

std::wstring UserKeyPath() { return std::wstring(kSettingsRoot) + kAppKey + kTargets; }
std::wstring PolicyKeyPath() { return std::wstring(kPolicyKeyPath) + kTargets; }

}  // namespace

bool TypingRulesByPolicy() {
  return ReadKey(HKEY_LOCAL_MACHINE, PolicyKeyPath()) || ReadKey(HKEY_CURRENT_USER, PolicyKeyPath());
}

std::vector<wedge::StoredRule> ReadUserTypingRules() {
  std::optional<KeyRules> own = ReadKey(HKEY_CURRENT_USER, UserKeyPath());
  if (!own) return {};
  if (own->unreadable) return Unreadable();
  return std::move(own->rules);
}

bool WriteUserTypingRule(const std::wstring& program, const std::wstring& data) {
  platform::UniqueKey key;
  if (RegCreateKeyExW(HKEY_CURRENT_USER, UserKeyPath().c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                      key.put(), nullptr) != ERROR_SUCCESS) {
    return false;
  }
  // The size counts the terminating NUL.
  return RegSetValueExW(key.get(), program.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()),
                        static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
}

bool RemoveUserTypingRule(const std::wstring& program) {
  platform::UniqueKey key;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, UserKeyPath().c_str(), 0, KEY_SET_VALUE, key.put()) != ERROR_SUCCESS) {
    return false;
  }
  return RegDeleteValueW(key.get(), program.c_str()) == ERROR_SUCCESS;
}

std::vector<wedge::StoredRule> ReadTypingRules() {
  const std::wstring policy = PolicyKeyPath();
  std::optional<KeyRules> machine = ReadKey(HKEY_LOCAL_MACHINE, policy);
  std::optional<KeyRules> user = ReadKey(HKEY_CURRENT_USER, policy);
  if (machine || user) {
    // Either list unreadable: the other cannot be told apart from what it would have overridden.
    if ((machine && machine->unreadable) || (user && user->unreadable)) return Unreadable();
    std::vector<wedge::StoredRule> rules = machine ? std::move(machine->rules) : std::vector<wedge::StoredRule>{};
    if (user) {
      const std::size_t machine_count = rules.size();
      for (wedge::StoredRule& r : user->rules) {
        bool taken = false;
        for (std::size_t i = 0; i < machine_count && !taken; ++i) {
          taken = wedge::SameProgram(rules[i].program, r.program);
        }
        if (!taken) rules.push_back(std::move(r));
      }
    }
    return rules;
  }
  return ReadUserTypingRules();
}

}  // namespace settings
