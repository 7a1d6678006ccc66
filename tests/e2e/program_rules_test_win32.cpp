// Typing rules per program, written to the registry as a shop's IT writes them: copies of the
// typing target under the file names of remote-session clients and browsers stand for those
// programs, each card swiped while one of them is in front.

#include <windows.h>
#include <aclapi.h>

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
  e2e::TypingRules machine = {};  // the computer's policy list
  bool policy_closed = false;     // the user's policy key closed to the user
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
    // Two cards swiped into the second target; the first is brought to the front once the
    // second got its first character: it gets nothing of either card.
    {"WindowSwitchedMidPacedCard", {{L"mstsc.exe", L"delay=50"}}, {},
     {{L"zan_type_target.exe", L"", 0}, {L"mstsc.exe", nullptr, 50}}, Then::SwitchedMidCard, nullptr},
    {"UnreadableRule", {{L"chrome.exe", L"delay=25;colour=red"}}, {}, {{L"chrome.exe", L"", 0}},
     Then::Typed, L"ZAN MCR - typing rule for chrome.exe is wrong"},
    {"PolicyListReplacesTheUsersRules", {{L"*", L"type=no"}}, {{L"*", L"template={Track2}{Enter}"}},
     {{L"chrome.exe", L"4111111111111111=29121010000000000000\r\n", 0}}, Then::Typed, nullptr},
    // The user's list cannot be read: the computer's "*" must not stand in for what it held.
    {"OnePolicyKeyUnreadable", {}, {{L"chrome.exe", L"type=yes"}}, {{L"chrome.exe", L"", 0}}, Then::Typed,
     L"ZAN MCR - typing rule for * is wrong", {{L"*", L"type=yes"}}, true},
};

// Denies everyone the reading of the user's policy list.
void CloseUserPolicyKey() {
  constexpr wchar_t kUserPolicyRules[] = L"Software\\Policies\\Halvane\\ZANKeyboardWedge\\Targets";
  HKEY key;
  ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, kUserPolicyRules, 0, WRITE_DAC, &key), ERROR_SUCCESS);
  EXPLICIT_ACCESSW deny{};
  deny.grfAccessPermissions = KEY_QUERY_VALUE;
  deny.grfAccessMode = DENY_ACCESS;
  deny.Trustee.TrusteeForm = TRUSTEE_IS_NAME;
  deny.Trustee.ptstrName = const_cast<wchar_t*>(L"EVERYONE");
  PACL acl = nullptr;
  ASSERT_EQ(SetEntriesInAclW(1, &deny, nullptr, &acl), ERROR_SUCCESS);
  EXPECT_EQ(SetSecurityInfo(key, SE_REGISTRY_KEY, DACL_SECURITY_INFORMATION, nullptr, nullptr, acl, nullptr),
            ERROR_SUCCESS);
  LocalFree(acl);
  RegCloseKey(key);
}

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
    e2e::CardTypingTest::TearDown();
  }

  e2e::ProgramCopies copies;
  std::vector<std::unique_ptr<type_target::Target>> targets;
};

