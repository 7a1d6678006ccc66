#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "settings/settings_table.h"
#include "shell/form_model.h"
#include "shell/message_pump.h"
#include "shell/settings_window.h"
#include "unit/settings_fakes.h"

namespace {

using shell::Ctl;

std::wstring ClassOf(HWND hwnd) {
  wchar_t name[64] = {};
  GetClassNameW(hwnd, name, 64);
  return name;
}

std::wstring TextOf(HWND hwnd) {
  wchar_t text[256] = {};
  GetWindowTextW(hwnd, text, 256);
  return text;
}

struct CaptionSearch {
  std::wstring caption;
  HWND found;
};

BOOL CALLBACK MatchCaption(HWND child, LPARAM lp) {
  auto* search = reinterpret_cast<CaptionSearch*>(lp);
  if (TextOf(child) != search->caption) return TRUE;
  search->found = child;
  return FALSE;
}

// The child window with this caption, found as a user's tool would find it.
HWND ChildByCaption(HWND parent, const std::wstring& caption) {
  CaptionSearch search{caption, nullptr};
  EnumChildWindows(parent, &MatchCaption, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

RECT RectInParent(HWND child) {
  RECT r;
  GetWindowRect(child, &r);
  MapWindowPoints(nullptr, GetParent(child), reinterpret_cast<POINT*>(&r), 2);
  return r;
}

// What the window told its owner.
struct RecordingOwner : shell::WindowOwner {
  void mnuSettings_Click() override { ++settings; }
  void mnuExit_Click() override { ++exits; }
  void mnuReconnect_Click() override { ++reconnects; }
  void Form_Unload(std::int16_t mode) override { unloads.push_back(mode); }
  int settings = 0, exits = 0, reconnects = 0;
  std::vector<std::int16_t> unloads;
};

// A control's name in the layout, with its index in its control array.
std::string Name(Ctl id) {
  const shell::ControlDesign& design = shell::Design(id);
  std::string name(design.name, design.name + wcslen(design.name));
  return design.index < 0 ? name : name + "(" + std::to_string(design.index) + ")";
}

class SettingsWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(window.Create());
    form.HideTestArea();
    settings::LoadSettings(store, form);
    window.Show();
    shell::DoEvents();
  }
  HWND Control(Ctl id) { return window.ControlWindow(id); }
  LRESULT Check(Ctl id) { return SendMessageW(Control(id), BM_GETCHECK, 0, 0); }
  int Px(int twips) { return MulDiv(twips, static_cast<int>(window.Dpi()), 1440); }

  testing_fakes::MemoryStore store;
  shell::FormModel form{store};
  RecordingOwner owner;
  shell::SettingsWindow window{form, &owner};
};

TEST_F(SettingsWindowTest, IsAFixedCaptionedWindowWithOnlyACloseBox) {
  HWND hwnd = window.hwnd();
  EXPECT_EQ(TextOf(hwnd), L"Halvane ZAN VORNEL - OPOS to K/B Wedge");
  const LONG style = GetWindowLongW(hwnd, GWL_STYLE);
  EXPECT_TRUE(style & WS_SYSMENU);
  EXPECT_EQ(style & WS_CAPTION, WS_CAPTION);
  EXPECT_FALSE(style & (WS_MAXIMIZEBOX | WS_MINIMIZEBOX | WS_THICKFRAME));
  EXPECT_EQ(GetMenu(hwnd), nullptr);
  RECT client;
  GetClientRect(hwnd, &client);
  EXPECT_EQ(client.right, Px(6360));
  EXPECT_EQ(client.bottom, Px(3795));
}

TEST_F(SettingsWindowTest, EveryCaptionedControlIsThereWithItsKindPlaceAndFont) {
  LOGFONTW gui{};
  GetObjectW(GetStockObject(DEFAULT_GUI_FONT), sizeof gui, &gui);
  for (const shell::ControlDesign& design : shell::kControls) {
    if (!*design.caption) continue;
    SCOPED_TRACE(testing::Message() << std::string(design.caption, design.caption + wcslen(design.caption)));
    HWND control = ChildByCaption(window.hwnd(), design.caption);
    ASSERT_NE(control, nullptr);
    EXPECT_EQ(control, Control(design.id));
    const LONG style = GetWindowLongW(control, GWL_STYLE);
    switch (design.kind) {
      case shell::ControlKind::CheckBox:
        EXPECT_EQ(ClassOf(control), L"Button");
        EXPECT_EQ(style & BS_TYPEMASK, BS_3STATE);  // can show the greyed state
        break;
      case shell::ControlKind::OptionButton:
        EXPECT_EQ(style & BS_TYPEMASK, BS_RADIOBUTTON);
        break;
      case shell::ControlKind::Label:
        EXPECT_EQ(ClassOf(control), L"Static");
        EXPECT_EQ(style & SS_TYPEMASK, SS_RIGHT);
        break;
      case shell::ControlKind::CommandButton:
        EXPECT_EQ(style & BS_TYPEMASK, BS_PUSHBUTTON);
        break;
      default: break;
    }
    int left = design.pos.left, top = design.pos.top;
    if (design.container != Ctl::None) {
      left += shell::Design(design.container).pos.left;
      top += shell::Design(design.container).pos.top;
    }
    const RECT r = RectInParent(control);
    EXPECT_EQ(r.left, Px(left));
    EXPECT_EQ(r.top, Px(top));
    EXPECT_GE(r.bottom - r.top, Px(design.pos.height));  // a caption may grow, see below
    EXPECT_GE(r.right - r.left, Px(design.pos.width));
    // The default GUI font, not the bold system font.
    HFONT font = reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0));
    ASSERT_NE(font, nullptr);
    LOGFONTW lf{};
    GetObjectW(font, sizeof lf, &lf);
    EXPECT_STREQ(lf.lfFaceName, gui.lfFaceName);
    EXPECT_LT(lf.lfWeight, FW_BOLD);
  }
}

