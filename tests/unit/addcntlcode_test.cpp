#include "wedge/addcntlcode.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct Example {
  const wchar_t* input;
  const wchar_t* output;
  int yields;
};

class AddcntlcodeExamples : public ::testing::TestWithParam<Example> {};

TEST_P(AddcntlcodeExamples, EscapesInPlaceWithOneYieldPerReplacement) {
  const Example& ex = GetParam();
  std::wstring text = ex.input;
  int yields = 0;
  const std::wstring result = wedge::Addcntlcode(text, [&] { ++yields; });
  EXPECT_EQ(result, ex.output);
  EXPECT_EQ(text, ex.output) << "the variable passed in holds the escaped text too";
  EXPECT_EQ(yields, ex.yields);
}

INSTANTIATE_TEST_SUITE_P(
    Table, AddcntlcodeExamples,
    ::testing::Values(Example{L"%B1234^DOE/J^99?", L"{%}B1234{^}DOE/J{^}99?", 3},
                      Example{L"A+(B)", L"A{+}{(}B{)}", 3},  //
                      Example{L"++", L"{+}{+}", 2},          //
                      Example{L";1234=99?", L";1234=99?", 0},
                      Example{L"[12]{3}", L"[12]{3}", 0},  //
                      Example{L"{+}", L"{{+}}", 1},        //
                      Example{L"", L"", 0},
                      Example{L"~", L"{~}", 1},  // alone: first and last position at once
                      Example{L"+x~", L"{+}x{~}", 2},
                      Example{L"^%()~+", L"{^}{%}{(}{)}{~}{+}", 6}));

TEST(Addcntlcode, EscapingTwiceAddsMoreBraces) {
  std::wstring text = L"%B^";
  wedge::Addcntlcode(text, nullptr);
  wedge::Addcntlcode(text, nullptr);
  EXPECT_EQ(text, L"{{%}}B{{^}}");
}

TEST(Addcntlcode, WorksOnACopyWhileEventsRunInTheYield) {
  // The yield may run code that changes the caller's variable; the result is still the escape
  // of the text as it was passed.
  std::wstring text = L"a+b";
  const std::wstring result = wedge::Addcntlcode(text, [&] { text = L"changed"; });
  EXPECT_EQ(result, L"a{+}b");
  EXPECT_EQ(text, L"a{+}b");
}

TEST(Addcntlcode, LongTextsHaveNoLengthLimit) {
  // Positions beyond the 16-bit range are fine: specials at the start, past 32767 and at the end.
  std::wstring text = L"+" + std::wstring(40000, L'7') + L"^" + std::wstring(30000, L'1') + L"%";
  int yields = 0;
  const std::wstring result = wedge::Addcntlcode(text, [&] { ++yields; });
  EXPECT_EQ(yields, 3);
  EXPECT_EQ(result, L"{+}" + std::wstring(40000, L'7') + L"{^}" + std::wstring(30000, L'1') +
                        L"{%}");
}

TEST(Addcntlcode, WrapsOnlyTheSixCommandCharacters) {
  std::wstring text =
      L" !\"#$%&'()*+,-./0123456789:;<=>?@ABCXYZ[\\]^_`abcxyz{|}~\u00e9\u20ac";
  int yields = 0;
  EXPECT_EQ(wedge::Addcntlcode(text, [&] { ++yields; }),
            L" !\"#${%}&'{(}{)}*{+},-./0123456789:;<=>?@ABCXYZ[\\]{^}_`abcxyz{|}{~}\u00e9\u20ac");
  EXPECT_EQ(yields, 6);
}

}  // namespace
