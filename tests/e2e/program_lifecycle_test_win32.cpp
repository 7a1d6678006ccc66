// The program's life as its users and Windows see it: the tray icon's menu, a second start, the
// close box, log-off and a task manager, and hiding at start.

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "e2e/program_fixture_win32.h"
#include "type_target_client_win32.h"

namespace {

using e2e::At;
using e2e::Centre;
using e2e::OpenMenu;
using e2e::Program;
using e2e::PressKeys;
using e2e::ProgramTest;
using e2e::RightClickIcon;
using e2e::Settings;
using e2e::StoredSettings;

// What the program saves from `stored` when nothing was changed: the stored texts, defaults for
// the keys that were absent.
StoredSettings SavedFrom(const StoredSettings& stored) {
  const StoredSettings defaults = Settings(
      {L"1", L"0", L"False", L"True", L"False", L"1", L"1", L"1", L"True", L"False"});
  StoredSettings saved;
  for (std::size_t i = 0; i < stored.size(); ++i) saved[i] = stored[i] ? stored[i] : defaults[i];
  return saved;
}

class ProgramLifecycle : public ProgramTest {
 protected:
  // Starts the program hidden, as it runs in a shop, with `stored` settings.
  void Start(const StoredSettings& stored, const std::vector<std::string>& sim_config = {},
             bool with_reader = true) {
    icons_before = e2e::TrayIconWindows();
    StartWith(program, stored, sim_config, with_reader);
    if (HasFatalFailure()) return;
    window = program.Window();
    ASSERT_TRUE(e2e::WaitFor([&] { return e2e::TrayIconShown(window); }, 5000)) << "no icon";
  }

  Program program;
  HWND window = nullptr;
  std::vector<HWND> icons_before;
};

TEST_F(ProgramLifecycle, ExitFromTheTrayMenuSavesRegistersForLogOnAndEnds) {
  // Keys left absent load their defaults; the exit writes all ten.
  const StoredSettings stored =
      Settings({L"1", L"1", L"False", L"False", L"True", L"-", L"0", L"-", L"-", L"-"});
  ASSERT_NO_FATAL_FAILURE(Start(stored));
  ASSERT_TRUE(e2e::WaitFor([&] { return !IsWindowVisible(window); }, 5000));

  HWND menu = RightClickIcon(program, icons_before);
  ASSERT_NE(menu, nullptr) << "no menu after a right click on the icon";
  EXPECT_FALSE(IsWindowVisible(window)) << "the menu showed the settings window";
  // "Exit" is the last item: click into the menu's bottom edge, above its frame.
  RECT r{};
  GetWindowRect(menu, &r);
  ASSERT_TRUE(type_target::Xdotool("mousemove " + At({(r.left + r.right) / 2, r.bottom - 8}) +
                                   " click 1"));
  ExpectShutDown(program, window, SavedFrom(stored), true);
}

TEST_F(ProgramLifecycle, ExitChosenWithTheKeyboardRemovesTheLogOnEntry) {
  e2e::WriteRunEntry(L"C:\\old\\ZANKeyboardWedge.exe");
  const StoredSettings stored =
      Settings({L"0", L"1", L"True", L"False", L"False", L"0", L"1", L"0", L"False", L"True"});
  ASSERT_NO_FATAL_FAILURE(Start(stored));
  ASSERT_TRUE(e2e::WaitFor([&] { return !IsWindowVisible(window); }, 5000));

  ASSERT_NE(RightClickIcon(program, icons_before), nullptr);
  // Up from the open menu wraps to its last item.
  PressKeys({VK_UP, VK_RETURN});
  ExpectShutDown(program, window, SavedFrom(stored), false);
}

// The width a window's caption needs for its text, its close box and an icon, with the
// caption font Windows reports.
int CaptionNeeds(HWND window) {
  NONCLIENTMETRICSW metrics{};
  metrics.cbSize = sizeof metrics;
  SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0);
  wchar_t caption[256] = {};
  const int length = GetWindowTextW(window, caption, 256);
  HFONT font = CreateFontIndirectW(&metrics.lfCaptionFont);
  HDC dc = GetDC(nullptr);
  HGDIOBJ old_font = SelectObject(dc, font);
  SIZE text{};
  GetTextExtentPoint32W(dc, caption, length, &text);
  SelectObject(dc, old_font);
  ReleaseDC(nullptr, dc);
  DeleteObject(font);
  RECT outer, client;
  GetWindowRect(window, &outer);
  GetClientRect(window, &client);
  return (outer.right - outer.left - client.right) + text.cx + metrics.iCaptionWidth +
         GetSystemMetrics(SM_CXSMICON);
}