// A metric (the check mark's width, an icon's size) at a scale, as the system sizes it.
int MetricAt(int index, UINT dpi) {
  using Fn = int(WINAPI*)(int, UINT);
  const auto for_dpi = reinterpret_cast<Fn>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleW(L"user32.dll"), "GetSystemMetricsForDpi")));
  return for_dpi ? for_dpi(index, dpi) : MulDiv(GetSystemMetrics(index), dpi, 96);
}

// A square icon's size; -1 for any other, 0 for none.
int IconSize(HICON icon) {
  ICONINFO info{};
  if (!GetIconInfo(icon, &info)) return 0;
  BITMAP bm{};
  GetObjectW(info.hbmColor, sizeof bm, &bm);
  DeleteObject(info.hbmColor);
  DeleteObject(info.hbmMask);
  return bm.bmWidth == bm.bmHeight ? bm.bmWidth : -1;
}

// At every scale Windows offers, each caption in a frame, measured with the font the window uses
// there, fits beside its check mark, and its control lies inside the frame's border; the
// caption's icons and the notification area's, plain and greyed, have that scale's sizes.
TEST_F(SettingsWindowTest, EveryCaptionFitsAndEveryIconIsSizedAtEveryScale) {
  for (UINT dpi : {96u, 144u, 192u, 288u}) {
    // What Windows sends when the window moves to a monitor of another scale.
    RECT suggested;
    GetWindowRect(window.hwnd(), &suggested);
    SendMessageW(window.hwnd(), WM_DPICHANGED, MAKEWPARAM(dpi, dpi),
                 reinterpret_cast<LPARAM>(&suggested));
    ASSERT_EQ(window.Dpi(), dpi);
    const auto big = reinterpret_cast<HICON>(SendMessageW(window.hwnd(), WM_GETICON, ICON_BIG, 0));
    EXPECT_EQ(IconSize(big), MetricAt(SM_CXICON, dpi)) << dpi << " dpi";
    for (HICON small : {reinterpret_cast<HICON>(SendMessageW(window.hwnd(), WM_GETICON, ICON_SMALL, 0)),
                        window.SmallIcon(), window.SmallIcon(true)}) {
      EXPECT_EQ(IconSize(small), MetricAt(SM_CXSMICON, dpi)) << dpi << " dpi";
    }
    for (const shell::ControlDesign& design : shell::kControls) {
      if (design.container == Ctl::None) continue;
      SCOPED_TRACE(testing::Message() << dpi << " dpi, " << Name(design.id));
      HWND control = Control(design.id);
      HDC dc = GetDC(control);
      HGDIOBJ old_font = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0)));
      // Buttons draw the text half a digit right of the check mark.
      int digit = 0;
      GetCharWidth32W(dc, L'0', L'0', &digit);
      RECT client;
      GetClientRect(control, &client);
      const int room = client.right - MetricAt(SM_CXMENUCHECK, dpi) - digit / 2;
      RECT text{0, 0, room, 0};
      const bool wraps = (GetWindowLongW(control, GWL_STYLE) & BS_MULTILINE) != 0;
      DrawTextW(dc, design.caption, -1, &text,
                DT_CALCRECT | (wraps ? DT_WORDBREAK : DT_SINGLELINE));
      SelectObject(dc, old_font);
      ReleaseDC(control, dc);
      EXPECT_LE(text.right, room);
      EXPECT_LE(text.bottom, client.bottom);

      RECT frame = RectInParent(Control(design.container));
      InflateRect(&frame, -GetSystemMetrics(SM_CXEDGE), -GetSystemMetrics(SM_CYEDGE));
      const RECT r = RectInParent(control);
      EXPECT_GE(r.left, frame.left);
      EXPECT_GE(r.top, frame.top);
      EXPECT_LE(r.right, frame.right);
      EXPECT_LE(r.bottom, frame.bottom);
    }
  }
}

