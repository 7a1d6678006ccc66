#include <windows.h>

#include "shell/dll_search.h"

namespace shell {

void RestrictDllSearch() {
  // A DLL folder set takes the current folder's place in the search. Windows' own folder, which
  // is searched anyway, changes nothing else; an empty text would do the same on Windows, but
  // Wine takes it for none and keeps searching the current folder.
  wchar_t system[MAX_PATH];
  const UINT length = GetSystemDirectoryW(system, MAX_PATH);
  if (length == 0 || length >= MAX_PATH || !SetDllDirectoryW(system)) SetDllDirectoryW(L"");
  // Looked up: older Windows has it only with an update.
  using SetModeFn = BOOL(WINAPI*)(DWORD);
  const auto set_mode = reinterpret_cast<SetModeFn>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "SetSearchPathMode")));
  if (set_mode) set_mode(BASE_SEARCH_PATH_ENABLE_SAFE_SEARCHMODE | BASE_SEARCH_PATH_PERMANENT);
}

}  // namespace shell
