#pragma once
// Where typed card text goes: each card into the window that was in front when it was swiped, in
// the order the cards were swiped.

#include <cstdint>
#include <string>

#include "wedge/typing_rule.h"

namespace wedge {

class KeystrokeOutput {
 public:
  using CardId = std::uint64_t;

  virtual ~KeystrokeOutput() = default;

  // A card was swiped: it belongs to the window in front now, and is typed after the cards swiped
  // before it. 0 when no card is taken any more (the program is ending).
  virtual CardId CardSwiped() = 0;
  // Whether a template may name the card's fields, so that the reader is asked for the ones it
  // is not asked for otherwise (the service code).
  virtual bool WantsCardFields(CardId /*card*/) { return false; }
  // Adds `keys`, written in the keystroke notation ("~" is Enter, "{%}" a percent sign...), to the
  // card's keys. False when the text cannot be read (nothing of it is added) or the card is gone.
  virtual bool SendKeys(CardId card, const std::wstring& keys) = 0;
  // The card's own texts, for a template that names them; copied.
  virtual void CardFields(CardId /*card*/, const CardTexts& /*texts*/) {}
  // The card is whole: it is typed in its turn. Nothing more is added to it.
  virtual void EndCard(CardId card) = 0;
};

}  // namespace wedge
