#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <array>
#include <cwchar>
#include <numeric>
#include <string>
#include <utility>

#include "platform/raii_win32.h"
#include "shell/app_icon.h"
#include "shell/settings_keys_win32.h"
#include "shell/settings_layout_win32.h"
#include "shell/settings_window.h"
#include "shell/window_text_win32.h"

namespace shell {
namespace {

constexpr wchar_t kClassName[] = L"ZANKeyboardWedgeForm1";
constexpr int kFirstControlId = 1000;
// Set on the window of the copy that passed the instance check. A later start's frame window
// exists before its own check, so the class alone does not tell the running copy.
constexpr wchar_t kRunningCopyProp[] = L"ZANKeyboardWedge.RunningCopy";

using platform::UniqueFont;
using platform::UniqueIcon;
using platform::UniqueMenu;
using platform::UniqueWindow;

// Asks a running copy's window to show itself, as its menu's "Settings" does.
UINT ShowSettingsMessage() {
  static const UINT message = RegisterWindowMessageW(L"ZANKeyboardWedge.ShowSettings");
  return message;
}

template <typename Fn>
Fn User32(const char* name) {
  return reinterpret_cast<Fn>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), name)));
}

UINT ScreenDpi() {
  HDC screen = GetDC(nullptr);
  const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
  ReleaseDC(nullptr, screen);
  return dpi > 0 ? static_cast<UINT>(dpi) : 96;
}

UINT WindowDpi(HWND hwnd) {
  using Fn = UINT(WINAPI*)(HWND);
  static const Fn get_dpi_for_window = User32<Fn>("GetDpiForWindow");
  const UINT dpi = get_dpi_for_window ? get_dpi_for_window(hwnd) : 0;
  return dpi ? dpi : ScreenDpi();
}

// A system metric (an icon's size) at `dpi`, where Windows can tell one for another DPI.
int MetricForDpi(int index, UINT dpi) {
  using Fn = int(WINAPI*)(int, UINT);
  static const Fn for_dpi = User32<Fn>("GetSystemMetricsForDpi");
  return for_dpi ? for_dpi(index, dpi) : GetSystemMetrics(index);
}

// The window rectangle around a client area of the given size.
SIZE OuterSize(int width, int height, DWORD style, DWORD ex_style, UINT dpi) {
  using Fn = BOOL(WINAPI*)(RECT*, DWORD, BOOL, DWORD, UINT);
  static const Fn adjust_for_dpi = User32<Fn>("AdjustWindowRectExForDpi");
  RECT rect{0, 0, width, height};
  if (!adjust_for_dpi || !adjust_for_dpi(&rect, style, FALSE, ex_style, dpi)) {
    AdjustWindowRectEx(&rect, style, FALSE, ex_style);
  }
  return SIZE{rect.right - rect.left, rect.bottom - rect.top};
}

const wchar_t* ClassOf(ControlKind kind) {
  switch (kind) {
    case ControlKind::Label: return L"STATIC";
    case ControlKind::TextBox: return L"EDIT";
    default: return L"BUTTON";
  }
}

bool HasCheckMark(ControlKind kind) {
  return kind == ControlKind::CheckBox || kind == ControlKind::OptionButton;
}

DWORD StyleOf(ControlKind kind) {
  switch (kind) {
    case ControlKind::Frame: return BS_GROUPBOX;
    // Not the automatic kinds: a click only tells the model, which decides the new state. An
    // option button is a tab stop while it is selected (Sync keeps it so).
    case ControlKind::CheckBox: return BS_3STATE | WS_TABSTOP;
    case ControlKind::OptionButton: return BS_RADIOBUTTON;
    case ControlKind::Label: return SS_RIGHT | SS_NOPREFIX;
    case ControlKind::TextBox: return ES_AUTOHSCROLL | WS_TABSTOP;
    case ControlKind::CommandButton: return BS_PUSHBUTTON | WS_TABSTOP;
  }
  return 0;
}

}  // namespace

void EnablePerMonitorDpiAwareness() {
  using SetContextFn = BOOL(WINAPI*)(HANDLE);
  if (auto set_context = User32<SetContextFn>("SetProcessDpiAwarenessContext")) {
    // DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2, then _PER_MONITOR_AWARE (older Windows 10).
    if (set_context(reinterpret_cast<HANDLE>(static_cast<INT_PTR>(-4)))) return;
    if (set_context(reinterpret_cast<HANDLE>(static_cast<INT_PTR>(-3)))) return;
  }
  using SetAwareFn = BOOL(WINAPI*)();
  if (auto set_aware = User32<SetAwareFn>("SetProcessDPIAware")) set_aware();
}

