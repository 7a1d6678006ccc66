// Cards typed by the program on a German keyboard. Run by typing/with_xkb_layout.sh, which
// switches the display to the German layout before this program (and the programs it starts)
// start, and back afterwards.

#include <windows.h>

#include <gtest/gtest.h>

#include <vector>

#include "e2e/card_typing_win32.h"

namespace {

using e2e::Card;

class GermanLayout : public e2e::CardTypingTest {
 protected:
  void SetUp() override {
    e2e::CardTypingTest::SetUp();
    // The display's layout really is German: "/" is Shift+7 there.
    const SHORT slash = VkKeyScanExW(L'/', GetKeyboardLayout(0));
    ASSERT_EQ(LOBYTE(slash), '7') << "the display does not have the German layout";
  }
};

// "^" is a dead key and "/" "?" "%" ";" "=" sit elsewhere on German keyboards.
const std::vector<Card> kCards = {
    {L"B4111111111111111^MUELLER/JUERGEN^2912101000000000000000",
     L"4111111111111111=29121010000000000000", L"011234567890123445=7247241000000=+7=1=0"},
    {L"", L"5555555555554444=30011010000000000000", L""},
};

TEST_F(GermanLayout, SentinelsAndAnEnterAfterEachTrack) {
  const e2e::StoredSettings settings =
      e2e::Settings({L"0", L"1", L"True", L"False", L"False", L"1", L"1", L"1", L"True", L"False"});
  ASSERT_NO_FATAL_FAILURE(StartHiddenWithTarget(settings));
  ExpectTyped(settings, kCards);
}

TEST_F(GermanLayout, OneTrackWithoutSentinelsAndAnEnterAfterTheCard) {
  const e2e::StoredSettings settings =
      e2e::Settings({L"0", L"1", L"False", L"False", L"True", L"1", L"0", L"0", L"False", L"True"});
  ASSERT_NO_FATAL_FAILURE(StartHiddenWithTarget(settings));
  ExpectTyped(settings, kCards);
}

}  // namespace
