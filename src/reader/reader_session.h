#pragma once
// Opening and closing the card reader, the result codes it leaves, and their names.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "reader/dispatch.h"

namespace reader {

// The first step of a start that did not succeed: refused through a result code, or failed
// outright (`code` then holds kUnreadableCode).
struct StartProblem {
  DispId step;
  std::int16_t code;
  std::int16_t ext;
  bool failed_outright;
};

// What a look at a reader that is thought ready finds.
enum class ReaderCheck { Works, Broken, Unknown };

// The reader's window-level state: the last result codes read and the last name given to one.
class ReaderSession {
 public:
  // Opens, claims and enables the reader and switches its data events on, reading the result
  // codes back after every step. Every step runs whatever the previous one gave. Forgets what an
  // earlier start found. A control that numbers its members its own way is not sent the numeric
  // setting; once open it is asked for decoded tracks without sentinels and parsed fields.
  void Start(ReaderDispatch& msr);

  // Disables, releases and closes the reader; looks at no outcome and leaves the codes alone.
  void Stop(ReaderDispatch& msr);

  // Whether a reader that started well still works, by its power state (where it reports
  // power), its internal health check, or its state; Unknown for a control that has none of
  // them. The result codes kept are left alone.
  ReaderCheck Check(ReaderDispatch& msr);

  // Names a result code, keeps the name in sErrText and returns it. Nothing, with sErrText
  // unchanged, when a read of the reader that the naming needs fails.
  std::optional<std::wstring> GetErr(const std::int16_t& iCode, ReaderDispatch& msr);

  // True when the last start's Open succeeded: the stop sequence has something to close.
  bool opened() const { return opened_; }
  // The first step of the last start that did not succeed; nothing when every step did.
  const std::optional<StartProblem>& problem() const { return problem_; }
  // The settings the control refused or does not have (DecodeData, ParseDecodeData,
  // TransmitSentinels), in the order they were set; never a reason to stop.
  const std::vector<DispId>& refused_settings() const { return refused_; }
  bool Refused(DispId id) const;
  // True when the control still gives each track with its start and end sentinels.
  bool sentinels_transmitted() const { return sentinels_transmitted_; }
  // True when the control reports its power through status update events, as it was asked to.
  bool power_reported() const { return power_reported_; }

  std::int16_t iResult = 0;
  std::int16_t iResultExt = 0;
  std::wstring sErrText;

 private:
  void AskForDecodedTracks(ReaderDispatch& msr);
  void AskForPowerReports(ReaderDispatch& msr);

  bool opened_ = false;
  std::optional<StartProblem> problem_;
  std::vector<DispId> refused_;
  bool sentinels_transmitted_ = false;
  bool power_reported_ = false;
};

// UPOS power states and the status update events that report them.
inline constexpr std::int32_t kPowerOnline = 2001;
inline constexpr std::int32_t kPowerOff = 2002;
inline constexpr std::int32_t kPowerOffline = 2003;
inline constexpr std::int32_t kPowerOffOffline = 2004;
constexpr bool IsPowerLost(std::int32_t power) {
  return power == kPowerOff || power == kPowerOffline || power == kPowerOffOffline;
}

// The OPOS name of a result code from 0 and 101 to 113, or nullptr for any other code.
const wchar_t* ResultCodeName(std::int32_t code);
// What a result code means to the user, in a few plain words ("card reader not found").
const wchar_t* ResultCodeWords(std::int32_t code);

}  // namespace reader
