// msr-swipe: swipes a card on the simulated card reader that a running program has open.
//
//   msr-swipe [--device NAME] [--count N] [--bad] [--track1 T] [--track2 T] [--track3 T]
//             [--track1-encrypted HEX] [--track2-encrypted HEX] [--track3-encrypted HEX] [--ksn HEX]
//             [--cards FILE] [--fault LINE]... [--power off|on]
//
// Exit codes: 0 every card taken; 1 bad command line; 2 no program has the reader open;
// 3 the reader is open but not enabled (the card was not read); 4 the program did not answer.

#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <cwchar>
#include <optional>
#include <string>
#include <vector>

#include "sim_protocol.h"

namespace {

constexpr UINT kAnswerTimeoutMs = 5000;

int Usage(const char* problem, int exit_code = 1) {
  std::fprintf(stderr,
               "msr-swipe: %s\n"
               "usage: msr-swipe [--device NAME] [--count N] [--bad] [--track1 T] [--track2 T] [--track3 T]\n"
               "                 [--track1-encrypted HEX] [--track2-encrypted HEX] [--track3-encrypted HEX]\n"
               "                 [--ksn HEX] [--cards FILE] [--fault LINE]... [--power off|on]\n"
               "  --device  logical device name of the reader (default ZANKeyboardWedge)\n"
               "  --count   swipe the card (or the cards) N times, as fast as the reader takes them\n"
               "  --bad     a swipe the reader cannot read (it raises its error event instead)\n"
               "  --track1-encrypted, --track2-encrypted, --track3-encrypted, --ksn\n"
               "            what an encrypting reader gives for the card as that track's encrypted data\n"
               "            and as its key serial number, in hexadecimal (without them it makes them up)\n"
               "  --cards   swipe the cards of a UTF-8 file, one a line, its tracks separated by tabs\n"
               "  --fault   a line of the simulated reader's configuration, e.g. result=36,111 or failget=24\n"
               "  --power   unplug the reader (off) or plug it in again (on)\n",
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

// The cards of a UTF-8 file: one a line, tracks 1, 2 and 3 separated by tabs; empty lines are
// skipped. False when the file cannot be read.
bool ReadCards(const wchar_t* path, std::vector<msr_sim::Card>& cards) {
  HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  std::string bytes;
  char buffer[65536];
  DWORD n = 0;
  while (ReadFile(file, buffer, sizeof buffer, &n, nullptr) && n > 0) bytes.append(buffer, n);
  CloseHandle(file);
  std::wstring text(bytes.size(), L'\0');
  if (!bytes.empty()) {
    const int chars = MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()),
                                          &text[0], static_cast<int>(text.size()));
    text.resize(static_cast<std::size_t>(chars));
  }
  std::size_t begin = 0;
  while (begin < text.size()) {
    std::size_t end = text.find(L'\n', begin);
    if (end == std::wstring::npos) end = text.size();
    std::wstring line = text.substr(begin, end - begin);
    begin = end + 1;
    if (!line.empty() && line.back() == L'\r') line.pop_back();
    if (line.empty()) continue;
    msr_sim::Card card;
    std::wstring* tracks[] = {&card.track1, &card.track2, &card.track3};
    std::size_t from = 0;
    for (std::wstring* track : tracks) {
      const std::size_t tab = line.find(L'\t', from);
      *track = line.substr(from, tab == std::wstring::npos ? std::wstring::npos : tab - from);
      if (tab == std::wstring::npos) break;
      from = tab + 1;
    }
    cards.push_back(card);
  }
  return true;
}

}  // namespace

int main() {
  LocalArgs args;
  if (!args.argv) return Usage("cannot read the command line");

  std::wstring device = msr_sim::kDefaultDevice;
  msr_sim::Card card;
  bool have_card = false;
  std::vector<msr_sim::Card> cards;
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
    } else if (opt == L"--track1-encrypted" || opt == L"--track2-encrypted" || opt == L"--track3-encrypted" ||
               opt == L"--ksn") {
      std::optional<std::wstring>& bytes = opt == L"--ksn" ? card.ksn : card.encrypted[opt[7] - L'1'];
      if (!msr_sim::FromHex(value, bytes.emplace())) {
        return Usage("the encrypted data and --ksn take hexadecimal digits, two a byte");
      }
    } else if (opt == L"--cards") {
      if (!ReadCards(value, cards)) return Usage("cannot read the file of --cards");
    } else if (opt == L"--fault") {
      faults.push_back(value);
    } else if (opt == L"--power") {
      if (std::wstring(value) != L"off" && std::wstring(value) != L"on") return Usage("--power takes off or on");
      faults.push_back(std::wstring(L"power=") + value);
    } else {
      return Usage("unknown option");
    }
  }
  if (have_card) cards.insert(cards.begin(), card);
  if (cards.empty() && faults.empty()) return Usage("give at least one track, --cards, --fault or --power");

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
  for (long n = 0; n < count; ++n) {
    for (msr_sim::Card& next : cards) {
      LARGE_INTEGER now;
      QueryPerformanceCounter(&now);
      next.sent_at = now.QuadPart;
      const LRESULT answer = Send(reader, msr_sim::kCopyCard, msr_sim::Serialise(next));
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
  }
  return 0;
}
