#include <windows.h>
#include <shellapi.h>

#include "shell/tray_icon.h"

namespace shell {
namespace {

NOTIFYICONDATAW IconData(HWND window, HICON icon, const std::wstring& tip) {
  NOTIFYICONDATAW nid{};
  nid.cbSize = sizeof(nid);
  nid.hWnd = window;
  nid.uID = kTrayIconId;
  nid.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
  nid.uCallbackMessage = kTrayCallbackMessage;
  nid.hIcon = icon;
  lstrcpynW(nid.szTip, tip.c_str(), ARRAYSIZE(nid.szTip));
  return nid;
}

}  // namespace

TrayIcon::TrayIcon(HWND window, HICON icon)
    : window_(window), icon_(icon), taskbar_created_(RegisterWindowMessageW(L"TaskbarCreated")) {}

TrayIcon::~TrayIcon() { Remove(); }

bool TrayIcon::Add() {
  wanted_ = true;
  NOTIFYICONDATAW nid = IconData(window_, icon_, tip_);
  shown_ = Shell_NotifyIconW(NIM_ADD, &nid) != FALSE;
  return shown_;
}

void TrayIcon::Remove() {
  if (!wanted_) return;
  // Also when the add seemed to fail: a busy notification area may report a time-out for an
  // icon it did add. Deleting an icon it does not hold does no harm.
  NOTIFYICONDATAW nid = IconData(window_, icon_, tip_);
  Shell_NotifyIconW(NIM_DELETE, &nid);  // nothing to do about a failure at this point
  shown_ = false;
  wanted_ = false;
}

void TrayIcon::Change(HICON icon, const std::wstring& tip) {
  icon_ = icon;
  tip_ = tip;
  if (!shown_) return;  // shown as it is now when it is added
  NOTIFYICONDATAW nid = IconData(window_, icon_, tip_);
  Shell_NotifyIconW(NIM_MODIFY, &nid);  // a refusal leaves the old image; the next change retries
}

void TrayIcon::ChangeImage(HICON icon) { Change(icon, tip_); }

void TrayIcon::Notify(const std::wstring& title, const std::wstring& text, bool warning, bool at_once) {
  if (!shown_) return;
  NOTIFYICONDATAW nid = IconData(window_, icon_, tip_);
  nid.uFlags = NIF_INFO;
  lstrcpynW(nid.szInfoTitle, title.c_str(), ARRAYSIZE(nid.szInfoTitle));
  lstrcpynW(nid.szInfo, text.c_str(), ARRAYSIZE(nid.szInfo));
  nid.dwInfoFlags = (warning ? NIIF_WARNING : NIIF_INFO) | (at_once ? NIIF_NOSOUND : NIIF_RESPECT_QUIET_TIME);
  Shell_NotifyIconW(NIM_MODIFY, &nid);  // a balloon the area does not show is no loss
}

bool TrayIcon::OnTaskbarCreated(unsigned message) {
  if (taskbar_created_ == 0 || message != taskbar_created_) return false;
  // The old notification area and our icon in it are gone, or there was none when the icon was
  // added (a log-on start before the taskbar is up). A removed icon stays removed.
  if (wanted_) Add();
  return true;
}

bool TrayIcon::IsCallback(unsigned message, std::intptr_t lparam) const {
  if (message != kTrayCallbackMessage) return false;
  const DWORD pos = GetMessagePos();
  POINT pointer{static_cast<short>(LOWORD(pos)), static_cast<short>(HIWORD(pos))};
  if (!ScreenToClient(window_, &pointer)) return true;
  const auto reported_x = static_cast<short>(LOWORD(static_cast<DWORD_PTR>(lparam)));
  const auto reported_y = static_cast<short>(HIWORD(static_cast<DWORD_PTR>(lparam)));
  return !(IsWindowVisible(window_) && reported_x == pointer.x && reported_y == pointer.y);
}

unsigned ShowTrayMenu(HWND window, HMENU menu, unsigned default_item) {
  SetForegroundWindow(window);  // the menu is shown whether or not this succeeds
  SetMenuDefaultItem(menu, default_item, FALSE);
  POINT at{};
  GetCursorPos(&at);
  const BOOL chosen = TrackPopupMenu(menu, TPM_LEFTALIGN | TPM_LEFTBUTTON | TPM_RETURNCMD,
                                     at.x, at.y, 0, window, nullptr);
  // Without this the menu of a background window may not close on the next click elsewhere.
  PostMessageW(window, WM_NULL, 0, 0);
  return static_cast<unsigned>(chosen);
}

}  // namespace shell
