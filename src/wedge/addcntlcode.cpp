#include "wedge/addcntlcode.h"

#include "wedge/wipe.h"

namespace wedge {
namespace {

struct Escape {
  wchar_t ch;
  const wchar_t* replacement;
};

// Worked through in this order; no replacement holds a character of another row, so each
// character of the input is wrapped exactly once.
constexpr Escape kEscapes[] = {
    {L'+', L"{+}"}, {L'^', L"{^}"}, {L'~', L"{~}"}, {L'%', L"{%}"}, {L'(', L"{(}"}, {L')', L"{)}"},
};

}  // namespace

std::wstring Addcntlcode(std::wstring& sTemp, const std::function<void()>& yield) {
  // Card text: every working copy is sized once and wiped before it is let go.
  std::wstring text = sTemp;
  for (const Escape& row : kEscapes) {
    std::size_t hit = text.find(row.ch);
    if (hit == std::wstring::npos) continue;
    std::wstring result;
    result.reserve(text.size() * 3);  // room for every character escaped
    std::size_t from = 0;
    do {
      if (yield) yield();
      result.append(text, from, hit - from);
      result.append(row.replacement);
      from = hit + 1;
      hit = text.find(row.ch, from);
    } while (hit != std::wstring::npos);
    result.append(text, from, std::wstring::npos);
    Wipe(text);
    text.swap(result);
  }
  Replace(sTemp, text);
  return text;
}

}  // namespace wedge
