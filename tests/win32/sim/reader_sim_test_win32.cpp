// The Windows reader adapter against the simulated OPOS reader, registered in the test prefix.

#include <windows.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "reader/com_reader.h"
#include "reader/properties.h"
#include "reader/reader_session.h"
#include "shell/message_pump.h"
#include "shell/plain_card_form.h"
#include "sim_host_win32.h"
#include "wedge/card_event.h"

namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

const std::vector<std::string> kStartAndStop = {
    "call 34 \"ZANKeyboardWedge\"", "get 6", "get 7",
    "put 46 1", "get 6",
    "call 36 1000", "get 6", "get 7",
    "put 4 true", "get 6", "get 7",
    "put 3 true", "get 6", "get 7",
    "put 4 false", "call 37", "call 35",
};

class TypedKeys : public wedge::KeystrokeOutput {
 public:
  CardId CardSwiped() override { return 1; }
  bool SendKeys(CardId, const std::wstring& keys) override {
    sent.push_back(keys);
    return true;
  }
  void EndCard(CardId) override {}
  std::vector<std::wstring> sent;
};

// A host like the program's window: the reader, its session, and the card handler its data
// event runs.
struct Host : reader::ReaderEvents {
  explicit Host(const wchar_t* prog_id = reader::kMsrLibProgId) : msr(*this, {prog_id}) {}

  void OnDataEvent(std::int32_t status) override {
    ++events;
    statuses.push_back(status);
    event_thread = GetCurrentThreadId();
    if (handle_cards) handler.MSR1_DataEvent(status);
  }
  void OnErrorEvent(std::int32_t result, std::int32_t extended, std::int32_t) override {
    errors.push_back({result, extended});
  }

  reader::ComReader msr;
  reader::ReaderSession session;
  shell::PlainCardForm form;
  TypedKeys keys;
  wedge::Ending ending;
  wedge::CardEventHandler handler{msr, form, keys, shell::DoEvents, ending};
  bool handle_cards = true;
  int events = 0;
  std::vector<std::int32_t> statuses;
  std::vector<std::pair<std::int32_t, std::int32_t>> errors;
  DWORD event_thread = 0;
};

class ReaderSim : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(apartment.ok()); }
  sim_host::Apartment apartment;
};

const wchar_t kCard[] =
    L"--track1 \"B4111111111111111^DOE/JOHN Q^2912101\" --track2 \"4111111111111111=2912101\" "
    L"--track3 \"011234567890=1234\"";

TEST_F(ReaderSim, StartAndStopReachTheReaderInExactlyTheirOrder) {
  sim_host::SimFiles files({});
  {
    Host host;
    ASSERT_TRUE(host.msr.HasControl());
    EXPECT_TRUE(host.msr.EventsConnected());
    host.session.Start(host.msr);
    EXPECT_EQ(host.session.iResult, 0);
    EXPECT_EQ(host.session.iResultExt, 0);
    host.session.Stop(host.msr);
  }
  EXPECT_THAT(files.Journal(), ElementsAreArray(kStartAndStop));
}

TEST_F(ReaderSim, ASwipeReachesTheDataEventWithAllEightProperties) {
  sim_host::SimFiles files({});
  Host host;
  host.session.Start(host.msr);
  ASSERT_EQ(sim_host::Swipe(kCard), 0);
  ASSERT_TRUE(sim_host::PumpUntil([&] { return host.events == 1; }));
  EXPECT_EQ(host.event_thread, GetCurrentThreadId());
  EXPECT_THAT(host.form.boxes,
              ElementsAre(L"JOHN", L"Q", L"DOE", L"2912", L"4111111111111111",
                          L"B4111111111111111^DOE/JOHN Q^2912101", L"4111111111111111=2912101",
                          L"011234567890=1234", L""));
  EXPECT_EQ(host.statuses[0], 36 | 24 << 8 | 17 << 16);  // the track lengths, as OPOS readers give
  EXPECT_THAT(host.keys.sent, ElementsAre(L"{%}B4111111111111111{^}DOE/JOHN Q{^}2912101?",
                                          L";4111111111111111=2912101?", L";011234567890=1234?"));
  // The handler read the card and switched data events on again.
  const std::vector<std::string> journal = files.Journal();
  ASSERT_GE(journal.size(), 14u + 9u);
  EXPECT_THAT(std::vector<std::string>(journal.begin() + 14, journal.begin() + 23),
              ElementsAre("get 27", "get 28", "get 29", "get 25", "get 24", "get 21", "get 22",
                          "get 23", "put 3 true"));
  host.session.Stop(host.msr);
}

