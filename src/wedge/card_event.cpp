#include "wedge/card_event.h"

#include <algorithm>
#include <utility>

#include "reader/properties.h"
#include "wedge/addcntlcode.h"
#include "wedge/wipe.h"

namespace wedge {
namespace {

constexpr int kFields = 5;  // FirstName .. AccountNumber, then the three tracks
// The template field of each of the eight values read.
constexpr CardField kFieldOf[8] = {CardField::FirstName,     CardField::MiddleInitial,
                                   CardField::Surname,       CardField::ExpirationDate,
                                   CardField::AccountNumber, CardField::Track1,
                                   CardField::Track2,        CardField::Track3};

// Framing of each track: start sentinels with sentinels on, and the end sentinel. The track 1
// start sentinel is already escaped because it is added after escaping.
constexpr const wchar_t* kStartSentinel[3] = {L"{%}", L";", L";"};
constexpr const wchar_t* kEndSentinel = L"?";
constexpr const wchar_t* kEnter = L"~";

// Clears the busy flag however the handling ends.
class BusyScope {
 public:
  explicit BusyScope(bool& busy) : busy_(busy) { busy_ = true; }
  ~BusyScope() { busy_ = false; }
  BusyScope(const BusyScope&) = delete;
  BusyScope& operator=(const BusyScope&) = delete;

