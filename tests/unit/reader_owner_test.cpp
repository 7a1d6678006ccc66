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

// The owner's world: controls that journal what is done to them ("create", "release", "C34" for
// a call of Open...), a message loop the test turns by hand, a clock and a timer. `during` runs
// once while the program is inside the call `inside`.
struct World : shell::ReaderHost {
  struct Control : reader::ReaderControl {
    World& world;
    std::int32_t code = 0;
    explicit Control(World& w) : world(w) { world.lines.push_back("create"); }
    bool Call(DispId id, const std::vector<reader::DispValue>&) override { return Note('C', id); }
    bool Put(DispId id, const reader::DispValue&) override { return Note('P', id); }
    bool Get(DispId id, reader::DispValue& result) override {
      result = id == DispId::ResultCode ? reader::DispValue{code} : reader::DispValue{};
      return Note('G', id) && (id != DispId::State || world.has_state);
    }
    bool HasControl() const override { return true; }
    bool EventsConnected() const override { return true; }
    std::wstring Tried() const override { return L"MSRLib.MSR"; }
    std::wstring ProgId() const override { return L"MSRLib.MSR"; }
    void Release() override { world.lines.push_back("release"); }
    bool Note(char kind, DispId id) {
      const std::string line = kind + std::to_string(static_cast<int>(id));
      world.lines.push_back(line);
      code = id == DispId::CheckHealth ? world.check_health_result : 0;
      if (line == world.inside && world.during) std::exchange(world.during, nullptr)();
      return true;
    }
  };
  std::unique_ptr<reader::ReaderControl> CreateControl(reader::ReaderEvents&) override {
    return std::make_unique<Control>(*this);
  }
  void WorkWaiting() override { ++posted; }
  void SetRetryTimer(unsigned ms) override { timer_ms = ms; }
  std::uint64_t NowMs() override { return now; }
  void HealthChanged(const reader::ReaderHealth&) override {}

  // What matters of the journal: the control's life, its Open ("C34"), data events on ("P3": the
  // start's last step, and a card's re-arm), its health check ("C65543") and Close ("C35").
  std::string Digest() const {
    std::string out;
    for (const std::string& l : lines) {
      if (l == "create" || l == "release" || l == "C34" || l == "P3" || l == "C35" || l == "C65543") {
        out += (out.empty() ? "" : " ") + l;
      }
    }
    return out;
  }

  std::vector<std::string> lines;
  std::string inside;
  std::function<void()> during;
  int check_health_result = 0;
  bool has_state = true;
  int posted = 0;
  unsigned timer_ms = 0;
  std::uint64_t now = 100000;
  shell::PlainCardForm form;
  testing_fakes::RecordingKeys keys;
};

// Requests made while the program is inside the reader (its Open, which runs the message loop,
// or a card's data event) wait until it has returned, merged into the strongest, and are done
// from the message loop; a reader that works is left alone, one that cannot tell is started
// again once the quiet time since its start is over. The end of the loop lets a control go.
TEST(ReaderOwner, WhatIsAskedInsideTheReaderWaitsUntilItReturns) {
  enum Ask { kStop, kReconnect, kDevices };
  struct Case {
    const char* name;
    const char* inside;  // the call inside which the requests come
    std::vector<Ask> asks;
    int check_health_result;  // 106: the control has no such check (nor a State)
    const char* digest;
  };
  const Case cases[] = {
      {"the end while Open waits", "C34", {kStop}, 0, "create C34 P3 C35 release"},
      {"two reconnects while Open waits: one", "C34", {kReconnect, kReconnect}, 0,
       "create C34 P3 C35 release create C34 P3 release"},
      {"a reconnect, then the end: the end", "C34", {kReconnect, kStop}, 0, "create C34 P3 C35 release"},
      {"a device change: checked, left alone", "C34", {kDevices}, 0, "create C34 P3 C65543 release"},
      {"a device change, the reader broken", "C34", {kDevices}, 111,
       "create C34 P3 C65543 C35 release create C34 P3 release"},
      {"a device change, the reader cannot tell", "C34", {kDevices}, 106,
       "create C34 P3 C65543 C35 release create C34 P3 release"},
      {"the end inside a card", "G21", {kStop}, 0, "create C34 P3 P3 C35 release"},
      {"a reconnect inside a card", "G21", {kReconnect}, 0,
       "create C34 P3 P3 C35 release create C34 P3 release"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    World world;
    shell::ReaderOwner owner(world, world.form, world.keys, [] {}, nullptr);
    world.check_health_result = c.check_health_result;
    world.has_state = c.check_health_result != 106;
    world.inside = c.inside;
    world.during = [&] {
      EXPECT_TRUE(owner.busy());
      for (Ask ask : c.asks) {
        if (ask == kStop) owner.Stop();
        if (ask == kReconnect) owner.Reconnect();
        if (ask == kDevices) owner.DevicesChanged();
      }
    };
    owner.Start();
    if (world.inside == "G21") owner.OnDataEvent(0);
    EXPECT_EQ(world.posted, 1);
    world.now += 1000;
    owner.RunWaitingWork();
    if (c.check_health_result == 106) {
      EXPECT_EQ(world.timer_ms, shell::ReaderOwner::kQuietMs - 1000);
      owner.RetryTimerElapsed();
      owner.RetryTimerElapsed();  // a stale timer does nothing more
    }
    owner.Finish();
    EXPECT_EQ(world.Digest(), c.digest);
  }
}

}  // namespace
