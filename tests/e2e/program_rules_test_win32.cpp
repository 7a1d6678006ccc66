// Typing rules per program, written to the registry as a shop's IT writes them: copies of the
// typing target under the file names of remote-session clients and browsers stand for those
// programs, each card swiped while one of them is in front.

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "e2e/card_typing_win32.h"

namespace {

const e2e::Card kCard = {L"B4111111111111111^DOE/JOHN Q.MR^2912101000000000000000000000",
                         L"4111111111111111=29121010000000000000", L""};
// Sentinels, every track, one Enter after the card.
const e2e::StoredSettings kSettings =
    e2e::Settings({L"0", L"1", L"False", L"False", L"True", L"1", L"1", L"1", L"True", L"False"});

enum class Then { Typed, AsUnicode, Pasted, SwitchedMidCard };

struct Into {
  const wchar_t* program;  // the file name the target runs under
  const wchar_t* text;     // what it gets: nullptr the card framed as set, L"" nothing
  int pace_ms;             // > 0: no two characters closer than 80 % of it; < 0: in a burst
};

struct RuleCase {
  const char* name;
  e2e::TypingRules user, policy;
  std::vector<Into> into;  // started in this order, the card swiped into each
  Then then;
  const wchar_t* tip;  // the tray tip afterwards, when checked
};

void PrintTo(const RuleCase& c, std::ostream* os) { *os << c.name; }

const RuleCase kCases[] = {
    {"PacedProgramBesideOneWithoutARule", {{L"MSTSC.exe", L" delay = 25 ; keys=layout"}}, {},
     {{L"mstsc.exe", nullptr, 25}, {L"zan_type_target.exe", nullptr, -25}}, Then::Typed, nullptr},
    {"NoProgramButOneAllowed", {{L"*", L"type=no"}, {L"wfica32.exe", L"type=yes"}}, {},
     {{L"chrome.exe", L"", 0}, {L"wfica32.exe", nullptr, 0}}, Then::Typed, nullptr},
    {"TemplateWithFieldsAndTab",
     {{L"*", L"template={AccountNumber}{Tab}{ExpirationDate}{Tab}{FirstName} {MiddleInitial} {Surname} {ServiceCode}{{}1{}}{Enter}"}},
     {}, {{L"chrome.exe", L"4111111111111111\t2912\tJOHN Q DOE 101{1}\r\n", 0}}, Then::Typed, nullptr},
    {"UnicodeKeys", {{L"vmware-view.exe", L"keys=unicode"}}, {}, {{L"vmware-view.exe", nullptr, 0}},
     Then::AsUnicode, nullptr},
    {"Paste", {{L"*", L"keys=paste"}}, {}, {{L"wfica32.exe", nullptr, 0}}, Then::Pasted, nullptr},
    // The first target is brought to the front once the second got its first character.
    {"WindowSwitchedMidPacedCard", {{L"mstsc.exe", L"delay=50"}}, {},
     {{L"zan_type_target.exe", L"", 0}, {L"mstsc.exe", nullptr, 50}}, Then::SwitchedMidCard, nullptr},
    {"UnreadableRule", {{L"chrome.exe", L"delay=25;colour=red"}}, {}, {{L"chrome.exe", L"", 0}},
     Then::Typed, L"ZAN MCR - typing rule for chrome.exe is wrong"},
    {"PolicyListReplacesTheUsersRules", {{L"*", L"type=no"}}, {{L"*", L"template={Track2}{Enter}"}},
     {{L"chrome.exe", L"4111111111111111=29121010000000000000\r\n", 0}}, Then::Typed, nullptr},
};

std::wstring ClipboardText() {
  std::wstring text;
  if (!OpenClipboard(nullptr)) return L"(clipboard busy)";
  if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
    if (const auto* p = static_cast<const wchar_t*>(GlobalLock(data))) text = p;
    GlobalUnlock(data);
  }
  CloseClipboard();
  return text;
}

class TypingRules : public e2e::CardTypingTest, public ::testing::WithParamInterface<RuleCase> {
 protected:
  void TearDown() override {
    targets.clear();
    for (const Into& into : GetParam().into) DeleteFileW((dir + into.program).c_str());
    RemoveDirectoryW(dir.c_str());
    e2e::CardTypingTest::TearDown();
  }

  std::vector<std::unique_ptr<type_target::Target>> targets;
  std::wstring dir = [] {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    return std::wstring(temp) + L"zan-rules-" + std::to_wstring(GetCurrentProcessId()) + L"\\";
  }();
};

