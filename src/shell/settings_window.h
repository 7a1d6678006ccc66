#pragma once
// The real settings window (Windows builds only): draws the model's controls, passes the user's
// clicks and typing to it, and raises its window rules. The model stays the one working copy.

#include <cstdint>
#include <memory>

#include "shell/form_model.h"
#include "shell/win_handles.h"

namespace shell {

// Makes the process per-monitor DPI aware (before any window exists), where Windows offers it.
void EnablePerMonitorDpiAwareness();

// What the window tells the program that owns it. Every call comes on the window's thread.
class WindowOwner {
 public:
  virtual ~WindowOwner() = default;
  virtual void mnuSettings_Click() {}  // "Settings" chosen
  virtual void mnuExit_Click() {}      // "Exit" chosen
  virtual void mnuReconnect_Click() {}  // "Reconnect card reader" chosen
  // The unload goes ahead (UnloadMode as for Unload); the window is destroyed afterwards.
  virtual void Form_Unload(std::int16_t /*UnloadMode*/) {}
  virtual void WindowHidden() {}  // a rule hid the window
  // Sees every message before the window does; true when it handled it (tray callbacks).
  virtual bool PreviewMessage(unsigned /*msg*/, std::uintptr_t /*wparam*/, std::intptr_t /*lparam*/) {
    return false;
  }
};

class SettingsWindow : public FormView {
 public:
  // Menu command identifiers of the popup menu's items.
  static constexpr unsigned kCmdSettings = 40001;
  static constexpr unsigned kCmdExit = 40002;
  static constexpr unsigned kCmdReconnect = 40003;

  // `owner` (optional) hears the window's events and must outlive it.
  explicit SettingsWindow(FormModel& model, WindowOwner* owner = nullptr);
  ~SettingsWindow() override;
  SettingsWindow(const SettingsWindow&) = delete;
  SettingsWindow& operator=(const SettingsWindow&) = delete;

  // Creates the window and its controls, hidden, and attaches it to the model. False on failure.
  bool Create();
  // The same in two halves, so that a program can put its icon in the notification area before
  // it spends time on the controls: the window alone (with its icons and popup menu), then the
  // controls, which show the model as it is by then. Show creates them if nobody did.
  bool CreateFrame();
  void CreateControls();
  // Shows the window (restored when minimised) and brings it to the front.
  void Show();
  // An unload by the program (1), by log-off or shut-down (2) or by a task manager (3): runs
  // Form_QueryUnload, then, unless cancelled, the owner's Form_Unload and destroys the window. The close box
  // runs the same with 0. True when the window was unloaded.
  bool Unload(std::int16_t UnloadMode);

  HWND hwnd() const;
  // The window of a control; nullptr before Create.
  HWND ControlWindow(Ctl id) const;
  // mnuPOPUP: "Settings" (the default item), a separator, "Reconnect card reader", "Exit".
  HMENU PopupMenu() const;
  // The 16 x 16 icon, for the notification area (greyed: the card reader is not ready); the
  // window shows the 32 x 32 one.
  HICON SmallIcon(bool greyed = false) const;
  // The window's dots per inch, which its layout follows.
  unsigned Dpi() const;

  // FormView
  void Hide() override;
  int WindowState() override;
  void ControlChanged(Ctl id) override;
  void FocusControl(Ctl id) override;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace shell
