#pragma once
// The keys of the Windows build: injected into the foreground window with one SendInput call,
// with the keys of the window's own keyboard layout or as Unicode characters; and what Windows
// tells of the window in front.

#include <memory>
#include <string>
#include <vector>

#include "wedge/keystroke_plan.h"
#include "wedge/typing_ports.h"

namespace wedge {

// Caps Lock and the modifier keys held down now.
KeyboardState CurrentKeyboardState();

// The file name of the program that owns `window` ("wfica32.exe"); empty when it cannot be read.
std::wstring ProgramFileOf(WindowId window);

class SendInputKeys final : public KeyInjector {
 public:
  SendInputKeys();
  ~SendInputKeys() override;
  SendInputKeys(const SendInputKeys&) = delete;
  SendInputKeys& operator=(const SendInputKeys&) = delete;

  // KeyInjector
  WindowId FrontWindow() override;
  std::uint32_t ProcessOf(WindowId window) override;
  std::wstring ProgramOf(WindowId window) override;
  TypingVerdict Judge(WindowId window) override;
  bool Inject(const std::vector<KeyStroke>& keys, bool unicode) override;
  bool PressPaste() override;

  // Types `keys`, written in the keystroke notation, into the window in front at once (the tests
  // and benchmarks of the keys themselves). False when the text cannot be read (nothing of it is
  // typed) or fewer keys were injected than planned. Every buffer that held the keys is wiped.
  bool SendKeys(const std::wstring& keys);

 private:
  // What each keyboard layout met so far answered, kept because asking costs time on every call.
  struct Layouts;
  std::unique_ptr<Layouts> layouts_;
};

}  // namespace wedge
