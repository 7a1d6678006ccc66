// The keystroke plan on the test layouts: a card's text arrives exactly, and whatever the text
// asks, every key the plan presses is released, the user's held keys and Caps Lock are put back,
// and no menu opens.
//
// Input: byte 0 picks the layout (low bits), Caps Lock (0x80) and whether the rest is a card's
// track, escaped and followed by an Enter (0x40), or keystroke notation as it stands; byte 1 the
// modifier keys the user holds; the rest is the text.

#include <set>
#include <string>
#include <vector>

#include "fuzz/fuzz_input.h"
#include "unit/fake_layouts.h"
#include "wedge/addcntlcode.h"
#include "wedge/keystroke_notation.h"
#include "wedge/keystroke_plan.h"

namespace {

testing_fakes::FakeLayout LayoutOf(std::uint8_t which) {
  switch (which % 5) {
    case 0: return testing_fakes::UsEnglish();
    case 1: return testing_fakes::UkEnglish();
    case 2: return testing_fakes::German();
    case 3: return testing_fakes::French();
    default: return testing_fakes::UsInternational();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  namespace vk = wedge::vk;
  static const std::uint8_t kModifierKeys[] = {vk::kLShift, vk::kRShift, vk::kLControl,
                                               vk::kRControl, vk::kLMenu, vk::kRMenu,
                                               vk::kLWin,   vk::kRWin};
  testing_fakes::FakeLayout layout = LayoutOf(data[0] & 0x3F);
  wedge::KeyboardState state;
  state.caps_lock = (data[0] & 0x80) != 0;
  for (int i = 0; i < 8; ++i) {
    if (data[1] & (1u << i)) state.held.push_back(kModifierKeys[i]);
  }
  const bool card = (data[0] & 0x40) != 0;
  std::wstring text = card ? fuzz::PrintableTextOf(data + 2, size - 2) : fuzz::TextOf(data + 2, size - 2);
  const std::wstring track = text;
  if (card) text = wedge::Addcntlcode(text, nullptr) + L"~";

  const auto keys = wedge::ParseKeystrokes(text);
  if (!keys) {
    FUZZ_CHECK(!card);
    return 0;
  }
  const std::vector<wedge::KeyEvent> events = wedge::PlanKeystrokes(*keys, layout, state);
  const testing_fakes::TypedResult typed = testing_fakes::TypeOn(layout, events, state);

  FUZZ_CHECK(typed.down == std::set<std::uint8_t>(state.held.begin(), state.held.end()));
  FUZZ_CHECK(typed.caps_lock == state.caps_lock);
  FUZZ_CHECK(!typed.bad_scan);
  FUZZ_CHECK(typed.text.find(L"<menu>") == std::wstring::npos);
  FUZZ_CHECK(typed.text.find(L"<start>") == std::wstring::npos);
  if (card) FUZZ_CHECK(typed.text == track + L"\n");
  return 0;
}
