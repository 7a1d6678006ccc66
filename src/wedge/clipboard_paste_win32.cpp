// A card typed through the clipboard: each run of text between the Enter and Tab keys is offered
// on the clipboard (kept out of clipboard history, cloud clipboard and clipboard monitors) with
// delayed rendering, Ctrl+V is typed, and once the target has taken the text, or after 2 s, the
// clipboard's earlier text is put back. The card's text is never left on the clipboard.

#include <windows.h>

#include <optional>
#include <string>

#include "platform/raii_win32.h"
#include "wedge/send_input_keys.h"
#include "wedge/send_input_parts_win32.h"
#include "wedge/wipe.h"

namespace wedge {

namespace {

constexpr UINT kTakeWithinMs = 2000;
constexpr UINT kRetryMs = 10;  // the clipboard held by the target while it reads
constexpr wchar_t kOwnerClass[] = L"ZANKeyboardWedge.Paste";

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

LRESULT CALLBACK OwnerProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  auto* output = reinterpret_cast<SendInputKeys*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (output && (message == WM_RENDERFORMAT || message == WM_DESTROYCLIPBOARD ||
                 message == WM_RENDERALLFORMATS)) {
    if (message != WM_RENDERFORMAT || wparam == CF_UNICODETEXT) output->ClipboardMessage(message);
    return 0;
  }
  return DefWindowProcW(window, message, wparam, lparam);
}

// A moveable global copy of `text` for the clipboard, or null.
HGLOBAL GlobalText(const std::wstring& text) {
  HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, (text.size() + 1) * sizeof(wchar_t));
  if (!memory) return nullptr;
  auto* p = static_cast<wchar_t*>(GlobalLock(memory));
  if (!p) {
    GlobalFree(memory);
    return nullptr;
  }
  text.copy(p, text.size());
  p[text.size()] = L'\0';
  GlobalUnlock(memory);
  return memory;
}

void SetFlag(const wchar_t* format, DWORD value) {
  const UINT id = RegisterClipboardFormatW(format);
  HGLOBAL memory = id ? GlobalAlloc(GMEM_MOVEABLE, sizeof value) : nullptr;
  if (!memory) return;  // deliberately quiet: the text still goes, only less hidden
  if (void* p = GlobalLock(memory)) {
    *static_cast<DWORD*>(p) = value;
    GlobalUnlock(memory);
  }
  if (!SetClipboardData(id, memory)) GlobalFree(memory);
}

// Wipes the card's text the clipboard holds, empties it and puts the earlier text back. False
// when the clipboard cannot be opened (the target is still reading it).
bool PutBack(HWND owner, bool rendered, const std::optional<std::wstring>& earlier) {
  if (!OpenClipboard(owner)) return false;
  // Asking for a text not rendered yet would have it rendered.
  if (rendered && GetClipboardOwner() == owner) {
    if (HANDLE ours = GetClipboardData(CF_UNICODETEXT)) {
      if (void* chars = GlobalLock(ours)) {
        WipeBytes(chars, GlobalSize(ours));
        GlobalUnlock(ours);
      }
    }
  }
  EmptyClipboard();
  if (earlier) {
    HGLOBAL text = GlobalText(*earlier);
    if (text && !SetClipboardData(CF_UNICODETEXT, text)) GlobalFree(text);
  }
  CloseClipboard();
  return true;
}

}  // namespace


