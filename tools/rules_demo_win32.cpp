// Shows the "Typing rules" window with the rules stored, as the program's menu item does, for a
// look at it and for the guides' pictures. Ends when the window closes.
//   zan_rules_demo [--quit-after MILLISECONDS]
#include <windows.h>

#include <cstdlib>
#include <cwchar>

#include "shell/rules_window.h"
#include "shell/settings_window.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR command_line, int) {
  const wchar_t* quit = std::wcsstr(command_line, L"--quit-after ");
  if (quit) SetTimer(nullptr, 0, static_cast<UINT>(std::wcstoul(quit + 13, nullptr, 10)), nullptr);
  shell::EnablePerMonitorDpiAwareness();
  shell::RulesWindow window([] { return shell::Framing{}; });
  window.Show();
  MSG msg;
  while (window.hwnd() && GetMessageW(&msg, nullptr, 0, 0) > 0) {
    if (msg.message == WM_TIMER && !msg.hwnd) break;
    if (IsDialogMessageW(window.hwnd(), &msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  return 0;
}
