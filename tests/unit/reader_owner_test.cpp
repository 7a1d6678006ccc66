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
// while the program is inside the `nth` journal line `inside`. CheckHealth answers `health_code`
// (106: no such check, and then no State either). An OPOS-numbered control reports its power.
struct World : shell::ReaderHost {
  struct Control : testing_fakes::FakeReader, reader::ReaderControl {
    World& world;
    explicit Control(World& w) : world(w) {
      world.Note("create");
      on_call = [this](const Entry& e) {
        props[DispId::ResultCode] = e.id == DispId::CheckHealth ? world.health_code : 0;
        world.Note(e.kind + std::to_string(static_cast<int>(e.id)));
      };
      on_get = [this](DispId id) { world.Note('G' + std::to_string(static_cast<int>(id))); };
      if (world.health_code == 106) failing.insert(DispId::State);
      props[DispId::CapPowerReporting] = 1;
    }
    bool Call(DispId id, const std::vector<reader::DispValue>& a) override { return FakeReader::Call(id, a); }
    bool Put(DispId id, const reader::DispValue& v) override { return FakeReader::Put(id, v); }
    bool Get(DispId id, reader::DispValue& r) override { return FakeReader::Get(id, r); }
    bool FixedNumbers() const override { return !world.opos; }
    bool HasControl() const override { return true; }
    bool EventsConnected() const override { return true; }
    std::wstring Tried() const override { return L"MSRLib.MSR"; }
    std::wstring ProgId() const override { return L"MSRLib.MSR"; }
    void Release() override { world.Note("release"); }
  };
  void Note(const std::string& line) {
    lines.push_back(line);
    if (line == inside && --nth == 0 && during) std::exchange(during, nullptr)();
  }
  std::unique_ptr<reader::ReaderControl> CreateControl(reader::ReaderEvents&) override {
    return std::make_unique<Control>(*this);
  }
  void WorkWaiting() override { ++posted; }
  void SetQuietTimer(unsigned ms) override { due = now + ms; }
  std::uint64_t NowMs() override { return now; }
  void HealthChanged(const reader::ReaderHealth& h) override { health = h; }

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
  int nth = 1;
  std::function<void()> during;
  int health_code = 0, posted = 0;
  bool opos = false;
  std::uint64_t now = 100000, due = UINT64_MAX;  // when the timer runs out
  reader::ReaderHealth health;
};

// The owner, a card form and keys for its handler.
struct Owned {
  World world;
  shell::PlainCardForm form;
  testing_fakes::RecordingKeys keys;
  wedge::Ending ending;
  shell::ReaderOwner owner{world, form, keys, [] {}, ending, nullptr};
};

// Requests made while the program is inside the reader (its Open, which runs the message loop,
// a card's data event, the control's teardown) wait until it has returned, merged into the
// strongest, and are done from the message loop; a start told to end while its Open waits goes no
// further, and a power report made during the start stands. The end of the loop lets a control go.
TEST(ReaderOwner, WhatIsAskedInsideTheReaderWaitsUntilItReturns) {
  enum Ask { kStop, kReconnect, kPowerOff };
  const std::string again = " C35 release create C34 P3 release";
  const struct {
    const char* inside;
    int nth;
    std::vector<Ask> asks;
    std::string digest;
  } cases[] = {
      {"C34", 1, {kReconnect, kReconnect}, "create C34 P3" + again},
      {"C34", 1, {kReconnect, kStop}, "create C34 C35 release"},
      {"G21", 1, {kStop}, "create C34 P3 P3 C35 release"},
      {"G21", 1, {kReconnect}, "create C34 P3 P3" + again},
      {"release", 1, {kStop}, "create C34 P3 C35 release"},
      {"C34", 2, {kStop}, "create C34 P3 C35 release create C34 C35 release"},
      {"P4", 1, {kPowerOff}, "create C34 P3 release"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.digest);
    Owned o;
    World& world = o.world;
    world.opos = c.asks[0] == kPowerOff;
    world.inside = c.inside;
    world.nth = c.nth;
    world.during = [&] {
      EXPECT_TRUE(o.owner.busy());
      for (Ask ask : c.asks) {
        if (ask == kStop) o.owner.Stop();
        if (ask == kReconnect) o.owner.Reconnect();
        if (ask == kPowerOff) o.owner.OnStatusUpdateEvent(reader::kPowerOff);
      }
    };
    o.owner.Start();
    if (world.inside == "G21") o.owner.OnDataEvent(0);
    if (world.inside == "release" || c.nth == 2) o.owner.Reconnect();
    if (c.asks[0] != kPowerOff) {
      EXPECT_EQ(world.posted, 1);
    }
    o.owner.RunWaitingWork();
    if (c.asks[0] == kPowerOff) {
      EXPECT_EQ(o.owner.health().state, reader::ReaderState::PowerLost);
    }
    o.owner.Finish();
    EXPECT_EQ(world.Digest(), c.digest);
  }
}

// Device announcements, each letter one (Arrived, Removed, Nodes changed, resumed from sleeP)
// 100 ms after the step before, a "|" the quiet time after them, a ":" (or ";") the rest of 2 s
// after the last; the timer runs out in the "|" and ";" steps only. One burst gives at most one
// look and one start, 10 s after it began at the latest; a reader that cannot tell is started
// again only after a removal and then an arrival, or a wake-up; one found broken again right
// after its start is reported not working, and the announcements its own start made do not start
// it again.
TEST(ReaderOwner, EachBurstOfAnnouncementsGivesAtMostOneLookAndOneStart) {
  const std::string start = "create C34 P3", again = " C35 release create C34 P3";
  const struct {
    int health_code;
    const char* news;
    std::string digest;
    bool ready;
  } cases[] = {
      {106, "ANNNN|P|", start + " C65543 C65543" + again, true},
      {106, "RA|N|", start + " C65543" + again + " C65543", true},
      {111, "N|N|", start + " C65543" + again + " C65543", false},
      {111, "R|A|", start + " C65543" + again, true},
      {106, "RA:N:N:N:N;NN:N:N:N:N;", start + " C65543" + again + " C65543", true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.news);
    Owned o;
    o.world.health_code = c.health_code;
    o.owner.Start();
    for (const char* n = c.news; *n; ++n) {
      const bool gap = *n == ':' || *n == ';';
      const std::uint64_t until =
          o.world.now + (*n == '|' ? shell::ReaderOwner::kQuietMs : gap ? 1900 : 100);
      const bool look = o.world.due <= until;
      EXPECT_EQ(look, *n == '|' || *n == ';') << "step " << n - c.news;
      if (look) {
        o.world.now = std::exchange(o.world.due, UINT64_MAX);
        o.owner.QuietTimeElapsed();
        o.owner.QuietTimeElapsed();  // a stale timer does nothing more
      }
      o.world.now = until;
      if (*n == '|' || gap) continue;
      o.owner.DeviceAnnounced(*n == 'A'   ? shell::DeviceNews::Arrived
                              : *n == 'R' ? shell::DeviceNews::Removed
                              : *n == 'P' ? shell::DeviceNews::Resumed
                                          : shell::DeviceNews::NodesChanged);
    }
    EXPECT_EQ(o.owner.health().ready, c.ready);
    if (!c.ready) {
      EXPECT_EQ(o.owner.health().problem, L"card reader not working");
    }
    o.owner.Finish();
    EXPECT_EQ(o.world.Digest(), c.digest + " release");
  }
}

}  // namespace
