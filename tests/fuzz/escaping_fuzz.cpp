// The escaping of card text: whatever a track holds, its escaped text types exactly that track.

#include <string>

#include "fuzz/fuzz_input.h"
#include "wedge/addcntlcode.h"
#include "wedge/keystroke_notation.h"

namespace {

bool IsCommand(wchar_t c) {
  return c == L'+' || c == L'^' || c == L'~' || c == L'%' || c == L'(' || c == L')';
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::wstring track = fuzz::TextOf(data, size);
  std::wstring text = track;
  std::size_t yields = 0;
  const std::wstring escaped = wedge::Addcntlcode(text, [&] { ++yields; });
  FUZZ_CHECK(text == escaped);

  std::size_t commands = 0;
  for (wchar_t c : track) commands += IsCommand(c);
  FUZZ_CHECK(yields == commands);
  FUZZ_CHECK(escaped.size() == track.size() + 2 * commands);
  // No command character stands bare: each is wrapped in its own braces.
  for (std::size_t i = 0; i < escaped.size(); ++i) {
    if (!IsCommand(escaped[i])) continue;
    FUZZ_CHECK(i > 0 && i + 1 < escaped.size() && escaped[i - 1] == L'{' && escaped[i + 1] == L'}');
    ++i;
  }
  // Read back as keystrokes it gives the track, character for character, with no modifier.
  const auto keys = wedge::ParseKeystrokes(escaped);
  FUZZ_CHECK(keys.has_value());
  FUZZ_CHECK(keys->size() == track.size());
  for (std::size_t i = 0; i < track.size(); ++i) {
    const wedge::KeyStroke& key = (*keys)[i];
    FUZZ_CHECK(!key.enter && key.modifiers == 0 && key.ch == track[i]);
  }
  return 0;
}
