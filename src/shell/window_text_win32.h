#pragma once
// A window's or a control's text. The Windows files of the shell only.

#include <windows.h>

#include <string>

namespace shell {

inline std::wstring WindowText(HWND window) {
  std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
  text.resize(static_cast<std::size_t>(GetWindowTextW(window, &text[0], static_cast<int>(text.size()))));
  return text;
}

}  // namespace shell
