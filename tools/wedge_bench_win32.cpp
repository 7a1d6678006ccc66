// Benchmark of the program itself under Wine: cards swiped on the simulated reader and typed by the
// program into the box of another process, against the bare SendInput floor for the same text in
// the same run; the program's CPU time per card; its cost while idle; its resident memory and its
// start time to the icon beside a minimal tray program (zan_minimal_tray.exe) and a minimal host of
// the reader control (zan_minimal_reader_host.exe) started the same way; then cards typed under a
// typing rule with a pause between keys.
//
//   zan_wedge_bench.exe PROGRAM [cards] [idle seconds] [starts] [paced cards] [delay ms]
//                                                              (200, 60, 9, 10, 20)
//
// PROGRAM is the Windows path of ZANKeyboardWedge.exe. The simulated reader must be registered and
// the program's settings must be the defaults (every track, sentinels, no Enter);
// tools/run_wedge_bench.sh sees to both.
//
// How each figure is taken:
// - Swipe: the benchmark hands the card to the simulated reader's window itself (WM_COPYDATA, as
//   msr-swipe does) and stamps the performance counter, which all processes share, just before.
//   The typing target stamps the first and the last character itself.
// - Floor: one SendInput call of Unicode records for the same text, interleaved card by card.
// - CPU time and context switches: from Linux, summed over the threads of the program's process
//   (/proc/PID/task/*/schedstat and status, read through Wine's Z: drive); GetProcessTimes too.
//   The Linux process is the one whose command line is the program's path.
// - Resident memory: VmRSS of the Linux process (GetProcessMemoryInfo's working set beside it).
//   The three processes' /proc/PID/smaps, with Windows' regions of the same addresses, are saved
//   beside this program (wedge-bench-smaps\) for tools/memory_breakdown.sh.
// - Start to icon: from just before CreateProcess to the first moment a NIM_MODIFY that changes
//   nothing succeeds for (a top-level window of the new process, icon 1): the notification area
//   then holds the icon.
// - Paced cards: a rule "delay=D" for the typing target's program, written to the user's rules
//   after the figures above (the program reads them at every card) and removed again. The time
//   from the first character to the last against (characters - 1) x D, and the program's context
//   switches and CPU time per pause between keys: a timer that wakes it once per key, not a wait
//   that spins. The idle figures are taken after these cards.

#include <windows.h>
#include <psapi.h>
#include <shellapi.h>
#include <tlhelp32.h>
#include <winternl.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "sim_protocol.h"
#include "type_target_client_win32.h"
#include "typing_floor_win32.h"

namespace {

using typing_floor::kTrack1;
using typing_floor::kTrack2;
using typing_floor::kTrack3;
using typing_floor::Percentile;

std::wstring Here() {
  wchar_t path[MAX_PATH];
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring p = path;
  return p.substr(0, p.find_last_of(L"\\/") + 1);
}

std::string ReadWholeFile(const std::wstring& path) {
  std::string out;
  HANDLE f = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                         OPEN_EXISTING, 0, nullptr);
  if (f == INVALID_HANDLE_VALUE) return out;
  char buffer[4096];
  DWORD n = 0;
  while (ReadFile(f, buffer, sizeof buffer, &n, nullptr) && n > 0) out.append(buffer, n);
  CloseHandle(f);
  return out;
}

