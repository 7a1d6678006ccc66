#include "shell/health_notice.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

reader::ReaderHealth Health(reader::ReaderState state, const wchar_t* problem = L"",
                            const wchar_t* name = L"") {
  reader::ReaderHealth health;
  health.ready = state == reader::ReaderState::Ready;
  health.state = state;
  health.problem = problem;
  health.name = name;
  health.control = L"OPOS.MSR";
  return health;
}

// A till's day: each change of the reader is one entry for IT; the cashier gets a balloon only
// when the reader stops being ready or comes back, and at the start only for a reader not ready.
TEST(HealthNotices, OneEntryPerChangeAndABalloonWhenReadinessFlips) {
  using reader::ReaderState;
  struct Step {
    reader::ReaderHealth health;
    int event_id;  // 0: nothing told
    bool balloon;
  };
  const std::vector<Step> steps = {
      {Health(ReaderState::Ready), 1000, false},
      {Health(ReaderState::Ready), 0, false},
      {Health(ReaderState::PowerLost, L"card reader unplugged or switched off"), 1005, true},
      {Health(ReaderState::Refused, L"card reader not connected", L"OposENohardware"), 1002, false},
      {Health(ReaderState::Refused, L"card reader not connected", L"OposENohardware"), 0, false},
      {Health(ReaderState::Ready), 1000, true},
  };
  shell::HealthNotices notices;
  for (std::size_t i = 0; i < steps.size(); ++i) {
    const std::optional<shell::HealthNotice> notice = notices.Next(steps[i].health);
    ASSERT_EQ(notice.has_value(), steps[i].event_id != 0) << i;
    if (!notice) continue;
    EXPECT_EQ(notice->event_id, static_cast<std::uint32_t>(steps[i].event_id)) << i;
    EXPECT_EQ(notice->balloon, steps[i].balloon) << i;
    EXPECT_EQ(notice->warning, !steps[i].health.ready) << i;
    EXPECT_EQ(notice->control, L"OPOS.MSR");
  }
  shell::HealthNotices at_start;
  const auto first = at_start.Next(Health(ReaderState::SoftwareMissing, L"card reader software not installed",
                                          L"MSRLib.MSR, OPOS.MSR"));
  ASSERT_TRUE(first.has_value());
  EXPECT_EQ(first->event_id, 1001u);
  EXPECT_TRUE(first->balloon);
  EXPECT_EQ(first->words, L"card reader software not installed (MSRLib.MSR, OPOS.MSR)");
}

}  // namespace
