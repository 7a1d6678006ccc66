#include "card_fields.h"

#include <algorithm>

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

// An AAMVA card's names ("^" surname "$" first name "$" middle name "^") and expiry.
void ParseAamva(const std::wstring& track1, const std::wstring& track2, CardFields& out) {
  const std::size_t caret1 = track1.find(L'^');
  const std::size_t caret2 = caret1 == std::wstring::npos ? caret1 : track1.find(L'^', caret1 + 1);
  if (caret1 != std::wstring::npos) {
    std::wstring parts[3];
    const std::wstring name = track1.substr(caret1 + 1, caret2 == std::wstring::npos ? caret2 : caret2 - caret1 - 1);
    for (std::size_t i = 0, from = 0; i < 3 && from <= name.size(); ++i) {
      const std::size_t dollar = name.find(L'$', from);
      parts[i] = Trim(name.substr(from, dollar == std::wstring::npos ? dollar : dollar - from));
      from = dollar == std::wstring::npos ? name.size() + 1 : dollar + 1;
    }
    out.surname = parts[0];
    out.first_name = parts[1];
    out.middle_initial = parts[2].substr(0, 1);
  }
  const std::size_t sep = track2.find(L'=');
  const std::wstring expiry = sep == std::wstring::npos ? std::wstring() : track2.substr(sep + 1, 4);
  if (expiry.size() == 4 && AllDigits(expiry)) out.expiration = expiry;
}

bool IsAamva(const std::wstring& track2) {
  const std::wstring iin = track2.substr(0, 6);
  if (iin.size() != 6 || !AllDigits(iin)) return false;
  const long number = std::stol(iin);
  return number == 604425 || (number >= 636000 && number <= 636062);
}

// The length of the 12 to 19 digit account number that ends at `end`, or 0.
std::size_t AccountLength(const std::wstring& track, std::size_t begin, std::size_t end) {
  if (end == std::wstring::npos || end < begin + 12 || end > begin + 19) return 0;
  return AllDigits(track.substr(begin, end - begin)) ? end - begin : 0;
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
  if (IsAamva(track2)) {
    ParseAamva(track1, track2, fields);
    return fields;
  }
  if (ParseTrack1(track1, fields)) return fields;
  fields = CardFields{};
  ParseTrack2(track2, fields);
  return fields;
}

std::wstring CardKind(const std::wstring& track1, const std::wstring& track2) {
  if (IsAamva(track2)) return L"AAMVA";
  CardFields ignored;
  const std::size_t sep = track2.find(L'=');
  const bool bank2 = AccountLength(track2, 0, sep) > 0 && ParseTrack2(track2, ignored);
  return bank2 || ParseTrack1(track1, ignored) ? L"BANK" : L"";
}

std::wstring MaskedAccount(const std::wstring& account) {
  if (AccountLength(account, 0, account.size()) == 0) return account;
  return account.substr(0, 6) + std::wstring(account.size() - 10, L'*') + account.substr(account.size() - 4);
}

std::wstring Masked(const std::wstring& track) {
  const bool track1 = !track.empty() && track[0] == L'B';
  const std::size_t begin = track1 ? 1 : 0;
  const std::size_t end = track.find(track1 ? L'^' : L'=');
  if (AccountLength(track, begin, end) == 0) return track;
  std::wstring out = track.substr(0, begin) + MaskedAccount(track.substr(begin, end - begin));
  // Track 1 has the name between its account and its expiry.
  const std::size_t expiry = track1 ? track.find(L'^', end + 1) : end;
  if (expiry == std::wstring::npos) return out + track.substr(end);
  const std::size_t kept = std::min(track.size(), expiry + 1 + 7);  // YYMM and the service code
  return out + track.substr(end, kept - end) + std::wstring(track.size() - kept, L'*');
}

}  // namespace msr_sim
