#include "shell/form_model.h"

#include "wedge/wipe.h"

namespace shell {
namespace {

constexpr std::int16_t kTrue = -1;
constexpr std::int16_t kFalse = 0;

}  // namespace

FormModel::FormModel(settings::SettingsStore& store) : store_(store) {
  for (const ControlDesign& design : kControls) {
    ControlState& state = state_[Index(design.id)];
    state.value = design.initial;
    state.visible = design.visible;
  }
}

bool FormModel::SetValue(Ctl id, std::int16_t value) {
  const ControlDesign& design = Design(id);
  ControlState& state = state_[Index(id)];
  if (design.kind == ControlKind::CheckBox) {
    if (value < 0 || value > 2) return false;
    if (state.value == value) return true;
    state.value = value;
    Changed(id);
    Click(id);
    return true;
  }
  if (design.kind != ControlKind::OptionButton) return false;
  if (value == kFalse) {
    if (state.value != kFalse) {
      state.value = kFalse;
      Changed(id);
    }
    return true;
  }
  if (state.value != kFalse) return true;
  for (const ControlDesign& other : kControls) {
    if (other.kind == ControlKind::OptionButton && other.container == design.container &&
        other.id != id && state_[Index(other.id)].value != kFalse) {
      state_[Index(other.id)].value = kFalse;
      Changed(other.id);
    }
  }
  state.value = kTrue;
  Changed(id);
  Click(id);
  return true;
}

void FormModel::UserClick(Ctl id) {
  if (!Enabled(id)) return;
  switch (Design(id).kind) {
    case ControlKind::CheckBox: SetValue(id, Value(id) == 1 ? 0 : 1); break;
    case ControlKind::OptionButton: SetValue(id, kTrue); break;
    case ControlKind::CommandButton: Click(id); break;
    default: break;
  }
}

void FormModel::SetVisible(Ctl id, bool visible) {
  ControlState& state = state_[Index(id)];
  if (state.visible == visible) return;
  state.visible = visible;
  Changed(id);
}

FormModel::~FormModel() {
  for (ControlState& state : state_) wedge::Wipe(state.text);
}

void FormModel::SetEnabled(Ctl id, bool enabled) {
  ControlState& state = state_[Index(id)];
  if (state.enabled == enabled) return;
  state.enabled = enabled;
  Changed(id);
}

void FormModel::SetText(Ctl id, const std::wstring& text) {
  ControlState& state = state_[Index(id)];
  if (state.text == text) return;
  wedge::Replace(state.text, text);  // a box's old text may be a card's
  Changed(id);
}

void FormModel::TextEdited(Ctl id, const std::wstring& text) {
  wedge::Replace(state_[Index(id)].text, text);
}

void FormModel::SetFocus(Ctl id) {
  focused_ = id;
  if (view_) view_->FocusControl(id);
}

void FormModel::HideTestArea() {
  for (loop_index_ = 0; loop_index_ <= 8; ++loop_index_) {
    SetVisible(Text1(loop_index_), false);
    SetVisible(Label1(loop_index_), false);
  }
  SetVisible(Ctl::Command2, false);
}

void FormModel::Click(Ctl id) {
  if (on_click) on_click(id);
  const ControlDesign& design = Design(id);
  switch (id) {
    case Ctl::optTrkFix0:
    case Ctl::optTrkFix1:
    case Ctl::optTrkFix2: optTrkFix_Click(static_cast<std::int16_t>(design.index)); break;
    case Ctl::optSentinel0:
    case Ctl::optSentinel1: optSentinel_Click(static_cast<std::int16_t>(design.index)); break;
    case Ctl::chkTestmode: chkTestmode_Click(); break;
    case Ctl::Command2: Command2_Click(); break;
    default: break;  // the other controls have no click rule
  }
}

void FormModel::optTrkFix_Click(std::int16_t /*Index*/) { TrackSentinelRule(); }

void FormModel::optSentinel_Click(std::int16_t /*Index*/) { TrackSentinelRule(); }

// "Do Not Send Sentinels" may stay selected only while at most one track is ticked; a greyed
// box counts 2. Selecting "Send Sentinels" raises its click, which runs this rule once more and
// finds it already selected. A sentinel choice that a policy locked stays as the policy set it,
// however many tracks are ticked.
void FormModel::TrackSentinelRule() {
  if (!Enabled(Ctl::optSentinel0) || !Enabled(Ctl::optSentinel1)) return;
  const int sum = Value(Ctl::optTrkFix0) + Value(Ctl::optTrkFix1) + Value(Ctl::optTrkFix2);
  if (sum > 1) SetValue(Ctl::optSentinel0, kTrue);
}

void FormModel::chkTestmode_Click() {
  bTestMode = Value(Ctl::chkTestmode) != 0 ? kTrue : kFalse;
  const bool on = bTestMode == kTrue;
  for (loop_index_ = 0; loop_index_ <= 8; ++loop_index_) {
    SetVisible(Text1(loop_index_), on);
    if (!on) SetText(Text1(loop_index_), L"");
    SetVisible(Label1(loop_index_), on);
  }
  SetVisible(Ctl::Command2, on);
  if (on) SetFocus(Ctl::Text1_8);
}

void FormModel::Command2_Click() {
  for (int index = 0; index <= 8; ++index) SetText(Text1(index), L"");
  SetFocus(Ctl::Text1_8);
}

void FormModel::Form_QueryUnload(std::int16_t& Cancel, std::int16_t UnloadMode) {
  if (UnloadMode != 0) return;  // the program, log-off or a task manager: the unload goes on
  if (view_) view_->Hide();
  Cancel = 1;
}

void FormModel::Form_Resize() {
  if (view_ && view_->WindowState() == 1) view_->Hide();
}

void FormModel::Form_Paint() {
  if (bFirstPaint == 0) return;
  // The stored setting decides, not the box (a text that is no number does not hide), unless a
  // policy locked the box to its value.
  std::optional<std::int16_t> hide = Value(Ctl::chkHideform);
  if (Enabled(Ctl::chkHideform)) hide = settings::StoredHideOnStart(store_);
  if (hide && *hide == 1) {
    if (view_) view_->Hide();
    bFirstPaint = 0;
  }
}

std::optional<bool> FormModel::Option(wedge::CardOption which) {
  switch (which) {
    case wedge::CardOption::SendSentinels: return Value(Ctl::optSentinel0) != kFalse;
    case wedge::CardOption::CrWithTrack: return Value(Ctl::optCR0) != kFalse;
    case wedge::CardOption::CrWithCard: return Value(Ctl::optCR2) != kFalse;
  }
  return std::nullopt;
}

std::optional<std::int16_t> FormModel::TrackBox(int track) {
  if (track < 0 || track > 2) return std::nullopt;
  return Value(optTrkFix(track));
}

bool FormModel::SetBoxText(int index, const std::wstring& text) {
  if (index < 0 || index >= wedge::kDisplayBoxes) return false;
  // Only the test mode shows the boxes; without it a card's data is not kept here at all.
  SetText(Text1(index), bTestMode ? text : std::wstring());
  return true;
}

Ctl FormModel::ControlOf(settings::Setting which) {
  using settings::Setting;
  switch (which) {
    case Setting::StartUp: return Ctl::chkStartup;
    case Setting::HideOnStart: return Ctl::chkHideform;
    case Setting::CR0: return Ctl::optCR0;
    case Setting::CR1: return Ctl::optCR1;
    case Setting::CR2: return Ctl::optCR2;
    case Setting::Trk0: return Ctl::optTrkFix0;
    case Setting::Trk1: return Ctl::optTrkFix1;
    case Setting::Trk2: return Ctl::optTrkFix2;
    case Setting::Sent1: return Ctl::optSentinel0;
    case Setting::Sent2: return Ctl::optSentinel1;
  }
  return Ctl::None;
}

std::int16_t FormModel::SettingValue(settings::Setting which) { return Value(ControlOf(which)); }

void FormModel::AssignSetting(settings::Setting which, std::int16_t value) {
  SetValue(ControlOf(which), value);
}

void FormModel::LockSetting(settings::Setting which) { SetEnabled(ControlOf(which), false); }

void FormModel::Changed(Ctl id) {
  if (view_) view_->ControlChanged(id);
}

}  // namespace shell
