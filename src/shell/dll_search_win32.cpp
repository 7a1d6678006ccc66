#include <windows.h>

#include "shell/dll_search.h"

namespace shell {

void RestrictDllSearch() {
  // Looked up: Windows 7 has it only with its update KB2533623.
  using SetDirsFn = BOOL(WINAPI*)(DWORD);
  const auto set_dirs = reinterpret_cast<SetDirsFn>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "SetDefaultDllDirectories")));
  if (set_dirs) set_dirs(LOAD_LIBRARY_SEARCH_SYSTEM32);
  SetDllDirectoryW(L"");  // and never the current folder
}

}  // namespace shell
