#include "reader/reader_session.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <vector>

#include "reader/properties.h"
#include "reader/reader_health.h"
#include "unit/fakes.h"

namespace {

using reader::DispId;
using reader::DispValue;
using testing_fakes::FakeReader;

// One journal line as text, e.g. "C34 ZANKeyboardWedge" or "G6".
std::string Line(const FakeReader::Entry& e) {
  std::string s(1, e.kind);
  s += std::to_string(static_cast<int>(e.id));
  for (const DispValue& v : e.args) {
    s += ' ';
    if (const auto* t = std::get_if<std::wstring>(&v)) s += std::string(t->begin(), t->end());
    if (const auto* n = std::get_if<std::int32_t>(&v)) s += "i" + std::to_string(*n);
    if (const auto* b = std::get_if<bool>(&v)) s += *b ? "true" : "false";
  }
  return s;
}

std::vector<std::string> Lines(const FakeReader& msr) {
  std::vector<std::string> out;
  for (const auto& e : msr.journal) out.push_back(Line(e));
  return out;
}

const std::vector<std::string> kStartJournal = {
    "C34 ZANKeyboardWedge", "G6", "G7",  // open, both codes
    "P46 i1",               "G6",        // numeric setting, the result code only
    "C36 i1000",            "G6", "G7",  // claim
    "P4 true",              "G6", "G7",  // enable
    "P3 true",              "G6", "G7",  // data events on
};

class ReaderSessionTest : public ::testing::Test {
 protected:
  // The reader answers every call or put of `id` with these codes.
  void Answer(DispId id, std::int32_t code, std::int32_t ext) {
    answers[id] = {code, ext};
  }
  void SetUp() override {
    msr.on_call = [this](const FakeReader::Entry& e) {
      auto it = answers.find(e.id);
      const auto codes = it == answers.end() ? std::pair<std::int32_t, std::int32_t>{0, 0} : it->second;
      msr.props[DispId::ResultCode] = codes.first;
      msr.props[DispId::ResultCodeExtended] = codes.second;
    };
  }

