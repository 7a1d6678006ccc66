#pragma once
// Names under which the program keeps its settings and its log-on start entry.

namespace settings {

// The application title: the settings' application name and the log-on start entry's name.
inline constexpr wchar_t kAppTitle[] = L"ZANKeyboardWedge";
inline constexpr wchar_t kSection[] = L"Options";

}  // namespace settings
