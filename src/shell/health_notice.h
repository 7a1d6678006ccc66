#pragma once
// What a shop's IT and the cashier are told when the card reader becomes ready or stops being so.

#include <cstdint>
#include <optional>
#include <string>

#include "reader/reader_health.h"

namespace shell {

// The Application event log's entries of the source "ZANKeyboardWedge", one ID per state of the
// reader; their texts are in the program's message table.
inline constexpr std::uint32_t kEventReaderReady = 1000;
inline constexpr std::uint32_t kEventSoftwareMissing = 1001;
inline constexpr std::uint32_t kEventReaderRefused = 1002;
inline constexpr std::uint32_t kEventNotResponding = 1003;
inline constexpr std::uint32_t kEventCannotReport = 1004;
inline constexpr std::uint32_t kEventPowerLost = 1005;
inline constexpr std::uint32_t kEventNotWorking = 1006;

struct HealthNotice {
  std::uint32_t event_id;
  bool warning;        // a warning entry, else an information entry
  bool balloon;        // the notification area says so too
  std::wstring words;  // the tip's plain words: "card reader not found (OposENoexist)"
  std::wstring control;  // the control in use, or those tried
};

// Turns each health the reader is found in into what is told: an entry whenever the state or its
// words change, a balloon when the reader goes from ready to not ready or back, and at the start
// only when it is not ready then. Never anything of a card.
class HealthNotices {
 public:
  std::optional<HealthNotice> Next(const reader::ReaderHealth& health);

 private:
  std::optional<reader::ReaderHealth> last_;
};

}  // namespace shell
