// The "Typing rules" window of the real program, opened from its icon's menu and used with the
// keyboard alone, as the person setting up a till would: rules added for a program with a window
// open, changed and removed; a rule written by hand left as it was; a policy's rules shown only;
// every text of the window and its dialog box whole at the display's scale.

#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "e2e/card_typing_win32.h"

namespace {

using e2e::PressKeys;

const e2e::StoredSettings kSettings =
    e2e::Settings({L"0", L"1", L"False", L"False", L"True", L"1", L"1", L"0", L"True", L"False"});
const e2e::Card kCard = {L"B4111111111111111^DOE/JOHN^2912101", L"4111111111111111=2912101", L""};
constexpr wchar_t kUserRules[] = L"Software\\VB and VBA Program Settings\\ZANKeyboardWedge\\Targets";

// A stored value's bytes as they are, type and all; empty when there is none.
std::vector<BYTE> StoredBytes(const wchar_t* name) {
  std::vector<BYTE> bytes(4096);
  DWORD type = 0, size = static_cast<DWORD>(bytes.size());
  if (RegGetValueW(HKEY_CURRENT_USER, kUserRules, name, RRF_RT_ANY | RRF_NOEXPAND, &type, bytes.data(), &size)) {
    return {};
  }
  bytes.resize(size);
  bytes.push_back(static_cast<BYTE>(type));
  return bytes;
}

std::wstring StoredText(const wchar_t* name) {
  std::vector<BYTE> bytes = StoredBytes(name);
  if (bytes.size() < 3) return L"(none)";
  return std::wstring(reinterpret_cast<const wchar_t*>(bytes.data()), (bytes.size() - 1) / 2 - 1);
}

class RulesWindowTest : public e2e::CardTypingTest {
 protected:
  void SetUp() override {
    e2e::CardTypingTest::SetUp();
    icons_before = e2e::TrayIconWindows();
  }

  // A window of the program with this caption, once it shows and has the keyboard.
  HWND Shown(const wchar_t* caption, unsigned ms = 5000) {
    HWND found = nullptr;
    e2e::WaitFor(
        [&] {
          const std::vector<HWND> windows = e2e::WindowsOf(program.pid(), L"#32770", caption);
          found = windows.empty() || !IsWindowVisible(windows[0]) ? nullptr : windows[0];
          return found != nullptr;
        },
        ms);
    if (found) KeyboardIn(found);
    return found;
  }

  // Opens the window from the icon's menu with the keyboard (its second item) and waits until it
  // has the keyboard.
  HWND OpenRules() {
    if (!e2e::RightClickIcon(program, icons_before)) return nullptr;
    Sleep(300);  // the menu's own loop takes keys once it runs
    PressKeys({VK_DOWN, VK_DOWN, VK_RETURN});
    return Shown(L"Typing rules");
  }

  // Waits until `window` of the program has the keyboard: it is in front, and one of its
  // controls has the focus.
  static void KeyboardIn(HWND window) {
    const DWORD thread = GetWindowThreadProcessId(window, nullptr);
    e2e::WaitFor(
        [&] {
          GUITHREADINFO info{};
          info.cbSize = sizeof info;
          return GetForegroundWindow() == window && GetGUIThreadInfo(thread, &info) && info.hwndFocus &&
                 IsChild(window, info.hwndFocus);
        },
        3000);
    Sleep(300);  // and has taken the keys sent before it came up
  }

  // The rules listed, "program | what happens" each, read from the program's list.
  std::vector<std::wstring> Listed(HWND window) {
    HWND list = FindWindowExW(window, nullptr, L"SysListView32", nullptr);
    HANDLE process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, program.pid());
    constexpr SIZE_T kChars = 512;
    auto* remote = static_cast<BYTE*>(
        VirtualAllocEx(process, nullptr, sizeof(LVITEMW) + kChars * 2, MEM_COMMIT, PAGE_READWRITE));
    std::vector<std::wstring> rows;
    const int count = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
    for (int row = 0; row < count && remote; ++row) {
      std::wstring line;
      for (int column = 0; column < 2; ++column) {
        LVITEMW item{};
        item.iSubItem = column;
        item.pszText = reinterpret_cast<wchar_t*>(remote + sizeof(LVITEMW));
        item.cchTextMax = kChars;
        WriteProcessMemory(process, remote, &item, sizeof item, nullptr);
        SendMessageW(list, LVM_GETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(remote));
        wchar_t text[kChars] = {};
        ReadProcessMemory(process, remote + sizeof(LVITEMW), text, sizeof text - 2, nullptr);
        line += (column ? L" | " : L"") + std::wstring(text);
      }
      rows.push_back(line);
    }
    if (remote) VirtualFreeEx(process, remote, 0, MEM_RELEASE);
    CloseHandle(process);
    return rows;
  }