TEST_F(SettingsWindowTest, StartsWithTheLoadedChoicesAndTheTestAreaHidden) {
  EXPECT_EQ(Check(Ctl::chkStartup), BST_CHECKED);
  EXPECT_EQ(Check(Ctl::chkHideform), BST_UNCHECKED);
  EXPECT_EQ(Check(Ctl::optCR1), BST_CHECKED);
  EXPECT_EQ(Check(Ctl::optCR0), BST_UNCHECKED);
  EXPECT_EQ(Check(Ctl::optSentinel0), BST_CHECKED);
  EXPECT_EQ(Check(Ctl::optSentinel1), BST_UNCHECKED);
  EXPECT_FALSE(IsWindowVisible(Control(Ctl::chkTestmode)));
  for (int i = 0; i < 9; ++i) {
    EXPECT_FALSE(IsWindowVisible(Control(shell::Text1(i))));
    EXPECT_FALSE(IsWindowVisible(Control(shell::Label1(i))));
  }
  EXPECT_FALSE(IsWindowVisible(Control(Ctl::Command2)));
  EXPECT_TRUE(IsWindowVisible(Control(Ctl::chkStartup)));
}

TEST_F(SettingsWindowTest, ClicksGoThroughTheModelsRulesAndShowTheirOutcome) {
  form.SetValue(Ctl::optTrkFix2, 2);
  EXPECT_EQ(Check(Ctl::optTrkFix2), BST_INDETERMINATE);
  SendMessageW(Control(Ctl::optSentinel1), BM_CLICK, 0, 0);  // three tracks: snaps back
  EXPECT_EQ(Check(Ctl::optSentinel0), BST_CHECKED);
  EXPECT_EQ(Check(Ctl::optSentinel1), BST_UNCHECKED);

  SendMessageW(Control(Ctl::optTrkFix0), BM_CLICK, 0, 0);
  SendMessageW(Control(Ctl::optTrkFix2), BM_CLICK, 0, 0);  // greyed -> ticked
  EXPECT_EQ(form.Value(Ctl::optTrkFix0), 0);
  EXPECT_EQ(form.Value(Ctl::optTrkFix2), 1);
  EXPECT_EQ(Check(Ctl::optTrkFix2), BST_CHECKED);

  SendMessageW(Control(Ctl::optCR2), BM_CLICK, 0, 0);
  EXPECT_EQ(form.Value(Ctl::optCR2), -1);
  EXPECT_EQ(Check(Ctl::optCR1), BST_UNCHECKED);
}

