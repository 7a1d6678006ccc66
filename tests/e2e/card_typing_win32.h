#pragma once
// Swiping cards while another process has the focus, and what its box must hold afterwards.

#include <windows.h>

#include <gtest/gtest.h>

#include <array>
#include <ostream>
#include <string>
#include <vector>

#include "e2e/program_fixture_win32.h"
#include "type_target_client_win32.h"

namespace e2e {

// A card's three tracks as the reader reports them (without sentinels); empty: no data.
struct Card {
  std::wstring track1, track2, track3;
};

// A settings combination to type cards with.
struct TypingCase {
  const char* name;
  std::array<const wchar_t*, 10> settings;  // in key order; HideOnStart must be "1"
};

// Failure messages name the case.
inline void PrintTo(const TypingCase& c, std::ostream* os) { *os << c.name; }

// What the box holds after `card` is typed with `settings`: the ticked tracks (exactly "1"),
// each framed when it has data, then one Enter for a card that has any data at all.
inline std::wstring ExpectedText(const StoredSettings& settings, const Card& card) {
  auto is = [&](std::size_t key, const wchar_t* text) { return settings[key] && *settings[key] == text; };
  const bool sentinels = is(8, L"True");
  const bool enter_per_track = is(2, L"True");
  const bool enter_per_card = is(4, L"True");
  const std::wstring tracks[3] = {card.track1, card.track2, card.track3};
  const wchar_t* starts[3] = {L"%", L";", L";"};
  std::wstring box;
  bool any = false;
  for (int i = 0; i < 3; ++i) {
    if (tracks[i].empty()) continue;
    any = true;
    if (!is(5 + i, L"1")) continue;
    if (sentinels) box += starts[i];
    box += tracks[i];
    if (sentinels) box += L"?";
    if (enter_per_track) box += L"\r\n";
  }
  if (enter_per_card && any) box += L"\r\n";
  return box;
}

inline std::wstring SwipeArgs(const Card& card) {
  std::wstring args;
  if (!card.track1.empty()) args += L" --track1 \"" + card.track1 + L"\"";
  if (!card.track2.empty()) args += L" --track2 \"" + card.track2 + L"\"";
  if (!card.track3.empty()) args += L" --track3 \"" + card.track3 + L"\"";
  return args;
}

// The program started hidden with a case's settings, and the typing target in front of it.
class CardTypingTest : public ProgramTest {
 protected:
  // `target_options` go to the typing target ("--chars": a box that keeps every character).
  void StartHiddenWithTarget(const StoredSettings& settings,
                             const std::vector<std::string>& sim_config = {},
                             bool with_reader = true, const std::wstring& target_options = L"") {
    StartWith(program, settings, sim_config, with_reader);
    if (HasFatalFailure()) return;
    HWND window = program.Window();
    ASSERT_TRUE(WaitFor([&] { return !IsWindowVisible(window); }, 5000))
        << "the window did not hide at start";
    ShowTarget(target_options);
  }

  // Starts the typing target (`exe`: a copy of it under another name) and gives its box the focus.
  static void ShowTarget(type_target::Target& target, const std::wstring& target_options = L"",
                         const std::wstring& exe = TypeTargetExe()) {
    ASSERT_TRUE(target.Start(exe, target_options));
    // A click into the box gives it the display's keyboard focus too.
    HWND target_window = reinterpret_cast<HWND>(static_cast<UINT_PTR>(target.shared().main_window));
    RECT r{};
    GetWindowRect(target_window, &r);
    ASSERT_TRUE(type_target::Xdotool("mousemove " + std::to_string((r.left + r.right) / 2) + " " +
                                     std::to_string((r.top + r.bottom) / 2) + " click 1"));
    ASSERT_TRUE(target.Focus());
  }
  void ShowTarget(const std::wstring& target_options = L"") { ShowTarget(target, target_options); }

  // Swipes the cards in order and checks what arrives: cards that type nothing are checked
  // together with the next card that types something.
  void ExpectTyped(const StoredSettings& settings, const std::vector<Card>& cards) {
    std::size_t next = 0;
    while (next < cards.size()) {
      std::wstring expected;
      std::size_t end = next;
      while (end < cards.size()) {
        expected += ExpectedText(settings, cards[end]);
        ++end;
        if (!expected.empty()) break;
      }
      if (expected.empty()) {
        // Only cards that type nothing remain: nothing may arrive.
        target.Arm(1);
        for (std::size_t i = next; i < end; ++i) ASSERT_EQ(Swipe(SwipeArgs(cards[i])), 0);
        EXPECT_FALSE(target.WaitDone(1500));
        EXPECT_EQ(target.Text(), L"");
      } else {
        target.Arm(static_cast<std::int32_t>(expected.size()));
        for (std::size_t i = next; i < end; ++i) ASSERT_EQ(Swipe(SwipeArgs(cards[i])), 0);
        EXPECT_TRUE(target.WaitDone(20000)) << "arrived: " << target.shared().length;
        EXPECT_EQ(target.Text(), expected);
      }
      next = end;
    }
  }

  Program program;
  type_target::Target target;
};

}  // namespace e2e