  static bool Gone(HWND window) {
    return e2e::WaitFor([&] { return !IsWindow(window) || !IsWindowVisible(window); }, 5000);
  }

  std::vector<HWND> icons_before;
  e2e::ProgramCopies copies;
};

TEST_F(RulesWindowTest, ARuleIsAddedForAProgramOpenNowThenChangedAndRemovedWithTheKeyboard) {
  SetTypingRules({});
  ASSERT_NO_FATAL_FAILURE(StartWith(program, kSettings));
  ASSERT_NO_FATAL_FAILURE(ShowTarget(target, L"--chars", copies.Of(L"kasse.exe")));
  HWND rules = OpenRules();
  ASSERT_NE(rules, nullptr) << "the menu item opened no window";
  EXPECT_TRUE(Listed(rules).empty());

  PressKeys({'A'}, true);
  HWND add = Shown(L"Add a typing rule");
  ASSERT_NE(add, nullptr);
  // The list of programs with a window open has the keyboard: "Z" picks the till's window.
  PressKeys({'Z'});
  PressKeys({'U'}, true);  // "Pause between keys"
  PressKeys({'1', '2', VK_RETURN});
  ASSERT_TRUE(Gone(add));
  EXPECT_TRUE(e2e::WaitFor([&] { return StoredText(L"kasse.exe") == L"delay=12"; }, 5000))
      << e2e::Narrow(StoredText(L"kasse.exe"));
  EXPECT_TRUE(e2e::WaitFor([&] { return Listed(rules) == std::vector<std::wstring>{L"kasse.exe | 12 ms between keys"}; }, 5000));
  PressKeys({VK_ESCAPE});
  ASSERT_TRUE(Gone(rules));

  // The next card into that program is paced.
  const std::wstring expected = e2e::ExpectedText(kSettings, kCard);
  ASSERT_TRUE(target.Focus());
  target.Arm(static_cast<std::int32_t>(expected.size()));
  ASSERT_EQ(e2e::Swipe(e2e::SwipeArgs(kCard)), 0);
  ASSERT_TRUE(target.WaitDone(20000));
  EXPECT_EQ(target.Text(), expected);
  const std::vector<std::int64_t> stamps = target.Stamps();
  for (std::size_t k = 1; k < stamps.size(); ++k) {
    EXPECT_GE(static_cast<std::int32_t>(static_cast<std::uint32_t>(stamps[k] - stamps[k - 1])), 9) << k;
  }

  rules = OpenRules();
  ASSERT_NE(rules, nullptr);
  PressKeys({'C'}, true);
  HWND change = Shown(L"Change a typing rule");
  ASSERT_NE(change, nullptr);
  PressKeys({'U'}, true);
  PressKeys({'2', '0', VK_RETURN});
  ASSERT_TRUE(Gone(change));
  EXPECT_TRUE(e2e::WaitFor([&] { return StoredText(L"kasse.exe") == L"delay=20"; }, 5000))
      << e2e::Narrow(StoredText(L"kasse.exe"));

  PressKeys({'E'}, true);  // "Remove", then "Yes" once the question has the keyboard
  HWND ask = nullptr;
  ASSERT_TRUE(e2e::WaitFor([&] { return (ask = GetForegroundWindow()) && ask != rules; }, 5000));
  KeyboardIn(ask);
  PressKeys({VK_RETURN});
  EXPECT_TRUE(e2e::WaitFor([&] { return StoredText(L"kasse.exe") == L"(none)"; }, 5000));
  EXPECT_TRUE(e2e::WaitFor([&] { return Listed(rules).empty(); }, 5000));
}

