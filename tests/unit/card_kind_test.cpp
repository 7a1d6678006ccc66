#include "wedge/card_kind.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace {

TEST(CardKind, FromTheControlsCardTypeElseFromTheTracks) {
  const std::optional<std::wstring> none;
  const struct {
    std::optional<std::wstring> type;
    const wchar_t *track1, *track2, *kind;
  } rows[] = {
      {L"BANK", L"", L"", L"bank"}, {L"AAMVA", L"B4111111111111111^DOE/JOHN^2912101", L"", L"id"},
      {L"JIS-I", L"", L"9999000012=2912", L"other"}, {L"", L"", L"9999000012=2912", L"other"},
      // A payment card's tracks outweigh an empty or a vendor's own CardType.
      {L"", L"", L"4111111111111111=2912", L"bank"}, {L"_ACME", L"", L"4111111111111111=2912101", L"bank"},
      // Masked by an encrypting reader.
      {none, L"B411111******1111^DOE/JOHN^2912101", L"", L"bank"}, {none, L"", L"411111******1111=2912", L"bank"},
      {none, L"B4111 1111 1111 1111^DOE/JOHN^2912101", L"", L"bank"}, {none, L"B12345^GIFT^", L"", L"bank"},
      {none, L"B^GIFT^", L"", L"other"}, {none, L"B12345678901234567890^GIFT^", L"", L"other"},
      {none, L"", L"5555555555554444=2805101", L"bank"}, {none, L"", L"378282246310005=2707101", L"bank"},
      {none, L"", L"4111111111111112=2912101", L"other"},  // Luhn fails
      {none, L"", L"4111111111111111=291", L"other"}, {none, L"", L"41111111111111111111=2912", L"other"},
      {none, L"", L"636014123456009=2912199001011", L"id"},  // passes Luhn too
      {none, L"", L"604425123456=2912199001011", L"id"}, {none, L"", L"636063123456=2912", L"other"},
      {none, L"GIFT CARD", L"9999000012=", L"other"},
  };
  for (const auto& r : rows) {
    EXPECT_STREQ(wedge::CardKindName(wedge::KindOfCard(r.type, r.track1, r.track2)), r.kind)
        << r.track1 << L" / " << r.track2;
  }
}

TEST(CardKind, AccountNumberItsMaskAndLastFourShowAtMostTheFirstSixAndLastFour) {
  const std::tuple<const wchar_t*, const wchar_t*, const wchar_t*> rows[] = {
      {L"B5555555555554444^SMITH/ANNA^2805", L"4111111111111111=2912", L"4111111111111111 411111******1111 1111"},
      {L"B3782 822463 10005^ROE/RICHARD^2707", L"", L"378282246310005 378282*****0005 0005"},
      {L"", L"123456789012=", L"123456789012 123456**9012 9012"},
      {L"", L"12345678901=", L"12345678901 *******8901 8901"}, {L"", L"12345678=", L"12345678 ****5678 5678"},
      {L"", L"1234567=", L"1234567 ******* "}, {L"", L"12345678901234567890=", L"  "},
      {L"B4111111111111111^DOE/JOHN^", L"41111A=", L"4111111111111111 411111******1111 1111"},
  };
  for (const auto& [track1, track2, shown] : rows) {
    const std::wstring number = wedge::AccountNumberOf(track1, track2);
    EXPECT_EQ(number + L" " + wedge::MaskAccountNumber(number) + L" " + wedge::LastFourOf(number), shown);
  }
}

TEST(CardKind, BankTracksKeepNameExpiryServiceCodeLengthAndSeparators) {
  const std::tuple<int, const wchar_t*, const wchar_t*> rows[] = {
      {1, L"B4111111111111111^DOE/JOHN Q^2912101000000000000000",
       L"B411111******1111^DOE/JOHN Q^2912101***************"},
      {1, L"B4111 1111 1111 1111^DOE/JOHN^2912101123", L"B4111 11** **** 1111^DOE/JOHN^2912101***"},
      {1, L"B4111111111111111^DOE/JOHN", L"B411111******1111^********"},  // no end to the name
      {2, L"4111111111111111=29121010000000000000", L"411111******1111=2912101*************"},
      {2, L"4111111111111111=2912101=123", L"411111******1111=2912101=***"},
      {2, L"4111111111111111==101123", L"411111******1111==******"},  // no expiry
      {3, L"011234567890123445=724724100000000000030300020040400099010",
       L"011234********3445=***************************************"},
      {2, L"636014123456789=2912199001011", L"636014123456789=2912199001011"},
      {1, L"CACYPRESS CITY^SMITH$JANE$Q^123 MAIN ST^", L"CACYPRESS CITY^SMITH$JANE$Q^123 MAIN ST^"},
      {2, L"GIFT0001", L"GIFT0001"},
  };
  for (const auto& [track, text, masked] : rows) EXPECT_EQ(wedge::MaskBankTrack(track, text), masked);
}

}  // namespace
