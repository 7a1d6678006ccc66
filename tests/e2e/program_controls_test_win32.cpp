// The reader controls the program works with: MSRLib.MSR by its own numbers, the OPOS Common
// Control Objects' OPOS.MSR (found where MSRLib.MSR is missing, or named by policy) by name, with
// a service object that sends sentinels or loads its own DLLs from PATH.

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "e2e/card_typing_win32.h"

namespace {

using e2e::Card;

// Runs `undo` when the last copy goes; an empty one stands for nothing to undo.
using Undo = std::shared_ptr<int>;
Undo OnExit(std::function<void()> undo) {
  return Undo(new int, [undo](int* p) { delete p; undo(); });
}

// Takes MSRLib.MSR's registration away, as on a till with only the common control objects, and
// puts it back when the result goes; nothing when it was not registered.
Undo HideMsrLib() {
  const std::wstring key = L"Software\\Classes\\MSRLib.MSR";
  auto get = [](const std::wstring& k) {
    wchar_t text[256] = {};
    DWORD size = sizeof text;
    RegGetValueW(HKEY_LOCAL_MACHINE, k.c_str(), nullptr, RRF_RT_REG_SZ, nullptr, text, &size);
    return std::wstring(text);
  };
  const std::wstring description = get(key), clsid = get(key + L"\\CLSID");
  if (clsid.empty() || RegDeleteTreeW(HKEY_LOCAL_MACHINE, key.c_str()) != ERROR_SUCCESS) return {};
  return OnExit([=] {
    for (const auto& [k, text] : {std::pair{key, description}, std::pair{key + L"\\CLSID", clsid}}) {
      RegSetKeyValueW(HKEY_LOCAL_MACHINE, k.c_str(), nullptr, REG_SZ, text.c_str(),
                      static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
    }
  });
}

struct ControlCase {
  const char* name;
  bool msrlib_registered;
  const wchar_t* policy;  // the ReaderControl policy, or nullptr
  std::vector<std::string> sim_config;  // "helper=..." puts the helper's folder on PATH
};

const ControlCase kControlCases[] = {
    {"MsrLibWhereBothAreRegistered", true, nullptr, {}},
    {"OposWhereMsrLibIsMissing", false, nullptr, {}},
    {"OposByPolicy", true, L"OPOS.MSR", {}},
    // Raw tracks with sentinels and no parsed fields until the program asks otherwise.
    {"OposServiceObjectStartingRawWithSentinels", false, nullptr,
     {"decodedata=0", "parsedecodedata=0", "transmitsentinels=1"}},
    // Refuses to stop sending them: the program takes them off itself.
    {"OposServiceObjectThatKeepsSendingSentinels", false, nullptr, {"transmitsentinels=1", "result=73,106"}},
    {"OposServiceObjectLoadingItsDllFromPath", false, nullptr, {"helper=zan_sim_helper.dll"}},
};

class ReaderControls : public e2e::CardTypingTest,
                       public ::testing::WithParamInterface<ControlCase> {};

TEST_P(ReaderControls, TypeEveryCardExactlyWithOnePairOfSentinels) {
  const ControlCase& c = GetParam();
  const Undo show_msrlib = c.msrlib_registered ? OnExit([] {}) : HideMsrLib();
  ASSERT_TRUE(show_msrlib) << "MSRLib.MSR is not registered";
  SetReaderControlPolicy(c.policy);
  std::vector<wchar_t> path(32767);
  GetEnvironmentVariableW(L"PATH", path.data(), static_cast<DWORD>(path.size()));
  const std::wstring old_path = path.data();
  if (!c.sim_config.empty() && c.sim_config[0].rfind("helper=", 0) == 0) {
    SetEnvironmentVariableW(L"PATH", (type_target::WinePath(ZAN_SIM_HELPER_DIR) + L";" + old_path).c_str());
  }
  const Undo put_path_back = OnExit([&] { SetEnvironmentVariableW(L"PATH", old_path.c_str()); });

  // Sentinels, an Enter after the card, every track.
  const e2e::StoredSettings settings =
      e2e::Settings({L"0", L"1", L"False", L"False", L"True", L"1", L"1", L"1", L"True", L"False"});
  ASSERT_NO_FATAL_FAILURE(StartHiddenWithTarget(settings, c.sim_config));
  const std::vector<std::string> journal = program.Journal();
  auto count = [&](const char* line) { return std::count(journal.begin(), journal.end(), line); };
  if (c.msrlib_registered && !c.policy) {
    // MSRLib.MSR's start sequence, call by call, as it always was.
    EXPECT_EQ(std::vector<std::string>(journal.begin(), journal.begin() + std::min<std::size_t>(journal.size(), 14)),
              (std::vector<std::string>{"call 34 \"ZANKeyboardWedge\"", "get 6", "get 7", "put 46 1", "get 6",
                                        "call 36 1000", "get 6", "get 7", "put 4 true", "get 6", "get 7",
                                        "put 3 true", "get 6", "get 7"}));
  } else {
    ASSERT_FALSE(journal.empty());
    EXPECT_EQ(journal.front(), "call 37 \"ZANKeyboardWedge\"");
    EXPECT_EQ(count("put 46 1"), 0);  // a firmware method there
    for (const char* asked : {"put 54 true", "put 59 true", "put 73 false", "put 17 true"}) {
      EXPECT_EQ(count(asked), 1) << asked;
    }
  }
  // Test card numbers; the first card's tracks hold the characters the keystroke notation escapes.
  ExpectTyped(settings, {{L"B4111111111111111^DOE/JOHN Q^2912101000+(0)%", L"4111111111111111=2912101",
                          L"011234567890123445=7247241"},
                         {L"", L"5555555555554444=30011010000000000000", L""}});
}

INSTANTIATE_TEST_SUITE_P(Flavours, ReaderControls, ::testing::ValuesIn(kControlCases),
                         [](const ::testing::TestParamInfo<ControlCase>& info) {
                           return std::string(info.param.name);
                         });

}  // namespace
