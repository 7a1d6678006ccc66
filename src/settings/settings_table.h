#pragma once
// The ten settings kept between runs, their conversions, and their load into and save from the
// settings window's controls.

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "settings/settings_store.h"

namespace settings {

enum class Setting { StartUp, HideOnStart, CR0, CR1, CR2, Trk0, Trk1, Trk2, Sent1, Sent2 };

enum class SettingKind {
  CheckBox,  // 0 unticked, 1 ticked, 2 greyed; stored as "0", "1", "2"
  Option,    // Boolean, -1 true, 0 false; stored as "True", "False"
};

struct SettingRow {
  Setting setting;
  const wchar_t* key;
  const wchar_t* control;  // the control that carries it
  SettingKind kind;
  const wchar_t* default_text;
};

// In the order of loading and saving.
extern const std::array<SettingRow, 10> kSettings;

// The values that policies set (see policies.h): a setting that has one is locked to it.
class LockedSettings {
 public:
  std::optional<std::int16_t> Get(Setting which) const { return values_[Index(which)]; }
  void Lock(Setting which, std::int16_t value) { values_[Index(which)] = value; }

 private:
  static std::size_t Index(Setting which) { return static_cast<std::size_t>(which); }
  std::array<std::optional<std::int16_t>, 10> values_;
};

// The controls that carry the settings.
class SettingControls {
 public:
  virtual ~SettingControls() = default;
  // The control's value: a check box 0, 1 or 2; an option button -1 or 0.
  virtual std::int16_t SettingValue(Setting which) = 0;
  // Assigns the control a value as a user's change would, with the click that follows.
  virtual void AssignSetting(Setting which, std::int16_t value) = 0;
  // A policy sets the setting: its control shows the value but no longer takes the user's changes.
  virtual void LockSetting(Setting which) = 0;
};

// A decimal 16-bit integer, blanks around it allowed; nothing when the text is not one.
std::optional<std::int16_t> ParseInt16(const std::wstring& text);
// A check-box value: 0, 1 or 2.
std::optional<std::int16_t> ParseCheckBox(const std::wstring& text);
// "True" or "False", in any letter case: -1 or 0.
std::optional<std::int16_t> ParseOption(const std::wstring& text);
// The stored text of a control value.
std::wstring SettingText(SettingKind kind, std::int16_t value);

// Loads every setting into its control, in table order. A stored text that does not convert is
// replaced by the row's default, so a damaged store never stops the start; an option group left
// with nothing selected gets its default selection. A locked setting takes its policy's value
// instead, and its control is locked before any value is assigned.
void LoadSettings(SettingsStore& store, SettingControls& controls,
                  const LockedSettings& locked = LockedSettings());
// Saves every control's value, in table order; all ten keys are written, changed or not, except
// the locked ones: the user's own stored choice is kept for when the policy goes.
void SaveSettings(SettingsStore& store, SettingControls& controls,
                  const LockedSettings& locked = LockedSettings());

// The stored "HideOnStart" as a number (default "0"); nothing when the text is not a number.
std::optional<std::int16_t> StoredHideOnStart(SettingsStore& store);

}  // namespace settings
