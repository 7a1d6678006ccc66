#pragma once
// The program's start-up and shut-down sequences, in their fixed order.

#include <functional>

namespace shell {

// The steps the two sequences are made of; the window, tray icon, settings and reader provide them.
class LifecycleSteps {
 public:
  virtual ~LifecycleSteps() = default;

  virtual bool PreviousInstance() = 0;    // another instance runs in this session
  virtual void ShowAlreadyRunning() = 0;  // the "Already Running" message box; returns when dismissed
  virtual void HideTestArea() = 0;
  virtual void AddTrayIcon() = 0;
  virtual void LoadSettings() = 0;
  virtual void ArmFirstPaint() = 0;       // bFirstPaint := -1
  virtual void StartReader() = 0;

  virtual void SaveSettings() = 0;
  virtual void UpdateRunAtStartup() = 0;  // from the "Run at Startup" box
  virtual void RemoveTrayIcon() = 0;
  virtual void StopReader() = 0;
};

class Lifecycle {
 public:
  // `on_failure` hears the name of a step that failed (it never carries card data).
  explicit Lifecycle(LifecycleSteps& steps, std::function<void(const char* step)> on_failure = {});

  // The start-up sequence. False when another instance runs: the caller ends the program, and
  // nothing has been touched (no setting, log-on entry, icon or reader).
  bool Form_Load();

  // The shut-down sequence, run once however many times the end is requested (exit command,
  // log-off, a task manager). Nothing runs when the start-up sequence did not.
  void Form_Unload();

  bool loaded() const { return loaded_; }

 private:
  // A step that fails is reported and the sequence goes on: an icon left behind or a choice
  // left unsaved because an earlier step failed would be worse than the failure itself.
  void Run(const char* name, void (LifecycleSteps::*step)());

  LifecycleSteps& steps_;
  std::function<void(const char*)> on_failure_;
  bool loaded_ = false;
  bool unloaded_ = false;
};

}  // namespace shell
