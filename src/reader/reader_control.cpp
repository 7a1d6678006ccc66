#include "reader/reader_control.h"

#include <cwctype>
#include <utility>

namespace reader {
namespace {

bool EqualsIgnoringCase(const std::wstring& a, std::size_t length, const wchar_t* b) {
  std::size_t i = 0;
  for (; i < length && b[i]; ++i) {
    if (std::towlower(a[i]) != std::towlower(b[i])) return false;
  }
  return i == length && b[i] == L'\0';
}

}  // namespace

std::vector<std::wstring> ReaderControlCandidates(const std::optional<std::wstring>& policy) {
  if (policy) return {*policy};
  return {kMsrLibProgId, kOposProgId};
}

bool HasFixedNumbers(const std::wstring& prog_id) {
  const std::size_t base = std::wstring(kMsrLibProgId).size();
  if (prog_id.size() < base) return false;
  // A version-dependent identifier names the same class: "MSRLib.MSR.1".
  const std::size_t length = prog_id.size() > base && prog_id[base] == L'.' ? base : prog_id.size();
  return EqualsIgnoringCase(prog_id, length, kMsrLibProgId);
}

bool IsProgId(const std::wstring& text) {
  if (text.empty() || text.size() > 39) return false;
  if ((text[0] >= L'0' && text[0] <= L'9') || text[0] == L'.') return false;
  for (wchar_t c : text) {
    const bool letter = (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z');
    const bool digit = c >= L'0' && c <= L'9';
    if (!letter && !digit && c != L'.' && c != L'_') return false;
  }
  return true;
}

ControlNumbering::ControlNumbering(bool fixed_numbers, Lookup lookup)
    : fixed_(fixed_numbers), lookup_(std::move(lookup)) {}

std::optional<std::int32_t> ControlNumbering::Find(DispId id) {
  const auto value = static_cast<std::int32_t>(id);
  if (fixed_ && value < kByNameOnly) return value;
  const auto known = found_.find(id);
  if (known != found_.end()) return known->second;
  const DispInfo* info = FindDisp(id);
  std::optional<std::int32_t> number;
  if (info && info->opos_name && lookup_) number = lookup_(info->opos_name);
  found_.emplace(id, number);
  return number;
}

}  // namespace reader
