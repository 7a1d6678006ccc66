#include "sim_host_win32.h"

#include <cstdio>
#include <fstream>

#include "shell/message_pump.h"
#include "sim_protocol.h"
#include "type_target_client_win32.h"

namespace sim_host {
namespace {

std::wstring TempName(const wchar_t* what) {
  wchar_t dir[MAX_PATH];
  GetTempPathW(MAX_PATH, dir);
  static int serial = 0;
  return std::wstring(dir) + L"zan-msr-sim-" + std::to_wstring(sizeof(void*) * 8) + L"-" +
         std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(++serial) + what;
}

std::string Narrow(const std::wstring& s) { return std::string(s.begin(), s.end()); }

// The build gives the swipe command's path as the build host sees it; under Wine a host path
// is reached through drive Z:.
std::wstring SwipeExe() {
  std::wstring path;
  for (const char* p = ZAN_SWIPE_EXE; *p; ++p) path += static_cast<wchar_t>(*p == '/' ? '\\' : *p);
  if (!path.empty() && path[0] == L'\\') path = L"Z:" + path;
  return path;
}

}  // namespace

SimFiles::SimFiles(const std::vector<std::string>& lines)
    : config_(TempName(L".cfg")), journal_(TempName(L".journal")) {
  std::ofstream out(Narrow(config_), std::ios::binary);
  out << "journal=" << Narrow(journal_) << "\n";
  for (const std::string& line : lines) out << line << "\n";
  out.close();
  SetEnvironmentVariableW(msr_sim::kConfigVariable, config_.c_str());
}

SimFiles::~SimFiles() {
  SetEnvironmentVariableW(msr_sim::kConfigVariable, nullptr);
  DeleteFileW(config_.c_str());
  DeleteFileW(journal_.c_str());
}

std::vector<std::string> SimFiles::Journal() const {
  std::vector<std::string> lines;
  std::ifstream in(Narrow(journal_), std::ios::binary);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

bool PumpUntil(const std::function<bool()>& done, DWORD timeout_ms) {
  const ULONGLONG end = GetTickCount64() + timeout_ms;
  for (;;) {
    shell::DoEvents();
    if (done()) return true;
    const ULONGLONG now = GetTickCount64();
    if (now >= end) return false;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(end - now), QS_ALLINPUT);
  }
}

int Swipe(const std::wstring& args) {
  return type_target::RunProcess(L"\"" + SwipeExe() + L"\" " + args, 20000, &shell::DoEvents);
}

}  // namespace sim_host
