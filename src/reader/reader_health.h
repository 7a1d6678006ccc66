#pragma once
// Whether the reader is ready for cards, and what to tell the user when it is not.

#include <string>

#include "reader/dispatch.h"
#include "reader/reader_session.h"

namespace reader {

struct ReaderHealth {
  bool ready = false;
  std::wstring problem;  // a few plain words; empty when ready
  std::wstring name;     // the result's name ("OposENoexist", "300 error"), when a code tells it
};

// The reader's health after a start: ready only when a control exists, its events are connected
// and every start step succeeded; otherwise the first problem, in words and by name. Without a
// control the name is the list of controls tried.
ReaderHealth AssessReader(bool has_control, bool events_connected, const ReaderSession& session,
                          const std::wstring& controls_tried = {});

// The icon's tip: `base` while the reader is ready, else "<base> - <problem> (<name>)".
std::wstring HealthTip(const wchar_t* base, const ReaderHealth& health);

}  // namespace reader
