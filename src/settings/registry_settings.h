#pragma once
// The registry behind the settings store and the log-on start entry (Windows builds only).

#include <memory>
#include <string>

#include "settings/policies.h"
#include "settings/run_at_startup.h"
#include "settings/settings_store.h"

namespace settings {

// Where Windows desktop programs keep their per-user application/section/key settings; earlier
// deployments and the values IT people push live there.
inline constexpr wchar_t kSettingsRoot[] = L"Software\\VB and VBA Program Settings";

// The store under HKEY_CURRENT_USER\<root>\<application>\<section>, one REG_SZ value per key.
std::unique_ptr<SettingsStore> MakeRegistrySettingsStore(const std::wstring& root = kSettingsRoot);

// The policies under HKEY_LOCAL_MACHINE\<key> and HKEY_CURRENT_USER\<key>.
std::unique_ptr<PolicySource> MakeRegistryPolicySource(const std::wstring& key = kPolicyKeyPath);

// The Run key under HKEY_CURRENT_USER.
std::unique_ptr<RunKey> MakeRegistryRunKey();

// The full path of the running executable.
std::wstring RunningExecutablePath();

// Writes or removes the log-on start entry for the running executable.
void SetRunAtStartup(bool bRegister);

}  // namespace settings
