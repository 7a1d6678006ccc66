#pragma once
// The program's messages to its user.

namespace shell {

// The program's name as its users know it: the caption of its messages.
inline constexpr wchar_t kProgramName[] = L"ZAN Keyboard Wedge";

// Shows `text` in a modal message box with an OK button and no icon, captioned `caption`, its
// window wide enough to show the whole caption; returns when the user has dismissed it.
void ShowMessage(const wchar_t* text, const wchar_t* caption = kProgramName);

}  // namespace shell
