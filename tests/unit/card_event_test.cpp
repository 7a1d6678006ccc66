#include "wedge/card_event.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "shell/plain_card_form.h"
#include "unit/fakes.h"

namespace {

using reader::DispId;
using ::testing::ElementsAre;
using testing_fakes::FakeReader;
using testing_fakes::RecordingKeys;
using wedge::CardOption;

// The plain window values, with failures to order.
class FakeForm : public shell::PlainCardForm {
 public:
  std::set<CardOption> failing_options;
  std::set<int> failing_ticks;
  std::set<int> failing_boxes;

  std::optional<bool> Option(CardOption which) override {
    if (failing_options.count(which)) return std::nullopt;
    return PlainCardForm::Option(which);
  }
  std::optional<std::int16_t> TrackBox(int track) override {
    if (failing_ticks.count(track)) return std::nullopt;
    return PlainCardForm::TrackBox(track);
  }
  bool SetBoxText(int index, const std::wstring& text) override {
    if (failing_boxes.count(index)) return false;
    return PlainCardForm::SetBoxText(index, text);
  }
};

enum class Cr { Track, Card, None };

class CardEventTest : public ::testing::Test {
 protected:
  void Choose(bool sentinels, Cr cr) {
    form.choices.send_sentinels = sentinels;
    form.choices.cr_with_track = cr == Cr::Track;
    form.choices.cr_with_card = cr == Cr::Card;
  }
  void Swipe() { handler.MSR1_DataEvent(0); }

