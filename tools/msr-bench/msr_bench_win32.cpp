// msr-bench: how long a swipe of msr-swipe takes to reach the card data event handler.
//
//   msr-bench [swipes]      (default 50; the simulated reader must be registered)
//
// Hosts the reader like the program does (single-threaded apartment, message loop, the card
// handler with a form of plain values and keystrokes that go nowhere), then runs msr-swipe once
// per card. For each card it measures, on the performance counter that both processes share,
// from the moment msr-swipe hands the card to the reader's window to the entry into
// MSR1_DataEvent and to its end. It also gives the whole time of one msr-swipe run, process start
// included, as a user at a command line would see it.

#include <windows.h>
#include <ole2.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "reader/com_reader.h"
#include "reader/reader_session.h"
#include "shell/message_pump.h"
#include "shell/plain_card_form.h"
#include "sim_protocol.h"
#include "type_target_client_win32.h"
#include "wedge/card_event.h"

namespace {

class NoKeys : public wedge::KeystrokeOutput {
 public:
  CardId CardSwiped() override { return 1; }
  bool SendKeys(CardId, const std::wstring&) override { return true; }
  void EndCard(CardId) override {}
};

double Ms(long long ticks, long long frequency) { return 1000.0 * static_cast<double>(ticks) / static_cast<double>(frequency); }

long long Now() {
  LARGE_INTEGER t;
  QueryPerformanceCounter(&t);
  return t.QuadPart;
}

void Report(const char* what, std::vector<double> ms) {
  if (ms.empty()) return;
  std::sort(ms.begin(), ms.end());
  std::printf("%-34s median %7.3f ms   min %7.3f   p90 %7.3f   max %7.3f   (n=%zu)\n", what,
              ms[ms.size() / 2], ms.front(), ms[ms.size() * 9 / 10], ms.back(), ms.size());
}

std::wstring SwipeExe() {
  wchar_t path[MAX_PATH];
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring p = path;
  return p.substr(0, p.find_last_of(L"\\/") + 1) + L"msr-swipe.exe";
}

// Runs msr-swipe once, pumping this thread's messages meanwhile; false when it failed.
bool RunSwipe(const std::wstring& exe) {
  const std::wstring command =
      L"\"" + exe + L"\" --track1 B4111111111111111^DOE/JOHN^2912101 --track2 4111111111111111=2912101";
  return type_target::RunProcess(command, 20000, &shell::DoEvents) == 0;
}

}  // namespace

int main(int argc, char** argv) {
  const int swipes = argc > 1 ? std::max(1, std::atoi(argv[1])) : 50;
  if (FAILED(OleInitialize(nullptr))) return 1;
  LARGE_INTEGER frequency;
  QueryPerformanceFrequency(&frequency);

  std::vector<double> to_entry, to_end, whole_run;
  long long sent_at = 0, entered_at = 0;
  int events = 0;
  wedge::CardEventHandler* handler = nullptr;
  // Times each data event from the swipe command's hand-over to the handler's entry and end.
  struct Timing : reader::ReaderEvents {
    std::function<void(std::int32_t)> on_data;
    void OnDataEvent(std::int32_t status) override { on_data(status); }
    void OnErrorEvent(std::int32_t, std::int32_t, std::int32_t) override {}
  } timing;
  reader::ComReader msr(timing, {reader::kMsrLibProgId});
  timing.on_data = [&](std::int32_t status) {
    entered_at = Now();
    reader::DispValue sent;
    if (handler) handler->MSR1_DataEvent(status);
    const long long done = Now();
    if (msr.Get(static_cast<reader::DispId>(msr_sim::kDispSwipeTime), sent)) {
      if (const auto* text = std::get_if<std::wstring>(&sent)) sent_at = std::wcstoll(text->c_str(), nullptr, 10);
    }
    to_entry.push_back(Ms(entered_at - sent_at, frequency.QuadPart));
    to_end.push_back(Ms(done - sent_at, frequency.QuadPart));
    ++events;
  };
  if (!msr.HasControl()) {
    std::fprintf(stderr, "msr-bench: no MSRLib.MSR of this bitness is registered (regsvr32 msr-sim.dll)\n");
    return 1;
  }
  shell::PlainCardForm form;
  NoKeys keys;
  const wedge::Ending ending;
  wedge::CardEventHandler card_handler(msr, form, keys, shell::DoEvents, ending);
  handler = &card_handler;
  reader::ReaderSession session;
  session.Start(msr);

  const std::wstring exe = SwipeExe();
  for (int i = 0; i < swipes; ++i) {
    const int before = events;
    const long long start = Now();
    if (!RunSwipe(exe)) {
      std::fprintf(stderr, "msr-bench: msr-swipe failed (reader result code %d)\n", session.iResult);
      break;
    }
    while (events == before) {
      shell::DoEvents();
      if (events == before) MsgWaitForMultipleObjects(0, nullptr, FALSE, 100, QS_ALLINPUT);
    }
    whole_run.push_back(Ms(Now() - start, frequency.QuadPart));
  }

  session.Stop(msr);
  msr.Release();
  Report("card sent -> MSR1_DataEvent entered", to_entry);
  Report("card sent -> MSR1_DataEvent done", to_end);
  Report("msr-swipe started -> card handled", whole_run);
  OleUninitialize();
  return 0;
}
