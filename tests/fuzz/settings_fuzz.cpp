// The stored settings, as any text: each conversion gives a value its control accepts and a text
// that converts back to it; a load leaves every control with such a value and each option group
// with one selection; what the save writes loads again unchanged; and a combination the window
// can save is loaded exactly as stored.
//
// Input: the texts of the ten keys in load order, one a line; a line starting with 0x7F leaves
// its key absent, and so do lines missing at the end.

#include <array>
#include <optional>
#include <string>

#include "fuzz/fuzz_input.h"
#include "settings/settings_table.h"
#include "shell/form_model.h"
#include "unit/settings_fakes.h"

namespace {

using settings::Setting;
using settings::SettingKind;

std::optional<std::int16_t> Convert(SettingKind kind, const std::wstring& text) {
  return kind == SettingKind::CheckBox ? settings::ParseCheckBox(text) : settings::ParseOption(text);
}

void CheckConversions(const std::wstring& text) {
  if (const auto number = settings::ParseInt16(text)) {
    FUZZ_CHECK(settings::ParseInt16(std::to_wstring(*number)) == number);
  }
  if (const auto box = settings::ParseCheckBox(text)) {
    FUZZ_CHECK(*box >= 0 && *box <= 2 && settings::ParseInt16(text) == box);
    FUZZ_CHECK(settings::ParseCheckBox(settings::SettingText(SettingKind::CheckBox, *box)) == box);
  }
  if (const auto option = settings::ParseOption(text)) {
    FUZZ_CHECK(*option == -1 || *option == 0);
    FUZZ_CHECK(settings::ParseOption(settings::SettingText(SettingKind::Option, *option)) == option);
  }
}

std::int16_t ValueOf(shell::FormModel& form, Setting which) { return form.SettingValue(which); }

// The properties every load must leave. "Do Not Send Sentinels" with more than one track ticked
// comes only from a stored "True" for it, kept as IT may have pushed it.
void CheckLoaded(shell::FormModel& form, bool no_sentinels_stored) {
  for (const settings::SettingRow& row : settings::kSettings) {
    const std::int16_t value = ValueOf(form, row.setting);
    if (row.kind == SettingKind::CheckBox) {
      FUZZ_CHECK(value >= 0 && value <= 2);
    } else {
      FUZZ_CHECK(value == -1 || value == 0);
    }
  }
  const int enters = -(ValueOf(form, Setting::CR0) + ValueOf(form, Setting::CR1) + ValueOf(form, Setting::CR2));
  const int sentinels = -(ValueOf(form, Setting::Sent1) + ValueOf(form, Setting::Sent2));
  FUZZ_CHECK(enters == 1 && sentinels == 1);
  const int ticks = ValueOf(form, Setting::Trk0) + ValueOf(form, Setting::Trk1) + ValueOf(form, Setting::Trk2);
  FUZZ_CHECK(ticks <= 1 || ValueOf(form, Setting::Sent1) == -1 || no_sentinels_stored);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::array<std::optional<std::wstring>, 10> stored;
  std::size_t line = 0, begin = 0;
  for (std::size_t i = 0; i <= size && line < stored.size(); ++i) {
    if (i == size && begin == size) break;
    if (i < size && data[i] != '\n') continue;
    if (i == begin || data[begin] != 0x7F) stored[line] = fuzz::TextOf(data + begin, i - begin);
    ++line;
    begin = i + 1;
  }

  testing_fakes::MemoryStore store;
  for (std::size_t k = 0; k < stored.size(); ++k) {
    if (!stored[k]) continue;
    CheckConversions(*stored[k]);
    store.Put(settings::kSettings[k].key, *stored[k]);
  }
  shell::FormModel form{store};
  settings::LoadSettings(store, form);
  const bool no_sentinels_stored = stored[9] && settings::ParseOption(*stored[9]) == -1;
  CheckLoaded(form, no_sentinels_stored);

  settings::SaveSettings(store, form);
  shell::FormModel again{store};
  settings::LoadSettings(store, again);
  for (const settings::SettingRow& row : settings::kSettings) {
    const std::wstring* saved = store.Get(row.key);
    FUZZ_CHECK(saved && Convert(row.kind, *saved) == ValueOf(form, row.setting));
    FUZZ_CHECK(*saved == settings::SettingText(row.kind, ValueOf(form, row.setting)));
    FUZZ_CHECK(ValueOf(again, row.setting) == ValueOf(form, row.setting));
  }

  // Every key stored validly, in a combination the window lets a user save: loaded as stored.
  std::array<std::int16_t, 10> values{};
  for (std::size_t k = 0; k < stored.size(); ++k) {
    const auto value = stored[k] ? Convert(settings::kSettings[k].kind, *stored[k]) : std::nullopt;
    if (!value) return 0;
    values[k] = *value;
  }
  const bool one_enter = values[2] + values[3] + values[4] == -1;
  const bool one_sentinel_choice = values[8] + values[9] == -1;
  const bool sentinels_allowed = values[5] + values[6] + values[7] <= 1 || values[8] == -1;
  if (!one_enter || !one_sentinel_choice || !sentinels_allowed) return 0;
  for (std::size_t k = 0; k < stored.size(); ++k) {
    FUZZ_CHECK(ValueOf(form, settings::kSettings[k].setting) == values[k]);
  }
  return 0;
}
