#pragma once
// Typing rules per program: how (and whether) a card is typed into the program in front, as a
// shop's IT writes them, one text per program file name.

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "wedge/keystroke_notation.h"

namespace wedge {

enum class KeysMode {
  Layout,   // the keys of the target's layout, as every card is typed without a rule
  Unicode,  // each character as a Unicode key event; Enter and Tab as keys
  Paste,    // the text through the clipboard and Ctrl+V; Enter and Tab as keys
};

// The card's texts a template names, besides the literal ones.
enum class CardField {
  Card,  // the card framed as the settings window says
  Track1,
  Track2,
  Track3,
  AccountNumber,
  ExpirationDate,
  FirstName,
  MiddleInitial,
  Surname,
  ServiceCode,
  // Every card's, worked out from the fields above.
  AccountNumberMasked,
  Last4,
  CardKind,
  // An ID card's (its tracks).
  IdNumber,
  DateOfBirth,
  Age,
  IdExpirationDate,
  IdExpired,
  State,
  City,
  Address,
  PostalCode,
  Sex,
  MiddleName,
  // An encrypting reader's, in hexadecimal.
  Track1Encrypted,
  Track2Encrypted,
  Track3Encrypted,
  KSN,
};
inline constexpr int kCardFields = 28;

// The field's name as a template writes it, without the braces ("AccountNumber").
const wchar_t* FieldName(CardField field);

// One piece of a template: literal text, a card field, or the Tab or Enter key.
struct TemplatePiece {
  enum class Kind { Text, Field, Tab, Enter } kind = Kind::Text;
  std::wstring text;                   // for Text
  CardField field = CardField::Card;  // for Field
};

// The kinds of card a rule takes, as bits: 1 << CardKind.
inline constexpr unsigned kEveryKind = 7;

struct TypingRule {
  bool type = true;
  KeysMode keys = KeysMode::Layout;
  unsigned delay_ms = 0;        // between one character's keys and the next
  unsigned enter_delay_ms = 0;  // more after each Enter
  std::optional<std::vector<TemplatePiece>> form;  // what is typed instead of the framed card
  std::wstring form_text;                          // the template as written, for editing it
  unsigned kinds = kEveryKind;    // the kinds of card typed into the program
  bool mask = false;              // a payment card's number typed as its first six and last four
  std::optional<unsigned> min_age;  // the age an ID card swiped into the program is checked for

  bool paced() const { return delay_ms > 0 || enter_delay_ms > 0; }
};

// A rule's data read: the rule, or what is wrong with it in a few words (for the event log; the
// data is IT's own text, never a card's).
struct RuleRead {
  std::optional<TypingRule> rule;
  std::wstring fault;
};

// Reads `name=value` settings separated by ';' (spaces around names and values, and empty
// items, ignored). Unknown names or values, numbers out of range, a setting given twice, an
// unknown field or unbalanced braces in the template: no rule, and the fault.
RuleRead ParseTypingRule(const std::wstring& data);

// One stored rule: the program's file name (or "*") and its data; no data when the stored value
// cannot be read as a rule, and then `fault` says why (empty: the value is not a text).
struct StoredRule {
  std::wstring program;
  std::optional<std::wstring> data;
  std::wstring fault = {};
};

// True when two program file names name one program: compared character by character without
// regard to case, as Windows compares file names ("kassé.exe" is "KASSÉ.EXE"; "ß" is not "SS").
bool SameProgram(const std::wstring& a, const std::wstring& b);

// The rule that applies to `program` (a file name, compared as SameProgram does): its own, else
// "*"; nullptr when neither is stored. An unknown program ("") takes "*".
const StoredRule* FindRule(const std::vector<StoredRule>& rules, const std::wstring& program);

// The card's own texts for a template, wiped when they go. Empty = the card does not have it.
struct CardTexts {
  std::array<std::wstring, kCardFields> values;  // by CardField; Card is not used
  std::optional<std::wstring> card_type;         // the control's CardType, where it reports one
  CardTexts() = default;
  CardTexts(const CardTexts&) = delete;
  CardTexts& operator=(const CardTexts&) = delete;
  ~CardTexts();
  void Clear();
  std::wstring& operator[](CardField f) { return values[static_cast<int>(f)]; }
  const std::wstring& operator[](CardField f) const { return values[static_cast<int>(f)]; }
};

// The service code of a card: the three digits after the expiry date of track 2, or else of
// track 1 (texts without sentinels); empty when neither holds one.
std::wstring ServiceCodeOf(const std::wstring& track1, const std::wstring& track2);

// The keys a template types for a card whose framed keys are `card`: literal text and fields
// character for character, {Tab} as the Tab character, {Enter} as Enter. When the card lacks a
// field the template names, nothing is rendered and that field is returned.
std::optional<CardField> RenderTemplate(const std::vector<TemplatePiece>& form,
                                        const std::vector<KeyStroke>& card,
                                        const CardTexts& texts, std::vector<KeyStroke>& out);

}  // namespace wedge
