#include "wedge/typing_target.h"

#include <gtest/gtest.h>

namespace {

using wedge::ForegroundTarget;
using wedge::TypingVerdict;

constexpr std::uint32_t kLow = 0x1000, kMedium = 0x2000, kHigh = 0x3000, kSystem = 0x4000;

struct Case {
  const char* name;
  ForegroundTarget target;
  std::optional<std::uint32_t> own;
  TypingVerdict verdict;
};

// Windows drops injected keys aimed at a more privileged program without a word, and a card
// typed into our own window would tick its boxes: neither is typed. A program whose level cannot
// be read is taken for a more privileged one.
TEST(TypingTarget, WhereACardIsTypedAndWhereNot) {
  const Case cases[] = {
      {"another program, same level", {false, kMedium}, kMedium, TypingVerdict::Type},
      {"another program, lower level", {false, kLow}, kMedium, TypingVerdict::Type},
      {"a program run as administrator", {false, kHigh}, kMedium, TypingVerdict::HigherIntegrity},
      {"a system process", {false, kSystem}, kHigh, TypingVerdict::HigherIntegrity},
      {"we run as administrator too", {false, kHigh}, kHigh, TypingVerdict::Type},
      {"its level unreadable", {false, std::nullopt}, kMedium, TypingVerdict::HigherIntegrity},
      {"its level unreadable, ours too", {false, std::nullopt}, std::nullopt,
       TypingVerdict::HigherIntegrity},
      {"no window in front", {false, std::nullopt, false}, kMedium, TypingVerdict::Type},
      {"our own level unknown", {false, kHigh}, std::nullopt, TypingVerdict::Type},
      {"our own settings window or menu", {true, kMedium}, kMedium, TypingVerdict::OwnWindow},
      {"our own window, levels unknown", {true, std::nullopt}, std::nullopt, TypingVerdict::OwnWindow},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(wedge::JudgeTarget(c.target, c.own), c.verdict) << c.name;
  }
}

}  // namespace