TEST_F(ReaderSim, SentinelsOfASwipedTrackAreNotPartOfTheTrackData) {
  sim_host::SimFiles files({});
  Host host;
  host.session.Start(host.msr);
  ASSERT_EQ(sim_host::Swipe(L"--track2 \";4111111111111111=2912101?5\""), 0);
  ASSERT_TRUE(sim_host::PumpUntil([&] { return host.events == 1; }));
  EXPECT_EQ(host.form.boxes[6], L"4111111111111111=2912101");
  // No track 1: the fields come from track 2, names stay empty.
  EXPECT_EQ(host.form.boxes[4], L"4111111111111111");
  EXPECT_EQ(host.form.boxes[3], L"2912");
  EXPECT_EQ(host.form.boxes[0], L"");
  host.session.Stop(host.msr);
}

TEST_F(ReaderSim, ManySwipesAreEachHandledOnceWhenTheHandlerSwitchesEventsOnAgain) {
  sim_host::SimFiles files({});
  Host host;
  host.session.Start(host.msr);
  ASSERT_EQ(sim_host::Swipe(std::wstring(kCard) + L" --count 20"), 0);
  ASSERT_TRUE(sim_host::PumpUntil([&] { return host.events == 20; }));
  sim_host::PumpUntil([] { return false; }, 100);  // nothing more may come
  EXPECT_EQ(host.events, 20);
  EXPECT_EQ(host.keys.sent.size(), 60u);
  host.session.Stop(host.msr);
}

TEST_F(ReaderSim, CardsWaitWhileDataEventsAreOffAndComeOneAtATime) {
  sim_host::SimFiles files({});
  Host host;
  host.handle_cards = false;  // nobody switches data events on again
  host.session.Start(host.msr);
  ASSERT_EQ(sim_host::Swipe(std::wstring(kCard) + L" --count 3"), 0);
  ASSERT_TRUE(sim_host::PumpUntil([&] { return host.events == 1; }));
  sim_host::PumpUntil([] { return false; }, 200);
  EXPECT_EQ(host.events, 1);
  reader::DispValue enabled;
  ASSERT_TRUE(host.msr.Get(reader::DispId::DataEventEnabled, enabled));
  EXPECT_EQ(enabled, reader::DispValue{false});

  for (int expected = 2; expected <= 3; ++expected) {
    ASSERT_TRUE(host.msr.Put(reader::DispId::DataEventEnabled, true));
    ASSERT_TRUE(sim_host::PumpUntil([&] { return host.events == expected; }));
  }
  ASSERT_TRUE(host.msr.Put(reader::DispId::DataEventEnabled, true));
  sim_host::PumpUntil([] { return false; }, 200);
  EXPECT_EQ(host.events, 3);
  host.session.Stop(host.msr);
}

// Without class information, or with class information that names no default source, the
// event interface is found among the connection points: never one the control's type library
// calls a vtable interface, which events through IDispatch cannot reach.
TEST_F(ReaderSim, EventsAreFoundByEnumerationWithoutClassInfo) {
  for (const std::vector<std::string>& configs :
       {std::vector<std::string>{"noclassinfo"}, {"nodefaultsource"}, {"nodefaultsource", "vtablepoint"}}) {
    const std::string config = configs.back();
    sim_host::SimFiles files(configs);
    Host host;
    ASSERT_TRUE(host.msr.EventsConnected()) << config;
    host.session.Start(host.msr);
    ASSERT_EQ(sim_host::Swipe(kCard), 0);
    EXPECT_TRUE(sim_host::PumpUntil([&] { return host.events == 1; })) << config;
    host.session.Stop(host.msr);
  }
}

TEST_F(ReaderSim, TheReadersOtherEventsAreReceivedAndIgnored) {
  sim_host::SimFiles files({});
  Host host;
  host.session.Start(host.msr);
  ASSERT_EQ(sim_host::Swipe(L"--fault raise=5 --fault raise=3 --fault raise=2"), 0);
  ASSERT_EQ(sim_host::Swipe(kCard), 0);
  ASSERT_TRUE(sim_host::PumpUntil([&] { return host.events == 1; }));
  sim_host::PumpUntil([] { return false; }, 100);
  EXPECT_EQ(host.events, 1);
  EXPECT_EQ(host.form.boxes[2], L"DOE");
  host.session.Stop(host.msr);
}

