#include <windows.h>
#include <shellapi.h>

#include <gtest/gtest.h>

#include "shell/message_pump.h"
#include "shell/tray_icon.h"

namespace {

class TrayIconTest : public ::testing::Test {
 protected:
  void SetUp() override {
    WNDCLASSW wc{};
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"ZanTrayTestWindow";
    RegisterClassW(&wc);
    window = CreateWindowExW(0, wc.lpszClassName, L"tray test", WS_OVERLAPPEDWINDOW, 100, 100, 640,
                             400, nullptr, nullptr, wc.hInstance, nullptr);
    ASSERT_NE(window, nullptr);
    icon = LoadIconW(nullptr, MAKEINTRESOURCEW(32512));  // IDI_APPLICATION
  }
  void TearDown() override { DestroyWindow(window); }

  // True when the notification area knows our icon: only a shown icon can be modified.
  bool IconPresent() {
    NOTIFYICONDATAW nid{};
    nid.cbSize = sizeof(nid);
    nid.hWnd = window;
    nid.uID = shell::kTrayIconId;
    nid.uFlags = NIF_TIP;
    lstrcpyW(nid.szTip, shell::kTrayTip);
    return Shell_NotifyIconW(NIM_MODIFY, &nid) != FALSE;
  }

  HWND window = nullptr;
  HICON icon = nullptr;
};

TEST_F(TrayIconTest, AddedAndRemoved) {
  shell::TrayIcon tray(window, icon);
  ASSERT_TRUE(tray.Add());
  EXPECT_TRUE(IconPresent());
  tray.Remove();
  EXPECT_FALSE(IconPresent());
}

TEST_F(TrayIconTest, RemovedWhenTheOwnerGoesAway) {
  {
    shell::TrayIcon tray(window, icon);
    ASSERT_TRUE(tray.Add());
  }
  EXPECT_FALSE(IconPresent());
}

TEST_F(TrayIconTest, AddedAgainWhenTheNotificationAreaIsRecreated) {
  shell::TrayIcon tray(window, icon);
  ASSERT_TRUE(tray.Add());
  // Explorer restarting: its icons are gone, and it broadcasts TaskbarCreated.
  NOTIFYICONDATAW nid{};
  nid.cbSize = sizeof(nid);
  nid.hWnd = window;
  nid.uID = shell::kTrayIconId;
  Shell_NotifyIconW(NIM_DELETE, &nid);
  ASSERT_FALSE(IconPresent());
  EXPECT_FALSE(tray.OnTaskbarCreated(WM_USER));
  EXPECT_TRUE(tray.OnTaskbarCreated(RegisterWindowMessageW(L"TaskbarCreated")));
  EXPECT_TRUE(IconPresent());
  tray.Remove();
  // A removed icon stays removed.
  EXPECT_TRUE(tray.OnTaskbarCreated(RegisterWindowMessageW(L"TaskbarCreated")));
  EXPECT_FALSE(IconPresent());
}

TEST_F(TrayIconTest, AnIconTheAreaRefusedIsAddedWhenTheAreaAnnouncesItself) {
  // Refused here because an icon of the same window and id is there already; at log-on it is
  // because the taskbar is not up yet.
  NOTIFYICONDATAW other{};
  other.cbSize = sizeof(other);
  other.hWnd = window;
  other.uID = shell::kTrayIconId;
  ASSERT_TRUE(Shell_NotifyIconW(NIM_ADD, &other));
  shell::TrayIcon tray(window, icon);
  ASSERT_FALSE(tray.Add());
  Shell_NotifyIconW(NIM_DELETE, &other);
  ASSERT_FALSE(IconPresent());
  EXPECT_TRUE(tray.OnTaskbarCreated(RegisterWindowMessageW(L"TaskbarCreated")));
  EXPECT_TRUE(IconPresent());
  EXPECT_TRUE(tray.shown());
  tray.Remove();
  EXPECT_FALSE(IconPresent());
}

TEST_F(TrayIconTest, OnlyARightButtonPressOpensTheMenu) {
  EXPECT_TRUE(shell::OpensTrayMenu(WM_RBUTTONDOWN));
  for (unsigned m : {WM_MOUSEMOVE, WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK, WM_RBUTTONUP,
                     WM_RBUTTONDBLCLK, WM_MBUTTONDOWN}) {
    EXPECT_FALSE(shell::OpensTrayMenu(m)) << m;
  }
}

TEST_F(TrayIconTest, RealPointerMovementIsNoCallback) {
  shell::TrayIcon tray(window, icon);
  ShowWindow(window, SW_SHOWNOACTIVATE);
  // Put the pointer over the client area at x = 516, the code of a right-button press.
  POINT at{516, 40};
  ClientToScreen(window, &at);
  SetCursorPos(at.x, at.y);
  shell::DoEvents();
  const LPARAM real_move = MAKELPARAM(516, 40);
  PostMessageW(window, WM_MOUSEMOVE, MK_LBUTTON, real_move);
  MSG msg;
  ASSERT_TRUE(PeekMessageW(&msg, window, WM_MOUSEMOVE, WM_MOUSEMOVE, PM_REMOVE));
  EXPECT_FALSE(tray.IsCallback(msg.message, msg.lParam));
  // The icon's callback: the mouse message where real movement has the point.
  EXPECT_TRUE(tray.IsCallback(WM_MOUSEMOVE, WM_RBUTTONDOWN));
  EXPECT_FALSE(tray.IsCallback(WM_LBUTTONDOWN, WM_RBUTTONDOWN));
}

}  // namespace