struct SettingsWindow::Impl {
  Impl(SettingsWindow& window, FormModel& m, WindowOwner* o) : self(window), model(m), owner(o) {}

  SettingsWindow& self;
  FormModel& model;
  WindowOwner* owner;
  HWND hwnd = nullptr;
  std::array<HWND, kControlCount> controls{};
  SettingsKeys keys{hwnd, controls, model};
  UniqueWindow tool_tips;
  UniqueFont font;
  UniqueIcon big_icon;
  UniqueIcon small_icon;
  UniqueIcon small_greyed_icon;
  UniqueMenu popup;
  UINT dpi = 96;
  bool syncing = false;  // the view is writing a control on the model's behalf

  static constexpr DWORD kStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU;
  static constexpr DWORD kExStyle = WS_EX_CONTROLPARENT;

  static LRESULT CALLBACK Trampoline(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_NCCREATE) {
      auto* impl = static_cast<Impl*>(reinterpret_cast<CREATESTRUCTW*>(lp)->lpCreateParams);
      impl->hwnd = hwnd;
      SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(impl));
    }
    auto* impl = reinterpret_cast<Impl*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (!impl) return DefWindowProcW(hwnd, msg, wp, lp);
    return impl->Proc(msg, wp, lp);
  }

  LRESULT Proc(UINT msg, WPARAM wp, LPARAM lp) {
    if (owner && owner->PreviewMessage(msg, wp, lp)) return 0;
    if (msg == ShowSettingsMessage()) {  // a second start hands the user over to this copy
      if (!GetPropW(hwnd, kRunningCopyProp)) return FALSE;  // a start that is not running
      if (owner) owner->mnuSettings_Click();
      return TRUE;
    }
    switch (msg) {
      case WM_COMMAND: OnCommand(LOWORD(wp), HIWORD(wp), reinterpret_cast<HWND>(lp)); return 0;
      case WM_ACTIVATE:
        if (LOWORD(wp) == WA_INACTIVE) {
          keys.KeepFocus();
        } else if (!HIWORD(wp)) {
          keys.RestoreFocus();
          return 0;
        }
        return DefWindowProcW(hwnd, msg, wp, lp);
      case WM_SYSCOMMAND:
        // The close box, the system menu's Close and Alt+F4: the user closes the window.
        if ((wp & 0xFFF0) == SC_CLOSE) {
          self.Unload(0);
          return 0;
        }
        return DefWindowProcW(hwnd, msg, wp, lp);
      // A close request that does not come from the window's own frame: a task manager, or a
      // script asking the program to end.
      case WM_CLOSE: self.Unload(3); return 0;
      case WM_QUERYENDSESSION: return TRUE;
      case WM_ENDSESSION:
        if (wp) self.Unload(2);
        return 0;
      case WM_SIZE: model.Form_Resize(); return 0;
      case WM_PAINT: OnPaint(); return 0;
      case WM_DPICHANGED: OnDpiChanged(LOWORD(wp), reinterpret_cast<const RECT*>(lp)); return 0;
      case WM_NCDESTROY: {
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
        RemovePropW(hwnd, kRunningCopyProp);
        const LRESULT result = DefWindowProcW(hwnd, msg, wp, lp);
        hwnd = nullptr;
        controls.fill(nullptr);
        if (model_view_attached) model.SetView(nullptr);
        return result;
      }
      default: return DefWindowProcW(hwnd, msg, wp, lp);
    }
  }

  void OnCommand(WORD id, WORD code, HWND from) {
    if (!from) {  // a menu item
      if (id == kCmdSettings && owner) owner->mnuSettings_Click();
      if (id == kCmdExit && owner) owner->mnuExit_Click();
      if (id == kCmdReconnect && owner) owner->mnuReconnect_Click();
      if (id == kCmdRules && owner) owner->mnuRules_Click();
      return;
    }
    const int index = id - kFirstControlId;
    if (index < 0 || index >= kControlCount) return;
    const Ctl ctl = static_cast<Ctl>(index);
    // Anyone can post WM_COMMAND with any sender handle: only the control's own window speaks
    // for it.
    if (from != controls[index]) return;
    // A click on a control nobody can see or use comes from another program posting the
    // notification (say, for the hidden test-mode box): not the user's.
    const LONG style = GetWindowLongW(from, GWL_STYLE);
    if (code == BN_CLICKED && (!(style & WS_VISIBLE) || (style & WS_DISABLED))) return;
    if (code == BN_CLICKED) {
      if (keys.MovingFocus()) return;
      model.UserClick(ctl);
    } else if (code == EN_CHANGE && !syncing) {
      model.TextEdited(ctl, WindowText(from));
    }
  }

  void OnPaint() {
    PAINTSTRUCT ps;
    BeginPaint(hwnd, &ps);
    EndPaint(hwnd, &ps);
    model.Form_Paint();  // may hide the window; done after painting
  }

  void OnDpiChanged(UINT new_dpi, const RECT* suggested) {
    dpi = new_dpi;
    MakeIcons();
    if (controls_created) {
      MakeFont();
      Layout();
    }
    const SIZE outer = ClientToOuter();
    SetWindowPos(hwnd, nullptr, suggested->left, suggested->top, outer.cx, outer.cy,
                 SWP_NOZORDER | SWP_NOACTIVATE);
  }

  int Px(int twips) const { return MulDiv(twips, static_cast<int>(dpi), 1440); }

  SIZE ClientToOuter() const {
    return OuterSize(Px(kClientWidthTwips), Px(kClientHeightTwips), kStyle, kExStyle, dpi);
  }

  // The default GUI font, sized for this window's DPI.
  void MakeFont() {
    LOGFONTW lf{};
    GetObjectW(GetStockObject(DEFAULT_GUI_FONT), sizeof lf, &lf);
    lf.lfHeight = MulDiv(lf.lfHeight, static_cast<int>(dpi), static_cast<int>(ScreenDpi()));
    font.reset(CreateFontIndirectW(&lf));
    for (HWND control : controls) {
      if (control) SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font.get()), TRUE);
    }
  }

  void Layout() {
    HDC dc = GetDC(hwnd);
    HGDIOBJ old_font = SelectObject(dc, font.get());
    const std::array<ControlPlace, kControlCount> places = PlaceControls(dc, dpi);
    SelectObject(dc, old_font);
    ReleaseDC(hwnd, dc);
    for (int i = 0; i < kControlCount; ++i) {
      HWND control = controls[i];
      const ControlPlace& place = places[i];
      if (HasCheckMark(kControls[i].kind)) {
        LONG_PTR style = GetWindowLongPtrW(control, GWL_STYLE) & ~static_cast<LONG_PTR>(BS_MULTILINE);
        if (place.multiline) style |= BS_MULTILINE;
        SetWindowLongPtrW(control, GWL_STYLE, style);
      }
      const RECT& r = place.rect;
      SetWindowPos(control, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top,
                   SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
    }
  }

  // The caption's icons and the notification area's, at the sizes Windows gives the window's
  // DPI. The icons made before go only once the owner has taken the new ones.
  void MakeIcons() {
    const int small = MetricForDpi(SM_CXSMICON, dpi);
    UniqueIcon big(CreateAppIcon(MetricForDpi(SM_CXICON, dpi)));
    UniqueIcon plain(CreateAppIcon(small));
    UniqueIcon greyed(CreateAppIcon(small, true));
    std::swap(big_icon, big);
    std::swap(small_icon, plain);
    std::swap(small_greyed_icon, greyed);
    SendMessageW(hwnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(big_icon.get()));
    SendMessageW(hwnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(small_icon.get()));
    if (owner) owner->IconsChanged();
  }

  bool CreateFrame() {
    HINSTANCE instance = GetModuleHandleW(nullptr);

    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = &Impl::Trampoline;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = kClassName;
    RegisterClassExW(&wc);  // fails harmlessly when a second window registers it again

    if (!CreateWindowExW(kExStyle, kClassName, kFormCaption, kStyle, CW_USEDEFAULT,
                         CW_USEDEFAULT, 0, 0, nullptr, nullptr, instance, this)) {
      return false;
    }
    dpi = WindowDpi(hwnd);
    MakeIcons();
    CreatePopup();

    // Centred on the work area of the monitor the window starts on.
    const SIZE outer = ClientToOuter();
    MONITORINFO mi{};
    mi.cbSize = sizeof mi;
    GetMonitorInfoW(MonitorFromWindow(hwnd, MONITOR_DEFAULTTOPRIMARY), &mi);
    const RECT& work = mi.rcWork;
    SetWindowPos(hwnd, nullptr, work.left + (work.right - work.left - outer.cx) / 2,
                 work.top + (work.bottom - work.top - outer.cy) / 2, outer.cx, outer.cy,
                 SWP_NOZORDER | SWP_NOACTIVATE);

    model.SetView(&self);
    model_view_attached = true;
    return true;
  }

  void CreateControls() {
    if (!hwnd || controls_created) return;
    controls_created = true;
    HINSTANCE instance = GetModuleHandleW(nullptr);
    CreateChildren(instance);
    MakeFont();
    Layout();
    CreateToolTips(instance);
  }

  void CreateChildren(HINSTANCE instance) {
    // Tab order is creation order; the frames go to the bottom afterwards so that they never
    // paint over the controls they hold.
    std::array<int, kControlCount> order;
    std::iota(order.begin(), order.end(), 0);
    std::sort(order.begin(), order.end(),
              [](int a, int b) { return kControls[a].tab_index < kControls[b].tab_index; });
    for (int index : order) {
      const ControlDesign& design = kControls[index];
      // Every control a group of its own: the frames' arrow keys are SettingsKeys' business.
      DWORD style = WS_CHILD | WS_CLIPSIBLINGS | WS_GROUP | StyleOf(design.kind);
      if (model.Visible(design.id)) style |= WS_VISIBLE;
      const DWORD ex_style = design.kind == ControlKind::TextBox ? WS_EX_CLIENTEDGE : 0;
      HWND control = CreateWindowExW(
          ex_style, ClassOf(design.kind), design.caption, style, 0, 0, 0, 0, hwnd,
          reinterpret_cast<HMENU>(static_cast<INT_PTR>(kFirstControlId + index)), instance,
          nullptr);
      controls[index] = control;
      if (HasCheckMark(design.kind) && design.container != Ctl::None) keys.Attach(design.id);
    }
    for (const ControlDesign& design : kControls) Sync(design.id);
    for (const ControlDesign& design : kControls) {
      if (design.kind == ControlKind::Frame) {
        SetWindowPos(controls[static_cast<int>(design.id)], HWND_BOTTOM, 0, 0, 0, 0,
                     SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
      }
    }
  }

  void CreateToolTips(HINSTANCE instance) {
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_WIN95_CLASSES};
    InitCommonControlsEx(&icc);
    tool_tips.reset(CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr,
                                    WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, CW_USEDEFAULT,
                                    CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, hwnd, nullptr,
                                    instance, nullptr));
    if (!tool_tips.get()) return;  // the window works without its tips
    for (const ControlDesign& design : kControls) {
      if (!design.tool_tip) continue;
      TOOLINFOW ti{};
      ti.cbSize = TTTOOLINFOW_V1_SIZE;
      ti.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
      ti.hwnd = hwnd;
      ti.uId = reinterpret_cast<UINT_PTR>(controls[static_cast<int>(design.id)]);
      ti.lpszText = const_cast<wchar_t*>(design.tool_tip);
      SendMessageW(tool_tips.get(), TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&ti));
    }
  }

  void CreatePopup() {
    popup.reset(CreatePopupMenu());
    AppendMenuW(popup.get(), MF_STRING, kCmdSettings, kMenuSettings);
    AppendMenuW(popup.get(), MF_STRING, kCmdRules, kMenuRules);
    AppendMenuW(popup.get(), MF_SEPARATOR, 0, nullptr);
    AppendMenuW(popup.get(), MF_STRING, kCmdReconnect, kMenuReconnect);
    AppendMenuW(popup.get(), MF_STRING, kCmdExit, kMenuExit);
    SetMenuDefaultItem(popup.get(), kCmdSettings, FALSE);  // drawn bold
  }

  // Shows the model's value, text and visibility of one control.
  void Sync(Ctl id) {
    HWND control = controls[static_cast<int>(id)];
    if (!control) return;
    syncing = true;
    const ControlDesign& design = Design(id);
    if (design.kind == ControlKind::CheckBox) {
      // 0, 1 and 2 are BST_UNCHECKED, BST_CHECKED and BST_INDETERMINATE.
      SendMessageW(control, BM_SETCHECK, static_cast<WPARAM>(model.Value(id)), 0);
    } else if (design.kind == ControlKind::OptionButton) {
      SendMessageW(control, BM_SETCHECK, model.Value(id) ? BST_CHECKED : BST_UNCHECKED, 0);
      keys.KeepGroupTabStop(design.container);
    } else if (design.kind == ControlKind::TextBox) {
      // A hidden box holds no text: the card handler fills the test area on every card, and
      // a box nobody sees should neither cost an edit control's work nor keep track data where
      // another process can read it. The model keeps the text; showing the box puts it back.
      if (model.Visible(id)) {
        if (WindowText(control) != model.Text(id)) SetWindowTextW(control, model.Text(id).c_str());
      } else if (GetWindowTextLengthW(control) != 0) {
        SetWindowTextW(control, L"");
      }
    }
    const bool visible = model.Visible(id);
    const bool shown = (GetWindowLongW(control, GWL_STYLE) & WS_VISIBLE) != 0;
    if (shown != visible) ShowWindow(control, visible ? SW_SHOWNA : SW_HIDE);
    // A control a policy locked: greyed, and neither the mouse nor the keyboard reaches it.
    const bool enabled = model.Enabled(id);
    if ((IsWindowEnabled(control) != FALSE) != enabled) EnableWindow(control, enabled);
    syncing = false;
  }

  bool model_view_attached = false;
  bool controls_created = false;
};

