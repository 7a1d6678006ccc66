#pragma once
// Which reader control the program creates, and how it finds the members of the one it has.

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "reader/dispids.h"

namespace reader {

// The control family whose dispatch identifiers the program knows by number.
inline constexpr wchar_t kMsrLibProgId[] = L"MSRLib.MSR";
// The OPOS Common Control Objects' magnetic stripe reader, in front of most makers' readers.
inline constexpr wchar_t kOposProgId[] = L"OPOS.MSR";

// The controls to try, first to last: the one a policy names alone, otherwise MSRLib.MSR and,
// where that is not there, OPOS.MSR.
std::vector<std::wstring> ReaderControlCandidates(const std::optional<std::wstring>& policy);

// True for a programmatic identifier of the MSRLib.MSR family ("MSRLib.MSR", "msrlib.msr.1").
bool HasFixedNumbers(const std::wstring& prog_id);

// True for a text that can be a programmatic identifier: 1 to 39 letters, digits, periods and
// underscores, not beginning with a digit or a period.
bool IsProgId(const std::wstring& text);

// The dispatch identifiers of one control's members. A control of the MSRLib.MSR family uses the
// numbers the program knows; for the members it has no number for, and for every member of any
// other control, the control is asked once by the member's OPOS name.
class ControlNumbering {
 public:
  // Asks the control for the identifier of a name; nothing when it does not know it.
  using Lookup = std::function<std::optional<std::int32_t>(const wchar_t* name)>;

  ControlNumbering(bool fixed_numbers, Lookup lookup);

  // The member's identifier on this control, or nothing when it has none (a member without an
  // OPOS name on a control that is asked by name, or a name the control does not know).
  std::optional<std::int32_t> Find(DispId id);

  bool fixed_numbers() const { return fixed_; }

 private:
  bool fixed_;
  Lookup lookup_;
  std::map<DispId, std::optional<std::int32_t>> found_;
};

}  // namespace reader
