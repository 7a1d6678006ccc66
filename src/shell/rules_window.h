#pragma once
// The "Typing rules" window (Windows builds only): the typing rules in force, in plain words, and,
// unless Group Policy sets them, adding, changing and removing the user's own, each in a dialog
// box with a control for every setting and a preview of what a test card would type.

#include <functional>
#include <memory>

#include "shell/rule_draft.h"
#include "shell/win_handles.h"

namespace shell {

class RulesWindow {
 public:
  // `framing` tells how the settings window frames a card now, for the previews.
  explicit RulesWindow(std::function<Framing()> framing);
  ~RulesWindow();
  RulesWindow(const RulesWindow&) = delete;
  RulesWindow& operator=(const RulesWindow&) = delete;

  // Opens the window with the rules as they stand, or brings the open one to the front.
  void Show();
  // Closes the window (and a rule's dialog box open over it).
  void Close();
  // The window while it is open, for the message loop's keyboard handling; else nullptr.
  HWND hwnd() const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace shell
