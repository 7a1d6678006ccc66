// Benchmark: a three-track card text (about 200 characters) typed into the box of another process,
// by our keystroke output, by a bare single SendInput call of Unicode records (the floor: the
// receiving box sets the pace) and by "xdotool type --delay 0", interleaved run by run.
// The target reports the arrival of the first and the last character itself.
// Usage (under the test display and prefix): zan_typing_bench.exe [runs]

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "type_target_client_win32.h"
#include "typing_floor_win32.h"
#include "wedge/addcntlcode.h"
#include "wedge/send_input_keys.h"

namespace {

using typing_floor::kTrack1;
using typing_floor::kTrack2;
using typing_floor::kTrack3;
using typing_floor::Percentile;

struct Samples {
  const char* name;
  std::vector<double> last, first, inside;
  int bad = 0;
};

std::wstring Escaped(std::wstring text) { return wedge::Addcntlcode(text, nullptr); }

std::string Narrow(const std::wstring& w) { return std::string(w.begin(), w.end()); }

}  // namespace

int main(int argc, char** argv) {
  const int runs = argc > 1 ? std::atoi(argv[1]) : 30;
  wchar_t self[MAX_PATH];
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  std::wstring exe = self;
  exe = exe.substr(0, exe.find_last_of(L'\\') + 1) + L"zan_type_target.exe";

  type_target::Target target;
  if (!target.Start(exe) || !type_target::Xdotool("mousemove 300 300 click 1") || !target.Focus()) {
    std::fprintf(stderr, "cannot start the typing target\n");
    return 1;
  }

  const std::wstring keys = L"{%}" + Escaped(kTrack1) + L"?~;" + Escaped(kTrack2) + L"?~;" +
                            Escaped(kTrack3) + L"?~";
  const std::wstring typed = L"%" + kTrack1 + L"?\n;" + kTrack2 + L"?\n;" + kTrack3 + L"?\n";
  std::wstring box;
  for (wchar_t c : typed) box += c == L'\n' ? std::wstring(L"\r\n") : std::wstring(1, c);
  const std::string xdotool = "printf '%s\\n%s\\n%s\\n' '%" + Narrow(kTrack1) + "?' ';" +
                              Narrow(kTrack2) + "?' ';" + Narrow(kTrack3) +
                              "?' | xdotool type --delay 0 --file -";

  Samples ours{"SendKeys (ours)", {}, {}, {}}, floor{"bare SendInput, Unicode", {}, {}, {}},
      xdo{"xdotool type --delay 0", {}, {}, {}};
  wedge::SendInputKeys output;
  std::vector<INPUT> records = typing_floor::UnicodeRecords(typed);

  double warmup[3] = {};
  // Run 0 warms up (the first call of a process loads the keyboard tables) and is not counted.
  for (int run = -1; run < runs; ++run) {
    for (int k = 0; k < 3; ++k) {
      const int method = (run + 3 + k) % 3;  // rotate the order from run to run
      Samples& s = method == 0 ? ours : method == 1 ? floor : xdo;
      target.Focus();
      target.Arm(static_cast<std::int32_t>(box.size()));
      Sleep(30);
      const std::int64_t t0 = type_target::Now();
      bool ok = true;
      if (method == 0) {
        ok = output.SendKeys(keys);
      } else if (method == 1) {
        ok = typing_floor::TypeBare(records);
      } else {
        ok = type_target::RunLinux(xdotool);
      }
      const std::int64_t t1 = type_target::Now();
      const bool arrived_all = target.WaitDone(20000);
      if (!ok) std::fprintf(stderr, "%s, run %d: the call failed\n", s.name, run + 1);
      ok = arrived_all && ok;
      const type_target::Shared& sh = target.shared();
      const std::wstring arrived = target.Text();
      if (run < 0) {
        warmup[method] = type_target::Milliseconds(t1 - t0);
        continue;
      }
      if (!ok || arrived != box) {
        if (!s.bad++) {
          std::fprintf(stderr, "%s, run %d: %s\n%s\n", s.name, run + 1,
                       ok ? "text differs" : "failed or incomplete", Narrow(arrived).c_str());
        }
        continue;
      }
      s.last.push_back(type_target::Milliseconds(sh.done - t0));
      s.first.push_back(type_target::Milliseconds(sh.first_change - t0));
      if (method != 2) s.inside.push_back(type_target::Milliseconds(t1 - t0));
    }
  }

  std::printf("%d runs, %zu characters typed (%zu keystroke-notation characters)\n", runs,
              typed.size(), keys.size());
  std::printf("%-26s %10s %10s %11s %12s %8s\n", "method", "last med", "last p95", "first med",
              "in call med", "inexact");
  for (const Samples* s : {&ours, &floor, &xdo}) {
    char inside[32] = "-";
    if (!s->inside.empty()) std::snprintf(inside, sizeof inside, "%.2f ms", Percentile(s->inside, 0.5));
    std::printf("%-26s %7.1f ms %7.1f ms %8.2f ms %12s %8d\n", s->name, Percentile(s->last, 0.5),
                Percentile(s->last, 0.95), Percentile(s->first, 0.5), inside, s->bad);
  }
  std::printf("uncounted first round, time in call: ours %.2f ms, bare SendInput %.2f ms\n",
              warmup[0], warmup[1]);
  const double floor_med = Percentile(floor.last, 0.5);
  if (floor_med > 0) {
    std::printf("last character, median: ours %.3f x the floor, xdotool %.3f x the floor\n",
                Percentile(ours.last, 0.5) / floor_med, Percentile(xdo.last, 0.5) / floor_med);
  }
  return ours.bad + floor.bad + xdo.bad ? 2 : 0;
}
