#include "sim_host_win32.h"

#include <cstdio>
#include <fstream>

#include "shell/message_pump.h"
#include "sim_protocol.h"

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
  std::wstring command = L"\"" + SwipeExe() + L"\" " + args;
  STARTUPINFOW si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  if (!CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
    return -1;
  }
  CloseHandle(pi.hThread);
  const ULONGLONG end = GetTickCount64() + 20000;
  DWORD code = static_cast<DWORD>(-1);
  for (;;) {
    shell::DoEvents();
    const ULONGLONG now = GetTickCount64();
    if (now >= end) {
      TerminateProcess(pi.hProcess, code);  // hung: do not leave it behind
      break;
    }
    const DWORD wait = MsgWaitForMultipleObjects(1, &pi.hProcess, FALSE,
                                                 static_cast<DWORD>(end - now), QS_ALLINPUT);
    if (wait == WAIT_OBJECT_0) {
      GetExitCodeProcess(pi.hProcess, &code);
      break;
    }
  }
  CloseHandle(pi.hProcess);
  return static_cast<int>(code);
}

}  // namespace sim_host