TEST_F(ProgramLifecycle, ASecondStartSaysAlreadyRunningAndLeavesTheFirstAlone) {
  const StoredSettings stored =
      Settings({L"1", L"1", L"False", L"False", L"True", L"1", L"0", L"0", L"False", L"True"});
  ASSERT_NO_FATAL_FAILURE(Start(stored));
  ASSERT_TRUE(e2e::WaitFor([&] { return !IsWindowVisible(window); }, 5000));
  const std::wstring run_entry = L"C:\\Program Files\\ZAN\\ZANKeyboardWedge.exe";
  e2e::WriteRunEntry(run_entry);
  const std::size_t icons = e2e::TrayIconWindows().size();
  const std::size_t first_journal = program.Journal().size();

  auto box_of = [](const Program& start) {  // its "Already Running" box, once shown
    HWND box = nullptr;
    e2e::WaitFor([&] {
      for (HWND w : e2e::WindowsOf(start.pid(), L"#32770", L"ZAN Keyboard Wedge")) {
        if (IsWindowVisible(w)) box = w;
      }
      return box != nullptr;
    }, 15000);
    return box;
  };
  Program second;
  ASSERT_TRUE(second.Start());
  HWND box = box_of(second);
  ASSERT_NE(box, nullptr) << "no \"Already Running\" box";
  const std::vector<std::wstring> texts = e2e::ChildTexts(box, L"Static");
  EXPECT_NE(std::find(texts.begin(), texts.end(), L"Already Running"), texts.end());
  EXPECT_EQ(e2e::ChildTexts(box, L"Button"), std::vector<std::wstring>{L"OK"});
  RECT box_rect{};
  GetWindowRect(box, &box_rect);
  EXPECT_GE(box_rect.right - box_rect.left, CaptionNeeds(box)) << "the caption is cut";
  // While the box is up the second start has added no icon.
  for (HWND w : e2e::WindowsOf(second.pid(), L"ZANKeyboardWedgeForm1")) {
    EXPECT_FALSE(e2e::TrayIconShown(w));
  }
  EXPECT_EQ(e2e::TrayIconWindows().size(), icons);

  // Meanwhile a third start brings the running copy forward, not the second, whose window exists.
  Program third;
  ASSERT_TRUE(third.Start());
  PostMessageW(e2e::ChildWithText(box_of(third), L"Button", L"OK"), BM_CLICK, 0, 0);
  ASSERT_TRUE(third.WaitExit(10000).has_value());
  EXPECT_TRUE(e2e::WaitFor([&] { return GetForegroundWindow() == window; }, 5000));
  EXPECT_FALSE(IsWindowVisible(second.Window())) << "the second start's window came forward";

  PostMessageW(e2e::ChildWithText(box, L"Button", L"OK"), BM_CLICK, 0, 0);
  ASSERT_TRUE(second.WaitExit(10000).has_value()) << "the second start did not end after OK";
  EXPECT_TRUE(second.Journal().empty()) << "the second start touched a reader";

  // The first runs on, its settings window brought to the front for the user; nothing else
  // touched: its icon, its reader, the stored values.
  EXPECT_TRUE(e2e::WaitFor([&] { return GetForegroundWindow() == window; }, 5000))
      << "the running copy's window did not come to the front";
  EXPECT_TRUE(IsWindowVisible(window));
  EXPECT_FALSE(IsIconic(window));
  EXPECT_TRUE(program.Running());
  EXPECT_TRUE(e2e::TrayIconShown(window));
  EXPECT_EQ(e2e::TrayIconWindows().size(), icons);
  EXPECT_EQ(program.Journal().size(), first_journal);
  EXPECT_EQ(e2e::ReadStoredSettings(), stored);
  EXPECT_EQ(e2e::ReadRunEntry(), run_entry);
}

