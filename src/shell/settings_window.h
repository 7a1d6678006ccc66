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
  virtual void mnuRules_Click() {}      // "Typing rules..." chosen
  // The unload goes ahead (UnloadMode as for Unload); the window is destroyed afterwards.
  virtual void Form_Unload(std::int16_t /*UnloadMode*/) {}
  virtual void WindowHidden() {}  // a rule hid the window
  // The window made its icons anew (when created, and for a new DPI): SmallIcon's earlier
  // icons are gone.
  virtual void IconsChanged() {}
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
  static constexpr unsigned kCmdRules = 40004;

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
  // Shows the window (restored when minimised) and brings it to the front; a window that was
  // hidden opens with the focus on its first control in tab order.
  void Show();
  // Has the settings window of the running copy of the program (in this session) show
  // itself as its "Settings" command does, to the front. False when there is none or it did not
  // answer. Only a window marked by MarkRunningCopy answers, with its owner's mnuSettings_Click.
  static bool ShowRunningCopy();
  // Marks this window as the running copy's: call once this copy has passed the instance check.
  void MarkRunningCopy();
  // An unload by the program (1), by log-off or shut-down (2) or by a task manager (3): runs
  // Form_QueryUnload, then, unless cancelled, the owner's Form_Unload and destroys the window.
  // The close box runs the same with 0. True when the window was unloaded.
  bool Unload(std::int16_t UnloadMode);

  HWND hwnd() const;
  // The window of a control; nullptr before Create.
  HWND ControlWindow(Ctl id) const;
  // mnuPOPUP: "Settings" (the default item), "Typing rules...", a separator, "Reconnect card
  // reader", "Exit".
  HMENU PopupMenu() const;
  // The small icon at the window's DPI, for the notification area (greyed: the card reader is
  // not ready); the caption shows it and the big one. Made anew when the DPI changes.
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
