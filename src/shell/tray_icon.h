#pragma once
// The program's icon in the notification area, and its menu.

#include <cstdint>
#include <string>

#include "shell/win_handles.h"

namespace shell {

inline constexpr unsigned kTrayIconId = 1;
inline constexpr unsigned kTrayCallbackMessage = 0x0200;  // the window's own mouse-move message
inline constexpr wchar_t kTrayTip[] = L"ZAN MCR";

// True for the one mouse action on the icon that opens its menu: a right-button press. The
// callback's own mouse message decides, not the live button state, which a quick click has
// already left by the time the callback runs.
constexpr bool OpensTrayMenu(std::uint32_t mouse_message) {
  return (mouse_message & 0xFFFF) == 0x0204;  // WM_RBUTTONDOWN
}

class TrayIcon {
 public:
  // `window` receives the callbacks as kTrayCallbackMessage; `icon` is shown with tip kTrayTip.
  TrayIcon(HWND window, HICON icon);
  ~TrayIcon();  // removes the icon if it is still shown
  TrayIcon(const TrayIcon&) = delete;
  TrayIcon& operator=(const TrayIcon&) = delete;

  // Shows the icon; false when the notification area refused it (or is not there yet), in which
  // case the icon is added when the area announces itself.
  bool Add();
  void Remove();
  // Shows another image and tip (kept for a later re-add); the tip is cut to what the area holds.
  void Change(HICON icon, const std::wstring& tip);
  // Shows another image with the tip it has (the same image at another size).
  void ChangeImage(HICON icon);
  // A balloon by the icon, once: `title` and `text`, with the warning sign when `warning`. It
  // respects the user's quiet hours, unless `at_once` (the program gives its own sound then);
  // nothing when the icon is not shown.
  void Notify(const std::wstring& title, const std::wstring& text, bool warning, bool at_once = false);
  bool shown() const { return shown_; }

  // Call for each message of the window before anything else. When the notification area has
  // been (re)created (Explorer started or restarted), adds the icon again unless it was removed,
  // so the program can still be reached and ended, and returns true.
  bool OnTaskbarCreated(unsigned message);

  // Tells the icon's callback from real pointer movement over the visible window: both arrive
  // as the window's mouse-move message, but only real movement carries the client point that
  // lies under the pointer.
  bool IsCallback(unsigned message, std::intptr_t lparam) const;

 private:
  HWND window_;
  HICON icon_;
  std::wstring tip_ = kTrayTip;
  unsigned taskbar_created_;
  bool wanted_ = false;  // added and not removed since
  bool shown_ = false;
};

// Opens `menu` at the pointer for the icon's owner `window`, left-aligned, items chosen with the
// left button, with `default_item` drawn in bold. Brings the window to the foreground first so
// the menu closes when the user clicks elsewhere. Returns the chosen command, or 0 when none.
unsigned ShowTrayMenu(HWND window, HMENU menu, unsigned default_item);

}  // namespace shell
