// A window with one multi-line box that takes typed keys, for the typing tests and benchmark.
// It reports itself when an armed text length is reached, so nobody polls it while it types.
// Usage: zan_type_target.exe NAME [--chars]   (NAME names its shared memory and event)
// With --chars the box is a window that keeps every character it receives (WM_CHAR) as it comes,
// a carriage return as "\r\n" as the multi-line box shows it: under Wine it takes characters
// far faster than an edit box, for tests that push many cards. That box also stamps each
// character with the time its key reached the box's input queue, and for a Ctrl+V pastes the
// clipboard's text and notes which of the formats that keep a text out of clipboard history were
// there (see Shared).
// More options, for the tests of pasted cards: --paste-late=MS takes a Ctrl+V's text only MS later
// (and waits longer for a clipboard another program holds); --paste-hold keeps the clipboard open
// after reading a paste while Shared::hold_paste is set; --clipboard-tool=MS makes the window a
// clipboard tool instead, one that reads the text at every change of the clipboard, whatever
// formats ask tools to leave it alone, and holds the clipboard open MS the first time.
// The tests run copies of it under other file names (mstsc.exe ...), as other programs.

#include <windows.h>

#include <cstring>
#include <string>

#include "type_target_shared_win32.h"

namespace {

type_target::Shared* g_shared = nullptr;
HANDLE g_done = nullptr;
HWND g_edit = nullptr;
std::wstring g_chars;  // what the --chars box received
DWORD g_key_time = 0;  // the message time of the last key pressed in the --chars box
int g_paste_late = 0;
bool g_paste_hold = false;
int g_tool_hold = -1;  // a clipboard tool: how long it holds the clipboard the first time
constexpr UINT_PTR kLatePaste = 7;

// Appends `text` to one of the shared buffers of texts.
void AppendShared(wchar_t* buffer, const std::wstring& text) {
  const std::wstring joined = (std::wstring(buffer) + text).substr(0, type_target::kMaxPasted - 1);
  joined.copy(buffer, joined.size());
  buffer[joined.size()] = L'\0';
}

bool OpenClipboardWithin(HWND hwnd, int tries) {
  for (int i = 0; i < tries; ++i, Sleep(10)) {
    if (OpenClipboard(hwnd)) return true;
  }
  return false;
}

std::int64_t Now() {
  LARGE_INTEGER t;
  QueryPerformanceCounter(&t);
  return t.QuadPart;
}

void OnChange() {
  if (!g_shared->expected) return;
  const LONGLONG now = Now();
  const std::int32_t length = GetWindowTextLengthW(g_edit);
  if (!g_shared->first_change && length > 0) g_shared->first_change = now;
  g_shared->length = length;
  if (length >= g_shared->expected) {
    g_shared->done = now;
    g_shared->expected = 0;
    SetEvent(g_done);
  }
}

// The key's own time, not the moment this window got round to it: a busy machine that runs the
// box late then does not make keys that were sent apart look as if they came together.
void Stamp(std::size_t characters) {
  for (std::size_t i = 0; i < characters && g_shared->stamp_count < type_target::kMaxStamps; ++i) {
    g_shared->stamps[g_shared->stamp_count] = g_key_time;
    g_shared->stamp_count = g_shared->stamp_count + 1;
  }
}

// A registered format holding a DWORD 0, as the clipboard-history opt-outs do.
bool HoldsZero(const wchar_t* format_name) {
  HANDLE data = GetClipboardData(RegisterClipboardFormatW(format_name));
  const void* p = data ? GlobalLock(data) : nullptr;
  const bool zero = p && GlobalSize(data) >= sizeof(DWORD) && *static_cast<const DWORD*>(p) == 0;
  if (p) GlobalUnlock(data);
  return zero;
}

// Ctrl+V as an edit box takes it: the clipboard's text goes in where the caret is (at the end).
void Paste(HWND hwnd) {
  if (!OpenClipboardWithin(hwnd, g_paste_late ? 400 : 50)) return;
  std::int32_t formats = 0;
  if (IsClipboardFormatAvailable(RegisterClipboardFormatW(L"ExcludeClipboardContentFromMonitorProcessing"))) {
    formats |= type_target::kExcludeFromMonitors;
  }
  if (HoldsZero(L"CanIncludeInClipboardHistory")) formats |= type_target::kNoHistory;
  if (HoldsZero(L"CanUploadToCloudClipboard")) formats |= type_target::kNoCloud;
  std::wstring text;
  if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
    if (const auto* p = static_cast<const wchar_t*>(GlobalLock(data))) {
      text = p;
      GlobalUnlock(data);
    }
  }
  g_shared->holding = 1;
  while (g_paste_hold && g_shared->hold_paste) Sleep(10);
  g_shared->holding = 0;
  CloseClipboard();
  g_shared->paste_formats = g_shared->paste_formats & formats;
  g_shared->pastes = g_shared->pastes + 1;
  AppendShared(g_shared->pasted, text);
  g_chars += text;
  Stamp(text.size());
  OnChange();
}

