#include <windows.h>

#include "shell/message_box.h"

namespace shell {
namespace {

UINT DpiOf(HWND hwnd) {
  using Fn = UINT(WINAPI*)(HWND);
  static const Fn for_window = reinterpret_cast<Fn>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleW(L"user32.dll"), "GetDpiForWindow")));
  const UINT dpi = for_window ? for_window(hwnd) : 0;
  return dpi ? dpi : 96;
}

bool CaptionMetrics(HWND box, NONCLIENTMETRICSW& metrics) {
  using Fn = BOOL(WINAPI*)(UINT, UINT, PVOID, UINT, UINT);
  static const Fn for_dpi = reinterpret_cast<Fn>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleW(L"user32.dll"), "SystemParametersInfoForDpi")));
  metrics = NONCLIENTMETRICSW{};
  metrics.cbSize = sizeof metrics;
  if (for_dpi && for_dpi(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0, DpiOf(box))) {
    return true;
  }
  return SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0) != FALSE;
}

int CaptionTextWidth(HWND box, const LOGFONTW& caption_font) {
  wchar_t caption[256] = {};
  const int length = GetWindowTextW(box, caption, 256);
  HFONT font = CreateFontIndirectW(&caption_font);
  if (!font) return 0;
  HDC dc = GetDC(box);
  HGDIOBJ old_font = SelectObject(dc, font);
  SIZE text{};
  GetTextExtentPoint32W(dc, caption, length, &text);
  SelectObject(dc, old_font);
  ReleaseDC(box, dc);
  DeleteObject(font);
  return text.cx;
}

// A message box sizes itself to its text and buttons. Windows widens it for a longer caption;
// Wine does not, and cuts the caption short. Widen it about its centre until the caption fits
// between the margin (or icon) on its left and the close box.
void FitCaption(HWND box) {
  NONCLIENTMETRICSW metrics;
  if (!CaptionMetrics(box, metrics)) return;
  RECT window, client;
  GetWindowRect(box, &window);
  GetClientRect(box, &client);
  const int width = window.right - window.left;
  const int needed = (width - client.right) + CaptionTextWidth(box, metrics.lfCaptionFont) +
                     3 * metrics.iCaptionWidth;
  if (width >= needed) return;
  const int grow = needed - width;
  SetWindowPos(box, nullptr, window.left - grow / 2, window.top, needed,
               window.bottom - window.top, SWP_NOZORDER | SWP_NOACTIVATE);
  for (HWND child = GetWindow(box, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    RECT r;
    GetWindowRect(child, &r);
    MapWindowPoints(nullptr, box, reinterpret_cast<POINT*>(&r), 2);
    SetWindowPos(child, nullptr, r.left + grow / 2, r.top, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
}

// Sees each message box of this thread once it has laid itself out, before it shows.
LRESULT CALLBACK AfterMessage(int code, WPARAM wp, LPARAM lp) {
  if (code == HC_ACTION) {
    const auto* sent = reinterpret_cast<const CWPRETSTRUCT*>(lp);
    wchar_t class_name[16] = {};
    if (sent->message == WM_INITDIALOG && GetClassNameW(sent->hwnd, class_name, 16) &&
        lstrcmpW(class_name, L"#32770") == 0) {
      FitCaption(sent->hwnd);
    }
  }
  return CallNextHookEx(nullptr, code, wp, lp);
}

}  // namespace

void ShowMessage(const wchar_t* text, const wchar_t* caption) {
  HHOOK hook = SetWindowsHookExW(WH_CALLWNDPROCRET, &AfterMessage, nullptr, GetCurrentThreadId());
  MessageBoxW(nullptr, text, caption, MB_OK);
  if (hook) UnhookWindowsHookEx(hook);  // without it the box shows as it comes
}

}  // namespace shell
