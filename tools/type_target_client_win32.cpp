#include <windows.h>

#include "type_target_client_win32.h"

namespace type_target {

std::wstring WinePath(const std::string& unix_path) {
  std::wstring out = L"Z:";
  for (char c : unix_path) out += c == '/' ? L'\\' : static_cast<wchar_t>(c);
  return out;
}

HANDLE StartProcess(std::wstring command, DWORD* pid) {
  STARTUPINFOW si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  if (!CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
    return nullptr;
  }
  CloseHandle(pi.hThread);
  if (pid) *pid = pi.dwProcessId;
  return pi.hProcess;
}

int RunProcess(const std::wstring& command, unsigned timeout_ms, const std::function<void()>& pump) {
  HANDLE process = StartProcess(command);
  if (!process) return -1;
  const ULONGLONG end = GetTickCount64() + timeout_ms;
  DWORD code = static_cast<DWORD>(-1);
  for (;;) {
    if (pump) pump();
    const ULONGLONG now = GetTickCount64();
    const DWORD left = now >= end ? 0 : static_cast<DWORD>(end - now);
    const DWORD wait = pump ? MsgWaitForMultipleObjects(1, &process, FALSE, left, QS_ALLINPUT)
                            : WaitForSingleObject(process, left);
    if (wait == WAIT_OBJECT_0) {
      GetExitCodeProcess(process, &code);
      break;
    }
    if (wait != WAIT_OBJECT_0 + 1) {  // timed out (or failed): a hung program is ended
      TerminateProcess(process, code);
      code = static_cast<DWORD>(-1);
      break;
    }
  }
  CloseHandle(process);
  return static_cast<int>(code);
}

// Wine cannot wait on a Linux process, so the shell writes the exit status to a file that is
// watched here.
bool RunLinux(const std::string& command) {
  static int runs = 0;
  const std::string file = "/tmp/zan-run-" + std::to_string(GetCurrentProcessId()) + "-" +
                           std::to_string(++runs) + ".txt";
  const std::wstring win_file = WinePath(file);
  DeleteFileW(win_file.c_str());
  std::wstring cmd = L"Z:\\bin\\sh -c \"";
  for (char c : command + "; echo $? > " + file) {
    if (c == '"') cmd += L'\\';  // a quote inside the quoted argument
    cmd += static_cast<wchar_t>(c);
  }
  cmd += L"\"";
  // Not StartProcess: a Linux program started this way has no process handle to return.
  STARTUPINFOW si{};
  si.cb = sizeof(si);
  PROCESS_INFORMATION pi{};
  if (!CreateProcessW(nullptr, &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
    return false;
  }
  if (pi.hThread) CloseHandle(pi.hThread);
  if (pi.hProcess) CloseHandle(pi.hProcess);
  for (int i = 0; i < 500; ++i, Sleep(20)) {
    HANDLE f = CreateFileW(win_file.c_str(), GENERIC_READ,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, 0, nullptr);
    if (f == INVALID_HANDLE_VALUE) continue;
    char status[16] = {};
    DWORD n = 0;
    ReadFile(f, status, sizeof(status) - 1, &n, nullptr);
    CloseHandle(f);
    if (n == 0 || status[n - 1] != '\n') continue;  // the shell is still writing it
    DeleteFileW(win_file.c_str());
    return status[0] == '0' && n == 2;
  }
  return false;
}

std::int64_t Now() {
  LARGE_INTEGER t;
  QueryPerformanceCounter(&t);
  return t.QuadPart;
}

double Milliseconds(std::int64_t ticks) {
  LARGE_INTEGER f;
  QueryPerformanceFrequency(&f);
  return 1000.0 * static_cast<double>(ticks) / static_cast<double>(f.QuadPart);
}

struct Target::Handles {
  HANDLE process = nullptr;
  HANDLE mapping = nullptr;
  HANDLE done = nullptr;
  Shared* shared = nullptr;

  HWND Main() const { return reinterpret_cast<HWND>(static_cast<UINT_PTR>(shared->main_window)); }
  HWND Edit() const { return reinterpret_cast<HWND>(static_cast<UINT_PTR>(shared->edit)); }
};

Target::Target() : h_(std::make_unique<Handles>()) {}
Target::~Target() { Stop(); }

bool Target::Start(const std::wstring& exe, const std::wstring& options) {
  // Several targets may run for one process.
  static int serial = 0;
  const std::wstring name = std::to_wstring(GetCurrentProcessId()) + L"." + std::to_wstring(++serial);
  h_->mapping = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, sizeof(Shared),
                                   MappingName(name).c_str());
  if (!h_->mapping) return false;
  h_->shared = static_cast<Shared*>(MapViewOfFile(h_->mapping, FILE_MAP_ALL_ACCESS, 0, 0, sizeof(Shared)));
  h_->done = CreateEventW(nullptr, TRUE, FALSE, DoneEventName(name).c_str());
  if (!h_->shared || !h_->done) return false;
  h_->shared->ready = 0;
  h_->process = StartProcess(L"\"" + exe + L"\" " + name + (options.empty() ? L"" : L" " + options));
  if (!h_->process) return false;
  for (int i = 0; i < 200 && !h_->shared->ready; ++i) {
    if (WaitForSingleObject(h_->process, 50) == WAIT_OBJECT_0) return false;
  }
  return h_->shared->ready && Focus();
}

bool Target::Focus() {
  for (int i = 0; i < 50; ++i) {
    SendMessageW(h_->Main(), kFocus, 0, 0);
    if (GetForegroundWindow() == h_->Main()) return true;
    Sleep(20);
  }
  return false;
}

void Target::Arm(std::int32_t length) {
  ResetEvent(h_->done);
  SendMessageW(h_->Main(), kArm, static_cast<WPARAM>(length), 0);
}

bool Target::WaitDone(unsigned ms) { return WaitForSingleObject(h_->done, ms) == WAIT_OBJECT_0; }

std::wstring Target::Text() const {
  const int n = static_cast<int>(SendMessageW(h_->Edit(), WM_GETTEXTLENGTH, 0, 0));
  std::wstring text(static_cast<std::size_t>(n) + 1, L'\0');
  const int got = static_cast<int>(
      SendMessageW(h_->Edit(), WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(&text[0])));
  text.resize(static_cast<std::size_t>(got));
  return text;
}

std::vector<std::int64_t> Target::Stamps() const {
  const int n = h_->shared->stamp_count;
  return std::vector<std::int64_t>(h_->shared->stamps, h_->shared->stamps + (n < kMaxStamps ? n : kMaxStamps));
}

void Target::SetClipboard(const std::wstring& text) {
  const std::wstring kept = text.substr(0, kMaxPasted - 1);
  kept.copy(h_->shared->clipboard, kept.size());
  h_->shared->clipboard[kept.size()] = L'\0';
  SendMessageW(h_->Main(), kSetClipboard, 0, 0);
}

void Target::HoldPaste(bool hold) { h_->shared->hold_paste = hold ? 1 : 0; }

const Shared& Target::shared() const { return *h_->shared; }

void Target::Stop() {
  if (h_->process) {
    if (h_->shared && h_->shared->main_window) PostMessageW(h_->Main(), WM_CLOSE, 0, 0);
    if (WaitForSingleObject(h_->process, 3000) != WAIT_OBJECT_0) {
      TerminateProcess(h_->process, 1);
      WaitForSingleObject(h_->process, 3000);
    }
    CloseHandle(h_->process);
    h_->process = nullptr;
  }
  if (h_->shared) UnmapViewOfFile(h_->shared);
  h_->shared = nullptr;
  if (h_->mapping) CloseHandle(h_->mapping);
  h_->mapping = nullptr;
  if (h_->done) CloseHandle(h_->done);
  h_->done = nullptr;
}

}  // namespace type_target