TEST_P(TypingRules, DecideWhatEachProgramGets) {
  const RuleCase& c = GetParam();
  SetTypingRules(c.user, c.policy, c.machine);
  if (c.policy_closed) {
    ASSERT_NO_FATAL_FAILURE(CloseUserPolicyKey());
  }
  const std::vector<HWND> icons_before = e2e::TrayIconWindows();
  ASSERT_NO_FATAL_FAILURE(StartWith(program, kSettings));
  ASSERT_TRUE(e2e::WaitFor([&] { return !IsWindowVisible(program.Window()); }, 5000));
  for (const Into& into : c.into) {
    targets.push_back(std::make_unique<type_target::Target>());
    ASSERT_NO_FATAL_FAILURE(ShowTarget(*targets.back(), L"--chars", copies.Of(into.program)));
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
      // A second card waits behind the first, bound to the same window.
      ASSERT_EQ(e2e::Swipe(e2e::SwipeArgs(kCard)), 0);
      ASSERT_TRUE(e2e::WaitFor([&] { return target.shared().length > 0; }, 10000));
      ASSERT_TRUE(targets.front()->Focus());
      EXPECT_FALSE(targets.front()->WaitDone(2 * paced_ms + 2000)) << "the window switched to got keys";
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

// Cards pasted into a remote-session client (a copy of the typing target named wfica32.exe) while
// other programs use the clipboard too.
class PastedCards : public e2e::CardTypingTest {
 protected:
  void SetUp() override {
    e2e::CardTypingTest::SetUp();
    SetTypingRules({{L"wfica32.exe", L"keys=paste"}});
    icons_before = e2e::TrayIconWindows();
    ASSERT_NO_FATAL_FAILURE(StartWith(program, kSettings));
    ASSERT_TRUE(e2e::WaitFor([&] { return !IsWindowVisible(program.Window()); }, 5000));
  }
  void TearDown() override {
    till.Stop();
    tool.Stop();
    e2e::CardTypingTest::TearDown();
  }

  const std::wstring card = e2e::ExpectedText(kSettings, kCard);
  const std::wstring earlier = L"copied before the card";
  std::vector<HWND> icons_before;
  e2e::ProgramCopies copies;
  type_target::Target till, tool;
};

// A clipboard tool reads the clipboard at every change, whatever formats ask it not to, and holds
// it open 2.5 s the first time; the till takes its paste late. The tool gets nothing of a card,
// the till a card exactly or nothing, and the clipboard ends with the text copied before.
TEST_F(PastedCards, GoOnlyToTheTillBesideAClipboardTool) {
  ASSERT_NO_FATAL_FAILURE(ShowTarget(till, L"--chars --paste-late=800", copies.Of(L"wfica32.exe")));
  till.SetClipboard(earlier);
  ASSERT_TRUE(tool.Start(copies.Of(L"cliptool.exe"), L"--clipboard-tool=2500"));
  ASSERT_TRUE(till.Focus());
  for (int swipe = 1; swipe <= 2; ++swipe) {
    SCOPED_TRACE(swipe);
    till.Arm(static_cast<std::int32_t>(card.size()));
    ASSERT_EQ(e2e::Swipe(e2e::SwipeArgs(kCard)), 0);
    // The first card: the tool holds the clipboard longer than a till may take to take it.
    EXPECT_EQ(till.WaitDone(6000), swipe == 2);
    const std::wstring got = till.Text();
    EXPECT_TRUE(got.empty() || got == card) << e2e::Narrow(got);
    EXPECT_TRUE(e2e::WaitFor([&] { return ClipboardText() == earlier; }, 5000)) << e2e::Narrow(ClipboardText());
  }
  const std::wstring seen = tool.shared().clipboard_seen;
  EXPECT_GE(tool.shared().clipboard_reads, 2);
  EXPECT_EQ(seen.find(L"4111"), std::wstring::npos) << e2e::Narrow(seen);
}

// Exit from the icon's menu while the till holds the clipboard open, reading a pasted text: the
// program waits for it, then puts the text copied before back.
TEST_F(PastedCards, ExitDuringAPasteLeavesTheEarlierText) {
  ASSERT_NO_FATAL_FAILURE(ShowTarget(till, L"--chars --paste-hold", copies.Of(L"wfica32.exe")));
  till.SetClipboard(earlier);
  till.HoldPaste(true);
  till.Arm(1);
  ASSERT_EQ(e2e::Swipe(e2e::SwipeArgs(kCard)), 0);
  ASSERT_TRUE(e2e::WaitFor([&] { return till.shared().holding != 0; }, 5000)) << "no paste";
  const HWND menu = e2e::RightClickIcon(program, icons_before);
  ASSERT_NE(menu, nullptr);
  RECT r{};
  GetWindowRect(menu, &r);  // "Exit" is the last item
  ASSERT_TRUE(type_target::Xdotool("mousemove " + e2e::At({(r.left + r.right) / 2, r.bottom - 8}) + " click 1"));
  Sleep(500);  // the program is ending meanwhile
  till.HoldPaste(false);
  ASSERT_TRUE(program.WaitExit().has_value());
  EXPECT_EQ(ClipboardText(), earlier);
}

}  // namespace
