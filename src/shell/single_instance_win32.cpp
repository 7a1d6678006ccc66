#include <windows.h>

#include "shell/single_instance.h"

namespace shell {

SingleInstance::SingleInstance(const wchar_t* name) {
  handle_ = CreateMutexW(nullptr, FALSE, name);
  const DWORD error = GetLastError();
  // Access denied: the name is held by an instance that locked it to itself. Any other failure
  // is no sign of another instance, and the program had better run than refuse for good.
  already_running_ = error == ERROR_ALREADY_EXISTS || error == ERROR_ACCESS_DENIED;
}

SingleInstance::~SingleInstance() {
  if (handle_) CloseHandle(handle_);
}

}  // namespace shell
