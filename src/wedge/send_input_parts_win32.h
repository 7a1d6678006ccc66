#pragma once
// The parts of a card that the Windows keystroke output keeps while it types it (its own files
// only).

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "platform/raii_win32.h"
#include "wedge/send_input_keys.h"
#include "wedge/wipe.h"

namespace wedge {

// The thread timer's procedure that steps the paced or pasted card.
void CALLBACK PacedTimerProc(HWND, UINT, UINT_PTR id, DWORD);

struct SendInputKeys::Card {
  std::vector<KeyStroke> keys;
  CardTexts texts;
  ~Card() { Wipe(keys); }
};

// A card typed one step at a time: one character's keys (with the modifiers it needs) per step,
// or, without a delay between characters, everything up to the next Enter. Before each step
// after the first, the window in front must still be the one the card started in.
struct SendInputKeys::Paced {
  std::vector<KeyStroke> keys;
  std::wstring program;
  HWND window = nullptr;
  bool unicode = false;
  unsigned delay_ms = 0;
  unsigned enter_delay_ms = 0;
  std::size_t next = 0;
  UINT_PTR timer = 0;
  double due_ms = 0;  // when the next step is due, so the pace does not drift
  ~Paced() { Wipe(keys); }
};

struct SendInputKeys::Pasting {
  std::vector<KeyStroke> keys;
  std::size_t next = 0;
  std::wstring program;
  HWND target = nullptr;
  platform::UniqueWindow owner;
  std::optional<std::wstring> earlier;  // the clipboard's text before
  std::wstring offered;                 // the text on offer now
  bool offering = false;                // the clipboard is ours, with the card's text
  bool rendered = false;
  ULONGLONG offered_at = 0;
  UINT_PTR timer = 0;
  ~Pasting() {
    Wipe(keys);
    Wipe(offered);
  }
};

}  // namespace wedge