// Opened and saved with no change, a rule written by hand stays as it was written, byte for byte.
TEST_F(RulesWindowTest, ARuleWrittenByHandIsLeftAsItWas) {
  SetTypingRules({{L"MSTSC.EXE", L" Delay = 12 ;enter-delay=125 "}});
  const std::vector<BYTE> before = StoredBytes(L"MSTSC.EXE");
  ASSERT_NO_FATAL_FAILURE(StartWith(program, kSettings));
  HWND rules = OpenRules();
  ASSERT_NE(rules, nullptr);
  EXPECT_EQ(Listed(rules), std::vector<std::wstring>{L"MSTSC.EXE | 12 ms between keys, 125 ms after Enter"});
  PressKeys({VK_RETURN});  // "Change", the window's default button
  HWND change = Shown(L"Change a typing rule");
  ASSERT_NE(change, nullptr);
  PressKeys({VK_RETURN});  // "OK"
  ASSERT_TRUE(Gone(change));
  Sleep(1000);  // time to write, had it wanted to
  EXPECT_EQ(StoredBytes(L"MSTSC.EXE"), before);
}

// The rules Group Policy sets are shown, and nothing here can change them.
TEST_F(RulesWindowTest, APolicysRulesAreShownOnly) {
  SetTypingRules({{L"pos.exe", L"delay=50"}}, {{L"*", L"type=no"}, {L"wfica32.exe", L"delay=12"}});
  ASSERT_NO_FATAL_FAILURE(StartWith(program, kSettings));
  HWND rules = OpenRules();
  ASSERT_NE(rules, nullptr);
  EXPECT_EQ(Listed(rules),
            (std::vector<std::wstring>{L"wfica32.exe | 12 ms between keys", L"Every other program | never typed"}));
  for (const wchar_t* button : {L"&Add...", L"&Change...", L"R&emove"}) {
    HWND control = e2e::ChildWithText(rules, L"Button", button);
    ASSERT_NE(control, nullptr);
    EXPECT_FALSE(IsWindowEnabled(control)) << e2e::Narrow(button);
  }
  PressKeys({'A'}, true);
  EXPECT_EQ(Shown(L"Add a typing rule", 1500), nullptr);
}

// Every caption of the window and of a rule's dialog box fits its control, measured with the
// dialog font at the display's scale (the test runs again at 150 % and 200 %).
TEST_F(RulesWindowTest, EveryTextIsWholeAtThisScale) {
  SetTypingRules({{L"wfica32.exe", L"delay=12; enter-delay=125"}});
  ASSERT_NO_FATAL_FAILURE(StartWith(program, kSettings));
  HWND rules = OpenRules();
  ASSERT_NE(rules, nullptr);
  PressKeys({'C'}, true);
  HWND change = Shown(L"Change a typing rule");
  ASSERT_NE(change, nullptr);
  HDC dc = GetDC(nullptr);
  const int dpi = GetDeviceCaps(dc, LOGPIXELSY);
  HFONT font = CreateFontW(-MulDiv(8, dpi, 72), 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0,
                           L"MS Shell Dlg");
  HGDIOBJ old_font = SelectObject(dc, font);
  int digit = 0;
  GetCharWidth32W(dc, L'0', L'0', &digit);
  int measured = 0;
  for (HWND window : {rules, change}) {
    for (HWND child = GetWindow(window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
      wchar_t cls[32] = {}, text[256] = {};
      GetClassNameW(child, cls, 32);
      GetWindowTextW(child, text, 256);
      const LONG style = GetWindowLongW(child, GWL_STYLE);
      const bool button = _wcsicmp(cls, L"Button") == 0, label = _wcsicmp(cls, L"Static") == 0;
      if (!*text || (!button && !label)) continue;
      RECT client{};
      GetClientRect(child, &client);
      const bool mark = button && (style & 0xF) != BS_PUSHBUTTON && (style & 0xF) != BS_DEFPUSHBUTTON;
      const int room = client.right - (mark ? GetSystemMetrics(SM_CXMENUCHECK) + digit / 2 : 4);
      RECT need{0, 0, room, 0};
      DrawTextW(dc, text, -1, &need, DT_CALCRECT | (label ? DT_WORDBREAK : DT_SINGLELINE));
      EXPECT_TRUE(need.right <= room && need.bottom <= client.bottom) << e2e::Narrow(text) << " at " << dpi << " dpi";
      ++measured;
    }
  }
  SelectObject(dc, old_font);
  DeleteObject(font);
  ReleaseDC(nullptr, dc);
  EXPECT_GT(measured, 30);
}

}  // namespace
