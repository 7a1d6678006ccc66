// A reader that misbehaves as real ones do: an Open that runs the message loop for seconds while
// Windows and the user ask for things, and a device unplugged and plugged in again.

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "e2e/card_typing_win32.h"

namespace {

using e2e::Card;

// Sentinels, an Enter after the card, tracks 1 and 2, hidden at start.
const e2e::StoredSettings kSettings =
    e2e::Settings({L"0", L"1", L"False", L"False", L"True", L"1", L"1", L"0", L"True", L"False"});
const Card kCard = {L"B4111111111111111^DOE/JOHN^2912101", L"4111111111111111=2912101", L""};

class ReaderLife : public e2e::CardTypingTest {
 protected:
  int Count(const std::string& line) {
    const std::vector<std::string> journal = program.Journal();
    return static_cast<int>(std::count(journal.begin(), journal.end(), line));
  }
  std::ptrdiff_t Position(const std::string& line) {  // the journal's size when it is not there
    const std::vector<std::string> journal = program.Journal();
    return std::find(journal.begin(), journal.end(), line) - journal.begin();
  }
  // Swipes until the reader takes the card (it refuses while it is not enabled or lost), then
  // expects it typed exactly once.
  void ExpectCardTypedOnceTaken() {
    const std::wstring expected = e2e::ExpectedText(kSettings, kCard);
    target.Arm(static_cast<std::int32_t>(expected.size()));
    ASSERT_TRUE(e2e::WaitFor([&] { return e2e::Swipe(e2e::SwipeArgs(kCard)) == 0; }, 20000))
        << "the reader never came back";
    EXPECT_TRUE(target.WaitDone(20000)) << "arrived: " << target.shared().length;
    EXPECT_EQ(target.Text(), expected);
  }
};

struct WhileOpenWaits {
  const char* name;
  UINT message;
  WPARAM wparam;
  LPARAM lparam;
  bool ends;  // the program is asked to end
};

class ReaderLifeWhileOpenWaits : public ReaderLife,
                                 public ::testing::WithParamInterface<WhileOpenWaits> {};

// The common control objects' Open runs the message loop for two seconds; meanwhile the request
// arrives. The reader is closed only after its Open has returned, opened once, and the program
// ends cleanly (or, for a device change, goes on with a reader that works).
TEST_P(ReaderLifeWhileOpenWaits, NothingStopsTheReaderInsideItsCall) {
  const WhileOpenWaits& c = GetParam();
  SetReaderControlPolicy(L"OPOS.MSR");
  const std::string open = "call 37 \"ZANKeyboardWedge\"";
  ASSERT_NO_FATAL_FAILURE(StartWith(program, kSettings, {"openwait=2000"}, false));
  HWND window = program.Window();
  ASSERT_TRUE(e2e::WaitFor([&] { return Count(open) == 1; }, 10000));
  ASSERT_EQ(Count("returned 37"), 0) << "Open returned too soon for the test";
  PostMessageW(window, c.message, c.wparam, c.lparam);
  if (c.ends) {
    ExpectShutDown(program, window, kSettings, false, true);
    EXPECT_LT(Position("returned 37"), Position("call 35"));
  } else {
    ASSERT_TRUE(e2e::WaitFor([&] { return Count("put 16 true") == 1; }, 10000));
    ASSERT_TRUE(e2e::WaitFor([&] { return !IsWindowVisible(window); }, 5000));
    ASSERT_NO_FATAL_FAILURE(ShowTarget());
    ExpectCardTypedOnceTaken();
  }
  EXPECT_EQ(Count(open), 1);
}

INSTANTIATE_TEST_SUITE_P(
    Requests, ReaderLifeWhileOpenWaits,
    ::testing::Values(WhileOpenWaits{"LogOff", WM_ENDSESSION, TRUE, static_cast<LPARAM>(ENDSESSION_LOGOFF), true},
                      WhileOpenWaits{"ExitFromTheMenu", WM_COMMAND, 40002, 0, true},
                      WhileOpenWaits{"DeviceChange", WM_DEVICECHANGE, 0x0007, 0, false}),
    [](const ::testing::TestParamInfo<WhileOpenWaits>& info) { return std::string(info.param.name); });

struct Unplugged {
  const char* name;
  const wchar_t* control;
  std::vector<std::string> sim_config;
  bool device_changes;  // Windows' announcements are what tells the program (no power reports)
  const char* first_open;
};

class ReaderLifeUnplugged : public ReaderLife, public ::testing::WithParamInterface<Unplugged> {};

// The reader is unplugged and plugged in again, after which its service object needs Close and
// Open. A reader that reports its power says so; for one that does not, Windows' device
// announcements make the program look. Either way the next card is typed, once.
TEST_P(ReaderLifeUnplugged, TheNextCardIsTypedOnceTheReaderIsBack) {
  const Unplugged& c = GetParam();
  SetReaderControlPolicy(c.control);
  ASSERT_NO_FATAL_FAILURE(StartHiddenWithTarget(kSettings, c.sim_config));
  HWND window = program.Window();
  ASSERT_EQ(e2e::Swipe(L"--power off"), 0);
  if (c.device_changes) SendMessageW(window, WM_DEVICECHANGE, 0x0007, 0);
  Sleep(500);
  ASSERT_EQ(e2e::Swipe(L"--power on"), 0);
  if (c.device_changes) SendMessageW(window, WM_DEVICECHANGE, 0x0007, 0);
  ExpectCardTypedOnceTaken();
  EXPECT_GE(Count(c.first_open), 2);
}

INSTANTIATE_TEST_SUITE_P(
    Readers, ReaderLifeUnplugged,
    ::testing::Values(
        Unplugged{"OposReportingPower", L"OPOS.MSR", {"power"}, false, "call 37 \"ZANKeyboardWedge\""},
        Unplugged{"OposWithoutPowerReports", L"OPOS.MSR", {}, true, "call 37 \"ZANKeyboardWedge\""}),
    [](const ::testing::TestParamInfo<Unplugged>& info) { return std::string(info.param.name); });

}  // namespace
