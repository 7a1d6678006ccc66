#pragma once
// The settings window's choices and display boxes held as plain values: what the card handler
// reads and fills until the real window stands behind it, and a handy stand-in for tools.

#include <array>
#include <cstdint>
#include <string>

#include "wedge/card_form.h"

namespace shell {

struct CardChoices {
  bool send_sentinels = true;                   // optSentinel(0)
  bool cr_with_track = false;                   // optCR(0)
  bool cr_with_card = false;                    // optCR(2)
  std::array<std::int16_t, 3> tracks{1, 1, 1};  // optTrkFix(0..2): 0, 1 or 2 (greyed)
};

class PlainCardForm : public wedge::CardForm {
 public:
  CardChoices choices;
  std::array<std::wstring, wedge::kDisplayBoxes> boxes;

  std::optional<bool> Option(wedge::CardOption which) override {
    switch (which) {
      case wedge::CardOption::SendSentinels: return choices.send_sentinels;
      case wedge::CardOption::CrWithTrack: return choices.cr_with_track;
      case wedge::CardOption::CrWithCard: return choices.cr_with_card;
    }
    return std::nullopt;
  }
  std::optional<std::int16_t> TrackBox(int track) override {
    if (track < 0 || track >= 3) return std::nullopt;
    return choices.tracks[track];
  }
  bool SetBoxText(int index, const std::wstring& text) override {
    if (index < 0 || index >= wedge::kDisplayBoxes) return false;
    boxes[index] = text;
    return true;
  }
};

}  // namespace shell
