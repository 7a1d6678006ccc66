// A typing rule, as any text IT could store: it reads as a rule within its ranges or as a fault,
// never both; a template renders to the card's characters and the Tab and Enter keys only, or
// names a field the card lacks and renders nothing.
//
// Input: byte 0 picks the fields the card has (bit n: the field after Card numbered n, the bit
// shared by the last two); the rest is the rule's data.

#include <string>
#include <vector>

#include "fuzz/fuzz_input.h"
#include "wedge/typing_rule.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  const wedge::RuleRead read = wedge::ParseTypingRule(fuzz::TextOf(data + 1, size - 1));
  FUZZ_CHECK(read.rule.has_value() == read.fault.empty());
  if (!read.rule) return 0;
  FUZZ_CHECK(read.rule->delay_ms <= 1000 && read.rule->enter_delay_ms <= 5000);
  if (!read.rule->form) return 0;

  wedge::CardTexts texts;
  for (int f = 1; f < wedge::kCardFields; ++f) {
    if (data[0] & (1u << (f - 1 < 8 ? f - 1 : 7))) texts.values[f] = L"4111111111111111";
  }
  const std::vector<wedge::KeyStroke> card = {{false, L'%', 0}, {true, 0, 0}};
  std::vector<wedge::KeyStroke> out;
  const std::optional<wedge::CardField> missing =
      wedge::RenderTemplate(*read.rule->form, card, texts, out);
  if (missing) {
    FUZZ_CHECK(*missing != wedge::CardField::Card && texts[*missing].empty() && out.empty());
    return 0;
  }
  for (const wedge::KeyStroke& key : out) {
    FUZZ_CHECK(key.modifiers == 0);
    FUZZ_CHECK(key.enter || key.ch == L'\t' || key.ch >= 0xA0 || (key.ch >= 0x20 && key.ch < 0x7F));
  }
  return 0;
}