  FakeReader msr;
  reader::ReaderSession session;
  std::map<DispId, std::pair<std::int32_t, std::int32_t>> answers;
};

TEST_F(ReaderSessionTest, StartMakesTheTenStepsInOrderAndSkipsTheExtendedCodeAfterTheSetting) {
  session.Start(msr);
  EXPECT_EQ(Lines(msr), kStartJournal);
  EXPECT_EQ(session.iResult, 0);
  EXPECT_EQ(session.iResultExt, 0);
}

TEST_F(ReaderSessionTest, ARefusedSettingLeavesTheOpenStepsExtendedCodeUntilTheClaim) {
  Answer(DispId::Open, 0, 7);
  Answer(DispId::NumericSetting, 106, 999);
  std::vector<std::pair<int, int>> seen_at_claim;
  auto answer = msr.on_call;
  msr.on_call = [&](const FakeReader::Entry& e) {
    if (e.id == DispId::ClaimDevice) seen_at_claim.push_back({session.iResult, session.iResultExt});
    answer(e);
  };
  session.Start(msr);
  ASSERT_EQ(seen_at_claim.size(), 1u);
  EXPECT_EQ(seen_at_claim[0], (std::pair<int, int>{106, 7}));
  EXPECT_EQ(session.iResult, 0);
  EXPECT_EQ(session.iResultExt, 0);
}

TEST_F(ReaderSessionTest, AReaderThatCannotBeOpenedStillGetsEveryStepAndTheLastCodeStays) {
  Answer(DispId::Open, 109, 0);
  Answer(DispId::NumericSetting, 101, 0);
  Answer(DispId::ClaimDevice, 101, 0);
  Answer(DispId::DeviceEnabled, 101, 0);
  Answer(DispId::DataEventEnabled, 101, 3);
  session.Start(msr);
  EXPECT_EQ(Lines(msr), kStartJournal);
  EXPECT_EQ(session.iResult, 101);
  EXPECT_EQ(session.iResultExt, 3);
}

TEST_F(ReaderSessionTest, CallsThatFailOutrightAreTreatedLikeRefusedSteps) {
  // No control at all: every call, put and read fails.
  for (const auto& info : reader::kReaderCalls) msr.failing.insert(info.id);
  session.Start(msr);
  EXPECT_EQ(Lines(msr), kStartJournal);
  EXPECT_EQ(session.iResult, reader::kUnreadableCode);
  EXPECT_EQ(session.iResultExt, reader::kUnreadableCode);
  session.Stop(msr);
  EXPECT_EQ(msr.journal.size(), kStartJournal.size() + 3);
}

TEST_F(ReaderSessionTest, CodesThatDoNotFitOrAreNoNumberAreKeptAsTheUnreadableCode) {
  struct Case {
    DispValue code;
    std::int16_t kept;
  } cases[] = {
      {std::int32_t{111}, 111},         {std::int32_t{-32768}, -32768},
      {std::int32_t{70000}, reader::kUnreadableCode}, {std::int32_t{-40000}, reader::kUnreadableCode},
      {std::wstring(L"112"), 112},      {std::wstring(L"busy"), reader::kUnreadableCode},
      {DispValue{}, 0},
  };
  for (const Case& c : cases) {
    FakeReader fresh;
    fresh.props[DispId::ResultCode] = c.code;
    fresh.props[DispId::ResultCodeExtended] = c.code;
    reader::ReaderSession s;
    s.Start(fresh);
    EXPECT_EQ(s.iResult, c.kept);
    EXPECT_EQ(s.iResultExt, c.kept);
  }
}

TEST_F(ReaderSessionTest, StopDisablesReleasesAndClosesReadingNoCode) {
  Answer(DispId::Open, 0, 5);
  Answer(DispId::DataEventEnabled, 105, 6);
  session.Start(msr);
  msr.journal.clear();
  Answer(DispId::DeviceEnabled, 111, 1);
  msr.failing = {DispId::ReleaseDevice};
  session.Stop(msr);
  EXPECT_EQ(Lines(msr), (std::vector<std::string>{"P4 false", "C37", "C35"}));
  EXPECT_EQ(session.iResult, 105);
  EXPECT_EQ(session.iResultExt, 6);
}

// --- Result code names ---

TEST_F(ReaderSessionTest, NamedCodesNeedNoReaderRead) {
  const std::pair<std::int16_t, const wchar_t*> names[] = {
      {0, L"OposSuccess"},      {101, L"OposEClosed"},    {102, L"OposEClaimed"},
      {103, L"OposENotclaimed"}, {104, L"OposENoservice"}, {105, L"OposEDisabled"},
      {106, L"OposEIllegal"},   {107, L"OposENohardware"}, {108, L"OposEOffline"},
      {109, L"OposENoexist"},   {110, L"OposEExists"},    {111, L"OposEFailure"},
      {112, L"OposETimeout"},   {113, L"OposEBusy"},
  };
  for (const auto& [code, name] : names) {
    EXPECT_EQ(session.GetErr(code, msr), std::wstring(name)) << code;
    EXPECT_EQ(session.sErrText, name);
  }
  EXPECT_TRUE(msr.journal.empty());
}

TEST_F(ReaderSessionTest, ExtendedCodeWithAStripeErrorKeepsTheEarlierName) {
  for (std::int16_t ext : {201, 202, 203, 204}) {
    reader::ReaderSession fresh;
    fresh.iResultExt = ext;
    EXPECT_EQ(fresh.GetErr(114, msr), std::wstring()) << ext;
    fresh.GetErr(113, msr);
    EXPECT_EQ(fresh.GetErr(114, msr), std::wstring(L"OposEBusy")) << ext;
  }
  EXPECT_TRUE(msr.journal.empty());
}

TEST_F(ReaderSessionTest, ExtendedCodeOtherwiseNamesTheReadersCurrentExtendedCode) {
  session.iResultExt = 0;
  msr.props[DispId::ResultCodeExtended] = std::int32_t{7};
  EXPECT_EQ(session.GetErr(114, msr), std::wstring(L"7 error"));
  session.iResultExt = 205;  // just past the stripe errors
  msr.props[DispId::ResultCodeExtended] = std::int32_t{-300};
  EXPECT_EQ(session.GetErr(114, msr), std::wstring(L"-300 error"));
  EXPECT_EQ(msr.Count('G', DispId::ResultCodeExtended), 2);
  EXPECT_EQ(msr.Count('G', DispId::ResultCode), 0);
}

TEST_F(ReaderSessionTest, OtherCodesNameTheReadersCurrentResultCodeNotTheirOwn) {
  msr.props[DispId::ResultCode] = std::int32_t{0};
  for (std::int16_t code : {999, -1, 1, 100, 115, 200}) {
    EXPECT_EQ(session.GetErr(code, msr), std::wstring(L"0 error")) << code;
  }
  EXPECT_EQ(msr.Count('G', DispId::ResultCode), 6);
}

TEST_F(ReaderSessionTest, AFailedReadGivesNothingAndKeepsTheName) {
  session.GetErr(111, msr);
  msr.failing = {DispId::ResultCode, DispId::ResultCodeExtended};
  EXPECT_EQ(session.GetErr(999, msr), std::nullopt);
  EXPECT_EQ(session.GetErr(114, msr), std::nullopt);
  EXPECT_EQ(session.sErrText, L"OposEFailure");
}

// The reader's health after a start, as the icon's tip tells it: the first step that did not
// succeed, in plain words and by the result naming's name; a reconnect forgets an old problem.
TEST_F(ReaderSessionTest, HealthNamesTheFirstStepThatDidNotSucceed) {
  struct Case {
    const char* name;
    std::map<DispId, std::pair<std::int32_t, std::int32_t>> answers;
    std::set<DispId> failing;
    bool has_control, events;
    const wchar_t* tip;
    bool opened;
  };
  const Case cases[] = {
      {"ready", {}, {}, true, true, L"ZAN MCR", true},
      {"no control", {}, {}, false, false, L"ZAN MCR - card reader software not installed", true},
      {"no device", {{DispId::Open, {109, 0}}, {DispId::ClaimDevice, {101, 0}}}, {}, true, true,
       L"ZAN MCR - card reader not found (OposENoexist)", false},
      {"claimed elsewhere", {{DispId::ClaimDevice, {102, 0}}}, {}, true, true,
       L"ZAN MCR - card reader in use by another program (OposEClaimed)", true},
      {"offline at enable", {{DispId::DeviceEnabled, {108, 0}}}, {}, true, true,
       L"ZAN MCR - card reader offline (OposEOffline)", true},
      {"extended code", {{DispId::ClaimDevice, {114, 300}}}, {}, true, true,
       L"ZAN MCR - card reader error (300 error)", true},
      {"unknown code", {{DispId::NumericSetting, {-5, 0}}}, {}, true, true,
       L"ZAN MCR - card reader not ready (-5 error)", true},
      {"a call fails outright", {}, {DispId::ClaimDevice}, true, true,
       L"ZAN MCR - card reader not responding", true},
      {"no events", {}, {}, true, false, L"ZAN MCR - card reader cannot report cards", true},
  };
  for (const Case& c : cases) {
    answers = c.answers;
    msr.failing = c.failing;
    session.Start(msr);
    const reader::ReaderHealth health = reader::AssessReader(c.has_control, c.events, session);
    EXPECT_EQ(reader::HealthTip(L"ZAN MCR", health), c.tip) << c.name;
    EXPECT_EQ(health.ready, c.tip == std::wstring(L"ZAN MCR")) << c.name;
    EXPECT_EQ(session.opened(), c.opened) << c.name;
  }
}

}  // namespace
