#pragma once
// Where typed card text goes: the keystrokes of the active window.

#include <string>

#include "wedge/typing_rule.h"

namespace wedge {

class KeystrokeOutput {
 public:
  virtual ~KeystrokeOutput() = default;

  // Types `keys`, written in the keystroke notation ("~" is Enter, "{%}" a percent sign...), into
  // the window that has the focus. Returns without waiting for the window to process the keys;
  // calls are typed in the order they are made. False when the text could not be typed.
  virtual bool SendKeys(const std::wstring& keys) = 0;

  // Bracket the calls made for one card: between them an output may gather the calls and type
  // them together, in the order made, when the card ends, so that no other keystroke lands inside
  // a card. Cards never nest.
  virtual void BeginCard() {}
  virtual void EndCard() {}
  // The card's own texts, given before EndCard, for an output whose typing rule names fields;
  // they are valid until EndCard returns.
  virtual void CardFields(const CardTexts& /*texts*/) {}
  // Whether a template may name the card's fields, so that the reader is asked for the ones it
  // is not asked for otherwise (the service code).
  virtual bool WantsCardFields() { return false; }
};

}  // namespace wedge
