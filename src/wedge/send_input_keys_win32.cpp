#include <windows.h>


#include "wedge/send_input_keys.h"

namespace wedge {
namespace {

// Asking ToUnicodeEx not to change the keyboard state (Windows 10 1607 and later).
constexpr UINT kNoStateChange = 0x4;

class Win32Layout : public KeyboardLayout {
 public:
  explicit Win32Layout(HKL hkl) : hkl_(hkl) {}

  std::optional<KeyChoice> VkKeyScan(wchar_t ch) override {
    const SHORT r = VkKeyScanExW(ch, hkl_);
    if (r == -1 || LOBYTE(r) == 0xFF) return std::nullopt;
    return KeyChoice{LOBYTE(r), HIBYTE(r)};
  }

  std::uint16_t ScanCode(std::uint8_t vk) override {
    return static_cast<std::uint16_t>(MapVirtualKeyExW(vk, MAPVK_VK_TO_VSC, hkl_));
  }

  bool IsDeadKey(wchar_t ch) override {
    const std::optional<KeyChoice> key = VkKeyScan(ch);
    if (!key) return false;
    BYTE state[256] = {};
    if (key->shift_state & kShiftBit) state[VK_SHIFT] = state[VK_LSHIFT] = 0x80;
    if (key->shift_state & kCtrlBit) state[VK_CONTROL] = state[VK_LCONTROL] = 0x80;
    if (key->shift_state & kAltBit) state[VK_MENU] = state[VK_RMENU] = 0x80;
    WCHAR out[8];
    const int n = ToUnicodeEx(key->vk, ScanCode(key->vk), state, out, 8, kNoStateChange, hkl_);
    if (n >= 0) return false;
    // Older Windows ignore the flag and keep the dead key for this thread: let a space take it.
    const BYTE none[256] = {};
    for (int i = 0; i < 4 && ToUnicodeEx(VK_SPACE, ScanCode(VK_SPACE), none, out, 8,
                                         kNoStateChange, hkl_) < 0;
         ++i) {
    }
    return true;
  }

 private:
  HKL hkl_;
};

INPUT ToInput(const KeyEvent& e) {
  INPUT in{};
  in.type = INPUT_KEYBOARD;
  in.ki.wVk = e.unicode ? 0 : e.vk;
  in.ki.wScan = e.scan;
  in.ki.dwFlags = (e.unicode ? KEYEVENTF_UNICODE : 0) | (e.up ? KEYEVENTF_KEYUP : 0) |
                  (e.extended ? KEYEVENTF_EXTENDEDKEY : 0);
  return in;
}

}  // namespace

std::unique_ptr<KeyboardLayout> ForegroundKeyboardLayout() {
  const HWND foreground = GetForegroundWindow();
  const DWORD thread = foreground ? GetWindowThreadProcessId(foreground, nullptr) : 0;
  return std::make_unique<Win32Layout>(GetKeyboardLayout(thread));
}

KeyboardState CurrentKeyboardState() {
  KeyboardState state;
  state.caps_lock = (GetKeyState(VK_CAPITAL) & 1) != 0;
  for (std::uint8_t key : {vk::kLShift, vk::kRShift, vk::kLControl, vk::kRControl, vk::kLMenu,
                           vk::kRMenu, vk::kLWin, vk::kRWin}) {
    if (GetAsyncKeyState(key) & 0x8000) state.held.push_back(key);
  }
  return state;
}

bool SendInputKeys::SendKeys(const std::wstring& keys) {
  std::optional<std::vector<KeyStroke>> parsed = ParseKeystrokes(keys);
  if (!parsed) return false;
  if (in_card_) {
    card_keys_.insert(card_keys_.end(), parsed->begin(), parsed->end());
    return true;
  }
  return Inject(*parsed);
}

void SendInputKeys::BeginCard() {
  in_card_ = true;
  card_keys_.clear();
}

void SendInputKeys::EndCard() {
  in_card_ = false;
  std::vector<KeyStroke> keys;
  keys.swap(card_keys_);
  Inject(keys);  // a refused injection is ignored, as a failed call of the card would be
}

bool SendInputKeys::Inject(const std::vector<KeyStroke>& keys) {
  if (keys.empty()) return true;
  const std::unique_ptr<KeyboardLayout> layout = ForegroundKeyboardLayout();
  const std::vector<KeyEvent> events = PlanKeystrokes(keys, *layout, CurrentKeyboardState());
  std::vector<INPUT> inputs;
  inputs.reserve(events.size());
  for (const KeyEvent& e : events) inputs.push_back(ToInput(e));
  // One call: nothing typed by the user or another program can land inside the text.
  const UINT sent = SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
  return sent == inputs.size();
}

}  // namespace wedge
