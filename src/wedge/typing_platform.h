#pragma once
// The timer, the clock and the clipboard that typing a card uses, on Windows: one message-only
// window owns the timer and the clipboard's offer, and hands what Windows tells it to the typing.

#include <memory>

#include "wedge/typing_ports.h"

namespace wedge {

class TypingPlatform final : public Timer, public Clock, public Clipboard {
 public:
  TypingPlatform();
  ~TypingPlatform() override;
  TypingPlatform(const TypingPlatform&) = delete;
  TypingPlatform& operator=(const TypingPlatform&) = delete;

  // Where the timer's expiry and the clipboard's news go from now on; nullptr: nowhere.
  void Deliver(TypingEvents* events);

  // Timer
  bool Start(unsigned ms) override;
  void Stop() override;
  void Fine(bool on) override;

  // Clock
  double NowMs() override;
  CalendarDate Today() override;
  void Sleep(unsigned ms) override;

  // Clipboard
  Outcome Keep(std::optional<std::wstring>& text) override;
  Outcome Offer() override;
  bool Free() override;
  std::uint32_t Asker() override;
  bool Render(const std::wstring& text) override;
  Outcome PutBack(const std::optional<std::wstring>& earlier) override;

 private:
  struct Window;
  std::unique_ptr<Window> w_;
};

}  // namespace wedge
