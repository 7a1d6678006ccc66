#pragma once
// What typing a card needs of the platform, as small interfaces: the window in front and the keys
// injected into it, one timer, a clock, and the clipboard. The Windows build has one adapter of
// each; the unit tests have fakes.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "wedge/aamva.h"
#include "wedge/keystroke_notation.h"
#include "wedge/typing_target.h"

namespace wedge {

// A top-level window as the platform names it; 0 for none.
using WindowId = std::uint64_t;

class KeyInjector {
 public:
  virtual ~KeyInjector() = default;
  // The window in front now.
  virtual WindowId FrontWindow() = 0;
  // The process that owns `window`; 0 when unknown.
  virtual std::uint32_t ProcessOf(WindowId window) = 0;
  // The file name of the program that owns `window` ("wfica32.exe"); empty when unknown.
  virtual std::wstring ProgramOf(WindowId window) = 0;
  // Whether keys injected now would reach `window`: not one of this program's own windows, nor a
  // more privileged program's, whose keys Windows drops without a word.
  virtual TypingVerdict Judge(WindowId window) = 0;
  // Injects `keys` in one call into the window in front, with the keys of its layout or (`unicode`)
  // as Unicode characters; false when fewer were injected than planned.
  virtual bool Inject(const std::vector<KeyStroke>& keys, bool unicode) = 0;
  // Ctrl+V, whatever the layout types with it.
  virtual bool PressPaste() = 0;
};

class Clock {
 public:
  virtual ~Clock() = default;
  // Milliseconds, finer than the system tick.
  virtual double NowMs() = 0;
  // The till's local date.
  virtual CalendarDate Today() = 0;
  // Waits `ms` without handling any message: only for the bounded waits of the program's end.
  virtual void Sleep(unsigned ms) = 0;
};

// One timer, whose expiry comes back as TypingEvents::TimerElapsed.
class Timer {
 public:
  virtual ~Timer() = default;
  // Elapses once, `ms` from now, in place of one already set; false when none could be had.
  virtual bool Start(unsigned ms) = 0;
  virtual void Stop() = 0;
  // The system's timers to the millisecond (while a card is typed with pauses), or as before.
  virtual void Fine(bool on) = 0;
};

class Clipboard {
 public:
  enum class Outcome {
    Done,
    Held,    // another program holds the clipboard open: ask again
    Failed,  // it cannot be done
  };
  virtual ~Clipboard() = default;
  // The text on the clipboard now, to be put back after the card (nothing: it holds no text).
  virtual Outcome Keep(std::optional<std::wstring>& text) = 0;
  // Empties the clipboard and offers a text in its place, with the formats that keep it out of
  // clipboard history, the cloud clipboard and clipboard monitors. The text itself is given only
  // when a program asks for it, and only by Render (see TypingEvents::RenderRequested).
  virtual Outcome Offer() = 0;
  // True when no program holds the clipboard open now.
  virtual bool Free() = 0;
  // Inside a request for the offered text: the process whose window holds the clipboard open,
  // the one that asks; 0 when the clipboard was opened without a window.
  virtual std::uint32_t Asker() = 0;
  // Inside a request: gives the asker `text`. False when it could not be given.
  virtual bool Render(const std::wstring& text) = 0;
  // Takes the offer back (wiping a text given meanwhile), empties the clipboard and puts `earlier`
  // back on it. Failed: the clipboard was emptied, but `earlier` could not be put back.
  virtual Outcome PutBack(const std::optional<std::wstring>& earlier) = 0;
};

// What the platform tells the typing, from its message loop.
class TypingEvents {
 public:
  virtual ~TypingEvents() = default;
  virtual void TimerElapsed() = 0;
  // A program asks for the offered text; it is given only when Render is called before this
  // returns.
  virtual void RenderRequested() = 0;
  // Another program emptied the clipboard while the text was on offer.
  virtual void ClipboardTaken() = 0;
};

}  // namespace wedge