TEST_F(SettingsWindowTest, TestModeShowsTheAreaAndTypedTextReachesTheModel) {
  form.SetText(shell::Text1(5), L"4111111111111111=99");
  form.SetValue(Ctl::chkTestmode, 1);
  EXPECT_TRUE(IsWindowVisible(Control(Ctl::Text1_8)));
  EXPECT_TRUE(IsWindowVisible(Control(Ctl::Command2)));
  EXPECT_EQ(TextOf(Control(shell::Text1(5))), L"4111111111111111=99");
  EXPECT_EQ(GetFocus(), Control(Ctl::Text1_8));
  SetWindowTextW(Control(Ctl::Text1_8), L"typed");
  EXPECT_EQ(form.Text(Ctl::Text1_8), L"typed");
  SendMessageW(Control(Ctl::Command2), BM_CLICK, 0, 0);
  EXPECT_EQ(TextOf(Control(shell::Text1(5))), L"");
  EXPECT_EQ(form.Text(Ctl::Text1_8), L"");
  form.SetValue(Ctl::chkTestmode, 0);
  EXPECT_FALSE(IsWindowVisible(Control(Ctl::Text1_8)));
}

// A card's data stays in the window only while the test mode shows it; another program that
// posts a click of the hidden test-mode box, with it, another control or nothing as the sender,
// finds nothing and changes nothing.
TEST_F(SettingsWindowTest, CardTextIsKeptOnlyWhileTestModeShowsIt) {
  const std::wstring track1 = L"%B4111111111111111^TEST/CARD^2512101?";
  const std::wstring track2 = L";4111111111111111=2512101?";
  HWND box = Control(shell::Text1(6));
  form.SetBoxText(6, track1);
  EXPECT_EQ(TextOf(box), L"");
  EXPECT_EQ(form.Text(shell::Text1(6)), L"");

  HWND test_mode = Control(Ctl::chkTestmode);
  for (HWND sender : {test_mode, Control(Ctl::chkStartup), HWND{}}) {
    PostMessageW(window.hwnd(), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(test_mode), BN_CLICKED),
                 reinterpret_cast<LPARAM>(sender));
  }
  shell::DoEvents();
  EXPECT_EQ(form.bTestMode, 0);
  EXPECT_FALSE(IsWindowVisible(box));

  form.SetValue(Ctl::chkTestmode, 1);
  EXPECT_EQ(TextOf(box), L"");
  form.SetBoxText(6, track2);
  EXPECT_EQ(TextOf(box), track2);
  form.SetValue(Ctl::chkTestmode, 0);
  EXPECT_EQ(TextOf(box), L"");
  EXPECT_EQ(form.Text(shell::Text1(6)), L"");
}

using Stored = std::vector<std::pair<const wchar_t*, const wchar_t*>>;


// The window with stored settings, open in front, taking keys pressed at the keyboard as the
// program's message loop hands them on.
class KeyboardWindow {
 public:
  explicit KeyboardWindow(const Stored& stored, bool test_mode = false) {
    for (const auto& [key, text] : stored) store.Put(key, text);
    if (!window.Create()) return;
    form.HideTestArea();
    settings::LoadSettings(store, form);
    if (test_mode) form.SetValue(Ctl::chkTestmode, 1);
    window.Show();
    Pump();
    in_front = GetForegroundWindow() == window.hwnd();
  }

  void Press(WORD key) {
    INPUT input[2] = {};
    input[0].type = INPUT_KEYBOARD;
    input[0].ki.wVk = key;
    input[1] = input[0];
    input[1].ki.dwFlags = KEYEVENTF_KEYUP;
    SendInput(2, input, sizeof(INPUT));
    Pump();
  }

  // The control with the focus.
  std::string Focused() const {
    HWND focus = GetFocus();
    for (const shell::ControlDesign& design : shell::kControls) {
      if (window.ControlWindow(design.id) == focus) return Name(design.id);
    }
    if (focus == window.hwnd()) return "(the window itself)";
    return focus ? "(another window)" : "(nothing)";
  }

