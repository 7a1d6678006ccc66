#include "settings/run_at_startup.h"

#include "settings/app.h"

namespace settings {

std::wstring StartupCommand(const std::wstring& exe_path) {
  const std::size_t slash = exe_path.find_last_of(L"\\/");
  const std::size_t name_begin = slash == std::wstring::npos ? 0 : slash + 1;
  std::size_t name_end = exe_path.find_last_of(L'.');
  if (name_end == std::wstring::npos || name_end < name_begin) name_end = exe_path.size();
  // Quoted: unquoted, Windows would try "C:\Program.exe" for "C:\Program Files\...".
  return L"\"" + exe_path.substr(0, name_end) + L".exe\"";
}

void SetRunAtStartup(bool bRegister, RunKey& key, const std::wstring& exe_path) {
  if (!key.Open()) {
    if (!key.Create()) return;
    if (!key.Open()) return;
  }
  if (bRegister) {
    key.SetText(kAppTitle, StartupCommand(exe_path));
  } else {
    key.DeleteValue(kAppTitle);
  }
  key.Close();
}

}  // namespace settings
