#pragma once
// Form1's controls and rules, independent of any toolkit: the one working copy of the user's
// choices, read by the card handler and by the settings load and save, mirrored by the window.
//
// Control semantics: assigning a control the value it already has does nothing. Assigning a
// check box a different value, or true to an option button that is not selected, raises that
// control's click at once, nested in the assigning code; assigning false raises nothing. The
// option buttons of one frame form a group: selecting one deselects the others.

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "settings/settings_store.h"
#include "settings/settings_table.h"
#include "shell/form_layout.h"
#include "wedge/card_form.h"

namespace shell {

// What the model needs of the window that shows it.
class FormView {
 public:
  virtual ~FormView() = default;
  virtual void Hide() = 0;
  // 0 normal, 1 minimised, 2 maximised.
  virtual int WindowState() = 0;
  // A control's value, visibility, text or enabled state changed in the model.
  virtual void ControlChanged(Ctl id) = 0;
  // The program gives a control the keyboard focus.
  virtual void FocusControl(Ctl id) = 0;
};

class FormModel : public wedge::CardForm, public settings::SettingControls {
 public:
  // `store` is read by the first-paint rule.
  explicit FormModel(settings::SettingsStore& store);
  ~FormModel() override;  // wipes the boxes' texts

  // The window that mirrors the model; nullptr for none.
  void SetView(FormView* view) { view_ = view; }

  // A check box's value (0, 1, 2) or an option button's (-1, 0).
  std::int16_t Value(Ctl id) const { return state_[Index(id)].value; }
  // Assigns a value by program, with the click rules above. False (and nothing changes) for a
  // value the control does not hold: a check box takes 0, 1 or 2 only.
  bool SetValue(Ctl id, std::int16_t value);
  // The user clicks the control: a check box turns to 0 when ticked and to 1 otherwise, an
  // option button is selected, a push button is pressed. A disabled control takes no click.
  void UserClick(Ctl id);

  // Disabled: the control of a setting that a policy locked (shown greyed, no clicks).
  bool Enabled(Ctl id) const { return state_[Index(id)].enabled; }
  void SetEnabled(Ctl id, bool enabled);

  bool Visible(Ctl id) const { return state_[Index(id)].visible; }
  void SetVisible(Ctl id, bool visible);
  const std::wstring& Text(Ctl id) const { return state_[Index(id)].text; }
  void SetText(Ctl id, const std::wstring& text);
  // The user typed into a box: the model takes the text without echoing it to the view.
  void TextEdited(Ctl id, const std::wstring& text);
  void SetFocus(Ctl id);
  // The control the program last gave the focus.
  std::optional<Ctl> Focused() const { return focused_; }

  // Start-up: hides the nine rows of the test area and "Clear data".
  void HideTestArea();

  // Event handlers.
  void optTrkFix_Click(std::int16_t Index);
  void optSentinel_Click(std::int16_t Index);
  void chkTestmode_Click();
  void Command2_Click();
  // UnloadMode: 0 close box, 1 program, 2 log-off or shut-down, 3 task manager.
  void Form_QueryUnload(std::int16_t& Cancel, std::int16_t UnloadMode);
  void Form_Resize();
  void Form_Paint();

  // Form-level state.
  std::int16_t bTestMode = 0;
  std::int16_t bFirstPaint = 0;

  // Runs before each click handler, with the control that raised it (a probe for hosts and
  // tests; the rules do not need it).
  std::function<void(Ctl)> on_click;

  // wedge::CardForm. The display boxes keep a card's data only while the test mode shows them.
  std::optional<bool> Option(wedge::CardOption which) override;
  std::optional<std::int16_t> TrackBox(int track) override;
  bool SetBoxText(int index, const std::wstring& text) override;

  // settings::SettingControls
  std::int16_t SettingValue(settings::Setting which) override;
  void AssignSetting(settings::Setting which, std::int16_t value) override;
  void LockSetting(settings::Setting which) override;

 private:
  struct ControlState {
    std::int16_t value = 0;
    bool visible = true;
    bool enabled = true;
    std::wstring text;
  };

  static int Index(Ctl id) { return static_cast<int>(id); }
  static Ctl ControlOf(settings::Setting which);
  void Click(Ctl id);
  void TrackSentinelRule();
  void Changed(Ctl id);

  settings::SettingsStore& store_;
  FormView* view_ = nullptr;
  std::array<ControlState, kControlCount> state_;
  std::optional<Ctl> focused_;
  std::int16_t loop_index_ = 0;  // shared by the start-up loop and the test-mode rule
};

}  // namespace shell