  testing_fakes::MemoryStore store;
  shell::FormModel form{store};
  shell::SettingsWindow window{form};
  bool in_front = false;

 private:
  void Pump() {
    const ULONGLONG end = GetTickCount64() + 100;
    MSG msg;
    do {
      while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (IsDialogMessageW(window.hwnd(), &msg)) continue;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
      }
      Sleep(5);
    } while (GetTickCount64() < end);
  }
};

struct TabOrderCase {
  const char* name;
  Stored stored;
  bool test_mode;
  std::vector<Ctl> stops;  // where the window opens, then every Tab, round to the first again
};

// Tab follows the layout's tab indices; a frame's options are one stop, at the selected one.
TEST(SettingsWindowKeys, OpensAtTheFirstStopAndTabGoesRoundInTabIndexOrder) {
  const std::vector<Ctl> rest = {Ctl::chkStartup, Ctl::chkHideform, Ctl::optSentinel0,
                                 Ctl::optTrkFix0, Ctl::optTrkFix1, Ctl::optTrkFix2};
  auto then = [](std::vector<Ctl> first, const std::vector<Ctl>& more) {
    first.insert(first.end(), more.begin(), more.end());
    return first;
  };
  const TabOrderCase cases[] = {
      {"defaults: No Carriage Return", {}, false, then({Ctl::optCR1}, rest)},
      {"Carriage Return with Track Data", {{L"CR0", L"True"}, {L"CR1", L"False"}}, false,
       then({Ctl::optCR0}, rest)},
      {"Carriage Return with Card Data, one track, no sentinels",
       {{L"CR1", L"False"}, {L"CR2", L"True"}, {L"Trk1", L"0"}, {L"Trk2", L"0"},
        {L"Sent1", L"False"}, {L"Sent2", L"True"}},
       false,
       {Ctl::chkStartup, Ctl::chkHideform, Ctl::optSentinel1, Ctl::optTrkFix0, Ctl::optTrkFix1,
        Ctl::optTrkFix2, Ctl::optCR2}},
      {"no Enter choice stored: the frame's first option in tab order",
       {{L"CR0", L"False"}, {L"CR1", L"False"}}, false, then({Ctl::optCR1}, rest)},
      {"test mode", {}, true,
       then({Ctl::Text1_8, Ctl::Text1_0, Ctl::Text1_1, Ctl::Command2, Ctl::Text1_2, Ctl::Text1_4,
             Ctl::Text1_5, Ctl::Text1_6, Ctl::Text1_7, Ctl::Text1_3, Ctl::optCR1},
            rest)},
  };
  for (const TabOrderCase& c : cases) {
    SCOPED_TRACE(c.name);
    KeyboardWindow open(c.stored, c.test_mode);
    ASSERT_TRUE(open.in_front);
    std::vector<std::string> expected, visited;
    for (Ctl stop : c.stops) expected.push_back(Name(stop));
    expected.push_back(Name(c.stops.front()));
    visited.push_back(open.Focused());
    for (std::size_t i = 0; i < c.stops.size(); ++i) {
      open.Press(VK_TAB);
      visited.push_back(open.Focused());
    }
    EXPECT_EQ(visited, expected);
  }
}

struct KeyStep {
  WORD key;
  Ctl focus;         // has the focus afterwards
  Ctl watched;       // and holds `value` in the model and on the screen
  std::int16_t value;
};

struct GroupCase {
  const char* name;
  Stored stored;
  int tabs;     // from where the window opens to the group
  Ctl entered;  // the group's control Tab reaches
  std::vector<KeyStep> steps;
};

