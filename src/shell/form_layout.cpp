#include "shell/form_layout.h"

namespace shell {
namespace {

constexpr ControlKind F = ControlKind::Frame;
constexpr ControlKind C = ControlKind::CheckBox;
constexpr ControlKind O = ControlKind::OptionButton;
constexpr ControlKind L = ControlKind::Label;
constexpr ControlKind T = ControlKind::TextBox;
constexpr std::int16_t kTrue = -1;

Ctl Offset(Ctl first, int index) { return static_cast<Ctl>(static_cast<int>(first) + index); }

}  // namespace

Ctl optTrkFix(int index) { return Offset(Ctl::optTrkFix0, index); }
Ctl optSentinel(int index) { return Offset(Ctl::optSentinel0, index); }
Ctl optCR(int index) {
  static constexpr Ctl kByIndex[] = {Ctl::optCR0, Ctl::optCR1, Ctl::optCR2};
  return kByIndex[index];
}
Ctl Label1(int index) { return Offset(Ctl::Label1_0, index); }
Ctl Text1(int index) { return Offset(Ctl::Text1_0, index); }

// clang-format off
const std::array<ControlDesign, kControlCount> kControls = {{
  {Ctl::Frame3, F, L"Frame3", -1, Ctl::None, L"", nullptr, {240, 360, 2295, 1575}, 21, 0, true},
  {Ctl::Frame5, F, L"Frame5", -1, Ctl::None, L"", nullptr, {2880, 360, 3255, 1575}, 30, 0, true},
  {Ctl::Frame4, F, L"Frame4", -1, Ctl::None, L"", nullptr, {240, 2040, 2295, 1575}, 25, 0, true},
  {Ctl::Frame2, F, L"Frame2", -1, Ctl::None, L"", nullptr, {2880, 2040, 3255, 1575}, 18, 0, true},
  {Ctl::chkStartup, C, L"chkStartup", -1, Ctl::Frame3, L"Run at Startup", nullptr, {120, 240, 1335, 375}, 22, 1, true},
  {Ctl::chkTestmode, C, L"chkTestmode", -1, Ctl::Frame3, L"Test Mode", nullptr, {120, 720, 1215, 255}, 23, 0, false},
  {Ctl::chkHideform, C, L"chkHideform", -1, Ctl::Frame3, L"Hide this form at startup", nullptr, {120, 1080, 2000, 375}, 24, 0, true},
  {Ctl::optTrkFix0, C, L"optTrkFix", 0, Ctl::Frame5, L"Send Track1 to Active Window", nullptr, {240, 240, 2775, 255}, 31, 1, true},
  {Ctl::optTrkFix1, C, L"optTrkFix", 1, Ctl::Frame5, L"Send Track2 to Active Window", nullptr, {240, 600, 2775, 375}, 32, 1, true},
  {Ctl::optTrkFix2, C, L"optTrkFix", 2, Ctl::Frame5, L"Send Track3 to Active Window", nullptr, {240, 1080, 2775, 375}, 33, 1, true},
  {Ctl::optSentinel0, O, L"optSentinel", 0, Ctl::Frame4, L"Send Sentinels", L"Trk1- % and ?  Trk2- ; and ?", {120, 360, 1935, 255}, 27, 0, true},
  {Ctl::optSentinel1, O, L"optSentinel", 1, Ctl::Frame4, L"Do Not Send Sentinels", L"Only When Sending Single Track", {120, 840, 2055, 255}, 26, kTrue, true},
  {Ctl::optCR0, O, L"optCR", 0, Ctl::Frame2, L"Carriage Return with Track Data", nullptr, {120, 240, 3015, 375}, 20, kTrue, true},
  {Ctl::optCR2, O, L"optCR", 2, Ctl::Frame2, L"Carriage Return with Card Data", nullptr, {120, 600, 2895, 495}, 34, 0, true},
  {Ctl::optCR1, O, L"optCR", 1, Ctl::Frame2, L"No Carriage Return", nullptr, {120, 1080, 2895, 375}, 19, 0, true},
  {Ctl::Label1_0, L, L"Label1", 0, Ctl::None, L"First Name", nullptr, {120, 240, 1095, 255}, 12, 0, true},
  {Ctl::Label1_1, L, L"Label1", 1, Ctl::None, L"Initial", nullptr, {240, 720, 975, 255}, 13, 0, true},
  {Ctl::Label1_2, L, L"Label1", 2, Ctl::None, L"Last Name", nullptr, {120, 1200, 1095, 255}, 14, 0, true},
  {Ctl::Label1_3, L, L"Label1", 3, Ctl::None, L"Expires", nullptr, {480, 1680, 735, 255}, 11, 0, true},
  {Ctl::Label1_4, L, L"Label1", 4, Ctl::None, L"Acct #", nullptr, {480, 2160, 735, 255}, 10, 0, true},
  {Ctl::Label1_5, L, L"Label1", 5, Ctl::None, L"Track1 data", nullptr, {120, 2640, 1095, 255}, 15, 0, true},
  {Ctl::Label1_6, L, L"Label1", 6, Ctl::None, L"Track2 data", nullptr, {240, 3120, 975, 255}, 16, 0, true},
  {Ctl::Label1_7, L, L"Label1", 7, Ctl::None, L"Track3 data", nullptr, {240, 3600, 975, 255}, 17, 0, true},
  {Ctl::Label1_8, L, L"Label1", 8, Ctl::None, L"Active Window Data", nullptr, {0, 4080, 1575, 255}, 28, 0, true},
  {Ctl::Text1_0, T, L"Text1", 0, Ctl::None, L"", nullptr, {1320, 240, 5655, 285}, 1, 0, true},
  {Ctl::Text1_1, T, L"Text1", 1, Ctl::None, L"", nullptr, {1320, 720, 5655, 285}, 2, 0, true},
  {Ctl::Text1_2, T, L"Text1", 2, Ctl::None, L"", nullptr, {1320, 1200, 5655, 285}, 4, 0, true},
  {Ctl::Text1_3, T, L"Text1", 3, Ctl::None, L"", nullptr, {1320, 1680, 5655, 285}, 9, 0, true},
  {Ctl::Text1_4, T, L"Text1", 4, Ctl::None, L"", nullptr, {1320, 2160, 5655, 285}, 5, 0, true},
  {Ctl::Text1_5, T, L"Text1", 5, Ctl::None, L"", nullptr, {1320, 2640, 7095, 285}, 6, 0, true},
  {Ctl::Text1_6, T, L"Text1", 6, Ctl::None, L"", nullptr, {1320, 3120, 7095, 285}, 7, 0, true},
  {Ctl::Text1_7, T, L"Text1", 7, Ctl::None, L"", nullptr, {1320, 3600, 7095, 285}, 8, 0, true},
  {Ctl::Text1_8, T, L"Text1", 8, Ctl::None, L"", nullptr, {1680, 4080, 7455, 285}, 0, 0, true},
  {Ctl::Command2, ControlKind::CommandButton, L"Command2", -1, Ctl::None, L"Clear data", nullptr, {6480, 480, 975, 495}, 3, 0, true},
}};
// clang-format on

}  // namespace shell
