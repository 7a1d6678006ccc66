#pragma once
// Starting, driving and ending the typing target (zan_type_target.exe) from a test or benchmark,
// running other programs, and programs of the Linux side of Wine (xdotool).

#include <windows.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "type_target_shared_win32.h"

namespace type_target {

// A Windows path for a path of the Linux side (Wine maps "/" to drive Z:).
std::wstring WinePath(const std::string& unix_path);

// Starts a command line (the program's path, quoted where it may hold spaces, and its
// arguments). The process's handle, which the caller closes, or nullptr; `pid` gets its id.
HANDLE StartProcess(std::wstring command, DWORD* pid = nullptr);

// Runs a command line to its end: its exit code, or -1 when it could not start or ran past
// `timeout_ms` (it is then ended, so nothing is left behind). With `pump`, the calling thread
// goes on handling its messages while it waits (a reader in this thread answers a swipe).
int RunProcess(const std::wstring& command, unsigned timeout_ms,
               const std::function<void()>& pump = nullptr);

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

  // Starts the target and waits until its box has the focus; `options` go on its command line
  // ("--chars": a box that keeps every character as it arrives).
  bool Start(const std::wstring& exe, const std::wstring& options = L"");
  // Brings the target to the front with the focus in its box.
  bool Focus();
  // Empties the box and waits for a text of `length` characters.
  void Arm(std::int32_t length);
  // True once the armed length has arrived, within `ms`.
  bool WaitDone(unsigned ms);
  // The box's text.
  std::wstring Text() const;
  // When the key of each character since the last Arm came into the box's queue, in ms of the
  // message clock (the --chars box only).
  std::vector<std::int64_t> Stamps() const;
  // Puts `text` on the clipboard, the target owning it as any program that copied would.
  void SetClipboard(const std::wstring& text);
  // With --paste-hold: whether the box keeps the clipboard open once it has read a paste.
  void HoldPaste(bool hold);
  const Shared& shared() const;
  // Closes the target, or ends it when it does not close.
  void Stop();

 private:
  struct Handles;
  std::unique_ptr<Handles> h_;
};

}  // namespace type_target
