// How the simulated reader reports a swiped card's tracks and parsed fields.

#include "card_fields.h"

#include <gtest/gtest.h>

namespace {

using msr_sim::ParseFields;
using msr_sim::StripSentinels;

TEST(SimCardFields, SentinelsAndTheLrcAreNotPartOfATrack) {
  EXPECT_EQ(StripSentinels(L"%B4111^DOE/J^2912?x"), L"B4111^DOE/J^2912");
  EXPECT_EQ(StripSentinels(L";4111=2912?"), L"4111=2912");
  EXPECT_EQ(StripSentinels(L"4111=2912"), L"4111=2912");
  EXPECT_EQ(StripSentinels(L""), L"");
}

struct Case {
  const wchar_t *track1, *track2;
  const wchar_t *account, *expiry, *first, *middle, *surname;
};

class SimCardFieldsTable : public ::testing::TestWithParam<Case> {};

TEST_P(SimCardFieldsTable, ComeFromTrack1FormatBOrElseTrack2) {
  const Case& c = GetParam();
  const msr_sim::CardFields f = ParseFields(c.track1, c.track2);
  EXPECT_EQ(f.account, c.account);
  EXPECT_EQ(f.expiration, c.expiry);
  EXPECT_EQ(f.first_name, c.first);
  EXPECT_EQ(f.middle_initial, c.middle);
  EXPECT_EQ(f.surname, c.surname);
}

INSTANTIATE_TEST_SUITE_P(
    Cards, SimCardFieldsTable,
    ::testing::Values(
        Case{L"B4111111111111111^DOE/JOHN Q^2912101", L"", L"4111111111111111", L"2912", L"JOHN", L"Q", L"DOE"},
        Case{L"B4111111111111111^DOE/JOHN^2912", L"", L"4111111111111111", L"2912", L"JOHN", L"", L"DOE"},
        Case{L"B5555555555554444^SMITH/ANNE M.MRS^2605", L"", L"5555555555554444", L"2605", L"ANNE", L"M", L"SMITH"},
        Case{L"B4111111111111111^DOE^2912", L"", L"4111111111111111", L"2912", L"", L"", L"DOE"},
        // Not format B, or broken: track 2 gives account and expiry, no names.
        Case{L"A4111111111111111^DOE/JOHN^2912", L"4111111111111111=2912101", L"4111111111111111", L"2912", L"", L"", L""},
        Case{L"B4111111111111111^DOE/JOHN", L"4111111111111111=2912", L"4111111111111111", L"2912", L"", L"", L""},
        Case{L"B4111^DOE/JOHN^29", L"4111=29", L"", L"", L"", L"", L""},
        Case{L"", L"41111111111111111111=2912", L"", L"", L"", L"", L""},
        Case{L"", L"", L"", L"", L"", L"", L""},
        // An identity card: names from track 1, the expiry from track 2, no account number.
        Case{L"CAANYTOWN^DOE$JANE$QUINN^123 SAMPLE ST^", L"6360149876543210=300819900515=", L"", L"3008", L"JANE", L"Q", L"DOE"},
        Case{L"", L"6044250123456789=300819900515=", L"", L"3008", L"", L"", L""}));

}  // namespace