SettingsWindow::SettingsWindow(FormModel& model, WindowOwner* owner)
    : impl_(std::make_unique<Impl>(*this, model, owner)) {}

SettingsWindow::~SettingsWindow() {
  if (impl_->hwnd) DestroyWindow(impl_->hwnd);
  if (impl_->model_view_attached) impl_->model.SetView(nullptr);
}

bool SettingsWindow::Create() {
  if (!CreateFrame()) return false;
  CreateControls();
  return true;
}

bool SettingsWindow::CreateFrame() { return impl_->hwnd || impl_->CreateFrame(); }

void SettingsWindow::CreateControls() { impl_->CreateControls(); }

void SettingsWindow::Show() {
  HWND hwnd = impl_->hwnd;
  if (!hwnd) return;
  CreateControls();
  if (!IsWindowVisible(hwnd)) impl_->keys.ForgetFocus();
  ShowWindow(hwnd, IsIconic(hwnd) ? SW_RESTORE : SW_SHOW);
  SetForegroundWindow(hwnd);
  if (GetActiveWindow() == hwnd) impl_->keys.RestoreFocus();
}

bool SettingsWindow::ShowRunningCopy() {
  const DWORD self = GetCurrentProcessId();
  HWND other = nullptr;
  while ((other = FindWindowExW(nullptr, other, kClassName, nullptr)) != nullptr) {
    DWORD pid = 0;
    GetWindowThreadProcessId(other, &pid);
    if (pid == self || !GetPropW(other, kRunningCopyProp)) continue;
    // Windows lets only the process the user is working with bring a window to the front; this
    // one is (its user has just confirmed its message), and lends the right to the running copy.
    AllowSetForegroundWindow(pid);
    DWORD_PTR answer = 0;
    return SendMessageTimeoutW(other, ShowSettingsMessage(), 0, 0, SMTO_ABORTIFHUNG, 5000,
                               &answer) != 0 &&
           answer == TRUE;
  }
  return false;
}

