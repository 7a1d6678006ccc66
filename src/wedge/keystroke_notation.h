#pragma once
// The keystroke notation read into what it types: characters, Enter, and the modifier keys held
// for each of them.

#include <optional>
#include <string>
#include <vector>

namespace wedge {

// Modifier keys a text asks to hold: "+" Shift, "^" Ctrl, "%" Alt.
enum ModifierBits : unsigned {
  kModShift = 1,
  kModCtrl = 2,
  kModAlt = 4,
};

// One key of the text: a character, or the Enter key ("~"), with the modifiers held for it.
struct KeyStroke {
  bool enter = false;
  wchar_t ch = 0;           // the character when not `enter`
  unsigned modifiers = 0;   // ModifierBits the text holds for this key

  bool operator==(const KeyStroke& o) const {
    return enter == o.enter && ch == o.ch && modifiers == o.modifiers;
  }
};

// Reads `text`: "{c}" types c for each c of + ^ ~ % ( ); "~" is Enter; "+", "^", "%" hold Shift,
// Ctrl, Alt for the next key or the next "( )" group. Every other character types itself, braces
// and brackets included ("{a}" types "{a}"), so an escaped card text types exactly the card's
// text. Nothing when the text cannot be read: an unbalanced "(" or ")", or a modifier with no key
// after it.
std::optional<std::vector<KeyStroke>> ParseKeystrokes(const std::wstring& text);

}  // namespace wedge
