#pragma once
// The fields of a North American driver's licence or ID card as its magnetic stripe holds them
// (the AAMVA layout). Tracks are texts without sentinels.

#include <optional>
#include <string>

namespace wedge {

struct CalendarDate {
  int year = 0;
  int month = 0;
  int day = 0;
};

// The date as "YYYY-MM-DD".
std::wstring DateText(const CalendarDate& date);

struct IdExpiry {
  bool never = false;     // then last_day is not set
  CalendarDate last_day;  // the last day on which the card is valid
};

// An ID card's fields, each missing when the card lacks it or has no valid value there; wiped.
class IdCard {
 public:
  IdCard(const std::wstring& track1, const std::wstring& track2, const std::wstring& track3);
  ~IdCard();
  IdCard(const IdCard&) = delete;
  IdCard& operator=(const IdCard&) = delete;

  // The expiry as "YYYY-MM-DD" or "never".
  std::optional<std::wstring> ExpiryText() const;
  // The age in whole years on that day; one born on 29 February ages on 1 March in other years.
  std::optional<int> AgeOn(int year, int month, int day) const;
  // True from the day after the last valid day on.
  std::optional<bool> ExpiredOn(int year, int month, int day) const;

  std::optional<std::wstring> id_number;  // after the issuer number, with the overflow appended
  std::optional<CalendarDate> date_of_birth;
  // Month 77 is never; 88 the end of the birth month in year YY; 99 the birthday in year YY, or
  // 28 February for one born on the 29th.
  std::optional<IdExpiry> expiry;
  std::optional<std::wstring> state;
  std::optional<std::wstring> city;
  std::optional<std::wstring> address;  // its lines separated by '$', as on the card
  std::optional<std::wstring> first_name;
  std::optional<std::wstring> middle_name;
  std::optional<std::wstring> surname;
  std::optional<std::wstring> postal_code;
  std::optional<std::wstring> sex;  // "M" or "F"
};

}  // namespace wedge
