#include "reader/reader_health.h"

namespace reader {

ReaderHealth AssessReader(bool has_control, bool events_connected, const ReaderSession& session,
                          const std::wstring& controls_tried) {
  ReaderHealth health;
  if (!has_control) {
    health.problem = L"card reader software not installed";
    health.name = controls_tried;
    return health;
  }
  if (const std::optional<StartProblem>& problem = session.problem()) {
    if (problem->failed_outright) {
      health.problem = L"card reader not responding";
      return health;
    }
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
    health.problem = L"card reader cannot report cards";
    return health;
  }
  health.ready = true;
  return health;
}

std::wstring HealthTip(const wchar_t* base, const ReaderHealth& health) {
  std::wstring tip = base;
  if (health.ready) return tip;
  tip += L" - " + health.problem;
  if (!health.name.empty()) tip += L" (" + health.name + L")";
  return tip;
}

}  // namespace reader
