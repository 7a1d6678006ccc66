#include <windows.h>

#include <cwchar>
#include <utility>

#include "platform/raii_win32.h"
#include "wedge/typing_platform.h"
#include "wedge/wipe.h"

namespace wedge {
namespace {

constexpr wchar_t kClass[] = L"ZANKeyboardWedge.Typing";
constexpr UINT_PTR kTimerId = 1;

// A moveable global copy of `text` for the clipboard; nothing when memory is short.
platform::UniqueGlobal GlobalText(const std::wstring& text) {
  platform::UniqueGlobal memory(GlobalAlloc(GMEM_MOVEABLE, (text.size() + 1) * sizeof(wchar_t)));
  const platform::LockedGlobal<wchar_t> chars(memory.get());
  if (!chars.get()) return {};
  text.copy(chars.get(), text.size());
  chars.get()[text.size()] = L'\0';
  return memory;
}

// Puts `memory` on the open clipboard as `format`; what the clipboard refuses is wiped and freed.
bool SetData(UINT format, platform::UniqueGlobal memory) {
  if (!memory) return false;
  if (SetClipboardData(format, memory.get())) {
    memory.release();  // the clipboard's now
    return true;
  }
  const platform::LockedGlobal<unsigned char> bytes(memory.get());
  if (bytes.get()) WipeBytes(bytes.get(), bytes.bytes());
  return false;
}

// A registered format holding a DWORD, as the opt-outs of clipboard history, cloud clipboard and
// monitors are.
void SetFlag(const wchar_t* format, DWORD value) {
  const UINT id = RegisterClipboardFormatW(format);
  platform::UniqueGlobal memory(id ? GlobalAlloc(GMEM_MOVEABLE, sizeof value) : nullptr);
  {
    const platform::LockedGlobal<DWORD> p(memory.get());
    if (!p.get()) return;  // deliberately quiet: the text still goes, only less hidden
    *p.get() = value;
  }
  SetData(id, std::move(memory));
}

}  // namespace

struct TypingPlatform::Window {
  platform::UniqueWindow hwnd;
  TypingEvents* events = nullptr;
  bool emptying = false;  // our own EmptyClipboard: its WM_DESTROYCLIPBOARD is no news
  bool offered = false;   // the clipboard holds our offer
  bool rendered = false;  // ... and the offered text was given
  bool fine = false;
  HMODULE winmm = nullptr;

  static LRESULT CALLBACK Proc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
    auto* self = reinterpret_cast<Window*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (!self) return DefWindowProcW(hwnd, message, wparam, lparam);
    switch (message) {
      case WM_TIMER:
        if (wparam != kTimerId) break;
        KillTimer(hwnd, kTimerId);
        if (self->events) self->events->TimerElapsed();
        return 0;
      case WM_RENDERFORMAT:
        // Rendered only as the typing decides; otherwise the asker gets nothing.
        if (wparam == CF_UNICODETEXT && self->events) self->events->RenderRequested();
        return 0;
      case WM_RENDERALLFORMATS:
        return 0;  // going away: the offer is left unrendered, so nobody gets the text
      case WM_DESTROYCLIPBOARD:
        if (!self->emptying && self->events) self->events->ClipboardTaken();
        self->offered = self->rendered = false;
        return 0;
      default: break;
    }
    return DefWindowProcW(hwnd, message, wparam, lparam);
  }

  // Empties the open clipboard, wiping a text it was given first.
  void Empty() {
    if (rendered && GetClipboardOwner() == hwnd.get()) {
      // Only once rendered: asking for a text not yet rendered would have it rendered.
      if (HANDLE ours = GetClipboardData(CF_UNICODETEXT)) {
        const platform::LockedGlobal<unsigned char> bytes(ours);
        if (bytes.get()) WipeBytes(bytes.get(), bytes.bytes());
      }
    }
    emptying = true;
    EmptyClipboard();
    emptying = false;
    offered = rendered = false;
  }
};

TypingPlatform::TypingPlatform() : w_(std::make_unique<Window>()) {
  WNDCLASSW wc{};
  wc.lpfnWndProc = &Window::Proc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.lpszClassName = kClass;
  RegisterClassW(&wc);  // already registered by an earlier instance: fine
  w_->hwnd.reset(CreateWindowExW(0, kClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                 wc.hInstance, nullptr));
  if (w_->hwnd) SetWindowLongPtrW(w_->hwnd.get(), GWLP_USERDATA, reinterpret_cast<LONG_PTR>(w_.get()));
}

