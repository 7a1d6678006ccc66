#pragma once
// The per-user settings store: texts addressed by application name, section and key.

#include <string>

namespace settings {

class SettingsStore {
 public:
  virtual ~SettingsStore() = default;

  // The text stored under the key; `default_text` when the key (or its section or application)
  // does not exist, or when what is stored there is not a text.
  virtual std::wstring GetSetting(const std::wstring& app, const std::wstring& section,
                                  const std::wstring& key, const std::wstring& default_text) = 0;
  // Stores the text, creating the application and section when missing. False when it failed.
  virtual bool SaveSetting(const std::wstring& app, const std::wstring& section,
                           const std::wstring& key, const std::wstring& text) = 0;
};

}  // namespace settings
