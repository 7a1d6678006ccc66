#include "shell/health_notice.h"

#include <gtest/gtest.h>

// A till's day, from its start: each change of the reader is one entry for IT, naming the
// control; the cashier gets a balloon only when the reader stops being ready or comes back, and
// at a start only for a reader that is not ready.
TEST(HealthNotices, OneEntryPerChangeAndABalloonWhenReadinessFlips) {
  using S = reader::ReaderState;
  const struct {
    S state;
    const wchar_t* words;
    int event_id;  // 0: nothing told
    bool balloon;
  } steps[] = {
      {S::Ready, L"card reader ready", 1000, false},
      {S::Ready, L"card reader ready", 0, false},
      {S::PowerLost, L"card reader unplugged or switched off", 1005, true},
      {S::Refused, L"card reader not connected", 1002, false},
      {S::Refused, L"card reader not connected", 0, false},
      {S::Ready, L"card reader ready", 1000, true},
      {S::SoftwareMissing, L"card reader software not installed", 1001, true},  // a new start
  };
  shell::HealthNotices notices;
  for (const auto& step : steps) {
    if (step.state == S::SoftwareMissing) notices = shell::HealthNotices();
    reader::ReaderHealth health;
    health.ready = step.state == S::Ready;
    health.state = step.state;
    health.problem = health.ready ? L"" : step.words;
    health.control = L"OPOS.MSR";
    const auto notice = notices.Next(health);
    ASSERT_EQ(notice.has_value(), step.event_id != 0) << step.event_id;
    if (!notice) continue;
    EXPECT_EQ(notice->event_id, static_cast<std::uint32_t>(step.event_id));
    EXPECT_EQ(notice->balloon, step.balloon) << step.event_id;
    EXPECT_EQ(notice->warning, !health.ready);
    EXPECT_EQ(notice->words + notice->control, step.words + std::wstring(L"OPOS.MSR"));
  }
}
