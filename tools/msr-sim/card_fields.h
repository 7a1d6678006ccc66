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
// Fields that cannot be found stay empty.
CardFields ParseFields(const std::wstring& track1, const std::wstring& track2);

}  // namespace msr_sim
