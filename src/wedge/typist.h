#pragma once
// The one place that decides where and how each card is typed. A card belongs to the window that
// was in front when it was swiped, and the typing rule of that window's program applies, read once
// for the card. Cards are typed one after another, in the order they were swiped: each in its
// turn, into its own window or nowhere, at once, key by key with pauses, or through the clipboard.
// Whatever keeps a card from being typed is cued, and told to IT where it is not the shop's own
// choice. Where rules are stored, a card's kind (payment, ID or the shop's own) and the fields
// worked out from its tracks are known from its swipe on; an ID card swiped into a program that
// checks an age gets its verdict at once.

#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "wedge/ending.h"
#include "wedge/keystroke_output.h"
#include "wedge/typing_ports.h"
#include "wedge/typing_rule.h"

namespace wedge {

// The typing rules as they stand at the moment a card is swiped.
using RuleReader = std::function<std::vector<StoredRule>()>;

class Typist final : public KeystrokeOutput, public TypingEvents {
 public:
  // `cue` (optional) hears of every card not typed. `rules` (optional) is asked once per card;
  // without it, or with no rule stored, a card is typed with one injection.
  Typist(KeyInjector& keys, Timer& timer, Clock& clock, Clipboard& clipboard, const Ending& ending,
         UserCue* cue = nullptr, RuleReader rules = nullptr);
  ~Typist() override;
  Typist(const Typist&) = delete;
  Typist& operator=(const Typist&) = delete;

  // KeystrokeOutput
  CardId CardSwiped() override;
  bool WantsCardFields(CardId card) override;
  bool SendKeys(CardId card, const std::wstring& keys) override;
  void CardFields(CardId card, const CardTexts& texts) override;
  void EndCard(CardId card) override;

  // TypingEvents
  void TimerElapsed() override;
  void RenderRequested() override;
  void ClipboardTaken() override;

  // The program is ending: the card being typed stops at once, the cards that wait are wiped, and
  // a clipboard that holds a card's offer gets its earlier text back, or is emptied, within 1 s.
  void Stop();

  // True while a card is typed with pauses or through the clipboard.
  bool busy() const { return paced_ || pasting_; }

  // How long a pasted text may take to be taken, and another program may hold the clipboard.
  static constexpr unsigned kTakeWithinMs = 2000;
  // How often a clipboard held by another program is asked again.
  static constexpr unsigned kRetryMs = 10;
  // How long the programs that read the clipboard at every change get to read an offer.
  static constexpr unsigned kSettleMs = 25;
  // How long the program's end waits for the clipboard.
  static constexpr unsigned kEndWaitMs = 1000;

 private:
  struct Card;
  struct Paced;
  struct Pasting;

  Card* Gathering(CardId id);
  void Prepare(Card& card);
  void TypeWaiting();
  void Type(Card& card);
  bool Allowed(WindowId window);
  void NotTyped(TypingTrouble trouble, const std::wstring& program, const std::wstring& what);
  std::wstring NameOf(const Card& card);

  void StartPaced(const TypingRule& rule, const Card& card, const std::wstring& program,
                  std::vector<KeyStroke>& keys);
  void PacedStep();
  void PacedDone();

  void StartPaste(const Card& card, const std::wstring& program, std::vector<KeyStroke>& keys);
  void PasteKeep();
  void PasteRefused(Clipboard::Outcome outcome, int wait);
  void PasteStep();
  void PasteOffer();
  void PastePress();
  void PastePutBack();
  void PasteStop(const std::wstring& trouble);
  void PasteWait(int wait, unsigned ms);
  void PasteSettleNow();
  void PasteDone();

  KeyInjector& keys_;
  Timer& timer_;
  Clock& clock_;
  Clipboard& clipboard_;
  const Ending& ending_;
  UserCue* cue_;
  RuleReader rules_;

  CardId last_id_ = 0;
  std::deque<std::unique_ptr<Card>> cards_;  // swiped and not yet typed, in their order
  std::unique_ptr<Paced> paced_;             // being typed with pauses; nothing while idle
  std::unique_ptr<Pasting> pasting_;         // being pasted; nothing while idle
  bool typing_ = false;                      // inside TypeWaiting
};

}  // namespace wedge