bool WriteWholeFile(const std::wstring& path, const std::string& text) {
  HANDLE f = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (f == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  const bool ok = !text.empty() && WriteFile(f, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
                  written == text.size();
  CloseHandle(f);
  return ok;
}

std::vector<std::wstring> NumericEntries(const std::wstring& dir) {
  std::vector<std::wstring> out;
  WIN32_FIND_DATAW fd;
  HANDLE h = FindFirstFileW((dir + L"\\*").c_str(), &fd);
  if (h == INVALID_HANDLE_VALUE) return out;
  do {
    const std::wstring name = fd.cFileName;
    if (!name.empty() && name.find_first_not_of(L"0123456789") == std::wstring::npos) out.push_back(name);
  } while (FindNextFileW(h, &fd));
  FindClose(h);
  return out;
}

long long FieldOf(const std::string& status, const char* key) {
  const std::size_t at = status.find(key);
  return at == std::string::npos ? 0 : std::atoll(status.c_str() + at + std::strlen(key));
}

// What Linux knows of a process.
struct LinuxStats {
  long long cpu_ns = 0;         // on-CPU time of all its threads
  long long switches = 0;       // voluntary + involuntary context switches of all its threads
  long long rss_kb = 0;
};

LinuxStats ReadLinuxStats(const std::wstring& unix_pid) {
  LinuxStats s;
  const std::wstring proc = L"Z:\\proc\\" + unix_pid;
  for (const std::wstring& tid : NumericEntries(proc + L"\\task")) {
    const std::wstring task = proc + L"\\task\\" + tid;
    s.cpu_ns += std::atoll(ReadWholeFile(task + L"\\schedstat").c_str());
    const std::string status = ReadWholeFile(task + L"\\status");
    s.switches += FieldOf(status, "\nvoluntary_ctxt_switches:") + FieldOf(status, "\nnonvoluntary_ctxt_switches:");
  }
  s.rss_kb = FieldOf(ReadWholeFile(proc + L"\\status"), "\nVmRSS:");
  return s;
}

long long ThreadCpuNs() { return std::atoll(ReadWholeFile(L"Z:\\proc\\thread-self\\schedstat").c_str()); }

double CpuMsOf(HANDLE process) {
  FILETIME created, ended, kernel, user;
  if (!GetProcessTimes(process, &created, &ended, &kernel, &user)) return -1;
  auto ticks = [](const FILETIME& t) {
    return static_cast<double>((static_cast<unsigned long long>(t.dwHighDateTime) << 32) | t.dwLowDateTime);
  };
  return (ticks(kernel) + ticks(user)) / 10000.0;
}

// A program started by the benchmark, with its Linux process and the window that owns its icon.
class Child {
 public:
  Child() = default;
  ~Child() { Stop(); }
  Child(const Child&) = delete;
  Child& operator=(const Child&) = delete;

  // Starts `exe` and waits for its icon; the milliseconds from the start to the icon, or -1 (also
  // when it ends first).
  double Start(const std::wstring& exe) {
    const std::int64_t t0 = type_target::Now();
    // A path without spaces, unquoted: Wine gives Linux this command line.
    process_ = type_target::StartProcess(exe, &pid_);
    if (!process_) return -1;
    double to_icon = -1;
    for (int i = 0; i < 20000 && to_icon < 0; ++i) {
      if (FindIconWindow()) to_icon = type_target::Milliseconds(type_target::Now() - t0);
      else if (WaitForSingleObject(process_, 1) == WAIT_OBJECT_0) break;
    }
    unix_pid_ = FindUnixPid(exe);
    return to_icon;
  }

  // Asks the program to end (WM_CLOSE to its window, which ends both programs cleanly, icon
  // removed) and waits for it; true when it ended by itself.
  bool Stop() {
    if (!process_) return true;
    if (window_) PostMessageW(window_, WM_CLOSE, 0, 0);
    bool clean = WaitForSingleObject(process_, 15000) == WAIT_OBJECT_0;
    if (!clean) {
      TerminateProcess(process_, 1);
      WaitForSingleObject(process_, 5000);
    }
    CloseHandle(process_);
    process_ = nullptr;
    pid_ = 0;
    window_ = nullptr;
    return clean;
  }

  HANDLE process() const { return process_; }
  // Its exit code, once it has ended.
  DWORD ExitCode() const {
    DWORD code = 0;
    return GetExitCodeProcess(process_, &code) ? code : 0;
  }
  HWND window() const { return window_; }
  bool HasUnixPid() const { return !unix_pid_.empty(); }
  LinuxStats Stats() const { return ReadLinuxStats(unix_pid_); }
  // Saves the Linux process's memory map, with the resident size of every mapping, as STEM.smaps,
  // and what Windows says of the same addresses as STEM.regions: each committed region's base,
  // size and type (image, with the module's name; mapped; a thread's stack; other private memory).
  bool SaveMemoryMaps(const std::wstring& stem) const {
    const std::vector<std::pair<char*, char*>> stacks = ThreadStacks();
    std::string regions;
    SYSTEM_INFO si;
    GetSystemInfo(&si);
    MEMORY_BASIC_INFORMATION mbi;
    for (auto* at = static_cast<char*>(si.lpMinimumApplicationAddress); at < si.lpMaximumApplicationAddress;
         at += mbi.RegionSize) {
      if (!VirtualQueryEx(process_, at, &mbi, sizeof mbi)) break;
      if (mbi.State != MEM_COMMIT) continue;
      char module[MAX_PATH] = "-";
      if (mbi.Type == MEM_IMAGE) GetModuleBaseNameA(process_, static_cast<HMODULE>(mbi.AllocationBase), module, MAX_PATH);
      bool stack = false;
      for (const auto& range : stacks) stack = stack || (range.first < at + mbi.RegionSize && at < range.second);
      char line[MAX_PATH + 64];
      std::snprintf(line, sizeof line, "%llx %llx %s %s\n", static_cast<unsigned long long>(reinterpret_cast<std::uintptr_t>(at)),
                    static_cast<unsigned long long>(mbi.RegionSize),
                    mbi.Type == MEM_IMAGE ? "image" : mbi.Type == MEM_MAPPED ? "mapped" : stack ? "stack" : "private",
                    module);
      regions += line;
    }
    return WriteWholeFile(stem + L".smaps", ReadWholeFile(L"Z:\\proc\\" + unix_pid_ + L"\\smaps")) &&
           WriteWholeFile(stem + L".regions", regions);
  }
  long long WorkingSetKb() const {
    PROCESS_MEMORY_COUNTERS pmc{};
    pmc.cb = sizeof pmc;
    return GetProcessMemoryInfo(process_, &pmc, sizeof pmc) ? static_cast<long long>(pmc.WorkingSetSize / 1024) : -1;
  }

 private:
  // The committed stack (limit to base) of each of the process's threads, from their TEBs.
  std::vector<std::pair<char*, char*>> ThreadStacks() const {
    struct BasicInformation {  // THREAD_BASIC_INFORMATION, which the headers leave out
      NTSTATUS exit_status;
      void* teb;
      CLIENT_ID client;
      KAFFINITY affinity;
      LONG priority, base_priority;
    };
    std::vector<std::pair<char*, char*>> out;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return out;
    THREADENTRY32 te{};
    te.dwSize = sizeof te;
    for (BOOL more = Thread32First(snapshot, &te); more; more = Thread32Next(snapshot, &te)) {
      if (te.th32OwnerProcessID != pid_) continue;
      HANDLE thread = OpenThread(THREAD_QUERY_INFORMATION, FALSE, te.th32ThreadID);
      BasicInformation info{};
      NT_TIB tib{};
      if (thread &&
          NT_SUCCESS(NtQueryInformationThread(thread, ThreadBasicInformation, &info, sizeof info, nullptr)) &&
          ReadProcessMemory(process_, info.teb, &tib, sizeof tib, nullptr)) {
        out.emplace_back(static_cast<char*>(tib.StackLimit), static_cast<char*>(tib.StackBase));
      }
      if (thread) CloseHandle(thread);
    }
    CloseHandle(snapshot);
    return out;
  }

  struct IconSearch {
    DWORD pid;
    HWND found;
  };

  static BOOL CALLBACK TryWindow(HWND hwnd, LPARAM lp) {
    auto* s = reinterpret_cast<IconSearch*>(lp);
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    if (pid != s->pid) return TRUE;
    NOTIFYICONDATAW nid{};
    nid.cbSize = sizeof nid;
    nid.hWnd = hwnd;
    nid.uID = 1;
    nid.uFlags = 0;  // changes nothing; succeeds only when the icon is there
    if (!Shell_NotifyIconW(NIM_MODIFY, &nid)) return TRUE;
    s->found = hwnd;
    return FALSE;
  }

  bool FindIconWindow() {
    IconSearch search{pid_, nullptr};
    EnumWindows(TryWindow, reinterpret_cast<LPARAM>(&search));
    window_ = search.found;
    return window_ != nullptr;
  }

  // Wine starts a process with the Windows command line as its Linux one; the path is that of
  // this build, so only the process started here matches (one runs at a time).
  static std::wstring FindUnixPid(const std::wstring& exe) {
    const std::string wanted(exe.begin(), exe.end());
    for (const std::wstring& pid : NumericEntries(L"Z:\\proc")) {
      const std::string cmdline = ReadWholeFile(L"Z:\\proc\\" + pid + L"\\cmdline");
      if (cmdline.compare(0, wanted.size(), wanted) == 0 &&
          (cmdline.size() == wanted.size() || cmdline[wanted.size()] == '\0' || cmdline[wanted.size()] == ' ')) {
        return pid;
      }
    }
    return L"";
  }

  HANDLE process_ = nullptr;
  DWORD pid_ = 0;
  HWND window_ = nullptr;
  std::wstring unix_pid_;
};

struct Timing {
  std::vector<double> first, last;
  int bad = 0;
};

void PrintTiming(const char* name, const Timing& t) {
  std::printf("%-34s %9.2f ms %9.2f ms %9.1f ms %9.1f ms %6d\n", name, Percentile(t.first, 0.5),
              Percentile(t.first, 0.95), Percentile(t.last, 0.5), Percentile(t.last, 0.95), t.bad);
}

const char* Verdict(bool met) { return met ? "met" : "MISSED"; }

constexpr wchar_t kRulesKey[] = L"Software\\VB and VBA Program Settings\\ZANKeyboardWedge\\Targets";
constexpr wchar_t kTargetProgram[] = L"zan_type_target.exe";

// Sets (or, with an empty text, removes) the typing rule for the typing target.
bool SetTargetRule(const std::wstring& rule) {
  HKEY key;
  if (RegCreateKeyExW(HKEY_CURRENT_USER, kRulesKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr) !=
      ERROR_SUCCESS) {
    return false;
  }
  const LSTATUS status =
      rule.empty() ? RegDeleteValueW(key, kTargetProgram)
                   : RegSetValueExW(key, kTargetProgram, 0, REG_SZ, reinterpret_cast<const BYTE*>(rule.c_str()),
                                    static_cast<DWORD>((rule.size() + 1) * sizeof(wchar_t)));
  RegCloseKey(key);
  return status == ERROR_SUCCESS;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: zan_wedge_bench PROGRAM.exe [cards] [idle seconds] [starts]\n");
    return 1;
  }
  const std::string program_arg = argv[1];
  const std::wstring program(program_arg.begin(), program_arg.end());
  const int cards = argc > 2 ? std::atoi(argv[2]) : 200;
  const int idle_s = argc > 3 ? std::atoi(argv[3]) : 60;
  const int starts = argc > 4 ? std::atoi(argv[4]) : 9;
  const int paced_cards = argc > 5 ? std::atoi(argv[5]) : 10;
  const int delay_ms = argc > 6 ? std::atoi(argv[6]) : 20;
  const std::wstring minimal = Here() + L"zan_minimal_tray.exe";
  const std::wstring host = Here() + L"zan_minimal_reader_host.exe";
  // The pointer rests in a corner, away from every window, as at an idle till. A fresh display
  // puts it at the centre, where the program's window opens: there Wine tracks the controls'
  // hover state with a 10 ms timer of the program's own, which Windows does without waking it.
  SetCursorPos(GetSystemMetrics(SM_CXSCREEN) - 1, GetSystemMetrics(SM_CYSCREEN) - 1);

  // Start to icon, the three programs in turn, each round starting with the next one; the first
  // round warms the file cache up.
  const std::wstring* exes[] = {&program, &minimal, &host};
  const char* names[] = {"program", "minimal program", "minimal reader host"};
  std::vector<double> start_times[3];
  for (int round = -1; round < starts; ++round) {
    for (int k = 0; k < 3; ++k) {
      const int which = (round + 1 + k) % 3;
      Child child;
      const double ms = child.Start(*exes[which]);
      if (ms < 0) {
        std::fprintf(stderr, "%s: no icon appeared (exit code %lu)\n", names[which], child.ExitCode());
        return 2;
      }
      Sleep(300);
      if (!child.Stop()) std::fprintf(stderr, "%s did not end when asked\n", names[which]);
      if (round >= 0) start_times[which].push_back(ms);
      Sleep(200);
    }
  }
  const std::vector<double>& start_ours = start_times[0];
  const std::vector<double>& start_minimal = start_times[1];
  const std::vector<double>& start_host = start_times[2];

  type_target::Target target;
  if (!target.Start(Here() + L"zan_type_target.exe")) {
    std::fprintf(stderr, "cannot start the typing target\n");
    return 2;
  }
  Child wedge;
  if (wedge.Start(program) < 0 || !wedge.HasUnixPid()) {
    std::fprintf(stderr, "the program did not start (or its Linux process was not found)\n");
    return 2;
  }
  // Its settings window shows at start; the close box only hides it.
  SendMessageW(wedge.window(), WM_SYSCOMMAND, SC_CLOSE, 0);
  const std::wstring reader_title = std::wstring(msr_sim::kWindowTitlePrefix) + msr_sim::kDefaultDevice;
  HWND reader = nullptr;
  for (int i = 0; i < 200 && !reader; ++i, Sleep(50)) reader = FindWindowW(msr_sim::kWindowClass, reader_title.c_str());
  if (!reader) {
    std::fprintf(stderr, "the program did not open the simulated reader (is msr-sim.dll registered?)\n");
    return 2;
  }

  const std::wstring typed = L"%" + kTrack1 + L"?;" + kTrack2 + L"?;" + kTrack3 + L"?";
  std::vector<INPUT> records = typing_floor::UnicodeRecords(typed);
  msr_sim::Card card;
  card.track1 = kTrack1;
  card.track2 = kTrack2;
  card.track3 = kTrack3;

  // The CPU time this thread spends inside the bare SendInput calls: what typing the text costs
  // a sender under Wine, beside the program's CPU time per card.
  long long floor_cpu_ns = 0;

  unsigned wait_ms = 20000;  // for a card to arrive whole
  // One card typed by the program (swipe = true) or by the bare SendInput call; false on failure.
  auto measure = [&](bool swipe, Timing* into) {
    target.Focus();
    target.Arm(static_cast<std::int32_t>(typed.size()));
    Sleep(30);
    const std::int64_t t0 = type_target::Now();
    bool ok;
    if (swipe) {
      card.sent_at = t0;
      const std::wstring payload = msr_sim::Serialise(card);
      COPYDATASTRUCT data{};
      data.dwData = msr_sim::kCopyCard;
      data.cbData = static_cast<DWORD>(payload.size() * sizeof(wchar_t));
      data.lpData = const_cast<wchar_t*>(payload.data());
      DWORD_PTR answer = 0;
      ok = SendMessageTimeoutW(reader, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data), SMTO_ABORTIFHUNG,
                               5000, &answer) &&
           answer == static_cast<DWORD_PTR>(msr_sim::kCardQueued);
    } else {
      const long long cpu0 = ThreadCpuNs();
      ok = typing_floor::TypeBare(records);
      if (into) floor_cpu_ns += ThreadCpuNs() - cpu0;
    }
    ok = target.WaitDone(wait_ms) && ok;
    const type_target::Shared& sh = target.shared();
    const std::wstring arrived = target.Text();
    if (!into) return ok && arrived == typed;
    if (!ok || arrived != typed) {
      if (!into->bad++) {
        std::fprintf(stderr, "%s: %s: %s\n", swipe ? "program" : "floor", ok ? "text differs" : "incomplete",
                     std::string(arrived.begin(), arrived.end()).c_str());
      }
      return false;
    }
    into->first.push_back(type_target::Milliseconds(sh.first_change - t0));
    into->last.push_back(type_target::Milliseconds(sh.done - t0));
    return true;
  };

  // A first, uncounted round of each.
  measure(true, nullptr);
  measure(false, nullptr);
  Timing ours, floor;
  const LinuxStats busy0 = wedge.Stats();
  const double win_cpu0 = CpuMsOf(wedge.process());
  for (int i = 0; i < cards; ++i) {
    if (i % 2 == 0) {
      measure(true, &ours);
      measure(false, &floor);
    } else {
      measure(false, &floor);
      measure(true, &ours);
    }
  }
  const LinuxStats busy1 = wedge.Stats();
  const double win_cpu1 = CpuMsOf(wedge.process());

  // Paced cards: every card's keys one character at a time, a pause of delay_ms between them.
  std::vector<double> paced_ratio, paced_switches, paced_cpu;
  int paced_bad = 0;
  const int steps = static_cast<int>(typed.size()) - 1;
  if (paced_cards > 0 && !SetTargetRule(L"delay=" + std::to_wstring(delay_ms))) {
    std::fprintf(stderr, "cannot write the typing rule\n");
    return 2;
  }
  wait_ms += static_cast<unsigned>(steps * delay_ms);
  for (int i = 0; i < paced_cards; ++i) {
    const LinuxStats before = wedge.Stats();
    Timing one;
    measure(true, &one);
    const LinuxStats after = wedge.Stats();
    if (one.bad || one.last.empty()) {
      ++paced_bad;
      continue;
    }
    const type_target::Shared& sh = target.shared();
    paced_ratio.push_back(type_target::Milliseconds(sh.done - sh.first_change) / (steps * delay_ms));
    paced_switches.push_back(static_cast<double>(after.switches - before.switches) / steps);
    paced_cpu.push_back(static_cast<double>(after.cpu_ns - before.cpu_ns) / 1e6);
  }
  if (paced_cards > 0) SetTargetRule(L"");
  target.Stop();

  // Idle: the three programs side by side, settled first.
  Child reference, reader_host;
  if (reference.Start(minimal) < 0 || !reference.HasUnixPid()) {
    std::fprintf(stderr, "the minimal program did not start\n");
    return 2;
  }
  if (reader_host.Start(host) < 0 || !reader_host.HasUnixPid()) {
    std::fprintf(stderr, "the minimal reader host did not start (exit code %lu)\n", reader_host.ExitCode());
    return 2;
  }
  Sleep(2000);
  const LinuxStats ours_idle0 = wedge.Stats(), ref_idle0 = reference.Stats(), host_idle0 = reader_host.Stats();
  const double win_idle0 = CpuMsOf(wedge.process());
  Sleep(static_cast<DWORD>(idle_s) * 1000);
  const LinuxStats ours_idle1 = wedge.Stats(), ref_idle1 = reference.Stats(), host_idle1 = reader_host.Stats();
  const double win_idle1 = CpuMsOf(wedge.process());
  const long long ours_ws = wedge.WorkingSetKb(), ref_ws = reference.WorkingSetKb(),
                  host_ws = reader_host.WorkingSetKb();
  const std::wstring smaps_dir = Here() + L"wedge-bench-smaps\\";
  CreateDirectoryW(smaps_dir.c_str(), nullptr);
  if (!wedge.SaveMemoryMaps(smaps_dir + L"program") || !reference.SaveMemoryMaps(smaps_dir + L"minimal-tray") ||
      !reader_host.SaveMemoryMaps(smaps_dir + L"minimal-reader-host")) {
    std::fprintf(stderr, "could not save the memory maps in %ls\n", smaps_dir.c_str());
  }
  const bool ours_clean = wedge.Stop();
  reference.Stop();
  reader_host.Stop();

  auto file_size = [](const std::wstring& path) -> long long {
    WIN32_FILE_ATTRIBUTE_DATA a{};
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &a)) return -1;
    return static_cast<long long>(a.nFileSizeHigh) << 32 | a.nFileSizeLow;
  };

  // The report.
  std::printf("%d cards of three tracks, %zu characters each, swiped one after another into another process's box\n",
              cards, typed.size());
  std::printf("%-34s %12s %12s %12s %12s %6s\n", "", "first med", "first p95", "last med", "last p95", "failed");
  PrintTiming("swipe -> program types (ours)", ours);
  PrintTiming("bare SendInput, same text (floor)", floor);
  const double first_med = Percentile(ours.first, 0.5);
  const double ratio = Percentile(ours.last, 0.5) / Percentile(floor.last, 0.5);
  const double cpu_card = static_cast<double>(busy1.cpu_ns - busy0.cpu_ns) / 1e6 / cards;
  const double idle_cpu = static_cast<double>(ours_idle1.cpu_ns - ours_idle0.cpu_ns) / 1e6;
  const long long idle_switches = ours_idle1.switches - ours_idle0.switches;
  const double rss_ratio = static_cast<double>(ours_idle1.rss_kb) / static_cast<double>(ref_idle1.rss_kb);
  const double rss_host_ratio = static_cast<double>(ours_idle1.rss_kb) / static_cast<double>(host_idle1.rss_kb);
  const double start_ratio = Percentile(start_ours, 0.5) / Percentile(start_minimal, 0.5);
  const double start_host_ratio = Percentile(start_ours, 0.5) / Percentile(start_host, 0.5);
  const long long size = file_size(program);
  std::printf("swipe to first character, median %.2f ms (target <= 15 ms): %s\n", first_med, Verdict(first_med <= 15));
  std::printf("swipe to last character, median %.3f x the floor's (target <= 1.10): %s\n", ratio,
              Verdict(ratio <= 1.10));
  std::printf("program CPU time per card: %.3f ms (GetProcessTimes: %.3f ms) (target <= 2 ms): %s\n", cpu_card,
              (win_cpu1 - win_cpu0) / cards, Verdict(cpu_card <= 2));
  const double floor_cpu_card = static_cast<double>(floor_cpu_ns) / 1e6 / cards;
  std::printf("  (the bare SendInput call of the same text costs its caller %.3f ms CPU per card; "
              "the program beyond that: %.3f ms)\n",
              floor_cpu_card, cpu_card - floor_cpu_card);
  std::printf("idle %d s, program: %.3f ms CPU, %lld context switches (GetProcessTimes: %.3f ms); "
              "minimal program: %.3f ms, %lld; minimal reader host: %.3f ms, %lld (target 0 and 0): %s\n",
              idle_s, idle_cpu, idle_switches, win_idle1 - win_idle0,
              static_cast<double>(ref_idle1.cpu_ns - ref_idle0.cpu_ns) / 1e6, ref_idle1.switches - ref_idle0.switches,
              static_cast<double>(host_idle1.cpu_ns - host_idle0.cpu_ns) / 1e6,
              host_idle1.switches - host_idle0.switches, Verdict(idle_cpu == 0 && idle_switches == 0));
  std::printf("resident memory: program %lld KB, minimal program %lld KB, minimal reader host %lld KB; "
              "%.2f x the minimal tray program (target <= 1.5 x): %s; %.2f x the minimal reader host "
              "(working set: %lld KB, %lld KB, %lld KB)\n",
              ours_idle1.rss_kb, ref_idle1.rss_kb, host_idle1.rss_kb, rss_ratio, Verdict(rss_ratio <= 1.5),
              rss_host_ratio, ours_ws, ref_ws, host_ws);
  std::printf("start to icon, median of %d: program %.1f ms, minimal program %.1f ms, minimal reader host %.1f ms; "
              "%.2f x the minimal tray program (target <= 1.5 x): %s; %.2f x the minimal reader host\n",
              starts, Percentile(start_ours, 0.5), Percentile(start_minimal, 0.5), Percentile(start_host, 0.5),
              start_ratio, Verdict(start_ratio <= 1.5), start_host_ratio);
  std::printf("executable: %lld bytes (minimal program %lld bytes, minimal reader host %lld bytes) "
              "(target <= 1 MB): %s\n",
              size, file_size(minimal), file_size(host), Verdict(size >= 0 && size <= 1024 * 1024));
  if (paced_cards > 0) {
    const double ratio_med = Percentile(paced_ratio, 0.5);
    std::printf("paced, rule delay=%d: %d cards, first to last character median %.3f x (characters - 1) x delay "
                "(p95 %.3f, target 0.90-1.10): %s; failed %d\n",
                delay_ms, paced_cards, ratio_med, Percentile(paced_ratio, 0.95),
                Verdict(!paced_ratio.empty() && ratio_med >= 0.9 && ratio_med <= 1.1), paced_bad);
    std::printf("paced, while it waits between keys: median %.2f context switches per key, %.3f ms CPU per card "
                "(%.4f ms per key)\n",
                Percentile(paced_switches, 0.5), Percentile(paced_cpu, 0.5), Percentile(paced_cpu, 0.5) / steps);
  }
  if (!ours_clean) std::printf("the program did not end when asked to close\n");
  return ours.bad + floor.bad + paced_bad ? 3 : 0;
}
