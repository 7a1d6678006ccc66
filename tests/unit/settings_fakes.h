#pragma once
// A settings store held in memory, journaling every read and write.

#include <map>
#include <string>
#include <vector>

#include "settings/settings_store.h"

namespace testing_fakes {

class MemoryStore : public settings::SettingsStore {
 public:
  // "app/section/key" -> text
  std::map<std::wstring, std::wstring> texts;
  std::vector<std::wstring> reads;   // keys, in order
  std::vector<std::wstring> writes;  // keys, in order

  static std::wstring Path(const std::wstring& app, const std::wstring& section,
                           const std::wstring& key) {
    return app + L"/" + section + L"/" + key;
  }
  // Stores a text under the program's own application and section.
  void Put(const std::wstring& key, const std::wstring& text) {
    texts[Path(L"ZANKeyboardWedge", L"Options", key)] = text;
  }
  const std::wstring* Get(const std::wstring& key) const {
    auto it = texts.find(Path(L"ZANKeyboardWedge", L"Options", key));
    return it == texts.end() ? nullptr : &it->second;
  }

  std::wstring GetSetting(const std::wstring& app, const std::wstring& section,
                          const std::wstring& key, const std::wstring& default_text) override {
    reads.push_back(key);
    auto it = texts.find(Path(app, section, key));
    return it == texts.end() ? default_text : it->second;
  }
  bool SaveSetting(const std::wstring& app, const std::wstring& section, const std::wstring& key,
                   const std::wstring& text) override {
    writes.push_back(key);
    texts[Path(app, section, key)] = text;
    return true;
  }
};

}  // namespace testing_fakes
