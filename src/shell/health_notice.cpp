#include "shell/health_notice.h"

namespace shell {
namespace {

std::uint32_t EventId(reader::ReaderState state) {
  switch (state) {
    case reader::ReaderState::Ready: return kEventReaderReady;
    case reader::ReaderState::SoftwareMissing: return kEventSoftwareMissing;
    case reader::ReaderState::Refused: return kEventReaderRefused;
    case reader::ReaderState::NotResponding: return kEventNotResponding;
    case reader::ReaderState::CannotReport: return kEventCannotReport;
    case reader::ReaderState::PowerLost: return kEventPowerLost;
    case reader::ReaderState::NotWorking: return kEventNotWorking;
  }
  return kEventNotResponding;
}

}  // namespace

std::optional<HealthNotice> HealthNotices::Next(const reader::ReaderHealth& health) {
  const std::wstring words = reader::HealthWords(health);
  if (last_ && last_->state == health.state && reader::HealthWords(*last_) == words) {
    return std::nullopt;
  }
  const bool balloon = last_ ? last_->ready != health.ready : !health.ready;
  last_ = health;
  return HealthNotice{EventId(health.state), !health.ready, balloon, words, health.control};
}

}  // namespace shell