// Every option of a frame is reached by Tab and the arrow keys; an arrow key on an option
// button selects the one it reaches, through the model and its rules.
TEST(SettingsWindowKeys, TabReachesEachGroupAndTheArrowKeysMoveAndChoose) {
  const std::int16_t kOn = -1;
  const GroupCase cases[] = {
      {"Enter: the arrows go round all three options and choose each", {}, 0, Ctl::optCR1,
       {{VK_DOWN, Ctl::optCR0, Ctl::optCR0, kOn},
        {VK_DOWN, Ctl::optCR2, Ctl::optCR2, kOn},  // Carriage Return with Card Data
        {VK_DOWN, Ctl::optCR1, Ctl::optCR1, kOn},
        {VK_UP, Ctl::optCR2, Ctl::optCR2, kOn},
        {VK_RIGHT, Ctl::optCR1, Ctl::optCR1, kOn},
        {VK_LEFT, Ctl::optCR2, Ctl::optCR2, kOn}}},
      {"Enter with Card Data chosen: Tab enters there, the arrows reach the other two",
       {{L"CR1", L"False"}, {L"CR2", L"True"}}, 6, Ctl::optCR2,
       {{VK_DOWN, Ctl::optCR1, Ctl::optCR1, kOn},
        {VK_DOWN, Ctl::optCR0, Ctl::optCR0, kOn},
        {VK_UP, Ctl::optCR1, Ctl::optCR1, kOn}}},
      {"sentinels with one track: either can be chosen",
       {{L"Trk1", L"0"}, {L"Trk2", L"0"}}, 3, Ctl::optSentinel0,
       {{VK_DOWN, Ctl::optSentinel1, Ctl::optSentinel1, kOn},
        {VK_UP, Ctl::optSentinel0, Ctl::optSentinel0, kOn}}},
      {"sentinels with three tracks: the rule keeps Send Sentinels", {}, 3, Ctl::optSentinel0,
       {{VK_DOWN, Ctl::optSentinel1, Ctl::optSentinel0, kOn},
        {VK_DOWN, Ctl::optSentinel0, Ctl::optSentinel0, kOn}}},
      {"tracks: the arrows move through the boxes, Space ticks", {}, 4, Ctl::optTrkFix0,
       {{VK_DOWN, Ctl::optTrkFix1, Ctl::optTrkFix1, 1},
        {VK_SPACE, Ctl::optTrkFix1, Ctl::optTrkFix1, 0},
        {VK_DOWN, Ctl::optTrkFix2, Ctl::optTrkFix2, 1},
        {VK_DOWN, Ctl::optTrkFix0, Ctl::optTrkFix1, 0},
        {VK_UP, Ctl::optTrkFix2, Ctl::optTrkFix0, 1}}},
  };
  for (const GroupCase& c : cases) {
    SCOPED_TRACE(c.name);
    KeyboardWindow open(c.stored);
    ASSERT_TRUE(open.in_front);
    for (int i = 0; i < c.tabs; ++i) open.Press(VK_TAB);
    EXPECT_EQ(open.Focused(), Name(c.entered));
    for (const KeyStep& step : c.steps) {
      SCOPED_TRACE(testing::Message() << "key " << step.key << " to " << Name(step.focus));
      open.Press(step.key);
      EXPECT_EQ(open.Focused(), Name(step.focus));
      EXPECT_EQ(open.form.Value(step.watched), step.value);
      const LRESULT shown =
          SendMessageW(open.window.ControlWindow(step.watched), BM_GETCHECK, 0, 0);
      EXPECT_EQ(shown, step.value == kOn ? BST_CHECKED : step.value);
    }
  }
}

