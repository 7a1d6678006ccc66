// The reference for the program's footprint: the least a tray program is (one hidden window and
// one icon in the notification area), built with the program's static build flags. The wedge
// benchmark starts it the same way as the program and compares start time, memory and idle cost.
// It ends when its window is asked to close (WM_CLOSE), removing its icon first.

#include <windows.h>
#include <shellapi.h>

namespace {

NOTIFYICONDATAW g_icon{};

LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_CLOSE:
      Shell_NotifyIconW(NIM_DELETE, &g_icon);
      DestroyWindow(hwnd);
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
  }
  return DefWindowProcW(hwnd, msg, wp, lp);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  WNDCLASSW wc{};
  wc.lpfnWndProc = Proc;
  wc.hInstance = instance;
  wc.lpszClassName = L"ZanMinimalTray";
  if (!RegisterClassW(&wc)) return 1;
  HWND hwnd = CreateWindowExW(0, wc.lpszClassName, L"ZAN minimal tray program", WS_OVERLAPPEDWINDOW,
                              CW_USEDEFAULT, CW_USEDEFAULT, 200, 100, nullptr, nullptr, instance, nullptr);
  if (!hwnd) return 1;
  g_icon.cbSize = sizeof(g_icon);
  g_icon.hWnd = hwnd;
  g_icon.uID = 1;
  g_icon.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
  g_icon.uCallbackMessage = WM_APP;
  g_icon.hIcon = LoadIconW(nullptr, IDI_APPLICATION);
  lstrcpynW(g_icon.szTip, L"minimal", ARRAYSIZE(g_icon.szTip));
  Shell_NotifyIconW(NIM_ADD, &g_icon);

  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  return 0;
}
