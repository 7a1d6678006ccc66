// Typing card texts on a German keyboard. Run by typing/with_xkb_layout.sh, which switches the
// display to the German layout before this program and the target start, and back afterwards.

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "typing/typing_fixture_win32.h"
#include "wedge/addcntlcode.h"

namespace {

using typing::BoxText;
using typing::TypingTest;

std::wstring Escaped(std::wstring text) { return wedge::Addcntlcode(text, nullptr); }

TEST_F(TypingTest, GermanLayoutTypesCardTextsExactly) {
  // The display's layout really is German: "/" is Shift+7 there.
  const SHORT slash = VkKeyScanExW(L'/', GetKeyboardLayout(0));
  ASSERT_EQ(LOBYTE(slash), '7') << "the display does not have the German layout";
  ASSERT_EQ(HIBYTE(slash), 1);

  const std::wstring track1 = L"B4111111111111111^M\u00dcLLER/J\u00dcRGEN^2912101000000000000000";
  const std::wstring track2 = L"4111111111111111=29121010000000000000";
  std::wstring ascii;
  for (wchar_t c = 0x21; c < 0x7f; ++c) ascii += c;
  const std::wstring others = L"\u00e4\u00f6\u00fc\u00c4\u00d6\u00dc\u00df\u00a7\u00b0\u20ac\u00b5";

  ExpectTyped({L"{%}" + Escaped(track1) + L"?~", BoxText(L"%" + track1 + L"?\n")});
  ExpectTyped({L";" + Escaped(track2) + L"?~", BoxText(L";" + track2 + L"?\n")});
  ExpectTyped({Escaped(ascii + others) + L"~", BoxText(ascii + others + L"\n")});
  ExpectTyped({Escaped(L"^E^e`a/?^"), L"^E^e`a/?^"});
}

}  // namespace
