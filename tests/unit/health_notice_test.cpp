#include "shell/health_notice.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using reader::ReaderState;

// A till's day: each change of the reader is one entry for IT, naming the control; the cashier
// gets a balloon only when the reader stops being ready or comes back, and at the start only for
// a reader that is not ready. The first row of each run is a start.
TEST(HealthNotices, OneEntryPerChangeAndABalloonWhenReadinessFlips) {
  struct Step {
    bool start;
    ReaderState state;
    const wchar_t* problem;
    int event_id;  // 0: nothing told
    bool balloon;
  };
  const std::vector<Step> steps = {
      {true, ReaderState::Ready, L"", 1000, false},
      {false, ReaderState::Ready, L"", 0, false},
      {false, ReaderState::PowerLost, L"card reader unplugged or switched off", 1005, true},
      {false, ReaderState::Refused, L"card reader not connected", 1002, false},
      {false, ReaderState::Refused, L"card reader not connected", 0, false},
      {false, ReaderState::Ready, L"", 1000, true},
      {true, ReaderState::SoftwareMissing, L"card reader software not installed", 1001, true},
  };
  shell::HealthNotices notices;
  for (std::size_t i = 0; i < steps.size(); ++i) {
    if (steps[i].start) notices = shell::HealthNotices();
    reader::ReaderHealth health;
    health.ready = steps[i].state == ReaderState::Ready;
    health.state = steps[i].state;
    health.problem = steps[i].problem;
    health.control = L"OPOS.MSR";
    const std::optional<shell::HealthNotice> notice = notices.Next(health);
    ASSERT_EQ(notice.has_value(), steps[i].event_id != 0) << i;
    if (!notice) continue;
    EXPECT_EQ(notice->event_id, static_cast<std::uint32_t>(steps[i].event_id)) << i;
    EXPECT_EQ(notice->balloon, steps[i].balloon) << i;
    EXPECT_EQ(notice->warning, !health.ready) << i;
    EXPECT_EQ(notice->words, health.ready ? L"card reader ready" : steps[i].problem) << i;
    EXPECT_EQ(notice->control, L"OPOS.MSR") << i;
  }
}

}  // namespace
