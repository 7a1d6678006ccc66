#include <windows.h>
#include <tlhelp32.h>

#include <map>
#include <utility>

#include "platform/raii_win32.h"
#include "wedge/send_input_keys.h"
#include "wedge/wipe.h"

namespace wedge {
namespace {

// Asking ToUnicodeEx not to change the keyboard state (Windows 10 1607 and later).
constexpr UINT kNoStateChange = 0x4;

// The layout asked through the platform. A key is taken for a character only when the layout's
// own translation of that key and shift state gives the character back: where it gives nothing
// (Wine's AltGr keys, whose AltGr state only a real key press sets) the character goes as Unicode.
class Win32Layout : public KeyboardLayout {
 public:
  explicit Win32Layout(HKL hkl) : hkl_(hkl) {}

  std::optional<KeyChoice> VkKeyScan(wchar_t ch) override { return Look(ch).key; }

  std::uint16_t ScanCode(std::uint8_t vk) override {
    std::uint16_t& scan = scans_[vk];
    if (!scan) scan = static_cast<std::uint16_t>(MapVirtualKeyExW(vk, MAPVK_VK_TO_VSC, hkl_));
    return scan;
  }

  bool IsDeadKey(wchar_t ch) override { return Look(ch).dead; }

 private:
  struct Found {
    std::optional<KeyChoice> key;
    bool dead = false;
  };

  const Found& Look(wchar_t ch) {
    auto it = found_.find(ch);
    if (it != found_.end()) return it->second;
    Found& f = found_[ch];
    const SHORT r = VkKeyScanExW(ch, hkl_);
    if (r == -1 || LOBYTE(r) == 0xFF) return f;
    const KeyChoice key{LOBYTE(r), static_cast<unsigned>(HIBYTE(r))};
    BYTE state[256] = {};
    if (key.shift_state & kShiftBit) state[VK_SHIFT] = state[VK_LSHIFT] = 0x80;
    if (key.shift_state & kCtrlBit) state[VK_CONTROL] = state[VK_LCONTROL] = 0x80;
    if (key.shift_state & kAltBit) state[VK_MENU] = state[VK_RMENU] = 0x80;
    WCHAR out[8] = {};
    const int n = ToUnicodeEx(key.vk, ScanCode(key.vk), state, out, 8, kNoStateChange, hkl_);
    if (n < 0) {
      f.key = key;
      f.dead = true;
      ForgetDeadKey();
    } else if (n == 1 && out[0] == ch) {
      f.key = key;
    }
    return f;
  }

  // Older Windows ignore kNoStateChange and keep a dead key for this thread: let a space take it.
  void ForgetDeadKey() {
    const BYTE none[256] = {};
    WCHAR out[8];
    for (int i = 0; i < 4; ++i) {
      if (ToUnicodeEx(VK_SPACE, ScanCode(VK_SPACE), none, out, 8, kNoStateChange, hkl_) >= 0) break;
    }
  }

  HKL hkl_;
  std::map<wchar_t, Found> found_;
  std::uint16_t scans_[256] = {};
};

// The mandatory integrity level (the label's last sub-authority) of a process token.
std::optional<std::uint32_t> TokenIntegrity(HANDLE token) {
  DWORD bytes = 0;
  GetTokenInformation(token, TokenIntegrityLevel, nullptr, 0, &bytes);
  if (bytes == 0) return std::nullopt;
  std::vector<std::uint8_t> buffer(bytes);
  if (!GetTokenInformation(token, TokenIntegrityLevel, buffer.data(), bytes, &bytes)) {
    return std::nullopt;
  }
  PSID sid = reinterpret_cast<TOKEN_MANDATORY_LABEL*>(buffer.data())->Label.Sid;
  if (!sid || !IsValidSid(sid) || *GetSidSubAuthorityCount(sid) == 0) return std::nullopt;
  return *GetSidSubAuthority(sid, *GetSidSubAuthorityCount(sid) - 1u);
}

std::optional<std::uint32_t> ProcessIntegrity(DWORD pid) {
  platform::UniqueHandle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid));
  platform::UniqueHandle token;
  if (!process || !OpenProcessToken(process.get(), TOKEN_QUERY, token.put())) return std::nullopt;
  return TokenIntegrity(token.get());
}

ForegroundTarget TargetOf(HWND foreground) {
  ForegroundTarget target;
  DWORD pid = 0;
  target.window = foreground != nullptr;
  if (!foreground || !GetWindowThreadProcessId(foreground, &pid)) return target;
  target.ours = pid == GetCurrentProcessId();
  if (!target.ours) target.integrity = ProcessIntegrity(pid);
  return target;
}

// A layout on which no key types a character: every character goes as a Unicode event, Enter
// and Tab as their keys.
class UnicodeOnly : public KeyboardLayout {
 public:
  explicit UnicodeOnly(KeyboardLayout& keys) : keys_(keys) {}
  std::optional<KeyChoice> VkKeyScan(wchar_t) override { return std::nullopt; }
  std::uint16_t ScanCode(std::uint8_t vk) override { return keys_.ScanCode(vk); }
  bool IsDeadKey(wchar_t) override { return false; }

 private:
  KeyboardLayout& keys_;
};

// The file name of process `pid` from the system's list of processes, which needs no access to
// the process itself; empty when it is not listed.
std::wstring ListedProgram(DWORD pid) {
  const HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return {};
  platform::UniqueHandle list(snapshot);
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof entry;
  for (BOOL more = Process32FirstW(list.get(), &entry); more;
       more = Process32NextW(list.get(), &entry)) {
    if (entry.th32ProcessID == pid) return entry.szExeFile;
  }
  return {};
}

