#pragma once
// What the card data event sees of the settings window: the choices it reads at every card and
// the nine display boxes it fills.

#include <cstdint>
#include <optional>
#include <string>

namespace wedge {

// The option buttons the data event reads.
enum class CardOption {
  SendSentinels,   // optSentinel(0), "Send Sentinels"
  CrWithTrack,     // optCR(0), "Carriage Return with Track Data"
  CrWithCard,      // optCR(2), "Carriage Return with Card Data"
};

inline constexpr int kDisplayBoxes = 9;   // Text1(0) to Text1(8)
inline constexpr int kTrackBoxFirst = 5;  // Text1(5) to Text1(7) show the raw tracks

class CardForm {
 public:
  virtual ~CardForm() = default;

  // The value of an option button; nothing when it cannot be read.
  virtual std::optional<bool> Option(CardOption which) = 0;
  // The value of the track check box optTrkFix(track), track 0 to 2: 0 unticked, 1 ticked,
  // 2 greyed; nothing when it cannot be read.
  virtual std::optional<std::int16_t> TrackBox(int track) = 0;
  // Sets the text of display box Text1(index), index 0 to 8. False when the write fails.
  virtual bool SetBoxText(int index, const std::wstring& text) = 0;
};

}  // namespace wedge
