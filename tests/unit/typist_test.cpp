#include "wedge/typist.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

namespace {

using wedge::WindowId;

// The desk a card is typed on: windows 1 (the till, "till.exe") and 2 (a chat program), and 3,
// one of this program's own; the keys that arrive, a clock and a timer the test turns by hand,
// and a clipboard that another program may hold open or read. What happens is written to `log`:
// "1:ab~" keys into window 1 (">" the Tab key, "~" Enter), "1:^v" Ctrl+V, "offer", "give:ab" the
// text given to the asker, "asked:nothing" an asker given nothing, "back" the earlier text put
// back, "!" the cue, "#1012" an event, "fine"/"coarse" the fine timer period.
struct Desk : wedge::KeyInjector, wedge::Timer, wedge::Clock, wedge::Clipboard, wedge::UserCue {
  WindowId front = 1;
  std::map<WindowId, std::wstring> programs = {{1, L"till.exe"}, {2, L"chat.exe"}, {3, L"ours.exe"}};
  std::wstring log;
  double now = 0;
  std::optional<unsigned> timer;  // when set, the timer runs out that many ms from now
  bool no_timer = false;          // the next Start fails
  bool held = false;              // another program holds the clipboard open
  bool offered = false, given = false;
  std::optional<std::wstring> clipboard = L"earlier";
  std::uint32_t asker = 0;

  void Note(const std::wstring& what) { log += (log.empty() ? L"" : L" ") + what; }

  // KeyInjector
  WindowId FrontWindow() override { return front; }
  std::uint32_t ProcessOf(WindowId w) override { return static_cast<std::uint32_t>(100 + w); }
  std::wstring ProgramOf(WindowId w) override { return programs[w]; }
  wedge::TypingVerdict Judge(WindowId w) override {
    return w == 3 ? wedge::TypingVerdict::OwnWindow : wedge::TypingVerdict::Type;
  }
  bool Inject(const std::vector<wedge::KeyStroke>& keys, bool unicode) override {
    std::wstring typed = std::to_wstring(front) + (unicode ? L"u:" : L":");
    for (const wedge::KeyStroke& k : keys) typed += k.enter ? L'~' : k.ch == L'\t' ? L'>' : k.ch;
    Note(typed);
    return true;
  }
  bool PressPaste() override {
    Note(std::to_wstring(front) + L":^v");
    return true;
  }
  // Timer and Clock
  bool Start(unsigned ms) override {
    if (std::exchange(no_timer, false)) return false;
    timer = ms;
    return true;
  }
  void Stop() override { timer.reset(); }
  void Fine(bool on) override { Note(on ? L"fine" : L"coarse"); }
  double NowMs() override { return now; }
  wedge::CalendarDate Today() override { return {2026, 12, 10}; }
  void Sleep(unsigned ms) override { now += ms; }
  // Clipboard
  Outcome Keep(std::optional<std::wstring>& text) override {
    if (held) return Outcome::Held;
    text = clipboard;
    return Outcome::Done;
  }
  Outcome Offer() override {
    if (held) return Outcome::Held;
    Note(L"offer");
    offered = true;
    clipboard.reset();
    return Outcome::Done;
  }
  bool Free() override { return !held; }
  std::uint32_t Asker() override { return asker; }
  bool Render(const std::wstring& text) override {
    given = true;
    Note(L"give:" + text);
    return true;
  }
  Outcome PutBack(const std::optional<std::wstring>& earlier) override {
    if (held) return Outcome::Held;
    Note(L"back");
    offered = false;
    clipboard = earlier;
    return Outcome::Done;
  }
  // UserCue
  void CardNotTyped() override { Note(L"!"); }
  void IdChecked(wedge::IdVerdict verdict, unsigned min_age) override {
    Note(wedge::IdNotice(verdict, min_age));
  }
  void Trouble(wedge::TypingTrouble t, const std::wstring&, const std::wstring&) override {
    const int ids[] = {1010, 1011, 1012, 1013, 1012};
    Note(L"#" + std::to_wstring(ids[static_cast<int>(t)]));
  }
};

struct Case {
  const char* name;
  std::vector<wedge::StoredRule> rules;
  const char* script;
  const wchar_t* log;
  const wchar_t* clipboard = L"earlier";  // "(offer)": the offer is still on it
};

void PrintTo(const Case& c, std::ostream* os) { *os << c.name; }

class TypistTable : public ::testing::TestWithParam<Case> {
 protected:
  // Runs a script, a letter a step: "S" a card swiped into the window in front and whole ("s":
  // still being framed, "E": the oldest of those whole), "1" "2" "3" that window to the front,
  // "t" the timer runs out, "W" it runs out again and again for 3 s, "T" the till asks for the
  // offered text, "O" another program does, "H" / "h" another program holds the clipboard open
  // and lets it go, "C" another program puts its own data on it, "N" the next timer cannot be
  // had, "I" an ID card of unknown age swiped, "X" the program ends.
  void Run(const char* script) {
    std::vector<wedge::Typist::CardId> open;
    const std::wstring texts[] = {L"ab~", L"cd~", L"ef~"};
    int swiped = 0;
    for (const char* s = script; *s; ++s) {
      switch (*s) {
        case 'S':
        case 's': {
          const wedge::Typist::CardId card = typist.CardSwiped();
          typist.SendKeys(card, texts[swiped++ % 3]);
          if (*s == 'S') typist.EndCard(card);
          else open.push_back(card);
          break;
        }
        case 'E':
          typist.EndCard(open.front());
          open.erase(open.begin());
          break;
        case '1': case '2': case '3': desk.front = static_cast<WindowId>(*s - '0'); break;
        case 't': Elapse(); break;
        case 'W':
          for (const double until = desk.now + 3000; desk.timer && desk.now < until;) Elapse();
          break;
        case 'T': case 'O':
          desk.asker = *s == 'T' ? 101 : 555;
          desk.given = false;
          typist.RenderRequested();
          if (!desk.given) desk.Note(L"asked:nothing");
          break;
        case 'H': desk.held = true; break;
        case 'h': desk.held = false; break;
        case 'C':
          desk.offered = false;
          desk.clipboard = L"another's";
          typist.ClipboardTaken();
          break;
        case 'N': desk.no_timer = true; break;
        case 'I': {  // an ID card whose birth date is no calendar date (month 13)
          const wedge::Typist::CardId card = typist.CardSwiped();
          typist.SendKeys(card, L"x");
          wedge::CardTexts texts;
          texts[wedge::CardField::Track2] = L"636014123=491219901315=";
          typist.CardFields(card, texts);
          typist.EndCard(card);
          break;
        }
        case 'X':
          ending.Begin();
          typist.Stop();
          break;
      }
    }
  }
  void Elapse() {
    if (!desk.timer) return;
    desk.now += *std::exchange(desk.timer, std::nullopt);
    typist.TimerElapsed();
  }

