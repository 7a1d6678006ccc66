#pragma once
// The reader control on Windows: created by its ProgID and driven through IDispatch::Invoke,
// with its data and error events passed to the program on the thread that created it.

#include <memory>
#include <string>
#include <vector>

#include "reader/dispatch.h"
#include "reader/reader_control.h"

namespace reader {

class ComReader : public ReaderControl {
 public:
  // Creates the first of `candidates` (programmatic identifiers) that is registered and can be
  // made, and connects `events` to its event interface. Must run on a single-threaded apartment
  // (OleInitialize) whose thread pumps messages. Without a control every call simply fails.
  // `events` must outlive the reader or its Release.
  ComReader(ReaderEvents& events, std::vector<std::wstring> candidates);
  ~ComReader() override;
  ComReader(const ComReader&) = delete;
  ComReader& operator=(const ComReader&) = delete;

  // The stop sequence runs before this.
  void Release() override;

  bool HasControl() const override;
  bool EventsConnected() const override;
  std::wstring ProgId() const override;
  std::wstring Tried() const override;

  bool Call(DispId id, const std::vector<DispValue>& args) override;
  bool Put(DispId id, const DispValue& value) override;
  bool Get(DispId id, DispValue& result) override;
  bool FixedNumbers() const override;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace reader
