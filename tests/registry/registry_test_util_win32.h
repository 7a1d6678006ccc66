#pragma once
// Raw registry access for checking what the program stored.

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

namespace registry_test {

struct RawValue {
  DWORD type = 0;
  std::vector<BYTE> bytes;

  std::wstring Text() const {
    std::wstring text(bytes.size() / sizeof(wchar_t), L'\0');
    if (!text.empty()) memcpy(&text[0], bytes.data(), text.size() * sizeof(wchar_t));
    return text;
  }
};

inline std::optional<RawValue> Read(const wchar_t* subkey, const wchar_t* name) {
  HKEY key;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, subkey, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) {
    return std::nullopt;
  }
  RawValue value;
  DWORD size = 0;
  LSTATUS status = RegQueryValueExW(key, name, nullptr, &value.type, nullptr, &size);
  if (status == ERROR_SUCCESS) {
    value.bytes.resize(size);
    status = RegQueryValueExW(key, name, nullptr, &value.type, value.bytes.data(), &size);
  }
  RegCloseKey(key);
  if (status != ERROR_SUCCESS) return std::nullopt;
  return value;
}

inline void Write(const wchar_t* subkey, const wchar_t* name, DWORD type, const void* data,
                  DWORD size) {
  HKEY key;
  RegCreateKeyExW(HKEY_CURRENT_USER, subkey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr);
  RegSetValueExW(key, name, 0, type, static_cast<const BYTE*>(data), size);
  RegCloseKey(key);
}

}  // namespace registry_test
