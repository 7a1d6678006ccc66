#pragma once
// The card data event: one decoded card in, its framed tracks typed into the active window.

#include <array>
#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <string>

#include "reader/dispatch.h"
#include "wedge/card_form.h"
#include "wedge/keystroke_output.h"
#include "wedge/typing_target.h"

namespace wedge {

class CardEventHandler {
 public:
  // `do_events` dispatches pending window and reader events; the escaping calls it once for
  // each character it replaces. `cue` (optional) tells the user of a swipe that was not read.
  CardEventHandler(reader::ReaderDispatch& msr, CardForm& form, KeystrokeOutput& keys,
                   std::function<void()> do_events, UserCue* cue = nullptr);

  // Handler of the reader's data event; `Status` is not used.
  //
  // A card event that arrives while an earlier card is still being handled (inside a yield of the
  // escaping) has its data read at once and is handled after the earlier card, whole: two cards
  // never share the track texts, are never interleaved, and none is lost or typed twice.
  //
  // Only printable characters of a track are typed: control characters (a carriage return, a
  // tab, Ctrl+V...) that a reader in a raw mode or a faulty control may report would press keys
  // of their own in the target. The card's texts are wiped from memory once it is typed.
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

  // The program is ending: the card being handled is not typed (its remaining steps are left
  // out once the current yield returns), waiting cards are dropped, and later events are
  // ignored without touching the reader.
  void StopHandling();

  // The tracks of the card being handled (framed keystroke texts once framed); empty between
  // cards, because nothing of a card is kept once it has been typed.
  const std::wstring& sTrack1() const { return tracks_[0]; }
  const std::wstring& sTrack2() const { return tracks_[1]; }
  const std::wstring& sTrack3() const { return tracks_[2]; }

 private:
  // One card's eight properties as read from the reader, and its service code where a typing
  // rule may want it; nothing where a read failed or was not made.
  struct CardRead {
    std::array<std::optional<std::wstring>, 9> values;
    ~CardRead();
    CardRead() = default;
    CardRead(CardRead&&) = default;
    CardRead& operator=(CardRead&&) = default;
  };

  CardRead ReadAndRearm();
  void HandleCard(const CardRead* recorded);
  void WipeTracks();

  reader::ReaderDispatch& msr_;
  CardForm& form_;
  KeystrokeOutput& keys_;
  std::function<void()> do_events_;
  UserCue* cue_;

  std::array<std::wstring, 3> tracks_;
  CardTexts texts_;  // the card's fields and plain tracks, while it is typed
  bool sentinels_transmitted_ = false;
  bool busy_ = false;
  bool stopped_ = false;
  std::deque<CardRead> waiting_;
};

}  // namespace wedge