// A clipboard tool's look at the clipboard after a change.
void ReadChangedClipboard(HWND hwnd) {
  if (!OpenClipboardWithin(hwnd, 50)) return;
  std::wstring text = L"-";
  if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
    if (const auto* p = static_cast<const wchar_t*>(GlobalLock(data))) {
      text = p;
      GlobalUnlock(data);
    }
  }
  AppendShared(g_shared->clipboard_seen, text + L"|");
  g_shared->clipboard_reads = g_shared->clipboard_reads + 1;
  if (g_shared->clipboard_reads == 1) Sleep(static_cast<DWORD>(g_tool_hold));
  CloseClipboard();
}

void SetClipboardText(HWND hwnd) {
  const std::wstring text(g_shared->clipboard);
  if (!OpenClipboard(hwnd)) return;
  EmptyClipboard();
  if (HGLOBAL data = GlobalAlloc(GMEM_MOVEABLE, (text.size() + 1) * sizeof(wchar_t))) {
    std::memcpy(GlobalLock(data), text.c_str(), (text.size() + 1) * sizeof(wchar_t));
    GlobalUnlock(data);
    if (!SetClipboardData(CF_UNICODETEXT, data)) GlobalFree(data);
  }
  CloseClipboard();
}

LRESULT CALLBACK CharBoxProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_CHAR:
      if (wp == 0x16) {  // Ctrl+V
        if (g_paste_late) SetTimer(hwnd, kLatePaste, static_cast<UINT>(g_paste_late), nullptr);
        else Paste(hwnd);
        return 0;
      }
      g_chars += wp == L'\r' ? L"\r\n" : std::wstring(1, static_cast<wchar_t>(wp));
      Stamp(1);
      OnChange();
      return 0;
    case WM_KEYDOWN:
      g_key_time = static_cast<DWORD>(GetMessageTime());
      if (wp == VK_PACKET) g_shared->packets = g_shared->packets + 1;
      break;
    case WM_SETTEXT:
      g_chars = lp ? reinterpret_cast<const wchar_t*>(lp) : L"";
      return TRUE;
    case WM_GETTEXTLENGTH:
      return static_cast<LRESULT>(g_chars.size());
    case WM_GETTEXT: {
      if (wp == 0) return 0;
      const std::size_t n = g_chars.size() < wp - 1 ? g_chars.size() : wp - 1;
      auto* out = reinterpret_cast<wchar_t*>(lp);
      g_chars.copy(out, n);
      out[n] = L'\0';
      return static_cast<LRESULT>(n);
    }
    case WM_GETDLGCODE:
      return DLGC_WANTALLKEYS | DLGC_WANTCHARS;
    case WM_TIMER:
      if (wp != kLatePaste) break;
      KillTimer(hwnd, kLatePaste);
      Paste(hwnd);
      return 0;
  }
  return DefWindowProcW(hwnd, msg, wp, lp);
}

bool g_char_box = false;

void Focus(HWND hwnd) {
  SetForegroundWindow(hwnd);
  SetFocus(g_edit);
}

LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_CLIPBOARDUPDATE:
      ReadChangedClipboard(hwnd);
      return 0;
    case WM_CREATE:
      if (g_tool_hold >= 0) AddClipboardFormatListener(hwnd);
      if (g_char_box) {
        g_edit = CreateWindowExW(0, L"ZanTypeTargetChars", L"", WS_CHILD | WS_VISIBLE, 0, 0, 600, 400,
                                 hwnd, reinterpret_cast<HMENU>(1), nullptr, nullptr);
        return g_edit ? 0 : -1;
      }
      g_edit = CreateWindowExW(0, L"EDIT", L"",
                               WS_CHILD | WS_VISIBLE | WS_VSCROLL | ES_MULTILINE | ES_AUTOVSCROLL |
                                   ES_WANTRETURN,
                               0, 0, 600, 400, hwnd, reinterpret_cast<HMENU>(1), nullptr, nullptr);
      SendMessageW(g_edit, EM_SETLIMITTEXT, 0, 0);
      return g_edit ? 0 : -1;
    case WM_COMMAND:
      if (LOWORD(wp) == 1 && HIWORD(wp) == EN_CHANGE) OnChange();
      return 0;
    case type_target::kArm:
      g_shared->expected = 0;
      SetWindowTextW(g_edit, L"");
      ResetEvent(g_done);
      g_shared->first_change = 0;
      g_shared->done = 0;
      g_shared->length = 0;
      g_shared->stamp_count = 0;
      g_shared->packets = 0;
      g_shared->pastes = 0;
      g_shared->paste_formats = -1;
      g_shared->pasted[0] = L'\0';
      g_shared->expected = static_cast<std::int32_t>(wp);
      return 0;
    case type_target::kFocus:
      Focus(hwnd);
      return 0;
    case type_target::kSetClipboard:
      SetClipboardText(hwnd);
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
  }
  return DefWindowProcW(hwnd, msg, wp, lp);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR cmd, int) {
  std::wstring name = cmd && *cmd ? cmd : L"default";
  for (std::size_t blank; (blank = name.rfind(L' ')) != std::wstring::npos; name.resize(blank)) {
    const std::wstring option = name.substr(blank + 1);
    auto value = [&](const wchar_t* prefix) { return _wtoi(option.c_str() + wcslen(prefix)); };
    if (option == L"--chars") g_char_box = true;
    if (option == L"--paste-hold") g_paste_hold = true;
    if (option.rfind(L"--paste-late=", 0) == 0) g_paste_late = value(L"--paste-late=");
    if (option.rfind(L"--clipboard-tool=", 0) == 0) g_tool_hold = value(L"--clipboard-tool=");
  }
  HANDLE mapping = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                      sizeof(type_target::Shared),
                                      type_target::MappingName(name).c_str());
  if (!mapping) return 1;
  g_shared = static_cast<type_target::Shared*>(
      MapViewOfFile(mapping, FILE_MAP_ALL_ACCESS, 0, 0, sizeof(type_target::Shared)));
  g_done = CreateEventW(nullptr, TRUE, FALSE, type_target::DoneEventName(name).c_str());
  if (!g_shared || !g_done) return 1;

  WNDCLASSW wc{};
  wc.lpfnWndProc = Proc;
  wc.hInstance = instance;
  wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
  wc.lpszClassName = L"ZanTypeTarget";
  RegisterClassW(&wc);
  WNDCLASSW chars{};
  chars.lpfnWndProc = CharBoxProc;
  chars.hInstance = instance;
  chars.hCursor = LoadCursor(nullptr, IDC_IBEAM);
  chars.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  chars.lpszClassName = L"ZanTypeTargetChars";
  RegisterClassW(&chars);
  HWND hwnd = CreateWindowExW(0, wc.lpszClassName, L"ZAN typing target", WS_OVERLAPPEDWINDOW,
                              40, 40, 620, 440, nullptr, nullptr, instance, nullptr);
  if (!hwnd) return 1;
  ShowWindow(hwnd, SW_SHOW);
  UpdateWindow(hwnd);
  Focus(hwnd);
  g_shared->main_window = reinterpret_cast<std::uint64_t>(hwnd);
  g_shared->edit = reinterpret_cast<std::uint64_t>(g_edit);
  g_shared->ready = 1;

  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  UnmapViewOfFile(g_shared);
  CloseHandle(g_done);
  CloseHandle(mapping);
  return 0;
}
