#pragma once
// A dialog box's template made in memory from a table of its controls: positions in dialog units
// and the dialog font ("MS Shell Dlg"), which Windows scales with the display, so that a dialog
// laid out to fit at 100 % fits at every scale. The Windows files of the shell only.

#include <windows.h>

#include <cstdint>
#include <vector>

namespace shell {

// One control of a dialog: its class ("BUTTON", a WC_ name...), text, identifier, style (WS_CHILD
// and WS_VISIBLE are added) and place in dialog units.
struct DialogItem {
  const wchar_t* window_class;
  const wchar_t* text;
  WORD id;
  DWORD style;
  short x, y, cx, cy;
};

// The template of a dialog with `caption`, `size` in dialog units and `items`, in their tab order.
std::vector<std::uint8_t> MakeDialogTemplate(const wchar_t* caption, DWORD style, short cx, short cy,
                                             const std::vector<DialogItem>& items);

}  // namespace shell
