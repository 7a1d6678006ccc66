#include "wedge/typing_rule.h"

#include <cwctype>

#include "wedge/wipe.h"

namespace wedge {
namespace {

constexpr const wchar_t* kFieldNames[kCardFields] = {
    L"Card",          L"Track1",    L"Track2",        L"Track3",  L"AccountNumber",
    L"ExpirationDate", L"FirstName", L"MiddleInitial", L"Surname", L"ServiceCode",
    L"AccountNumberMasked", L"Last4", L"CardKind", L"IdNumber", L"DateOfBirth", L"Age",
    L"IdExpirationDate", L"IdExpired", L"State", L"City", L"Address", L"PostalCode", L"Sex",
    L"MiddleName", L"Track1Encrypted", L"Track2Encrypted", L"Track3Encrypted", L"KSN"};
constexpr const wchar_t* kKindNames[] = {L"bank", L"id", L"other"};

std::wstring Trim(const std::wstring& s) {
  const std::size_t first = s.find_first_not_of(L" \t");
  if (first == std::wstring::npos) return {};
  return s.substr(first, s.find_last_not_of(L" \t") - first + 1);
}

bool SameText(const std::wstring& a, const std::wstring& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (std::towlower(a[i]) != std::towlower(b[i])) return false;
  }
  return true;
}

// The capital of a letter, one character for one, in the scripts a program's file name is written
// in: Latin, Greek, Cyrillic, Armenian, and the full-width Latin letters.
wchar_t UpperCase(wchar_t c) {
  const unsigned u = c;
  auto pairs = [&](unsigned first, unsigned last, bool upper_even) {
    return u >= first && u <= last && ((u & 1) == (upper_even ? 1u : 0u));
  };
  if ((u >= 'a' && u <= 'z') || (u >= 0xE0 && u <= 0xFE && u != 0xF7)) return static_cast<wchar_t>(u - 32);
  if (u == 0xFF) return static_cast<wchar_t>(0x178);
  if (u == 0xB5) return static_cast<wchar_t>(0x39C);
  if (pairs(0x100, 0x137, true) || pairs(0x14A, 0x177, true) || pairs(0x1DE, 0x1EF, true) ||
      pairs(0x1F8, 0x21F, true) || pairs(0x222, 0x233, true) || pairs(0x460, 0x481, true) ||
      pairs(0x48A, 0x4BF, true) || pairs(0x4D0, 0x52F, true) || pairs(0x1E00, 0x1E95, true) ||
      pairs(0x1EA0, 0x1EFF, true)) {
    return static_cast<wchar_t>(u - 1);
  }
  if (pairs(0x139, 0x148, false) || pairs(0x179, 0x17E, false) || pairs(0x1CD, 0x1DC, false) ||
      pairs(0x4C1, 0x4CE, false)) {
    return static_cast<wchar_t>(u - 1);
  }
  if (u == 0x3C2) return static_cast<wchar_t>(0x3A3);  // the final sigma
  if ((u >= 0x3B1 && u <= 0x3CB) || (u >= 0x430 && u <= 0x44F) || (u >= 0xFF41 && u <= 0xFF5A)) {
    return static_cast<wchar_t>(u - 32);
  }
  if (u == 0x3AC) return static_cast<wchar_t>(0x386);
  if (u >= 0x3AD && u <= 0x3AF) return static_cast<wchar_t>(u - 37);
  if (u == 0x3CC) return static_cast<wchar_t>(0x38C);
  if (u == 0x3CD || u == 0x3CE) return static_cast<wchar_t>(u - 63);
  if (u >= 0x450 && u <= 0x45F) return static_cast<wchar_t>(u - 80);
  if (u == 0x4CF) return static_cast<wchar_t>(0x4C0);
  if (u >= 0x561 && u <= 0x586) return static_cast<wchar_t>(u - 48);
  return c;
}

// A decimal number of at most `max`; nothing for anything else.
std::optional<unsigned> Number(const std::wstring& text, unsigned max) {
  if (text.empty() || text.size() > 5) return std::nullopt;
  unsigned n = 0;
  for (wchar_t c : text) {
    if (c < L'0' || c > L'9') return std::nullopt;
    n = n * 10 + static_cast<unsigned>(c - L'0');
  }
  if (n > max) return std::nullopt;
  return n;
}

// The template's pieces; nothing (and the fault) when a brace is unbalanced or a field unknown.
std::optional<std::vector<TemplatePiece>> ParseTemplate(const std::wstring& text,
                                                        std::wstring& fault) {
  std::vector<TemplatePiece> pieces;
  auto literal = [&](wchar_t c) {
    if (pieces.empty() || pieces.back().kind != TemplatePiece::Kind::Text) {
      pieces.push_back(TemplatePiece{});
    }
    pieces.back().text += c;
  };
  for (std::size_t i = 0; i < text.size();) {
    const wchar_t c = text[i];
    if (c == L'}') {
      fault = L"unbalanced braces in the template";
      return std::nullopt;
    }
    if (c < 0x20 || (c >= 0x7F && c < 0xA0)) {
      // Typed, a control character would be a key of its own (Backspace, Escape...).
      fault = L"a control character in the template (write {Tab} or {Enter} for those keys)";
      return std::nullopt;
    }
    if (c != L'{') {
      literal(c);
      ++i;
      continue;
    }
    if (text.compare(i, 3, L"{{}") == 0 || text.compare(i, 3, L"{}}") == 0) {
      literal(text[i + 1]);
      i += 3;
      continue;
    }
    const std::size_t close = text.find(L'}', i + 1);
    const std::size_t open = text.find(L'{', i + 1);
    if (close == std::wstring::npos || (open != std::wstring::npos && open < close)) {
      fault = L"unbalanced braces in the template";
      return std::nullopt;
    }
    const std::wstring name = text.substr(i + 1, close - i - 1);
    TemplatePiece piece;
    if (SameText(name, L"Tab")) {
      piece.kind = TemplatePiece::Kind::Tab;
    } else if (SameText(name, L"Enter")) {
      piece.kind = TemplatePiece::Kind::Enter;
    } else {
      piece.kind = TemplatePiece::Kind::Field;
      int f = 0;
      while (f < kCardFields && !SameText(name, kFieldNames[f])) ++f;
      if (f == kCardFields) {
        fault = L"unknown field {" + name + L"} in the template";
        return std::nullopt;
      }
      piece.field = static_cast<CardField>(f);
    }
    pieces.push_back(std::move(piece));
    i = close + 1;
  }
  return pieces;
}

// Digits [from, from + count) of `s`, when they are all digits.
std::wstring DigitsAt(const std::wstring& s, std::size_t from, std::size_t count) {
  if (from == std::wstring::npos || from + count > s.size()) return {};
  for (std::size_t i = from; i < from + count; ++i) {
    if (s[i] < L'0' || s[i] > L'9') return {};
  }
  return s.substr(from, count);
}

}  // namespace

