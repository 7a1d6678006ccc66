// Where the typing rules are read from: the machine's and the user's policy keys, else the
// user's own key; values as IT may leave them. (A policy list replacing the user's rules is shown
// end to end.)

#include "settings/typing_rules.h"

#include <windows.h>

#include <gtest/gtest.h>

namespace {

constexpr wchar_t kPolicy[] = L"Software\\Policies\\Halvane\\ZANKeyboardWedge\\Targets";
constexpr wchar_t kUser[] = L"Software\\VB and VBA Program Settings\\ZANKeyboardWedge\\Targets";
const HKEY kMachine = HKEY_LOCAL_MACHINE, kHkcu = HKEY_CURRENT_USER;

// A value as stored (a null text: only its key), of `chars` characters and a NUL (0: as long as
// the text).
struct Stored {
  HKEY root; const wchar_t* key; const wchar_t* name; DWORD type; const wchar_t* text; std::size_t chars = 0;
};
// What is stored, and each rule read as "name=data|", or "name#|" without data.
struct Case { const char* name; std::vector<Stored> stored; const wchar_t* read; };

const Case kCases[] = {
    {"MachineWinsForTheSameProgram",
     {{kMachine, kPolicy, L"wfica32.exe", REG_SZ, L"delay=12"},
      {kHkcu, kPolicy, L"WFICA32.EXE", REG_SZ, L"delay=50"}, {kHkcu, kPolicy, L"*", REG_SZ, L"type=no"}},
     L"wfica32.exe=delay=12|*=type=no|"},
    {"AnEmptyPolicyKeyStillReplaces",
     {{kHkcu, kUser, L"mstsc.exe", REG_SZ, L"delay=12"}, {kMachine, kPolicy, L"", REG_SZ, nullptr}}, L""},
    {"OtherTypesHaveNoDataAndTheDefaultValueNoProgram",
     {{kHkcu, kUser, L"a.exe", REG_EXPAND_SZ, L"delay=12"}, {kHkcu, kUser, L"b.exe", REG_MULTI_SZ, L"type=no"},
      {kHkcu, kUser, L"c.exe", REG_BINARY, L"delay=1"}, {kHkcu, kUser, L"", REG_SZ, L"x"}},
     L"a.exe#|b.exe#|c.exe#|"},
    {"ANulInsideATextIsNoRule",
     {{kHkcu, kUser, L"d.exe", REG_SZ, L"delay=20\0type=no", 16}, {kHkcu, kUser, L"e.exe", REG_SZ, L"delay=20\0\0", 10}},
     L"d.exe#|e.exe=delay=20|"},
};

class TypingRulesStored : public ::testing::TestWithParam<Case> {
 protected:
  void SetUp() override { TearDown(); }
  void TearDown() override {
    RegDeleteKeyExW(kMachine, kPolicy, KEY_WOW64_64KEY, 0);
    RegDeleteKeyW(kHkcu, kPolicy);
    RegDeleteKeyW(kHkcu, kUser);
  }
};

TEST_P(TypingRulesStored, ReadAsTheyStand) {
  for (const Stored& s : GetParam().stored) {
    HKEY key;
    ASSERT_EQ(RegCreateKeyExW(s.root, s.key, 0, nullptr, 0, KEY_SET_VALUE | KEY_WOW64_64KEY, nullptr,
                              &key, nullptr), ERROR_SUCCESS);
    if (s.text) {
      RegSetValueExW(key, s.name, 0, s.type, reinterpret_cast<const BYTE*>(s.text),
                     static_cast<DWORD>(((s.chars ? s.chars : wcslen(s.text)) + 1) * sizeof(wchar_t)));
    }
    RegCloseKey(key);
  }
  std::wstring read;
  for (const wedge::StoredRule& r : settings::ReadTypingRules()) {
    read += r.program + (r.data ? L"=" + *r.data : L"#") + L"|";
  }
  EXPECT_EQ(read, GetParam().read);
}

INSTANTIATE_TEST_SUITE_P(Keys, TypingRulesStored, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<Case>& info) { return std::string(info.param.name); });

}  // namespace