 private:
  bool& busy_;
};

// C0 controls, DEL and C1 controls: keys, not characters, when typed.
bool IsControl(wchar_t c) { return c < 0x20 || (c >= 0x7F && c < 0xA0); }

// Removes the control characters of a track in place (no copy of the card is made).
void DropControlCharacters(std::wstring& track) {
  const auto end = std::remove_if(track.begin(), track.end(), IsControl);
  std::fill(end, track.end(), L'\0');
  track.erase(end, track.end());
}

// Takes the start sentinel ("%" or ";") and the end sentinel ("?") off a track that has both. No
// decoded track holds a "?" of its own, so one that ends in it came with its sentinels.
void DropSentinels(std::wstring& track) {
  // Control characters around them (a carriage return, an LRC byte) are looked past: they are
  // not typed anyway.
  const auto first = std::find_if_not(track.begin(), track.end(), IsControl);
  const auto last = std::find_if_not(track.rbegin(), track.rend(), IsControl);
  if (first == track.end() || first >= last.base() - 1 || *last != L'?' ||
      (*first != L'%' && *first != L';')) {
    return;
  }
  // In place: the characters move left and the string's terminators cover what they leave.
  const std::size_t start = static_cast<std::size_t>(first - track.begin());
  const std::size_t end = static_cast<std::size_t>(last.base() - track.begin()) - 1;
  track.erase(end, 1);
  track.erase(start, 1);
}

// What a UPOS 1.12 control tells of a card besides its tracks, asked by name: its kind, and an
// encrypting reader's blocks and key serial number, in hexadecimal. Before the re-arm, which may
// let the next card's data in.
void ReadKindAndEncryption(reader::ReaderDispatch& msr, CardTexts& texts) {
  using reader::DispId;
  texts.card_type = reader::GetText(msr, DispId::CardType);
  const std::optional<std::int32_t> capable = reader::GetInt(msr, DispId::CapDataEncryption);
  const std::optional<std::int32_t> algorithm = reader::GetInt(msr, DispId::DataEncryptionAlgorithm);
  if (!capable || !(*capable & ~reader::kMsrDeNone) || !algorithm || *algorithm <= reader::kMsrDeNone) {
    return;
  }
  const std::optional<std::int32_t> conversion = reader::GetInt(msr, DispId::BinaryConversion);
  if (!conversion || *conversion < 0 || *conversion > 2) return;
  const std::pair<DispId, CardField> blocks[] = {
      {DispId::Track1EncryptedData, CardField::Track1Encrypted},
      {DispId::Track2EncryptedData, CardField::Track2Encrypted},
      {DispId::Track3EncryptedData, CardField::Track3Encrypted},
      {DispId::AdditionalSecurityInformation, CardField::KSN}};
  for (const auto& [id, field] : blocks) {
    std::optional<std::wstring> data = reader::GetText(msr, id);
    if (!data) continue;
    std::optional<std::wstring> hex =
        reader::BinaryAsHex(*data, static_cast<reader::BinaryConversion>(*conversion));
    if (hex) Replace(texts[field], *hex);
    if (hex) Wipe(*hex);
    Wipe(*data);
  }
}

}  // namespace

CardEventHandler::CardEventHandler(reader::ReaderDispatch& msr, CardForm& form,
                                   KeystrokeOutput& keys, std::function<void()> do_events,
                                   const Ending& ending, UserCue* cue)
    : msr_(msr), form_(form), keys_(keys), do_events_(std::move(do_events)), ending_(ending),
      cue_(cue) {}

void CardEventHandler::MSR1_DataEvent(std::int32_t /*Status*/) {
  if (ending_.begun()) return;
  if (busy_) {
    // Raised from a yield of the card being handled. The reader holds this card's data only until
    // its next event: it is read now, and framed without yielding, so that cards swiped in a
    // burst never nest deeper than this.
    HandleCard(false);
    return;
  }
  BusyScope busy(busy_);
  HandleCard(true);
}

void CardEventHandler::MSR1_ErrorEvent(std::int32_t /*ResultCode*/,
                                       std::int32_t /*ResultCodeExtended*/,
                                       std::int32_t /*ErrorLocus*/) {
  if (ending_.begun()) return;
  msr_.Put(reader::DispId::DataEventEnabled, true);  // the same single set as after a card
  if (cue_) cue_->CardNotTyped();
}

// Every step goes on past a failure of the step before it: a failed read leaves its box or track
// empty, a failed choice read takes the branch as if the choice were set, a failed box write or
// SendKeys call is ignored. The escaping yields only with `yield`.
void CardEventHandler::HandleCard(bool yield) {
  // The card's own: a card handled inside a yield of this one has texts of its own.
  std::array<std::wstring, 3> tracks;
  CardTexts texts;  // its fields and plain tracks, wiped when they go
  struct WipeTracks {
    std::array<std::wstring, 3>& tracks;
    ~WipeTracks() {
      for (std::wstring& track : tracks) Wipe(track);
    }
  } wipe_tracks{tracks};

  const KeystrokeOutput::CardId card = keys_.CardSwiped();
  for (int box = 0; box < kDisplayBoxes; ++box) form_.SetBoxText(box, L"");

  for (int i = 0; i < kFields; ++i) {
    if (auto text = reader::GetText(msr_, reader::kCardProperties[i])) {
      form_.SetBoxText(i, *text);
      std::wstring& field = texts[kFieldOf[i]];
      field.swap(*text);
      DropControlCharacters(field);
    }
  }
  for (int t = 0; t < 3; ++t) {
    if (auto text = reader::GetText(msr_, reader::kCardProperties[kFields + t])) {
      tracks[t].swap(*text);
      Wipe(*text);
    }
  }
  // Read before the re-arm, which may let the next card's data in. Only where a rule may name
  // it: without rules the reader is asked what it always was.
  std::optional<std::wstring> service;
  if (keys_.WantsCardFields(card)) {
    service = reader::GetText(msr_, reader::DispId::ServiceCode);
    ReadKindAndEncryption(msr_, texts);
  }
  if (sentinels_transmitted_) {
    for (std::wstring& track : tracks) DropSentinels(track);
  }
  for (int t = 0; t < 3; ++t) form_.SetBoxText(kTrackBoxFirst + t, tracks[t]);

  // Re-arm before any escaping or typing, so the next card can be reported meanwhile.
  msr_.Put(reader::DispId::DataEventEnabled, true);

  for (std::wstring& track : tracks) DropControlCharacters(track);
  for (int t = 0; t < 3; ++t) Replace(texts[kFieldOf[kFields + t]], tracks[t]);
  // The control's own service code where it parses one, else the one the tracks hold.
  if (service) DropControlCharacters(*service);
  Replace(texts[CardField::ServiceCode],
          service && !service->empty() ? *service : ServiceCodeOf(tracks[0], tracks[1]));
  if (service) Wipe(*service);

  const bool sentinels = form_.Option(CardOption::SendSentinels).value_or(true);
  const bool enter_per_track = form_.Option(CardOption::CrWithTrack).value_or(true);
  const std::function<void()> no_yield;

  for (int t = 0; t < 3; ++t) {
    std::wstring& track = tracks[t];
    if (track.empty()) continue;
    std::wstring escaped = Addcntlcode(track, yield ? do_events_ : no_yield);
    const WipeOnExit wipe_escaped(escaped);
    std::wstring framed;
    framed.reserve(escaped.size() + 8);  // no reallocation leaves a copy behind
    if (sentinels) framed += kStartSentinel[t];
    framed += escaped;
    if (sentinels) framed += kEndSentinel;
    if (enter_per_track) framed += kEnter;
    Wipe(track);
    track.swap(framed);
  }

  // The program began to end while the escaping yielded: the card is not handed over.
  if (ending_.begun()) return;

  for (int t = 0; t < 3; ++t) {
    const std::optional<std::int16_t> tick = form_.TrackBox(t);
    if (!tick || *tick == 1) keys_.SendKeys(card, tracks[t]);  // a failed call skips only this track
  }

  const bool any_data = !tracks[0].empty() || !tracks[1].empty() || !tracks[2].empty();
  if (any_data && form_.Option(CardOption::CrWithCard).value_or(true)) keys_.SendKeys(card, kEnter);
  keys_.CardFields(card, texts);
  keys_.EndCard(card);
}

}  // namespace wedge
