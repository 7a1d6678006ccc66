#include "wedge/keystroke_plan.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "unit/fake_layouts.h"
#include "wedge/addcntlcode.h"

namespace {

using testing_fakes::FakeLayout;
using testing_fakes::TypedResult;
using wedge::KeyboardState;
using wedge::KeyEvent;
namespace vk = wedge::vk;

// Realistic tracks (test card numbers), framed as the card handler frames them.
const std::wstring kTrack1 = L"B4111111111111111^DOE/JOHN Q.MR^2912101000000000000000000000";
const std::wstring kTrack2 = L"4111111111111111=29121010000000000000";
const std::wstring kTrack3 = L"011234567890123445=724724100000000000030300020040400099010=+7=1=0";
// Every printable ASCII character, the Latin-1 ones a track 3 of a European card may hold, and
// some no key types on any of the layouts.
const std::wstring kAllAscii = [] {
  std::wstring s;
  for (wchar_t c = 0x20; c < 0x7f; ++c) s += c;
  return s + L"\u00e4\u00f6\u00fc\u00c4\u00d6\u00dc\u00df\u00e9\u00e8\u00a3\u20ac\u00b5\u03a9\u4e2d";
}();

std::wstring Escaped(std::wstring text) { return wedge::Addcntlcode(text, nullptr); }

struct CardText {
  std::wstring keys;   // as handed to the keystroke output
  std::wstring typed;  // what must arrive
};

std::vector<CardText> CardTexts() {
  return {
      {L"{%}" + Escaped(kTrack1) + L"?~", L"%" + kTrack1 + L"?\n"},
      {L";" + Escaped(kTrack2) + L"?~", L";" + kTrack2 + L"?\n"},
      {L";" + Escaped(kTrack3) + L"?", L";" + kTrack3 + L"?"},
      {Escaped(kAllAscii) + L"~", kAllAscii + L"\n"},
      {Escaped(L"^E^e`a'o\"u~n^ ^^"), L"^E^e`a'o\"u~n^ ^^"},  // dead keys before letters
  };
}

std::vector<KeyEvent> Plan(const std::wstring& keys, FakeLayout& layout, const KeyboardState& state) {
  const auto parsed = wedge::ParseKeystrokes(keys);
  EXPECT_TRUE(parsed);
  return wedge::PlanKeystrokes(parsed.value_or(std::vector<wedge::KeyStroke>{}), layout, state);
}

struct Situation {
  std::function<FakeLayout()> layout;
  bool caps;
  std::vector<std::uint8_t> held;
  std::string name;
};

class PlanOnLayouts : public ::testing::TestWithParam<Situation> {};

TEST_P(PlanOnLayouts, CardTextsArriveExactlyAndTheKeyboardIsLeftAsItWas) {
  FakeLayout layout = GetParam().layout();
  const KeyboardState state{GetParam().caps, GetParam().held};
  for (const CardText& card : CardTexts()) {
    const std::vector<KeyEvent> events = Plan(card.keys, layout, state);
    const TypedResult typed = testing_fakes::TypeOn(layout, events, state);
    EXPECT_EQ(typed.text, card.typed);
    EXPECT_FALSE(typed.bad_scan) << "every key goes with its scan code";
    EXPECT_EQ(typed.caps_lock, state.caps_lock);
    EXPECT_EQ(typed.down, (std::set<std::uint8_t>(state.held.begin(), state.held.end())));
  }
}

std::vector<Situation> Situations() {
  const std::vector<std::pair<std::string, std::function<FakeLayout()>>> layouts = {
      {"UsEnglish", testing_fakes::UsEnglish},   {"UkEnglish", testing_fakes::UkEnglish},
      {"German", testing_fakes::German},         {"French", testing_fakes::French},
      {"UsInternational", testing_fakes::UsInternational}};
  const std::vector<std::pair<std::string, std::vector<std::uint8_t>>> held = {
      {"", {}},
      {"_ShiftHeld", {vk::kLShift}},
      {"_CtrlHeld", {vk::kRControl}},
      {"_ShiftAndCtrlHeld", {vk::kRShift, vk::kLControl}}};
  std::vector<Situation> all;
  for (const auto& l : layouts) {
    for (bool caps : {false, true}) {
      for (const auto& h : held) {
        all.push_back({l.second, caps, h.second, l.first + (caps ? "_CapsLock" : "") + h.first});
      }
    }
  }
  return all;
}

INSTANTIATE_TEST_SUITE_P(Layouts, PlanOnLayouts, ::testing::ValuesIn(Situations()),
                         [](const ::testing::TestParamInfo<Situation>& info) { return info.param.name; });

// The events for one character on a layout, without the modifiers around it.
std::vector<KeyEvent> EventsFor(FakeLayout layout, const std::wstring& keys) {
  return Plan(keys, layout, KeyboardState{});
}

KeyEvent Down(std::uint16_t key, std::uint16_t scan, bool extended = false) {
  return KeyEvent{key, scan, false, false, extended};
}
KeyEvent Up(std::uint16_t key, std::uint16_t scan, bool extended = false) {
  return KeyEvent{key, scan, true, false, extended};
}
KeyEvent Char(wchar_t ch, bool up) { return KeyEvent{0, static_cast<std::uint16_t>(ch), up, true, false}; }

TEST(Plan, TypesEachCharacterWithItsKeyShiftAndAltGr) {
  EXPECT_EQ(EventsFor(testing_fakes::UsEnglish(), L"a"),
            (std::vector<KeyEvent>{Down('A', 0x141), Up('A', 0x141)}));
  // German "@" is AltGr+Q: left Ctrl and right Alt, as that key sends them.
  EXPECT_EQ(EventsFor(testing_fakes::German(), L"@"),
            (std::vector<KeyEvent>{Down(vk::kLControl, 0x1D), Down(vk::kRMenu, 0x38, true),
                                   Down('Q', 0x151), Up('Q', 0x151), Up(vk::kRMenu, 0x38, true),
                                   Up(vk::kLControl, 0x1D)}));
  // French digits need Shift; a run of them keeps it down.
  EXPECT_EQ(EventsFor(testing_fakes::French(), L"12"),
            (std::vector<KeyEvent>{Down(vk::kLShift, 0x2A), Down('1', 0x131), Up('1', 0x131),
                                   Down('2', 0x132), Up('2', 0x132), Up(vk::kLShift, 0x2A)}));
  EXPECT_EQ(EventsFor(testing_fakes::UsEnglish(), L"~"),
            (std::vector<KeyEvent>{Down(vk::kReturn, 0x1C), Up(vk::kReturn, 0x1C)}));
}

TEST(Plan, DeadKeysAndMissingCharactersGoAsUnicode) {
  EXPECT_EQ(EventsFor(testing_fakes::German(), L"{^}E"),
            (std::vector<KeyEvent>{Char(L'^', false), Char(L'^', true), Down(vk::kLShift, 0x2A),
                                   Down('E', 0x145), Up('E', 0x145), Up(vk::kLShift, 0x2A)}));
  EXPECT_EQ(EventsFor(testing_fakes::UsInternational(), L"'"),
            (std::vector<KeyEvent>{Char(L'\'', false), Char(L'\'', true)}));
  EXPECT_EQ(EventsFor(testing_fakes::UsEnglish(), L"\u20ac"),
            (std::vector<KeyEvent>{Char(L'\u20ac', false), Char(L'\u20ac', true)}));
  // The same "^" is an ordinary key on US English.
  EXPECT_EQ(EventsFor(testing_fakes::UsEnglish(), L"{^}"),
            (std::vector<KeyEvent>{Down(vk::kLShift, 0x2A), Down('6', 0x136), Up('6', 0x136),
                                   Up(vk::kLShift, 0x2A)}));
}

TEST(Plan, ModifiersAskedByTheTextAreHeldForTheirKey) {
  EXPECT_EQ(EventsFor(testing_fakes::UsEnglish(), L"^c"),
            (std::vector<KeyEvent>{Down(vk::kLControl, 0x1D), Down('C', 0x143), Up('C', 0x143),
                                   Up(vk::kLControl, 0x1D)}));
  EXPECT_EQ(EventsFor(testing_fakes::UsEnglish(), L"%~"),
            (std::vector<KeyEvent>{Down(vk::kLMenu, 0x38), Down(vk::kReturn, 0x1C),
                                   Up(vk::kReturn, 0x1C), Up(vk::kLMenu, 0x38)}));
}

TEST(Plan, HeldAltAndWinAreReleasedWithoutOpeningAMenu) {
  FakeLayout layout = testing_fakes::UsEnglish();
  for (std::uint8_t key : {vk::kLMenu, vk::kRMenu, vk::kLWin, vk::kRWin}) {
    const KeyboardState state{false, {key}};
    const std::vector<KeyEvent> events = Plan(L"{%}B41{^}X?~", layout, state);
    const TypedResult typed = testing_fakes::TypeOn(layout, events, state);
    EXPECT_EQ(typed.text, L"%B41^X?\n") << int(key);
    EXPECT_EQ(typed.down, std::set<std::uint8_t>{key});
  }
}

TEST(Plan, AsksTheLayoutOnceForEachCharacter) {
  FakeLayout layout = testing_fakes::UsEnglish();
  Plan(L"{%}" + Escaped(kTrack1) + L"?~", layout, KeyboardState{});
  EXPECT_LT(layout.scans, 30);
}

TEST(Plan, EmptyTextTouchesNothing) {
  FakeLayout layout = testing_fakes::UsEnglish();
  EXPECT_TRUE(Plan(L"", layout, KeyboardState{}).empty());
}

}  // namespace