  FakeReader msr;
  FakeForm form;
  RecordingKeys keys;
  int yields = 0;
  std::function<void()> on_yield;
  wedge::Ending ending;
  wedge::CardEventHandler handler{msr, form, keys,
                                  [this] {
                                    ++yields;
                                    if (on_yield) on_yield();
                                  },
                                  ending};
};

struct Framing {
  bool sentinels;
  Cr cr;
  std::vector<std::wstring> sent;
};

std::string FramingName(const ::testing::TestParamInfo<Framing>& info) {
  static const char* const kCr[] = {"EnterPerTrack", "EnterPerCard", "NoEnter"};
  return std::string(info.param.sentinels ? "Sentinels_" : "NoSentinels_") +
         kCr[static_cast<int>(info.param.cr)];
}

class WorkedExample : public CardEventTest, public ::testing::WithParamInterface<Framing> {};

TEST_P(WorkedExample, TypesTheTicketTracksFramedAsChosen) {
  const Framing& f = GetParam();
  Choose(f.sentinels, f.cr);
  msr.Card(L"B1234^DOE/J^99", L"1234=99", L"");
  Swipe();
  EXPECT_EQ(keys.sent, f.sent);
  EXPECT_EQ(form.boxes[5], L"B1234^DOE/J^99");
  EXPECT_EQ(form.boxes[6], L"1234=99");
  EXPECT_EQ(form.boxes[7], L"");
  EXPECT_EQ(yields, 2);  // the two "^"
}

INSTANTIATE_TEST_SUITE_P(
    SentinelsAndCarriageReturns, WorkedExample,
    ::testing::Values(
        Framing{true, Cr::Track, {L"{%}B1234{^}DOE/J{^}99?~", L";1234=99?~", L""}},
        Framing{true, Cr::Card, {L"{%}B1234{^}DOE/J{^}99?", L";1234=99?", L"", L"~"}},
        Framing{true, Cr::None, {L"{%}B1234{^}DOE/J{^}99?", L";1234=99?", L""}},
        Framing{false, Cr::Track, {L"B1234{^}DOE/J{^}99~", L"1234=99~", L""}},
        Framing{false, Cr::Card, {L"B1234{^}DOE/J{^}99", L"1234=99", L"", L"~"}},
        Framing{false, Cr::None, {L"B1234{^}DOE/J{^}99", L"1234=99", L""}}),
    FramingName);

TEST_F(CardEventTest, ShowsFieldsAndRawTracksAndKeepsNothingOnceTyped) {
  Choose(true, Cr::Track);
  msr.Card(L"B4111111111111111^DOE/JOHN^2912101", L"4111111111111111=2912101", L"01+9",
           L"JOHN", L"4111111111111111");
  msr.props[DispId::MiddleInitial] = std::wstring(L"Q");
  msr.props[DispId::Surname] = std::wstring(L"DOE");
  msr.props[DispId::ExpirationDate] = std::wstring(L"2912");
  form.boxes[8] = L"typed before";
  Swipe();
  EXPECT_THAT(form.boxes, ElementsAre(L"JOHN", L"Q", L"DOE", L"2912", L"4111111111111111",
                                      L"B4111111111111111^DOE/JOHN^2912101",
                                      L"4111111111111111=2912101", L"01+9", L""));
  EXPECT_THAT(keys.sent, ElementsAre(L"{%}B4111111111111111{^}DOE/JOHN{^}2912101?~",
                                     L";4111111111111111=2912101?~", L";01{+}9?~"));
}

// A reader in a raw mode, or a faulty control, may report control characters in a track: typed,
// they would press Return, Tab, Backspace, Escape, or paste and copy (Ctrl+V, Ctrl+C) in the till's
// field. Only the track's printable characters are typed; the framing's own Enter stays.
TEST_F(CardEventTest, ControlCharactersOfAHostileCardAreNotTyped) {
  Choose(true, Cr::Track);
  const std::wstring hostile = std::wstring(L"B41\r11\t^\b\x1b\x16\x03\x7f\x85\x9b", 15) + L"~9";
  msr.Card(hostile, std::wstring(L"\r\n\x16", 3), std::wstring(L"12\0" L"34", 5));
  Swipe();
  EXPECT_THAT(keys.sent, ElementsAre(L"{%}B4111{^}{~}9?~", L"", L";1234?~"));
  EXPECT_EQ(form.boxes[5], hostile);  // the box shows what the reader gave
}

// A control that keeps sending sentinels: they come off before the program's own are put on, past
// a carriage return or an LRC byte after the end sentinel; a track without both stays as it came.
TEST_F(CardEventTest, SentinelsAControlKeepsComeOffPastControlCharacters) {
  handler.SetSentinelsTransmitted(true);
  Choose(true, Cr::Track);
  const std::pair<std::wstring, std::wstring> cases[] = {
      {L";4111=2912?", L";4111=2912?~"},
      {L";4111=2912?\r", L";4111=2912?~"},
      {std::wstring(L"\x02;4111=2912?\x1c", 14), L";4111=2912?~"},
      {L";4111=2912\r", L";;4111=2912?~"}};
  for (const auto& [track2, typed] : cases) {
    keys.sent.clear();
    msr.Card(L"", track2, L"");
    Swipe();
    EXPECT_EQ(keys.sent.at(1), typed);
  }
}

// The reader may replace its data as soon as it is re-armed: every card, the first and one that
// arrives while the first is being escaped, is read whole before its re-arm. The service code,
// the kind and the encryption are asked for only where typing rules may name them, and the
// control's own service code goes with its card.
TEST_F(CardEventTest, ReadsTheCardThenRearmsBeforeAnyEscapingOrTyping) {
  for (const bool rules : {false, true}) {
    SCOPED_TRACE(rules ? "with rules" : "without rules");
    msr.journal.clear();
    keys.service_codes.clear();
    keys.wants_fields = rules;
    msr.Card(L"B1^2", L"3=2912101", L"");
    msr.props[DispId::ServiceCode] = std::wstring(L"201");
    std::size_t journal_at_first_yield = 0;
    on_yield = [&] {
      if (journal_at_first_yield) return;
      journal_at_first_yield = msr.journal.size();
      msr.Card(L"B4^5", L"6=2912101", L"");
      msr.props[DispId::ServiceCode] = std::wstring();  // this control has none: the track's
      handler.MSR1_DataEvent(0);
    };
    Swipe();
    std::vector<DispId> order;
    for (const auto& e : msr.journal) order.push_back(e.id);
    std::vector<DispId> one_card = {
        DispId::FirstName,     DispId::MiddleInitial, DispId::Surname,
        DispId::ExpirationDate, DispId::AccountNumber, DispId::Track1Data,
        DispId::Track2Data,    DispId::Track3Data,    DispId::DataEventEnabled};
    if (rules) {
      one_card.insert(one_card.end() - 1, {DispId::ServiceCode, DispId::CardType,
                                           DispId::CapDataEncryption, DispId::DataEncryptionAlgorithm});
    }
    std::vector<DispId> two_cards = one_card;
    two_cards.insert(two_cards.end(), one_card.begin(), one_card.end());
    ASSERT_EQ(order, two_cards);
    for (std::size_t rearm : {one_card.size() - 1, two_cards.size() - 1}) {
      ASSERT_EQ(msr.journal[rearm].kind, 'P');
      EXPECT_EQ(msr.journal[rearm].args[0], reader::DispValue{true});
    }
    EXPECT_EQ(journal_at_first_yield, one_card.size());
    if (rules) {
      EXPECT_THAT(keys.service_codes, ElementsAre(L"201", L"101"));
    }
  }
}

TEST_F(CardEventTest, EmptyCardTypesNothingAndNoCardEnter) {
  Choose(true, Cr::Card);
  msr.Card(L"", L"", L"");
  Swipe();
  EXPECT_THAT(keys.sent, ElementsAre(L"", L"", L""));  // ticked empty tracks type nothing
}

TEST_F(CardEventTest, CardEnterCountsTracksNotTicks) {
  Choose(true, Cr::Card);
  form.choices.tracks = {0, 0, 0};
  msr.Card(L"", L"", L"9876");
  Swipe();
  EXPECT_THAT(keys.sent, ElementsAre(L"~"));
}

TEST_F(CardEventTest, OnlyAValueOfExactlyOneTypesATrack) {
  form.choices.tracks = {2, 1, 0};  // greyed, ticked, unticked
  msr.Card(L"A", L"B", L"C");
  Swipe();
  EXPECT_THAT(keys.sent, ElementsAre(L";B?"));
}

TEST_F(CardEventTest, EnterAfterEveryTrackAndNoCardEnter) {
  Choose(false, Cr::Track);
  msr.Card(L"A", L"B", L"C");
  Swipe();
  EXPECT_THAT(keys.sent, ElementsAre(L"A~", L"B~", L"C~"));
}

TEST_F(CardEventTest, FailedReadsLeaveTheirBoxOrTrackEmpty) {
  Choose(true, Cr::Card);
  msr.Card(L"B1", L"2", L"3", L"ANN");
  msr.failing = {DispId::FirstName, DispId::Track2Data};
  form.boxes.fill(L"old");
  Swipe();
  EXPECT_EQ(form.boxes[0], L"");
  EXPECT_EQ(form.boxes[6], L"");
  EXPECT_THAT(keys.sent, ElementsAre(L"{%}B1?", L"", L";3?", L"~"));

  // With every track unreadable there is nothing to count for the card's Enter.
  keys.sent.clear();
  msr.failing = {DispId::Track1Data, DispId::Track2Data, DispId::Track3Data};
  Swipe();
  EXPECT_THAT(keys.sent, ElementsAre(L"", L"", L""));
}

TEST_F(CardEventTest, RefusedRearmAndBoxWritesStillTypeTheCard) {
  msr.Card(L"B1", L"2", L"");
  msr.failing = {DispId::DataEventEnabled};
  form.failing_boxes = {0, 5, 6};
  Swipe();
  EXPECT_THAT(keys.sent, ElementsAre(L"{%}B1?", L";2?", L""));
}

TEST_F(CardEventTest, FailedSendKeysDoesNotStopLaterTracksOrTheCardEnter) {
  Choose(false, Cr::Card);
  msr.Card(L"A", L"B", L"C");
  keys.failing_calls = {0};
  Swipe();
  EXPECT_THAT(keys.sent, ElementsAre(L"B", L"C", L"~"));
}

TEST_F(CardEventTest, UnreadableChoicesTakeTheBranchAsIfSet) {
  Choose(false, Cr::None);
  form.choices.tracks = {0, 0, 0};
  form.failing_options = {CardOption::SendSentinels, CardOption::CrWithTrack,
                          CardOption::CrWithCard};
  form.failing_ticks = {1};
  msr.Card(L"A", L"B", L"");
  Swipe();
  EXPECT_THAT(keys.sent, ElementsAre(L";B?~", L"~"));
}

// A card swiped while the previous card is still being escaped (its event is raised from the
// yield) is typed after it, whole: nothing lost, split, interleaved or typed twice.
TEST_F(CardEventTest, CardDuringACardIsTypedAfterItWhole) {
  Choose(true, Cr::Track);
  msr.Card(L"B1111^ONE/A^11", L"1111=11", L"");
  int raised = 0;
  on_yield = [&] {
    if (raised++ == 0) {
      msr.Card(L"B2222^TWO/B^22", L"2222=22", L"2+2");
      handler.MSR1_DataEvent(0);
    }
  };
  Swipe();
  EXPECT_THAT(keys.sent, ElementsAre(L"{%}B1111{^}ONE/A{^}11?~", L";1111=11?~", L"",
                                     L"{%}B2222{^}TWO/B{^}22?~", L";2222=22?~", L";2{+}2?~"));
  EXPECT_EQ(form.boxes[5], L"B2222^TWO/B^22");
  EXPECT_EQ(msr.Count('P', DispId::DataEventEnabled), 2);
  // Each card is one batch of the output, the second one after the first has ended.
  EXPECT_THAT(keys.batches,
              ElementsAre(ElementsAre(L"{%}B1111{^}ONE/A{^}11?~", L";1111=11?~", L""),
                          ElementsAre(L"{%}B2222{^}TWO/B{^}22?~", L";2222=22?~", L";2{+}2?~")));
  EXPECT_EQ(keys.waiting(), 0u);
}

// The program begins to end while a card is escaped (a log-off dispatched by a yield): the card
// is not typed, waiting cards are dropped, and later events do not touch the reader.
TEST_F(CardEventTest, NothingIsTypedOnceHandlingStops) {
  Choose(false, Cr::Card);
  msr.Card(L"1^", L"2", L"");
  on_yield = [&] {
    msr.Card(L"3", L"4", L"");
    handler.MSR1_DataEvent(0);  // waits behind the first card
    ending.Begin();
  };
  Swipe();
  EXPECT_THAT(keys.sent, ::testing::IsEmpty());
  const std::size_t calls = msr.journal.size();
  Swipe();
  EXPECT_EQ(msr.journal.size(), calls);
  EXPECT_THAT(keys.sent, ::testing::IsEmpty());
}

// A swipe the reader could not read: data events on again, the cue, nothing typed; not once the
// program is ending.
TEST_F(CardEventTest, ABadSwipeRearmsAndCuesAndTypesNothing) {
  struct CountingCue : wedge::UserCue {
    void CardNotTyped() override { ++cues; }
    int cues = 0;
  } cue;
  wedge::CardEventHandler with_cue{msr, form, keys, [] {}, ending, &cue};
  with_cue.MSR1_ErrorEvent(114, 204, 2);
  EXPECT_EQ(msr.Count('P', DispId::DataEventEnabled), 1);
  EXPECT_EQ(msr.Count('G', DispId::Track1Data), 0);
  EXPECT_EQ(cue.cues, 1);
  EXPECT_TRUE(keys.sent.empty());
  ending.Begin();
  with_cue.MSR1_ErrorEvent(114, 204, 2);
  EXPECT_EQ(msr.Count('P', DispId::DataEventEnabled), 1);
  EXPECT_EQ(cue.cues, 1);
}

TEST_F(CardEventTest, EachCardIsOneBatchWithItsCardEnter) {
  Choose(false, Cr::Card);
  msr.Card(L"A", L"B", L"C");
  keys.failing_calls = {1};  // a refused call leaves out only its own text
  Swipe();
  Swipe();
  EXPECT_THAT(keys.batches, ElementsAre(ElementsAre(L"A", L"C", L"~"),
                                        ElementsAre(L"A", L"B", L"C", L"~")));
}

TEST_F(CardEventTest, SeveralCardsDuringCardsKeepTheirOrder) {
  Choose(false, Cr::None);
  form.choices.tracks = {0, 1, 0};
  msr.Card(L"", L"1^^^", L"");
  int next = 2;
  on_yield = [&] {
    // Each yield of the first card brings the next card, two at once the first time; the cards
    // that come meanwhile are framed without yielding, so a burst never nests deeper.
    for (int n = 0, count = next == 2 ? 2 : 1; n < count && next <= 5; ++n, ++next) {
      msr.Card(L"", std::to_wstring(next) + L"^", L"");
      handler.MSR1_DataEvent(0);
    }
  };
  Swipe();
  EXPECT_THAT(keys.sent, ElementsAre(L"1{^}{^}{^}", L"2{^}", L"3{^}", L"4{^}", L"5{^}"));
  EXPECT_EQ(msr.Count('P', DispId::DataEventEnabled), 5);
  EXPECT_EQ(yields, 3);

  // Handling is over: the next card is handled at once again.
  on_yield = nullptr;
  keys.sent.clear();
  msr.Card(L"", L"6", L"");
  Swipe();
  EXPECT_THAT(keys.sent, ElementsAre(L"6"));
}

}  // namespace
