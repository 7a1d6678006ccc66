// The demo behind the run command: with the program running and the simulated reader open in it,
// opens a text window (the typing target), swipes a few sample cards with msr-swipe while that
// window is active, and prints, card by card, what was expected beside what arrived in it.
// With a file name given it also saves a picture of the screen (ImageMagick's import) while the
// text window still shows the last card.
//
//   zan_wedge_demo.exe [SCREENSHOT.png]
//
// It expects the program's default settings: every track, sentinels, no Enter. Exit code 0 when
// every card arrived exactly, 1 when one did not, 2 when the demo could not run.

#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "sim_protocol.h"
#include "type_target_client_win32.h"

namespace {

// Test card numbers and made-up identity data only.
struct SampleCard {
  const char* name;
  std::wstring track1, track2, track3;
};

const std::vector<SampleCard>& SampleCards() {
  static const std::vector<SampleCard> cards = {
      {"Visa, three tracks", L"B4111111111111111^DOE/JOHN Q^2912101000000000000000",
       L"4111111111111111=29121010000000000000",
       L"011234567890123445=724724100000000000030300020040400099010"},
      {"Mastercard, tracks 1 and 2", L"B5555555555554444^SMITH/ANNA^2805101000000000",
       L"5555555555554444=28051010000000000000", L""},
      {"Amex, tracks 1 and 2", L"B378282246310005^ROE/RICHARD^2707101000000000",
       L"378282246310005=270710100000000", L""},
      {"Visa, track 2 only", L"", L"4111111111111111=31121010000000000000", L""},
      // Track 3: versions, postal code, class, restrictions, endorsements, sex, height, weight,
      // hair and eyes, in their fixed widths.
      {"Driver's licence, three tracks", L"CAANYTOWN^DOE$JANE$Q^123 SAMPLE ST^",
       L"6360149876543210=300819900515=", L"0112345      C               F505130BRNBLU"},
  };
  return cards;
}

// What the program types for a card with its default settings: each track that the card has,
// in the order 1, 2, 3, between its start and end sentinels, with no Enter.
std::wstring Expected(const SampleCard& card) {
  std::wstring out;
  if (!card.track1.empty()) out += L"%" + card.track1 + L"?";
  if (!card.track2.empty()) out += L";" + card.track2 + L"?";
  if (!card.track3.empty()) out += L";" + card.track3 + L"?";
  return out;
}

std::wstring Here() {
  wchar_t path[MAX_PATH];
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring p = path;
  return p.substr(0, p.find_last_of(L"\\/") + 1);
}

// Runs msr-swipe for one card; its exit code, or -1 when it could not be started.
int Swipe(const SampleCard& card) {
  std::wstring cmd = L"\"" + Here() + L"msr-swipe.exe\"";
  const std::pair<const wchar_t*, const std::wstring*> tracks[] = {
      {L"--track1", &card.track1}, {L"--track2", &card.track2}, {L"--track3", &card.track3}};
  for (const auto& t : tracks) {
    if (!t.second->empty()) cmd += std::wstring(L" ") + t.first + L" \"" + *t.second + L"\"";
  }
  return type_target::RunProcess(cmd, 15000);
}

std::string Narrow(const std::wstring& w) {
  std::string out;
  for (wchar_t c : w) out += c >= 0x20 && c < 0x7F ? static_cast<char>(c) : c == L'\r' ? '|' : c == L'\n' ? '/' : '#';
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string screenshot = argc > 1 ? argv[1] : "";

  // The program holds the simulated reader open and enabled once its start-up has run.
  const std::wstring reader_title = std::wstring(msr_sim::kWindowTitlePrefix) + msr_sim::kDefaultDevice;
  HWND reader = nullptr;
  for (int i = 0; i < 300 && !reader; ++i, Sleep(100)) {
    reader = FindWindowW(msr_sim::kWindowClass, reader_title.c_str());
  }
  if (!reader) {
    std::fprintf(stderr, "demo: no program has the simulated reader open\n");
    return 2;
  }
  // The settings window shows at start; its close box only hides it, as a user would.
  if (HWND form = FindWindowW(L"ZANKeyboardWedgeForm1", nullptr)) {
    SendMessageW(form, WM_SYSCOMMAND, SC_CLOSE, 0);
  }

  type_target::Target target;
  if (!target.Start(Here() + L"zan_type_target.exe")) {
    std::fprintf(stderr, "demo: cannot open the text window\n");
    return 2;
  }

  int exact = 0;
  const auto& cards = SampleCards();
  for (std::size_t i = 0; i < cards.size(); ++i) {
    const SampleCard& card = cards[i];
    const std::wstring expected = Expected(card);
    target.Focus();
    target.Arm(static_cast<std::int32_t>(expected.size()));
    const int swiped = Swipe(card);
    const bool complete = swiped == 0 && target.WaitDone(10000);
    Sleep(300);  // anything typed beyond the card would show now
    const std::wstring arrived = target.Text();
    const bool ok = complete && arrived == expected;
    exact += ok ? 1 : 0;
    std::printf("card %zu: %s\n  expected  %s\n  arrived   %s\n  %s", i + 1, card.name,
                Narrow(expected).c_str(), Narrow(arrived).c_str(), ok ? "OK" : "MISMATCH");
    if (swiped != 0) std::printf(" (msr-swipe exit code %d)", swiped);
    std::printf("\n");
    std::fflush(stdout);
  }
  std::printf("%d of %zu cards arrived exactly\n", exact, cards.size());

  if (!screenshot.empty() && !type_target::RunLinux("import -window root '" + screenshot + "'")) {
    std::fprintf(stderr, "demo: could not save the screenshot %s\n", screenshot.c_str());
  }
  return exact == static_cast<int>(cards.size()) ? 0 : 1;
}
