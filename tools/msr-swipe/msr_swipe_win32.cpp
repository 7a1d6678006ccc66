// msr-swipe: swipes a card on the simulated card reader that a running program has open.
//
//   msr-swipe [--device NAME] [--count N] [--bad] [--track1 T] [--track2 T] [--track3 T]
//             [--fault LINE]...
//
// Exit codes: 0 every card taken; 1 bad command line; 2 no program has the reader open;
// 3 the reader is open but not enabled (the card was not read); 4 the program did not answer.

#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

#include "sim_protocol.h"

namespace {

constexpr UINT kAnswerTimeoutMs = 5000;

int Usage(const char* problem, int exit_code = 1) {
  std::fprintf(stderr,
               "msr-swipe: %s\n"
               "usage: msr-swipe [--device NAME] [--count N] [--bad] [--track1 T] [--track2 T] [--track3 T]\n"
               "                 [--fault LINE]...\n"
               "  --device  logical device name of the reader (default ZANKeyboardWedge)\n"
               "  --count   swipe the same card N times, as fast as the reader takes them\n"
               "  --bad     a swipe the reader cannot read (it raises its error event instead)\n"
               "  --fault   a line of the simulated reader's configuration, e.g. result=36,111 or failget=24\n",
               problem);
  return exit_code;
}

struct LocalArgs {
  LocalArgs() : argv(CommandLineToArgvW(GetCommandLineW(), &argc)) {}
  ~LocalArgs() { LocalFree(argv); }
  LocalArgs(const LocalArgs&) = delete;
  LocalArgs& operator=(const LocalArgs&) = delete;
  int argc = 0;
  wchar_t** argv;
};

// Sends one message; the reader's answer, or 0 when the program does not answer in time.
LRESULT Send(HWND reader, std::uintptr_t kind, const std::wstring& payload) {
  COPYDATASTRUCT data{};
  data.dwData = kind;
  data.cbData = static_cast<DWORD>(payload.size() * sizeof(wchar_t));
  data.lpData = const_cast<wchar_t*>(payload.data());
  DWORD_PTR answer = 0;
  if (!SendMessageTimeoutW(reader, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data),
                           SMTO_ABORTIFHUNG, kAnswerTimeoutMs, &answer)) {
    return 0;
  }
  return static_cast<LRESULT>(answer);
}

}  // namespace

int main() {
  LocalArgs args;
  if (!args.argv) return Usage("cannot read the command line");

  std::wstring device = msr_sim::kDefaultDevice;
  msr_sim::Card card;
  bool have_card = false;
  long count = 1;
  std::vector<std::wstring> faults;
  for (int i = 1; i < args.argc; ++i) {
    const std::wstring opt = args.argv[i];
    if (opt == L"--help" || opt == L"-h") return Usage("swipes a card on the simulated reader", 0);
    if (opt == L"--bad") {
      card.bad = have_card = true;
      continue;
    }
    if (i + 1 >= args.argc) return Usage("an option lacks its value");
    const wchar_t* value = args.argv[++i];
    if (opt == L"--device") {
      device = value;
    } else if (opt == L"--count") {
      wchar_t* end = nullptr;
      count = std::wcstol(value, &end, 10);
      if (*end != L'\0' || count < 1) return Usage("--count needs a whole number of 1 or more");
    } else if (opt == L"--track1" || opt == L"--track2" || opt == L"--track3") {
      std::wstring* track = opt == L"--track1" ? &card.track1 : opt == L"--track2" ? &card.track2 : &card.track3;
      *track = value;
      have_card = true;
    } else if (opt == L"--fault") {
      faults.push_back(value);
    } else {
      return Usage("unknown option");
    }
  }
  if (!have_card && faults.empty()) return Usage("give at least one track or a --fault");

  const HWND reader = FindWindowW(msr_sim::kWindowClass, (msr_sim::kWindowTitlePrefix + device).c_str());
  if (!reader) {
    std::fprintf(stderr, "msr-swipe: no program has the simulated reader \"%ls\" open\n", device.c_str());
    return 2;
  }
  for (const std::wstring& fault : faults) {
    const LRESULT answer = Send(reader, msr_sim::kCopyFault, fault);
    if (answer == 0) {
      std::fprintf(stderr, "msr-swipe: the reader did not take the fault \"%ls\"\n", fault.c_str());
      return 4;
    }
  }
  for (long n = 0; have_card && n < count; ++n) {
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    card.sent_at = now.QuadPart;
    const LRESULT answer = Send(reader, msr_sim::kCopyCard, msr_sim::Serialise(card));
    if (answer == msr_sim::kCardIgnored) {
      std::fprintf(stderr, "msr-swipe: the reader \"%ls\" is open but not enabled; the card was not read\n",
                   device.c_str());
      return 3;
    }
    if (answer != msr_sim::kCardQueued) {
      std::fprintf(stderr, "msr-swipe: the program holding the reader did not answer\n");
      return 4;
    }
  }
  return 0;
}