// The program's order: the window, then the start-up sequence, then the controls.
TEST(SettingsWindowInTwoHalves, ControlsMadeLaterShowTheModelAsItIsThen) {
  testing_fakes::MemoryStore store;
  store.Put(L"Trk0", L"0");
  store.Put(L"CR2", L"True");
  shell::FormModel form{store};
  shell::SettingsWindow window{form};
  ASSERT_TRUE(window.CreateFrame());
  EXPECT_NE(window.hwnd(), nullptr);
  EXPECT_NE(window.PopupMenu(), nullptr);
  EXPECT_NE(window.SmallIcon(), nullptr);
  EXPECT_EQ(window.ControlWindow(Ctl::chkStartup), nullptr);

  form.HideTestArea();
  settings::LoadSettings(store, form);
  form.SetBoxText(7, L";4111111111111111=2512101?");
  window.CreateControls();
  auto check = [&](Ctl id) { return SendMessageW(window.ControlWindow(id), BM_GETCHECK, 0, 0); };
  EXPECT_EQ(check(Ctl::optTrkFix0), BST_UNCHECKED);
  EXPECT_EQ(check(Ctl::optTrkFix1), BST_CHECKED);
  EXPECT_EQ(check(Ctl::optCR2), BST_CHECKED);
  EXPECT_EQ(check(Ctl::optCR1), BST_UNCHECKED);
  EXPECT_FALSE(IsWindowVisible(window.ControlWindow(shell::Text1(7))));
  EXPECT_EQ(TextOf(window.ControlWindow(shell::Text1(7))), L"");
  const HWND made = window.ControlWindow(Ctl::chkStartup);
  ASSERT_NE(made, nullptr);
  window.Show();  // finds the controls there and makes no second set
  EXPECT_EQ(window.ControlWindow(Ctl::chkStartup), made);
  EXPECT_TRUE(IsWindowVisible(made));
}

TEST(SettingsWindowInTwoHalves, ShowMakesTheControlsNobodyMade) {
  testing_fakes::MemoryStore store;
  shell::FormModel form{store};
  shell::SettingsWindow window{form};
  ASSERT_TRUE(window.CreateFrame());
  window.Show();
  shell::DoEvents();
  ASSERT_NE(window.ControlWindow(Ctl::chkStartup), nullptr);
  EXPECT_TRUE(IsWindowVisible(window.ControlWindow(Ctl::chkStartup)));
}

TEST_F(SettingsWindowTest, SentinelButtonsCarryTheirToolTips) {
  HWND tips = nullptr;
  while ((tips = FindWindowExW(nullptr, tips, TOOLTIPS_CLASSW, nullptr)) != nullptr) {
    if (GetWindow(tips, GW_OWNER) == window.hwnd()) break;
  }
  ASSERT_NE(tips, nullptr);
  EXPECT_EQ(SendMessageW(tips, TTM_GETTOOLCOUNT, 0, 0), 2);
  auto tip_of = [&](Ctl id) {
    wchar_t text[128] = {};
    TOOLINFOW ti{};
    ti.cbSize = TTTOOLINFOW_V1_SIZE;
    ti.uFlags = TTF_IDISHWND;
    ti.hwnd = window.hwnd();
    ti.uId = reinterpret_cast<UINT_PTR>(Control(id));
    ti.lpszText = text;
    SendMessageW(tips, TTM_GETTEXTW, 128, reinterpret_cast<LPARAM>(&ti));
    return std::wstring(text);
  };
  EXPECT_EQ(tip_of(Ctl::optSentinel0), L"Trk1- % and ?  Trk2- ; and ?");
  EXPECT_EQ(tip_of(Ctl::optSentinel1), L"Only When Sending Single Track");
}

