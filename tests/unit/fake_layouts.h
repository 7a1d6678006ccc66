#pragma once
// Keyboard layouts as tables, and a window that types what the key events of a plan make on them:
// dead keys combine, Caps Lock inverts the keys it applies to, held modifiers change characters.

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "wedge/keystroke_plan.h"

namespace testing_fakes {

// One key: what it types plain, with Shift, with AltGr (0 where it types nothing).
struct FakeKey {
  std::uint8_t vk;
  wchar_t plain, shift, altgr;
  bool caps = false;  // Caps Lock acts on it as Shift
};

class FakeLayout : public wedge::KeyboardLayout {
 public:
  FakeLayout(std::string name, std::vector<FakeKey> keys, std::wstring dead)
      : name_(std::move(name)), keys_(std::move(keys)), dead_(std::move(dead)) {}

  std::optional<wedge::KeyChoice> VkKeyScan(wchar_t ch) override {
    ++scans;
    for (const FakeKey& k : keys_) {
      if (k.plain == ch) return wedge::KeyChoice{k.vk, 0};
      if (k.shift == ch) return wedge::KeyChoice{k.vk, wedge::kShiftBit};
      if (k.altgr == ch) return wedge::KeyChoice{k.vk, wedge::kCtrlBit | wedge::kAltBit};
    }
    return std::nullopt;
  }
  // Made up, but distinct for every key and never 0.
  std::uint16_t ScanCode(std::uint8_t vk) override { return static_cast<std::uint16_t>(0x100 + vk); }
  bool IsDeadKey(wchar_t ch) override { return dead_.find(ch) != std::wstring::npos; }

  const FakeKey* Key(std::uint8_t vk) const {
    for (const FakeKey& k : keys_) {
      if (k.vk == vk) return &k;
    }
    return nullptr;
  }
  bool Dead(wchar_t ch) const { return ch && dead_.find(ch) != std::wstring::npos; }
  const std::string& name() const { return name_; }

  int scans = 0;

