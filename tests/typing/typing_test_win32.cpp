// Typing card texts into a multi-line box of another process, under every keyboard state a
// cashier's desk can be in. Each test owns the display while it runs.

#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "shell/plain_card_form.h"
#include "typing/typing_fixture_win32.h"
#include "unit/fakes.h"
#include "wedge/addcntlcode.h"
#include "wedge/card_event.h"
#include "wedge/typing_platform.h"
#include "wedge/typist.h"

namespace {

using typing::BoxText;
using typing::CardText;
using typing::TypingTest;

// Taps Caps Lock through injected input.
void TapCapsLock() {
  INPUT in[2] = {};
  for (INPUT& i : in) {
    i.type = INPUT_KEYBOARD;
    i.ki.wVk = VK_CAPITAL;
    i.ki.wScan = 0x3A;
  }
  in[1].ki.dwFlags = KEYEVENTF_KEYUP;
  SendInput(2, in, sizeof(INPUT));
}

const std::wstring kTrack1 = L"B4111111111111111^DOE/JOHN Q.MR^2912101000000000000000000000";
const std::wstring kTrack2 = L"4111111111111111=29121010000000000000";
const std::wstring kTrack3 = L"011234567890123445=724724100000000000030300020040400099010=+7=1=0";

std::wstring Escaped(std::wstring text) { return wedge::Addcntlcode(text, nullptr); }

std::vector<CardText> CardTexts() {
  std::wstring ascii;
  for (wchar_t c = 0x21; c < 0x7f; ++c) ascii += c;
  return {
      {L"{%}" + Escaped(kTrack1) + L"?~", BoxText(L"%" + kTrack1 + L"?\n")},
      {L";" + Escaped(kTrack2) + L"?~", BoxText(L";" + kTrack2 + L"?\n")},
      {L";" + Escaped(kTrack3) + L"?", BoxText(L";" + kTrack3 + L"?")},
      // Every character a card can hold, and the framing characters.
      {Escaped(ascii) + L"{%};?~", BoxText(ascii + L"%;?\n")},
  };
}

TEST_F(TypingTest, CardTextsArriveExactly) {
  for (const CardText& card : CardTexts()) ExpectTyped(card);
}

TEST_F(TypingTest, TextThatCannotBeReadFailsAndTypesNothing) {
  target.Arm(1);
  EXPECT_FALSE(output.SendKeys(L"B41(11"));
  EXPECT_TRUE(output.SendKeys(L"x"));
  ASSERT_TRUE(target.WaitDone(20000));
  EXPECT_EQ(target.Text(), L"x");
}

TEST_F(TypingTest, CapsLockOnDoesNotInvertLetters) {
  TapCapsLock();
  struct Restore {
    ~Restore() { TapCapsLock(); }
  } restore;
  Sleep(50);
  ASSERT_TRUE(GetKeyState(VK_CAPITAL) & 1);
  for (const CardText& card : CardTexts()) ExpectTyped(card);
}

TEST_F(TypingTest, CapsLockOnAtTheDisplayDoesNotInvertLetters) {
  ASSERT_TRUE(type_target::Xdotool("key Caps_Lock"));
  struct Restore {
    ~Restore() { type_target::Xdotool("key Caps_Lock"); }
  } restore;
  for (const CardText& card : CardTexts()) ExpectTyped(card);
}

TEST_F(TypingTest, ShiftHeldAtTheDisplayChangesNoCharacter) {
  ASSERT_TRUE(type_target::Xdotool("keydown shift"));
  struct Restore {
    ~Restore() { type_target::Xdotool("keyup shift"); }
  } restore;
  for (const CardText& card : CardTexts()) ExpectTyped(card);
}

// A whole card through the card handler: its tracks and Enter arrive as one batch, in order.
TEST_F(TypingTest, ACardIsTypedAsOneBatch) {
  testing_fakes::FakeReader msr;
  shell::PlainCardForm form;
  form.choices.send_sentinels = true;
  form.choices.cr_with_track = true;
  msr.Card(L"B4111111111111111^DOE/JOHN^2912101", L"4111111111111111=2912101", L"01+9");
  int yields = 0;
  bool typed_during_card = false;
  wedge::TypingPlatform platform;
  const wedge::Ending ending;
  wedge::Typist typist(output, platform, platform, platform, ending);
  wedge::CardEventHandler handler(msr, form, typist, [&] {
    // While the card is handled nothing has been typed yet.
    ++yields;
    typed_during_card |= target.Text().size() > 0;
  }, ending);
  const std::wstring expected = BoxText(L"%B4111111111111111^DOE/JOHN^2912101?\n;4111111111111111=2912101?\n;01+9?\n");
  target.Arm(static_cast<std::int32_t>(expected.size()));
  handler.MSR1_DataEvent(0);
  ASSERT_TRUE(target.WaitDone(20000));
  EXPECT_EQ(target.Text(), expected);
  EXPECT_EQ(yields, 3);
  EXPECT_FALSE(typed_during_card);
}

}  // namespace