TEST_P(TypingRules, DecideWhatEachProgramGets) {
  const RuleCase& c = GetParam();
  SetTypingRules(c.user, c.policy);
  const std::vector<HWND> icons_before = e2e::TrayIconWindows();
  ASSERT_NO_FATAL_FAILURE(StartWith(program, kSettings));
  ASSERT_TRUE(e2e::WaitFor([&] { return !IsWindowVisible(program.Window()); }, 5000));
  CreateDirectoryW(dir.c_str(), nullptr);
  for (const Into& into : c.into) {
    CopyFileW(e2e::TypeTargetExe().c_str(), (dir + into.program).c_str(), TRUE);  // once per name
    targets.push_back(std::make_unique<type_target::Target>());
    ASSERT_NO_FATAL_FAILURE(ShowTarget(*targets.back(), L"--chars", dir + into.program));
  }
  const std::wstring card = e2e::ExpectedText(kSettings, kCard), earlier = L"copied before the card";
  if (c.then == Then::Pasted) targets.back()->SetClipboard(earlier);
  // Switched mid card, the card goes to the last started; the first is brought forward.
  const bool switched = c.then == Then::SwitchedMidCard;
  for (std::size_t i = switched ? c.into.size() - 1 : 0; i < c.into.size(); ++i) {
    type_target::Target& target = *targets[i];
    const Into& into = c.into[i];
    const std::wstring expected = into.text ? into.text : card;
    const unsigned paced_ms = static_cast<unsigned>(card.size() * std::max(into.pace_ms, 0));
    ASSERT_TRUE(target.Focus());
    if (switched) targets.front()->Arm(1);
    target.Arm(static_cast<std::int32_t>(expected.empty() ? 1 : expected.size()));
    ASSERT_EQ(e2e::Swipe(e2e::SwipeArgs(kCard)), 0);
    if (switched) {
      ASSERT_TRUE(e2e::WaitFor([&] { return target.shared().length > 0; }, 10000));
      ASSERT_TRUE(targets.front()->Focus());
      EXPECT_FALSE(targets.front()->WaitDone(paced_ms + 2000)) << "the window switched to got keys";
      const std::wstring got = target.Text();
      EXPECT_LT(got.size(), expected.size());
      EXPECT_EQ(got, expected.substr(0, got.size()));
      break;
    }
    EXPECT_EQ(target.WaitDone(expected.empty() ? 1500 : paced_ms + 20000), !expected.empty());
    EXPECT_EQ(target.Text(), expected) << "into " << std::string(into.program, into.program + wcslen(into.program));
    std::vector<double> gaps;
    const std::vector<std::int64_t> stamps = target.Stamps();
    for (std::size_t k = 1; k < stamps.size(); ++k)  // the message clock wraps at 2^32 ms
      gaps.push_back(static_cast<std::int32_t>(static_cast<std::uint32_t>(stamps[k] - stamps[k - 1])));
    std::sort(gaps.begin(), gaps.end());
    if (into.pace_ms > 0 && !gaps.empty()) {
      EXPECT_GE(gaps.front(), 0.8 * into.pace_ms);
    } else if (into.pace_ms < 0 && !gaps.empty()) {
      EXPECT_LT(gaps[gaps.size() / 2], 0.8 * -into.pace_ms) << "not in one burst";
    }
    std::wstring keys_left_out = expected;  // what is not typed as the Enter or Tab key
    keys_left_out.erase(std::remove_if(keys_left_out.begin(), keys_left_out.end(),
                                       [](wchar_t ch) { return ch == L'\r' || ch == L'\n' || ch == L'\t'; }),
                        keys_left_out.end());
    if (c.then == Then::AsUnicode) {
      EXPECT_EQ(target.shared().packets, static_cast<int>(keys_left_out.size())) << "keys not as Unicode";
    }
    if (c.then == Then::Pasted) {
      EXPECT_GE(target.shared().pastes, 1);
      EXPECT_EQ(std::wstring(target.shared().pasted), keys_left_out);
      EXPECT_EQ(target.shared().paste_formats,
                type_target::kExcludeFromMonitors | type_target::kNoHistory | type_target::kNoCloud);
      EXPECT_TRUE(e2e::WaitFor([&] { return ClipboardText() == earlier; }, 3000)) << "not put back";
    }
  }
  if (c.tip) {
    EXPECT_EQ(e2e::TrayTip(e2e::AddedIcon(icons_before)), c.tip);
  }
}

INSTANTIATE_TEST_SUITE_P(Rules, TypingRules, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<RuleCase>& info) { return std::string(info.param.name); });

}  // namespace
