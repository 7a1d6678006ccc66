#pragma once
// The key events that type a text exactly on the target's keyboard layout, whatever modifier keys
// the user holds and whether Caps Lock is on.

#include <cstdint>
#include <optional>
#include <vector>

#include "wedge/keystroke_notation.h"

namespace wedge {

// Virtual-key codes the plan presses itself (the platform's numbers).
namespace vk {
inline constexpr std::uint8_t kTab = 0x09;
inline constexpr std::uint8_t kReturn = 0x0D;
inline constexpr std::uint8_t kCapital = 0x14;
inline constexpr std::uint8_t kLWin = 0x5B;
inline constexpr std::uint8_t kRWin = 0x5C;
inline constexpr std::uint8_t kLShift = 0xA0;
inline constexpr std::uint8_t kRShift = 0xA1;
inline constexpr std::uint8_t kLControl = 0xA2;
inline constexpr std::uint8_t kRControl = 0xA3;
inline constexpr std::uint8_t kLMenu = 0xA4;
inline constexpr std::uint8_t kRMenu = 0xA5;
// Unassigned: tapped while Alt or Win is down so that releasing them opens no menu.
inline constexpr std::uint8_t kMask = 0xE8;
}  // namespace vk

// Shift state bits of a key choice (as the platform's key scan reports them).
enum ShiftStateBits : unsigned {
  kShiftBit = 1,
  kCtrlBit = 2,
  kAltBit = 4,
};

// The key that types a character, and the shift state it needs (Ctrl+Alt is AltGr).
struct KeyChoice {
  std::uint8_t vk = 0;
  unsigned shift_state = 0;
};

// The keyboard layout of the window that receives the keys.
class KeyboardLayout {
 public:
  virtual ~KeyboardLayout() = default;

  // The key and shift state that type `ch`; nothing when no key of the layout does.
  virtual std::optional<KeyChoice> VkKeyScan(wchar_t ch) = 0;
  // The scan code of the key `vk`.
  virtual std::uint16_t ScanCode(std::uint8_t vk) = 0;
  // True when the key that types `ch` is a dead key, which waits to combine with the next one.
  virtual bool IsDeadKey(wchar_t ch) = 0;
};

// The keyboard as it is when the keys are injected.
struct KeyboardState {
  bool caps_lock = false;
  // Modifier keys held down (vk::kLShift ... vk::kRMenu, vk::kLWin, vk::kRWin).
  std::vector<std::uint8_t> held;
};

// One key event to inject.
struct KeyEvent {
  std::uint16_t vk = 0;     // 0 for a Unicode event
  std::uint16_t scan = 0;   // the key's scan code, or the character of a Unicode event
  bool up = false;
  bool unicode = false;
  bool extended = false;    // the key is one of the extended keys (right Alt, right Ctrl, Win)

  bool operator==(const KeyEvent& o) const {
    return vk == o.vk && scan == o.scan && up == o.up && unicode == o.unicode &&
           extended == o.extended;
  }
};

// The events that type `keys` exactly: each character with the key that types it on `layout`
// (with Shift or AltGr as needed), a dead-key character or one no key types as a Unicode
// character, Enter as the Return key, a Tab character as the Tab key. Held modifiers are released
// first and pressed again at the end, and Caps Lock is switched off for the keys and back on after.
std::vector<KeyEvent> PlanKeystrokes(const std::vector<KeyStroke>& keys, KeyboardLayout& layout,
                                     const KeyboardState& state);

}  // namespace wedge