const wchar_t* FieldName(CardField field) { return kFieldNames[static_cast<int>(field)]; }

RuleRead ParseTypingRule(const std::wstring& data) {
  RuleRead read;
  TypingRule rule;
  std::vector<std::wstring> seen;
  std::size_t start = 0;
  while (start <= data.size()) {
    std::size_t end = data.find(L';', start);
    if (end == std::wstring::npos) end = data.size();
    const std::wstring item = Trim(data.substr(start, end - start));
    start = end + 1;
    if (item.empty()) continue;
    const std::size_t eq = item.find(L'=');
    if (eq == std::wstring::npos) {
      read.fault = L"\"" + item + L"\" is not name=value";
      return read;
    }
    const std::wstring name = Trim(item.substr(0, eq));
    const std::wstring value = Trim(item.substr(eq + 1));
    for (const std::wstring& earlier : seen) {
      if (SameText(earlier, name)) {
        read.fault = L"\"" + name + L"\" is given twice";
        return read;
      }
    }
    seen.push_back(name);
    if (SameText(name, L"type")) {
      if (SameText(value, L"yes")) rule.type = true;
      else if (SameText(value, L"no")) rule.type = false;
      else read.fault = L"type must be yes or no";
    } else if (SameText(name, L"keys")) {
      if (SameText(value, L"layout")) rule.keys = KeysMode::Layout;
      else if (SameText(value, L"unicode")) rule.keys = KeysMode::Unicode;
      else if (SameText(value, L"paste")) rule.keys = KeysMode::Paste;
      else read.fault = L"keys must be layout, unicode or paste";
    } else if (SameText(name, L"delay")) {
      const std::optional<unsigned> ms = Number(value, 1000);
      if (ms) rule.delay_ms = *ms;
      else read.fault = L"delay must be 0 to 1000 (milliseconds)";
    } else if (SameText(name, L"enter-delay")) {
      const std::optional<unsigned> ms = Number(value, 5000);
      if (ms) rule.enter_delay_ms = *ms;
      else read.fault = L"enter-delay must be 0 to 5000 (milliseconds)";
    } else if (SameText(name, L"cards")) {
      rule.kinds = 0;
      for (std::size_t from = 0; from <= value.size();) {
        std::size_t comma = value.find(L',', from);
        if (comma == std::wstring::npos) comma = value.size();
        const std::wstring kind = Trim(value.substr(from, comma - from));
        from = comma + 1;
        unsigned bit = 0;
        for (unsigned k = 0; k < 3; ++k) {
          if (SameText(kind, kKindNames[k])) bit = 1u << k;
        }
        if (!bit) {
          read.fault = L"cards must list bank, id or other, separated by commas";
          break;
        }
        rule.kinds |= bit;
      }
    } else if (SameText(name, L"mask")) {
      if (SameText(value, L"yes")) rule.mask = true;
      else if (SameText(value, L"no")) rule.mask = false;
      else read.fault = L"mask must be yes or no";
    } else if (SameText(name, L"min-age")) {
      rule.min_age = Number(value, 99);
      if (!rule.min_age) read.fault = L"min-age must be 0 to 99 (years)";
    } else if (SameText(name, L"template")) {
      // Most likely a value that lost its text: typing nothing, without a cue, would look like a
      // reader that does not work.
      if (value.empty()) read.fault = L"template is empty";
      else rule.form = ParseTemplate(value, read.fault);
      rule.form_text = value;
    } else {
      read.fault = L"unknown setting \"" + name + L"\"";
    }
    if (!read.fault.empty()) return read;
  }
  read.rule = std::move(rule);
  return read;
}

