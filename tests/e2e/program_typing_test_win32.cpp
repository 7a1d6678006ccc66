// Cards swiped on the reader reach the box of another process that has the focus, framed as the
// stored settings say, for every carriage-return and sentinel choice and a mix of ticked tracks.

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "e2e/card_typing_win32.h"

namespace {

using e2e::Card;
using e2e::TypingCase;

// Test card numbers only. The first card's tracks hold the characters the keystroke notation
// escapes ("^" "+") and blanks; the others leave tracks empty.
const std::vector<Card> kCards = {
    {L"", L"378282246310005=29121010000000000", L""},
    {L"B4111111111111111^DOE/JOHN Q.MR^2912101000000000000000000000",
     L"4111111111111111=29121010000000000000",
     L"011234567890123445=724724100000000000030300020040400099010=+7=1=0"},
    {L"B5555555555554444^SMITH/ANNA^3001101000000000000", L"5555555555554444=30011010000000000000",
     L""},
};

//                     StartUp HideOnStart CR0 CR1 CR2 Trk0 Trk1 Trk2 Sent1 Sent2
const TypingCase kCases[] = {
    {"SentinelsEnterAfterEachTrackAllTracks",
     {L"0", L"1", L"True", L"False", L"False", L"1", L"1", L"1", L"True", L"False"}},
    {"SentinelsEnterAfterCardTracks1And2",
     {L"0", L"1", L"False", L"False", L"True", L"1", L"1", L"0", L"True", L"False"}},
    {"SentinelsNoEnterTracks2And3",
     {L"0", L"1", L"False", L"True", L"False", L"0", L"1", L"1", L"True", L"False"}},
    {"NoSentinelsEnterAfterEachTrackTrack2",
     {L"0", L"1", L"True", L"False", L"False", L"0", L"1", L"0", L"False", L"True"}},
    // The first card's only track is not ticked: it types a lone Enter.
    {"NoSentinelsEnterAfterCardTrack1",
     {L"0", L"1", L"False", L"False", L"True", L"1", L"0", L"0", L"False", L"True"}},
    // Two cards type nothing before the third types its track 3.
    {"NoSentinelsNoEnterTrack3",
     {L"0", L"1", L"False", L"True", L"False", L"0", L"0", L"1", L"False", L"True"}},
    // A greyed track box (stored "2") does not type its track.
    {"GreyedTrack1IsNotTyped",
     {L"0", L"1", L"True", L"False", L"False", L"2", L"1", L"1", L"True", L"False"}},
    {"NoTrackTickedEnterAfterCard",
     {L"0", L"1", L"False", L"False", L"True", L"0", L"0", L"0", L"False", L"True"}},
};

class CardsTyped : public e2e::CardTypingTest, public ::testing::WithParamInterface<TypingCase> {};

TEST_P(CardsTyped, IntoTheFocusedBoxOfAnotherProcessExactly) {
  const e2e::StoredSettings settings = e2e::Settings(GetParam().settings);
  ASSERT_NO_FATAL_FAILURE(StartHiddenWithTarget(settings));
  ExpectTyped(settings, kCards);
}

INSTANTIATE_TEST_SUITE_P(Settings, CardsTyped, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<TypingCase>& info) {
                           return std::string(info.param.name);
                         });

class CardsInARow : public e2e::CardTypingTest {};

// Cards swiped while the first is still being typed arrive whole, in order.
TEST_F(CardsInARow, ArriveWholeAndInOrder) {
  const e2e::StoredSettings settings =
      e2e::Settings({L"0", L"1", L"True", L"False", L"False", L"1", L"1", L"0", L"True", L"False"});
  ASSERT_NO_FATAL_FAILURE(StartHiddenWithTarget(settings));
  const Card card = kCards[1];
  std::wstring expected;
  for (int i = 0; i < 4; ++i) expected += e2e::ExpectedText(settings, card);
  target.Arm(static_cast<std::int32_t>(expected.size()));
  ASSERT_EQ(e2e::Swipe(e2e::SwipeArgs(card) + L" --count 4"), 0);
  EXPECT_TRUE(target.WaitDone(30000)) << "arrived: " << target.shared().length;
  EXPECT_EQ(target.Text(), expected);
}

// --- Bad swipes and a reader that comes back ---

class ReaderTrouble : public e2e::CardTypingTest {
 protected:
  int Count(const std::string& line) {
    const std::vector<std::string> journal = program.Journal();
    return static_cast<int>(std::count(journal.begin(), journal.end(), line));
  }
  const e2e::StoredSettings settings =
      e2e::Settings({L"0", L"1", L"True", L"False", L"False", L"1", L"1", L"0", L"True", L"False"});
};

// A swipe the reader cannot read comes as an error event, with data events switched off: nothing
// is typed for it, data events are switched on again, and the next card is typed as usual, also
// after ten bad swipes in a row.
TEST_F(ReaderTrouble, ABadSwipeNeverSilencesTheReader) {
  ASSERT_NO_FATAL_FAILURE(StartHiddenWithTarget(settings));
  const std::wstring expected = e2e::ExpectedText(settings, kCards[2]) +
                                e2e::ExpectedText(settings, kCards[0]) +
                                e2e::ExpectedText(settings, kCards[2]);
  target.Arm(static_cast<std::int32_t>(expected.size()));
  ASSERT_EQ(e2e::Swipe(e2e::SwipeArgs(kCards[2])), 0);
  ASSERT_EQ(e2e::Swipe(L"--bad"), 0);
  ASSERT_EQ(e2e::Swipe(e2e::SwipeArgs(kCards[0])), 0);
  ASSERT_EQ(e2e::Swipe(L"--bad --count 10"), 0);
  ASSERT_EQ(e2e::Swipe(e2e::SwipeArgs(kCards[2])), 0);
  EXPECT_TRUE(target.WaitDone(30000)) << "arrived: " << target.shared().length;
  EXPECT_EQ(target.Text(), expected);
  // Switched on at start, after each of the three cards and after each of the eleven errors.
  EXPECT_TRUE(e2e::WaitFor([&] { return Count("put 3 true") == 15; }, 5000)) << Count("put 3 true");
}

// Started before its reader's software was there: once it is, a device arrival brings the reader
// in without a restart.
TEST_F(ReaderTrouble, AReaderInstalledLaterTypesCardsWithoutARestart) {
  ASSERT_NO_FATAL_FAILURE(StartHiddenWithTarget(settings, {"nocreate"}, false));
  ASSERT_TRUE(program.Configure({}));
  SendMessageW(program.Window(), WM_DEVICECHANGE, 0x0007, 0);  // DBT_DEVNODES_CHANGED
  ASSERT_TRUE(e2e::WaitFor([&] { return Count("put 3 true") == 1; }, 10000)) << "no reconnect";
  ASSERT_TRUE(target.Focus());
  ExpectTyped(settings, {kCards[2]});
}

}  // namespace
