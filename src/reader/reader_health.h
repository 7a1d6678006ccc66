#pragma once
// Whether the reader is ready for cards, and what to tell the user when it is not.

#include <string>

#include "reader/dispatch.h"
#include "reader/reader_session.h"

namespace reader {

// What is wrong with a reader, roughly: one entry in the event log per state.
enum class ReaderState {
  Ready,
  SoftwareMissing,  // no control could be created
  Refused,          // a start step was refused through a result code
  NotResponding,    // a call failed outright
  CannotReport,     // its events could not be connected
  PowerLost,        // it reported itself switched off, unplugged or offline
  NotWorking,       // its own check found it broken, again after it was started afresh
};

struct ReaderHealth {
  bool ready = false;
  ReaderState state = ReaderState::NotResponding;
  std::wstring problem;  // a few plain words; empty when ready
  std::wstring name;     // the result's name ("OposENoexist", "300 error"), when a code tells it
  std::wstring control;  // the control in use, or the controls tried when none could be made
};

// The reader's health after a start: ready only when a control exists, its events are connected
// and every start step succeeded; otherwise the first problem, in words and by name. `control`
// is the control in use, or, without one, the list of controls tried, which then names it too.
ReaderHealth AssessReader(bool has_control, bool events_connected, const ReaderSession& session,
                          const std::wstring& control = {});

// The health in a few plain words: "card reader ready", or "<problem> (<name>)".
std::wstring HealthWords(const ReaderHealth& health);

// The icon's tip: `base` while the reader is ready, else "<base> - <problem> (<name>)".
std::wstring HealthTip(const wchar_t* base, const ReaderHealth& health);

}  // namespace reader
