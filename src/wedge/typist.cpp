#include "wedge/typist.h"

#include <utility>

#include "wedge/aamva.h"
#include "wedge/card_kind.h"
#include "wedge/wipe.h"

namespace wedge {
namespace {

// Adds `more` to `keys`; a buffer outgrown is wiped before it is let go.
void AppendKeys(std::vector<KeyStroke>& keys, const std::vector<KeyStroke>& more) {
  if (keys.size() + more.size() > keys.capacity()) {
    std::vector<KeyStroke> bigger;
    bigger.reserve(2 * (keys.size() + more.size()));
    bigger.assign(keys.begin(), keys.end());
    Wipe(keys);
    keys.swap(bigger);
  }
  keys.insert(keys.end(), more.begin(), more.end());
}

bool MovesField(const KeyStroke& k) { return k.enter || k.ch == L'\t'; }

// Sets a field of the card's texts, wiping what it held and the value given.
void SetField(CardTexts& texts, CardField field, std::wstring value) {
  Replace(texts[field], value);
  Wipe(value);
}

// ... or empties it: the card does not have it.
void SetField(CardTexts& texts, CardField field, const std::optional<std::wstring>& value) {
  SetField(texts, field, value ? *value : std::wstring());
}

// Where `text` stands in `keys` as plain characters, from `from` on; keys.size() when nowhere.
std::size_t FindText(const std::vector<KeyStroke>& keys, const std::wstring& text) {
  if (text.empty() || text.size() > keys.size()) return keys.size();
  for (std::size_t at = 0; at + text.size() <= keys.size(); ++at) {
    std::size_t i = 0;
    while (i < text.size() && !keys[at + i].enter && keys[at + i].modifiers == 0 &&
           keys[at + i].ch == text[i]) {
      ++i;
    }
    if (i == text.size()) return at;
  }
  return keys.size();
}

// A payment card as a rule with mask=yes has it typed: its number as the first six and last four
// digits, its discretionary data as '*', in the framed tracks and in every field of it.
void MaskCard(std::vector<KeyStroke>& keys, CardTexts& texts) {
  const CardField tracks[] = {CardField::Track1, CardField::Track2, CardField::Track3};
  for (int t = 0; t < 3; ++t) {
    std::wstring& plain = texts[tracks[t]];
    std::wstring masked = MaskBankTrack(t + 1, plain);
    const std::size_t at = FindText(keys, plain);
    for (std::size_t i = 0; at < keys.size() && i < masked.size(); ++i) keys[at + i].ch = masked[i];
    Replace(plain, masked);
    Wipe(masked);
  }
  std::wstring number = MaskAccountNumber(texts[CardField::AccountNumber]);
  Replace(texts[CardField::AccountNumber], number);
  Wipe(number);
}

}  // namespace

struct Typist::Card {
  CardId id = 0;
  WindowId window = 0;           // in front when it was swiped
  std::vector<StoredRule> rules;  // as they stood then
  std::wstring program;          // the window's program, looked up where rules are stored
  std::vector<KeyStroke> keys;
  CardTexts texts;
  bool whole = false;  // all its keys are in: it is typed in its turn
  // Where rules are stored, from the moment it is whole: its program's rule and its kind.
  const StoredRule* stored = nullptr;
  RuleRead read;
  CardKind kind = CardKind::Other;
  ~Card() { Wipe(keys); }
};

// A card typed one step at a time: one character's keys (with the modifiers it needs) per step,
// or, without a pause between characters, everything up to the next Enter.
struct Typist::Paced {
  std::vector<KeyStroke> keys;
  WindowId window = 0;
  std::wstring program;
  bool unicode = false;
  unsigned delay_ms = 0;
  unsigned enter_delay_ms = 0;
  std::size_t next = 0;
  double due_ms = 0;  // when the next step is due, so the pace does not drift
  ~Paced() { Wipe(keys); }
};

// A card typed through the clipboard: the Tab and Enter keys as keys, each text between them
// offered on the clipboard and taken by the target with Ctrl+V, then the earlier text put back.
struct Typist::Pasting {
  enum Wait {
    Keep,     // for the clipboard, to keep its earlier text
    Offer,    // for the clipboard, to offer the next text
    Free,     // for the programs that read the offer to let the clipboard go, before Ctrl+V
    Take,     // for the target to take the text
    Linger,   // for a target that did not take it in time to ask once more, and get nothing
    PutBack,  // for the clipboard, to put the earlier text back
  };
  std::vector<KeyStroke> keys;
  std::size_t next = 0;
  WindowId window = 0;
  std::uint32_t process = 0;  // the target's, the only one given the text
  std::wstring program;
  std::optional<std::wstring> earlier;
  std::wstring offered;
  Wait wait = Keep;
  double since = 0;       // when the present wait began
  bool offering = false;  // the clipboard holds the offer
  bool rendered = false;  // ... and the target took the text
  bool finishing = false;  // nothing more of the card is typed
  bool replaced = false;   // another program put its own data on the clipboard meanwhile
  bool lost = false;       // the earlier text could not be put back
  std::wstring trouble;    // why the rest of the card was not pasted, for IT
  ~Pasting() {
    Wipe(keys);
    Wipe(offered);
    if (earlier) Wipe(*earlier);
  }
};

Typist::Typist(KeyInjector& keys, Timer& timer, Clock& clock, Clipboard& clipboard,
               const Ending& ending, UserCue* cue, RuleReader rules)
    : keys_(keys), timer_(timer), clock_(clock), clipboard_(clipboard), ending_(ending), cue_(cue),
      rules_(std::move(rules)) {}

Typist::~Typist() { Stop(); }

Typist::CardId Typist::CardSwiped() {
  if (ending_.begun()) return 0;
  auto card = std::make_unique<Card>();
  card->id = ++last_id_;
  card->window = keys_.FrontWindow();
  if (rules_) card->rules = rules_();
  // Without rules the program in front is never asked for: a card is typed as fast as it can be.
  if (!card->rules.empty()) card->program = keys_.ProgramOf(card->window);
  card->keys.reserve(512);
  cards_.push_back(std::move(card));
  return last_id_;
}

Typist::Card* Typist::Gathering(CardId id) {
  for (const std::unique_ptr<Card>& card : cards_) {
    if (card->id == id) return card->whole ? nullptr : card.get();
  }
  return nullptr;
}

bool Typist::WantsCardFields(CardId id) {
  const Card* card = Gathering(id);
  return card && !card->rules.empty();
}

bool Typist::SendKeys(CardId id, const std::wstring& text) {
  std::optional<std::vector<KeyStroke>> parsed = ParseKeystrokes(text);
  if (!parsed) return false;
  Card* card = Gathering(id);
  if (card) AppendKeys(card->keys, *parsed);
  Wipe(*parsed);
  return card != nullptr;
}

void Typist::CardFields(CardId id, const CardTexts& texts) {
  Card* card = Gathering(id);
  if (!card || card->rules.empty()) return;  // without rules no template needs them
  for (int f = 0; f < kCardFields; ++f) Replace(card->texts.values[f], texts.values[f]);
  card->texts.card_type = texts.card_type;
}

void Typist::EndCard(CardId id) {
  if (Card* card = Gathering(id)) {
    card->whole = true;
    Prepare(*card);
  }
  TypeWaiting();
}

// The rule for the card's program, read once; the card's kind and the fields worked out from its
// tracks on the day it was swiped; an ID card's verdict where the rule checks an age.
void Typist::Prepare(Card& card) {
  if (card.rules.empty()) return;
  card.stored = FindRule(card.rules, card.program);
  if (card.stored && card.stored->data) {
    card.read = ParseTypingRule(*card.stored->data);
  } else if (card.stored) {
    card.read.fault = card.stored->fault.empty() ? L"the value is not a text (REG_SZ)" : card.stored->fault;
  }
  CardTexts& t = card.texts;
  card.kind = KindOfCard(t.card_type, t[CardField::Track1], t[CardField::Track2]);
  Replace(t[CardField::CardKind], CardKindName(card.kind));
  if (card.kind != CardKind::Id) {
    std::wstring number = t[CardField::AccountNumber].empty()
                              ? AccountNumberOf(t[CardField::Track1], t[CardField::Track2])
                              : t[CardField::AccountNumber];
    SetField(t, CardField::AccountNumberMasked, MaskAccountNumber(number));
    SetField(t, CardField::Last4, LastFourOf(number));
    Wipe(number);
    return;
  }
  const IdCard id(t[CardField::Track1], t[CardField::Track2], t[CardField::Track3]);
  const CalendarDate today = clock_.Today();
  const std::optional<int> age = id.AgeOn(today.year, today.month, today.day);
  const std::optional<bool> expired = id.ExpiredOn(today.year, today.month, today.day);
  SetField(t, CardField::IdNumber, id.id_number);
  if (id.date_of_birth) SetField(t, CardField::DateOfBirth, DateText(*id.date_of_birth));
  if (age) SetField(t, CardField::Age, std::to_wstring(*age));
  SetField(t, CardField::IdExpirationDate, id.ExpiryText());
  if (expired) SetField(t, CardField::IdExpired, std::wstring(*expired ? L"yes" : L"no"));
  SetField(t, CardField::State, id.state);
  SetField(t, CardField::City, id.city);
  SetField(t, CardField::Address, id.address);
  SetField(t, CardField::PostalCode, id.postal_code);
  SetField(t, CardField::Sex, id.sex);
  SetField(t, CardField::FirstName, id.first_name);
  SetField(t, CardField::MiddleName, id.middle_name);
  SetField(t, CardField::Surname, id.surname);
  const std::optional<unsigned> min_age = card.read.rule ? card.read.rule->min_age : std::nullopt;
  if (!min_age || !cue_) return;
  // A card whose expiry or birth date cannot be read is not taken for a valid or an old enough one.
  const IdVerdict verdict = expired.value_or(false)                  ? IdVerdict::Expired
                            : age && *age >= static_cast<int>(*min_age) ? IdVerdict::OldEnough
                                                                      : IdVerdict::UnderAge;
  cue_->IdChecked(verdict, *min_age);
}

// The cards whose turn has come, in their order, until one is typed with pauses or pasted.
void Typist::TypeWaiting() {
  if (typing_) return;  // entered again from inside a card's typing: the loop below goes on
  typing_ = true;
  while (!busy() && !ending_.begun() && !cards_.empty() && cards_.front()->whole) {
    const std::unique_ptr<Card> card = std::move(cards_.front());
    cards_.pop_front();
    Type(*card);
  }
  typing_ = false;
}

// The card goes into its own window or nowhere. The rule for that window's program decides:
// none typed with one injection; one that cannot be read, type=no, or a template field the card
// lacks: not typed, with the cue.
void Typist::Type(Card& card) {
  const bool any_track = !card.texts[CardField::Track1].empty() ||
                         !card.texts[CardField::Track2].empty() ||
                         !card.texts[CardField::Track3].empty();
  if (card.keys.empty() && !any_track) return;  // nothing of a card to type
  if (keys_.FrontWindow() != card.window) {
    NotTyped(TypingTrouble::WindowChanged, NameOf(card),
             L"another window was in front when its turn came");
    return;
  }
  if (!Allowed(card.window)) return;  // our own window, or one whose keys Windows would drop
  if (!card.stored) {
    if (!card.rules.empty() && cue_) cue_->RuleReadFine();
    keys_.Inject(card.keys, false);  // a refused injection is ignored, as a failed call would be
    return;
  }
  if (!card.read.rule) {
    NotTyped(TypingTrouble::RuleWrong, card.stored->program, card.read.fault);
    return;
  }
  if (cue_) cue_->RuleReadFine();
  const TypingRule& rule = *card.read.rule;
  if (!rule.type) {
    if (cue_) cue_->CardNotTyped();  // the shop's intent: no entry in the log
    return;
  }
  if (!(rule.kinds & (1u << static_cast<unsigned>(card.kind)))) {
    NotTyped(TypingTrouble::KindRefused, NameOf(card), CardKindName(card.kind));
    return;
  }
  if (rule.mask && card.kind == CardKind::Bank) MaskCard(card.keys, card.texts);
  const std::wstring program = NameOf(card);
  std::vector<KeyStroke> keys;
  if (rule.form) {
    const std::optional<CardField> missing = RenderTemplate(*rule.form, card.keys, card.texts, keys);
    if (missing) {
      NotTyped(TypingTrouble::FieldMissing, program, std::wstring(L"{") + FieldName(*missing) + L"}");
      return;
    }
  } else {
    keys.swap(card.keys);
  }
  if (rule.keys == KeysMode::Paste) {
    StartPaste(card, program, keys);
  } else if (rule.paced()) {
    StartPaced(rule, card, program, keys);
  } else {
    keys_.Inject(keys, rule.keys == KeysMode::Unicode);
  }
  Wipe(keys);
}

bool Typist::Allowed(WindowId window) {
  if (keys_.Judge(window) == TypingVerdict::Type) return true;
  if (cue_) cue_->CardNotTyped();
  return false;
}

// The card is not typed, for a reason IT hears of: the cue, and the event log's entry.
void Typist::NotTyped(TypingTrouble trouble, const std::wstring& program, const std::wstring& what) {
  if (!cue_) return;
  cue_->CardNotTyped();
  cue_->Trouble(trouble, program, what);
}

std::wstring Typist::NameOf(const Card& card) {
  if (!card.program.empty()) return card.program;
  std::wstring name = keys_.ProgramOf(card.window);
  return name.empty() ? L"a program that could not be named" : name;
}

void Typist::StartPaced(const TypingRule& rule, const Card& card, const std::wstring& program,
                        std::vector<KeyStroke>& keys) {
  if (keys.empty()) return;
  paced_ = std::make_unique<Paced>();
  paced_->keys.swap(keys);
  paced_->window = card.window;
  paced_->program = program;
  paced_->unicode = rule.keys == KeysMode::Unicode;
  paced_->delay_ms = rule.delay_ms;
  paced_->enter_delay_ms = rule.enter_delay_ms;
  timer_.Fine(true);
  paced_->due_ms = clock_.NowMs();
  PacedStep();
}

void Typist::PacedStep() {
  Paced& p = *paced_;
  if (p.next > 0 && keys_.FrontWindow() != p.window) {
    // Not one more key: the window the user switched to gets nothing of the card.
    NotTyped(TypingTrouble::WindowChanged, p.program,
             L"another window came to the front while it was typed");
    PacedDone();
    return;
  }
  std::size_t end = p.next + 1;
  if (p.delay_ms == 0) {
    while (end < p.keys.size() && !p.keys[end - 1].enter) ++end;
  }
  const bool enter = p.keys[end - 1].enter;
  std::vector<KeyStroke> step(p.keys.begin() + static_cast<std::ptrdiff_t>(p.next),
                              p.keys.begin() + static_cast<std::ptrdiff_t>(end));
  keys_.Inject(step, p.unicode);
  Wipe(step);
  p.next = end;
  if (p.next >= p.keys.size()) {
    PacedDone();
    return;
  }
  // The pace keeps to the rule's over the card, but no pause is more than 1 ms shorter than the
  // rule's: the timer's usual lateness is made up, and a step it ran very late for never brings
  // the next keys close behind (a target that drops keys at a faster pace would drop them).
  const unsigned pause = p.delay_ms + (enter ? p.enter_delay_ms : 0);
  p.due_ms += pause;
  const double left = p.due_ms - clock_.NowMs();
  unsigned wait = left > 0 ? static_cast<unsigned>(left + 0.5) : 0;
  if (wait + 1 < pause) wait = pause - 1;
  if (wait > pause) wait = pause;
  if (!timer_.Start(wait ? wait : 1)) {
    // Typed at once, the rest would go faster than the program can take it.
    NotTyped(TypingTrouble::NoTimer, p.program, L"Windows gave the program no timer");
    PacedDone();
  }
}

void Typist::PacedDone() {
  paced_.reset();
  timer_.Fine(false);
  TypeWaiting();
}

void Typist::StartPaste(const Card& card, const std::wstring& program, std::vector<KeyStroke>& keys) {
  pasting_ = std::make_unique<Pasting>();
  pasting_->keys.swap(keys);
  pasting_->window = card.window;
  pasting_->process = keys_.ProcessOf(card.window);
  pasting_->program = program;
  pasting_->since = clock_.NowMs();
  PasteKeep();
}

void Typist::PasteKeep() {
  const Clipboard::Outcome kept = clipboard_.Keep(pasting_->earlier);
  if (kept == Clipboard::Outcome::Done) PasteStep();
  else PasteRefused(kept, Pasting::Keep);
}

// A clipboard held open by another program is asked again every few milliseconds, for as long as
// a target may take to take a text; then, or when it cannot be used at all, the card stops.
void Typist::PasteRefused(Clipboard::Outcome outcome, int wait) {
  if (outcome == Clipboard::Outcome::Held) {
    if (clock_.NowMs() - pasting_->since < kTakeWithinMs) PasteWait(wait, kRetryMs);
    else PasteStop(L"another program held the clipboard open for 2 seconds");
    return;
  }
  PasteStop(L"the clipboard could not be used");
}

// Types the Tab and Enter keys up to the next text, then offers that text.
void Typist::PasteStep() {
  Pasting& p = *pasting_;
  if (keys_.FrontWindow() != p.window) {
    NotTyped(TypingTrouble::WindowChanged, p.program,
             L"another window came to the front while it was typed");
    PasteStop(L"");
    return;
  }
  std::size_t end = p.next;
  while (end < p.keys.size() && MovesField(p.keys[end])) ++end;
  if (end > p.next) {
    std::vector<KeyStroke> moves(p.keys.begin() + static_cast<std::ptrdiff_t>(p.next),
                                 p.keys.begin() + static_cast<std::ptrdiff_t>(end));
    keys_.Inject(moves, false);
    p.next = end;
  }
  if (p.next >= p.keys.size()) {
    PasteDone();
    return;
  }
  while (end < p.keys.size() && !MovesField(p.keys[end])) ++end;
  Wipe(p.offered);
  p.offered.reserve(end - p.next);  // sized once: no reallocation leaves a copy behind
  for (; p.next < end; ++p.next) p.offered.push_back(p.keys[p.next].ch);
  p.since = clock_.NowMs();
  PasteOffer();
}

void Typist::PasteOffer() {
  Pasting& p = *pasting_;
  const Clipboard::Outcome offered = clipboard_.Offer();
  if (offered != Clipboard::Outcome::Done) {
    PasteRefused(offered, Pasting::Offer);
    return;
  }
  p.offering = true;
  p.rendered = false;
  p.since = clock_.NowMs();
  // Programs that read the clipboard at every change read the offer now (and get nothing):
  // Ctrl+V waits until they have let it go, or the target could not open it.
  PasteWait(Pasting::Free, kSettleMs);
}

void Typist::PastePress() {
  Pasting& p = *pasting_;
  if (!clipboard_.Free()) {
    PasteRefused(Clipboard::Outcome::Held, Pasting::Free);
    return;
  }
  if (keys_.FrontWindow() != p.window) {
    NotTyped(TypingTrouble::WindowChanged, p.program,
             L"another window came to the front while it was typed");
    PasteStop(L"");
    return;
  }
  if (keys_.Judge(p.window) != TypingVerdict::Type || !keys_.PressPaste()) {
    PasteStop(L"Ctrl+V could not be typed");
    return;
  }
  p.since = clock_.NowMs();
  PasteWait(Pasting::Take, kTakeWithinMs);
}

// The text goes only to the target: the program whose window holds the clipboard open must be
// the target's, the target must still be in front, and still within its time. Any other program
// that asks gets nothing.
void Typist::RenderRequested() {
  if (!pasting_ || ending_.begun()) return;
  Pasting& p = *pasting_;
  if (p.wait == Pasting::Linger) {
    // Too late. Once the target has asked and got nothing, the earlier text can go back: it
    // would not paste that in the card's place any more.
    if (clipboard_.Asker() == p.process) PasteStop(L"");
    return;
  }
  if (!p.offering || p.rendered || p.finishing || p.wait != Pasting::Take) return;
  if (p.process == 0 || clipboard_.Asker() != p.process) return;
  if (keys_.FrontWindow() != p.window || clock_.NowMs() - p.since >= kTakeWithinMs) return;
  if (!clipboard_.Render(p.offered)) return;  // the target got nothing: it is late in the end
  p.rendered = true;
  // Put back as soon as the target has closed the clipboard again.
  PasteWait(Pasting::PutBack, kRetryMs);
}

// Another program put its own data on the clipboard: nothing of ours is left to take back, and
// its data is not overwritten with the earlier text.
void Typist::ClipboardTaken() {
  if (!pasting_ || !pasting_->offering) return;
  Pasting& p = *pasting_;
  p.offering = false;
  p.replaced = true;
  if (!p.rendered && !p.finishing) {
    // The target would paste the other program's text.
    PasteStop(L"another program put its own data on the clipboard before the text was taken");
  }
}

// Nothing more of the card is typed; the clipboard is given back first.
void Typist::PasteStop(const std::wstring& trouble) {
  Pasting& p = *pasting_;
  if (p.trouble.empty()) p.trouble = trouble;
  p.finishing = true;
  if (!p.offering) {
    PasteDone();
    return;
  }
  timer_.Stop();
  p.wait = Pasting::PutBack;
  PastePutBack();
}

// Tried again for as long as it takes: the card's text is never left on the clipboard, and the
// cards that wait behind this one wait.
void Typist::PastePutBack() {
  Pasting& p = *pasting_;
  if (p.offering) {
    const Clipboard::Outcome put = clipboard_.PutBack(p.earlier);
    if (put == Clipboard::Outcome::Held) {
      PasteWait(Pasting::PutBack, kRetryMs);
      return;
    }
    p.offering = false;
    p.lost = put == Clipboard::Outcome::Failed;
  }
  if (p.finishing) PasteDone();
  else PasteStep();
}

void Typist::PasteWait(int wait, unsigned ms) {
  Pasting& p = *pasting_;
  p.wait = static_cast<Pasting::Wait>(wait);
  if (timer_.Start(ms)) return;
  // No timer: the card ends here, and the clipboard is given back as at the program's end.
  if (p.trouble.empty()) p.trouble = L"Windows gave the program no timer";
  p.finishing = true;
  PasteSettleNow();
  PasteDone();
}

// The clipboard given back within a bounded time, waiting in place: at the program's end, or
// without a timer. Emptied at least, whenever it can be opened.
void Typist::PasteSettleNow() {
  Pasting& p = *pasting_;
  const double until = clock_.NowMs() + kEndWaitMs;
  while (p.offering) {
    const Clipboard::Outcome put = clipboard_.PutBack(p.earlier);
    if (put != Clipboard::Outcome::Held) {
      p.offering = false;
      p.lost = put == Clipboard::Outcome::Failed;
      return;
    }
    if (clock_.NowMs() >= until) {
      p.lost = true;
      return;
    }
    clock_.Sleep(kRetryMs);
  }
}

// The card is over: IT hears what went wrong and what became of the clipboard's earlier text.
void Typist::PasteDone() {
  const std::unique_ptr<Pasting> p = std::move(pasting_);
  timer_.Stop();
  if (!p->trouble.empty() || p->lost) {
    std::wstring what = p->trouble.empty() ? L"the card was pasted"
                                           : p->trouble + L", so the rest of the card was not typed";
    if (p->offering) {
      what += L"; the clipboard was still held open by another program, and its earlier text was lost";
    } else if (p->lost) {
      what += L"; the clipboard's earlier text could not be put back";
    } else if (p->replaced) {
      what += L"; another program's data is on the clipboard now";
    } else if (p->earlier) {
      what += L"; the clipboard's earlier text was put back";
    } else {
      what += L"; the clipboard held no text before, and was left empty";
    }
    if (cue_) {
      if (!p->trouble.empty()) cue_->CardNotTyped();
      cue_->Trouble(TypingTrouble::PasteFailed, p->program, what);
    }
  }
  TypeWaiting();
}

void Typist::TimerElapsed() {
  if (ending_.begun()) return;
  if (paced_) {
    PacedStep();
    return;
  }
  if (!pasting_) return;
  switch (pasting_->wait) {
    case Pasting::Keep: PasteKeep(); return;
    case Pasting::Offer: PasteOffer(); return;
    case Pasting::Free: PastePress(); return;
    case Pasting::Take:
      // The target may still be on its way to the clipboard, held open by another program:
      // were the earlier text put back now, it would paste that in the card's place. The offer
      // stays, giving nothing, until it has asked or for as long again.
      pasting_->trouble = L"the program did not take the text within 2 seconds";
      PasteWait(Pasting::Linger, kTakeWithinMs);
      return;
    case Pasting::Linger: PasteStop(L""); return;
    case Pasting::PutBack: PastePutBack(); return;
  }
}

void Typist::Stop() {
  timer_.Stop();
  if (paced_) {
    paced_.reset();
    timer_.Fine(false);
  }
  if (pasting_) {
    if (pasting_->trouble.empty() && !pasting_->finishing) {
      pasting_->trouble = L"the program was ending";
    }
    pasting_->finishing = true;
    PasteSettleNow();
    const bool typing = std::exchange(typing_, true);  // no card after this one
    PasteDone();
    typing_ = typing;
  }
  cards_.clear();  // each card wipes itself
}

}  // namespace wedge
