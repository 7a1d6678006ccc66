#pragma once
// The reader control on Windows: created by its ProgID and driven through IDispatch::Invoke,
// with its data and error events passed to the program on the thread that created it.

#include <memory>

#include "reader/dispatch.h"

namespace reader {

// The programmatic identifier of the OPOS magnetic stripe reader control.
inline constexpr wchar_t kReaderProgId[] = L"MSRLib.MSR";

class ComReader : public ReaderDispatch {
 public:
  // Creates the control and connects `events` to its event interface. Must run on a
  // single-threaded apartment (OleInitialize) whose thread pumps messages. Without a control
  // every call simply fails. `events` must outlive the reader or its Release.
  explicit ComReader(ReaderEvents& events, const wchar_t* prog_id = kReaderProgId);
  ~ComReader() override;
  ComReader(const ComReader&) = delete;
  ComReader& operator=(const ComReader&) = delete;

  // Disconnects from the events and lets the control go; every later call fails. The stop
  // sequence runs before this. Never call it from inside one of the control's events: the
  // control may be freed under its own feet.
  void Release();

  bool HasControl() const;
  bool EventsConnected() const;

  bool Call(DispId id, const std::vector<DispValue>& args) override;
  bool Put(DispId id, const DispValue& value) override;
  bool Get(DispId id, DispValue& result) override;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace reader
