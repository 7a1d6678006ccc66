#include "shell/rule_draft.h"

#include <vector>

#include "wedge/card_kind.h"
#include "wedge/keystroke_notation.h"
#include "wedge/wipe.h"

namespace shell {
namespace {

// The kinds as the window names them, in the order of the rule's bits.
constexpr const wchar_t* kKindWords[] = {L"payment", L"ID", L"the shop's own"};

std::wstring Joined(const std::vector<std::wstring>& parts, const wchar_t* separator) {
  std::wstring text;
  for (const std::wstring& part : parts) text += (text.empty() ? L"" : separator) + part;
  return text;
}

// The kinds a rule's bits hold, in their order: as a rule names them, or in the window's words.
std::vector<std::wstring> Kinds(unsigned kinds, bool words) {
  std::vector<std::wstring> names;
  for (unsigned k = 0; k < 3; ++k) {
    if (!(kinds & (1u << k))) continue;
    names.push_back(words ? kKindWords[k] : wedge::CardKindName(static_cast<wedge::CardKind>(k)));
  }
  return names;
}

// Seconds with one decimal ("2.4").
std::wstring Seconds(unsigned ms) {
  const unsigned tenths = (ms + 50) / 100;
  return std::to_wstring(tenths / 10) + L"." + std::to_wstring(tenths % 10);
}

// The test card's tracks and fields, as a reader reports them.
constexpr wchar_t kTrack1[] = L"B4111111111111111^DOE/JOHN^2912101000000000";
constexpr wchar_t kTrack2[] = L"4111111111111111=29121010000000000000";

void TestCardTexts(wedge::CardTexts& t) {
  using wedge::CardField;
  t[CardField::Track1] = kTrack1;
  t[CardField::Track2] = kTrack2;
  t[CardField::AccountNumber] = L"4111111111111111";
  t[CardField::ExpirationDate] = L"2912";
  t[CardField::FirstName] = L"JOHN";
  t[CardField::Surname] = L"DOE";
  t[CardField::ServiceCode] = L"101";
  t[CardField::AccountNumberMasked] = wedge::MaskAccountNumber(L"4111111111111111");
  t[CardField::Last4] = L"1111";
  t[CardField::CardKind] = L"bank";
}

}  // namespace

std::optional<RuleDraft> DraftOf(const wedge::StoredRule& stored, std::wstring& fault) {
  if (!stored.data) {
    fault = stored.fault.empty() ? L"the value is not a text (REG_SZ)" : stored.fault;
    return std::nullopt;
  }
  const wedge::RuleRead read = wedge::ParseTypingRule(*stored.data);
  if (!read.rule) {
    fault = read.fault;
    return std::nullopt;
  }
  RuleDraft draft;
  draft.program = stored.program;
  draft.type = read.rule->type;
  draft.keys = read.rule->keys;
  draft.delay_ms = read.rule->delay_ms;
  draft.enter_delay_ms = read.rule->enter_delay_ms;
  draft.kinds = read.rule->kinds;
  draft.mask = read.rule->mask;
  draft.min_age = read.rule->min_age;
  draft.form = read.rule->form_text;
  return draft;
}

std::wstring TextOf(const RuleDraft& d) {
  std::vector<std::wstring> items;
  if (!d.type) items.push_back(L"type=no");
  if (d.keys == wedge::KeysMode::Unicode) items.push_back(L"keys=unicode");
  if (d.keys == wedge::KeysMode::Paste) items.push_back(L"keys=paste");
  if (d.delay_ms) items.push_back(L"delay=" + std::to_wstring(d.delay_ms));
  if (d.enter_delay_ms) items.push_back(L"enter-delay=" + std::to_wstring(d.enter_delay_ms));
  if (d.kinds != wedge::kEveryKind) items.push_back(L"cards=" + Joined(Kinds(d.kinds, false), L","));
  if (d.mask) items.push_back(L"mask=yes");
  if (d.min_age) items.push_back(L"min-age=" + std::to_wstring(*d.min_age));
  if (!d.form.empty()) items.push_back(L"template=" + d.form);
  return Joined(items, L"; ");
}

std::wstring ProgramLabel(const std::wstring& program) {
  return program == L"*" ? L"Every other program" : program;
}

std::wstring Describe(const wedge::StoredRule& stored) {
  std::wstring fault;
  const std::optional<RuleDraft> d = DraftOf(stored, fault);
  if (!d) return L"cannot be read: " + fault;
  if (!d->type) return L"never typed";
  std::vector<std::wstring> words;
  if (d->keys == wedge::KeysMode::Paste) words.push_back(L"pasted");
  if (d->keys == wedge::KeysMode::Unicode) words.push_back(L"as Unicode characters");
  if (d->delay_ms) words.push_back(std::to_wstring(d->delay_ms) + L" ms between keys");
  if (d->enter_delay_ms) words.push_back(std::to_wstring(d->enter_delay_ms) + L" ms after Enter");
  if (d->kinds != wedge::kEveryKind) {
    words.push_back(d->kinds ? L"only " + Joined(Kinds(d->kinds, true), L", ") + L" cards" : L"no card");
  }
  if (d->mask) words.push_back(L"payment card numbers masked");
  if (d->min_age) words.push_back(L"ID cards checked for age " + std::to_wstring(*d->min_age));
  if (!d->form.empty()) words.push_back(L"template: " + d->form);
  return words.empty() ? L"typed as without a rule" : Joined(words, L", ");
}

Preview PreviewOf(const RuleDraft& draft, const Framing& framing) {
  Preview preview;
  const wedge::RuleRead read = wedge::ParseTypingRule(TextOf(draft));
  if (!read.rule) {
    preview.note = L"This rule cannot be read: " + read.fault + L".";
    return preview;
  }
  const wedge::TypingRule& rule = *read.rule;
  if (!rule.type) {
    preview.note = L"Not typed: no card is typed into this program.";
    return preview;
  }
  if (!(rule.kinds & 1u)) {
    preview.note = L"Not typed: this program takes no payment cards such as the test card.";
    return preview;
  }
  wedge::CardTexts texts;
  TestCardTexts(texts);
  if (rule.mask) {
    using wedge::CardField;
    texts[CardField::Track1] = wedge::MaskBankTrack(1, texts[CardField::Track1]);
    texts[CardField::Track2] = wedge::MaskBankTrack(2, texts[CardField::Track2]);
    texts[CardField::AccountNumber] = wedge::MaskAccountNumber(texts[CardField::AccountNumber]);
  }
  // The card framed as the settings window says.
  std::vector<wedge::KeyStroke> card;
  const wedge::CardField tracks[] = {wedge::CardField::Track1, wedge::CardField::Track2};
  const wchar_t starts[] = {L'%', L';'};
  for (int t = 0; t < 2; ++t) {
    if (!framing.tracks[t]) continue;
    if (framing.sentinels) card.push_back({false, starts[t], 0});
    for (wchar_t c : texts[tracks[t]]) card.push_back({false, c, 0});
    if (framing.sentinels) card.push_back({false, L'?', 0});
    if (framing.enter_per_track) card.push_back({true, 0, 0});
  }
  if (framing.enter_per_card) card.push_back({true, 0, 0});
  std::vector<wedge::KeyStroke> keys;
  if (rule.form) {
    if (const std::optional<wedge::CardField> missing = wedge::RenderTemplate(*rule.form, card, texts, keys)) {
      preview.note = std::wstring(L"Not typed: the test card has no {") + wedge::FieldName(*missing) + L"}.";
      return preview;
    }
  } else {
    keys = card;
  }
  unsigned enters = 0;
  for (const wedge::KeyStroke& k : keys) {
    preview.typed += k.enter ? L'\u21B5' : k.ch == L'\t' ? L'\u2192' : k.ch;
    enters += k.enter;
  }
  const unsigned pauses = keys.empty() ? 0 : static_cast<unsigned>(keys.size() - 1);
  const bool last_enter = !keys.empty() && keys.back().enter;
  const unsigned ms = rule.keys == wedge::KeysMode::Paste
                          ? 0
                          : pauses * rule.delay_ms + (enters - (last_enter ? 1 : 0)) * rule.enter_delay_ms;
  preview.note = ms ? L"Typed in about " + Seconds(ms) + L" s." : L"Typed at once.";
  return preview;
}

}  // namespace shell
