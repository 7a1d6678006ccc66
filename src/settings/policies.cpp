#include "settings/policies.h"

#include "reader/reader_control.h"

namespace settings {

const std::array<PolicyRow, 7> kPolicies = {{
    {L"RunAtStartup", SettingKind::CheckBox, {Setting::StartUp}, 1},
    {L"HideOnStart", SettingKind::CheckBox, {Setting::HideOnStart}, 1},
    {L"SendTrack1", SettingKind::CheckBox, {Setting::Trk0}, 1},
    {L"SendTrack2", SettingKind::CheckBox, {Setting::Trk1}, 1},
    {L"SendTrack3", SettingKind::CheckBox, {Setting::Trk2}, 1},
    // 0 "Do Not Send Sentinels", 1 "Send Sentinels".
    {L"SendSentinels", SettingKind::Option, {Setting::Sent2, Setting::Sent1}, 2},
    // 0 Enter after each track, 1 no Enter, 2 Enter after the card: the indices of optCR.
    {L"CarriageReturn", SettingKind::Option, {Setting::CR0, Setting::CR1, Setting::CR2}, 3},
}};

namespace {

bool Defines(const PolicyRow& row, std::uint32_t value) {
  return row.kind == SettingKind::CheckBox ? value <= 1
                                           : value < static_cast<std::uint32_t>(row.count);
}

std::optional<std::uint32_t> PolicyValue(PolicySource& source, const PolicyRow& row) {
  for (PolicyScope scope : {PolicyScope::Machine, PolicyScope::User}) {
    const std::optional<std::uint32_t> value = source.ReadDword(scope, row.value_name);
    if (value && Defines(row, *value)) return value;
  }
  return std::nullopt;
}

}  // namespace

LockedSettings ReadPolicies(PolicySource& source) {
  LockedSettings locked;
  for (const PolicyRow& row : kPolicies) {
    const std::optional<std::uint32_t> value = PolicyValue(source, row);
    if (!value) continue;
    if (row.kind == SettingKind::CheckBox) {
      locked.Lock(row.settings[0], static_cast<std::int16_t>(*value));
      continue;
    }
    for (int i = 0; i < row.count; ++i) {
      locked.Lock(row.settings[i], static_cast<std::uint32_t>(i) == *value ? -1 : 0);
    }
  }
  return locked;
}

std::optional<std::wstring> ReadReaderControlPolicy(PolicySource& source) {
  for (PolicyScope scope : {PolicyScope::Machine, PolicyScope::User}) {
    const std::optional<std::wstring> text = source.ReadText(scope, kReaderControlPolicy);
    if (text && reader::IsProgId(*text)) return text;
  }
  return std::nullopt;
}

}  // namespace settings
