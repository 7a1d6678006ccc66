#include "shell/reader_owner.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "shell/plain_card_form.h"
#include "unit/fakes.h"

namespace {

using reader::DispId;

// A control that journals what the owner does to it ("create", "release", the calls), and runs
// `during` once while the program is inside the call `inside`.
struct Journal {
  std::vector<std::string> lines;
  std::string inside;
  std::function<void()> during;
  int check_health_result = 0;
  bool has_state = true;
};

class FakeControl : public reader::ReaderControl {
 public:
  explicit FakeControl(Journal& journal) : journal_(journal) { journal_.lines.push_back("create"); }
  bool Call(DispId id, const std::vector<reader::DispValue>&) override { return Note('C', id); }
  bool Put(DispId id, const reader::DispValue&) override { return Note('P', id); }
  bool Get(DispId id, reader::DispValue& result) override {
    result = id == DispId::ResultCode ? reader::DispValue{last_code_} : reader::DispValue{};
    return Note('G', id) && (id != DispId::State || journal_.has_state);
  }
  bool HasControl() const override { return true; }
  bool EventsConnected() const override { return true; }
  std::wstring Tried() const override { return L"MSRLib.MSR"; }
  std::wstring ProgId() const override { return L"MSRLib.MSR"; }
  void Release() override { journal_.lines.push_back("release"); }

 private:
  bool Note(char kind, DispId id) {
    const std::string line = kind + std::to_string(static_cast<int>(id));
    journal_.lines.push_back(line);
    last_code_ = id == DispId::CheckHealth ? journal_.check_health_result : 0;
    if (line == journal_.inside && journal_.during) std::exchange(journal_.during, nullptr)();
    return true;
  }
  Journal& journal_;
  std::int32_t last_code_ = 0;
};

class FakeHost : public shell::ReaderHost {
 public:
  explicit FakeHost(Journal& journal) : journal_(journal) {}
  std::unique_ptr<reader::ReaderControl> CreateControl(reader::ReaderEvents&) override {
    return std::make_unique<FakeControl>(journal_);
  }
  void WorkWaiting() override { ++posted; }
  void SetRetryTimer(unsigned ms) override { timer_ms = ms; }
  std::uint64_t NowMs() override { return now; }
  void HealthChanged(const reader::ReaderHealth&) override {}

  int posted = 0;
  unsigned timer_ms = 0;
  std::uint64_t now = 100000;

 private:
  Journal& journal_;
};

// What matters of a journal: the control's life, its Open ("C34"), data events on ("P3": the
// start's last step, and a card's re-arm), its health check ("C65543") and its Close ("C35").
// The end of the message loop lets a control still there go ("release").
std::string Digest(const std::vector<std::string>& lines) {
  std::string out;
  for (const std::string& line : lines) {
    if (line == "create" || line == "release" || line == "C34" || line == "P3" || line == "C35" ||
        line == "C65543") {
      out += (out.empty() ? "" : " ") + line;
    }
  }
  return out;
}

// Requests made while the program is inside the reader (its Open, which runs the message loop,
// or a card's data event) wait until it has returned, merged into the strongest; requests made
// outside are done at once. A reader that works is never restarted.
TEST(ReaderOwner, WhatIsAskedInsideTheReaderWaitsUntilItReturns) {
  enum Ask { kStop, kReconnect, kDevices };
  struct Case {
    const char* name;
    const char* inside;  // the call inside which the requests come
    std::vector<Ask> asks;
    int check_health_result;
    const char* digest;
  };
  const Case cases[] = {
      {"the end while Open waits", "C34", {kStop},
       0, "create C34 P3 C35 release"},
      {"two reconnects while Open waits: one", "C34", {kReconnect, kReconnect},
       0, "create C34 P3 C35 release create C34 P3 release"},
      {"a reconnect, then the end: the end", "C34", {kReconnect, kStop},
       0, "create C34 P3 C35 release"},
      {"a device change while Open waits: checked, left alone", "C34", {kDevices},
       0, "create C34 P3 C65543 release"},
      {"a device change, the reader broken: reconnected", "C34", {kDevices},
       111, "create C34 P3 C65543 C35 release create C34 P3 release"},
      // The card's own re-arm is the second P3.
      {"the end inside a card", "G21", {kStop}, 0, "create C34 P3 P3 C35 release"},
      {"a reconnect inside a card", "G21", {kReconnect},
       0, "create C34 P3 P3 C35 release create C34 P3 release"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Journal journal;
    FakeHost host(journal);
    shell::PlainCardForm form;
    testing_fakes::RecordingKeys keys;
    shell::ReaderOwner owner(host, form, keys, [] {}, nullptr);
    journal.check_health_result = c.check_health_result;
    journal.inside = c.inside;
    journal.during = [&] {
      EXPECT_TRUE(owner.busy());
      for (Ask ask : c.asks) {
        if (ask == kStop) owner.Stop();
        if (ask == kReconnect) owner.Reconnect();
        if (ask == kDevices) owner.DevicesChanged();
      }
    };
    owner.Start();
    if (journal.inside == "G21") owner.OnDataEvent(0);
    EXPECT_FALSE(owner.busy());
    EXPECT_EQ(host.posted, 1);  // done from the message loop, once
    owner.RunWaitingWork();
    owner.Finish();
    EXPECT_EQ(Digest(journal.lines), c.digest);
  }
}

// A reader that cannot be asked whether it works is started again on a device change only once
// the quiet time since its last start is over: a one-off timer does it then.
TEST(ReaderOwner, AReaderThatCannotTellIsStartedAgainAfterTheQuietTime) {
  Journal journal;
  FakeHost host(journal);
  shell::PlainCardForm form;
  testing_fakes::RecordingKeys keys;
  shell::ReaderOwner owner(host, form, keys, [] {}, nullptr);
  journal.check_health_result = 106;  // no health check
  journal.has_state = false;
  owner.Start();
  host.now += 1000;
  owner.DevicesChanged();
  EXPECT_EQ(host.timer_ms, shell::ReaderOwner::kQuietMs - 1000);
  EXPECT_EQ(Digest(journal.lines), "create C34 P3 C65543");
  owner.RetryTimerElapsed();
  owner.RetryTimerElapsed();  // a stale timer does nothing more
  EXPECT_EQ(Digest(journal.lines), "create C34 P3 C65543 C35 release create C34 P3");
}

}  // namespace
