#include "reader/reader_health.h"

namespace reader {
namespace {

struct CodeWords {
  std::int16_t code;
  const wchar_t* words;
};

// What each refusal means to someone at the till.
constexpr CodeWords kCodeWords[] = {
    {101, L"card reader not open"},
    {102, L"card reader in use by another program"},
    {103, L"card reader not claimed"},
    {104, L"card reader driver not found"},
    {105, L"card reader disabled"},
    {106, L"card reader refused a setting"},
    {107, L"card reader not connected"},
    {108, L"card reader offline"},
    {109, L"card reader not found"},
    {111, L"card reader failed"},
    {112, L"card reader did not answer"},
    {113, L"card reader busy"},
    {114, L"card reader error"},
};

const wchar_t* WordsFor(std::int16_t code) {
  for (const CodeWords& entry : kCodeWords) {
    if (entry.code == code) return entry.words;
  }
  return L"card reader not ready";
}

}  // namespace

ReaderHealth AssessReader(bool has_control, bool events_connected, const ReaderSession& session) {
  ReaderHealth health;
  if (!has_control) {
    health.problem = L"card reader software not installed";
    return health;
  }
  if (const std::optional<StartProblem>& problem = session.problem()) {
    if (problem->failed_outright) {
      health.problem = L"card reader not responding";
      return health;
    }
    health.problem = WordsFor(problem->code);
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
