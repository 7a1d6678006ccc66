#pragma once
// Typing into the box of another process that has the focus, and reading back what arrived.

#include <gtest/gtest.h>

#include <string>

#include "type_target_client_win32.h"
#include "wedge/send_input_keys.h"

namespace typing {

// A card text in the keystroke notation and the text the box must hold after it ("\r\n" where
// Enter was typed).
struct CardText {
  std::wstring keys;
  std::wstring box;
};

inline std::wstring BoxText(const std::wstring& typed) {
  std::wstring out;
  for (wchar_t c : typed) out += c == L'\n' ? std::wstring(L"\r\n") : std::wstring(1, c);
  return out;
}

class TypingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(target.Start(type_target::WinePath(ZAN_TYPE_TARGET_EXE)));
    // A click into the box gives it the display's keyboard focus too, so keys pressed at the
    // display (xdotool) reach it as a user's keys would.
    ASSERT_TRUE(type_target::Xdotool("mousemove 300 300 click 1"));
    ASSERT_TRUE(target.Focus());
  }

  // Types `keys` through the output and returns what the box holds once `expected` characters
  // have arrived (or after a while, whatever arrived).
  std::wstring TypeAndRead(const std::wstring& keys, const std::wstring& expected) {
    target.Arm(static_cast<std::int32_t>(expected.size()));
    EXPECT_TRUE(output.SendKeys(keys));
    EXPECT_TRUE(target.WaitDone(20000)) << "arrived: " << target.shared().length;
    return target.Text();
  }

  void ExpectTyped(const CardText& card) {
    EXPECT_EQ(TypeAndRead(card.keys, card.box), card.box);
  }

  type_target::Target target;
  wedge::SendInputKeys output;
};

}  // namespace typing
