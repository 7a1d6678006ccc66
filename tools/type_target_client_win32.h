#pragma once
// Starting, driving and ending the typing target (zan_type_target.exe) from a test or benchmark,
// and running programs of the Linux side of Wine (xdotool).

#include <cstdint>
#include <memory>
#include <string>

#include "type_target_shared_win32.h"

namespace type_target {

// A Windows path for a path of the Linux side (Wine maps "/" to drive Z:).
std::wstring WinePath(const std::string& unix_path);

// Runs a command line of the Linux side through /bin/sh and waits until it has finished; true
// when it exited 0.
bool RunLinux(const std::string& command);
inline bool Xdotool(const std::string& args) { return RunLinux("xdotool " + args); }

// The performance counter, shared by all processes, and its ticks in milliseconds.
std::int64_t Now();
double Milliseconds(std::int64_t ticks);

// The target process, ended by the one that started it.
class Target {
 public:
  Target();
  ~Target();
  Target(const Target&) = delete;
  Target& operator=(const Target&) = delete;

  // Starts the target and waits until its box has the focus.
  bool Start(const std::wstring& exe);
  // Brings the target to the front with the focus in its box.
  bool Focus();
  // Empties the box and waits for a text of `length` characters.
  void Arm(std::int32_t length);
  // True once the armed length has arrived, within `ms`.
  bool WaitDone(unsigned ms);
  // The box's text.
  std::wstring Text() const;
  const Shared& shared() const;
  // Closes the target, or ends it when it does not close.
  void Stop();

 private:
  struct Handles;
  std::unique_ptr<Handles> h_;
};

}  // namespace type_target
