// A burst of cards swiped back to back, as at a busy counter: every card arrives whole, in order,
// once, with no character changed, in another process's window that keeps every character.

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "e2e/card_typing_win32.h"

namespace {

using e2e::Card;

constexpr int kCards = 500;

// Printable ASCII a track can carry through the simulated reader: all but "?", which ends a track
// there, and "%" or ";" at a track's start, which it takes for a start sentinel.
std::wstring Track(std::mt19937& random, std::size_t length) {
  std::wstring track;
  while (track.size() < length) {
    const wchar_t c = static_cast<wchar_t>(0x20 + random() % 95);
    if (c == L'?' || (track.empty() && (c == L'%' || c == L';'))) continue;
    track += c;
  }
  return track;
}

// The cards, from a fixed seed: the first holds every character a track can carry, every tenth a
// track 3 of full length, every seventh a realistic card of a test card number; some lack tracks.
std::vector<Card> BurstCards() {
  std::vector<Card> cards;
  std::wstring all;
  for (wchar_t c = 0x20; c < 0x7F; ++c) {
    if (c != L'?') all += c;
  }
  cards.push_back({L"B" + all.substr(0, 63), L"", all.substr(63)});
  const wchar_t* const numbers[] = {L"4111111111111111", L"5555555555554444", L"378282246310005"};
  std::mt19937 random(13);
  while (cards.size() < kCards) {
    const std::size_t n = cards.size();
    if (n % 7 == 0) {
      const std::wstring pan = numbers[n % 3];
      cards.push_back({L"B" + pan + L"^DOE/JOHN Q.MR^2912101000000000000000", pan + L"=29121010000000000000",
                       n % 2 ? L"" : L"011234567890123445=724724100000000000030300020040400099010"});
      continue;
    }
    Card card{Track(random, 1 + random() % 79), Track(random, random() % 41),
              Track(random, n % 10 == 0 ? 107 : random() % 108)};
    if (n % 5 == 0) card.track2.clear();
    cards.push_back(card);
  }
  return cards;
}

// Writes the cards as msr-swipe --cards reads them (UTF-8, tracks separated by tabs) and removes
// the file again: no card data stays on disk.
class CardFile {
 public:
  explicit CardFile(const std::vector<Card>& cards) {
    wchar_t dir[MAX_PATH];
    GetTempPathW(MAX_PATH, dir);
    // One name per bitness: a run that was killed leaves its file to the next one to remove.
    path_ = std::wstring(dir) + L"zan-burst-" + std::to_wstring(sizeof(void*) * 8) + L".txt";
    std::string text;
    for (const Card& c : cards) {
      for (const std::wstring* t : {&c.track1, &c.track2, &c.track3}) {
        for (wchar_t ch : *t) text += static_cast<char>(ch);  // ASCII only
        text += t == &c.track3 ? '\n' : '\t';
      }
    }
    HANDLE f = CreateFileW(path_.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    ok_ = f != INVALID_HANDLE_VALUE &&
          WriteFile(f, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
          written == text.size();
    if (f != INVALID_HANDLE_VALUE) CloseHandle(f);
  }
  ~CardFile() { DeleteFileW(path_.c_str()); }
  CardFile(const CardFile&) = delete;
  CardFile& operator=(const CardFile&) = delete;

  bool ok() const { return ok_; }
  const std::wstring& path() const { return path_; }

 private:
  std::wstring path_;
  bool ok_ = false;
};

class CardBurst : public e2e::CardTypingTest {};

TEST_F(CardBurst, EveryCardArrivesWholeInOrderOnce) {
  // Sentinels and one Enter after each card: every card ends in the only line break it makes.
  const e2e::StoredSettings settings =
      e2e::Settings({L"0", L"1", L"False", L"False", L"True", L"1", L"1", L"1", L"True", L"False"});
  ASSERT_NO_FATAL_FAILURE(StartHiddenWithTarget(settings, {}, true, L"--chars"));
  const std::vector<Card> cards = BurstCards();
  std::vector<std::wstring> expected;
  std::size_t total = 0;
  for (const Card& card : cards) {
    expected.push_back(e2e::ExpectedText(settings, card));
    total += expected.back().size();
  }
  const CardFile file(cards);
  ASSERT_TRUE(file.ok());

  const ULONGLONG start = GetTickCount64();
  target.Arm(static_cast<std::int32_t>(total));
  ASSERT_EQ(type_target::RunProcess(L"\"" + e2e::SwipeExe() + L"\" --cards \"" + file.path() + L"\"",
                                    120000),
            0);
  // Waits as long as characters keep coming; a lost card leaves the text short and it stalls.
  bool done = false;
  for (std::int32_t seen = -1; !done && target.shared().length != seen;) {
    seen = target.shared().length;
    done = target.WaitDone(10000);
  }
  const double seconds = (GetTickCount64() - start) / 1000.0;
  Sleep(500);  // anything typed beyond the expected length arrives too
  const std::wstring text = target.Text();

  std::vector<std::wstring> arrived;
  for (std::size_t begin = 0; begin < text.size();) {
    const std::size_t end = text.find(L"\r\n", begin);
    arrived.push_back(end == std::wstring::npos ? text.substr(begin) : text.substr(begin, end + 2 - begin));
    begin = end == std::wstring::npos ? text.size() : end + 2;
  }
  auto shown = [](const std::vector<std::wstring>& texts, std::size_t i) {
    return i < texts.size() ? std::string(texts[i].begin(), texts[i].end()) : std::string("(none)");
  };
  int wrong = 0;
  for (std::size_t i = 0; i < expected.size() || i < arrived.size(); ++i) {
    if (i < expected.size() && i < arrived.size() && arrived[i] == expected[i]) continue;
    if (++wrong <= 3) {
      ADD_FAILURE() << "card " << i << " expected: " << shown(expected, i) << "\n arrived: " << shown(arrived, i);
    }
  }
  std::printf("figure: cards checked %zu, wrong %d (%zu characters in %.1f s)\n", expected.size(), wrong,
              total, seconds);
  EXPECT_TRUE(done) << text.size() << " of " << total << " characters arrived";
  EXPECT_EQ(wrong, 0);
  EXPECT_EQ(text.size(), total);
}

}  // namespace
