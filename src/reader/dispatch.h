#pragma once
// The late-bound dispatch surface of the card reader control, as the program's logic sees it.
// The Windows adapter implements it with IDispatch::Invoke; tests implement it with fakes.

#include <cstdint>
#include <string>
#include <variant>
#include <vector>

#include "reader/dispids.h"

namespace reader {

// A value crossing the dispatch boundary. Empty stands for "no value" (a VT_EMPTY result).
using DispValue = std::variant<std::monostate, std::wstring, std::int32_t, bool>;

class ReaderDispatch {
 public:
  virtual ~ReaderDispatch() = default;

  // Each call returns false when it fails outright: no control, the call is refused by the
  // dispatch layer, or its value cannot be converted. Refusals that the reader reports through
  // its result code are not failures of the call.
  virtual bool Call(DispId id, const std::vector<DispValue>& args) = 0;
  virtual bool Put(DispId id, const DispValue& value) = 0;
  virtual bool Get(DispId id, DispValue& result) = 0;

  // False for a control that numbers its members its own way (any but MSRLib.MSR): the program
  // then sends it only members with an OPOS name, and sets it to give decoded, parsed tracks.
  virtual bool FixedNumbers() const { return true; }
};

// The reader control's events the program handles, raised on the thread that created it.
class ReaderEvents {
 public:
  virtual ~ReaderEvents() = default;
  // A card was read; its data is in the reader's properties until the next card.
  virtual void OnDataEvent(std::int32_t status) = 0;
  // A swipe could not be read (or another input error): the reader's result codes and where it
  // happened. The control's own error response is left as it is.
  virtual void OnErrorEvent(std::int32_t result, std::int32_t extended, std::int32_t locus) = 0;
  // The device's status changed: its power (kPowerOnline...) where power reports were asked for.
  virtual void OnStatusUpdateEvent(std::int32_t /*data*/) {}
};

// One created reader control: its dispatch surface and its connection to the program.
class ReaderControl : public ReaderDispatch {
 public:
  virtual bool HasControl() const = 0;
  virtual bool EventsConnected() const = 0;
  // Every programmatic identifier tried, in order ("MSRLib.MSR, OPOS.MSR").
  virtual std::wstring Tried() const = 0;
  // The programmatic identifier of the control made; empty when none was.
  virtual std::wstring ProgId() const = 0;
  // Disconnects from the events and lets the control go; every later call fails. Never from
  // inside one of the control's calls or events: the control may be freed under its own feet.
  virtual void Release() = 0;
};

}  // namespace reader
