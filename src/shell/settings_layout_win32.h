#pragma once
// Where the settings window's controls go at a given scale, with the font the window uses there.

#include <windows.h>

#include <array>

#include "shell/form_layout.h"

namespace shell {

struct ControlPlace {
  RECT rect;       // in the window's client area
  bool multiline;  // the caption wraps: its box was designed for two lines
};

// The design's places, scaled to `dpi`, with every caption fitting its control as measured with
// the font selected into `dc`: a check box or option button grows to the right, and a caption on
// two lines grows downwards, within its frame; a frame grows to the right into the free room
// beside it when a one-line caption needs more, the frames of one column alike.
std::array<ControlPlace, kControlCount> PlaceControls(HDC dc, UINT dpi);

}  // namespace shell
