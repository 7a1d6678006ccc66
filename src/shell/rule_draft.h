#pragma once
// A typing rule as the "Typing rules" window shows and edits it: in plain words, as a control
// for each setting, and as what a test card would type under it.

#include <optional>
#include <string>

#include "wedge/typing_rule.h"

namespace shell {

// A rule's settings, one field each, as the window's controls hold them.
struct RuleDraft {
  std::wstring program;  // a file name, or "*"
  bool type = true;
  wedge::KeysMode keys = wedge::KeysMode::Layout;
  unsigned delay_ms = 0;
  unsigned enter_delay_ms = 0;
  unsigned kinds = wedge::kEveryKind;
  bool mask = false;
  std::optional<unsigned> min_age;
  std::wstring form;  // the template as written; empty: none

  bool operator==(const RuleDraft& o) const {
    return program == o.program && type == o.type && keys == o.keys && delay_ms == o.delay_ms &&
           enter_delay_ms == o.enter_delay_ms && kinds == o.kinds && mask == o.mask &&
           min_age == o.min_age && form == o.form;
  }
  bool operator!=(const RuleDraft& o) const { return !(*this == o); }
};

// The draft of a stored rule; nothing, and what is wrong with it, when it cannot be read.
std::optional<RuleDraft> DraftOf(const wedge::StoredRule& stored, std::wstring& fault);

// The text a draft is stored as: the settings that are not their defaults, in a fixed order,
// "; " between them ("delay=12; enter-delay=125"); empty for a rule that changes nothing.
std::wstring TextOf(const RuleDraft& draft);

// The program as the window names it: "Every other program" for "*".
std::wstring ProgramLabel(const std::wstring& program);

// What a stored rule does, in plain words ("12 ms between keys, 125 ms after Enter"), or, for one
// that cannot be read, what is wrong with it as the event log says it.
std::wstring Describe(const wedge::StoredRule& stored);

// How the settings window frames a card: the tracks typed, sentinels, the Enter keys.
struct Framing {
  bool tracks[3] = {true, true, true};
  bool sentinels = true;
  bool enter_per_track = false;
  bool enter_per_card = true;
};

// What the test card (4111 1111 1111 1111, JOHN DOE) would type under a draft, Tab shown as
// "→" and Enter as "↵", and how long it takes; or why it would not be typed.
struct Preview {
  std::wstring typed;   // empty when not typed
  std::wstring note;    // "at once", "about 2.4 s", or why it is not typed
};
Preview PreviewOf(const RuleDraft& draft, const Framing& framing);

// The ready rules offered as starting points.
struct ReadyRule {
  const wchar_t* name;     // "Remote Desktop"
  const wchar_t* program;  // "mstsc.exe"
  const wchar_t* data;     // "delay=12"
};
inline constexpr ReadyRule kReadyRules[] = {
    {L"Remote Desktop", L"mstsc.exe", L"delay=12"},
    {L"Citrix Workspace", L"wfica32.exe", L"delay=12; enter-delay=125"},
    {L"VMware Horizon", L"vmware-view.exe", L"delay=12"},
    {L"A browser-based till console", L"chrome.exe", L"delay=25"},
};

}  // namespace shell
