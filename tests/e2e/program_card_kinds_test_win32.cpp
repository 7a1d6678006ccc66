// Cards that are not all payment cards: an ID card's fields and its age check, the shop's own
// cards beside payment cards, a payment card typed masked, and an encrypting reader's blocks. The
// rules are the user's, for every program ("*"), and each card is swiped into the typing target.

#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "e2e/card_typing_win32.h"

namespace {

using e2e::Card;

// Sentinels, tracks 1 and 2, one Enter after the card, hidden at start.
const e2e::StoredSettings kSettings =
    e2e::Settings({L"0", L"1", L"False", L"False", L"True", L"1", L"1", L"0", L"True", L"False"});

SYSTEMTIME Today() {
  SYSTEMTIME now{};
  GetLocalTime(&now);
  return now;
}

// A made-up driver's licence born on 15 January of `born`, expiring at the end of `expires`
// (YYMM).
Card Licence(int born, const std::wstring& expires) {
  return {L"CAANYTOWN^DOE$JANE$Q^123 SAMPLE ST^",
          L"6360141234567=" + expires + std::to_wstring(born) + L"0115=", L""};
}

// Its age today.
std::wstring AgeOf(int born) {
  const SYSTEMTIME now = Today();
  const bool before_birthday = now.wMonth == 1 && now.wDay < 15;
  return std::to_wstring(now.wYear - born - (before_birthday ? 1 : 0));
}

const int kAdult = 1990;
const Card kPayment = {L"B4111111111111111^DOE/JOHN Q.MR^2912101000000000000000000000",
                       L"4111111111111111=29121010000000000000", L""};
const Card kGift = {L"", L"9990012345678", L""};

struct Swiped {
  Card card;
  std::wstring swipe_options;  // the encrypting reader's blocks
  const wchar_t* typed;        // nullptr: the card framed as set
  const wchar_t* notice;       // the notice by the icon; nullptr: none looked for
};

struct KindCase {
  const char* name;
  const wchar_t* rule;                  // for "*"
  std::vector<std::string> sim_config;  // OPOS.MSR's, for the encrypting reader
  std::vector<Swiped> swiped;
};

void PrintTo(const KindCase& c, std::ostream* os) { *os << c.name; }

const std::wstring kBlocks = L" --track2-encrypted 00FF10A5C3E7 --ksn FFFF9876543210E00001";
const wchar_t kGateway[] = L"template={Track2Encrypted}|{KSN}{Enter}";
const wchar_t kBlocksTyped[] = L"00FF10A5C3E7|FFFF9876543210E00001\r\n";

const KindCase kCases[] = {
    {"IdCardFields", L"template={IdNumber}{Tab}{DateOfBirth}{Tab}{Age}{Tab}{IdExpired}{Enter}", {},
     {{Licence(kAdult, L"4912"), L"", L"1234567\t1990-01-15\t(age)\tno\r\n", nullptr}}},
    {"AgeChecked", L"type=no; min-age=21", {},
     {{Licence(Today().wYear - 18, L"4912"), L"", L"", L"ID: UNDER 21"},
      {Licence(kAdult, L"2301"), L"", L"", L"ID: EXPIRED"},
      {Licence(kAdult, L"4912"), L"", L"", L"ID: 21 or over"}}},
    {"OnlyTheShopsOwnCards", L"cards=other", {},
     {{kPayment, L"", L"", nullptr}, {kGift, L"", nullptr, nullptr}}},
    // The control's own word for the kind counts, where it says a payment card.
    {"ControlSaysPaymentCard", L"cards=other", {"cardtype=BANK"}, {{kGift, L"", L"", nullptr}}},
    {"PaymentCardMasked", L"mask=yes", {},
     {{kPayment, L"",
       L"%B411111******1111^DOE/JOHN Q.MR^2912101*********************?"
       L";411111******1111=2912101*************?\r\n",
       nullptr}}},
    {"EncryptingReaderBytes", kGateway, {"encrypt", "binaryconversion=0"}, {{kPayment, kBlocks, kBlocksTyped, nullptr}}},
    {"EncryptingReaderNibbles", kGateway, {"encrypt", "binaryconversion=1"}, {{kPayment, kBlocks, kBlocksTyped, nullptr}}},
    {"EncryptingReaderDecimal", kGateway, {"encrypt", "binaryconversion=2"}, {{kPayment, kBlocks, kBlocksTyped, nullptr}}},
};

class CardKinds : public e2e::CardTypingTest, public ::testing::WithParamInterface<KindCase> {};

TEST_P(CardKinds, TypeEachCardAsItsKindAndTheRuleSay) {
  const KindCase& c = GetParam();
  SetReaderControlPolicy(L"OPOS.MSR");
  SetTypingRules({{L"*", c.rule}});
  ASSERT_NO_FATAL_FAILURE(StartHiddenWithTarget(kSettings, c.sim_config, true, L"--chars"));
  for (const Swiped& s : c.swiped) {
    std::wstring typed = s.typed ? s.typed : e2e::ExpectedText(kSettings, s.card);
    const std::size_t age = typed.find(L"(age)");
    if (age != std::wstring::npos) typed.replace(age, 5, AgeOf(kAdult));
    target.Arm(static_cast<std::int32_t>(typed.empty() ? 1 : typed.size()));
    ASSERT_EQ(e2e::Swipe(e2e::SwipeArgs(s.card) + s.swipe_options), 0);
    EXPECT_EQ(target.WaitDone(typed.empty() ? 1500 : 20000), !typed.empty());
    EXPECT_EQ(target.Text(), typed);
    if (s.notice) {
      const std::wstring notice = e2e::ShownBalloon();
      EXPECT_EQ(notice, s.notice);
      // Nothing of the card: not its number, its name or its birth date.
      for (const wchar_t* secret : {L"1234567", L"DOE", L"JANE", L"0115", L"1990"}) {
        EXPECT_EQ(notice.find(secret), std::wstring::npos) << e2e::Narrow(notice);
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Kinds, CardKinds, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<KindCase>& info) { return std::string(info.param.name); });

}  // namespace
