#include "wedge/keystroke_notation.h"

#include "wedge/wipe.h"

namespace wedge {
namespace {

// The characters that are commands when they stand bare, and so come wrapped in braces.
bool IsCommand(wchar_t c) {
  return c == L'+' || c == L'^' || c == L'~' || c == L'%' || c == L'(' || c == L')';
}

}  // namespace

std::optional<std::vector<KeyStroke>> ParseKeystrokes(const std::wstring& text) {
  std::vector<KeyStroke> keys;
  keys.reserve(text.size());
  std::vector<unsigned> groups;  // modifiers held by each open "(" group, innermost last
  unsigned pending = 0;          // modifiers for the next key or group

  // A text that cannot be read may still be a card's: what was read of it is wiped.
  auto refuse = [&]() -> std::optional<std::vector<KeyStroke>> {
    Wipe(keys);
    return std::nullopt;
  };
  auto held = [&] { return pending | (groups.empty() ? 0u : groups.back()); };
  auto add = [&](bool enter, wchar_t ch) {
    keys.push_back(KeyStroke{enter, ch, held()});
    pending = 0;
  };

  for (std::size_t i = 0; i < text.size(); ++i) {
    const wchar_t c = text[i];
    switch (c) {
      case L'{':
        if (i + 2 < text.size() && text[i + 2] == L'}' && IsCommand(text[i + 1])) {
          add(false, text[i + 1]);
          i += 2;
        } else {
          add(false, c);  // not a "{c}" token: the brace itself, as a card holds it
        }
        break;
      case L'~': add(true, 0); break;
      case L'+': pending |= kModShift; break;
      case L'^': pending |= kModCtrl; break;
      case L'%': pending |= kModAlt; break;
      case L'(':
        groups.push_back(held());
        pending = 0;
        break;
      case L')':
        if (groups.empty() || pending) return refuse();
        groups.pop_back();
        break;
      default: add(false, c); break;  // "}", "[", "]" and every other character type themselves
    }
  }
  if (!groups.empty() || pending) return refuse();
  return keys;
}

}  // namespace wedge
