#include "settings/policies.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <map>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "shell/form_model.h"
#include "unit/settings_fakes.h"

namespace {

using settings::PolicyScope;
using shell::Ctl;

// Policy values by scope and name, as the registry would hold them.
class FakePolicies : public settings::PolicySource {
 public:
  std::map<std::wstring, std::uint32_t> machine, user;
  std::map<std::wstring, std::wstring> machine_texts, user_texts;

  std::optional<std::wstring> ReadText(PolicyScope scope, const wchar_t* name) override {
    const auto& texts = scope == PolicyScope::Machine ? machine_texts : user_texts;
    const auto it = texts.find(name);
    if (it == texts.end()) return std::nullopt;
    return it->second;
  }

  std::optional<std::uint32_t> ReadDword(PolicyScope scope, const wchar_t* name) override {
    const auto& values = scope == PolicyScope::Machine ? machine : user;
    const auto it = values.find(name);
    if (it == values.end()) return std::nullopt;
    return it->second;
  }
};

// The ten controls of the stored settings, in key order.
const Ctl kControlsInKeyOrder[] = {Ctl::chkStartup, Ctl::chkHideform, Ctl::optCR0,
                                   Ctl::optCR1,     Ctl::optCR2,      Ctl::optTrkFix0,
                                   Ctl::optTrkFix1, Ctl::optTrkFix2,  Ctl::optSentinel0,
                                   Ctl::optSentinel1};
const wchar_t* const kKeys[] = {L"StartUp", L"HideOnStart", L"CR0",  L"CR1",   L"CR2",
                                L"Trk0",    L"Trk1",        L"Trk2", L"Sent1", L"Sent2"};

// What the window shows, control by control in key order: the value (T and F for option
// buttons) with "!" after a disabled control.
std::string Shown(const shell::FormModel& form) {
  std::string out;
  for (Ctl id : kControlsInKeyOrder) {
    const std::int16_t value = form.Value(id);
    const bool option = id >= Ctl::optSentinel0 && id <= Ctl::optCR1;
    if (!out.empty()) out += ' ';
    out += option ? (value ? "T" : "F") : std::to_string(value);
    if (!form.Enabled(id)) out += '!';
  }
  return out;
}

// The stored texts in key order ("True" as T, "False" as F), "-" for a key never written.
std::string Stored(const testing_fakes::MemoryStore& store) {
  std::string out;
  for (const wchar_t* key : kKeys) {
    const std::wstring* text = store.Get(key);
    if (!out.empty()) out += ' ';
    if (!text) {
      out += '-';
    } else if (*text == L"True" || *text == L"False") {
      out += static_cast<char>((*text)[0]);
    } else {
      out += std::string(text->begin(), text->end());
    }
  }
  return out;
}

struct Case {
  const char* name;
  std::map<std::wstring, std::uint32_t> machine, user;
  const char* stored;  // the user's own texts before the start, as Stored() writes them
  const char* shown;   // after the start
  bool hides;          // at the first paint
  const char* saved;   // after the exit
};

// The program's start (policies read, settings loaded, first paint) and exit (settings saved),
// with the user's stored texts and the policies of the case.
TEST(Policies, WinOverTheStoredChoiceLockTheirControlAndLeaveTheStoredChoiceAlone) {
  const Case cases[] = {
      {"no policy: the stored choices, nothing locked, all ten saved",
       {}, {},
       "0 1 F F T 1 0 0 F T",
       "0 1 F F T 1 0 0 F T", true,
       "0 1 F F T 1 0 0 F T"},
      {"every policy set for the machine, nothing stored: the defaults stay unwritten",
       {{L"RunAtStartup", 0}, {L"HideOnStart", 1}, {L"SendTrack1", 1}, {L"SendTrack2", 1},
        {L"SendTrack3", 0}, {L"SendSentinels", 0}, {L"CarriageReturn", 2}}, {},
       "- - - - - - - - - -",
       "0! 1! F! F! T! 1! 1! 0! F! T!", true,
       "- - - - - - - - - -"},
      {"policies against stored choices: the policy is used, the stored text kept",
       {{L"HideOnStart", 0}, {L"SendTrack2", 0}, {L"CarriageReturn", 0}}, {},
       "1 1 F T F 1 1 1 T F",
       "1 0! T! F! F! 1 0! 1 T F", false,
       "1 1 F T F 1 1 1 T F"},
      {"the machine's policy wins over the user's; a user's policy alone applies",
       {{L"SendTrack1", 0}, {L"SendSentinels", 1}}, {{L"SendTrack1", 1}, {L"SendTrack3", 0},
                                                      {L"SendSentinels", 0}},
       "1 0 F T F 1 1 1 T F",
       "1 0 F T F 0! 1 0! T! F!", false,
       "1 0 F T F 1 1 1 T F"},
      {"malformed machine values are ignored: the user's policy, else the stored choice",
       {{L"SendTrack1", 2}, {L"CarriageReturn", 3}, {L"HideOnStart", 0xFFFFFFFF},
        {L"RunAtStartup", 1}}, {{L"SendTrack1", 0}},
       "2 1 T F F 1 1 0 T F",
       "1! 1 T F F 0! 1 0 T F", true,
       "2 1 T F F 1 1 0 T F"},
      {"a malformed stored text under no policy still takes its default",
       {{L"SendSentinels", 7}}, {{L"CarriageReturn", 0xFFFFFFFF}},
       "x 1 F T F 1 1 1 T F",
       "1 1 F T F 1 1 1 T F", true,
       "1 1 F T F 1 1 1 T F"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    testing_fakes::MemoryStore store;
    std::istringstream stored(c.stored);
    for (const wchar_t* key : kKeys) {
      std::string text;
      stored >> text;
      if (text == "T") text = "True";
      if (text == "F") text = "False";
      if (text != "-") store.Put(key, std::wstring(text.begin(), text.end()));
    }
    FakePolicies policies;
    policies.machine = c.machine;
    policies.user = c.user;
    shell::FormModel form{store};
    int hides = 0;
    struct View : shell::FormView {
      int* hides;
      void Hide() override { ++*hides; }
      int WindowState() override { return 0; }
      void ControlChanged(Ctl) override {}
      void FocusControl(Ctl) override {}
    } view;
    view.hides = &hides;
    form.SetView(&view);

    const settings::LockedSettings locked = settings::ReadPolicies(policies);
    settings::LoadSettings(store, form, locked);
    form.bFirstPaint = -1;
    form.Form_Paint();
    EXPECT_EQ(Shown(form), c.shown);
    EXPECT_EQ(hides, c.hides ? 1 : 0);

    settings::SaveSettings(store, form, locked);
    EXPECT_EQ(Stored(store), c.saved);
  }
}

// A locked control takes no click, and the track/sentinel rule leaves a locked sentinel choice
// as the policy set it, while the unlocked controls keep working.
TEST(Policies, TheUserCannotChangeALockedChoiceNorCanTheTrackSentinelRule) {
  testing_fakes::MemoryStore store;
  store.Put(L"Trk0", L"1");
  store.Put(L"Trk1", L"0");
  store.Put(L"Trk2", L"0");
  FakePolicies policies;
  policies.machine = {{L"SendSentinels", 0}, {L"SendTrack3", 0}};
  shell::FormModel form{store};
  const settings::LockedSettings locked = settings::ReadPolicies(policies);
  settings::LoadSettings(store, form, locked);
  ASSERT_EQ(Shown(form), "1 0 F T F 1 0 0! F! T!");

  form.UserClick(Ctl::optTrkFix1);     // a second track: the rule would select sentinels
  form.UserClick(Ctl::optSentinel0);   // locked
  form.UserClick(Ctl::optTrkFix2);     // locked
  form.UserClick(Ctl::optCR2);         // free
  EXPECT_EQ(Shown(form), "1 0 F F T 1 1 0! F! T!");

  settings::SaveSettings(store, form, locked);
  EXPECT_EQ(Stored(store), "1 0 F F T 1 1 0 - -");
}

// The reader control a policy names: the machine's wins, and a text that is no programmatic
// identifier is ignored as if absent.
TEST(Policies, ReaderControlIsAProgIdFromTheMachineElseTheUser) {
  for (const auto& [machine, control] : std::vector<std::pair<const wchar_t*, std::wstring>>{
           {L"Acme.MSR.2", L"Acme.MSR.2"}, {L"", L"OPOS.MSR"}, {L"OPOS MSR", L"OPOS.MSR"},
           {L"1OPOS.MSR", L"OPOS.MSR"}, {L"C:\\x.dll", L"OPOS.MSR"},
           {L"A234567890123456789012345678901234567890", L"OPOS.MSR"}}) {
    FakePolicies policies;
    policies.machine_texts[settings::kReaderControlPolicy] = machine;
    policies.user_texts[settings::kReaderControlPolicy] = L"OPOS.MSR";
    EXPECT_EQ(settings::ReadReaderControlPolicy(policies), control) << machine;
  }
}

}  // namespace
