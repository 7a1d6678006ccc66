// Shows the settings window as the program does at start, with the stored settings and the
// policies, for a look at it and for the guides' screenshots. Ends when the window hides or
// "Exit" is chosen.
//   zan_settings_demo [--test-mode] [--quit-after MILLISECONDS]
#include <windows.h>
#include <shellapi.h>

#include <cwchar>
#include <cstdlib>

#include "settings/registry_settings.h"
#include "settings/settings_table.h"
#include "shell/form_model.h"
#include "shell/settings_window.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  bool test_mode = false;
  UINT quit_after = 0;
  int argc = 0;
  if (LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc)) {
    for (int i = 1; i < argc; ++i) {
      if (std::wcscmp(argv[i], L"--test-mode") == 0) test_mode = true;
      if (std::wcscmp(argv[i], L"--quit-after") == 0 && i + 1 < argc) {
        quit_after = static_cast<UINT>(std::wcstoul(argv[++i], nullptr, 10));
      }
    }
    LocalFree(argv);
  }

  shell::EnablePerMonitorDpiAwareness();
  const auto store = settings::MakeRegistrySettingsStore();
  shell::FormModel form(*store);
  // Hiding the window or choosing "Exit" ends the demo.
  struct DemoOwner : shell::WindowOwner {
    void mnuExit_Click() override { PostQuitMessage(0); }
    void WindowHidden() override { PostQuitMessage(0); }
  } owner;
  shell::SettingsWindow window(form, &owner);
  if (!window.Create()) return 1;
  form.HideTestArea();
  settings::LoadSettings(*store, form,
                         settings::ReadPolicies(*settings::MakeRegistryPolicySource()));
  form.bFirstPaint = -1;
  window.Show();
  if (test_mode) form.SetValue(shell::Ctl::chkTestmode, 1);
  if (quit_after) SetTimer(nullptr, 0, quit_after, nullptr);

  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    if (msg.message == WM_TIMER && !msg.hwnd) break;
    if (IsDialogMessageW(window.hwnd(), &msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  return 0;
}
