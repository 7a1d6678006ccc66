#pragma once
// What the tests against the simulated reader share: a single-threaded apartment, the
// simulator's configuration and journal files, the swipe command, and a message pump that waits.

#include <windows.h>
#include <ole2.h>

#include <functional>
#include <string>
#include <vector>

namespace sim_host {

// OleInitialize for the test's thread; every test creates its reader inside one.
class Apartment {
 public:
  Apartment() : ok_(SUCCEEDED(OleInitialize(nullptr))) {}
  ~Apartment() {
    if (ok_) OleUninitialize();
  }
  Apartment(const Apartment&) = delete;
  Apartment& operator=(const Apartment&) = delete;
  bool ok() const { return ok_; }

 private:
  bool ok_;
};

// A configuration file for the simulated reader, named to it through the environment, with a
// journal file of its own; both are removed again.
class SimFiles {
 public:
  explicit SimFiles(const std::vector<std::string>& lines);
  ~SimFiles();
  SimFiles(const SimFiles&) = delete;
  SimFiles& operator=(const SimFiles&) = delete;

  // The journal's lines, e.g. "call 34 \"ZANKeyboardWedge\"" or "put 4 true".
  std::vector<std::string> Journal() const;

 private:
  std::wstring config_, journal_;
};

// Dispatches messages until `done` holds or `timeout_ms` has passed; returns `done()`.
bool PumpUntil(const std::function<bool()>& done, DWORD timeout_ms = 5000);

// Runs msr-swipe with `args`, dispatching this thread's messages while it runs (it talks to the
// reader's window on this thread). Its exit code, or -1 when it could not be run.
int Swipe(const std::wstring& args);

}  // namespace sim_host