TEST_F(ProgramLifecycle, TheCloseBoxOnlyHidesTheWindowAndSavesNothing) {
  // Nothing stored: the window shows at start, and a save would write all ten keys.
  const StoredSettings nothing = Settings({L"-", L"-", L"-", L"-", L"-", L"-", L"-", L"-", L"-", L"-"});
  ASSERT_NO_FATAL_FAILURE(Start(nothing));
  ASSERT_TRUE(e2e::WaitFor([&] { return IsWindowVisible(window) != FALSE; }, 5000));

  // What the frame sends for the close box, the system menu's Close and Alt+F4.
  PostMessageW(window, WM_SYSCOMMAND, SC_CLOSE, 0);
  ASSERT_TRUE(e2e::WaitFor([&] { return !IsWindowVisible(window); }, 5000)) << "still visible";
  Sleep(300);  // time for a wrongly started shut-down to show
  EXPECT_TRUE(program.Running());
  EXPECT_TRUE(e2e::TrayIconShown(window));
  EXPECT_EQ(e2e::ReadStoredSettings(), nothing);
  EXPECT_FALSE(e2e::ReadRunEntry().has_value());
  const std::vector<std::string> journal = program.Journal();
  EXPECT_EQ(std::find(journal.begin(), journal.end(), "put 4 false"), journal.end());

  // "Settings", the menu's first item, shows it again.
  HWND menu = RightClickIcon(program, icons_before);
  ASSERT_NE(menu, nullptr);
  RECT r{};
  GetWindowRect(menu, &r);
  ASSERT_TRUE(type_target::Xdotool("mousemove " + At({(r.left + r.right) / 2, r.top + 10}) + " click 1"));
  ASSERT_TRUE(e2e::WaitFor([&] { return IsWindowVisible(window) != FALSE; }, 5000));

  // Minimising it (the window has no minimise box; Windows' minimise-all does it) hides it too.
  ShowWindow(window, SW_MINIMIZE);
  EXPECT_TRUE(e2e::WaitFor([&] { return !IsWindowVisible(window); }, 5000)) << "still visible";
  EXPECT_TRUE(program.Running());
  EXPECT_EQ(e2e::ReadStoredSettings(), nothing);
}

class ProgramSessionEnd : public ProgramLifecycle, public ::testing::WithParamInterface<UINT> {};

// Logging off, and an installer's restart manager closing the program to replace its file: both
// ask, then end the session, and everything is saved by the time the end returns.
TEST_P(ProgramSessionEnd, SavesAndEndsBeforeWindowsMoveOn) {
  const LPARAM reason = static_cast<LPARAM>(GetParam());
  const StoredSettings stored =
      Settings({L"-", L"1", L"True", L"False", L"False", L"0", L"0", L"1", L"-", L"-"});
  ASSERT_NO_FATAL_FAILURE(Start(stored));
  ASSERT_TRUE(e2e::WaitFor([&] { return !IsWindowVisible(window); }, 5000));

  DWORD_PTR answer = 0;
  ASSERT_TRUE(SendMessageTimeoutW(window, WM_QUERYENDSESSION, 0, reason, SMTO_NORMAL, 10000, &answer));
  EXPECT_EQ(answer, static_cast<DWORD_PTR>(TRUE)) << "the program refused to end";
  ASSERT_TRUE(SendMessageTimeoutW(window, WM_ENDSESSION, TRUE, reason, SMTO_NORMAL, 10000, &answer));
  // Windows may end the process as soon as WM_ENDSESSION returns: everything is saved by then.
  EXPECT_EQ(e2e::ReadStoredSettings(), SavedFrom(stored));
  EXPECT_TRUE(e2e::ReadRunEntry().has_value());
  ExpectShutDown(program, window, SavedFrom(stored), true);
}

