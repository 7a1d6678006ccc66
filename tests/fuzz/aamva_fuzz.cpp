// A swiped card's three tracks, whatever they hold: the ID card's fields are substrings of their
// tracks (the ID number digits of track 2), its dates are calendar dates that age and expiry
// agree with; masking keeps each track's length and separators, shows at most ten digits of the
// account number, and masks something of every card that is known as a bank card.
//
// Input: tracks 1, 2 and 3, one a line; lines missing at the end are empty tracks.

#include <string>

#include "fuzz/fuzz_input.h"
#include "wedge/aamva.h"
#include "wedge/card_kind.h"

namespace {

bool IsCalendarDate(const wedge::CalendarDate& d) {
  const int days[] = {31, (d.year % 4 == 0 && d.year % 100 != 0) || d.year % 400 == 0 ? 29 : 28,
                      31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return d.year >= 1 && d.year <= 9999 && d.month >= 1 && d.month <= 12 && d.day >= 1 &&
         d.day <= days[d.month - 1];
}

bool IsTrimmedPartOf(const std::optional<std::wstring>& field, const std::wstring& track) {
  return !field || (!field->empty() && field->front() != L' ' && field->back() != L' ' &&
                    track.find(*field) != std::wstring::npos);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::wstring tracks[3];
  for (std::size_t i = 0, t = 0; i < size && t < 3; ++i) {
    if (data[i] == '\n') ++t;
    else tracks[t] += fuzz::CharOf(data[i]);
  }
  const wedge::IdCard card(tracks[0], tracks[1], tracks[2]);
  for (const auto* field : {&card.state, &card.city, &card.address, &card.first_name,
                            &card.middle_name, &card.surname}) {
    FUZZ_CHECK(IsTrimmedPartOf(*field, tracks[0]));
  }
  FUZZ_CHECK(IsTrimmedPartOf(card.postal_code, tracks[2]));
  FUZZ_CHECK(!card.sex || *card.sex == L"M" || *card.sex == L"F");
  if (card.id_number) {
    const std::size_t number = tracks[1].find(L'=') - 6;
    FUZZ_CHECK(tracks[1].compare(6, number, *card.id_number, 0, number) == 0);
    FUZZ_CHECK(tracks[1].find(card.id_number->substr(number), 6 + number) != std::wstring::npos);
    FUZZ_CHECK(card.id_number->find_first_not_of(L"0123456789") == std::wstring::npos);
  }
  if (const auto& born = card.date_of_birth) {
    FUZZ_CHECK(IsCalendarDate(*born) && card.AgeOn(born->year, born->month, born->day) == 0);
  }
  if (card.expiry && !card.expiry->never) {
    const wedge::CalendarDate last = card.expiry->last_day;
    FUZZ_CHECK(IsCalendarDate(last) && last.year >= 2000 && last.year <= 2099);
    FUZZ_CHECK(card.ExpiredOn(last.year, last.month, last.day) == false);
    FUZZ_CHECK(card.ExpiredOn(last.year + 1, 1, 1) == true);
  }

  bool masked_any = false;
  for (int t = 1; t <= 3; ++t) {
    const std::wstring& text = tracks[t - 1];
    const std::wstring masked = wedge::MaskBankTrack(t, text);
    const wchar_t separator = t == 1 ? L'^' : L'=';
    FUZZ_CHECK(masked.size() == text.size());
    std::size_t shown = 0;
    bool in_number = true;
    for (std::size_t i = 0; i < text.size(); ++i) {
      FUZZ_CHECK(masked[i] == text[i] || (masked[i] == L'*' && text[i] != separator));
      in_number = in_number && text[i] != separator;
      shown += in_number && masked[i] >= L'0' && masked[i] <= L'9';
    }
    FUZZ_CHECK(masked == text || shown <= 10);
    masked_any = masked_any || masked != text;
  }
  // A bank card always has something masked, unless its reader masked it already.
  const bool bank = wedge::KindOfCard(std::nullopt, tracks[0], tracks[1]) == wedge::CardKind::Bank;
  const bool masked_by_reader = (tracks[0] + tracks[1]).find(L'*') != std::wstring::npos;
  FUZZ_CHECK(!bank || masked_any || masked_by_reader);
  return 0;
}
