#include "shell/settings_keys_win32.h"

#include <commctrl.h>

#include <algorithm>
#include <vector>

namespace shell {
namespace {

bool HasCheckMark(ControlKind kind) {
  return kind == ControlKind::CheckBox || kind == ControlKind::OptionButton;
}

bool IsArrowKey(WPARAM key) {
  return key == VK_UP || key == VK_DOWN || key == VK_LEFT || key == VK_RIGHT;
}

void SetTabStop(HWND control, bool on) {
  const LONG_PTR style = GetWindowLongPtrW(control, GWL_STYLE);
  const LONG_PTR wanted = on ? style | WS_TABSTOP : style & ~static_cast<LONG_PTR>(WS_TABSTOP);
  if (wanted != style) SetWindowLongPtrW(control, GWL_STYLE, wanted);
}

}  // namespace

void SettingsKeys::Attach(Ctl id) {
  if (HWND control = Control(id)) {
    SetWindowSubclass(control, &SettingsKeys::FramedControlProc, static_cast<UINT_PTR>(id),
                      reinterpret_cast<DWORD_PTR>(this));
  }
}

// The button control moves WS_TABSTOP with every BM_SETCHECK; this runs after it. A stored
// choice can leave a frame with no option selected, which Tab must still reach.
void SettingsKeys::KeepGroupTabStop(Ctl frame) {
  const ControlDesign* first = nullptr;
  bool any_selected = false;
  for (const ControlDesign& option : kControls) {
    if (option.kind != ControlKind::OptionButton || option.container != frame) continue;
    if (!Control(option.id)) return;  // still being created
    any_selected = any_selected || model_.Value(option.id) != 0;
    if (!first || option.tab_index < first->tab_index) first = &option;
  }
  for (const ControlDesign& option : kControls) {
    if (option.kind != ControlKind::OptionButton || option.container != frame) continue;
    SetTabStop(Control(option.id), any_selected ? model_.Value(option.id) != 0 : &option == first);
  }
}

// The arrow keys move through a frame's check boxes and option buttons, top to bottom and round,
// and select an option button they reach, as in a dialog. The dialog manager cannot do it here:
// its groups are runs of the tab order, and a frame's buttons are not one run (the Enter frame's
// options sit at both ends of the tab order); and it selects only automatic option buttons, which
// would select themselves past the model and its track/sentinel rule. So the framed controls ask
// for the arrow keys, and the window moves and selects through the model, the same way on Windows
// and under Wine.
LRESULT CALLBACK SettingsKeys::FramedControlProc(HWND control, UINT msg, WPARAM wp, LPARAM lp,
                                                 UINT_PTR index, DWORD_PTR data) {
  auto* keys = reinterpret_cast<SettingsKeys*>(data);
  switch (msg) {
    case WM_GETDLGCODE: return DefSubclassProc(control, msg, wp, lp) | DLGC_WANTARROWS;
    case WM_KEYDOWN:
      if (!IsArrowKey(wp)) break;
      keys->MoveInFrame(static_cast<Ctl>(index), wp == VK_DOWN || wp == VK_RIGHT);
      return 0;
    case WM_NCDESTROY: RemoveWindowSubclass(control, &SettingsKeys::FramedControlProc, index); break;
    default: break;
  }
  return DefSubclassProc(control, msg, wp, lp);
}

void SettingsKeys::MoveInFrame(Ctl from, bool forward) {
  std::vector<Ctl> members;  // those the user can reach, in screen order
  for (const ControlDesign& design : kControls) {
    HWND control = Control(design.id);
    if (design.container == Design(from).container && HasCheckMark(design.kind) &&
        IsWindowVisible(control) && IsWindowEnabled(control)) {
      members.push_back(design.id);
    }
  }
  std::sort(members.begin(), members.end(), [](Ctl a, Ctl b) {
    const Twips& pa = Design(a).pos;
    const Twips& pb = Design(b).pos;
    return pa.top != pb.top ? pa.top < pb.top : pa.left < pb.left;
  });
  const auto at = std::find(members.begin(), members.end(), from);
  if (at == members.end()) return;
  const std::size_t count = members.size();
  const std::size_t here = static_cast<std::size_t>(at - members.begin());
  const Ctl next = members[(here + (forward ? 1 : count - 1)) % count];
  if (next == from) return;
  // Chosen before it takes the focus: Wine's buttons lose their focus rectangle when they are
  // redrawn as chosen while they have the focus.
  if (Design(next).kind == ControlKind::OptionButton) model_.UserClick(next);
  Focus(Control(next));
}

// Windows (not Wine) has an option button that gains the focus other than by the mouse report a
// click; the window tells that from a real one by MovingFocus.
void SettingsKeys::Focus(HWND control) {
  moving_focus_ = true;
  SetFocus(control);
  moving_focus_ = false;
}

void SettingsKeys::KeepFocus() {
  HWND focus = GetFocus();
  if (focus && IsChild(window_, focus)) last_focus_ = focus;
}

void SettingsKeys::RestoreFocus() {
  HWND focus = GetFocus();
  if (focus && IsChild(window_, focus)) return;
  HWND target = last_focus_;
  if (!target || !IsChild(window_, target) || !IsWindowVisible(target) ||
      !IsWindowEnabled(target)) {
    target = GetNextDlgTabItem(window_, nullptr, FALSE);
  }
  Focus(target ? target : window_);
}

}  // namespace shell