TEST_F(ReaderSim, NoEventReachesTheHandlerAfterRelease) {
  sim_host::SimFiles files({});
  Host host;
  host.session.Start(host.msr);
  ASSERT_TRUE(host.msr.Put(reader::DispId::DataEventEnabled, false));
  ASSERT_EQ(sim_host::Swipe(kCard), 0);  // the card waits inside the reader
  ASSERT_TRUE(host.msr.Put(reader::DispId::DataEventEnabled, true));
  host.msr.Release();  // before the reader's window could deliver it
  sim_host::PumpUntil([] { return false; }, 200);
  EXPECT_EQ(host.events, 0);
  EXPECT_FALSE(host.msr.Put(reader::DispId::DataEventEnabled, true));
}

// --- Faults the reader reports through its result codes ---

struct Fault {
  const char* config;
  std::int16_t result, ext;
};

class ReaderSimFault : public ReaderSim, public ::testing::WithParamInterface<Fault> {};

TEST_P(ReaderSimFault, LeavesTheLastCodesAndTheProgramCarriesOn) {
  sim_host::SimFiles files({GetParam().config});
  {
    Host host;
    host.session.Start(host.msr);
    EXPECT_EQ(host.session.iResult, GetParam().result);
    EXPECT_EQ(host.session.iResultExt, GetParam().ext);
    host.session.Stop(host.msr);
    EXPECT_EQ(host.session.iResult, GetParam().result);  // the stop reads no code
  }
  EXPECT_THAT(files.Journal(), ElementsAreArray(kStartAndStop));
}

INSTANTIATE_TEST_SUITE_P(
    StartSteps, ReaderSimFault,
    ::testing::Values(
        // Open finds no device: everything after it meets a closed reader.
        Fault{"nodevice", 101, 0},
        // The last step refused: its codes are the ones kept.
        Fault{"result=3,114,300", 114, 300},
        // A refused claim leaves the reader unclaimed: enabling it fails, data events go on.
        Fault{"result=36,111,2", 0, 0},
        // The result code cannot be read: kept as the unreadable code, the extended one is read.
        Fault{"failget=6", reader::kUnreadableCode, 0},
        // A code outside the 16-bit range is not wrapped into another code.
        Fault{"result=3,70000,-70000", reader::kUnreadableCode, reader::kUnreadableCode}));

TEST_F(ReaderSim, ARefusedSettingKeepsTheExtendedCodeOfOpenUntilTheClaim) {
  // Observed from the reader's side: the code after the claim comes from the journal's order.
  sim_host::SimFiles files({"result=34,0,5", "result=46,106,9", "result=36,113,0", "result=4,0,0",
                            "result=3,0,0"});
  Host host;
  reader::ReaderSession& s = host.session;
  s.Start(host.msr);
  EXPECT_EQ(s.iResult, 0);
  EXPECT_EQ(s.iResultExt, 0);
  // GetErr names what the reader says now, and 114 follows the extended code.
  EXPECT_EQ(s.GetErr(113, host.msr), std::wstring(L"OposEBusy"));
  EXPECT_EQ(s.GetErr(999, host.msr), std::wstring(L"0 error"));
  host.session.Stop(host.msr);
}

TEST_F(ReaderSim, ExtendedCodesAreNamedFromTheReader) {
  sim_host::SimFiles files({"result=3,114,300"});
  Host host;
  host.session.Start(host.msr);
  ASSERT_EQ(host.session.iResult, 114);
  EXPECT_EQ(host.session.GetErr(host.session.iResult, host.msr), std::wstring(L"300 error"));
  EXPECT_EQ(host.session.GetErr(-1, host.msr), std::wstring(L"114 error"));
  host.session.Stop(host.msr);
}

TEST_F(ReaderSim, AStripeErrorAfter114KeepsTheEarlierName) {
  sim_host::SimFiles files({"result=3,114,203"});
  Host host;
  host.session.Start(host.msr);
  ASSERT_EQ(host.session.iResultExt, 203);
  EXPECT_EQ(host.session.GetErr(114, host.msr), std::wstring());
  host.session.GetErr(101, host.msr);
  EXPECT_EQ(host.session.GetErr(114, host.msr), std::wstring(L"OposEClosed"));
  host.session.Stop(host.msr);
}