 private:
  std::string name_;
  std::vector<FakeKey> keys_;
  std::wstring dead_;
};


// What a window receives from key events on a layout: its text, with "\n" for Enter and marks
// for what is not text: "<cmd>" a key pressed with Ctrl, Alt or Win held, "<menu>" Alt released
// alone (the menu bar opens), "<start>" a Win key released alone (the Start menu opens), "<dead>"
// a dead key combined with a letter.
struct TypedResult {
  std::wstring text;
  bool caps_lock = false;
  std::set<std::uint8_t> down;  // keys still down at the end
  bool bad_scan = false;        // a key event without its scan code
};

namespace layout_detail {

inline std::vector<FakeKey> Letters(bool qwertz_alt = false) {
  std::vector<FakeKey> keys;
  for (wchar_t c = L'A'; c <= L'Z'; ++c) {
    keys.push_back({static_cast<std::uint8_t>(c), static_cast<wchar_t>(c - L'A' + L'a'), c, 0, true});
  }
  if (qwertz_alt) {
    for (FakeKey& k : keys) {
      if (k.vk == 'Q') k.altgr = L'@';
      if (k.vk == 'E') k.altgr = L'\u20ac';
      if (k.vk == 'M') k.altgr = L'\u00b5';
    }
  }
  return keys;
}

inline void Add(std::vector<FakeKey>& keys, std::initializer_list<FakeKey> more) {
  keys.insert(keys.end(), more);
}

// Digits typed plain, with the characters of `shifted` over them (keys 1..9, 0).
inline void Digits(std::vector<FakeKey>& keys, const wchar_t* shifted) {
  for (int i = 0; i < 10; ++i) {
    const wchar_t d = static_cast<wchar_t>(L'0' + (i + 1) % 10);
    keys.push_back({static_cast<std::uint8_t>(d), d, shifted[i], 0});
  }
}

// The keys of the US layout.
inline std::vector<FakeKey> UsKeys() {
  std::vector<FakeKey> keys = Letters();
  Digits(keys, L"!@#$%^&*()");
  Add(keys, {{0x20, L' ', L' ', 0},    {0xBA, L';', L':', 0}, {0xBB, L'=', L'+', 0},
             {0xBC, L',', L'<', 0},    {0xBD, L'-', L'_', 0}, {0xBE, L'.', L'>', 0},
             {0xBF, L'/', L'?', 0},    {0xC0, L'`', L'~', 0}, {0xDB, L'[', L'{', 0},
             {0xDC, L'\\', L'|', 0},   {0xDD, L']', L'}', 0}, {0xDE, L'\'', L'"', 0}});
  return keys;
}

}  // namespace layout_detail

inline FakeLayout UsEnglish() { return FakeLayout("UsEnglish", layout_detail::UsKeys(), L""); }

inline FakeLayout UsInternational() {
  std::vector<FakeKey> keys = layout_detail::UsKeys();
  for (FakeKey& k : keys) {
    if (k.vk == 'S') k.altgr = L'\u00df';
    if (k.vk == 'E') k.altgr = L'\u00e9';
  }
  return FakeLayout("UsInternational", keys, L"'\"~^`");
}

inline FakeLayout UkEnglish() {
  std::vector<FakeKey> keys = layout_detail::Letters();
  layout_detail::Digits(keys, L"!\"\u00a3$%^&*()");
  for (FakeKey& k : keys) {
    if (k.vk == '4') k.altgr = L'\u20ac';
  }
  layout_detail::Add(keys, {{0x20, L' ', L' ', 0},    {0xBA, L';', L':', 0},      {0xBB, L'=', L'+', 0},
             {0xBC, L',', L'<', 0},    {0xBD, L'-', L'_', 0},      {0xBE, L'.', L'>', 0},
             {0xBF, L'/', L'?', 0},    {0xC0, L'\'', L'@', 0},     {0xDB, L'[', L'{', 0},
             {0xDC, L'\\', L'|', 0},   {0xDD, L']', L'}', 0},      {0xDE, L'#', L'~', 0},
             {0xDF, L'`', L'\u00ac', L'\u00a6'}});
  return FakeLayout("UkEnglish", keys, L"");
}

inline FakeLayout German() {
  std::vector<FakeKey> keys = layout_detail::Letters(true);
  layout_detail::Digits(keys, L"!\"\u00a7$%&/()=");
  for (FakeKey& k : keys) {
    if (k.vk == '2') k.altgr = L'\u00b2';
    if (k.vk == '7') k.altgr = L'{';
    if (k.vk == '8') k.altgr = L'[';
    if (k.vk == '9') k.altgr = L']';
    if (k.vk == '0') k.altgr = L'}';
  }
  layout_detail::Add(keys, {{0x20, L' ', L' ', 0},
             {0xDB, L'\u00df', L'?', L'\\'},
             {0xDD, L'\u00b4', L'`', 0},           // dead
             {0xDC, L'^', L'\u00b0', 0},           // "^" dead
             {0xBA, L'\u00fc', L'\u00dc', 0, true},
             {0xC0, L'\u00f6', L'\u00d6', 0, true},
             {0xDE, L'\u00e4', L'\u00c4', 0, true},
             {0xBB, L'+', L'*', L'~'},
             {0xBF, L'#', L'\'', 0},
             {0xBC, L',', L';', 0},
             {0xBE, L'.', L':', 0},
             {0xBD, L'-', L'_', 0},
             {0xE2, L'<', L'>', L'|'}});
  return FakeLayout("German", keys, L"^\u00b4`");
}

inline FakeLayout French() {
  std::vector<FakeKey> keys = layout_detail::Letters(true);
  for (FakeKey& k : keys) k.altgr = k.vk == 'E' ? L'\u20ac' : 0;
  // The digit row: symbols plain, digits with Shift; Caps Lock gives the digits too.
  const wchar_t plain[] = L"&\u00e9\"'(-\u00e8_\u00e7\u00e0";
  const wchar_t altgr[] = {0, L'~', L'#', L'{', L'[', L'|', L'`', L'\\', L'^', L'@'};
  for (int i = 0; i < 10; ++i) {
    const wchar_t d = static_cast<wchar_t>(L'0' + (i + 1) % 10);
    keys.push_back({static_cast<std::uint8_t>(d), plain[i], d, altgr[i], true});
  }
  layout_detail::Add(keys, {{0x20, L' ', L' ', 0},
             {0xDB, L')', L'\u00b0', L']'},
             {0xBB, L'=', L'+', L'}'},
             {0xDD, L'^', L'\u00a8', 0},  // dead, both
             {0xBA, L'$', L'\u00a3', L'\u00a4'},
             {0xC0, L'\u00f9', L'%', 0, true},
             {0xDC, L'*', L'\u00b5', 0},
             {0xBC, L',', L'?', 0},
             {0xBE, L';', L'.', 0},
             {0xBF, L':', L'/', 0},
             {0xDF, L'!', L'\u00a7', 0},
             {0xE2, L'<', L'>', 0}});
  // "~" and "`" on AltGr are dead too; the plain "^" comes first, so AltGr+9 is never chosen.
  return FakeLayout("French", keys, L"^\u00a8~`");
}

inline TypedResult TypeOn(const FakeLayout& layout, const std::vector<wedge::KeyEvent>& events,
                   const wedge::KeyboardState& before) {
  using namespace wedge;
  TypedResult r;
  r.caps_lock = before.caps_lock;
  r.down.insert(before.held.begin(), before.held.end());
  wchar_t dead = 0;
  bool alt_used = false;  // a key went down since Alt did
  bool win_used = false;  // a key went down since a Win key did

  auto is_down = [&](std::uint8_t a, std::uint8_t b) { return r.down.count(a) || r.down.count(b); };
  for (const KeyEvent& e : events) {
    if (e.unicode) {
      if (!e.up) {
        alt_used = win_used = true;
        if (dead) r.text += dead, dead = 0;
        r.text += static_cast<wchar_t>(e.scan);
      }
      continue;
    }
    const auto key = static_cast<std::uint8_t>(e.vk);
    if (e.up) {
      if ((key == vk::kLMenu || key == vk::kRMenu) && r.down.count(key) && !alt_used &&
          !is_down(vk::kLControl, vk::kRControl)) {
        r.text += L"<menu>";
      }
      if ((key == vk::kLWin || key == vk::kRWin) && r.down.count(key) && !win_used) {
        r.text += L"<start>";
      }
      r.down.erase(key);
      continue;
    }
    if (e.scan == 0 && key != vk::kMask) r.bad_scan = true;
    const bool repeat = r.down.count(key) > 0;
    r.down.insert(key);
    if (key == vk::kLMenu || key == vk::kRMenu) {
      if (!repeat) alt_used = false;
      win_used = true;
      continue;
    }
    alt_used = true;
    if (key == vk::kLWin || key == vk::kRWin) {
      if (!repeat) win_used = false;
      continue;
    }
    win_used = true;
    if (key == vk::kCapital) {
      r.caps_lock = !r.caps_lock;
      continue;
    }
    if (key == vk::kLShift || key == vk::kRShift || key == vk::kLControl || key == vk::kRControl ||
        key == vk::kLWin || key == vk::kRWin || key == vk::kMask) {
      continue;
    }
    const bool shift = is_down(vk::kLShift, vk::kRShift);
    const bool ctrl = is_down(vk::kLControl, vk::kRControl);
    const bool alt = is_down(vk::kLMenu, vk::kRMenu);
    const bool win = is_down(vk::kLWin, vk::kRWin);
    if (win || ctrl != alt) {
      r.text += L"<cmd>";
      continue;
    }
    if (key == vk::kReturn || key == vk::kTab) {
      r.text += key == vk::kReturn ? L'\n' : L'\t';
      continue;
    }
    const FakeKey* k = layout.Key(key);
    if (!k || e.scan != 0x100 + key) {
      r.bad_scan = true;
      continue;
    }
    wchar_t ch;
    if (ctrl && alt) {
      ch = k->altgr;
    } else {
      ch = (shift != (k->caps && r.caps_lock)) ? k->shift : k->plain;
    }
    if (!ch) continue;
    if (dead) {
      const bool letter = (ch >= L'a' && ch <= L'z') || (ch >= L'A' && ch <= L'Z');
      r.text += letter ? std::wstring(L"<dead>") : std::wstring{dead, ch};
      dead = 0;
    } else if (layout.Dead(ch)) {
      dead = ch;
    } else {
      r.text += ch;
    }
  }
  if (dead) r.text += dead;
  return r;
}

}  // namespace testing_fakes