void SettingsWindow::MarkRunningCopy() {
  if (impl_->hwnd) SetPropW(impl_->hwnd, kRunningCopyProp, reinterpret_cast<HANDLE>(1));
}

bool SettingsWindow::Unload(std::int16_t UnloadMode) {
  std::int16_t Cancel = 0;
  impl_->model.Form_QueryUnload(Cancel, UnloadMode);
  if (Cancel) return false;
  if (impl_->owner) impl_->owner->Form_Unload(UnloadMode);
  if (impl_->hwnd) DestroyWindow(impl_->hwnd);
  return true;
}

HWND SettingsWindow::hwnd() const { return impl_->hwnd; }
HWND SettingsWindow::ControlWindow(Ctl id) const { return impl_->controls[static_cast<int>(id)]; }
HMENU SettingsWindow::PopupMenu() const { return impl_->popup.get(); }
HICON SettingsWindow::SmallIcon(bool greyed) const {
  return (greyed ? impl_->small_greyed_icon : impl_->small_icon).get();
}
unsigned SettingsWindow::Dpi() const { return impl_->dpi; }

void SettingsWindow::Hide() {
  if (!impl_->hwnd) return;
  ShowWindow(impl_->hwnd, SW_HIDE);
  if (impl_->owner) impl_->owner->WindowHidden();
}

int SettingsWindow::WindowState() {
  if (!impl_->hwnd) return 0;
  if (IsIconic(impl_->hwnd)) return 1;
  if (IsZoomed(impl_->hwnd)) return 2;
  return 0;
}

void SettingsWindow::ControlChanged(Ctl id) { impl_->Sync(id); }

void SettingsWindow::FocusControl(Ctl id) {
  if (HWND control = impl_->controls[static_cast<int>(id)]) SetFocus(control);
}

}  // namespace shell
