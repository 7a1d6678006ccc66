#include "shell/rule_draft.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using shell::RuleDraft;

// A rule as IT writes it, read into the window's controls and written again: the same settings
// in the window's own words and order; one that cannot be read gives what is wrong with it.
TEST(RuleDraft, ReadWrittenAndDescribed) {
  const struct {
    const wchar_t* data;
    const wchar_t* text;  // as written again; nullptr: cannot be read
    const wchar_t* words;
  } rows[] = {
      {L"", L"", L"typed as without a rule"},
      {L" Delay = 12 ;keys=paste", L"keys=paste; delay=12", L"pasted, 12 ms between keys"},
      {L"type=no;delay=50", L"type=no; delay=50", L"never typed"},
      {L"keys=unicode; cards=id,other; mask=yes; min-age=21", L"keys=unicode; cards=id,other; mask=yes; min-age=21",
       L"as Unicode characters, only ID, the shop's own cards, payment card numbers masked, ID cards checked for age 21"},
      {L"template = {AccountNumber}{Tab}{Enter} ;delay=5", L"delay=5; template={AccountNumber}{Tab}{Enter}",
       L"5 ms between keys, template: {AccountNumber}{Tab}{Enter}"},
      {L"delay=1001", nullptr, L"cannot be read: delay must be 0 to 1000 (milliseconds)"},
  };
  for (const auto& r : rows) {
    const wedge::StoredRule stored{L"mstsc.exe", r.data};
    std::wstring fault;
    const std::optional<RuleDraft> draft = shell::DraftOf(stored, fault);
    EXPECT_EQ(draft.has_value(), r.text != nullptr) << r.data;
    if (draft) {
      EXPECT_EQ(shell::TextOf(*draft), r.text);
    }
    EXPECT_EQ(shell::Describe(stored), r.words);
  }
  EXPECT_EQ(shell::Describe({L"*", std::nullopt, L"the Targets key cannot be read"}),
            L"cannot be read: the Targets key cannot be read");
}

// What the test card types under a rule, Tab and Enter as marks, and how long it takes (tracks 1
// and 2 with sentinels, one Enter after the card).
TEST(RuleDraft, PreviewOfTheTestCard) {
  const std::pair<const wchar_t*, const wchar_t*> rows[] = {
      {L"delay=12; enter-delay=125",
       L"%B4111111111111111^DOE/JOHN^2912101000000000?;4111111111111111=29121010000000000000?\u21B5 "
       L"Typed in about 1.0 s."},
      {L"mask=yes; template={AccountNumber}{Tab}{ExpirationDate}{Enter}",
       L"411111******1111\u21922912\u21B5 Typed at once."},
      {L"template={IdNumber}", L" Not typed: the test card has no {IdNumber}."},
      {L"cards=id", L" Not typed: this program takes no payment cards such as the test card."},
  };
  for (const auto& [data, shown] : rows) {
    std::wstring fault;
    const shell::Preview p = shell::PreviewOf(*shell::DraftOf({L"pos.exe", data}, fault), shell::Framing{});
    EXPECT_EQ(p.typed + L" " + p.note, shown);
  }
}

}  // namespace
