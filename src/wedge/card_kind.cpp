#include "wedge/card_kind.h"

#include "wedge/digits.h"

namespace wedge {
namespace {

constexpr std::size_t kNone = std::wstring_view::npos;

// The issuer numbers of North American driver's licences and ID cards.
bool StartsWithIdIssuer(std::wstring_view track2) {
  if (!DigitsAt(track2, 0, 6)) return false;
  long issuer = 0;
  for (std::size_t i = 0; i < 6; ++i) issuer = issuer * 10 + (track2[i] - L'0');
  return issuer == 604425 || (issuer >= 636000 && issuer <= 636062);
}

// Where the '^' after a format-B account number stands, or kNone. Some cards carry the number
// with spaces as it is embossed; they are allowed anywhere in it, so that a number never escapes
// masking for the way it is spaced, and only its 1 to 19 digits count. An encrypting reader
// gives the number masked already: a '*' counts as the digit it hides.
std::size_t FormatBEnd(std::wstring_view track1) {
  if (track1.empty() || track1[0] != L'B') return kNone;
  std::size_t digits = 0;
  for (std::size_t i = 1; i < track1.size(); ++i) {
    if (IsDigit(track1[i]) || track1[i] == L'*') ++digits;
    else if (track1[i] == L'^') return digits >= 1 && digits <= 19 ? i : kNone;
    else if (track1[i] != L' ') return kNone;
  }
  return kNone;
}

// Where the '=' after `min` to `max` leading digits (or '*', digits masked already) stands, or kNone.
std::size_t NumberEnd(std::wstring_view track, std::size_t min, std::size_t max) {
  std::size_t i = 0;
  while (i < track.size() && (IsDigit(track[i]) || track[i] == L'*')) ++i;  // '*': masked already
  return i < track.size() && track[i] == L'=' && i >= min && i <= max ? i : kNone;
}

// Masks the digits of [begin, end) as MaskAccountNumber does; other characters stay.
void MaskDigits(std::wstring& s, std::size_t begin, std::size_t end) {
  std::size_t digits = 0;
  for (std::size_t i = begin; i < end; ++i) digits += IsDigit(s[i]);
  // At most the first six and last four may show; a shorter number shows fewer, so as to hide some.
  const std::size_t first = digits >= 12 ? 6 : 0;
  const std::size_t last = digits >= 8 ? 4 : 0;
  std::size_t k = 0;
  for (std::size_t i = begin; i < end; ++i) {
    if (!IsDigit(s[i])) continue;
    if (k >= first && k + last < digits) s[i] = L'*';
    ++k;
  }
}

// Masks every character from `from` on but `separator`; with `dates`, a four-digit expiry and a
// three-digit service code at `from` stay.
void MaskTail(std::wstring& s, std::size_t from, wchar_t separator, bool dates) {
  if (dates && DigitsAt(s, from, 4)) {
    from += 4;
    if (DigitsAt(s, from, 3)) from += 3;
  }
  for (std::size_t i = from; i < s.size(); ++i) {
    if (s[i] != separator) s[i] = L'*';
  }
}

// True when `digits` is one or more decimal digits whose Luhn sum is a multiple of 10.
bool PassesLuhn(std::wstring_view digits) {
  if (digits.empty()) return false;
  unsigned sum = 0;
  bool twice = false;
  for (std::size_t i = digits.size(); i-- > 0;) {
    if (!IsDigit(digits[i])) return false;
    unsigned d = static_cast<unsigned>(digits[i] - L'0');
    if (twice) d = d * 2 > 9 ? d * 2 - 9 : d * 2;
    sum += d;
    twice = !twice;
  }
  return sum % 10 == 0;
}

// The kind the tracks show.
CardKind KindOfTracks(const std::wstring& track1, const std::wstring& track2) {
  // First: an ID card's number with its issuer number may pass the Luhn check by chance.
  if (StartsWithIdIssuer(track2)) return CardKind::Id;
  if (FormatBEnd(track1) != kNone) return CardKind::Bank;
  std::size_t end = 0, masked = 0;
  for (; end < track2.size() && (IsDigit(track2[end]) || track2[end] == L'*'); ++end) {
    masked += track2[end] == L'*';
  }
  if (end >= 12 && end <= 19 && end < track2.size() && track2[end] == L'=' &&
      DigitsAt(track2, end + 1, 4) &&
      (masked > 0 || PassesLuhn(std::wstring_view(track2).substr(0, end)))) {
    return CardKind::Bank;  // a number masked by an encrypting reader cannot be checked
  }
  return CardKind::Other;
}

}  // namespace

const wchar_t* CardKindName(CardKind kind) {
  switch (kind) {
    case CardKind::Bank: return L"bank";
    case CardKind::Id: return L"id";
    case CardKind::Other: break;
  }
  return L"other";
}

CardKind KindOfCard(const std::optional<std::wstring>& card_type, const std::wstring& track1,
                    const std::wstring& track2) {
  if (card_type && *card_type == L"BANK") return CardKind::Bank;
  if (card_type && *card_type == L"AAMVA") return CardKind::Id;
  // A payment card stays one whatever else a control calls it: a service object older than its
  // control object reports an empty CardType for every card, and a vendor's own name for a card
  // kind must not let a payment card into a program that takes only the shop's own cards.
  const CardKind tracks = KindOfTracks(track1, track2);
  if (tracks == CardKind::Bank || !card_type || card_type->empty()) return tracks;
  return CardKind::Other;
}

std::wstring AccountNumberOf(const std::wstring& track1, const std::wstring& track2) {
  const std::size_t end2 = NumberEnd(track2, 1, 19);
  if (end2 != kNone) return track2.substr(0, end2);
  const std::size_t end1 = FormatBEnd(track1);
  if (end1 == kNone) return {};
  std::wstring number;
  number.reserve(end1);  // sized once: no copy of the number is left behind
  for (std::size_t i = 1; i < end1; ++i) {
    if (IsDigit(track1[i]) || track1[i] == L'*') number += track1[i];
  }
  return number;
}

std::wstring MaskAccountNumber(const std::wstring& number) {
  std::wstring masked = number;
  MaskDigits(masked, 0, masked.size());
  return masked;
}

std::wstring LastFourOf(const std::wstring& number) {
  if (number.size() < 8) return {};
  return number.substr(number.size() - 4);
}

std::wstring MaskBankTrack(int track, const std::wstring& text) {
  std::size_t end = kNone;
  if (track == 1) end = FormatBEnd(text);
  // Track 3 of a bank card begins with a two-digit format code before the account number; the
  // expiry comes much later, among account and PIN data, so everything after the number goes.
  else if (track == 2 || track == 3) end = NumberEnd(text, 1, track == 2 ? 19 : 21);
  if (end == kNone || (track != 1 && StartsWithIdIssuer(text))) return text;

  std::wstring masked = text;
  if (track == 1) {
    MaskDigits(masked, 1, end);
    // Without a second '^' the name cannot be told from the data after it: all of it goes.
    const std::size_t name_end = masked.find(L'^', end + 1);
    if (name_end == std::wstring::npos) MaskTail(masked, end + 1, L'^', false);
    else MaskTail(masked, name_end + 1, L'^', true);
  } else {
    MaskDigits(masked, 0, end);
    MaskTail(masked, end + 1, L'=', track == 2);
  }
  return masked;
}

}  // namespace wedge
