// The keystroke notation reader: any text is read or refused whole, and what it reads are keys.

#include <string>

#include "fuzz/fuzz_input.h"
#include "wedge/keystroke_notation.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::wstring text = fuzz::TextOf(data, size);
  const auto keys = wedge::ParseKeystrokes(text);

  // Only the modifier and group characters can make a text unreadable.
  if (text.find_first_of(L"+^%()") == std::wstring::npos) FUZZ_CHECK(keys.has_value());
  if (!keys) return 0;
  FUZZ_CHECK(keys->size() <= text.size());
  const unsigned all_modifiers = wedge::kModShift | wedge::kModCtrl | wedge::kModAlt;
  const bool asks_modifiers = text.find_first_of(L"+^%") != std::wstring::npos;
  for (const wedge::KeyStroke& key : *keys) {
    FUZZ_CHECK((key.modifiers & ~all_modifiers) == 0);
    FUZZ_CHECK(asks_modifiers || key.modifiers == 0);
    if (key.enter) {
      FUZZ_CHECK(key.ch == 0);
    } else {
      FUZZ_CHECK(text.find(key.ch) != std::wstring::npos);
    }
  }
  return 0;
}
