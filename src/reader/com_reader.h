#pragma once
// The reader control on Windows: created by its ProgID and driven through IDispatch::Invoke,
// with its data and error events passed to the program on the thread that created it.

#include <memory>
#include <string>
#include <vector>

#include "reader/dispatch.h"
#include "reader/reader_control.h"

namespace reader {

class ComReader : public ReaderDispatch {
 public:
  // Creates the first of `candidates` (programmatic identifiers) that is registered and can be
  // made, and connects `events` to its event interface. Must run on a single-threaded apartment
  // (OleInitialize) whose thread pumps messages. Without a control every call simply fails.
  // `events` must outlive the reader or its Release.
  ComReader(ReaderEvents& events, std::vector<std::wstring> candidates);
  ~ComReader() override;
  ComReader(const ComReader&) = delete;
  ComReader& operator=(const ComReader&) = delete;

  // Disconnects from the events and lets the control go; every later call fails. The stop
  // sequence runs before this. Never call it from inside one of the control's events: the
  // control may be freed under its own feet.
  void Release();

  bool HasControl() const;
  bool EventsConnected() const;
  // The programmatic identifier of the control made; empty when none was.
  const std::wstring& prog_id() const;
  // Every identifier tried, in order ("MSRLib.MSR, OPOS.MSR").
  std::wstring Tried() const;

  bool Call(DispId id, const std::vector<DispValue>& args) override;
  bool Put(DispId id, const DispValue& value) override;
  bool Get(DispId id, DispValue& result) override;
  bool FixedNumbers() const override;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace reader
