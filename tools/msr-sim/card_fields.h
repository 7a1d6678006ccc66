#pragma once
// How the simulated reader turns a swiped card's tracks into what an OPOS reader reports.

#include <string>

namespace msr_sim {

// Removes the start sentinel ("%" on track 1, ";" on tracks 2 and 3) and the end sentinel "?"
// with anything after it (the LRC character), as a reader does before it reports a track.
std::wstring StripSentinels(const std::wstring& track);

struct CardFields {
  std::wstring account, expiration, first_name, middle_initial, surname, service_code;
};

// The parsed fields of an ISO 7813 track 1 in format B ("B" account "^" surname "/" first name
// [" " middle initial] "^" YYMM ...), or, failing that, of a track 2 (account "=" YYMM ...).
// An AAMVA card (see CardKind) gives the names of its track 1 ("^" surname "$" first name "$"
// middle name "^") and the expiry of its track 2, and no account number or service code.
// Fields that cannot be found stay empty.
CardFields ParseFields(const std::wstring& track1, const std::wstring& track2);

// The card's kind as a UPOS 1.12 reader reports it in CardType: "AAMVA" for a track 2 whose
// issuer number is 604425 or 636000 to 636062, "BANK" for a track 1 in format B or a track 2 of
// 12 to 19 digits, "=" and YYMM, otherwise "".
std::wstring CardKind(const std::wstring& track1, const std::wstring& track2);

// A track as an encrypting reader reports a bank card's: the account number at its start (after
// the format code "B" on track 1, up to "=" on tracks 2 and 3) keeps its first six and last four
// digits, and everything after the expiry and service code (the discretionary data) is "*". A
// track that does not begin with a 12 to 19 digit account number is returned as it is.
std::wstring Masked(const std::wstring& track);

// An account number of 12 to 19 digits with all but its first six and last four digits as "*";
// any other text as it is.
std::wstring MaskedAccount(const std::wstring& account);

}  // namespace msr_sim
