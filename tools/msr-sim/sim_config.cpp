#include "sim_config.h"

#include <cwchar>
#include <utility>
#include <vector>

namespace msr_sim {
namespace {

bool ParseInts(const std::wstring& text, std::vector<std::int32_t>& out) {
  std::size_t pos = 0;
  while (pos <= text.size()) {
    const std::size_t comma = text.find(L',', pos);
    const std::wstring part = text.substr(pos, comma == std::wstring::npos ? std::wstring::npos : comma - pos);
    if (part.empty()) return false;
    wchar_t* end = nullptr;
    const long value = std::wcstol(part.c_str(), &end, 10);
    if (*end != L'\0') return false;
    out.push_back(static_cast<std::int32_t>(value));
    if (comma == std::wstring::npos) break;
    pos = comma + 1;
  }
  return !out.empty();
}

}  // namespace

bool SimConfig::Apply(const std::wstring& raw) {
  std::wstring line = raw;
  while (!line.empty() && (line.back() == L'\r' || line.back() == L'\n' || line.back() == L' ')) {
    line.pop_back();
  }
  if (line.empty() || line[0] == L'#') return true;
  if (line == L"nodevice") return no_device = true;
  if (line == L"noclassinfo") return no_class_info = true;
  if (line == L"nodefaultsource") return no_default_source = true;
  if (line == L"nocreate") return no_create = true;
  if (line == L"failinvoke") return fail_invoke = true;
  if (line == L"selffree") return self_free = true;
  if (line == L"power") return power_reporting = true;
  if (line == L"health") return msrlib_health = true;
  if (line == L"vtablepoint") return vtable_point = true;
  if (line == L"encrypt") line = L"encrypt=2";  // MSR_DE_3DEA_DUKPT

  const std::size_t eq = line.find(L'=');
  if (eq == std::wstring::npos) return false;
  const std::wstring key = line.substr(0, eq), value = line.substr(eq + 1);
  if (key == L"journal") {
    journal = value;
    return true;
  }
  if (key == L"helper") {
    helper_dll = value;
    return !value.empty();
  }
  if (key == L"cardtype") {
    card_type_unknown = value == L"none";
    card_type = value;
    return true;
  }
  if (key == L"encrypt") {
    wchar_t* end = nullptr;
    const auto algorithm = static_cast<std::int32_t>(std::wcstoul(value.c_str(), &end, 0));
    if (value.empty() || *end != L'\0' || algorithm < 1) return false;
    encryption = algorithm;
    return true;
  }
  if (key == L"binaryconversion") {
    if (value != L"0" && value != L"1" && value != L"2") return false;
    binary_conversion = value[0] - L'0';
    return true;
  }
  for (auto [name, flag] : {std::pair{L"decodedata", &decode_data},
                            std::pair{L"parsedecodedata", &parse_decode_data},
                            std::pair{L"transmitsentinels", &transmit_sentinels}}) {
    if (key != name) continue;
    if (value != L"0" && value != L"1") return false;
    *flag = value == L"1";
    return true;
  }
  std::vector<std::int32_t> ints;
  if (!ParseInts(value, ints)) return false;
  if (key == L"result" && (ints.size() == 2 || ints.size() == 3)) {
    results[ints[0]] = {ints[1], ints.size() == 3 ? ints[2] : 0};
    return true;
  }
  if (key == L"post" && (ints.size() == 1 || ints.size() == 2) && ints[0] > 0) {
    post_message = static_cast<unsigned>(ints[0]);
    post_wparam = ints.size() == 2 ? static_cast<std::uintptr_t>(ints[1]) : 0;
    return true;
  }
  if ((key == L"openwait" || key == L"releasewait") && ints.size() == 1 && ints[0] >= 0) {
    (key == L"openwait" ? open_wait_ms : release_wait_ms) = static_cast<unsigned>(ints[0]);
    return true;
  }
  if (key == L"failget" && ints.size() == 1) {
    failing_gets.insert(ints[0]);
    return true;
  }
  return false;
}

}  // namespace msr_sim