// The file name of the program that owns `window` ("wfica32.exe"); empty when it cannot be read.
// A sales program run as another user cannot be opened: the process list still names it.
std::wstring ProgramOfWindow(HWND window) {
  DWORD pid = 0;
  if (!window || !GetWindowThreadProcessId(window, &pid)) return {};
  platform::UniqueHandle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid));
  wchar_t path[MAX_PATH * 4];
  DWORD size = static_cast<DWORD>(std::size(path));
  if (!process || !QueryFullProcessImageNameW(process.get(), 0, path, &size)) {
    return ListedProgram(pid);
  }
  const std::wstring full(path, size);
  const std::size_t slash = full.find_last_of(L"\\/");
  return slash == std::wstring::npos ? full : full.substr(slash + 1);
}

}  // namespace

namespace {

INPUT ToInput(const KeyEvent& e) {
  INPUT in{};
  in.type = INPUT_KEYBOARD;
  in.ki.wVk = e.unicode ? 0 : e.vk;
  in.ki.wScan = e.scan;
  in.ki.dwFlags = (e.unicode ? KEYEVENTF_UNICODE : 0) | (e.up ? KEYEVENTF_KEYUP : 0) |
                  (e.extended ? KEYEVENTF_EXTENDEDKEY : 0);
  return in;
}

// The virtual key of Ctrl+V whatever the layout types with it.
class CtrlVLayout : public KeyboardLayout {
 public:
  std::optional<KeyChoice> VkKeyScan(wchar_t ch) override {
    if (ch == L'v') return KeyChoice{'V', 0};
    return std::nullopt;
  }
  std::uint16_t ScanCode(std::uint8_t vk) override {
    return static_cast<std::uint16_t>(MapVirtualKeyW(vk, MAPVK_VK_TO_VSC));
  }
  bool IsDeadKey(wchar_t) override { return false; }
};

HWND AsWindow(WindowId window) { return reinterpret_cast<HWND>(static_cast<UINT_PTR>(window)); }

// The events that type `keys` on `layout`, injected with one call: nothing typed by the user or
// another program can land inside the text.
bool InjectWith(const std::vector<KeyStroke>& keys, KeyboardLayout& layout) {
  std::vector<KeyEvent> events = PlanKeystrokes(keys, layout, CurrentKeyboardState());
  std::vector<INPUT> inputs;
  inputs.reserve(events.size());
  for (const KeyEvent& e : events) inputs.push_back(ToInput(e));
  const UINT sent = SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
  const bool all = sent == inputs.size();
  Wipe(events);
  Wipe(inputs);
  return all;
}

}  // namespace

// Layouts are asked once for each character; a layout's answers do not change while it is loaded.
struct SendInputKeys::Layouts {
  std::map<HKL, Win32Layout> by_handle;

  // The layout of the foreground window's thread.
  Win32Layout& Foreground() {
    const HWND foreground = GetForegroundWindow();
    const DWORD thread = foreground ? GetWindowThreadProcessId(foreground, nullptr) : 0;
    const HKL hkl = GetKeyboardLayout(thread);
    return by_handle.try_emplace(hkl, hkl).first->second;
  }
};

SendInputKeys::SendInputKeys() : layouts_(std::make_unique<Layouts>()) {}

SendInputKeys::~SendInputKeys() = default;

KeyboardState CurrentKeyboardState() {
  KeyboardState state;
  state.caps_lock = (GetKeyState(VK_CAPITAL) & 1) != 0;
  for (std::uint8_t key : {vk::kLShift, vk::kRShift, vk::kLControl, vk::kRControl, vk::kLMenu,
                           vk::kRMenu, vk::kLWin, vk::kRWin}) {
    if (GetAsyncKeyState(key) & 0x8000) state.held.push_back(key);
  }
  return state;
}

WindowId SendInputKeys::FrontWindow() {
  return static_cast<WindowId>(reinterpret_cast<UINT_PTR>(GetForegroundWindow()));
}

std::uint32_t SendInputKeys::ProcessOf(WindowId window) {
  DWORD pid = 0;
  if (!window || !GetWindowThreadProcessId(AsWindow(window), &pid)) return 0;
  return pid;
}

std::wstring SendInputKeys::ProgramOf(WindowId window) { return ProgramOfWindow(AsWindow(window)); }

std::wstring ProgramFileOf(WindowId window) { return ProgramOfWindow(AsWindow(window)); }

TypingVerdict SendInputKeys::Judge(WindowId window) {
  static const std::optional<std::uint32_t> own_integrity = [] {
    platform::UniqueHandle token;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token.put())) {
      return std::optional<std::uint32_t>();
    }
    return TokenIntegrity(token.get());
  }();
  return JudgeTarget(TargetOf(AsWindow(window)), own_integrity);
}

bool SendInputKeys::Inject(const std::vector<KeyStroke>& keys, bool unicode) {
  if (keys.empty()) return true;
  Win32Layout& layout = layouts_->Foreground();
  UnicodeOnly unicode_layout(layout);
  return InjectWith(keys, unicode ? static_cast<KeyboardLayout&>(unicode_layout) : layout);
}

bool SendInputKeys::PressPaste() {
  CtrlVLayout ctrl_v;
  return InjectWith({KeyStroke{false, L'v', kModCtrl}}, ctrl_v);
}

bool SendInputKeys::SendKeys(const std::wstring& keys) {
  std::optional<std::vector<KeyStroke>> parsed = ParseKeystrokes(keys);
  if (!parsed) return false;
  const bool typed = Inject(*parsed, false);
  Wipe(*parsed);
  return typed;
}

}  // namespace wedge
