#pragma once
// The settings window Form1 as designed: its controls with their names, indices, captions, tool
// tips, positions (twips, relative to their container), tab indices and initial values.

#include <array>
#include <cstdint>

namespace shell {

inline constexpr wchar_t kFormCaption[] = L"Halvane ZAN VORNEL - OPOS to K/B Wedge";
inline constexpr int kClientWidthTwips = 6360;
inline constexpr int kClientHeightTwips = 3795;

enum class ControlKind { Frame, CheckBox, OptionButton, Label, TextBox, CommandButton };

// Every control of the window; the order is that of kControls.
enum class Ctl : int {
  Frame3, Frame5, Frame4, Frame2,
  chkStartup, chkTestmode, chkHideform,
  optTrkFix0, optTrkFix1, optTrkFix2,
  optSentinel0, optSentinel1,
  optCR0, optCR2, optCR1,
  Label1_0, Label1_1, Label1_2, Label1_3, Label1_4, Label1_5, Label1_6, Label1_7, Label1_8,
  Text1_0, Text1_1, Text1_2, Text1_3, Text1_4, Text1_5, Text1_6, Text1_7, Text1_8,
  Command2,
  None,  // the window itself, as a container
};
inline constexpr int kControlCount = static_cast<int>(Ctl::None);

// The members of the control arrays by their index.
Ctl optTrkFix(int index);    // 0 to 2
Ctl optSentinel(int index);  // 0 to 1
Ctl optCR(int index);        // 0 to 2
Ctl Label1(int index);       // 0 to 8
Ctl Text1(int index);        // 0 to 8

struct Twips {
  int left, top, width, height;
};

struct ControlDesign {
  Ctl id;
  ControlKind kind;
  const wchar_t* name;
  int index;             // index in its control array; -1 for a single control
  Ctl container;         // the frame holding it, or Ctl::None for the window
  const wchar_t* caption;
  const wchar_t* tool_tip;  // nullptr: none
  Twips pos;
  int tab_index;
  std::int16_t initial;  // check box 0..2, option button -1/0; 0 for the others
  bool visible;          // as designed, before the start-up hides the test area
};

extern const std::array<ControlDesign, kControlCount> kControls;

inline const ControlDesign& Design(Ctl id) { return kControls[static_cast<int>(id)]; }

// The popup menu mnuPOPUP, opened from the tray icon.
inline constexpr wchar_t kMenuSettings[] = L"Settings";
inline constexpr wchar_t kMenuRules[] = L"Typing rules...";
inline constexpr wchar_t kMenuReconnect[] = L"Reconnect card reader";
inline constexpr wchar_t kMenuExit[] = L"Exit";

}  // namespace shell
