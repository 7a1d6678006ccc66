#include "wedge/typing_target.h"

namespace wedge {

TypingVerdict JudgeTarget(const ForegroundTarget& target, std::optional<std::uint32_t> own) {
  if (target.ours) return TypingVerdict::OwnWindow;
  if (target.window && !target.integrity) return TypingVerdict::HigherIntegrity;
  if (own && target.integrity && *target.integrity > *own) return TypingVerdict::HigherIntegrity;
  return TypingVerdict::Type;
}

}  // namespace wedge
