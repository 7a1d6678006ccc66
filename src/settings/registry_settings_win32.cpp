#include <windows.h>

#include <vector>

#include "platform/raii_win32.h"
#include "settings/registry_settings.h"

namespace settings {
namespace {

using UniqueHkey = platform::UniqueKey;

DWORD TextBytes(const std::wstring& text) {
  return static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t));  // the NUL included
}

class RegistrySettingsStore : public SettingsStore {
 public:
  explicit RegistrySettingsStore(std::wstring root) : root_(std::move(root)) {}

  std::wstring GetSetting(const std::wstring& app, const std::wstring& section,
                          const std::wstring& key, const std::wstring& default_text) override {
    UniqueHkey hkey;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, Path(app, section).c_str(), 0, KEY_QUERY_VALUE,
                      hkey.put()) != ERROR_SUCCESS) {
      return default_text;
    }
    DWORD type = 0;
    DWORD bytes = 0;
    LSTATUS status = RegQueryValueExW(hkey.get(), key.c_str(), nullptr, &type, nullptr, &bytes);
    std::vector<wchar_t> buffer;
    while (status == ERROR_SUCCESS || status == ERROR_MORE_DATA) {
      if (type != REG_SZ) return default_text;  // a number or binary value is not a setting text
      buffer.assign(bytes / sizeof(wchar_t) + 1, L'\0');
      DWORD size = static_cast<DWORD>(buffer.size() * sizeof(wchar_t));
      status = RegQueryValueExW(hkey.get(), key.c_str(), nullptr, &type,
                                reinterpret_cast<BYTE*>(buffer.data()), &size);
      if (status == ERROR_SUCCESS && type == REG_SZ) {
        // The stored data need not end in a NUL; the spare element gives it one.
        std::wstring text(buffer.data(), size / sizeof(wchar_t));
        const std::size_t nul = text.find(L'\0');
        if (nul != std::wstring::npos) text.resize(nul);
        return text;
      }
      bytes = size;  // it grew meanwhile: try again with the new size
    }
    return default_text;
  }

  bool SaveSetting(const std::wstring& app, const std::wstring& section, const std::wstring& key,
                   const std::wstring& text) override {
    UniqueHkey hkey;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, Path(app, section).c_str(), 0, nullptr,
                        REG_OPTION_NON_VOLATILE, KEY_SET_VALUE, nullptr, hkey.put(),
                        nullptr) != ERROR_SUCCESS) {
      return false;
    }
    return RegSetValueExW(hkey.get(), key.c_str(), 0, REG_SZ,
                          reinterpret_cast<const BYTE*>(text.c_str()),
                          TextBytes(text)) == ERROR_SUCCESS;
  }

 private:
  std::wstring Path(const std::wstring& app, const std::wstring& section) const {
    return root_ + L"\\" + app + L"\\" + section;
  }

  std::wstring root_;
};

class RegistryPolicySource : public PolicySource {
 public:
  explicit RegistryPolicySource(std::wstring key) : key_(std::move(key)) {}

  std::optional<std::uint32_t> ReadDword(PolicyScope scope, const wchar_t* name) override {
    DWORD value = 0;
    DWORD size = sizeof value;
    if (!Read(scope, name, RRF_RT_REG_DWORD, &value, &size) || size != sizeof value) {
      return std::nullopt;  // absent, or not what the templates write: ignored
    }
    return static_cast<std::uint32_t>(value);
  }

  std::optional<std::wstring> ReadText(PolicyScope scope, const wchar_t* name) override {
    wchar_t text[256];
    DWORD size = sizeof text;
    if (!Read(scope, name, RRF_RT_REG_SZ, text, &size)) return std::nullopt;  // too long too
    return std::wstring(text);
  }

 private:
  bool Read(PolicyScope scope, const wchar_t* name, DWORD type, void* data, DWORD* size) {
    // Group Policy writes the machine's policies in the 64-bit view of the registry, where a
    // 32-bit program on 64-bit Windows would not look by itself.
    HKEY root = scope == PolicyScope::Machine ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
    UniqueHkey hkey;
    if (RegOpenKeyExW(root, key_.c_str(), 0, KEY_QUERY_VALUE | KEY_WOW64_64KEY, hkey.put()) !=
        ERROR_SUCCESS) {
      return false;
    }
    // RegGetValue ends a text with its NUL even where the stored one has none.
    return RegGetValueW(hkey.get(), nullptr, name, type, nullptr, data, size) == ERROR_SUCCESS;
  }

 private:
  std::wstring key_;
};

class RegistryRunKey : public RunKey {
 public:
  bool Open() override {
    return RegOpenKeyExW(HKEY_CURRENT_USER, kRunKeyPath, 0, KEY_WRITE, key_.put()) ==
           ERROR_SUCCESS;
  }
  bool Create() override {
    UniqueHkey created;  // only makes the key exist; closed here
    return RegCreateKeyExW(HKEY_CURRENT_USER, kRunKeyPath, 0, nullptr, REG_OPTION_NON_VOLATILE,
                           KEY_CREATE_SUB_KEY, nullptr, created.put(), nullptr) == ERROR_SUCCESS;
  }
  void SetText(const std::wstring& name, const std::wstring& data) override {
    // Deliberately unchecked: nothing is reported to the user at shut-down.
    RegSetValueExW(key_.get(), name.c_str(), 0, REG_SZ,
                   reinterpret_cast<const BYTE*>(data.c_str()), TextBytes(data));
  }
  void DeleteValue(const std::wstring& name) override {
    RegDeleteValueW(key_.get(), name.c_str());  // a missing value is fine
  }
  void Close() override { key_.reset(); }

 private:
  UniqueHkey key_;
};

}  // namespace

std::unique_ptr<SettingsStore> MakeRegistrySettingsStore(const std::wstring& root) {
  return std::make_unique<RegistrySettingsStore>(root);
}

std::unique_ptr<PolicySource> MakeRegistryPolicySource(const std::wstring& key) {
  return std::make_unique<RegistryPolicySource>(key);
}

std::unique_ptr<RunKey> MakeRegistryRunKey() { return std::make_unique<RegistryRunKey>(); }

std::wstring RunningExecutablePath() {
  std::vector<wchar_t> buffer(MAX_PATH);
  for (;;) {
    const DWORD length =
        GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length == 0) return std::wstring();
    if (length < buffer.size()) return std::wstring(buffer.data(), length);
    buffer.resize(buffer.size() * 2);  // truncated: long paths exceed MAX_PATH
  }
}

void SetRunAtStartup(bool bRegister) {
  const std::unique_ptr<RunKey> key = MakeRegistryRunKey();
  SetRunAtStartup(bRegister, *key, RunningExecutablePath());
}

}  // namespace settings
