#include "wedge/aamva.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// The fields in order, "-" for a missing one: ID number, birth, expiry, state, city, address,
// first, middle and surname, postal code, sex.
std::wstring Fields(const wedge::IdCard& c) {
  std::wstring s;
  for (const auto& f : {c.id_number,
                        c.date_of_birth ? std::optional(wedge::DateText(*c.date_of_birth)) : std::nullopt,
                        c.ExpiryText(), c.state, c.city, c.address, c.first_name, c.middle_name,
                        c.surname, c.postal_code, c.sex}) {
    s += (s.empty() ? L"" : L"|") + f.value_or(L"-");
  }
  return s;
}

TEST(IdCard, ReadsTheFieldsAndLeavesOutWhatIsNotAValidValue) {
  const wchar_t* t1 = L"CACYPRESS CITY^SMITH$JANE$Q^123 MAIN ST$APT 4^";
  const wchar_t* t3 = L"0190630      C               2506150BRNBLU";
  const std::tuple<const wchar_t*, const wchar_t*, const wchar_t*, const wchar_t*> rows[] = {
      {t1, L"6360141234567=290719900215=", t3,
       L"1234567|1990-02-15|2029-07-31|CA|CYPRESS CITY|123 MAIN ST$APT 4|JANE|Q|SMITH|90630|F"},
      {L"NYSARATOGA SPGSDOE$ALEX^9 ELM RD", L"", L"",  // a 13-character city has no '^'
       L"-|-|-|NY|SARATOGA SPGS|9 ELM RD|ALEX|-|DOE|-|-"},
      {L"TXAUSTIN^ ALEX DOE ^1 OAK LN^   ", L"", L"01H0H 0H0", L"-|-|-|TX|AUSTIN|1 OAK LN|-|-|-|-|-"},
      {L"tx^DOE$ALEX^", L"", L"01H0H 0H0    C               1", L"-|-|-|-|-|-|-|-|-|H0H 0H0|M"},
      {L"", L"6360151=2577198001011=", L"", L"11|1980-01-01|never|-|-|-|-|-|-|-|-"},
      {L"", L"6360151=288819800315", L"", L"1|1980-03-15|2028-03-31|-|-|-|-|-|-|-|-"},
      {L"", L"6360151=289919800315", L"", L"1|1980-03-15|2028-03-15|-|-|-|-|-|-|-|-"},
      {L"", L"6360151=279920000229", L"", L"1|2000-02-29|2027-02-28|-|-|-|-|-|-|-|-"},
      {L"", L"6360151=289920000229", L"", L"1|2000-02-29|2028-02-29|-|-|-|-|-|-|-|-"},
      {L"", L"6360151=289919000229", L"", L"1|-|-|-|-|-|-|-|-|-|-"},  // 1900 was not leap
      {L"", L"6360151=291219801301", L"", L"1|-|2029-12-31|-|-|-|-|-|-|-|-"},
      {L"", L"6360151=288819800132", L"", L"1|-|-|-|-|-|-|-|-|-|-"},
      {L"", L"6360151=290019800101", L"", L"1|1980-01-01|-|-|-|-|-|-|-|-|-"},
      {L"", L"6360100123456789012=2101198299090=", L"",  // the birth month in the expiry's place
       L"01234567890120|-|-|-|-|-|-|-|-|-|-"},
      {L"", L"6360141234567890123=291219900101123456", L"", L"-|1990-01-01|2029-12-31|-|-|-|-|-|-|-|-"},
      {L"", L"636014123=2912", L"", L"-|-|2029-12-31|-|-|-|-|-|-|-|-"},
      {L"", L"63601=2912199001011", L"", L"-|-|-|-|-|-|-|-|-|-|-"},
  };
  for (const auto& [track1, track2, track3, fields] : rows) {
    EXPECT_EQ(Fields(wedge::IdCard(track1, track2, track3)), fields) << track1 << L" / " << track2;
  }
}

TEST(IdCard, AgeAndExpiryOnAGivenDay) {
  const wedge::IdCard leapling(L"", L"6360151=2799200002291", L"");
  const wedge::IdCard never(L"", L"6360151=2577", L"");
  const std::tuple<const wedge::IdCard*, int, int, int, const char*> rows[] = {
      {&leapling, 2018, 2, 28, "17 valid"}, {&leapling, 2018, 3, 1, "18 valid"},
      {&leapling, 2020, 2, 29, "20 valid"}, {&leapling, 2027, 2, 28, "26 valid"},
      {&leapling, 2027, 3, 1, "27 expired"}, {&leapling, 2000, 2, 28, "- valid"},
      {&leapling, 2018, 2, 29, "- -"}, {&never, 2099, 12, 31, "- valid"},
  };
  for (const auto& [card, year, month, day, expected] : rows) {
    const auto age = card->AgeOn(year, month, day);
    const auto expired = card->ExpiredOn(year, month, day);
    EXPECT_EQ((age ? std::to_string(*age) : "-") + " " + (expired ? (*expired ? "expired" : "valid") : "-"),
              expected) << year << "-" << month << "-" << day;
  }
}

}  // namespace
