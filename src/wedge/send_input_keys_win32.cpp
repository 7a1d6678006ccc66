#include <windows.h>
#include <tlhelp32.h>

#include <map>
#include <utility>

#include "platform/raii_win32.h"
#include "wedge/send_input_keys.h"
#include "wedge/send_input_parts_win32.h"
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

// Adds `more` to `keys`; a buffer outgrown is wiped before it is let go.
void AppendKeys(std::vector<KeyStroke>& keys, const std::vector<KeyStroke>& more) {
  if (keys.size() + more.size() > keys.capacity()) {
    std::vector<KeyStroke> bigger;
    bigger.reserve(2 * (keys.size() + more.size()));
    bigger.assign(keys.begin(), keys.end());
    Wipe(keys);
    keys.swap(bigger);
  }
  keys.insert(keys.end(), more.begin(), more.end());
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

// The system's timers to the millisecond while a card is paced (`fine`), back to the default
// after. winmm.dll is no known DLL, which an import would let the loader take from the program's
// folder: it is loaded from System32 only, when a card is first paced.
void TimerPeriod(bool fine) {
  using PeriodFn = UINT(WINAPI*)(UINT);
  static const HMODULE winmm = LoadLibraryExW(L"winmm.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
  if (!winmm) return;
  const auto fn = reinterpret_cast<PeriodFn>(reinterpret_cast<void*>(
      GetProcAddress(winmm, fine ? "timeBeginPeriod" : "timeEndPeriod")));
  if (fn) fn(1);
}

// A clock in milliseconds finer than the system tick (GetTickCount64 moves in 15.6 ms steps).
double MonotonicMs() {
  LARGE_INTEGER now, frequency;
  QueryPerformanceCounter(&now);
  QueryPerformanceFrequency(&frequency);
  return static_cast<double>(now.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

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
std::wstring ProgramOf(HWND window) {
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

// The one output whose paced card the thread's timer steps (the program has one).
SendInputKeys* g_paced_output = nullptr;

void CALLBACK PacedTimerProc(HWND, UINT, UINT_PTR id, DWORD) {
  KillTimer(nullptr, id);
  if (g_paced_output) g_paced_output->TimerElapsed();
}

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



SendInputKeys::SendInputKeys(UserCue* cue, RuleReader rules)
    : layouts_(std::make_unique<Layouts>()), cue_(cue), rules_(std::move(rules)) {
  g_paced_output = this;
}

SendInputKeys::~SendInputKeys() {
  StopTyping();
  Wipe(card_keys_);
  if (g_paced_output == this) g_paced_output = nullptr;
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
    AppendKeys(card_keys_, *parsed);
    Wipe(*parsed);
    return true;
  }
  const bool typed = Inject(*parsed);
  Wipe(*parsed);
  return typed;
}

void SendInputKeys::BeginCard() {
  in_card_ = true;
  Wipe(card_keys_);
  card_keys_.reserve(512);
  card_.reset();
}

void SendInputKeys::CardFields(const CardTexts& texts) {
  if (!rules_ || !in_card_) return;  // without rules no template needs them
  card_ = std::make_unique<Card>();
  for (int f = 0; f < kCardFields; ++f) Replace(card_->texts.values[f], texts.values[f]);
}

bool SendInputKeys::WantsCardFields() { return rules_ && !rules_().empty(); }

void SendInputKeys::EndCard() {
  in_card_ = false;
  if (!stopped_ && !rules_ && !busy()) {
    Inject(card_keys_);  // a refused injection is ignored, as a failed call of the card would be
    Wipe(card_keys_);
    return;
  }
  std::unique_ptr<Card> card = std::move(card_);
  if (!card) card = std::make_unique<Card>();
  card->keys.swap(card_keys_);
  card_keys_ = {};
  if (stopped_) return;  // the card wipes itself
  if (busy()) {
    waiting_.push_back(std::move(card));
    return;
  }
  TypeCard(*card);
}

void SendInputKeys::StopTyping() {
  stopped_ = true;
  if (paced_) {
    if (paced_->timer) KillTimer(nullptr, paced_->timer);
    TimerPeriod(false);
  }
  paced_.reset();
  if (pasting_) PasteDone();
  waiting_.clear();
  card_.reset();
}

bool SendInputKeys::Allowed() {
  static const std::optional<std::uint32_t> own_integrity = [] {
    platform::UniqueHandle token;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token.put())) {
      return std::optional<std::uint32_t>();
    }
    return TokenIntegrity(token.get());
  }();
  if (JudgeTarget(TargetOf(GetForegroundWindow()), own_integrity) == TypingVerdict::Type) {
    return true;
  }
  if (cue_) cue_->CardNotTyped();
  return false;
}

// The rule for the program in front decides: none typed as without rules; one that cannot be
// read, type=no, or a template field the card lacks: not typed, with the cue.
void SendInputKeys::TypeCard(Card& card) {
  const std::vector<StoredRule> rules = rules_ ? rules_() : std::vector<StoredRule>{};
  if (rules.empty()) {
    Inject(card.keys);
    return;
  }
  if (!Allowed()) return;  // our own window, or one whose keys Windows would drop
  const std::wstring program = ProgramOf(GetForegroundWindow());
  const StoredRule* stored = FindRule(rules, program);
  if (!stored) {
    if (cue_) cue_->RuleReadFine();
    Inject(card.keys);
    return;
  }
  RuleRead read;
  if (stored->data) read = ParseTypingRule(*stored->data);
  else read.fault = L"the value is not a text (REG_SZ)";
  if (!read.rule) {
    NotTyped(TypingTrouble::RuleWrong, stored->program, read.fault);
    return;
  }
  if (cue_) cue_->RuleReadFine();
  const TypingRule& rule = *read.rule;
  if (!rule.type) {
    if (cue_) cue_->CardNotTyped();  // the shop's intent: no entry in the log
    return;
  }
  const bool any_track = !card.texts[CardField::Track1].empty() ||
                         !card.texts[CardField::Track2].empty() ||
                         !card.texts[CardField::Track3].empty();
  if (card.keys.empty() && !any_track) return;  // nothing of a card to type
  const std::wstring& named = program.empty() ? stored->program : program;
  std::vector<KeyStroke> keys;
  if (rule.form) {
    const std::optional<CardField> missing =
        RenderTemplate(*rule.form, card.keys, card.texts, keys);
    if (missing) {
      NotTyped(TypingTrouble::FieldMissing, named, std::wstring(L"{") + FieldName(*missing) + L"}");
      return;
    }
  } else {
    keys = card.keys;
  }
  if (rule.keys == KeysMode::Paste) {
    Paste(keys, named);
  } else if (rule.paced()) {
    StartPaced(rule, named, keys);
  } else {
    Inject(keys, rule.keys == KeysMode::Unicode);
  }
  Wipe(keys);
}

void SendInputKeys::StartPaced(const TypingRule& rule, std::wstring program,
                               std::vector<KeyStroke>& keys) {
  if (keys.empty()) return;
  paced_ = std::make_unique<Paced>();
  paced_->keys.swap(keys);
  paced_->program = std::move(program);
  paced_->window = GetForegroundWindow();
  paced_->unicode = rule.keys == KeysMode::Unicode;
  paced_->delay_ms = rule.delay_ms;
  paced_->enter_delay_ms = rule.enter_delay_ms;
  TimerPeriod(true);
  paced_->due_ms = MonotonicMs();
  PacedStep();
}

void SendInputKeys::PacedStep() {
  Paced& p = *paced_;
  p.timer = 0;
  if (p.next > 0 && GetForegroundWindow() != p.window) {
    // Not one more key: the window the user switched to gets nothing of the card.
    NotTyped(TypingTrouble::WindowChanged, p.program, L"");
    PacedDone();
    return;
  }
  std::size_t end = p.next + 1;
  if (p.delay_ms == 0) {
    while (end < p.keys.size() && !p.keys[end - 1].enter) ++end;
  }
  const bool enter = p.keys[end - 1].enter;
  std::vector<KeyStroke> step(p.keys.begin() + static_cast<std::ptrdiff_t>(p.next),
                              p.keys.begin() + static_cast<std::ptrdiff_t>(end));
  Inject(step, p.unicode);
  Wipe(step);
  p.next = end;
  if (p.next >= p.keys.size()) {
    PacedDone();
    return;
  }
  // The pace keeps to the rule's over the card, but no pause is more than 1 ms shorter than the
  // rule's: the timer's usual lateness is made up, and a step it ran very late for never brings
  // the next keys close behind (a target that drops keys at a faster pace would drop them).
  const unsigned pause = p.delay_ms + (enter ? p.enter_delay_ms : 0);
  p.due_ms += pause;
  const double left = p.due_ms - MonotonicMs();
  unsigned wait = left > 0 ? static_cast<unsigned>(left + 0.5) : 0;
  if (wait + 1 < pause) wait = pause - 1;
  if (wait > pause) wait = pause;
  p.timer = SetTimer(nullptr, 0, wait ? wait : 1, &PacedTimerProc);
  if (!p.timer) PacedDone();  // no timer to be had: the rest is dropped, not typed at once
}

void SendInputKeys::PacedDone() {
  paced_.reset();
  TimerPeriod(false);
  TypeWaitingCards();
}

// The card is not typed, for a reason IT hears of: the cue, and the event log's entry.
void SendInputKeys::NotTyped(TypingTrouble trouble, const std::wstring& program,
                             const std::wstring& what) {
  if (!cue_) return;
  cue_->CardNotTyped();
  cue_->Trouble(trouble, program, what);
}

// The cards that waited, in their order; one of them may start the next paced or pasted card.
void SendInputKeys::TypeWaitingCards() {
  while (!busy() && !waiting_.empty() && !stopped_) {
    std::unique_ptr<Card> card = std::move(waiting_.front());
    waiting_.pop_front();
    TypeCard(*card);
  }
}

void SendInputKeys::TimerElapsed() {
  if (paced_ && !stopped_) PacedStep();
  else if (pasting_) PasteRestore();
}

bool SendInputKeys::Inject(const std::vector<KeyStroke>& keys, bool unicode) {
  if (keys.empty()) return true;
  if (!Allowed()) return false;
  Win32Layout& layout = layouts_->Foreground();
  UnicodeOnly unicode_layout(layout);
  return InjectWith(keys, unicode ? static_cast<KeyboardLayout&>(unicode_layout) : layout);
}

bool SendInputKeys::InjectWith(const std::vector<KeyStroke>& keys, KeyboardLayout& layout) {
  std::vector<KeyEvent> events = PlanKeystrokes(keys, layout, CurrentKeyboardState());
  std::vector<INPUT> inputs;
  inputs.reserve(events.size());
  for (const KeyEvent& e : events) inputs.push_back(ToInput(e));
  // One call: nothing typed by the user or another program can land inside the text.
  const UINT sent = SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
  const bool all = sent == inputs.size();
  Wipe(events);
  Wipe(inputs);
  return all;
}

}  // namespace wedge

