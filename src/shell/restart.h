#pragma once
// Starting again after Windows closed the program to update it: the window as the user left it.

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace shell {

// The arguments Windows is given to start the program again, for a window shown or hidden.
const wchar_t* RestartArguments(bool window_shown);

// Whether a start by those arguments shows the window; nothing for any other start, which shows
// it as the stored settings say. `args` are the command line's arguments after the program's own
// name.
std::optional<bool> RestartWithWindowShown(const std::vector<std::wstring>& args);

// Keeps the program registered for restart with the arguments of its window's visibility, asking
// Windows again only when the visibility changes.
class RestartRegistration {
 public:
  explicit RestartRegistration(std::function<void(const wchar_t* args)> register_restart)
      : register_(std::move(register_restart)) {}

  void WindowVisible(bool shown);

 private:
  std::function<void(const wchar_t*)> register_;
  std::optional<bool> registered_;
};

}  // namespace shell
