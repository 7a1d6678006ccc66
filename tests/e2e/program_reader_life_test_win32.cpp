// A reader that misbehaves as real ones do: an Open or a teardown that runs the message loop for
// seconds while Windows and the user ask for things, other devices coming and going, and the
// reader unplugged and plugged in again.

#include <windows.h>
#include <dbt.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <thread>
#include <vector>

#include "e2e/card_typing_win32.h"

namespace {

using e2e::Card;

// Sentinels, an Enter after the card, tracks 1 and 2, hidden at start.
const e2e::StoredSettings kSettings =
    e2e::Settings({L"0", L"1", L"False", L"False", L"True", L"1", L"1", L"0", L"True", L"False"});
const Card kCard = {L"B4111111111111111^DOE/JOHN^2912101", L"4111111111111111=2912101", L""};

// The quiet time the program waits for after a device announcement.
constexpr DWORD kQuietMs = 3000;

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
  // Swipes until the reader takes the card (it refuses while it is not enabled or lost), for up
  // to `swiping_ms` (0: once), then expects it typed exactly once.
  void ExpectCardTypedOnceTaken(unsigned swiping_ms = 20000) {
    const std::wstring expected = e2e::ExpectedText(kSettings, kCard);
    target.Arm(static_cast<std::int32_t>(expected.size()));
    ASSERT_TRUE(e2e::WaitFor([&] { return e2e::Swipe(e2e::SwipeArgs(kCard)) == 0; }, swiping_ms))
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
  bool letting_go = false;  // the request comes while a reconnect lets the old control go
};

class ReaderLifeWhileOpenWaits : public ReaderLife,
                                 public ::testing::WithParamInterface<WhileOpenWaits> {};

// The common control objects' Open runs the message loop for two seconds, or the teardown of a
// control a reconnect lets go does; meanwhile the request arrives. The reader is closed only after
// that call has returned, opened once, and the program ends cleanly (or, for a device change,
// goes on with a reader that works).
TEST_P(ReaderLifeWhileOpenWaits, NothingStopsTheReaderInsideItsCall) {
  const WhileOpenWaits& c = GetParam();
  SetReaderControlPolicy(L"OPOS.MSR");
  const std::string open = "call 37 \"ZANKeyboardWedge\"";
  const std::string waits = c.letting_go ? "teardown 0" : open;
  const std::string returned = c.letting_go ? "returned 0" : "returned 37";
  ASSERT_NO_FATAL_FAILURE(StartWith(program, kSettings,
                                    {c.letting_go ? "releasewait=2000" : "openwait=2000"}, false));
  HWND window = program.Window();
  if (c.letting_go) {
    ASSERT_TRUE(e2e::WaitFor([&] { return Count("put 16 true") == 1; }, 10000));
    PostMessageW(window, WM_COMMAND, 40003, 0);  // the menu's "Reconnect card reader"
  }
  ASSERT_TRUE(e2e::WaitFor([&] { return Count(waits) == 1; }, 10000));
  ASSERT_EQ(Count(returned), 0) << "the call returned too soon for the test";
  PostMessageW(window, c.message, c.wparam, c.lparam);
  if (c.ends) {
    ExpectShutDown(program, window, kSettings, false, true);
    if (c.letting_go) {
      EXPECT_EQ(Count(returned), 1);
    } else {
      EXPECT_LT(Position(returned), Position("call 35"));
    }
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
                      WhileOpenWaits{"DeviceChange", WM_DEVICECHANGE, 0x0007, 0, false},
                      WhileOpenWaits{"LogOffWhileLettingGo", WM_ENDSESSION, TRUE, static_cast<LPARAM>(ENDSESSION_LOGOFF), true, true},
                      WhileOpenWaits{"CloseWhileLettingGo", WM_CLOSE, 0, 0, true, true}),
    [](const ::testing::TestParamInfo<WhileOpenWaits>& info) { return std::string(info.param.name); });

struct Announced {
  const char* name;
  const wchar_t* control;
  std::vector<std::string> sim_config;
  // Each letter one announcement (Arrival, Removal, Nodes changed), "-" and "+" the reader
  // unplugged and plugged in again, "S" a card swiped and typed ("s": swiped once, so the reader
  // must be taking cards already), "W" a wait past the quiet time, "F" another device that
  // announces its arrival every 2 s for 25 s from then on (the next "F" waits until it is done).
  const char* script;
  int opens;
};

class ReaderLifeAnnounced : public ReaderLife, public ::testing::WithParamInterface<Announced> {
 protected:
  void Announce(HWND window, char what) {
    DEV_BROADCAST_DEVICEINTERFACE_W device = {};
    device.dbcc_size = sizeof(device);
    device.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
    const WPARAM event = what == 'A' ? DBT_DEVICEARRIVAL : what == 'R' ? DBT_DEVICEREMOVECOMPLETE
                                                                       : DBT_DEVNODES_CHANGED;
    SendMessageW(window, WM_DEVICECHANGE, event,
                 what == 'N' ? 0 : reinterpret_cast<LPARAM>(&device));
  }
  void TearDown() override {
    if (flaky_.joinable()) flaky_.join();
    ReaderLife::TearDown();
  }
  std::thread flaky_;
};

// Windows announces devices: other devices coming and going leave a working reader alone (no
// Close, no Open) and cards are typed throughout; the reader unplugged and plugged in again is
// opened again exactly once, even while another device keeps announcing itself, and a reader
// whose own check says it is broken once per burst.
TEST_P(ReaderLifeAnnounced, AWorkingReaderIsLeftAloneAndALostOneComesBackOnce) {
  const Announced& c = GetParam();
  SetReaderControlPolicy(c.control);
  ASSERT_NO_FATAL_FAILURE(StartHiddenWithTarget(kSettings, c.sim_config));
  HWND window = program.Window();
  const std::string open = std::wstring(c.control) == L"OPOS.MSR" ? "call 37 \"ZANKeyboardWedge\""
                                                                  : "call 34 \"ZANKeyboardWedge\"";
  for (const char* step = c.script; *step; ++step) {
    switch (*step) {
      case '-': ASSERT_EQ(e2e::Swipe(L"--power off"), 0); break;
      case '+': ASSERT_EQ(e2e::Swipe(L"--power on"), 0); break;
      case 'S': ASSERT_NO_FATAL_FAILURE(ExpectCardTypedOnceTaken()); break;
      case 's': ASSERT_NO_FATAL_FAILURE(ExpectCardTypedOnceTaken(0)); break;
      case 'F':
        if (flaky_.joinable()) {
          flaky_.join();
        } else {
          flaky_ = std::thread([this, window] {
            for (int s = 0; s < 25; s += 2) Announce(window, 'A'), Sleep(2000);
          });
        }
        break;
      case 'W': Sleep(kQuietMs + 1500); break;
      default: Announce(window, *step); break;
    }
  }
  EXPECT_EQ(Count(open), c.opens);
}

INSTANTIATE_TEST_SUITE_P(
    Readers, ReaderLifeAnnounced,
    ::testing::Values(
        Announced{"MsrLibAmongOtherDevices", L"MSRLib.MSR", {}, "ANNSNNWS", 1},
        Announced{"OposAmongOtherDevices", L"OPOS.MSR", {}, "ANNSNNWS", 1},
        Announced{"MsrLibUnpluggedAndBack", L"MSRLib.MSR", {}, "-RNW+ANWS", 2},
        Announced{"OposReportingPowerUnpluggedAndBack", L"OPOS.MSR", {"power"}, "-RNW+ANWS", 2},
        Announced{"OposWithoutPowerReportsUnpluggedAndBack", L"OPOS.MSR", {}, "-RNW+ANWS", 2},
        Announced{"MsrLibBackWhileAnotherDeviceKeepsAnnouncing", L"MSRLib.MSR", {}, "-RN+ANFWWWsFW", 2},
        Announced{"BrokenMsrLibThatCanTell", L"MSRLib.MSR", {"health", "result=51,111"}, "NNNNNWW", 2}),
    [](const ::testing::TestParamInfo<Announced>& info) { return std::string(info.param.name); });

}  // namespace