INSTANTIATE_TEST_SUITE_P(Reasons, ProgramSessionEnd,
                         ::testing::Values(static_cast<UINT>(ENDSESSION_LOGOFF),
                                           static_cast<UINT>(ENDSESSION_CLOSEAPP)),
                         [](const ::testing::TestParamInfo<UINT>& info) {
                           return std::string(info.param == ENDSESSION_LOGOFF ? "LogOff" : "CloseApp");
                         });

TEST_F(ProgramLifecycle, ATaskManagersCloseSavesAndEnds) {
  e2e::WriteRunEntry(L"C:\\old\\ZANKeyboardWedge.exe");
  // A greyed "Hide this form at startup" does not hide the window.
  const StoredSettings stored =
      Settings({L"0", L"2", L"False", L"True", L"False", L"1", L"1", L"1", L"True", L"False"});
  ASSERT_NO_FATAL_FAILURE(Start(stored));
  ASSERT_TRUE(e2e::WaitFor([&] { return IsWindowVisible(window) != FALSE; }, 5000));

  PostMessageW(window, WM_CLOSE, 0, 0);
  ExpectShutDown(program, window, SavedFrom(stored), false);
}

TEST_F(ProgramLifecycle, HideOnStartHidesTheWindowAtItsFirstPaint) {
  ASSERT_NO_FATAL_FAILURE(
      Start(Settings({L"0", L"1", L"-", L"-", L"-", L"-", L"-", L"-", L"-", L"-"})));
  EXPECT_TRUE(e2e::WaitFor([&] { return !IsWindowVisible(window); }, 5000)) << "still visible";
  EXPECT_TRUE(program.Running());
  EXPECT_TRUE(e2e::TrayIconShown(window));
}

TEST_F(ProgramLifecycle, WithoutHideOnStartTheWindowStaysVisibleThroughLaterPaints) {
  ASSERT_NO_FATAL_FAILURE(
      Start(Settings({L"0", L"0", L"-", L"-", L"-", L"-", L"-", L"-", L"-", L"-"})));
  ASSERT_TRUE(e2e::WaitFor([&] { return IsWindowVisible(window) != FALSE; }, 5000));
  for (int i = 0; i < 3; ++i) {
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME);
    Sleep(200);
    EXPECT_TRUE(IsWindowVisible(window)) << "hidden after paint " << i;
  }
  EXPECT_TRUE(program.Running());
}

TEST_F(ProgramLifecycle, OnlyARightButtonPressOnTheIconOpensTheMenu) {
  ASSERT_NO_FATAL_FAILURE(
      Start(Settings({L"0", L"1", L"-", L"-", L"-", L"-", L"-", L"-", L"-", L"-"})));
  ASSERT_TRUE(e2e::WaitFor([&] { return !IsWindowVisible(window); }, 5000));
  HWND icon = e2e::AddedIcon(icons_before);
  ASSERT_NE(icon, nullptr);
  const std::string at = At(Centre(icon));
  // Left click, left double-click, middle click: neither the menu nor the window.
  for (const char* clicks : {" click 1", " click --repeat 2 --delay 80 1", " click 2"}) {
    ASSERT_TRUE(type_target::Xdotool("mousemove " + at + clicks));
    Sleep(700);
    EXPECT_EQ(OpenMenu(program), nullptr) << clicks;
    EXPECT_FALSE(IsWindowVisible(window)) << clicks;
  }
  // The right button opens it; closing it without a choice does nothing.
  ASSERT_NE(RightClickIcon(program, icons_before), nullptr);
  PressKeys({VK_ESCAPE});
  EXPECT_TRUE(e2e::WaitFor([&] { return OpenMenu(program) == nullptr; }, 5000));
  Sleep(300);
  EXPECT_TRUE(program.Running());
  EXPECT_FALSE(IsWindowVisible(window));
  EXPECT_TRUE(e2e::TrayIconShown(window));
}

