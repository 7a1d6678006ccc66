#include "reader/reader_health.h"

namespace reader {

ReaderHealth AssessReader(bool has_control, bool events_connected, const ReaderSession& session,
                          const std::wstring& control) {
  ReaderHealth health;
  health.control = control;
  if (!has_control) {
    health.state = ReaderState::SoftwareMissing;
    health.problem = L"card reader software not installed";
    health.name = control;
    return health;
  }
  if (const std::optional<StartProblem>& problem = session.problem()) {
    if (problem->failed_outright) {
      health.problem = L"card reader not responding";
      return health;
    }
    health.state = ReaderState::Refused;
    health.problem = ResultCodeWords(problem->code);
    // Named as the result naming names it, but from the codes the refused step left: the reader's
    // codes now are those of the last step.
    if (const wchar_t* name = ResultCodeName(problem->code)) {
      health.name = name;
    } else {
      const std::int16_t code = problem->code == kOposEExtended ? problem->ext : problem->code;
      health.name = std::to_wstring(code) + L" error";
    }
    return health;
  }
  if (!events_connected) {
    health.state = ReaderState::CannotReport;
    health.problem = L"card reader cannot report cards";
    return health;
  }
  health.ready = true;
  health.state = ReaderState::Ready;
  return health;
}

std::wstring HealthWords(const ReaderHealth& health) {
  if (health.ready) return L"card reader ready";
  std::wstring words = health.problem;
  if (!health.name.empty()) words += L" (" + health.name + L")";
  return words;
}

std::wstring HealthTip(const wchar_t* base, const ReaderHealth& health) {
  std::wstring tip = base;
  if (health.ready) return tip;
  return tip + L" - " + HealthWords(health);
}

}  // namespace reader