TEST_F(ReaderSim, AFailingTrackReadLeavesOnlyThatTrackEmpty) {
  sim_host::SimFiles files({"failget=21"});
  Host host;
  host.session.Start(host.msr);
  ASSERT_EQ(sim_host::Swipe(kCard), 0);
  ASSERT_TRUE(sim_host::PumpUntil([&] { return host.events == 1; }));
  EXPECT_EQ(host.form.boxes[5], L"");
  EXPECT_EQ(host.form.boxes[0], L"JOHN");
  EXPECT_THAT(host.keys.sent, ElementsAre(L"", L";4111111111111111=2912101?", L";011234567890=1234?"));
  host.session.Stop(host.msr);
}

TEST_F(ReaderSim, FaultsSentByTheSwipeCommandApplyToTheRunningReader) {
  sim_host::SimFiles files({});
  Host host;
  host.session.Start(host.msr);
  ASSERT_EQ(sim_host::Swipe(L"--fault failget=27 --fault result=4,111,0"), 0);
  ASSERT_EQ(sim_host::Swipe(kCard), 0);
  ASSERT_TRUE(sim_host::PumpUntil([&] { return host.events == 1; }));
  EXPECT_EQ(host.form.boxes[0], L"");
  EXPECT_EQ(host.form.boxes[2], L"DOE");
  host.session.Stop(host.msr);
  EXPECT_EQ(reader::GetInt(host.msr, reader::DispId::ResultCode), 0);  // the close still worked
}

// --- No working reader at all ---

TEST_F(ReaderSim, WithNoReaderRegisteredEverythingFailsQuietly) {
  Host host(L"ZanTest.NoSuchReader");
  EXPECT_FALSE(host.msr.HasControl());
  EXPECT_FALSE(host.msr.EventsConnected());
  host.session.Start(host.msr);
  EXPECT_EQ(host.session.iResult, reader::kUnreadableCode);
  EXPECT_EQ(host.session.iResultExt, reader::kUnreadableCode);
  EXPECT_EQ(host.session.GetErr(999, host.msr), std::nullopt);
  EXPECT_EQ(host.session.GetErr(0, host.msr), std::wstring(L"OposSuccess"));
  host.session.Stop(host.msr);
  EXPECT_EQ(sim_host::Swipe(kCard), 2);  // nobody has the reader open
}

TEST_F(ReaderSim, AReaderThatCannotBeCreatedIsLikeNone) {
  sim_host::SimFiles files({"nocreate"});
  Host host;
  EXPECT_FALSE(host.msr.HasControl());
  host.session.Start(host.msr);
  host.session.Stop(host.msr);
  EXPECT_EQ(host.session.iResult, reader::kUnreadableCode);
  EXPECT_TRUE(files.Journal().empty());
}

TEST_F(ReaderSim, CallsThatFailOutrightDoNotStopTheSequences) {
  sim_host::SimFiles files({"failinvoke"});
  {
    Host host;
    ASSERT_TRUE(host.msr.HasControl());
    host.session.Start(host.msr);
    EXPECT_EQ(host.session.iResult, reader::kUnreadableCode);
    host.session.Stop(host.msr);
  }
  EXPECT_THAT(files.Journal(), ElementsAreArray(kStartAndStop));
}

// --- The swipe command ---

TEST_F(ReaderSim, SwipeCommandSaysWhenTheReaderIsNotThereOrNotEnabled) {
  sim_host::SimFiles files({});
  EXPECT_EQ(sim_host::Swipe(kCard), 2);
  Host host;
  host.msr.Call(reader::DispId::Open, {std::wstring(reader::kLogicalDeviceName)});
  EXPECT_EQ(sim_host::Swipe(kCard), 3);  // open, not enabled: the card is not read
  EXPECT_EQ(sim_host::Swipe(std::wstring(kCard) + L" --device OtherReader"), 2);
  EXPECT_EQ(sim_host::Swipe(L"--count 0 --track2 1=2"), 1);
  host.msr.Call(reader::DispId::Close, {});
  EXPECT_EQ(sim_host::Swipe(kCard), 2);
}

}  // namespace