TEST_F(ProgramLifecycle, WithoutAReaderItStillLivesInTheTrayAndEndsAsUsual) {
  // No reader answers to the device name: every step of the start is refused.
  const StoredSettings stored =
      Settings({L"0", L"1", L"False", L"True", L"False", L"1", L"1", L"1", L"True", L"False"});
  ASSERT_NO_FATAL_FAILURE(Start(stored, {"nodevice"}));
  ASSERT_TRUE(e2e::WaitFor([&] { return !IsWindowVisible(window); }, 5000));

  HWND menu = RightClickIcon(program, icons_before);
  ASSERT_NE(menu, nullptr);
  PressKeys({VK_UP, VK_RETURN});
  ExpectShutDown(program, window, SavedFrom(stored), false);
}

// A card swiped while the program's own settings window is in front is not typed into it: its
// space would tick the focused box. The card is dropped; nothing of the window changes.
TEST_F(ProgramLifecycle, ACardIsNeverTypedIntoTheProgramsOwnWindow) {
  const StoredSettings stored =
      Settings({L"0", L"0", L"False", L"True", L"False", L"1", L"1", L"1", L"True", L"False"});
  ASSERT_NO_FATAL_FAILURE(Start(stored));
  ASSERT_TRUE(e2e::WaitFor([&] { return GetForegroundWindow() == window; }, 5000));
  PressKeys({VK_TAB});  // from the Enter choices to "Run at Startup"
  GUITHREADINFO gui{};
  gui.cbSize = sizeof gui;
  ASSERT_TRUE(e2e::WaitFor(
      [&] {
        return GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &gui) &&
               gui.hwndFocus == e2e::ChildWithText(window, L"Button", L"Run at Startup");
      },
      5000));
  ASSERT_EQ(e2e::Swipe(L"--track2 \"1 2\""), 0);
  Sleep(1500);
  PostMessageW(window, WM_CLOSE, 0, 0);
  ExpectShutDown(program, window, SavedFrom(stored), false);
}

// --- The reader's state in the icon, and getting the reader back ---

struct ReaderState {
  const char* name;
  std::vector<std::string> sim_config;
  const wchar_t* tip;
};

class ProgramReaderState : public ProgramLifecycle,
                           public ::testing::WithParamInterface<ReaderState> {};

// No dialog at start: the icon's tip says what is wrong, with the name of the refusing step's
// result.
TEST_P(ProgramReaderState, TheIconsTipSaysWhatIsWrong) {
  ASSERT_NO_FATAL_FAILURE(Start(e2e::Settings({L"0", L"1", L"-", L"-", L"-", L"-", L"-", L"-",
                                               L"-", L"-"}),
                                GetParam().sim_config, false));
  HWND icon = e2e::AddedIcon(icons_before);
  ASSERT_NE(icon, nullptr);
  std::wstring tip;
  EXPECT_TRUE(e2e::WaitFor([&] { return (tip = e2e::TrayTip(icon)) == GetParam().tip; }, 15000))
      << "tip: " << std::string(tip.begin(), tip.end());
}

