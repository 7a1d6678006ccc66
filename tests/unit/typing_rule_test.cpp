#include "wedge/typing_rule.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using wedge::CardField;
using wedge::KeysMode;
using wedge::KeyStroke;

// What a rule's data reads as: the settings, or the fault's first words.
struct RuleRow {
  std::wstring data;
  std::wstring read;  // "type keys delay enter-delay pieces", or the fault's start
};

std::wstring Summary(const wedge::RuleRead& r) {
  if (!r.rule) return r.fault.substr(0, r.fault.find(L' '));
  const wchar_t* keys[] = {L"layout", L"unicode", L"paste"};
  return std::wstring(r.rule->type ? L"yes " : L"no ") + keys[static_cast<int>(r.rule->keys)] +
         L" " + std::to_wstring(r.rule->delay_ms) + L" " + std::to_wstring(r.rule->enter_delay_ms) +
         L" " + (r.rule->form ? std::to_wstring(r.rule->form->size()) : L"-");
}

TEST(TypingRule, ReadsEverySettingAndFailsClosedOnAnythingElse) {
  const RuleRow rows[] = {
      {L"", L"yes layout 0 0 -"},
      {L" ; type = no ;; ", L"no layout 0 0 -"},
      {L"Keys=Unicode;delay=1000;enter-delay=5000", L"yes unicode 1000 5000 -"},
      {L"keys=paste; template = {AccountNumber}{Tab}{ExpirationDate}{Enter}", L"yes paste 0 0 4"},
      {L"template=A{{}b{}}{card}x", L"yes layout 0 0 3"},
      {L"delay=1001", L"delay"},
      {L"enter-delay=-1", L"enter-delay"},
      {L"delay=12ms", L"delay"},
      {L"type=maybe", L"type"},
      {L"keys=scan", L"keys"},
      {L"speed=5", L"unknown"},
      {L"delay", L"\"delay\""},
      {L"delay=5;Delay=6", L"\"Delay\""},
      {L"template={Pin}", L"unknown"},
      {L"template= ", L"template"},
      {L"template={Card", L"unbalanced"},
      {L"template=Card}", L"unbalanced"},
      {L"template={a{Card}", L"unbalanced"},
      {L"template=x\by", L"a"},  // a control character would type Backspace
  };
  for (const RuleRow& row : rows) {
    EXPECT_EQ(Summary(wedge::ParseTypingRule(row.data)), row.read) << std::string(row.data.begin(), row.data.end());
  }
}

TEST(TypingRule, TheProgramsOwnRuleElseTheStarOne) {
  const std::vector<wedge::StoredRule> rules = {
      {L"*", L"type=no"}, {L"WFICA32.EXE", L"delay=12"}, {L"mstsc.exe", std::nullopt}};
  EXPECT_EQ(wedge::FindRule(rules, L"wfica32.exe"), &rules[1]);
  EXPECT_EQ(wedge::FindRule(rules, L"notepad.exe"), &rules[0]);
  EXPECT_EQ(wedge::FindRule(rules, L""), &rules[0]);
  EXPECT_EQ(wedge::FindRule({rules[2]}, L"notepad.exe"), nullptr);
}

// What a template types for a test card: Tab as '\t', Enter as '\n'; or the field it lacks.
struct RenderRow {
  std::wstring form;
  bool with_track1;
  std::wstring typed;
};

TEST(TypingRule, RendersTheTemplateOrNamesTheFieldTheCardLacks) {
  const std::wstring track1 = L"B4111111111111111^DOE/JOHN^2912101000000";
  const std::wstring track2 = L"4111111111111111=29121010000000000000";
  const RenderRow rows[] = {
      {L"{AccountNumber}{Tab}{ExpirationDate}{Enter}", true, L"4111111111111111\t2912\n"},
      {L"<{Card}>{{}{}}", true, L"<;1?\n>{}"},
      {L"{Surname}/{FirstName} {ServiceCode}", true, L"DOE/JOHN 101"},
      {L"{ServiceCode}{Track2}", false, L"1014111111111111111=29121010000000000000"},
      {L"x{Track1}", false, L"Track1"},
      {L"{FirstName}", false, L"FirstName"},
  };
  const std::vector<KeyStroke> card = {{false, L';', 0}, {false, L'1', 0}, {false, L'?', 0}, {true, 0, 0}};
  for (const RenderRow& row : rows) {
    wedge::CardTexts texts;
    texts[CardField::AccountNumber] = L"4111111111111111";
    texts[CardField::ExpirationDate] = L"2912";
    texts[CardField::Track2] = track2;
    if (row.with_track1) {
      texts[CardField::Track1] = track1;
      texts[CardField::FirstName] = L"JOHN";
      texts[CardField::Surname] = L"DOE";
    }
    texts[CardField::ServiceCode] = wedge::ServiceCodeOf(texts[CardField::Track1], track2);
    const wedge::RuleRead read = wedge::ParseTypingRule(L"template=" + row.form);
    ASSERT_TRUE(read.rule && read.rule->form);
    std::vector<KeyStroke> out;
    const std::optional<CardField> missing = wedge::RenderTemplate(*read.rule->form, card, texts, out);
    std::wstring typed;
    if (missing) typed = wedge::FieldName(*missing);
    for (const KeyStroke& k : out) typed += k.enter ? L'\n' : k.ch;
    EXPECT_EQ(typed, row.typed) << std::string(row.form.begin(), row.form.end());
  }
}

}  // namespace