TEST_F(SettingsWindowTest, PopupMenuAndIcons) {
  HMENU menu = window.PopupMenu();
  ASSERT_NE(menu, nullptr);
  ASSERT_EQ(GetMenuItemCount(menu), 5);
  wchar_t text[32];
  GetMenuStringW(menu, 0, text, 32, MF_BYPOSITION);
  EXPECT_STREQ(text, L"Settings");
  GetMenuStringW(menu, 1, text, 32, MF_BYPOSITION);
  EXPECT_STREQ(text, L"Typing rules...");
  EXPECT_EQ(GetMenuState(menu, 2, MF_BYPOSITION) & MF_SEPARATOR, static_cast<UINT>(MF_SEPARATOR));
  GetMenuStringW(menu, 3, text, 32, MF_BYPOSITION);
  EXPECT_STREQ(text, L"Reconnect card reader");
  GetMenuStringW(menu, 4, text, 32, MF_BYPOSITION);
  EXPECT_STREQ(text, L"Exit");
  EXPECT_EQ(GetMenuDefaultItem(menu, FALSE, 0), shell::SettingsWindow::kCmdSettings);

  SendMessageW(window.hwnd(), WM_COMMAND, shell::SettingsWindow::kCmdSettings, 0);
  SendMessageW(window.hwnd(), WM_COMMAND, shell::SettingsWindow::kCmdReconnect, 0);
  SendMessageW(window.hwnd(), WM_COMMAND, shell::SettingsWindow::kCmdExit, 0);
  EXPECT_EQ(owner.settings, 1);
  EXPECT_EQ(owner.reconnects, 1);
  EXPECT_EQ(owner.exits, 1);

  for (auto [which, size] : {std::pair<WPARAM, LONG>{ICON_BIG, 32}, {ICON_SMALL, 16}}) {
    EXPECT_EQ(IconSize(reinterpret_cast<HICON>(SendMessageW(window.hwnd(), WM_GETICON, which, 0))), size);
  }
  EXPECT_EQ(window.SmallIcon(),
            reinterpret_cast<HICON>(SendMessageW(window.hwnd(), WM_GETICON, ICON_SMALL, 0)));
}

TEST_F(SettingsWindowTest, CloseBoxAndMinimisingOnlyHide) {
  form.UserClick(Ctl::optCR0);
  SendMessageW(window.hwnd(), WM_SYSCOMMAND, SC_CLOSE, 0);
  shell::DoEvents();
  EXPECT_TRUE(IsWindow(window.hwnd()));
  EXPECT_FALSE(IsWindowVisible(window.hwnd()));
  EXPECT_TRUE(owner.unloads.empty());
  EXPECT_TRUE(store.writes.empty());

  window.Show();
  EXPECT_TRUE(IsWindowVisible(window.hwnd()));
  EXPECT_EQ(Check(Ctl::optCR0), BST_CHECKED);  // same choices
  ShowWindow(window.hwnd(), SW_MINIMIZE);
  shell::DoEvents();
  EXPECT_FALSE(IsWindowVisible(window.hwnd()));
  window.Show();
  EXPECT_TRUE(IsWindowVisible(window.hwnd()));
  EXPECT_FALSE(IsIconic(window.hwnd()));
}

TEST_F(SettingsWindowTest, AProgramUnloadGoesAheadAndDestroysTheWindow) {
  EXPECT_TRUE(window.Unload(1));
  EXPECT_EQ(owner.unloads, std::vector<std::int16_t>{1});
  EXPECT_EQ(window.hwnd(), nullptr);
}

TEST_F(SettingsWindowTest, EndingTheSessionOrATaskManagerUnloads) {
  // A close request that does not come through the window's frame, as a task manager sends it.
  SendMessageW(window.hwnd(), WM_CLOSE, 0, 0);
  EXPECT_EQ(owner.unloads, std::vector<std::int16_t>{3});
  EXPECT_EQ(window.hwnd(), nullptr);

  shell::SettingsWindow other{form, &owner};
  ASSERT_TRUE(other.Create());
  EXPECT_EQ(SendMessageW(other.hwnd(), WM_QUERYENDSESSION, 0, 0), TRUE);
  SendMessageW(other.hwnd(), WM_ENDSESSION, TRUE, 0);
  EXPECT_EQ(owner.unloads, (std::vector<std::int16_t>{3, 2}));
}

TEST(SettingsWindowFirstPaint, HidesOnceWhenStoredHideOnStartIsOne) {
  testing_fakes::MemoryStore store;
  store.Put(L"HideOnStart", L"1");
  shell::FormModel form{store};
  shell::SettingsWindow window{form};
  ASSERT_TRUE(window.Create());
  form.bFirstPaint = -1;
  window.Show();
  UpdateWindow(window.hwnd());
  shell::DoEvents();
  EXPECT_FALSE(IsWindowVisible(window.hwnd()));
  EXPECT_EQ(form.bFirstPaint, 0);
  window.Show();
  RedrawWindow(window.hwnd(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
  shell::DoEvents();
  EXPECT_TRUE(IsWindowVisible(window.hwnd()));
}

}  // namespace
