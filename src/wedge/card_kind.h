#pragma once
// What kind of card was swiped, its account number, and the masked forms of both that may be
// shown. Tracks are texts without sentinels.

#include <optional>
#include <string>

namespace wedge {

enum class CardKind { Bank, Id, Other };

// The kind's name as typing rules write it: "bank", "id", "other".
const wchar_t* CardKindName(CardKind kind);

// The kind from the control's UPOS CardType ("BANK", "AAMVA") when it reports one, else tracks.
CardKind KindOfCard(const std::optional<std::wstring>& card_type, const std::wstring& track1,
                    const std::wstring& track2);

// Track 2's 1 to 19 digits before '=', else the digits of track 1 in format B; else empty.
std::wstring AccountNumberOf(const std::wstring& track1, const std::wstring& track2);

// Every digit '*' but the first six and last four of 12 or more, the last four of 8 to 11.
std::wstring MaskAccountNumber(const std::wstring& number);

// The last four digits when MaskAccountNumber shows them; else empty.
std::wstring LastFourOf(const std::wstring& number);

// Track 1, 2 or 3 of a bank card, its number masked and its discretionary data '*' (name, expiry,
// service code, length and separators kept); a track that is not a bank track as it is.
std::wstring MaskBankTrack(int track, const std::wstring& text);

}  // namespace wedge
