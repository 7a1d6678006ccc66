#include "settings/settings_table.h"

#include <cwctype>

#include "settings/app.h"

namespace settings {

const std::array<SettingRow, 10> kSettings = {{
    {Setting::StartUp, L"StartUp", L"chkStartup", SettingKind::CheckBox, L"1"},
    {Setting::HideOnStart, L"HideOnStart", L"chkHideform", SettingKind::CheckBox, L"0"},
    {Setting::CR0, L"CR0", L"optCR(0)", SettingKind::Option, L"False"},
    {Setting::CR1, L"CR1", L"optCR(1)", SettingKind::Option, L"True"},
    {Setting::CR2, L"CR2", L"optCR(2)", SettingKind::Option, L"False"},
    {Setting::Trk0, L"Trk0", L"optTrkFix(0)", SettingKind::CheckBox, L"1"},
    {Setting::Trk1, L"Trk1", L"optTrkFix(1)", SettingKind::CheckBox, L"1"},
    {Setting::Trk2, L"Trk2", L"optTrkFix(2)", SettingKind::CheckBox, L"1"},
    {Setting::Sent1, L"Sent1", L"optSentinel(0)", SettingKind::Option, L"True"},
    {Setting::Sent2, L"Sent2", L"optSentinel(1)", SettingKind::Option, L"False"},
}};

namespace {

std::wstring Trimmed(const std::wstring& text) {
  std::size_t begin = 0;
  std::size_t end = text.size();
  while (begin < end && std::iswspace(text[begin])) ++begin;
  while (end > begin && std::iswspace(text[end - 1])) --end;
  return text.substr(begin, end - begin);
}

bool EqualsNoCase(const std::wstring& a, const wchar_t* b) {
  std::size_t i = 0;
  for (; i < a.size() && b[i]; ++i) {
    if (std::towlower(a[i]) != std::towlower(b[i])) return false;
  }
  return i == a.size() && !b[i];
}

std::optional<std::int16_t> Convert(SettingKind kind, const std::wstring& text) {
  return kind == SettingKind::CheckBox ? ParseCheckBox(text) : ParseOption(text);
}

// The option buttons that share a frame: selecting one deselects the others.
struct OptionGroup {
  Setting members[3];
  int count;
};
constexpr OptionGroup kOptionGroups[] = {
    {{Setting::CR0, Setting::CR1, Setting::CR2}, 3},
    {{Setting::Sent1, Setting::Sent2}, 2},
};

const SettingRow& RowOf(Setting which) {
  for (const SettingRow& row : kSettings) {
    if (row.setting == which) return row;
  }
  return kSettings[0];
}

// Stored texts can leave a group with nothing selected (every member "False"), which no user can
// make in the window: the group then gets its default selection, and the next save writes it.
// A group with one selection, or with several (the last one assigned wins), stays as loaded.
void SelectDefaultsOfEmptyGroups(SettingControls& controls) {
  for (const OptionGroup& group : kOptionGroups) {
    const Setting* fallback = nullptr;
    bool selected = false;
    for (int i = 0; i < group.count; ++i) {
      selected |= controls.SettingValue(group.members[i]) != 0;
      if (ParseOption(RowOf(group.members[i]).default_text).value_or(0) != 0) {
        fallback = &group.members[i];
      }
    }
    if (!selected && fallback) controls.AssignSetting(*fallback, -1);
  }
}

}  // namespace

std::optional<std::int16_t> ParseInt16(const std::wstring& text) {
  const std::wstring t = Trimmed(text);
  std::size_t i = 0;
  bool negative = false;
  if (i < t.size() && (t[i] == L'+' || t[i] == L'-')) negative = t[i++] == L'-';
  if (i == t.size()) return std::nullopt;
  long value = 0;
  for (; i < t.size(); ++i) {
    if (t[i] < L'0' || t[i] > L'9') return std::nullopt;
    value = value * 10 + (t[i] - L'0');
    if (value > 32768) return std::nullopt;
  }
  if (negative) value = -value;
  if (value > 32767) return std::nullopt;
  return static_cast<std::int16_t>(value);
}

std::optional<std::int16_t> ParseCheckBox(const std::wstring& text) {
  const auto value = ParseInt16(text);
  if (!value || *value < 0 || *value > 2) return std::nullopt;
  return value;
}

std::optional<std::int16_t> ParseOption(const std::wstring& text) {
  const std::wstring t = Trimmed(text);
  if (EqualsNoCase(t, L"True")) return static_cast<std::int16_t>(-1);
  if (EqualsNoCase(t, L"False")) return static_cast<std::int16_t>(0);
  return std::nullopt;
}

std::wstring SettingText(SettingKind kind, std::int16_t value) {
  if (kind == SettingKind::Option) return value ? L"True" : L"False";
  return std::to_wstring(value);
}

void LoadSettings(SettingsStore& store, SettingControls& controls, const LockedSettings& locked) {
  // Locked first: the track/sentinel rule, which runs while the values are assigned, leaves a
  // locked choice alone.
  for (const SettingRow& row : kSettings) {
    if (locked.Get(row.setting)) controls.LockSetting(row.setting);
  }
  for (const SettingRow& row : kSettings) {
    if (const std::optional<std::int16_t> value = locked.Get(row.setting)) {
      controls.AssignSetting(row.setting, *value);
      continue;
    }
    const std::wstring text = store.GetSetting(kAppTitle, kSection, row.key, row.default_text);
    // A text that does not convert gets the default; the next save writes a valid text again.
    std::optional<std::int16_t> value = Convert(row.kind, text);
    if (!value) value = Convert(row.kind, row.default_text);
    controls.AssignSetting(row.setting, *value);
  }
  SelectDefaultsOfEmptyGroups(controls);
}

void SaveSettings(SettingsStore& store, SettingControls& controls, const LockedSettings& locked) {
  for (const SettingRow& row : kSettings) {
    if (locked.Get(row.setting)) continue;
    // A failed write is not reported: the other keys are still written.
    store.SaveSetting(kAppTitle, kSection, row.key,
                      SettingText(row.kind, controls.SettingValue(row.setting)));
  }
}

std::optional<std::int16_t> StoredHideOnStart(SettingsStore& store) {
  return ParseInt16(store.GetSetting(kAppTitle, kSection, L"HideOnStart", L"0"));
}

}  // namespace settings
