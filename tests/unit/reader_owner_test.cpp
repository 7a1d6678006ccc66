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
// a call of Open...), a message loop, clock and timer the test turns by hand. `during` runs once
// while the program is inside the call `inside`. CheckHealth answers `health_code` (106: no such
// check, and then no State either).
struct World : shell::ReaderHost {
  struct Control : testing_fakes::FakeReader, reader::ReaderControl {
    World& world;
    explicit Control(World& w) : world(w) {
      world.lines.push_back("create");
      on_call = [this](const Entry& e) {
        props[DispId::ResultCode] = e.id == DispId::CheckHealth ? world.health_code : 0;
        Note(e.kind, e.id);
      };
      on_get = [this](DispId id) { Note('G', id); };
      if (world.health_code == 106) failing.insert(DispId::State);
    }
    void Note(char kind, DispId id) {
      const std::string line = kind + std::to_string(static_cast<int>(id));
      world.lines.push_back(line);
      if (line == world.inside && world.during) std::exchange(world.during, nullptr)();
    }
    bool Call(DispId id, const std::vector<reader::DispValue>& a) override { return FakeReader::Call(id, a); }
    bool Put(DispId id, const reader::DispValue& v) override { return FakeReader::Put(id, v); }
    bool Get(DispId id, reader::DispValue& r) override { return FakeReader::Get(id, r); }
    bool HasControl() const override { return true; }
    bool EventsConnected() const override { return true; }
    std::wstring Tried() const override { return L"MSRLib.MSR"; }
    std::wstring ProgId() const override { return L"MSRLib.MSR"; }
    void Release() override { world.lines.push_back("release"); }
  };
  std::unique_ptr<reader::ReaderControl> CreateControl(reader::ReaderEvents&) override {
    return std::make_unique<Control>(*this);
  }
  void WorkWaiting() override { ++posted; }
  void SetRetryTimer(unsigned ms) override { timer_ms = ms; }
  std::uint64_t NowMs() override { return now; }
  void HealthChanged(const reader::ReaderHealth&) override {}

  // The control's life, its Open ("C34"), data events on ("P3": the start's last step, and a
  // card's re-arm), its health check ("C65543") and Close ("C35").
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
  int health_code = 0, posted = 0;
  unsigned timer_ms = 0;
  std::uint64_t now = 100000;
};

// Requests made while the program is inside the reader (its Open, which runs the message loop,
// or a card's data event) wait until it has returned, merged into the strongest, and are done
// from the message loop; a broken reader is started again, one that cannot tell once the quiet
// time since its start is over. The end of the loop lets a control go. (A lone end, and a
// working reader left alone, are shown end to end.)
TEST(ReaderOwner, WhatIsAskedInsideTheReaderWaitsUntilItReturns) {
  enum Ask { kStop, kReconnect, kDevices };
  const std::string again = " C35 release create C34 P3 release";
  const struct {
    const char* inside;
    std::vector<Ask> asks;
    int health_code;
    std::string digest;
  } cases[] = {
      {"C34", {kReconnect, kReconnect}, 0, "create C34 P3" + again},
      {"C34", {kReconnect, kStop}, 0, "create C34 P3 C35 release"},
      {"C34", {kDevices}, 111, "create C34 P3 C65543" + again},
      {"C34", {kDevices}, 106, "create C34 P3 C65543" + again},
      {"G21", {kStop}, 0, "create C34 P3 P3 C35 release"},
      {"G21", {kReconnect}, 0, "create C34 P3 P3" + again},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.digest);
    World world;
    shell::PlainCardForm form;
    testing_fakes::RecordingKeys keys;
    shell::ReaderOwner owner(world, form, keys, [] {}, nullptr);
    world.health_code = c.health_code;
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
    if (c.health_code == 106) {
      EXPECT_EQ(world.timer_ms, shell::ReaderOwner::kQuietMs - 1000);
      owner.RetryTimerElapsed();
      owner.RetryTimerElapsed();  // a stale timer does nothing more
    }
    owner.Finish();
    EXPECT_EQ(world.Digest(), c.digest);
  }
}

}  // namespace