TypingPlatform::~TypingPlatform() {
  Stop();
  Fine(false);
  if (w_->hwnd) SetWindowLongPtrW(w_->hwnd.get(), GWLP_USERDATA, 0);
}

void TypingPlatform::Deliver(TypingEvents* events) { w_->events = events; }

bool TypingPlatform::Start(unsigned ms) {
  return w_->hwnd && SetTimer(w_->hwnd.get(), kTimerId, ms, nullptr) != 0;
}

void TypingPlatform::Stop() {
  if (w_->hwnd) KillTimer(w_->hwnd.get(), kTimerId);
}

// winmm.dll is no known DLL, which an import would let the loader take from the program's folder:
// it is loaded from System32 only, while a card is typed with pauses, and let go after (with
// what it brings along it is about 0.4 MB of a program that otherwise stays small).
void TypingPlatform::Fine(bool on) {
  if (on == w_->fine) return;
  if (on) w_->winmm = LoadLibraryExW(L"winmm.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
  if (!w_->winmm) return;
  using PeriodFn = UINT(WINAPI*)(UINT);
  const auto fn = reinterpret_cast<PeriodFn>(reinterpret_cast<void*>(
      GetProcAddress(w_->winmm, on ? "timeBeginPeriod" : "timeEndPeriod")));
  if (fn) fn(1);
  w_->fine = on && fn;
  if (!w_->fine) FreeLibrary(std::exchange(w_->winmm, nullptr));
}

double TypingPlatform::NowMs() {
  LARGE_INTEGER now, frequency;
  QueryPerformanceCounter(&now);
  QueryPerformanceFrequency(&frequency);
  return static_cast<double>(now.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

CalendarDate TypingPlatform::Today() {
  SYSTEMTIME now{};
  GetLocalTime(&now);
  return {now.wYear, now.wMonth, now.wDay};
}

void TypingPlatform::Sleep(unsigned ms) { ::Sleep(ms); }

Clipboard::Outcome TypingPlatform::Keep(std::optional<std::wstring>& text) {
  const platform::OpenedClipboard open(w_->hwnd.get());
  if (!open) return Outcome::Held;
  if (text) Wipe(*text);
  text.reset();
  if (w_->offered) return Outcome::Done;  // an offer of ours left behind: no one's text
  const platform::LockedGlobal<const wchar_t> chars(GetClipboardData(CF_UNICODETEXT));
  if (chars.get()) {
    const std::size_t length = wcsnlen(chars.get(), chars.bytes() / sizeof(wchar_t));
    text.emplace();
    text->reserve(length);
    text->assign(chars.get(), length);
  }
  return Outcome::Done;
}

Clipboard::Outcome TypingPlatform::Offer() {
  const platform::OpenedClipboard open(w_->hwnd.get());
  if (!open) return Outcome::Held;
  w_->Empty();
  if (GetClipboardOwner() != w_->hwnd.get()) return Outcome::Failed;
  SetClipboardData(CF_UNICODETEXT, nullptr);  // rendered when asked for, and only then
  w_->offered = true;
  SetFlag(L"ExcludeClipboardContentFromMonitorProcessing", 0);
  SetFlag(L"CanIncludeInClipboardHistory", 0);
  SetFlag(L"CanUploadToCloudClipboard", 0);
  return Outcome::Done;
}

bool TypingPlatform::Free() { return static_cast<bool>(platform::OpenedClipboard(w_->hwnd.get())); }

std::uint32_t TypingPlatform::Asker() {
  DWORD pid = 0;
  const HWND holder = GetOpenClipboardWindow();
  if (!holder || !GetWindowThreadProcessId(holder, &pid)) return 0;
  return pid;
}

bool TypingPlatform::Render(const std::wstring& text) {
  if (!SetData(CF_UNICODETEXT, GlobalText(text))) return false;
  w_->rendered = true;
  return true;
}

Clipboard::Outcome TypingPlatform::PutBack(const std::optional<std::wstring>& earlier) {
  const platform::OpenedClipboard open(w_->hwnd.get());
  if (!open) return Outcome::Held;
  // Another program's data since: nothing of ours is left, and theirs is not overwritten.
  if (!w_->offered || GetClipboardOwner() != w_->hwnd.get()) return Outcome::Done;
  w_->Empty();
  if (earlier && !SetData(CF_UNICODETEXT, GlobalText(*earlier))) return Outcome::Failed;
  return Outcome::Done;
}

}  // namespace wedge
