#pragma once
// The settings window's keyboard: Tab, the arrow keys inside a frame, and where the focus goes
// when the window opens or comes back.

#include <windows.h>

#include <array>

#include "shell/form_layout.h"
#include "shell/form_model.h"

namespace shell {

class SettingsKeys {
 public:
  // Works on the window and controls as they are when called (both references stay valid).
  SettingsKeys(const HWND& window, const std::array<HWND, kControlCount>& controls,
               FormModel& model)
      : window_(window), controls_(controls), model_(model) {}
  SettingsKeys(const SettingsKeys&) = delete;
  SettingsKeys& operator=(const SettingsKeys&) = delete;

  // Takes the arrow keys of a framed check box or option button.
  void Attach(Ctl id);
  // Tab enters a frame's options at the selected one (at the first in tab order while none is).
  void KeepGroupTabStop(Ctl frame);
  // True while the window moves the focus itself: a click reported then is none.
  bool MovingFocus() const { return moving_focus_; }

  // The window is deactivated: remember the control with the focus.
  void KeepFocus();
  // The window is activated: the remembered control, or the first in tab order, gets the focus,
  // unless a control already has it.
  void RestoreFocus();
  // The window opens: it starts at its first control in tab order.
  void ForgetFocus() { last_focus_ = nullptr; }

 private:
  static LRESULT CALLBACK FramedControlProc(HWND control, UINT msg, WPARAM wp, LPARAM lp,
                                            UINT_PTR index, DWORD_PTR data);
  void MoveInFrame(Ctl from, bool forward);
  void Focus(HWND control);
  HWND Control(Ctl id) const { return controls_[static_cast<int>(id)]; }

  const HWND& window_;
  const std::array<HWND, kControlCount>& controls_;
  FormModel& model_;
  bool moving_focus_ = false;
  HWND last_focus_ = nullptr;
};

}  // namespace shell
