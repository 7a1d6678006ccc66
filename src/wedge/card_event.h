#pragma once
// The card data event: one decoded card in, its framed tracks typed into the active window.

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "reader/dispatch.h"
#include "wedge/card_form.h"
#include "wedge/ending.h"
#include "wedge/keystroke_output.h"
#include "wedge/typing_target.h"

namespace wedge {

class CardEventHandler {
 public:
  // `do_events` dispatches pending window and reader events; the escaping calls it once for
  // each character it replaces. Once `ending` has begun, the card being handled is not handed
  // over (its remaining steps are left out once the current yield returns) and later events are
  // ignored without touching the reader. `cue` (optional) tells the user of a swipe that was
  // not read.
  CardEventHandler(reader::ReaderDispatch& msr, CardForm& form, KeystrokeOutput& keys,
                   std::function<void()> do_events, const Ending& ending, UserCue* cue = nullptr);

  // Handler of the reader's data event; `Status` is not used.
  //
  // The card is the output's from the moment its event arrives: it belongs to the window in front
  // then, and is typed after the cards swiped before it. A card event that arrives while an
  // earlier card is still being handled (inside a yield of the escaping) is read and framed at
  // once, without yielding: two cards never share their texts, are never interleaved, and none
  // is lost or typed twice.
  //
  // Only printable characters of a track are typed: control characters (a carriage return, a
  // tab, Ctrl+V...) that a reader in a raw mode or a faulty control may report would press keys
  // of their own in the target. The card's texts are wiped from memory once it is handed over.
  void MSR1_DataEvent(std::int32_t Status);

  // Handler of the reader's error event (a swipe it could not read: parity, LRC, no sentinel).
  // Nothing is typed; data events are switched on again, as after a card, so the next swipe is
  // read (many readers switch them off as they report the error), and the user hears the cue.
  // The control's own error response is left as it chose it.
  void MSR1_ErrorEvent(std::int32_t ResultCode, std::int32_t ResultCodeExtended,
                       std::int32_t ErrorLocus);

  // Whether the reader gives each track between its start and end sentinels (a control that
  // did not take the setting to leave them out): they are then taken off before the track is
  // shown and framed, so a card is typed with one pair, the program's own.
  void SetSentinelsTransmitted(bool transmitted) { sentinels_transmitted_ = transmitted; }

 private:
  void HandleCard(bool yield);

  reader::ReaderDispatch& msr_;
  CardForm& form_;
  KeystrokeOutput& keys_;
  std::function<void()> do_events_;
  const Ending& ending_;
  UserCue* cue_;

  bool sentinels_transmitted_ = false;
  bool busy_ = false;
};

}  // namespace wedge
