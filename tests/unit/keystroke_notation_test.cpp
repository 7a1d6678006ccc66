#include "wedge/keystroke_notation.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "wedge/addcntlcode.h"

namespace {

using wedge::KeyStroke;
using wedge::ParseKeystrokes;

// What a parsed text types when no modifier is asked: characters as they are, Enter as "\n".
// Empty optional when any key holds a modifier.
std::optional<std::wstring> Typed(const std::wstring& text) {
  const auto keys = ParseKeystrokes(text);
  if (!keys) return std::nullopt;
  std::wstring out;
  for (const KeyStroke& k : *keys) {
    if (k.modifiers) return std::nullopt;
    out += k.enter ? L'\n' : k.ch;
  }
  return out;
}

struct Case {
  const wchar_t* text;
  const wchar_t* typed;
};

class NotationTyping : public ::testing::TestWithParam<Case> {};

TEST_P(NotationTyping, TypesEachCharacterItself) {
  EXPECT_EQ(Typed(GetParam().text), std::wstring(GetParam().typed)) << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(
    Examples, NotationTyping,
    ::testing::Values(Case{L"{%}B1234{^}DOE/J{^}99?~", L"%B1234^DOE/J^99?\n"},
                      Case{L";1234=99?~", L";1234=99?\n"},
                      Case{L"A{+}{(}B{)}", L"A+(B)"},
                      Case{L"{+}{+}", L"++"},
                      Case{L"", L""},
                      Case{L"~~", L"\n\n"},
                      // Braces and brackets outside a "{c}" token type themselves.
                      Case{L"[12]{3}", L"[12]{3}"},
                      Case{L"{a}", L"{a}"},
                      Case{L"{[}{]}", L"{[}{]}"},
                      Case{L"[12]{34}", L"[12]{34}"},
                      Case{L"{{+}}", L"{+}"},
                      Case{L"{}}", L"{}}"},
                      Case{L"{{}", L"{{}"},
                      Case{L"}{", L"}{"},
                      Case{L"{", L"{"},
                      Case{L"a{b", L"a{b"},
                      Case{L"{ENTER}", L"{ENTER}"},
                      Case{L"{~}{%}{^}{(}{)}", L"~%^()"},
                      Case{L"\u00e9\u20ac {\u00e9}", L"\u00e9\u20ac {\u00e9}"}));

TEST(Notation, ModifiersHoldForTheNextKeyOnly) {
  const auto keys = ParseKeystrokes(L"+a^%b~c");
  ASSERT_TRUE(keys);
  EXPECT_EQ(*keys, (std::vector<KeyStroke>{{false, L'a', wedge::kModShift},
                                           {false, L'b', wedge::kModCtrl | wedge::kModAlt},
                                           {true, 0, 0},
                                           {false, L'c', 0}}));
}

TEST(Notation, ModifiersHoldForAGroupAndNest) {
  const auto keys = ParseKeystrokes(L"+(ab^(c){+})d");
  ASSERT_TRUE(keys);
  EXPECT_EQ(*keys, (std::vector<KeyStroke>{{false, L'a', wedge::kModShift},
                                           {false, L'b', wedge::kModShift},
                                           {false, L'c', wedge::kModShift | wedge::kModCtrl},
                                           {false, L'+', wedge::kModShift},
                                           {false, L'd', 0}}));
  EXPECT_EQ(Typed(L"(ab)"), L"ab");
}

TEST(Notation, TextsThatCannotBeReadAreRefusedWhole) {
  for (const wchar_t* bad : {L"(abc", L"abc)", L"+(a", L"a)(", L"((a)", L"abc+", L"+(a^)", L"%"}) {
    EXPECT_FALSE(ParseKeystrokes(bad)) << bad;
  }
}

// Whatever a card holds, its escaped text types exactly that text.
TEST(Notation, EscapedCardTextTypesItselfBack) {
  std::vector<std::wstring> texts = {
      L"%B4111111111111111^DOE/JOHN Q.MR^2912101000000000000000000000?",
      L";4111111111111111=29121010000000000000?",
      L"{+}", L"{{+}}", L"}{", L"[12]{3}", L"{a}", L"{~}", L"{", L"}", L"{}", L"{{}}", L"+{)",
      L"a{+b}c", L"~~(())", L"^%+~()", L"{(}", L"{)}x", L"\u00e9{\u20ac}"};
  // Every pair and triple of the characters that mean something in the notation, and a letter.
  const std::wstring alphabet = L"+^~%(){}[]a";
  for (wchar_t a : alphabet) {
    for (wchar_t b : alphabet) {
      texts.push_back({a, b});
      for (wchar_t c : alphabet) texts.push_back({a, b, c});
    }
  }
  for (std::wstring text : texts) {
    const std::wstring original = text;
    const std::wstring escaped = wedge::Addcntlcode(text, nullptr);
    EXPECT_EQ(Typed(escaped), original) << "escaped: " << std::string(escaped.begin(), escaped.end());
  }
}

}  // namespace
