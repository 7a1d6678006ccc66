#include "wedge/typing_rule.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using wedge::CardField;
using wedge::KeyStroke;

// What a template types for a card with both tracks and no middle initial (Tab as '\t', Enter as
// '\n', the framed card as ";1?" and Enter), or "no" and the field the card lacks.
std::wstring Rendered(const std::vector<wedge::TemplatePiece>& form) {
  wedge::CardTexts texts;
  texts[CardField::Track1] = L"B4111111111111111^DOE/JOHN^2912101000000";
  texts[CardField::Track2] = L"4111111111111111=29121010000000000000";
  texts[CardField::AccountNumber] = L"4111111111111111";
  texts[CardField::ExpirationDate] = L"2912";
  texts[CardField::FirstName] = L"JOHN";
  texts[CardField::Surname] = L"DOE";
  texts[CardField::ServiceCode] = wedge::ServiceCodeOf(texts[CardField::Track1], texts[CardField::Track2]);
  const std::vector<KeyStroke> card = {{false, L';', 0}, {false, L'1', 0}, {false, L'?', 0}, {true, 0, 0}};
  std::vector<KeyStroke> out;
  if (const std::optional<CardField> missing = wedge::RenderTemplate(form, card, texts, out)) {
    return std::wstring(L"no ") + wedge::FieldName(*missing);
  }
  std::wstring typed;
  for (const KeyStroke& k : out) typed += k.enter ? L'\n' : k.ch;
  return typed;
}

// What a rule's data reads as: "type keys delay enter-delay" and what its template types, or the
// fault's first word.
std::wstring Summary(const wedge::RuleRead& r) {
  if (!r.rule) return r.fault.substr(0, r.fault.find(L' '));
  const wchar_t* keys[] = {L"layout", L"unicode", L"paste"};
  return std::wstring(r.rule->type ? L"yes " : L"no ") + keys[static_cast<int>(r.rule->keys)] +
         L" " + std::to_wstring(r.rule->delay_ms) + L" " + std::to_wstring(r.rule->enter_delay_ms) +
         L" " + (r.rule->form ? Rendered(*r.rule->form) : L"-");
}

TEST(TypingRule, ReadsEverySettingRendersItsTemplateAndFailsClosedOnAnythingElse) {
  const std::pair<std::wstring, std::wstring> rows[] = {
      {L"", L"yes layout 0 0 -"},
      {L" ; type = no ;; ", L"no layout 0 0 -"},
      {L"Keys=Unicode;delay=1000;enter-delay=5000", L"yes unicode 1000 5000 -"},
      {L"keys=paste; template = {AccountNumber}{Tab}{ExpirationDate}{Enter}", L"yes paste 0 0 4111111111111111\t2912\n"},
      {L"template=<{card}>{{}{}}", L"yes layout 0 0 <;1?\n>{}"},
      {L"template={ServiceCode}{Surname}/{FirstName}", L"yes layout 0 0 101DOE/JOHN"},
      {L"template=x{MiddleInitial}", L"yes layout 0 0 no MiddleInitial"},
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
  for (const auto& [data, read] : rows) {
    EXPECT_EQ(Summary(wedge::ParseTypingRule(data)), read) << std::string(data.begin(), data.end());
  }
}

TEST(TypingRule, ProgramNamesCompareAsWindowsFileNames) {
  const std::vector<wedge::StoredRule> rules = {{L"*", L"type=no"}, {L"kassé.exe", L""},
                                                {L"КАССА.EXE", L""}, {L"ΤΑΜΕΙΟ.exe", L""}};
  const std::pair<const wchar_t*, const wchar_t*> rows[] = {
      {L"KASSÉ.EXE", L"kassé.exe"}, {L"касса.exe", L"КАССА.EXE"}, {L"ταμειο.EXE", L"ΤΑΜΕΙΟ.exe"},
      {L"kasse.exe", L"*"}, {L"", L"*"}};
  for (const auto& [program, found] : rows) {
    EXPECT_EQ(wedge::FindRule(rules, program)->program, found);
  }
  EXPECT_FALSE(wedge::SameProgram(L"straße.exe", L"STRASSE.EXE"));  // one character for one
}

}  // namespace
