#pragma once
// Escaping of card text for the keystroke notation.

#include <functional>
#include <string>

namespace wedge {

// Wraps every "+", "^", "~", "%", "(" and ")" of `sTemp` in braces so the keystroke output types
// the character itself. `sTemp` is escaped in place and the escaped text is also returned.
// `yield` runs once just before each character is replaced, and never for a text without any of
// the six; it may run other pending events, so the text is worked on in a local copy.
std::wstring Addcntlcode(std::wstring& sTemp, const std::function<void()>& yield);

}  // namespace wedge