INSTANTIATE_TEST_SUITE_P(
    Readers, ProgramReaderState,
    ::testing::Values(
        ReaderState{"Ready", {}, L"ZAN MCR"},
        ReaderState{"NoDevice", {"nodevice"}, L"ZAN MCR - card reader not found (OposENoexist)"},
        ReaderState{"ClaimedByAnother", {"result=36,102"},
                    L"ZAN MCR - card reader in use by another program (OposEClaimed)"},
        ReaderState{"NotInstalled", {"nocreate"},
                    L"ZAN MCR - card reader software not installed (MSRLib.MSR, OPOS.MSR)"},
        ReaderState{"FailsEveryCall", {"failinvoke"}, L"ZAN MCR - card reader not responding"}),
    [](const ::testing::TestParamInfo<ReaderState>& info) { return std::string(info.param.name); });

// "Reconnect card reader" in the icon's menu: the stop sequence, then the start sequence as at
// start.
TEST_F(ProgramLifecycle, ReconnectStopsThenStartsTheReaderCallByCall) {
  const StoredSettings stored =
      Settings({L"0", L"1", L"False", L"True", L"False", L"1", L"1", L"1", L"True", L"False"});
  ASSERT_NO_FATAL_FAILURE(Start(stored));
  const std::vector<std::string> start = {
      "call 34 \"ZANKeyboardWedge\"", "get 6", "get 7", "put 46 1", "get 6", "call 36 1000",
      "get 6", "get 7", "put 4 true", "get 6", "get 7", "put 3 true", "get 6", "get 7"};
  const std::vector<std::string> stop = {"put 4 false", "call 37", "call 35"};
  ASSERT_EQ(program.Journal(), start);
  ASSERT_NE(RightClickIcon(program, icons_before), nullptr);
  PressKeys({VK_UP, VK_UP, VK_RETURN});  // "Reconnect card reader", above "Exit"
  std::vector<std::string> expected = start;
  expected.insert(expected.end(), stop.begin(), stop.end());
  expected.insert(expected.end(), start.begin(), start.end());
  EXPECT_TRUE(e2e::WaitFor([&] { return program.Journal() == expected; }, 10000));
  PostMessageW(window, WM_CLOSE, 0, 0);
  ExpectShutDown(program, window, SavedFrom(stored), false);
}

// --- The program told to end while a card is being handled ---

struct EndDuringCard {
  const char* name;
  const char* post;  // the message the reader posts to the program while it raises the card's event
};

class ProgramEndDuringCard : public ProgramLifecycle,
                             public ::testing::WithParamInterface<EndDuringCard> {};

// The card's escaping yields, and the yield dispatches the request to end. The reader frees itself
// on its last release, as some controls do: let go inside its own event, it would return into
// freed memory (the simulated one ends the process instead). The program saves, removes its icon,
// lets the reader go once the event has returned, and ends cleanly.
TEST_P(ProgramEndDuringCard, LetsTheReaderGoOnlyAfterItsEventReturned) {
  const StoredSettings stored =
      Settings({L"0", L"1", L"False", L"True", L"False", L"1", L"1", L"1", L"True", L"False"});
  ASSERT_NO_FATAL_FAILURE(Start(stored, {"selffree", GetParam().post}));
  ASSERT_EQ(e2e::Swipe(L"--track1 \"B4111111111111111^DOE/JOHN^2912101\" --track2 \"4111111111111111=2912101\""), 0);
  ExpectShutDown(program, window, SavedFrom(stored), false);
}

INSTANTIATE_TEST_SUITE_P(
    RequestsToEnd, ProgramEndDuringCard,
    ::testing::Values(EndDuringCard{"TaskManager", "post=16"},          // WM_CLOSE
                      EndDuringCard{"LogOff", "post=22,1"},             // WM_ENDSESSION, ending
                      EndDuringCard{"ExitFromTheMenu", "post=273,40002"}),  // WM_COMMAND "Exit"
    [](const ::testing::TestParamInfo<EndDuringCard>& info) { return std::string(info.param.name); });

}  // namespace
