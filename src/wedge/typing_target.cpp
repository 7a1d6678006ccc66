#include "wedge/typing_target.h"

namespace wedge {

TypingVerdict JudgeTarget(const ForegroundTarget& target, std::optional<std::uint32_t> own) {
  if (target.ours) return TypingVerdict::OwnWindow;
  if (target.window && !target.integrity) return TypingVerdict::HigherIntegrity;
  if (own && target.integrity && *target.integrity > *own) return TypingVerdict::HigherIntegrity;
  return TypingVerdict::Type;
}

std::wstring IdNotice(IdVerdict verdict, unsigned min_age) {
  const std::wstring age = std::to_wstring(min_age);
  switch (verdict) {
    case IdVerdict::OldEnough: return L"ID: " + age + L" or over";
    case IdVerdict::UnderAge: return L"ID: UNDER " + age;
    case IdVerdict::Expired: break;
  }
  return L"ID: EXPIRED";
}

}  // namespace wedge
