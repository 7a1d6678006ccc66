#include "wedge/aamva.h"

#include <algorithm>
#include <string_view>

#include "wedge/digits.h"
#include "wedge/wipe.h"

namespace wedge {
namespace {

using View = std::wstring_view;

bool IsLeap(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int DaysIn(int year, int month) {
  static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && IsLeap(year) ? 29 : kDays[month - 1];
}

bool IsValid(const CalendarDate& d) {
  return d.year >= 1 && d.year <= 9999 && d.month >= 1 && d.month <= 12 && d.day >= 1 &&
         d.day <= DaysIn(d.year, d.month);
}

bool Before(const CalendarDate& a, const CalendarDate& b) {
  if (a.year != b.year) return a.year < b.year;
  if (a.month != b.month) return a.month < b.month;
  return a.day < b.day;
}

// The number that `count` (at most 4) digits at `from` write, or -1 when they are not all there.
int NumberAt(View s, std::size_t from, std::size_t count) {
  if (!DigitsAt(s, from, count)) return -1;
  int n = 0;
  for (std::size_t i = from; i < from + count; ++i) n = n * 10 + (s[i] - L'0');
  return n;
}

View Trim(View s) {
  const std::size_t first = s.find_first_not_of(L' ');
  if (first == View::npos) return {};
  return s.substr(first, s.find_last_not_of(L' ') - first + 1);
}

// Sets `field` to the trimmed text, or leaves it missing when nothing is left.
void Set(std::optional<std::wstring>& field, View text) {
  text = Trim(text);
  if (!text.empty()) field.emplace(text);
}

// The track 1 field at `pos` of at most `max` characters, and moves `pos` past it. A shorter
// field ends with '^'; one of full length has none after it, though a '^' there is taken as its.
View Field(View track, std::size_t& pos, std::size_t max) {
  const std::size_t start = std::min(pos, track.size());
  const std::size_t room = track.size() - start;
  const std::size_t sep = track.substr(start, max < room ? max + 1 : room).find(L'^');
  const std::size_t length = sep != View::npos ? sep : std::min(max, room);
  pos = start + length + (sep != View::npos ? 1 : 0);
  return track.substr(start, length);
}

void WipeField(std::optional<std::wstring>& field) {
  if (field) Wipe(*field);
}

}  // namespace

std::wstring DateText(const CalendarDate& date) {
  std::wstring text = L"0000-00-00";  // sized once: a birth date leaves no copy behind
  auto put = [&](std::size_t end, std::size_t width, int value) {
    for (std::size_t i = 1; i <= width; ++i, value /= 10) {
      text[end - i] = static_cast<wchar_t>(L'0' + value % 10);
    }
  };
  put(4, 4, date.year);
  put(7, 2, date.month);
  put(10, 2, date.day);
  return text;
}

IdCard::IdCard(const std::wstring& track1, const std::wstring& track2, const std::wstring& track3) {
  // Track 1: state (2), city (13), "FAMILY$GIVEN$MIDDLE" (35), address (the rest of the track).
  const View t1 = track1;
  auto letter = [](wchar_t c) { return c >= L'A' && c <= L'Z'; };
  if (t1.size() >= 2 && letter(t1[0]) && letter(t1[1])) {
    state.emplace(t1.substr(0, 2));
    std::size_t pos = 2;
    Set(city, Field(t1, pos, 13));
    const View name = Field(t1, pos, 35);
    Set(address, Field(t1, pos, View::npos));
    const std::size_t given = name.find(L'$');
    if (given != View::npos) {
      Set(surname, name.substr(0, given));
      const View rest = name.substr(given + 1);
      const std::size_t middle = rest.find(L'$');
      Set(first_name, rest.substr(0, middle));
      if (middle != View::npos) {
        Set(middle_name, rest.substr(middle + 1, rest.find(L'$', middle + 1) - middle - 1));
      }
    }
  }

  // Track 2: issuer number (6), number (up to 13), '=', YYMM, CCYYMMDD, overflow (up to 5).
  const View t2 = track2;
  std::size_t sep = 6;
  while (sep < t2.size() && IsDigit(t2[sep])) ++sep;
  if (DigitsAt(t2, 0, 6) && sep < t2.size() && t2[sep] == L'=' && sep - 6 <= 13) {
    const int born_month = NumberAt(t2, sep + 9, 2);
    const CalendarDate born{NumberAt(t2, sep + 5, 4), born_month, NumberAt(t2, sep + 11, 2)};
    if (IsValid(born)) date_of_birth = born;
    const int year = 2000 + NumberAt(t2, sep + 1, 2);
    const int month = NumberAt(t2, sep + 3, 2);
    // Some states put 99 in the birth month and the birth month in the expiry's place: the
    // expiry's month is then not one, and no expiry is read.
    if (year >= 2000 && month >= 0 && born_month != 99) {
      if (month == 77) {
        expiry = IdExpiry{true, {}};
      } else if (month >= 1 && month <= 12) {
        expiry = IdExpiry{false, {year, month, DaysIn(year, month)}};
      } else if ((month == 88 || month == 99) && date_of_birth) {
        const int last = DaysIn(year, born.month);
        expiry = IdExpiry{false, {year, born.month, month == 88 ? last : std::min(born.day, last)}};
      }
    }
    std::size_t end = sep + 13;
    while (end < t2.size() && IsDigit(t2[end])) ++end;
    if (sep > 6 && DigitsAt(t2, sep + 1, 12) && end - (sep + 13) <= 5 &&
        (end == t2.size() || t2[end] == L'=')) {
      id_number.emplace();
      id_number->reserve(sep - 6 + end - (sep + 13));  // sized once
      id_number->append(t2.substr(6, sep - 6)).append(t2.substr(sep + 13, end - (sep + 13)));
    }
  }

  // Track 3: two version characters, postal code (11), class (2), restrictions (10),
  // endorsements (4), sex (1: male, 2: female), then height, weight, hair, eyes...
  const View t3 = track3;
  if (t3.size() >= 13) {
    const View postal = Trim(t3.substr(2, 11));
    const bool valid = std::all_of(postal.begin(), postal.end(), [&](wchar_t c) {
      return IsDigit(c) || letter(c) || c == L' ' || c == L'-';
    });
    if (valid) Set(postal_code, postal);
  }
  if (t3.size() >= 30 && (t3[29] == L'1' || t3[29] == L'2')) {
    sex.emplace(t3[29] == L'1' ? L"M" : L"F");
  }
}

IdCard::~IdCard() {
  for (auto* field : {&id_number, &state, &city, &address, &first_name, &middle_name, &surname,
                      &postal_code, &sex}) {
    WipeField(*field);
  }
  if (date_of_birth) WipeBytes(&*date_of_birth, sizeof(CalendarDate));
  if (expiry) WipeBytes(&*expiry, sizeof(IdExpiry));
}

std::optional<std::wstring> IdCard::ExpiryText() const {
  if (!expiry) return std::nullopt;
  return expiry->never ? std::wstring(L"never") : DateText(expiry->last_day);
}

std::optional<int> IdCard::AgeOn(int year, int month, int day) const {
  const CalendarDate today{year, month, day};
  if (!date_of_birth || !IsValid(today) || Before(today, *date_of_birth)) return std::nullopt;
  CalendarDate birthday{year, date_of_birth->month, date_of_birth->day};
  if (birthday.month == 2 && birthday.day == 29 && !IsLeap(year)) birthday = {year, 3, 1};
  return year - date_of_birth->year - (Before(today, birthday) ? 1 : 0);
}

std::optional<bool> IdCard::ExpiredOn(int year, int month, int day) const {
  const CalendarDate today{year, month, day};
  if (!expiry || !IsValid(today)) return std::nullopt;
  return !expiry->never && Before(expiry->last_day, today);
}

}  // namespace wedge
