#pragma once
// The decimal digits of a card's tracks.

#include <cstddef>
#include <string_view>

namespace wedge {

inline bool IsDigit(wchar_t c) { return c >= L'0' && c <= L'9'; }

// True when `count` digits stand in `s` from `from` on.
inline bool DigitsAt(std::wstring_view s, std::size_t from, std::size_t count) {
  if (from > s.size() || s.size() - from < count) return false;
  for (std::size_t i = from; i < from + count; ++i) {
    if (!IsDigit(s[i])) return false;
  }
  return true;
}

}  // namespace wedge
