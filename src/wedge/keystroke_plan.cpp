#include "wedge/keystroke_plan.h"

#include <map>

namespace wedge {
namespace {

// Scan codes of the keys the plan presses itself; they are the same on every PC keyboard.
struct FixedKey {
  std::uint8_t vk;
  std::uint16_t scan;
  bool extended;
};
constexpr FixedKey kFixedKeys[] = {
    {vk::kTab, 0x0F, false},     {vk::kReturn, 0x1C, false},   {vk::kCapital, 0x3A, false},
    {vk::kLShift, 0x2A, false},  {vk::kRShift, 0x36, false},   {vk::kLControl, 0x1D, false},
    {vk::kRControl, 0x1D, true}, {vk::kLMenu, 0x38, false},    {vk::kRMenu, 0x38, true},
    {vk::kLWin, 0x5B, true},     {vk::kRWin, 0x5C, true},      {vk::kMask, 0, false},
};

class Planner {
 public:
  explicit Planner(KeyboardLayout& layout) : layout_(layout) {}

  void Fixed(std::uint8_t key, bool up) {
    for (const FixedKey& k : kFixedKeys) {
      if (k.vk == key) {
        events_.push_back(KeyEvent{k.vk, k.scan, up, false, k.extended});
        return;
      }
    }
  }
  void Tap(std::uint8_t key) {
    Fixed(key, false);
    Fixed(key, true);
  }
  void TapKey(std::uint8_t key) {
    const std::uint16_t scan = layout_.ScanCode(key);
    events_.push_back(KeyEvent{key, scan, false, false, false});
    events_.push_back(KeyEvent{key, scan, true, false, false});
  }
  void TapUnicode(wchar_t ch) {
    events_.push_back(KeyEvent{0, static_cast<std::uint16_t>(ch), false, true, false});
    events_.push_back(KeyEvent{0, static_cast<std::uint16_t>(ch), true, true, false});
  }

  // Brings the modifiers the plan holds to `want` (ShiftStateBits). Alt goes with Ctrl as AltGr
  // (left Ctrl and right Alt, what that key sends), alone as the left Alt key.
  void Modifiers(unsigned want) {
    const std::uint8_t want_alt =
        !(want & kAltBit) ? 0 : (want & kCtrlBit) ? vk::kRMenu : vk::kLMenu;
    if (alt_ && alt_ != want_alt) {
      Fixed(alt_, true);
      alt_ = 0;
    }
    const bool want_ctrl = (want & kCtrlBit) != 0;
    const bool want_shift = (want & kShiftBit) != 0;
    if (ctrl_ && !want_ctrl) {
      Fixed(vk::kLControl, true);
      ctrl_ = false;
    }
    if (shift_ && !want_shift) {
      Fixed(vk::kLShift, true);
      shift_ = false;
    }
    if (!shift_ && want_shift) {
      Fixed(vk::kLShift, false);
      shift_ = true;
    }
    if (!ctrl_ && want_ctrl) {
      Fixed(vk::kLControl, false);
      ctrl_ = true;
    }
    if (!alt_ && want_alt) {
      Fixed(want_alt, false);
      alt_ = want_alt;
    }
  }

  // The key that types `ch` as a character of its own; nothing for a Unicode character.
  std::optional<KeyChoice> KeyFor(wchar_t ch) {
    auto it = keys_.find(ch);
    if (it != keys_.end()) return it->second;
    std::optional<KeyChoice> choice = layout_.VkKeyScan(ch);
    // Only plain, Shift and AltGr keys type characters; Ctrl or Alt alone make commands.
    const unsigned s = choice ? choice->shift_state : 0;
    if (choice && (s & kCtrlBit) != ((s & kAltBit) ? kCtrlBit : 0u)) choice.reset();
    if (choice && s > 7) choice.reset();
    // A dead key would combine with the next character.
    if (choice && layout_.IsDeadKey(ch)) choice.reset();
    keys_.emplace(ch, choice);
    return choice;
  }

  std::vector<KeyEvent> Take() { return std::move(events_); }
  // Room for every event, so that no reallocation leaves a copy of the keys behind.
  void Reserve(std::size_t events) { events_.reserve(events); }

 private:
  KeyboardLayout& layout_;
  std::vector<KeyEvent> events_;
  std::map<wchar_t, std::optional<KeyChoice>> keys_;
  bool shift_ = false;
  bool ctrl_ = false;
  std::uint8_t alt_ = 0;
};

unsigned ShiftStateOf(unsigned modifiers) {
  return ((modifiers & kModShift) ? kShiftBit : 0u) | ((modifiers & kModCtrl) ? kCtrlBit : 0u) |
         ((modifiers & kModAlt) ? kAltBit : 0u);
}

}  // namespace

std::vector<KeyEvent> PlanKeystrokes(const std::vector<KeyStroke>& keys, KeyboardLayout& layout,
                                     const KeyboardState& state) {
  if (keys.empty()) return {};
  Planner plan(layout);
  // More than enough: a modifier change (up to six presses and releases) and two events per
  // key, the held keys released and pressed again, Caps Lock and the mask tapped.
  plan.Reserve(keys.size() * 10 + state.held.size() * 2 + 8);

  bool alt_or_win = false;
  for (std::uint8_t key : state.held) {
    alt_or_win |= key == vk::kLMenu || key == vk::kRMenu || key == vk::kLWin || key == vk::kRWin;
  }
  if (alt_or_win) plan.Tap(vk::kMask);
  for (std::uint8_t key : state.held) plan.Fixed(key, true);
  if (state.caps_lock) plan.Tap(vk::kCapital);

  for (const KeyStroke& key : keys) {
    const unsigned asked = ShiftStateOf(key.modifiers);
    if (key.enter || key.ch == L'\t') {
      plan.Modifiers(asked);
      plan.Tap(key.enter ? vk::kReturn : vk::kTab);
      continue;
    }
    if (std::optional<KeyChoice> choice = plan.KeyFor(key.ch)) {
      plan.Modifiers(choice->shift_state | asked);
      plan.TapKey(choice->vk);
    } else {
      plan.Modifiers(0);
      plan.TapUnicode(key.ch);
    }
  }
  plan.Modifiers(0);

  if (state.caps_lock) plan.Tap(vk::kCapital);
  for (std::uint8_t key : state.held) plan.Fixed(key, false);
  return plan.Take();
}

}  // namespace wedge