bool SameProgram(const std::wstring& a, const std::wstring& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (UpperCase(a[i]) != UpperCase(b[i])) return false;
  }
  return true;
}

const StoredRule* FindRule(const std::vector<StoredRule>& rules, const std::wstring& program) {
  const StoredRule* any = nullptr;
  for (const StoredRule& r : rules) {
    if (!program.empty() && SameProgram(r.program, program)) return &r;
    if (r.program == L"*") any = &r;
  }
  return any;
}

CardTexts::~CardTexts() { Clear(); }

void CardTexts::Clear() {
  for (std::wstring& v : values) Wipe(v);
  card_type.reset();
}

std::wstring ServiceCodeOf(const std::wstring& track1, const std::wstring& track2) {
  // Track 2: PAN '=' YYMM SSS ...; track 1: 'B' PAN '^' NAME '^' YYMM SSS ...
  const std::size_t sep2 = track2.find(L'=');
  std::wstring code = DigitsAt(track2, sep2 == std::wstring::npos ? sep2 : sep2 + 5, 3);
  if (!code.empty()) return code;
  const std::size_t first = track1.find(L'^');
  const std::size_t second = first == std::wstring::npos ? first : track1.find(L'^', first + 1);
  return DigitsAt(track1, second == std::wstring::npos ? second : second + 5, 3);
}

std::optional<CardField> RenderTemplate(const std::vector<TemplatePiece>& form,
                                        const std::vector<KeyStroke>& card,
                                        const CardTexts& texts, std::vector<KeyStroke>& out) {
  Wipe(out);
  std::size_t size = 0;
  for (const TemplatePiece& p : form) {
    if (p.kind == TemplatePiece::Kind::Field && p.field != CardField::Card && texts[p.field].empty()) {
      return p.field;
    }
    size += p.kind == TemplatePiece::Kind::Text    ? p.text.size()
            : p.kind == TemplatePiece::Kind::Field ? (p.field == CardField::Card ? card.size()
                                                                                 : texts[p.field].size())
                                                   : 1;
  }
  out.reserve(size);  // no reallocation leaves a copy behind
  auto chars = [&](const std::wstring& s) {
    for (wchar_t c : s) out.push_back(KeyStroke{false, c, 0});
  };
  for (const TemplatePiece& p : form) {
    switch (p.kind) {
      case TemplatePiece::Kind::Text: chars(p.text); break;
      case TemplatePiece::Kind::Tab: out.push_back(KeyStroke{false, L'\t', 0}); break;
      case TemplatePiece::Kind::Enter: out.push_back(KeyStroke{true, 0, 0}); break;
      case TemplatePiece::Kind::Field:
        if (p.field == CardField::Card) out.insert(out.end(), card.begin(), card.end());
        else chars(texts[p.field]);
        break;
    }
  }
  return std::nullopt;
}

}  // namespace wedge
