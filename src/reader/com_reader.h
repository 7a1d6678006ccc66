#pragma once
// The reader control on Windows: created by its ProgID and driven through IDispatch::Invoke,
// with its data event forwarded to a callback on the thread that created it.

#include <cstdint>
#include <functional>
#include <memory>

#include "reader/dispatch.h"

namespace reader {

// The programmatic identifier of the OPOS magnetic stripe reader control.
inline constexpr wchar_t kReaderProgId[] = L"MSRLib.MSR";

class ComReader : public ReaderDispatch {
 public:
  // Receives the data event's Status, on the creating thread.
  using DataEventCallback = std::function<void(std::int32_t)>;

  // Creates the control and connects to its events. Must run on a single-threaded apartment
  // (OleInitialize) whose thread pumps messages. Without a control every call simply fails.
  explicit ComReader(DataEventCallback on_data, const wchar_t* prog_id = kReaderProgId);
  ~ComReader() override;
  ComReader(const ComReader&) = delete;
  ComReader& operator=(const ComReader&) = delete;

  // Disconnects from the events and lets the control go; every later call fails. The stop
  // sequence runs before this.
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
