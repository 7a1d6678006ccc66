#include "card_fields.h"

namespace msr_sim {
namespace {

bool AllDigits(const std::wstring& s) {
  if (s.empty()) return false;
  for (wchar_t c : s) {
    if (c < L'0' || c > L'9') return false;
  }
  return true;
}

std::wstring Trim(const std::wstring& s) {
  const std::size_t first = s.find_first_not_of(L' ');
  if (first == std::wstring::npos) return {};
  return s.substr(first, s.find_last_not_of(L' ') - first + 1);
}

// The three digits after the expiry date, or nothing.
std::wstring ServiceCode(const std::wstring& track, std::size_t at) {
  const std::wstring code = at < track.size() ? track.substr(at, 3) : std::wstring();
  return code.size() == 3 && AllDigits(code) ? code : std::wstring();
}

bool ParseTrack1(const std::wstring& track, CardFields& out) {
  if (track.size() < 2 || track[0] != L'B') return false;
  const std::size_t caret1 = track.find(L'^');
  if (caret1 == std::wstring::npos) return false;
  const std::size_t caret2 = track.find(L'^', caret1 + 1);
  if (caret2 == std::wstring::npos) return false;
  const std::wstring account = track.substr(1, caret1 - 1);
  const std::wstring expiry = track.substr(caret2 + 1, 4);
  if (!AllDigits(account) || account.size() > 19 || expiry.size() != 4 || !AllDigits(expiry)) {
    return false;
  }
  out.account = account;
  out.expiration = expiry;
  out.service_code = ServiceCode(track, caret2 + 5);

  const std::wstring name = track.substr(caret1 + 1, caret2 - caret1 - 1);
  const std::size_t slash = name.find(L'/');
  out.surname = Trim(name.substr(0, slash));
  if (slash != std::wstring::npos) {
    std::wstring given = Trim(name.substr(slash + 1));
    // A title may follow a period ("JOHN Q.MR"); it is not part of the name.
    given = Trim(given.substr(0, given.find(L'.')));
    const std::size_t space = given.rfind(L' ');
    if (space != std::wstring::npos && given.size() - space == 2) {
      out.middle_initial = given.substr(space + 1);
      given = Trim(given.substr(0, space));
    }
    out.first_name = given;
  }
  return true;
}

bool ParseTrack2(const std::wstring& track, CardFields& out) {
  const std::size_t sep = track.find(L'=');
  if (sep == std::wstring::npos) return false;
  const std::wstring account = track.substr(0, sep);
  const std::wstring expiry = track.substr(sep + 1, 4);
  if (!AllDigits(account) || account.size() > 19 || expiry.size() != 4 || !AllDigits(expiry)) {
    return false;
  }
  out.account = account;
  out.expiration = expiry;
  out.service_code = ServiceCode(track, sep + 5);
  return true;
}

}  // namespace

std::wstring StripSentinels(const std::wstring& track) {
  std::wstring t = track;
  if (!t.empty() && (t[0] == L'%' || t[0] == L';')) t.erase(0, 1);
  const std::size_t end = t.find(L'?');
  if (end != std::wstring::npos) t.erase(end);
  return t;
}

CardFields ParseFields(const std::wstring& track1, const std::wstring& track2) {
  CardFields fields;
  if (ParseTrack1(track1, fields)) return fields;
  fields = CardFields{};
  ParseTrack2(track2, fields);
  return fields;
}

}  // namespace msr_sim
