#pragma once
// The keystroke output of the Windows build: keys injected into the foreground window with one
// SendInput call per text, or per card.

#include <memory>
#include <string>
#include <vector>

#include "wedge/keystroke_notation.h"
#include "wedge/keystroke_output.h"
#include "wedge/keystroke_plan.h"
#include "wedge/typing_target.h"

namespace wedge {

// Caps Lock and the modifier keys held down now.
KeyboardState CurrentKeyboardState();

class SendInputKeys : public KeystrokeOutput {
 public:
  // `cue` (optional) is given when a card is not typed because of the window in front.
  explicit SendInputKeys(UserCue* cue = nullptr);
  ~SendInputKeys() override;
  SendInputKeys(const SendInputKeys&) = delete;
  SendInputKeys& operator=(const SendInputKeys&) = delete;

  // Types the text at once, or, inside a card, adds it to the card's keys. False when the text
  // cannot be read (nothing of it is typed), when the window in front must not receive it (one
  // of this program's own, or a more privileged program's, which would silently drop it), or
  // when fewer keys were injected than planned. Every buffer that held the keys is wiped.
  bool SendKeys(const std::wstring& keys) override;
  void BeginCard() override;
  // Types the keys gathered for the card with one injection.
  void EndCard() override;

 private:
  bool Inject(const std::vector<KeyStroke>& keys);

  // What each keyboard layout met so far answered, kept because asking costs time on every call.
  struct Layouts;
  std::unique_ptr<Layouts> layouts_;

  UserCue* cue_;
  bool in_card_ = false;
  std::vector<KeyStroke> card_keys_;
};

}  // namespace wedge