  Desk desk;
  wedge::Ending ending;
  wedge::Typist typist{desk, desk, desk, desk, ending, &desk, [] { return GetParam().rules; }};
};

TEST_P(TypistTable, TypesEachCardIntoItsOwnWindowInTurn) {
  Run(GetParam().script);
  EXPECT_EQ(desk.log, GetParam().log);
  EXPECT_EQ(desk.offered ? L"(offer)" : desk.clipboard.value_or(L"(empty)"), GetParam().clipboard);
}

const std::vector<wedge::StoredRule> kPaced = {{L"TILL.EXE", L"delay=10"}};
const std::vector<wedge::StoredRule> kPaste = {{L"till.exe", L"keys=paste"}};

INSTANTIATE_TEST_SUITE_P(
    Cards, TypistTable,
    ::testing::Values(
        // The queue and the window of each card.
        Case{"WithoutRulesAtOnce", {}, "SS", L"1:ab~ 1:cd~"},
        Case{"CardsFramedMeanwhileWaitTheirTurn", {}, "ssSEE", L"1:ab~ 1:cd~ 1:ef~"},
        Case{"NotTypedWhereAnotherWindowCameInFront", {}, "s2E", L"! #1012"},
        Case{"NotIntoOurOwnWindow", {}, "3S", L"!"},
        Case{"WaitingCardKeepsItsWindowAndRule", kPaced, "S2Sttt", L"fine 1:a ! #1012 coarse 2:cd~"},
        Case{"WaitingCardDroppedWhenItsWindowLeftTheFront", kPaced, "SSt2ttt",
             L"fine 1:a 1:b ! #1012 coarse ! #1012"},
        // Paced: a key a step, nothing more once another window is in front.
        Case{"PacedKeyByKey", kPaced, "Sttt", L"fine 1:a 1:b 1:~ coarse"},
        Case{"PacedWithoutATimer", kPaced, "NS", L"fine 1:a ! #1012 coarse"},
        Case{"PacedStopsAtTheEnd", kPaced, "SSXttt", L"fine 1:a coarse"},
        // Pasted: given only to the till in front, the earlier text back after each text.
        Case{"PastedWithTheEarlierTextBack", kPaste, "StTt", L"offer 1:^v give:ab back 1:~"},
        Case{"OtherAskersGetNothing", kPaste, "SOtOTt", L"offer asked:nothing 1:^v asked:nothing give:ab back 1:~"},
        Case{"NotTakenInTimeNothingBackBeforeItAsks", kPaste, "Stt", L"offer 1:^v", L"(offer)"},
        Case{"NotTakenInTime", kPaste, "SttT", L"offer 1:^v back ! #1013 asked:nothing"},
        Case{"TillNoLongerInFront", kPaste, "St2T1tt", L"offer 1:^v asked:nothing back ! #1013"},
        Case{"HeldBeforeCtrlVNoKeys", kPaste, "SHWhW", L"offer back ! #1013"},
        Case{"HeldAfterTakenCardsWait", kPaste, "StTHSWhttTt",
             L"offer 1:^v give:ab back 1:~ offer 1:^v give:cd back 1:~"},
        Case{"AnotherProgramsDataStays", kPaste, "StC", L"offer 1:^v ! #1013", L"another's"},
        Case{"PasteWithoutATimer", kPaste, "NS", L"offer back ! #1013"},
        Case{"EndWhilePasting", kPaste, "StTX", L"offer 1:^v give:ab back ! #1013"},
        Case{"EndWhileHeldWaits1sAtMost", kPaste, "StTHX", L"offer 1:^v give:ab ! #1013", L"(offer)"},
        // An age that cannot be read is no age at all.
        Case{"IdOfUnknownAgeIsNotOldEnough", {{L"*", L"type=no; min-age=21"}}, "I", L"ID: UNDER 21 !"}),
    [](const ::testing::TestParamInfo<Case>& info) { return std::string(info.param.name); });

}  // namespace
