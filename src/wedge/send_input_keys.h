#pragma once
// The keystroke output of the Windows build: keys injected into the foreground window with one
// SendInput call per text, or per card; or, where a typing rule for the program in front asks
// for it, paced key by key, as Unicode events, through the clipboard, or not at all.

#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "wedge/keystroke_notation.h"
#include "wedge/keystroke_output.h"
#include "wedge/keystroke_plan.h"
#include "wedge/typing_rule.h"
#include "wedge/typing_target.h"

namespace wedge {

// Caps Lock and the modifier keys held down now.
KeyboardState CurrentKeyboardState();

// The typing rules as they stand at the moment a card is typed.
using RuleReader = std::function<std::vector<StoredRule>()>;

class SendInputKeys : public KeystrokeOutput {
 public:
  // `cue` (optional) is given when a card is not typed because of the window in front or its
  // rule. `rules` (optional) is asked at every card; without it, or with no rule stored, every
  // card is typed with one injection.
  explicit SendInputKeys(UserCue* cue = nullptr, RuleReader rules = nullptr);
  ~SendInputKeys() override;
  SendInputKeys(const SendInputKeys&) = delete;
  SendInputKeys& operator=(const SendInputKeys&) = delete;

  // Types the text at once, or, inside a card, adds it to the card's keys. False when the text
  // cannot be read (nothing of it is typed), when the window in front must not receive it (one
  // of this program's own, or a more privileged program's, which would silently drop it), or
  // when fewer keys were injected than planned. Every buffer that held the keys is wiped.
  bool SendKeys(const std::wstring& keys) override;
  void BeginCard() override;
  void CardFields(const CardTexts& texts) override;
  bool WantsCardFields() override;
  // Types the card as the rule for the program in front says: without one, the keys gathered
  // with one injection. A card that arrives while a paced card is typed waits, whole.
  void EndCard() override;

  // The program is ending: the card being typed stops at once, waiting cards are wiped, and
  // no later card is typed.
  void StopTyping();

  // The thread's timer for the paced or pasted card ran out: its next step is done.
  void TimerElapsed();
  // A clipboard message to the window that offers a pasted card's text.
  void ClipboardMessage(unsigned message);

 private:
  struct Card;   // one card's keys and texts, waiting to be typed
  struct Paced;  // the card being typed key by key
  struct Pasting;  // the card being pasted
  bool busy() const { return paced_ || pasting_; }
  bool InjectWith(const std::vector<KeyStroke>& keys, KeyboardLayout& layout);
  void PasteStep();
  void PasteRestore();
  void PasteDone();
  void TypeWaitingCards();
  void NotTyped(TypingTrouble trouble, const std::wstring& program, const std::wstring& what);
  bool Inject(const std::vector<KeyStroke>& keys, bool unicode = false);
  bool Allowed();
  void TypeCard(Card& card);
  void StartPaced(const TypingRule& rule, std::wstring program, std::vector<KeyStroke>& keys);
  void PacedStep();
  void PacedDone();
  void Paste(const std::vector<KeyStroke>& keys, const std::wstring& program);

  // What each keyboard layout met so far answered, kept because asking costs time on every call.
  struct Layouts;
  std::unique_ptr<Layouts> layouts_;

  UserCue* cue_;
  RuleReader rules_;
  bool in_card_ = false;
  bool stopped_ = false;
  std::vector<KeyStroke> card_keys_;
  std::unique_ptr<Card> card_;                 // gathered between BeginCard and EndCard
  std::unique_ptr<Paced> paced_;               // being typed; nothing while idle
  std::unique_ptr<Pasting> pasting_;           // being pasted; nothing while idle
  std::deque<std::unique_ptr<Card>> waiting_;  // behind it
};

}  // namespace wedge