void SendInputKeys::Paste(const std::vector<KeyStroke>& keys, const std::wstring& program) {
  auto p = std::make_unique<Pasting>();
  p->program = program;
  p->target = GetForegroundWindow();
  WNDCLASSW wc{};
  wc.lpfnWndProc = OwnerProc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.lpszClassName = kOwnerClass;
  RegisterClassW(&wc);  // already registered after the first card: fine
  p->owner.reset(CreateWindowExW(0, kOwnerClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                 wc.hInstance, nullptr));
  if (!p->owner || !OpenClipboard(p->owner.get())) {
    NotTyped(TypingTrouble::PasteFailed, program, L"the clipboard could not be opened");
    return;
  }
  if (HANDLE text = GetClipboardData(CF_UNICODETEXT)) {
    if (const auto* chars = static_cast<const wchar_t*>(GlobalLock(text))) {
      p->earlier = std::wstring(chars, wcsnlen(chars, GlobalSize(text) / sizeof(wchar_t)));
      GlobalUnlock(text);
    }
  }
  CloseClipboard();
  SetWindowLongPtrW(p->owner.get(), GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  p->keys = keys;
  pasting_ = std::move(p);
  PasteStep();
}

// Types the Enter and Tab keys up to the next text, then offers that text and types Ctrl+V.
void SendInputKeys::PasteStep() {
  Pasting& p = *pasting_;
  if (p.next > 0 && GetForegroundWindow() != p.target) {
    NotTyped(TypingTrouble::WindowChanged, p.program, L"");
    PasteDone();
    return;
  }
  std::size_t end = p.next;
  while (end < p.keys.size() && (p.keys[end].enter || p.keys[end].ch == L'\t')) ++end;
  if (end > p.next) {
    std::vector<KeyStroke> moves(p.keys.begin() + static_cast<std::ptrdiff_t>(p.next),
                                 p.keys.begin() + static_cast<std::ptrdiff_t>(end));
    Inject(moves);
    p.next = end;
  }
  if (p.next >= p.keys.size()) {
    PasteDone();
    return;
  }
  Wipe(p.offered);
  while (end < p.keys.size() && !p.keys[end].enter && p.keys[end].ch != L'\t') {
    p.offered += p.keys[end++].ch;
  }
  p.next = end;
  p.rendered = false;
  if (!OpenClipboard(p.owner.get())) {
    NotTyped(TypingTrouble::PasteFailed, p.program, L"the clipboard could not be opened");
    PasteDone();
    return;
  }
  EmptyClipboard();
  SetClipboardData(CF_UNICODETEXT, nullptr);  // rendered when the target asks for it
  SetFlag(L"ExcludeClipboardContentFromMonitorProcessing", 0);
  SetFlag(L"CanIncludeInClipboardHistory", 0);
  SetFlag(L"CanUploadToCloudClipboard", 0);
  CloseClipboard();
  p.offering = true;
  p.offered_at = GetTickCount64();
  CtrlVLayout ctrl_v;
  if (!Allowed() || !InjectWith({KeyStroke{false, L'v', kModCtrl}}, ctrl_v)) {
    PasteDone();
    return;
  }
  p.timer = SetTimer(nullptr, 0, kTakeWithinMs, &PacedTimerProc);
}

void SendInputKeys::ClipboardMessage(unsigned message) {
  if (!pasting_) return;
  Pasting& p = *pasting_;
  if (message == WM_DESTROYCLIPBOARD) {
    p.offering = false;  // emptied by us or by another program: nothing of ours to take back
    return;
  }
  if (message != WM_RENDERFORMAT || !p.offering || p.rendered) return;
  HGLOBAL text = GlobalText(p.offered);
  if (text && !SetClipboardData(CF_UNICODETEXT, text)) GlobalFree(text);
  p.rendered = true;
  // Put back as soon as the target has closed the clipboard again.
  if (p.timer) KillTimer(nullptr, p.timer);
  p.timer = SetTimer(nullptr, 0, kRetryMs, &PacedTimerProc);
}

// Puts the earlier text back; once the target has taken the card's, the next part follows.
void SendInputKeys::PasteRestore() {
  Pasting& p = *pasting_;
  p.timer = 0;
  const bool late = GetTickCount64() - p.offered_at >= kTakeWithinMs;
  if (p.offering) {
    if (PutBack(p.owner.get(), p.rendered, p.earlier)) {
      p.offering = false;
    } else if (!late) {
      p.timer = SetTimer(nullptr, 0, kRetryMs, &PacedTimerProc);
      if (p.timer) return;
    }
  }
  if (!p.rendered) {
    NotTyped(TypingTrouble::PasteFailed, p.program,
             L"the program did not take the text within 2 seconds");
    PasteDone();
    return;
  }
  PasteStep();
}

void SendInputKeys::PasteDone() {
  if (pasting_->timer) KillTimer(nullptr, pasting_->timer);
  pasting_->timer = 0;
  // Not left on the clipboard, whatever ends the card.
  if (pasting_->offering) PutBack(pasting_->owner.get(), pasting_->rendered, pasting_->earlier);
  pasting_.reset();
  TypeWaitingCards();
}

}  // namespace wedge
