#include "shell/lifecycle.h"

#include <exception>
#include <utility>

namespace shell {

Lifecycle::Lifecycle(LifecycleSteps& steps, std::function<void(const char*)> on_failure)
    : steps_(steps), on_failure_(std::move(on_failure)) {}

void Lifecycle::Run(const char* name, void (LifecycleSteps::*step)()) {
  try {
    (steps_.*step)();
  } catch (const std::exception&) {
    if (on_failure_) on_failure_(name);
  }
}

bool Lifecycle::Form_Load() {
  if (unloaded_) return false;
  if (loaded_) return true;
  if (steps_.PreviousInstance()) {
    steps_.ShowAlreadyRunning();
    return false;
  }
  loaded_ = true;
  Run("HideTestArea", &LifecycleSteps::HideTestArea);
  Run("AddTrayIcon", &LifecycleSteps::AddTrayIcon);
  Run("LoadSettings", &LifecycleSteps::LoadSettings);
  Run("ArmFirstPaint", &LifecycleSteps::ArmFirstPaint);
  Run("StartReader", &LifecycleSteps::StartReader);
  return true;
}

void Lifecycle::Form_Unload() {
  if (!loaded_ || unloaded_) return;
  unloaded_ = true;
  Run("SaveSettings", &LifecycleSteps::SaveSettings);
  Run("UpdateRunAtStartup", &LifecycleSteps::UpdateRunAtStartup);
  Run("RemoveTrayIcon", &LifecycleSteps::RemoveTrayIcon);
  Run("StopReader", &LifecycleSteps::StopReader);
}

}  // namespace shell
