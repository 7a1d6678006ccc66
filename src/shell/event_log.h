#pragma once
// Entries in Windows' Application event log, for a shop's IT to collect from every till.

#include <cstdint>
#include <string>

#include "shell/health_notice.h"

namespace shell {

// Writes the notice as an entry of the source "ZANKeyboardWedge" (registered by the installer,
// with the program's message table); a log that cannot be written is no reason to stop.
void WriteEventLog(const HealthNotice& notice);

// Entries of what a typing rule kept from being typed: %1 the program, %2 what went wrong.
inline constexpr std::uint32_t kEventRuleWrong = 1010;
inline constexpr std::uint32_t kEventFieldMissing = 1011;
inline constexpr std::uint32_t kEventWindowChanged = 1012;
inline constexpr std::uint32_t kEventPasteFailed = 1013;
inline constexpr std::uint32_t kEventKindRefused = 1014;

// A warning entry `event_id` with the two texts; never anything of a card.
void WriteTypingEvent(std::uint32_t event_id, const std::wstring& program, const std::wstring& what);

}  // namespace shell
